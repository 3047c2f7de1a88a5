#include "platform/camera/gst/TGstScreenSource.h"

#include "platform/camera/gst/GstCameraModes.h"
#include "platform/elements/gst/GstRef.h"
#include "platform/logging/Logging.h"

#include <gst/gst.h>

#include <QGuiApplication>
#include <QScreen>

namespace {

void SetArea(GstElement* source, const QRect& area)
{
    // ximagesrc's end coordinates are the last column and row read.
    g_object_set(source, "use-damage", FALSE, "show-pointer", TRUE, nullptr);
    if (!area.isEmpty())
        g_object_set(source, "startx", guint(area.left()), "starty", guint(area.top()), "endx",
                     guint(area.right()), "endy", guint(area.bottom()), nullptr);
}

// The one mode the X screen (or its area) is read in: the display's own layout at its size.
// One look at the X screen through the source: its size and pixel layout as modes.
std::vector<TCameraMode> LookAtX11(const QRect& area, bool* unreadable)
{
    GstElement* made = gst_element_factory_make("ximagesrc", nullptr);
    if (!made)
        return {};
    const TGstObjectPtr<GstElement> source(GST_ELEMENT(gst_object_ref_sink(made)));
    SetArea(source.get(), area);
    // Ready opens the display, after which the source states its size and layout.
    if (gst_element_set_state(source.get(), GST_STATE_READY) != GST_STATE_CHANGE_SUCCESS) {
        gst_element_set_state(source.get(), GST_STATE_NULL);
        *unreadable = true;
        return {};
    }
    const TGstObjectPtr<GstPad> pad(gst_element_get_static_pad(source.get(), "src"));
    const TGstCapsPtr caps(pad ? gst_pad_query_caps(pad.get(), nullptr) : nullptr);
    gst_element_set_state(source.get(), GST_STATE_NULL);
    if (!caps || gst_caps_get_size(caps.get()) == 0)
        return {};
    const GstStructure* s = gst_caps_get_structure(caps.get(), 0);
    const gchar* format = gst_structure_get_string(s, "format");
    int width = 0, height = 0;
    if (!format || !gst_structure_get_int(s, "width", &width) ||
        !gst_structure_get_int(s, "height", &height) || width <= 0 || height <= 0)
        return {};
    return GstCameraModes::FromCaps(
        "video/x-raw,format=" + QByteArray(format) + ",width=" + QByteArray::number(width) +
        ",height=" + QByteArray::number(height) +
        ",framerate=" + QByteArray::number(TGstScreenSource::FramesPerSecond) + "/1");
}

std::vector<TCameraMode> X11Modes(const QRect& area)
{
    // Now and then (seen on a loaded machine) the source states no fixed size on its first
    // look at a display it can open; a second look has it.
    for (int look = 0; look < 3; ++look) {
        bool unreadable = false;
        std::vector<TCameraMode> modes = LookAtX11(area, &unreadable);
        if (!modes.empty())
            return modes;
        if (unreadable) {
            qCWarning(lcCapture) << "the X display cannot be read";
            return {};
        }
    }
    qCWarning(lcCapture) << "the X screen states no size";
    return {};
}

// The first monitor's part of the X screen when it has several; empty for the whole screen.
QRect FirstMonitor()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return {};
    const QList<QScreen*> screens = QGuiApplication::screens();
    if (screens.size() < 2)
        return {};
    // Qt keeps the monitor's corner in the X screen's pixels and scales only its size.
    const QScreen* first = screens.first();
    const QRect logical = first->geometry();
    const qreal ratio = first->devicePixelRatio();
    return {logical.topLeft(),
            QSize(qRound(logical.width() * ratio), qRound(logical.height() * ratio))};
}

} // namespace

TGstScreenSource::TKind TGstScreenSource::KindFor(const QString& platformName,
                                                  const QByteArray& display,
                                                  const QByteArray& waylandDisplay)
{
    if (platformName == QLatin1String("xcb"))
        return TKind::X11;
    if (platformName.startsWith(QLatin1String("wayland")))
        return TKind::Portal;
    return !display.isEmpty() && waylandDisplay.isEmpty() ? TKind::X11 : TKind::Portal;
}

std::unique_ptr<TGstScreenSource> TGstScreenSource::ForThisDesktop()
{
    const bool gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
    const TKind kind = KindFor(gui ? QGuiApplication::platformName() : QString(),
                               qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY"));
    if (kind == TKind::X11)
        return X11(gui ? FirstMonitor() : QRect());
    return Portal(QDBusConnection::sessionBus());
}

std::unique_ptr<TGstScreenSource> TGstScreenSource::X11(QRect area)
{
    return std::unique_ptr<TGstScreenSource>(new TGstScreenSource(TKind::X11, area, nullptr));
}

std::unique_ptr<TGstScreenSource> TGstScreenSource::Portal(QDBusConnection bus,
                                                           TScreenCastPortal::TTimeouts timeouts)
{
    return std::unique_ptr<TGstScreenSource>(new TGstScreenSource(
        TKind::Portal, {}, std::make_unique<TScreenCastPortal>(std::move(bus), timeouts)));
}

TGstScreenSource::TGstScreenSource(TKind kind, QRect area,
                                   std::unique_ptr<TScreenCastPortal> portal)
    : kind_(kind), area_(area), portal_(std::move(portal))
{
    gst_init(nullptr, nullptr);
    if (kind_ == TKind::X11) {
        modes_ = X11Modes(area_);
        return;
    }
    // The portal's outcomes come from the event loop; the handler may end this source.
    QObject::connect(portal_.get(), &TScreenCastPortal::opened, portal_.get(),
                     [this](const TScreenCastStream& stream) {
                         stream_ = stream;
                         if (const auto prepared = std::exchange(prepared_, {}))
                             prepared(QString());
                     });
    QObject::connect(portal_.get(), &TScreenCastPortal::failed, portal_.get(),
                     [this](const QString& error) {
                         stream_ = {};
                         if (const auto prepared = std::exchange(prepared_, {}))
                             prepared(error);
                     });
}

TGstScreenSource::~TGstScreenSource() = default;

TCameraReadiness TGstScreenSource::Prepare(ICamera::TPreparedHandler prepared)
{
    // Stopping and starting the preview keeps what the user picked while the desktop shares it.
    if (Ready())
        return TCameraReadiness::Ready;
    const bool asking = bool(prepared_) || portal_->Opening();
    prepared_ = std::move(prepared);
    if (!asking) {
        stream_ = {};
        portal_->Open();
    }
    return TCameraReadiness::Pending;
}

void TGstScreenSource::CancelPrepare()
{
    if (kind_ == TKind::X11 || (!std::exchange(prepared_, {}) && !portal_->Opening()))
        return;
    // Also a pick that came but was not heard yet: nobody will read the stream.
    portal_->Close();
    stream_ = {};
}

bool TGstScreenSource::Ready() const
{
    return kind_ == TKind::X11 ||
           (!prepared_ && portal_->SessionOpen() && stream_.remote.isValid());
}

GstElement* TGstScreenSource::Build(GstBin* bin, QString& missing) const
{
    GstElement* source = nullptr;
    if (kind_ == TKind::X11) {
        if ((source = gst_element_factory_make("ximagesrc", nullptr)))
            SetArea(source, area_);
        else if (missing.isEmpty())
            missing = QStringLiteral("ximagesrc");
    } else {
        if (!stream_.remote.isValid())
            return nullptr; // nothing was shared
        if ((source = gst_element_factory_make("pipewiresrc", nullptr))) {
            // The source connects through its own duplicate of the descriptor, which stays
            // ours. Buffers are copied out of PipeWire's few shared ones, as the newest frame
            // is kept for painting and sending.
            g_object_set(source, "fd", stream_.remote.fileDescriptor(), "path",
                         QByteArray::number(stream_.node).constData(), "always-copy", TRUE,
                         "keepalive-time", StillScreenRepeatMs, nullptr);
        } else if (missing.isEmpty()) {
            missing = QStringLiteral("pipewiresrc");
        }
    }
    if (source)
        gst_bin_add(bin, source);
    return source;
}
