#pragma once

// Turns the graph model into GStreamer elements inside a pipeline: each filter becomes a small
// chain of elements and each connection a pad link.

#include "platform/capturegraph/CaptureInterfaces.h"

#include <gst/gst.h>

#include <map>
#include <memory>
#include <vector>

class TGstFilter;
class TGstPin;
class TGstVideoWindow;

class TGstPipelineBuilder
{
public:
    TGstPipelineBuilder(GstElement* pipeline, TGstVideoWindow* window);

    HRESULT Build(const std::vector<std::shared_ptr<TGstFilter>>& filters);
    // The device and test source elements, whose failures mean the device is gone.
    const std::vector<GstElement*>& Sources() const { return sources_; }

private:
    struct TChain
    {
        GstElement* in = nullptr;  // takes the input pin's data
        GstElement* out = nullptr; // gives the output pin's data
    };

    TChain* Ensure(TGstFilter& filter);
    bool MakeVideoSource(TGstFilter& filter, TChain& chain);
    bool MakeAudioSource(TGstFilter& filter, TChain& chain);
    bool MakeGrabber(TGstFilter& filter, TChain& chain);
    bool MakeVideoRenderer(TChain& chain);
    GstElement* MakeTestDVCamera();
    bool MakeDVSplitter(TGstFilter& filter, TChain& chain);
    bool MakeDVDecoder(TGstFilter& filter, TChain& chain);
    // A demultiplexer whose sometimes-pads are linked, when they appear, to the given queues.
    GstElement* MakeDVDemux(GstElement* video, GstElement* audio);
    GstPad* SrcPad(TGstFilter& filter, TGstPin& pin);
    GstPad* SinkPad(TGstFilter& filter, TGstPin& pin);
    bool TerminateOpenOutputs();

    GstElement* Make(const char* factory);
    GstElement* MakeCapsFilter(const QByteArray& caps);
    bool Link(std::initializer_list<GstElement*> elements);

    GstElement* pipeline_;
    TGstVideoWindow* window_;
    std::map<const TGstFilter*, TChain> chains_;
    // The DV splitter's outputs: the queues behind its video and audio pads.
    std::map<const TGstFilter*, std::pair<GstElement*, GstElement*>> splitterOutputs_;
    std::vector<GstElement*> sources_;
};
