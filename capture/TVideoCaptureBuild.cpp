#include "capture/EVideoCaptureError.h"
#include "capture/TSampleGrabberCB.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"

#include <QFile>
#include <QPointer>
#include <cmath>

using namespace CaptureGuids;

void TVideoCapture::ReleaseFilters()
{
    graph_.reset();
    builder_.reset();
    videoCapture_.reset();
    audioCapture_.reset();
    dvSplitter_.reset();
    dvDecoder_.reset();
    videoCompressor_.reset();
    audioCompressor_.reset();
    audioStreamConfig_.reset();
    videoStreamConfig_.reset();
    vfwCaptureDialogs_.reset();
    vfwCompressDialogs_.reset();
    grabber_.reset();
    dialogs_ = 0;
}

bool TVideoCapture::IsDV()
{
    TMediaType type;
    return videoStreamConfig_ && Hr::Succeeded(videoStreamConfig_->GetFormat(type)) &&
           type.majortype == MEDIATYPE_Interleaved;
}

bool TVideoCapture::CreateCaptureFilters()
{
    ReleaseFilters();
    if (Hr::Failed(system_.CreateCaptureGraphBuilder(builder_)) || !builder_) {
        builder_.reset();
        ShowCaptureError("Can't init graph builder. Probably DirectShow is not installed!");
        return false;
    }
    dvSplitter_.reset();
    dvDecoder_.reset();
    try {
        HRESULT bound = Hr::S_OK;
        if (videoDevice_) {
            QString name;
            if (Hr::Succeeded(videoDevice_->ReadFriendlyName(name)))
                videoDeviceName_ = name;
            bound = videoDevice_->BindToFilter(videoCapture_);
            if (Hr::Failed(bound))
                videoCapture_.reset();
        }
        if (!videoCapture_)
            RaiseCaptureError("Error %x.\r\nCan't create video capture filter - propably you "
                              "havn't video capture device!",
                              bound);
        if (Hr::Failed(system_.CreateFilterGraph(graph_)) || !graph_)
            RaiseCaptureError("Can't init graph. Probably DirectShow is not installed!");
        if (Hr::Failed(builder_->SetFiltergraph(graph_)))
            RaiseCaptureError("Can't set filter graph!");
        HRESULT hr = graph_->AddFilter(videoCapture_, QString());
        if (Hr::Failed(hr))
            RaiseCaptureError("Error %x: Can't add video capture filter into graph!", hr);

        // A DV camera delivers one interleaved stream; everything else plain video.
        hr = builder_->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Interleaved,
                                        videoCapture_, videoStreamConfig_);
        if (Hr::Failed(hr))
            hr = builder_->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Video, videoCapture_,
                                            videoStreamConfig_);
        if (Hr::Failed(hr)) {
            videoStreamConfig_.reset();
            ShowCaptureError("Error %x: Can't find VCapture:IAMStreamConfig!", hr);
        }

        if (IsDV()) {
            if (Hr::Failed(graph_->FindFilterByName("MyDVDecoder", dvDecoder_)) || !dvDecoder_)
                if (Hr::Failed(system_.CreateFilter(TFilterClass::DVVideoCodec, dvDecoder_)))
                    dvDecoder_.reset();
            if (!dvDecoder_)
                RaiseCaptureError("Can't add DV Decoder");
            if (WantAudio && WantDVAudio) {
                if (Hr::Failed(graph_->FindFilterByName("MyDVSplitter", dvSplitter_)) ||
                    !dvSplitter_)
                    if (Hr::Failed(system_.CreateFilter(TFilterClass::DVSplitter, dvSplitter_)))
                        dvSplitter_.reset();
                if (!dvSplitter_)
                    RaiseCaptureError("Can't add DV Splitter");
            }
        }

        if (Hr::Failed(builder_->FindVfwCaptureDialogs(videoCapture_, vfwCaptureDialogs_)))
            vfwCaptureDialogs_.reset();

        if (WantCapture && videoCompressorDevice_) {
            FilterPtr compressor;
            if (Hr::Succeeded(videoCompressorDevice_->BindToFilter(compressor)) && compressor) {
                videoCompressor_ = compressor;
                if (Hr::Failed(builder_->FindVfwCompressDialogs(compressor, vfwCompressDialogs_)))
                    vfwCompressDialogs_.reset();
            }
        }

        if (WantAudio) {
            FilterPtr audioSource;
            if (dvSplitter_) {
                audioSource = dvSplitter_;
            } else if (audioDevice_) {
                QString name;
                if (Hr::Succeeded(audioDevice_->ReadFriendlyName(name)))
                    audioDeviceName_ = name;
                audioCapture_.reset();
                if (Hr::Failed(audioDevice_->BindToFilter(audioCapture_)))
                    audioCapture_.reset();
                if (!audioCapture_) {
                    ShowCaptureError("Can't create audio capture filter!");
                } else {
                    hr = graph_->AddFilter(audioCapture_, QString());
                    if (Hr::Failed(hr))
                        RaiseCaptureError("Error %x: Can't add audio capture filter into graph!",
                                          hr);
                }
                audioSource = audioCapture_;
            }
            if (audioCapture_ || WantDVAudio) {
                FilterPtr searched = audioSource;
                if (WantCapture && audioCompressorDevice_) {
                    FilterPtr compressor;
                    if (Hr::Succeeded(audioCompressorDevice_->BindToFilter(compressor)) &&
                        compressor) {
                        audioCompressor_ = compressor;
                        searched = compressor;
                    }
                }
                if (Hr::Failed(builder_->FindStreamConfig(TPinCategory::None, &MEDIATYPE_Audio,
                                                          searched, audioStreamConfig_))) {
                    audioStreamConfig_.reset();
                    // The DV splitter has no format of its own to offer.
                    if (!(IsDV() && searched && searched == dvSplitter_))
                        ShowCaptureError("Can't find ACapture:IAMStreamConfig!");
                }
            }
        }
        return true;
    } catch (const EVideoCaptureError&) {
        ReleaseFilters();
        return false;
    }
}

bool TVideoCapture::AllocCaptureFile(quint32 megabytes)
{
    if (!builder_ && (Hr::Failed(system_.CreateCaptureGraphBuilder(builder_)) || !builder_)) {
        builder_.reset();
        return false;
    }
    return builder_->AllocCapFile(currentCaptureFile_, qint64(megabytes) * 1048576) == Hr::S_OK;
}

bool TVideoCapture::SetMasterStream(int stream)
{
    if (!muxConfig_ || Hr::Failed(muxConfig_->SetMasterStream(stream))) {
        ShowCaptureError("SetMasterStream failed!");
        return false;
    }
    masterStream_ = stream;
    return true;
}

bool TVideoCapture::BuildGraph()
{
    if (!graph_)
        return false;
    if (graphBuilt_)
        return true;
    if (!videoCapture_)
        return false;
    if (WantAudio && !audioCapture_ && !(IsDV() && WantDVAudio))
        return false;
    if (WantCapture) {
        const QString name = UseTempFile ? tempCaptureFileName_ : captureFileName_;
        if (name.isEmpty()) {
            ShowCaptureError("Capture filename required!");
            return false;
        }
        currentCaptureFile_ = ResolveFile(name);
        QFile::remove(currentCaptureFile_);
        if (DoPreallocFile && !AllocCaptureFile(PreallocFileSize)) {
            ShowCaptureError("Can't allocate space for capture file! Disk full?");
            return false;
        }
    }

    try {
        FilterPtr videoSource = videoCapture_;
        FilterPtr audioSource = audioCapture_;

        if (IsDV()) {
            if (dvDecoder_)
                graph_->AddFilter(dvDecoder_, "MyDVDecoder");
            if (dvSplitter_)
                graph_->AddFilter(dvSplitter_, "MyDVSplitter");
            if (!dvDecoder_ ||
                builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Interleaved, videoCapture_,
                                       dvSplitter_, dvDecoder_) != Hr::S_OK)
                RaiseCaptureError("Can't render video capture stream!");
            SetDVResolution(dvResolution_);
            videoSource = dvDecoder_;
            if (WantAudio && WantDVAudio)
                audioSource = dvSplitter_;
        }

        FilterPtr smartTee;
        if (Hr::Failed(system_.CreateFilter(TFilterClass::SmartTee, smartTee)) || !smartTee ||
            Hr::Failed(graph_->AddFilter(smartTee, "MySmartTee")) ||
            Hr::Failed(builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Video, videoSource,
                                              nullptr, smartTee)))
            RaiseCaptureError("Can't add SmartTee");
        videoSource = smartTee;

        if (audioSource && WantAudioPreview) {
            FilterPtr infTee;
            if (Hr::Failed(system_.CreateFilter(TFilterClass::InfTee, infTee)) || !infTee ||
                Hr::Failed(graph_->AddFilter(infTee, "MyInfTee")) ||
                Hr::Failed(builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, audioSource,
                                                  nullptr, infTee)))
                RaiseCaptureError("Can't add InfiniteTee");
            audioSource = infTee;
        }

        if (WantPreview && WantAudioPreview && audioSource &&
            Hr::Failed(builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, audioSource,
                                              nullptr, nullptr)))
            RaiseCaptureError("Can't render audio preview stream!");

        if (WantCapture) {
            if (builder_->SetOutputFileName(MEDIASUBTYPE_Avi, currentCaptureFile_, mux_,
                                            fileWriter_) != Hr::S_OK)
                RaiseCaptureError("Can't set capture file!");
            if (fileWriter_)
                fileWriter_->SetOverwriteMode();
            muxConfig_ = mux_ ? mux_->ConfigAviMux() : nullptr;
            if (muxConfig_) {
                muxConfig_->SetOutputCompatibilityIndex(true);
                if (audioSource)
                    SetMasterStream(masterStream_);
            }
            if (videoCompressor_)
                graph_->AddFilter(videoCompressor_, "MyVideoCompressor");
            if (builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Video, videoSource,
                                       videoCompressor_, mux_) != Hr::S_OK)
                RaiseCaptureError("Can't render video capture stream!");
            if (audioSource) {
                if (audioCompressor_)
                    graph_->AddFilter(audioCompressor_, "MyAudioCompressor");
                if (Hr::Failed(builder_->RenderStream(TPinCategory::None, &MEDIATYPE_Audio,
                                                      audioSource, audioCompressor_, mux_)))
                    RaiseCaptureError("Can't render audio capture stream!");
            }
        }

        if (WantPreview && !RenderPreview(videoSource))
            RaiseCaptureError("Can't render preview stream!");
        if (!MakePreviewWindow() && WantPreview)
            ShowCaptureError("This graph cannot preview!");

        HRESULT rate = UseFrameRate ? Hr::E_FAIL : Hr::S_OK;
        TMediaType format;
        if (UseFrameRate && videoStreamConfig_ &&
            Hr::Succeeded(videoStreamConfig_->GetFormat(format)) &&
            format.formattype == FORMAT_VideoInfo) {
            // Never set (0): use the setter's fallback rather than an infinite frame time.
            const double fps = frameRate_ > 0 ? frameRate_ : 25.0;
            format.SetAvgTimePerFrame(std::llround(10'000'000.0 / fps));
            rate = videoStreamConfig_->SetFormat(format);
            if (Hr::Failed(rate))
                ShowCaptureError("%x: can't set preview frame rate!", rate);
        }
        if (Hr::Failed(rate))
            ShowCaptureError("Cannot set frame rate for capture!");

        const QPointer<TVideoCapture> self(this);
        eventSource_ = Hr::Succeeded(graph_->SetNotify([self] {
            if (self)
                self->HandleGraphEvents();
        }));

        DetectDialogs();
        graphBuilt_ = true;
        return true;
    } catch (const EVideoCaptureError&) {
        DismantleGraph();
        return false;
    }
}
