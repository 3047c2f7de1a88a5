#pragma once

// The graph's video window: owns the preview widget inside the owner the component gives, and
// receives frames from the renderer's streaming thread.

#include "platform/capturegraph/CaptureInterfaces.h"
#include "platform/capturegraph/gst/TGstVideoWidget.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <mutex>

class TGstVideoWindow : public IVideoWindow
{
public:
    TGstVideoWindow(); // on the UI thread
    ~TGstVideoWindow() override;

    HRESULT SetOwner(QWidget* owner) override;
    HRESULT SetWindowPosition(int left, int top, int width, int height) override;
    HRESULT SetVisible(bool visible) override;

    // Any thread: queues the frame for the widget.
    void PushFrame(const QImage& frame);
    // UI thread: the widget while an owner is set.
    TGstVideoWidget* Widget() const { return widget_; }

private:
    void ShowPending();

    QObject relay_; // lives on the UI thread; queued frames die with it
    std::mutex pendingLock_;
    QImage pending_;      // newest frame not yet shown
    bool posted_ = false; // a hand-over is queued
    QPointer<TGstVideoWidget> widget_;
    QRect geometry_;
    bool visible_ = false;
    QImage last_;
};
