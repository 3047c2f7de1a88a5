#include "platform/capturegraph/fake/TFakeBuilder.h"

#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeCaptureDialogs.h"
#include "platform/capturegraph/fake/TFakeCompressDialogs.h"
#include "platform/capturegraph/fake/TFakeDVDecoder.h"
#include "platform/capturegraph/fake/TFakeDevice.h"
#include "platform/capturegraph/fake/TFakeFileSink.h"
#include "platform/capturegraph/fake/TFakeFilter.h"
#include "platform/capturegraph/fake/TFakeGraph.h"
#include "platform/capturegraph/fake/TFakeJournal.h"
#include "platform/capturegraph/fake/TFakePin.h"
#include "platform/capturegraph/fake/TFakeSampleGrabber.h"
#include "platform/capturegraph/fake/TFakeStreamConfig.h"

using namespace CaptureGuids;

namespace {

QString MajorName(const TGuid* major)
{
    if (!major)
        return "any";
    if (*major == MEDIATYPE_Video)
        return "video";
    if (*major == MEDIATYPE_Audio)
        return "audio";
    if (*major == MEDIATYPE_Interleaved)
        return "interleaved";
    return major->ToString();
}

std::shared_ptr<TFakeFilter> Fake(const FilterPtr& filter)
{
    return std::dynamic_pointer_cast<TFakeFilter>(filter);
}

int BitsOf(const TGuid& subtype)
{
    if (subtype == MEDIASUBTYPE_RGB1)
        return 1;
    if (subtype == MEDIASUBTYPE_RGB4)
        return 4;
    if (subtype == MEDIASUBTYPE_RGB8)
        return 8;
    if (subtype == MEDIASUBTYPE_RGB555 || subtype == MEDIASUBTYPE_RGB565 ||
        subtype == MEDIASUBTYPE_YUY2)
        return 16;
    if (subtype == MEDIASUBTYPE_RGB32)
        return 32;
    return 24;
}

} // namespace

HRESULT TFakeBuilder::SetFiltergraph(const GraphPtr& graph)
{
    const HRESULT hr = journal_.Call("SetFiltergraph");
    if (Hr::Succeeded(hr))
        graph_ = std::dynamic_pointer_cast<TFakeGraph>(graph);
    return hr;
}

HRESULT TFakeBuilder::FindStreamConfig(TPinCategory category, const TGuid* majortype,
                                       const FilterPtr& filter,
                                       std::shared_ptr<IAMStreamConfig>& config)
{
    config.reset();
    const auto fake = Fake(filter);
    const QString major = MajorName(majortype);
    const HRESULT hr =
        journal_.Call("FindStreamConfig", {major, major + ':' + (fake ? fake->Label() : "none")});
    if (Hr::Failed(hr))
        return hr;
    if (!fake || !fake->Device() || fake->Device()->Modes.empty())
        return Hr::E_NOINTERFACE;
    const auto& device = fake->Device();
    bool offered = false;
    if (device->Category == TDeviceCategory::VideoInput) {
        const TGuid wanted = device->IsInterleaved() ? MEDIATYPE_Interleaved : MEDIATYPE_Video;
        offered = category != TPinCategory::None && (!majortype || *majortype == wanted);
    } else {
        offered = !majortype || *majortype == MEDIATYPE_Audio;
    }
    if (!offered)
        return Hr::E_NOINTERFACE;
    config = std::make_shared<TFakeStreamConfig>(journal_, device);
    return Hr::S_OK;
}

HRESULT TFakeBuilder::FindVfwCaptureDialogs(const FilterPtr& filter,
                                            std::shared_ptr<IAMVfwCaptureDialogs>& dialogs)
{
    dialogs.reset();
    const auto fake = Fake(filter);
    if (!fake || fake->Kind() != "video" || fake->Device()->CaptureDialogs.isEmpty())
        return Hr::E_NOINTERFACE;
    dialogs = std::make_shared<TFakeCaptureDialogs>(fake->Device());
    return Hr::S_OK;
}

HRESULT TFakeBuilder::FindVfwCompressDialogs(const FilterPtr& filter,
                                             std::shared_ptr<IAMVfwCompressDialogs>& dialogs)
{
    dialogs.reset();
    const auto fake = Fake(filter);
    if (!fake || fake->Kind() != "vcomp" || !fake->Device()->CompressDialogs)
        return Hr::E_NOINTERFACE;
    dialogs = std::make_shared<TFakeCompressDialogs>(journal_, fake->Device());
    return Hr::S_OK;
}

HRESULT TFakeBuilder::RenderStream(TPinCategory, const TGuid* majortype, const FilterPtr& source,
                                   const FilterPtr& intermediate, const FilterPtr& sink)
{
    const bool audio = majortype && *majortype == MEDIATYPE_Audio;
    const QString sinkName = sink ? sink->Name() : audio ? "AudioRenderer" : "VideoRenderer";
    const HRESULT hr =
        journal_.Call("RenderStream", {sinkName, sinkName + ':' + MajorName(majortype)});
    if (Hr::Failed(hr))
        return hr;
    auto from = Fake(source);
    auto through = Fake(intermediate);
    auto to = Fake(sink);
    if (!graph_ || !from || !graph_->Contains(from) ||
        (intermediate && !graph_->Contains(through)) || (sink && !graph_->Contains(to)))
        return Hr::VFW_E_CANNOT_CONNECT;
    if (!to) {
        to = std::make_shared<TFakeFilter>(journal_, sinkName, sinkName);
        graph_->Adopt(to, sinkName);
    }
    auto out = from->FreePin(TPinDirection::Output);
    if (through) {
        TFakePin::Connect(out, through->FreePin(TPinDirection::Input));
        out = through->FreePin(TPinDirection::Output);
    }
    TFakePin::Connect(out, to->FreePin(TPinDirection::Input));
    if (auto grabber = to->Grabber())
        grabber->Connected = GrabbedType(through ? through : from, grabber->Requested);
    return Hr::S_OK;
}

TMediaType TFakeBuilder::GrabbedType(const std::shared_ptr<TFakeFilter>& source,
                                     const std::optional<TMediaType>& requested) const
{
    // Walk upstream to what produces the picture: a DV decoder or the camera.
    TMediaType type;
    for (auto filter = source; filter;) {
        if (auto decoder = filter->Decoder()) {
            static const int sizes[4][2] = {{720, 576}, {360, 288}, {180, 144}, {88, 72}};
            const int row = std::clamp(decoder->Display - 1000, 0, 3);
            TBitmapInfoHeader h;
            h.biWidth = sizes[row][0];
            h.biHeight = sizes[row][1];
            h.biBitCount = 24;
            type = TMediaType::Video(MEDIASUBTYPE_RGB24, h, 400000);
            break;
        }
        if (filter->Device()) {
            type = filter->Device()->CurrentFormat();
            break;
        }
        std::shared_ptr<TFakeFilter> upstream;
        for (const auto& pin : filter->FakePins())
            if (pin->Direction() == TPinDirection::Input && pin->Peer())
                upstream = std::dynamic_pointer_cast<TFakeFilter>(pin->Peer()->Filter());
        filter = upstream;
    }
    if (requested && !requested->subtype.IsNull()) {
        auto header = type.BitmapHeader().value_or(TBitmapInfoHeader{});
        header.biBitCount = quint16(BitsOf(requested->subtype));
        header.biCompression = 0;
        const qint64 stride = ((qint64(header.biWidth) * header.biBitCount + 31) / 32) * 4;
        header.biSizeImage = quint32(stride * std::llabs(qint64(header.biHeight)));
        type = TMediaType::Video(requested->subtype, header, type.AvgTimePerFrame());
    }
    return type;
}

HRESULT TFakeBuilder::SetOutputFileName(const TGuid&, const QString& fileName,
                                        FilterPtr& multiplexer,
                                        std::shared_ptr<IFileSinkFilter>& writer)
{
    multiplexer.reset();
    writer.reset();
    const HRESULT hr = journal_.Call("SetOutputFileName", {fileName});
    if (Hr::Failed(hr))
        return hr;
    if (!graph_)
        return Hr::E_FAIL;
    auto mux = std::make_shared<TFakeFilter>(journal_, "AviMux", "AviMux");
    auto file = std::make_shared<TFakeFilter>(journal_, "FileWriter", "FileWriter");
    graph_->Adopt(mux, "AviMux");
    graph_->Adopt(file, "FileWriter");
    TFakePin::Connect(mux->FreePin(TPinDirection::Output), file->FreePin(TPinDirection::Input));
    writer_ = std::make_shared<TFakeFileSink>(journal_, fileName);
    multiplexer = mux;
    writer = writer_;
    return Hr::S_OK;
}

HRESULT TFakeBuilder::AllocCapFile(const QString& fileName, qint64 bytes)
{
    return journal_.Call("AllocCapFile", {fileName + ':' + QString::number(bytes)});
}

HRESULT TFakeBuilder::FindPin(const FilterPtr& filter, TPinDirection direction, int index,
                              PinPtr& pin)
{
    pin.reset();
    int seen = 0;
    if (filter)
        for (const PinPtr& p : filter->Pins())
            if (p->Direction() == direction && seen++ == index) {
                pin = p;
                return Hr::S_OK;
            }
    return Hr::VFW_E_NOT_FOUND;
}
