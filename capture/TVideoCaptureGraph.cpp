#include "capture/TVideoCapture.h"

#include <QFile>

namespace {
// Filters the build adds by name; a build that failed half-way may leave them unconnected.
const char* const OwnFilterNames[] = {"MyDVDecoder",    "MyDVSplitter",      "MySmartTee",
                                      "MyInfTee",       "MyVideoCompressor", "MyAudioCompressor",
                                      "MyBitmapGrabber"};
} // namespace

void TVideoCapture::TearDownGraph()
{
    if (!graphBuilt_)
        return;
    if (previewing_)
        StopPreview();
    DismantleGraph();
}

void TVideoCapture::DismantleGraph()
{
    if (videoWindow_) {
        videoWindow_->SetVisible(false);
        videoWindow_->SetOwner(nullptr);
        videoWindow_.reset();
    }
    const FilterPtr mux = mux_;
    fileWriter_.reset();
    muxConfig_.reset();
    mux_.reset();
    grabber_.reset();
    if (eventSource_ && graph_)
        graph_->SetNotify({});
    eventSource_ = false;

    if (videoCapture_)
        RemoveDownstream(videoCapture_);
    if (audioCapture_)
        RemoveDownstream(audioCapture_);
    if (graph_) {
        for (const char* name : OwnFilterNames) {
            FilterPtr stray;
            if (Hr::Succeeded(graph_->FindFilterByName(name, stray)) && stray) {
                RemoveDownstream(stray);
                graph_->RemoveFilter(stray);
            }
        }
        FilterPtr found;
        if (mux && Hr::Succeeded(graph_->FindFilterByName(mux->Name(), found)) && found == mux) {
            RemoveDownstream(mux);
            graph_->RemoveFilter(mux);
        }
    }

    graphBuilt_ = false;
    if (WantCapture && !tempCaptureFileName_.isEmpty())
        QFile::remove(ResolveFile(tempCaptureFileName_));
}

void TVideoCapture::RemoveDownstream(const FilterPtr& filter)
{
    if (!filter)
        return;
    for (const PinPtr& pin : filter->Pins()) {
        PinPtr to;
        if (Hr::Failed(pin->ConnectedTo(to)) || !to)
            continue;
        if (to->Direction() != TPinDirection::Input)
            continue;
        const FilterPtr downstream = to->Filter();
        if (downstream)
            RemoveDownstream(downstream);
        to->Disconnect();
        pin->Disconnect();
        if (downstream && graph_)
            graph_->RemoveFilter(downstream);
    }
}

bool TVideoCapture::MakePreviewWindow()
{
    std::shared_ptr<IVideoWindow> window;
    if (!graph_ || Hr::Failed(graph_->QueryVideoWindow(window)) || !window)
        return false;
    videoWindow_ = window;
    // The picture lives inside this widget, over its whole client area.
    videoWindow_->SetOwner(this);
    videoWindow_->SetWindowPosition(0, 0, width(), height());
    videoWindow_->SetVisible(true);
    return true;
}

bool TVideoCapture::StartPreview()
{
    if (graph_ && previewing_)
        return true;
    if (!BuildGraph())
        return false;
    if (WantCapture)
        ControlCaptureStream(false); // previewing never writes the capture file
    const HRESULT hr = graph_->Run();
    if (Hr::Failed(hr)) {
        graph_->Stop();
        ShowCaptureError("Error %x: Cannot run preview graph!", hr);
        return false;
    }
    previewing_ = true;
    emit OnStartPreview();
    return true;
}

bool TVideoCapture::StopPreview()
{
    if (!previewing_)
        return false;
    if (graph_) {
        const HRESULT hr = graph_->Stop();
        if (Hr::Failed(hr)) {
            ShowCaptureError("Error %x: Cannot stop preview graph!", hr);
            return false;
        }
    }
    update();
    emit OnStopPreview();
    previewing_ = false;
    return true;
}

bool TVideoCapture::ControlCaptureStream(bool start)
{
    if (!graph_)
        return false;
    bool result = false;
    if (mux_)
        for (const PinPtr& pin : mux_->Pins()) {
            if (pin->Direction() != TPinDirection::Input)
                continue;
            if (const auto control = pin->StreamControl())
                result = Hr::Succeeded(start ? control->StartNow() : control->StopNow(false));
        }
    FilterPtr smartTee;
    PinPtr output;
    if (builder_ && Hr::Succeeded(graph_->FindFilterByName("MySmartTee", smartTee)) && smartTee &&
        Hr::Succeeded(builder_->FindPin(smartTee, TPinDirection::Output, 0, output)) && output)
        if (const auto control = output->StreamControl()) {
            if (start)
                control->StartNow();
            else
                control->StopNow(true);
        }
    return result;
}
