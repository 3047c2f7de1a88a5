// libFuzzer target for a received video datagram, from the bytes to the picture in the video
// area: decoding stays within its caps, and the picture made for the area fits it and is drawn
// as the window draws it.
#include "calls/TFrameDecoder.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "widgets/FitRect.h"

#include <QPainter>

#include <cstdint>
#include <cstdlib>

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // One datagram: nothing larger arrives.
    if (size > 65507)
        return 0;
    const QByteArray datagram(reinterpret_cast<const char*>(data), qsizetype(size));
    // The area's size comes from the last two bytes, so odd shapes are tried as well.
    const QSize area(size >= 2 ? 1 + data[size - 2] * 4 : 800,
                     size >= 2 ? 1 + data[size - 1] * 3 : 600);
    const auto frame = TFrameDecoder::Prepare(datagram, area);
    if (!frame)
        return 0;
    const QImage& picture = frame->picture;
    Check(!picture.isNull());
    Check(picture.width() <= TJpegDecoder::MaxSide && picture.height() <= TJpegDecoder::MaxSide);
    Check(qint64(picture.width()) * picture.height() <= TJpegDecoder::MaxPixels);
    const QRect fit = FitRect(picture.size(), area);
    Check(QRect(QPoint(0, 0), area).contains(fit) || fit.isEmpty());
    Check(frame->display.isNull() || frame->display.size() == fit.size());
    QImage screen(area, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter p(&screen);
    if (!frame->display.isNull())
        p.drawImage(fit.topLeft(), frame->display);
    return 0;
}
