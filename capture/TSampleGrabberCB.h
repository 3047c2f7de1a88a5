#pragma once

#include "platform/capturegraph/CaptureInterfaces.h"

#include <QByteArray>
#include <QEvent>
#include <QObject>
#include <atomic>
#include <mutex>

class TSampleGrabberCB;

// What the grabber's callback posts to the capture component: a frame was copied
// (BitmapGrabbed) or a frame went by (FrameRendered).
class TGrabberEvent : public QEvent
{
public:
    static constexpr int WM_BITMAPGRABBED = 1026;
    static constexpr int WM_FRAMERENDERED = 1027;

    TGrabberEvent(int message, TSampleGrabberCB* callback);

    // The event type used for each message.
    static QEvent::Type TypeOf(int message);

    const int Message;
    TSampleGrabberCB* const Callback;
};

// The grabber's callback. On the streaming thread it only copies an armed sample under Lock
// and posts; everything else happens on the UI thread.
class TSampleGrabberCB : public ISampleGrabberCB
{
public:
    // Where the messages go; set on the UI thread before the graph runs.
    std::atomic<QObject*> Window{nullptr};
    // The next sample is to be copied; set by the UI thread, cleared by the streaming thread.
    std::atomic<bool> WantFrame{false};

    ~TSampleGrabberCB() override;

    HRESULT BufferCB(double sampleTime, const quint8* buffer, qint32 length) override;
    void ClearBuffer();
    quint32 BufferSize() const;

    // Runs f with the copied bytes, under Lock.
    template <class F> auto WithBuffer(F&& f) const
    {
        std::lock_guard<std::mutex> guard(Lock);
        return f(Buffer);
    }

private:
    void Post(int message);

    mutable std::mutex Lock;
    QByteArray Buffer; // kept between copies, resized to each sample
};
