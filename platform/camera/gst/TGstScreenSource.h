#pragma once

// The screen as a camera's source. Under X11 the X server's picture through ximagesrc: the
// whole screen, or the first monitor's part of it when the display has several. Under Wayland
// the desktop's screen-cast portal lets the user pick a monitor or a window, and pipewiresrc
// reads the stream it hands over.

#include "platform/camera/ICamera.h"
#include "platform/camera/TCameraMode.h"
#include "platform/camera/screen/TScreenCastPortal.h"
#include "platform/camera/screen/TScreenCastStream.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

typedef struct _GstBin GstBin;
typedef struct _GstElement GstElement;

class TGstScreenSource
{
public:
    enum class TKind
    {
        X11,    // ximagesrc on the X display
        Portal, // the screen-cast portal's PipeWire stream
    };

    // The X11 screen's rate. A grab copies the whole screen and every frame is converted and
    // encoded on the UI thread; screen content changes slowly, and 15 a second still shows a
    // pointer or a scrolled page moving smoothly.
    static constexpr int FramesPerSecond = 15;
    // How often a still Wayland screen is sent again (the portal's stream only carries
    // changes), so that a peer sees it soon after a call starts.
    static constexpr int StillScreenRepeatMs = 1000;

    // X11 when Qt runs on xcb; on another platform (offscreen, none) when DISPLAY is set and
    // WAYLAND_DISPLAY is not; else the portal.
    static TKind KindFor(const QString& platformName, const QByteArray& display,
                         const QByteArray& waylandDisplay);
    // The source for the desktop this program runs on, on the session bus.
    static std::unique_ptr<TGstScreenSource> ForThisDesktop();
    // area: the part of the X screen, in its pixels; empty for all of it.
    static std::unique_ptr<TGstScreenSource> X11(QRect area = {});
    static std::unique_ptr<TGstScreenSource> Portal(QDBusConnection bus,
                                                    TScreenCastPortal::TTimeouts timeouts = {});

    ~TGstScreenSource();
    TGstScreenSource(const TGstScreenSource&) = delete;
    TGstScreenSource& operator=(const TGstScreenSource&) = delete;

    TKind Kind() const { return kind_; }
    // X11: one raw mode at the screen's (or monitor's) size and FramesPerSecond; none when the
    // display cannot be read. Portal: none, the picked monitor or window comes at its own size.
    const std::vector<TCameraMode>& Modes() const { return modes_; }
    // Readies a start. X11, or the portal's stream of an earlier start still shared: Ready.
    // Else the portal asks the user: Pending, and `prepared` follows from the event loop (an
    // empty text once the stream came, else one the user can read), never after
    // CancelPrepare() or the source's end. The pick's time is bounded by the portal.
    TCameraReadiness Prepare(ICamera::TPreparedHandler prepared);
    // Ends a pending Prepare(); the desktop's dialog goes away and nothing is shared.
    void CancelPrepare();
    // Whether Build() has something to read: X11, or a stream the desktop still shares.
    bool Ready() const;
    // The stream the portal handed over; empty before a Prepare() ended well.
    const TScreenCastStream& Stream() const { return stream_; }

    // Makes the element that reads the screen and adds it to the bin; it ends the source part.
    // Null when it cannot be made: *missing names the element when it is not installed (and
    // was empty).
    GstElement* Build(GstBin* bin, QString& missing) const;

private:
    TGstScreenSource(TKind kind, QRect area, std::unique_ptr<TScreenCastPortal> portal);

    TKind kind_;
    QRect area_;
    std::unique_ptr<TScreenCastPortal> portal_;
    TScreenCastStream stream_;
    ICamera::TPreparedHandler prepared_; // while the portal asks the user
    std::vector<TCameraMode> modes_;
};
