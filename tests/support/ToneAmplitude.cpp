#include "tests/support/ToneAmplitude.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <numbers>

double ToneAmplitude(const QByteArray& pcm, double freq, int rate, int channels)
{
    const qsizetype frames = pcm.size() / (2 * channels);
    if (frames == 0)
        return 0;
    const double coeff = 2 * std::cos(2 * std::numbers::pi * freq / rate);
    double s1 = 0, s2 = 0;
    for (qsizetype i = 0; i < frames; ++i) {
        const double x = qFromLittleEndian<qint16>(pcm.constData() + 2 * channels * i);
        const double s0 = x + coeff * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    return 2 * std::sqrt(std::max(s1 * s1 + s2 * s2 - coeff * s1 * s2, 0.0)) / double(frames);
}
