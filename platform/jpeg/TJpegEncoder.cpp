#include "platform/jpeg/TJpegEncoder.h"

#include "platform/jpeg/JpegErrors.h"

#include <algorithm>
#include <cstdlib>

namespace {

// A destination that writes into one buffer kept across frames, grown with realloc (never
// with anything that could throw through the library's frames).
struct TDestination
{
    jpeg_destination_mgr pub;
    unsigned char* buffer = nullptr;
    size_t capacity = 0;
    size_t used = 0;
    bool outOfMemory = false;
};

void InitDestination(j_compress_ptr info)
{
    auto* d = reinterpret_cast<TDestination*>(info->dest);
    // The library writes a byte before it asks for room, so there must always be some.
    if (d->capacity == 0) {
        d->buffer = static_cast<unsigned char*>(std::malloc(64 * 1024));
        if (!d->buffer)
            (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
        d->capacity = 64 * 1024;
    }
    d->used = 0;
    d->outOfMemory = false;
    d->pub.next_output_byte = d->buffer;
    d->pub.free_in_buffer = d->capacity;
}

boolean EmptyOutputBuffer(j_compress_ptr info)
{
    auto* d = reinterpret_cast<TDestination*>(info->dest);
    const size_t grown = std::max<size_t>(d->capacity * 2, 64 * 1024);
    auto* bigger = static_cast<unsigned char*>(std::realloc(d->buffer, grown));
    if (!bigger) {
        d->outOfMemory = true;
        (*info->err->error_exit)(reinterpret_cast<j_common_ptr>(info));
    }
    const size_t filled = d->capacity;
    d->buffer = bigger;
    d->capacity = grown;
    d->pub.next_output_byte = d->buffer + filled;
    d->pub.free_in_buffer = grown - filled;
    return TRUE;
}

void TermDestination(j_compress_ptr info)
{
    auto* d = reinterpret_cast<TDestination*>(info->dest);
    d->used = d->capacity - d->pub.free_in_buffer;
}

} // namespace

struct TJpegEncoder::Impl
{
    jpeg_compress_struct info;
    TJpegErrorManager errors;
    TDestination destination;
    bool created = false;

    ~Impl()
    {
        if (created)
            jpeg_destroy_compress(&info);
        std::free(destination.buffer);
    }
};

namespace {

// Only plain data lives in this frame: a jump out of the library skips no destructor.
bool CompressInto(jpeg_compress_struct* info, TJpegErrorManager* errors, const unsigned char* bits,
                  int width, int height, qsizetype bytesPerLine, J_COLOR_SPACE space, int quality)
{
    if (setjmp(errors->jump)) {
        jpeg_abort_compress(info);
        return false;
    }
    info->image_width = JDIMENSION(width);
    info->image_height = JDIMENSION(height);
    info->input_components = 3;
    info->in_color_space = space;
    jpeg_set_defaults(info);
    info->dct_method = JDCT_FLOAT;
    jpeg_set_quality(info, quality, TRUE); // quantisation held within the baseline range
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(bits + qsizetype(info->next_scanline) * bytesPerLine);
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
    return true;
}

} // namespace

TJpegEncoder::TJpegEncoder() : d(std::make_unique<Impl>())
{
    InstallJpegErrorManager(reinterpret_cast<j_common_ptr>(&d->info), d->errors, false);
    jpeg_create_compress(&d->info);
    d->created = true;
    d->destination.pub.init_destination = InitDestination;
    d->destination.pub.empty_output_buffer = EmptyOutputBuffer;
    d->destination.pub.term_destination = TermDestination;
    d->info.dest = &d->destination.pub;
}

TJpegEncoder::~TJpegEncoder() = default;

void TJpegEncoder::SetQuality(int quality)
{
    quality_ = std::clamp(quality, 1, 100);
}

QByteArray TJpegEncoder::Compress(const QImage& frame)
{
    if (frame.isNull() || frame.width() > JPEG_MAX_DIMENSION || frame.height() > JPEG_MAX_DIMENSION)
        return {};
    // Frames from the camera come as BGR; anything else is brought to RGB first.
    QImage source = frame;
    J_COLOR_SPACE space = JCS_EXT_BGR;
    if (source.format() == QImage::Format_RGB888) {
        space = JCS_RGB;
    } else if (source.format() != QImage::Format_BGR888) {
        source = frame.convertToFormat(QImage::Format_RGB888);
        space = JCS_RGB;
    }
    if (!CompressInto(&d->info, &d->errors, source.constBits(), source.width(), source.height(),
                      source.bytesPerLine(), space, quality_))
        return {};
    return QByteArray(reinterpret_cast<const char*>(d->destination.buffer),
                      qsizetype(d->destination.used));
}
