// What a received picture far larger than the video area costs: a 3840 x 2160 JPEG of about
// 50 KB, as a peer could send two a second, shown in a 760 x 560 area. The receiving path
// (TFrameDecoder::Prepare) against decoding it whole and smoothing it down, the way it was
// shown before, in the same process on the process's CPU clock.
// Usage: LargePicture_bench [runs per round]   (default 10; seven rounds of each, medians)
#include "calls/TFrameDecoder.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/text/FitRect.h"
#include "tests/support/TTestJpeg.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

namespace {

double CpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU milliseconds per run of work.
double PerRun(int runs, const std::function<bool()>& work)
{
    const double start = CpuSeconds();
    for (int i = 0; i < runs; ++i)
        if (!work())
            return -1;
    return (CpuSeconds() - start) * 1000 / runs;
}

// A plain 4K picture with a few shapes, at the quality that makes it about 50 KB.
QByteArray LargeJpeg()
{
    QImage image(3840, 2160, QImage::Format_RGB32);
    image.fill(QColor(30, 60, 160));
    QPainter p(&image);
    p.setPen(QPen(Qt::white, 16));
    for (int x = 0; x < 3840; x += 960)
        p.drawLine(x, 0, x, 2160);
    p.setBrush(Qt::red);
    p.drawEllipse(QPoint(1900, 1000), 500, 400);
    p.end();
    QByteArray jpeg;
    for (int quality = 60; quality >= 1; --quality) {
        jpeg = TTestJpeg::Progressive(image, quality);
        if (jpeg.size() <= 50000)
            break;
    }
    return jpeg;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int runs = argc > 1 ? qMax(1, atoi(argv[1])) : 10;
    const QByteArray jpeg = LargeJpeg();
    const QSize area(760, 560);
    auto asBefore = [&] {
        const std::optional<QImage> picture = TJpegDecoder::Decode(jpeg);
        if (!picture)
            return false;
        const QImage shown = picture->scaled(FitRect(picture->size(), area).size(),
                                             Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        return !shown.isNull();
    };
    auto asNow = [&] {
        const auto frame = TFrameDecoder::Prepare(jpeg, area);
        return frame && !frame->display.isNull();
    };
    // Rounds of each in turn, so that whatever else the machine does falls on both; medians.
    std::vector<double> befores, nows;
    for (int round = 0; round < 7; ++round) {
        befores.push_back(PerRun(runs, asBefore));
        nows.push_back(PerRun(runs, asNow));
    }
    std::sort(befores.begin(), befores.end());
    std::sort(nows.begin(), nows.end());
    const double before = befores.front() < 0 ? -1 : befores[befores.size() / 2];
    const double now = nows.front() < 0 ? -1 : nows[nows.size() / 2];
    if (before < 0 || now < 0) {
        std::printf("the picture did not decode\n");
        return 1;
    }
    std::printf("3840 x 2160 picture of %lld bytes into %d x %d: %.1f ms CPU decoded whole and "
                "smoothed, %.1f ms as received now (%.2f of it)\n",
                qint64(jpeg.size()), area.width(), area.height(), before, now, now / before);
    return 0;
}
