#include "tests/support/TTestJpeg.h"

#include <QPainter>

#include <cstdlib>

namespace TTestJpeg {

QByteArray Encode(const QImage& picture, int quality, std::span<const jpeg_scan_info> scans)
{
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(rgb.width());
    info.image_height = JDIMENSION(rgb.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.scan_info = scans.data();
    info.num_scans = int(scans.size());
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rgb.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray bytes(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return bytes;
}

QByteArray Progressive(const QImage& picture, int quality)
{
    static const jpeg_scan_info scans[] = {
        {3, {0, 1, 2, 0}, 0, 0, 0, 0},
        {1, {0, 0, 0, 0}, 1, 63, 0, 0},
        {1, {1, 0, 0, 0}, 1, 63, 0, 0},
        {1, {2, 0, 0, 0}, 1, 63, 0, 0},
    };
    return Encode(picture, quality, scans);
}

QImage Smooth(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB888);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(40, 90, 160));
    g.setColorAt(1, QColor(200, 180, 90));
    p.fillRect(image.rect(), g);
    return image;
}

} // namespace TTestJpeg
