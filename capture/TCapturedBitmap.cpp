#include "capture/TCapturedBitmap.h"

#include "capture/TPixelFormats.h"

#include <cstdlib>
#include <cstring>

namespace {
constexpr quint32 BI_RGB = 0;
constexpr quint32 BI_BITFIELDS = 3;
} // namespace

int TCapturedBitmap::Draw(const TBitmapInfoHeader& header, const QByteArray& buffer)
{
    const int bits = header.biBitCount;
    PixelFormat = TPixelFormats::BitmapFormat(bits).value_or(TPixelFormat::pfDevice);
    const qint64 width = header.biWidth;
    const qint64 height = std::llabs(header.biHeight);
    if (width <= 0 || height == 0 || width > 16384 || height > 16384)
        return 0;
    if (header.biCompression != BI_RGB &&
        !(header.biCompression == BI_BITFIELDS && (bits == 16 || bits == 32)))
        return 0;

    QImage::Format source;
    switch (bits) {
    case 32:
        source = QImage::Format_RGB32; // B, G, R, X in memory
        break;
    case 24:
        source = QImage::Format_BGR888;
        break;
    case 16:
        source = QImage::Format_RGB16;
        break;
    case 15:
        source = QImage::Format_RGB555;
        break;
    case 1:
    case 4:
    case 8:
        source = QImage::Format_Invalid; // indexed: drawn without its colours
        break;
    default:
        return 0;
    }
    const qint64 stride = ((width * bits + 31) / 32) * 4;
    if (stride * height > buffer.size())
        return 0;

    const bool bottomUp = header.biHeight > 0;
    QImage frame;
    if (source == QImage::Format_Invalid) {
        // The colour table holds one zero entry: every pixel comes out black.
        frame = QImage(int(width), int(height), QImage::Format_RGB555);
        frame.fill(Qt::black);
    } else {
        frame = QImage(int(width), int(height), source);
        const qsizetype rowBytes = (width * (bits == 15 ? 16 : bits) + 7) / 8;
        for (qint64 y = 0; y < height; ++y) {
            const qint64 from = (bottomUp ? height - 1 - y : y) * stride;
            std::memcpy(frame.scanLine(int(y)), buffer.constData() + from, size_t(rowBytes));
        }
    }
    const QImage::Format target =
        PixelFormat == TPixelFormat::pf15bit ? QImage::Format_RGB555 : QImage::Format_BGR888;
    QImage::operator=(frame.format() == target ? frame : frame.convertToFormat(target));
    return int(height);
}
