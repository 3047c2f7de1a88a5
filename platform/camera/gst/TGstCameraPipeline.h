#pragma once

// The elements of one camera run: the source in the chosen mode, decoding (JPEG, DV), the test
// camera's picture controls, conversion to the grab layout and the sink frames are taken from.

#include "platform/camera/TCameraMode.h"
#include "platform/elements/gst/GstRef.h"

#include <gst/app/gstappsink.h>

#include <QByteArray>
#include <QSize>
#include <QString>

#include <vector>

class TGstScreenSource;
class TTestCameraBalance;

enum class TGstTestCamera
{
    None,      // a device the monitor listed
    Pattern,   // a moving pattern with a running clock, and picture controls
    PatternDV, // the same made into a DV stream, as a DV camcorder sends it
};

class TGstCameraPipeline
{
public:
    // mode: null runs the device in whatever raw layout it agrees on. decodeSize: the size a DV
    // picture is scaled to; empty keeps its own. controls: the test camera's picture controls.
    TGstCameraPipeline(GstDevice* device, TGstTestCamera test, const TCameraMode* mode,
                       QSize decodeSize, const QByteArray& grabLayout,
                       TTestCameraBalance* controls);
    // The screen instead of a device; mode: null takes the screen's own size and rate.
    TGstCameraPipeline(const TGstScreenSource& screen, const TCameraMode* mode,
                       const QByteArray& grabLayout);
    // Stops the streaming threads.
    ~TGstCameraPipeline();
    TGstCameraPipeline(const TGstCameraPipeline&) = delete;
    TGstCameraPipeline& operator=(const TGstCameraPipeline&) = delete;

    // Whether every element was made and linked; else Missing() names an element not installed.
    bool Built() const { return built_; }
    const QString& Missing() const { return missing_; }

    GstElement* Pipeline() const { return pipeline_.get(); }
    GstAppSink* Sink() const { return sink_; }
    // Whether the sink takes the camera's JPEG pictures rather than pixels.
    bool JpegFrames() const { return jpegFrames_; }
    // Whether a message comes from the source part (the device, the test camera's generator).
    bool FromSource(GstObject* origin) const;

private:
    bool Build(GstDevice* device, TGstTestCamera test, const TCameraMode* mode, QSize decodeSize,
               const QByteArray& grabLayout, TTestCameraBalance* controls);
    GstElement* MakeSource(GstDevice* device, TGstTestCamera test, const TCameraMode* mode,
                           TTestCameraBalance* controls);
    GstElement* MakeTestPattern(const TCameraMode* mode, TTestCameraBalance* controls);
    GstElement* MakeDVGenerator();
    GstElement* MakeDVDecoder(GstElement* from, QSize size);
    GstElement* Make(const char* factory);
    GstElement* MakeCapsFilter(const QByteArray& caps);
    static bool Link(std::initializer_list<GstElement*> elements);

    TGstObjectPtr<GstElement> pipeline_;
    std::vector<GstElement*> sources_; // owned by the pipeline
    GstAppSink* sink_ = nullptr;
    const TGstScreenSource* screen_ = nullptr; // while building, when the screen is the source
    QString missing_;
    bool built_ = false;
    bool jpegFrames_ = false;
};
