#pragma once

#include "platform/camera/TCameraFrame.h"
#include "platform/camera/TCameraMode.h"
#include "platform/ui/IPropertyPage.h"

#include <QImage>
#include <QSize>
#include <QString>

#include <functional>
#include <vector>

// Whether a camera can start now or first needs an answer from outside the program.
enum class TCameraReadiness
{
    Ready,
    Pending,
};

enum class TCameraFailure
{
    Lost,   // the device went away (unplugged, taken by its driver)
    Failed, // the stream broke for another reason
};

// One opened camera. Everything is called on the UI thread, and both handlers are called there.
class ICamera
{
public:
    using TFrameHandler = std::function<void(const TCameraFrame& frame)>;
    using TFailureHandler = std::function<void(TCameraFailure failure, const QString& reason)>;
    // How a pending Prepare() ended: empty when Start() may follow, else a reason the user reads.
    using TPreparedHandler = std::function<void(const QString& error)>;

    virtual ~ICamera() = default;

    // What the device can deliver, in the device's order; fixed while it is open.
    virtual const std::vector<TCameraMode>& Modes() const = 0;
    // The mode the next start uses; -1 when the device lists none.
    virtual int Mode() const = 0;
    // Chooses the mode for the next start; false for an index out of range or while running.
    virtual bool SetMode(int index) = 0;
    // A DV camera's picture is decoded to this size; an empty size keeps the camera's own.
    virtual void SetDecodeSize(QSize size) = 0;
    // The layout frames are handed out in (Format_BGR888, Format_RGB555, ...), for the next start.
    // A JPEG mode's frames come with the camera's picture and a preview in a layout of its own.
    virtual void SetGrabFormat(QImage::Format format) = 0;

    // Readies the next start when it needs an answer from outside the program first (the
    // desktop asks the user which screen to share). Ready: Start() may follow at once and
    // `prepared` is never called. Pending: `prepared` is called once, later, from the event loop
    // (it may destroy the camera), and never after CancelPrepare(), Stop() or the camera's end.
    // Asked again while pending, the same wait goes on with the new handler.
    virtual TCameraReadiness Prepare(TPreparedHandler prepared)
    {
        (void)prepared;
        return TCameraReadiness::Ready;
    }
    // Ends a pending Prepare(): its handler is not called.
    virtual void CancelPrepare() {}
    // False with a reason the user can act on (a missing element is named with its package).
    virtual bool Start(QString* error) = 0;
    // Joins the streaming: no frame or failure of this run is handed out afterwards.
    virtual void Stop() = 0;
    virtual bool Running() const = 0;

    // Called with the newest frame; frames the UI thread had no time for are dropped unseen.
    virtual void SetFrameHandler(TFrameHandler handler) = 0;
    // Called once per failure while running; the camera stays "running" until Stop().
    virtual void SetFailureHandler(TFailureHandler handler) = 0;

    // The device's own settings (picture controls), and its TV tuner when it has one.
    virtual std::vector<PropertyPagePtr> ControlPages() = 0;
    virtual std::vector<PropertyPagePtr> TunerPages() = 0;
};
