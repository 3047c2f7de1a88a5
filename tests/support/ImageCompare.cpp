#include "tests/support/ImageCompare.h"

#include <QHash>

#include <algorithm>
#include <cstdlib>

namespace {

int Distance(QRgb a, QRgb b)
{
    return std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
           std::abs(qBlue(a) - qBlue(b));
}

// True when some pixel of `other` within reach of (x, y) is close to `colour`.
bool HasNear(const QImage& other, int x, int y, QRgb colour, int tolerance, int reach)
{
    const int top = std::max(0, y - reach), bottom = std::min(other.height() - 1, y + reach);
    const int left = std::max(0, x - reach), right = std::min(other.width() - 1, x + reach);
    for (int yy = top; yy <= bottom; ++yy) {
        const auto* line = reinterpret_cast<const QRgb*>(other.constScanLine(yy));
        for (int xx = left; xx <= right; ++xx)
            if (Distance(line[xx], colour) <= tolerance)
                return true;
    }
    return false;
}

} // namespace

qsizetype CountDifferentPixels(const QImage& actual, const QImage& expected, int tolerance,
                               int reach)
{
    if (actual.size() != expected.size())
        return std::max(qsizetype(actual.width()) * actual.height(),
                        qsizetype(expected.width()) * expected.height());
    const QImage a = actual.convertToFormat(QImage::Format_RGB32);
    const QImage b = expected.convertToFormat(QImage::Format_RGB32);
    qsizetype different = 0;
    for (int y = 0; y < a.height(); ++y) {
        const auto* lineA = reinterpret_cast<const QRgb*>(a.constScanLine(y));
        const auto* lineB = reinterpret_cast<const QRgb*>(b.constScanLine(y));
        for (int x = 0; x < a.width(); ++x) {
            if (Distance(lineA[x], lineB[x]) <= tolerance)
                continue;
            if (reach == 0 || !HasNear(b, x, y, lineA[x], tolerance, reach) ||
                !HasNear(a, x, y, lineB[x], tolerance, reach))
                ++different;
        }
    }
    return different;
}

qsizetype AllowedDifferentPixels(const QSize& size)
{
    return qsizetype(size.width()) * size.height() / 200;
}

TInk FindInk(const QImage& picture, QRgb background, int tolerance)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    TInk ink;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (Distance(line[x], background) > tolerance) {
                ink.bounds |= QRect(x, y, 1, 1);
                ++ink.count;
            }
    }
    return ink;
}

QRgb MostCommonColour(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    QHash<QRgb, qsizetype> counts;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            ++counts[line[x]];
    }
    QRgb best = 0;
    qsizetype most = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.value() > most || (it.value() == most && it.key() < best)) {
            best = it.key();
            most = it.value();
        }
    return best;
}
