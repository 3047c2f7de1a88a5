#include "platform/capturegraph/gst/TGstCaptureGraphBuilder.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/GstCodes.h"
#include "platform/capturegraph/gst/GstRef.h"
#include "platform/capturegraph/gst/TGstFilter.h"
#include "platform/capturegraph/gst/TGstFilterGraph.h"
#include "platform/capturegraph/gst/TGstMuxControl.h"
#include "platform/capturegraph/gst/TGstPin.h"
#include "platform/capturegraph/gst/TGstSampleGrabber.h"
#include "platform/capturegraph/gst/TGstStreamConfig.h"

#include <QFile>

using CaptureGuids::MEDIATYPE_Audio;
using CaptureGuids::MEDIATYPE_Interleaved;
using CaptureGuids::MEDIATYPE_Video;

namespace {

// Which major types a filter's input takes; null accepts any.
TGuid InputMajor(const TGstFilter& filter)
{
    switch (filter.Kind()) {
    case TGstFilterKind::SampleGrabber:
    case TGstFilterKind::VideoRenderer:
    case TGstFilterKind::VideoEncoder:
        return MEDIATYPE_Video;
    case TGstFilterKind::AudioRenderer:
    case TGstFilterKind::AudioEncoder:
        return MEDIATYPE_Audio;
    case TGstFilterKind::DVSplitter:
        return MEDIATYPE_Interleaved;
    default:
        return {};
    }
}

// Whether avimux can store what the encoder makes, known before anything runs.
bool MuxTakes(GstElementFactory* encoder, const TGuid& major)
{
    TGstObjectPtr<GstElementFactory> mux(gst_element_factory_find("avimux"));
    if (!mux)
        return false;
    const char* muxPad = major == MEDIATYPE_Audio ? "audio_%u" : "video_%u";
    TGstCapsPtr accepted, produced;
    for (const GList* l = gst_element_factory_get_static_pad_templates(mux.get()); l; l = l->next) {
        auto* t = static_cast<GstStaticPadTemplate*>(l->data);
        if (g_strcmp0(t->name_template, muxPad) == 0)
            accepted.reset(gst_static_pad_template_get_caps(t));
    }
    for (const GList* l = gst_element_factory_get_static_pad_templates(encoder); l; l = l->next) {
        auto* t = static_cast<GstStaticPadTemplate*>(l->data);
        if (t->direction == GST_PAD_SRC)
            produced.reset(gst_static_pad_template_get_caps(t));
    }
    return accepted && produced && gst_caps_can_intersect(accepted.get(), produced.get());
}

} // namespace

HRESULT TGstCaptureGraphBuilder::SetFiltergraph(const GraphPtr& graph)
{
    auto ours = std::dynamic_pointer_cast<TGstFilterGraph>(graph);
    if (!ours)
        return Hr::E_INVALIDARG;
    graph_ = ours;
    return Hr::S_OK;
}

HRESULT TGstCaptureGraphBuilder::FindStreamConfig(TPinCategory category, const TGuid* majortype,
                                                  const FilterPtr& filter,
                                                  std::shared_ptr<IAMStreamConfig>& config)
{
    config.reset();
    auto ours = std::dynamic_pointer_cast<TGstFilter>(filter);
    if (!ours || !ours->StreamConfig())
        return Hr::E_NOINTERFACE;
    // Devices have a single capture pin; there is no separate preview pin and no DV stream.
    if (category == TPinCategory::Preview)
        return Hr::E_NOINTERFACE;
    if (majortype && !majortype->IsNull() && *majortype != ours->OutputMajor())
        return Hr::E_NOINTERFACE;
    config = ours->StreamConfig();
    return Hr::S_OK;
}

HRESULT
TGstCaptureGraphBuilder::FindVfwCaptureDialogs(const FilterPtr&,
                                               std::shared_ptr<IAMVfwCaptureDialogs>& dialogs)
{
    dialogs.reset();
    return Hr::E_NOINTERFACE;
}

HRESULT
TGstCaptureGraphBuilder::FindVfwCompressDialogs(const FilterPtr&,
                                                std::shared_ptr<IAMVfwCompressDialogs>& dialogs)
{
    dialogs.reset();
    return Hr::E_NOINTERFACE;
}

std::shared_ptr<TGstFilter> TGstCaptureGraphBuilder::DefaultRenderer(const TGuid& major)
{
    TGstFilterKind kind;
    if (major == MEDIATYPE_Video)
        kind = TGstFilterKind::VideoRenderer;
    else if (major == MEDIATYPE_Audio)
        kind = TGstFilterKind::AudioRenderer;
    else
        return nullptr;
    auto renderer = TGstFilter::Create(kind);
    if (Hr::Failed(graph_->AddFilter(renderer, {})))
        return nullptr;
    return renderer;
}

HRESULT TGstCaptureGraphBuilder::ConnectTo(const std::shared_ptr<TGstPin>& out,
                                           const std::shared_ptr<TGstFilter>& to,
                                           const TGuid& major, std::shared_ptr<TGstPin>& in)
{
    const TGuid accepts = InputMajor(*to);
    if (!accepts.IsNull() && accepts != major)
        return Hr::VFW_E_CANNOT_CONNECT;
    if (to->Kind() == TGstFilterKind::SampleGrabber && !to->Grabber()->OutputFormat())
        return GstHr::VFW_E_TYPE_NOT_ACCEPTED;
    const auto from = out->Owner();
    if (to->Kind() == TGstFilterKind::AviMux && from && from->Factory() &&
        !MuxTakes(from->Factory(), major))
        return GstHr::VFW_E_TYPE_NOT_ACCEPTED;
    in = to->FreeInput();
    if (!in)
        return GstHr::VFW_E_ALREADY_CONNECTED;
    TGstPin::Connect(out, in, major);
    return Hr::S_OK;
}

HRESULT TGstCaptureGraphBuilder::RenderStream(TPinCategory, const TGuid* majortype,
                                              const FilterPtr& source,
                                              const FilterPtr& intermediate, const FilterPtr& sink)
{
    if (!graph_)
        return GstHr::E_UNEXPECTED;
    if (graph_->Running())
        return GstHr::VFW_E_NOT_STOPPED;
    const auto from = graph_->Member(source);
    if (!from)
        return Hr::E_INVALIDARG;
    // The DV splitter's outputs carry different types: the one asked for is rendered.
    TGuid carried = from->OutputMajor();
    if (from->Kind() == TGstFilterKind::DVSplitter && majortype && !majortype->IsNull())
        carried = *majortype;
    if (carried.IsNull())
        return Hr::VFW_E_CANNOT_CONNECT;
    if (majortype && !majortype->IsNull() && *majortype != carried)
        return Hr::VFW_E_CANNOT_CONNECT;
    std::shared_ptr<TGstFilter> middle, to;
    if (intermediate && !(middle = graph_->Member(intermediate)))
        return Hr::E_INVALIDARG;
    if (sink && !(to = graph_->Member(sink)))
        return Hr::E_INVALIDARG;

    const auto out = from->FreeOutputFor(carried);
    if (!out)
        return GstHr::VFW_E_ALREADY_CONNECTED;
    std::shared_ptr<TGstPin> middleIn, middleOut, secondIn;
    auto undo = [&](HRESULT hr) {
        for (const auto& pin : {out, middleOut}) {
            if (!pin)
                continue;
            if (const auto peer = pin->Peer())
                peer->Unlink();
            pin->Unlink();
        }
        return hr;
    };
    std::shared_ptr<TGstPin> next = out;
    if (middle) {
        if (const HRESULT hr = ConnectTo(out, middle, carried, middleIn); Hr::Failed(hr))
            return undo(hr);
        // Through a DV splitter, the picture goes on.
        if (middle->Kind() == TGstFilterKind::DVSplitter)
            carried = MEDIATYPE_Video;
        next = middle->FreeOutputFor(carried);
        if (!next)
            return undo(GstHr::VFW_E_ALREADY_CONNECTED);
        middleOut = next;
    }
    const bool made = !to;
    if (made && !(to = DefaultRenderer(carried)))
        return undo(Hr::VFW_E_CANNOT_CONNECT);
    if (const HRESULT hr = ConnectTo(next, to, carried, secondIn); Hr::Failed(hr)) {
        if (made)
            graph_->RemoveFilter(to);
        return undo(hr);
    }
    return Hr::S_OK;
}

HRESULT TGstCaptureGraphBuilder::SetOutputFileName(const TGuid& subtype, const QString& fileName,
                                                   FilterPtr& multiplexer,
                                                   std::shared_ptr<IFileSinkFilter>& writer)
{
    multiplexer.reset();
    writer.reset();
    if (!graph_)
        return GstHr::E_UNEXPECTED;
    if (subtype != CaptureGuids::MEDIASUBTYPE_Avi || fileName.isEmpty())
        return Hr::E_INVALIDARG;
    auto mux = TGstFilter::Create(TGstFilterKind::AviMux);
    mux->Mux()->SetFileName(fileName);
    if (const HRESULT hr = graph_->AddFilter(mux, {}); Hr::Failed(hr))
        return hr;
    multiplexer = mux;
    writer = mux->Mux();
    return Hr::S_OK;
}

HRESULT TGstCaptureGraphBuilder::AllocCapFile(const QString& fileName, qint64 bytes)
{
    if (fileName.isEmpty() || bytes < 0)
        return Hr::E_INVALIDARG;
    QFile file(fileName);
    if (!file.open(QIODevice::ReadWrite) || !file.resize(bytes))
        return Hr::E_FAIL;
    return Hr::S_OK;
}

HRESULT TGstCaptureGraphBuilder::FindPin(const FilterPtr& filter, TPinDirection direction,
                                         int index, PinPtr& pin)
{
    pin.reset();
    auto ours = std::dynamic_pointer_cast<TGstFilter>(filter);
    if (!ours)
        return Hr::E_INVALIDARG;
    const auto& pins = direction == TPinDirection::Input ? ours->Inputs() : ours->Outputs();
    if (index < 0 || size_t(index) >= pins.size())
        return Hr::E_FAIL;
    pin = pins[size_t(index)];
    return Hr::S_OK;
}
