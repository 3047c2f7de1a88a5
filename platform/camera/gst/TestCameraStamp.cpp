#include "platform/camera/gst/TestCameraStamp.h"

#include "platform/camera/stamp/FrameStamp.h"
#include "platform/elements/gst/GstRef.h"
#include "platform/logging/Logging.h"

#include <gst/video/video.h>

#include <memory>

namespace {

struct TCounter
{
    quint32 next = 0;
};

// Paints one block in every component: luma or colour full on or off, chroma neutral.
void PaintBlock(GstVideoFrame& frame, const QRect& block, bool white)
{
    const GstVideoFormatInfo* info = frame.info.finfo;
    const bool yuv = GST_VIDEO_FORMAT_INFO_IS_YUV(info);
    for (guint c = 0; c < GST_VIDEO_FRAME_N_COMPONENTS(&frame); ++c) {
        guint8 value = white ? 255 : 0;
        if (yuv)
            value = c == 0 ? (white ? 235 : 16) : 128;
        const int wsub = GST_VIDEO_FORMAT_INFO_W_SUB(info, c);
        const int hsub = GST_VIDEO_FORMAT_INFO_H_SUB(info, c);
        auto* data = static_cast<guint8*>(GST_VIDEO_FRAME_COMP_DATA(&frame, c));
        const int stride = GST_VIDEO_FRAME_COMP_STRIDE(&frame, c);
        const int step = GST_VIDEO_FRAME_COMP_PSTRIDE(&frame, c);
        for (int y = block.top() >> hsub; y <= block.bottom() >> hsub; ++y)
            for (int x = block.left() >> wsub; x <= block.right() >> wsub; ++x)
                data[y * stride + x * step] = value;
    }
}

GstPadProbeReturn Stamp(GstPad* pad, GstPadProbeInfo* info, gpointer data)
{
    auto* counter = static_cast<TCounter*>(data);
    const quint32 number = counter->next++ % FrameStamp::Wrap;
    const gint64 made = g_get_monotonic_time();
    TGstCapsPtr caps(gst_pad_get_current_caps(pad));
    GstVideoInfo video;
    if (!caps || !gst_video_info_from_caps(&video, caps.get()))
        return GST_PAD_PROBE_OK;
    const GstVideoFormatInfo* format = video.finfo;
    // Eight bits per component only; a test camera in another layout goes unstamped.
    for (guint c = 0; c < GST_VIDEO_FORMAT_INFO_N_COMPONENTS(format); ++c)
        if (GST_VIDEO_FORMAT_INFO_DEPTH(format, c) != 8)
            return GST_PAD_PROBE_OK;
    const QSize size(GST_VIDEO_INFO_WIDTH(&video), GST_VIDEO_INFO_HEIGHT(&video));
    if (FrameStamp::BlockRect(size, 0).isEmpty())
        return GST_PAD_PROBE_OK;
    GstBuffer* buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
    GST_PAD_PROBE_INFO_DATA(info) = buffer;
    GstVideoFrame frame;
    if (!gst_video_frame_map(&frame, &video, buffer, GST_MAP_WRITE))
        return GST_PAD_PROBE_OK;
    for (int i = 0; i < FrameStamp::Blocks; ++i)
        PaintBlock(frame, FrameStamp::BlockRect(size, i), FrameStamp::IsWhite(number, i));
    gst_video_frame_unmap(&frame);
    qCDebug(lcLatency).noquote()
        << QStringLiteral("test camera made frame %1 at %2 us").arg(number).arg(made);
    return GST_PAD_PROBE_OK;
}

void FreeCounter(gpointer counter)
{
    const std::unique_ptr<TCounter> owned(static_cast<TCounter*>(counter));
}

} // namespace

void TestCameraStamp::Install(GstElement* generator)
{
    TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(generator, "src"));
    if (pad)
        gst_pad_add_probe(pad.get(), GST_PAD_PROBE_TYPE_BUFFER, Stamp,
                          std::make_unique<TCounter>().release(), FreeCounter);
}
