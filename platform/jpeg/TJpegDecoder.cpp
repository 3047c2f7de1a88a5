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
// atLeast: the size the picture may be reduced towards (empty: full size). stated: the size
// the header states. image: null to stop once the size is known.
bool DecodeInto(TDecodeState* s, const unsigned char* data, unsigned long size,
                const TJpegDecoder::TLimits* limits, const QSize* atLeast, QSize* stated,
                QImage* image)
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
    *stated = QSize(int(width), int(height));
    if (!image)
        return true;
    s->info.out_color_space = JCS_RGB;
    unsigned denominator = 1;
    while (denominator < 8 && !atLeast->isEmpty() &&
           width / (denominator * 2) >= JDIMENSION(atLeast->width()) &&
           height / (denominator * 2) >= JDIMENSION(atLeast->height()))
        denominator *= 2;
    s->info.scale_num = 1;
    s->info.scale_denom = denominator;
    jpeg_start_decompress(&s->info);
    const JDIMENSION outWidth = (width + denominator - 1) / denominator;
    const JDIMENSION outHeight = (height + denominator - 1) / denominator;
    if (s->info.output_components != 3 || s->info.output_width != outWidth ||
        s->info.output_height != outHeight)
        return false;
    *image = QImage(int(outWidth), int(outHeight), QImage::Format_RGB888);
    if (image->isNull())
        return false;
    while (s->info.output_scanline < outHeight) {
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

namespace {

// image: null to read the header only.
bool Run(const QByteArray& data, const TJpegDecoder::TLimits& limits, QSize atLeast, QSize* stated,
         QImage* image)
{
    if (data.size() < 4)
        return false;
    auto state = std::make_unique<TDecodeState>();
    const bool ok =
        DecodeInto(state.get(), reinterpret_cast<const unsigned char*>(data.constData()),
                   static_cast<unsigned long>(data.size()), &limits, &atLeast, stated, image);
    if (state->created)
        jpeg_destroy_decompress(&state->info);
    return ok;
}

std::optional<QImage> Decoded(const QByteArray& data, const TJpegDecoder::TLimits& limits,
                              QSize atLeast)
{
    QSize stated;
    QImage image;
    if (!Run(data, limits, atLeast, &stated, &image))
        return std::nullopt;
    return image;
}

} // namespace

std::optional<QImage> TJpegDecoder::Decode(const QByteArray& data, const TLimits& limits)
{
    return Decoded(data, limits, QSize());
}

std::optional<QImage> TJpegDecoder::DecodeScaled(const QByteArray& data, QSize atLeast)
{
    return Decoded(data, TLimits(), atLeast);
}

std::optional<QSize> TJpegDecoder::Size(const QByteArray& data)
{
    QSize stated;
    if (!Run(data, TLimits(), QSize(), &stated, nullptr))
        return std::nullopt;
    return stated;
}
