#include "platform/capturegraph/gst/TGstSampleGrabber.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCapsFormats.h"
#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/GstRef.h"

#include <gst/video/video.h>

#include <algorithm>
#include <cstring>

HRESULT TGstSampleGrabber::SetMediaType(const TMediaType& type)
{
    if (!type.majortype.IsNull() && type.majortype != CaptureGuids::MEDIATYPE_Video)
        return Hr::E_INVALIDARG;
    requested_ = type;
    return Hr::S_OK;
}

HRESULT TGstSampleGrabber::SetBufferSamples(bool buffer)
{
    bufferSamples_ = buffer;
    return Hr::S_OK;
}

HRESULT TGstSampleGrabber::SetOneShot(bool oneShot)
{
    oneShot_ = oneShot;
    delivered_ = false;
    return Hr::S_OK;
}

HRESULT TGstSampleGrabber::SetCallback(ISampleGrabberCB* callback, int which)
{
    // Only the buffer callback exists here; there are no sample objects to hand out.
    if (which != 1 && callback)
        return Hr::E_INVALIDARG;
    callback_ = callback;
    return Hr::S_OK;
}

HRESULT TGstSampleGrabber::GetConnectedMediaType(TMediaType& type)
{
    std::lock_guard<std::mutex> lock(typeLock_);
    if (!connected_)
        return GstHr::VFW_E_NOT_CONNECTED;
    type = *connected_;
    return Hr::S_OK;
}

std::optional<QByteArray> TGstSampleGrabber::OutputFormat() const
{
    if (requested_.subtype.IsNull())
        return QByteArray();
    const QByteArray format = GstCapsFormats::GstFormatForSubtype(requested_.subtype);
    if (format.isEmpty())
        return std::nullopt;
    return format;
}

void TGstSampleGrabber::SetConnected(const std::optional<TMediaType>& type)
{
    std::lock_guard<std::mutex> lock(typeLock_);
    connected_ = type;
}

bool TGstSampleGrabber::UpdateCaps(GstPad* pad)
{
    TGstCapsPtr caps(gst_pad_get_current_caps(pad));
    if (!caps)
        return false;
    if (caps.get() == lastCaps_.get())
        return true;
    GstVideoInfo info;
    if (!gst_video_info_from_caps(&info, caps.get()))
        return false;
    lastCaps_ = std::move(caps);
    width_ = GST_VIDEO_INFO_WIDTH(&info);
    height_ = GST_VIDEO_INFO_HEIGHT(&info);
    srcStride_ = GST_VIDEO_INFO_PLANE_STRIDE(&info, 0);
    const QByteArray format = gst_video_format_to_string(GST_VIDEO_INFO_FORMAT(&info));
    bottomUp_ = GstCapsFormats::IsBottomUpFormat(format);
    dibStride_ = GstCapsFormats::DibStride(width_, int(GST_VIDEO_INFO_COMP_PSTRIDE(&info, 0)) * 8);
    SetConnected(GstCapsFormats::VideoTypeFromCaps(lastCaps_.get()));
    return true;
}

void TGstSampleGrabber::OnBuffer(GstPad* pad, GstBuffer* buffer)
{
    ISampleGrabberCB* callback = callback_;
    if (!UpdateCaps(pad) || !callback)
        return;
    if (oneShot_ && delivered_.exchange(true))
        return;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return;
    const double time =
        GST_BUFFER_PTS_IS_VALID(buffer) ? double(GST_BUFFER_PTS(buffer)) / double(GST_SECOND) : 0.0;
    if (bottomUp_) {
        // Bitmaps keep their last row first.
        flipped_.resize(qsizetype(dibStride_) * height_);
        const int row = std::min(dibStride_, srcStride_);
        // Never read past a buffer shorter than its caps say.
        const gsize rows =
            map.size < gsize(row) ? 0 : (map.size - gsize(row)) / gsize(srcStride_) + 1;
        if (rows < gsize(height_))
            flipped_.fill('\0');
        for (int y = 0; gsize(y) < rows && y < height_; ++y)
            std::memcpy(flipped_.data() + qsizetype(height_ - 1 - y) * dibStride_,
                        map.data + qsizetype(y) * srcStride_, size_t(row));
        callback->BufferCB(time, reinterpret_cast<const quint8*>(flipped_.constData()),
                           qint32(flipped_.size()));
    } else {
        callback->BufferCB(time, map.data, qint32(map.size));
    }
    gst_buffer_unmap(buffer, &map);
}
