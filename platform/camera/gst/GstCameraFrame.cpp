#include "platform/camera/gst/GstCameraFrame.h"

#include <gst/video/video.h>

#include <memory>

namespace GstCameraFrame {

namespace {

struct TGrab
{
    QImage::Format image;
    GstVideoFormat layout;
};

// QImage's 32-bit pixels are native-endian words, the others byte sequences.
constexpr TGrab Grabs[] = {
    {QImage::Format_BGR888, GST_VIDEO_FORMAT_BGR},
    {QImage::Format_RGB888, GST_VIDEO_FORMAT_RGB},
    {QImage::Format_RGB32,
     G_BYTE_ORDER == G_LITTLE_ENDIAN ? GST_VIDEO_FORMAT_BGRx : GST_VIDEO_FORMAT_xRGB},
    {QImage::Format_RGB16, GST_VIDEO_FORMAT_RGB16},
    {QImage::Format_RGB555, GST_VIDEO_FORMAT_RGB15},
};

// What an image keeps alive of its sample.
struct TMapped
{
    TGstSamplePtr sample;
    GstMapInfo map{};
};

void Release(void* data)
{
    const std::unique_ptr<TMapped> mapped(static_cast<TMapped*>(data));
    gst_buffer_unmap(gst_sample_get_buffer(mapped->sample.get()), &mapped->map);
}

} // namespace

QByteArray GrabLayout(QImage::Format format)
{
    for (const TGrab& grab : Grabs)
        if (grab.image == format)
            return gst_video_format_to_string(grab.layout);
    return {};
}

QImage Wrap(TGstSamplePtr sample)
{
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample.get()) : nullptr;
    GstCaps* caps = sample ? gst_sample_get_caps(sample.get()) : nullptr;
    GstVideoInfo info;
    if (!buffer || !caps || !gst_video_info_from_caps(&info, caps))
        return {};
    const TGrab* grab = nullptr;
    for (const TGrab& g : Grabs)
        if (g.layout == GST_VIDEO_INFO_FORMAT(&info))
            grab = &g;
    const int width = GST_VIDEO_INFO_WIDTH(&info);
    const int height = GST_VIDEO_INFO_HEIGHT(&info);
    gsize offset = GST_VIDEO_INFO_PLANE_OFFSET(&info, 0);
    int stride = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    // A buffer may lay its rows out otherwise than the caps say.
    if (const GstVideoMeta* meta = gst_buffer_get_video_meta(buffer)) {
        if (int(meta->width) != width || int(meta->height) != height)
            return {};
        offset = meta->offset[0];
        stride = meta->stride[0];
    }
    if (!grab || width <= 0 || height <= 0 ||
        qint64(stride) < qint64(width) * GST_VIDEO_INFO_COMP_PSTRIDE(&info, 0))
        return {};
    auto mapped = std::make_unique<TMapped>();
    if (!gst_buffer_map(buffer, &mapped->map, GST_MAP_READ))
        return {};
    const guint8* data = mapped->map.data;
    // A short buffer is refused rather than read past its end.
    if (mapped->map.size < offset || mapped->map.size - offset < gsize(stride) * gsize(height)) {
        gst_buffer_unmap(buffer, &mapped->map);
        return {};
    }
    mapped->sample = std::move(sample);
    TMapped* kept = mapped.release();
    QImage image(data + offset, width, height, stride, grab->image, Release, kept);
    // An image Qt refused to make never calls its cleanup.
    if (image.isNull())
        Release(kept);
    return image;
}

QByteArray Bytes(GstSample* sample)
{
    GstBuffer* buffer = sample ? gst_sample_get_buffer(sample) : nullptr;
    GstMapInfo map;
    if (!buffer || !gst_buffer_map(buffer, &map, GST_MAP_READ))
        return {};
    QByteArray bytes(reinterpret_cast<const char*>(map.data), qsizetype(map.size));
    gst_buffer_unmap(buffer, &map);
    return bytes;
}

} // namespace GstCameraFrame
