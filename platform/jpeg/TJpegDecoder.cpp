#include "platform/jpeg/TJpegDecoder.h"

#include "platform/jpeg/JpegErrors.h"

#include <memory>

namespace {

struct TProgress
{
    jpeg_progress_mgr pub;
    int maxScans;
};

// Everything the library touches lives here, outside the frame that calls setjmp, so its
// values are well defined after a jump back.
struct TDecodeState
{
    jpeg_decompress_struct info;
    TJpegErrorManager errors;
    TProgress progress;
    bool created = false;
};

void Monitor(j_common_ptr common)
{
    if (!common->is_decompressor)
        return;
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    const auto* progress = reinterpret_cast<const TProgress*>(common->progress);
    // Every scan costs a pass over the whole image: a flood of tiny scans is an attack.
    if (info->input_scan_number > progress->maxScans)
        (*common->err->error_exit)(common);
}

// Only plain data lives in this frame: a jump out of the library skips no destructor.
bool DecodeInto(TDecodeState* s, const unsigned char* data, unsigned long size,
                const TJpegDecoder::TLimits* limits, QImage* image)
{
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&s->info), s->errors, true);
    if (setjmp(s->errors.jump))
        return false;
    jpeg_create_decompress(&s->info);
    s->created = true;
    // Beyond this the library would need a backing store, which it has not: it fails instead.
    s->info.mem->max_memory_to_use = limits->maxMemory;
    s->progress.pub.progress_monitor = Monitor;
    s->progress.maxScans = limits->maxScans;
    s->info.progress = &s->progress.pub;
    jpeg_mem_src(&s->info, data, size);
    if (jpeg_read_header(&s->info, TRUE) != JPEG_HEADER_OK)
        return false;
    const JDIMENSION width = s->info.image_width;
    const JDIMENSION height = s->info.image_height;
    if (width == 0 || height == 0 || width > JDIMENSION(limits->maxSide) ||
        height > JDIMENSION(limits->maxSide) || qint64(width) * qint64(height) > limits->maxPixels)
        return false;
    s->info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&s->info);
    if (s->info.output_components != 3 || s->info.output_width != width ||
        s->info.output_height != height)
        return false;
    *image = QImage(int(width), int(height), QImage::Format_RGB888);
    if (image->isNull())
        return false;
    while (s->info.output_scanline < height) {
        JSAMPROW row = image->scanLine(int(s->info.output_scanline));
        if (jpeg_read_scanlines(&s->info, &row, 1) != 1)
            return false;
    }
    jpeg_finish_decompress(&s->info);
    return true;
}

} // namespace

std::optional<QImage> TJpegDecoder::Decode(const QByteArray& data)
{
    return Decode(data, TLimits());
}

std::optional<QImage> TJpegDecoder::Decode(const QByteArray& data, const TLimits& limits)
{
    if (data.size() < 4)
        return std::nullopt;
    auto state = std::make_unique<TDecodeState>();
    QImage image;
    const bool ok =
        DecodeInto(state.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                   static_cast<unsigned long>(data.size()), &limits, &image);
    if (state->created)
        jpeg_destroy_decompress(&state->info);
    if (!ok)
        return std::nullopt;
    return image;
}
