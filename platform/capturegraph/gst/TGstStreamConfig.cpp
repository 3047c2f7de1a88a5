#include "platform/capturegraph/gst/TGstStreamConfig.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCodes.h"

#include <gst/gst.h>

#include <cstdlib>

namespace {

bool SameFrame(const TMediaType& a, const TMediaType& b)
{
    if (a.majortype != b.majortype || a.subtype != b.subtype)
        return false;
    if (a.majortype == CaptureGuids::MEDIATYPE_Audio) {
        const auto wa = a.WaveFormat(), wb = b.WaveFormat();
        return wa && wb && wa->nChannels == wb->nChannels &&
               wa->nSamplesPerSec == wb->nSamplesPerSec && wa->wBitsPerSample == wb->wBitsPerSample;
    }
    const auto ha = a.BitmapHeader(), hb = b.BitmapHeader();
    return ha && hb && ha->biWidth == hb->biWidth &&
           std::abs(ha->biHeight) == std::abs(hb->biHeight);
}

} // namespace

TGstStreamConfig::TGstStreamConfig(std::vector<GstCapsFormats::TGstMode> modes)
    : modes_(std::move(modes))
{
    // A camera starts at a middle size when it has one, as most drivers do.
    for (size_t i = 0; i < modes_.size(); ++i) {
        const auto h = modes_[i].type.BitmapHeader();
        if (h && h->biWidth == 640 && std::abs(h->biHeight) == 480) {
            selected_ = int(i);
            break;
        }
    }
}

HRESULT TGstStreamConfig::GetFormat(TMediaType& type)
{
    if (modes_.empty())
        return GstHr::VFW_E_NOT_CONNECTED;
    type = modes_[size_t(selected_)].type;
    if (overrideInterval_ > 0)
        type.SetAvgTimePerFrame(overrideInterval_);
    return Hr::S_OK;
}

HRESULT TGstStreamConfig::SetFormat(const TMediaType& type)
{
    if (running_)
        return GstHr::VFW_E_NOT_STOPPED;
    const qint64 wanted = type.AvgTimePerFrame();
    int candidate = -1;
    for (size_t i = 0; i < modes_.size(); ++i) {
        const GstCapsFormats::TGstMode& m = modes_[i];
        if (!SameFrame(m.type, type))
            continue;
        if (wanted <= 0 || std::llabs(m.type.AvgTimePerFrame() - wanted) <= 1) {
            selected_ = int(i);
            rateOverride_ = {0, 1};
            overrideInterval_ = 0;
            return Hr::S_OK;
        }
        if (candidate < 0 && wanted >= m.range.MinFrameInterval &&
            wanted <= m.range.MaxFrameInterval)
            candidate = int(i);
    }
    if (candidate < 0)
        return GstHr::VFW_E_TYPE_NOT_ACCEPTED;
    // A rate between the listed ones is made by dropping or repeating frames.
    int n = 0, d = 1;
    gst_util_double_to_fraction(10000000.0 / double(wanted), &n, &d);
    selected_ = candidate;
    rateOverride_ = {n, d};
    overrideInterval_ = wanted;
    return Hr::S_OK;
}

HRESULT TGstStreamConfig::GetNumberOfCapabilities(int& count)
{
    count = int(modes_.size());
    return Hr::S_OK;
}

HRESULT TGstStreamConfig::GetStreamCaps(int index, TMediaType& type, TVideoStreamConfigCaps& caps)
{
    if (index < 0 || size_t(index) >= modes_.size())
        return Hr::E_INVALIDARG;
    type = modes_[size_t(index)].type;
    caps = modes_[size_t(index)].range;
    return Hr::S_OK;
}

QByteArray TGstStreamConfig::SelectedCaps() const
{
    return modes_.empty() ? QByteArray() : modes_[size_t(selected_)].caps;
}
