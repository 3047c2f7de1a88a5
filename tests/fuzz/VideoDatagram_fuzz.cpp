// libFuzzer target for a received video datagram, from the bytes to the picture in the video
// area: decoding stays within its caps, and the picture made for the area (at one or two device
// pixels per pixel) fits it and is drawn as the window draws it. The same bytes as a camera's
// JPEG picture: made fit to send or refused, and decoded small for a preview.
#include "calls/TFrameDecoder.h"
#include "platform/jpeg/CameraJpeg.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/text/FitRect.h"

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
    const qreal ratio = size >= 3 && data[size - 3] % 2 ? 2.0 : 1.0;
    if (const std::optional<QByteArray> sendable = CameraJpeg::Sendable(datagram))
        Check(sendable->startsWith("\xFF\xD8") && sendable->endsWith("\xFF\xD9") &&
              sendable->size() <= datagram.size() + CameraJpeg::StandardHuffmanSegment().size());
    if (const std::optional<QImage> preview = TJpegDecoder::DecodeScaled(datagram, {320, 180}))
        Check(preview->width() <= TJpegDecoder::MaxSide &&
              preview->height() <= TJpegDecoder::MaxSide);
    const auto frame = TFrameDecoder::Prepare(datagram, area, ratio);
    if (!frame)
        return 0;
    const QImage& picture = frame->picture;
    Check(!picture.isNull());
    Check(picture.width() <= TJpegDecoder::MaxSide && picture.height() <= TJpegDecoder::MaxSide);
    Check(qint64(picture.width()) * picture.height() <= TJpegDecoder::MaxPixels);
    const QRect fit = FitRect(picture.size(), area);
    Check(QRect(QPoint(0, 0), area).contains(fit) || fit.isEmpty());
    Check(frame->display.isNull() ||
          frame->display.size() == (QSizeF(fit.size()) * ratio).toSize());
    QImage screen(area, QImage::Format_RGB32);
    screen.fill(Qt::black);
    QPainter p(&screen);
    if (!frame->display.isNull())
        p.drawImage(QRectF(fit), frame->display);
    return 0;
}
