#include "platform/camera/screen/TScreenCastPortal.h"

#include "platform/logging/Logging.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QEventLoop>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

const QString ScreenCastInterface = QStringLiteral("org.freedesktop.portal.ScreenCast");
const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
const QString SessionInterface = QStringLiteral("org.freedesktop.portal.Session");
const QString PropertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
const QString RequestRoot = QStringLiteral("/org/freedesktop/portal/desktop/request/");

constexpr uint MonitorSource = 1;
constexpr uint WindowSource = 2;
constexpr int MaxSide = 16384;

QString Service()
{
    return QString::fromLatin1(TScreenCastPortal::ServiceName);
}

QString NoPortalText()
{
    return QStringLiteral("This desktop offers no screen sharing (no screen-cast portal).");
}

QString NoAnswerText()
{
    return QStringLiteral("The desktop's screen-cast portal did not answer.");
}

QString RefusedText()
{
    return QStringLiteral("The desktop refused to share the screen.");
}

QString NonsenseText()
{
    return QStringLiteral("The desktop's screen-cast portal gave an answer that makes no sense.");
}

// A failed call as the user reads it. The service's own message is not shown: it is text from
// another program, and the error's name says enough.
QString BusErrorText(const QDBusMessage& reply)
{
    const QString name = reply.errorName();
    static const QStringList absent{
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownProperty"),
        QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
    };
    if (absent.contains(name))
        return NoPortalText();
    if (name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
        name == QLatin1String("org.freedesktop.DBus.Error.Timeout"))
        return NoAnswerText();
    if (name == QLatin1String("org.freedesktop.DBus.Error.AccessDenied") ||
        name.startsWith(QLatin1String("org.freedesktop.portal.Error.")))
        return RefusedText();
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_.]{1,100}$"));
    return QStringLiteral("The desktop's screen-cast portal failed (%1).")
        .arg(plain.match(name).hasMatch() ? name : QStringLiteral("unknown error"));
}

bool IsObjectPath(const QString& path)
{
    static const QRegularExpression valid(QStringLiteral("^(/[A-Za-z0-9_]+)+$"));
    return path.size() <= 1024 && valid.match(path).hasMatch();
}

// The session handle of CreateSession's results: an object path, which some portals send as
// a string.
QString SessionPath(const QVariant& value)
{
    QString path;
    if (value.userType() == qMetaTypeId<QDBusObjectPath>())
        path = value.value<QDBusObjectPath>().path();
    else if (value.userType() == QMetaType::QString)
        path = value.toString();
    return IsObjectPath(path) ? path : QString();
}

QSize StreamSize(const QVariant& value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return {};
    const QDBusArgument pair = value.value<QDBusArgument>();
    if (pair.currentSignature() != QLatin1String("(ii)"))
        return {};
    int width = 0, height = 0;
    pair.beginStructure();
    pair >> width >> height;
    pair.endStructure();
    if (width <= 0 || height <= 0 || width > MaxSide || height > MaxSide)
        return {};
    return {width, height};
}

// The first stream of Start's results (a(ua{sv})); none when the value is anything else or
// names no usable node.
std::optional<TScreenCastStream> PickedStream(const QVariant& value)
{
    if (value.userType() != qMetaTypeId<QDBusArgument>())
        return std::nullopt;
    const QDBusArgument streams = value.value<QDBusArgument>();
    if (streams.currentSignature() != QLatin1String("a(ua{sv})"))
        return std::nullopt;
    std::optional<TScreenCastStream> first;
    streams.beginArray();
    while (!streams.atEnd()) {
        quint32 node = 0;
        QVariantMap properties;
        streams.beginStructure();
        streams >> node >> properties;
        streams.endStructure();
        if (first)
            continue; // one was asked for; a portal that gives more has its first taken
        first.emplace();
        first->node = node;
        first->size = StreamSize(properties.value(QStringLiteral("size")));
    }
    streams.endArray();
    // 0 is PipeWire's core and ~0 its "no id": neither is a stream.
    if (first && (first->node == 0 || first->node == 0xFFFFFFFFu))
        return std::nullopt;
    return first;
}

} // namespace

TScreenCastPortal::TScreenCastPortal(QDBusConnection bus, TTimeouts timeouts, QObject* parent)
    : QObject(parent), bus_(std::move(bus)), timeouts_(timeouts)
{}

TScreenCastPortal::~TScreenCastPortal()
{
    StopListening();
    Close();
}

bool TScreenCastPortal::Open(TScreenCastStream& stream, QString* error)
{
    QString scratch;
    if (!error)
        error = &scratch;
    Close();
    const auto fail = [&](const QString& why) {
        if (error->isEmpty())
            *error = why;
        qCWarning(lcCapture).noquote() << "screen not shared:" << *error;
        Close();
        return false;
    };
    error->clear();
    if (!bus_.isConnected())
        return fail(NoPortalText());
    if (!(bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return fail(QStringLiteral("The session bus cannot hand over the screen's stream."));

    // What the desktop can share; asking first also tells a missing portal from a failing one.
    const std::optional<QDBusMessage> kinds =
        Call(PropertiesInterface, QStringLiteral("Get"),
             {ScreenCastInterface, QStringLiteral("AvailableSourceTypes")}, error);
    if (!kinds)
        return fail({});
    uint available = 0;
    if (const QVariantList out = kinds->arguments();
        out.size() == 1 && out[0].userType() == qMetaTypeId<QDBusVariant>()) {
        const QVariant value = out[0].value<QDBusVariant>().variant();
        if (value.userType() == QMetaType::UInt)
            available = value.toUInt();
    }
    const uint types = available & (MonitorSource | WindowSource);
    if (types == 0)
        return fail(NoPortalText());

    const std::optional<QVariantMap> created =
        Ask(QStringLiteral("CreateSession"), {},
            {{QStringLiteral("session_handle_token"), NewToken()}}, false, error);
    if (!created)
        return fail({});
    const QString session = SessionPath(created->value(QStringLiteral("session_handle")));
    if (session.isEmpty())
        return fail(NonsenseText());
    session_ = session;
    bus_.connect(Service(), session_, SessionInterface, QStringLiteral("Closed"), this,
                 SLOT(SessionClosed(QDBusMessage)));
    const QVariant handle = QVariant::fromValue(QDBusObjectPath(session_));

    const QVariantMap select{{QStringLiteral("types"), types}, {QStringLiteral("multiple"), false}};
    if (!Ask(QStringLiteral("SelectSources"), {handle}, select, false, error))
        return fail({});
    // The portal's dialog: the user picks a monitor or a window, or cancels.
    const std::optional<QVariantMap> started =
        Ask(QStringLiteral("Start"), {handle, QString()}, {}, true, error);
    if (!started)
        return fail({});
    std::optional<TScreenCastStream> picked =
        PickedStream(started->value(QStringLiteral("streams")));
    if (!picked)
        return fail(NonsenseText());

    const std::optional<QDBusMessage> remote = Call(
        ScreenCastInterface, QStringLiteral("OpenPipeWireRemote"), {handle, QVariantMap()}, error);
    if (!remote)
        return fail({});
    const QVariantList out = remote->arguments();
    if (out.size() != 1 || out[0].userType() != qMetaTypeId<QDBusUnixFileDescriptor>() ||
        !out[0].value<QDBusUnixFileDescriptor>().isValid())
        return fail(NonsenseText());
    picked->remote = out[0].value<QDBusUnixFileDescriptor>();
    stream = std::move(*picked);
    qCInfo(lcCapture) << "screen shared: PipeWire node" << stream.node << "size" << stream.size;
    return true;
}

void TScreenCastPortal::Close()
{
    if (session_.isEmpty())
        return;
    bus_.disconnect(Service(), session_, SessionInterface, QStringLiteral("Closed"), this,
                    SLOT(SessionClosed(QDBusMessage)));
    // Not waited for: the desktop ends the sharing on its own time.
    bus_.send(QDBusMessage::createMethodCall(Service(), session_, SessionInterface,
                                             QStringLiteral("Close")));
    session_.clear();
}

std::optional<QVariantMap> TScreenCastPortal::Ask(const QString& method, QVariantList arguments,
                                                  QVariantMap options, bool userPicks,
                                                  QString* error)
{
    const QString token = NewToken();
    options.insert(QStringLiteral("handle_token"), token);
    // Listened to before the call: a portal may answer before its reply arrives.
    Listen(RequestRoot + SenderPathElement() + QLatin1Char('/') + token);
    arguments << options;
    const std::optional<QDBusMessage> reply = Call(ScreenCastInterface, method, arguments, error);
    if (!reply) {
        StopListening();
        return std::nullopt;
    }
    const QVariantList out = reply->arguments();
    if (out.size() != 1 || out[0].userType() != qMetaTypeId<QDBusObjectPath>()) {
        StopListening();
        *error = NonsenseText();
        return std::nullopt;
    }
    // Portals that predate the handle token choose the request's path themselves.
    if (const QString handle = out[0].value<QDBusObjectPath>().path(); handle != requestPath_) {
        if (!IsObjectPath(handle)) {
            StopListening();
            *error = NonsenseText();
            return std::nullopt;
        }
        Listen(handle);
    }
    const int waitMs = userPicks ? timeouts_.pickMs : timeouts_.answerMs;
    const bool answered = Wait([this] { return answer_.has_value(); }, waitMs);
    const QString request = requestPath_;
    const std::optional<QDBusMessage> answer = answer_;
    StopListening();
    if (!answered) {
        // Withdrawn, so that a dialog still up goes away.
        bus_.send(QDBusMessage::createMethodCall(Service(), request, RequestInterface,
                                                 QStringLiteral("Close")));
        *error = userPicks ? QStringLiteral("No screen was chosen within %1 seconds.")
                                 .arg((waitMs + 999) / 1000)
                           : NoAnswerText();
        return std::nullopt;
    }
    const QVariantList values = answer->arguments();
    if (values.size() != 2 || values[0].userType() != QMetaType::UInt ||
        values[1].userType() != qMetaTypeId<QDBusArgument>() ||
        values[1].value<QDBusArgument>().currentSignature() != QLatin1String("a{sv}")) {
        *error = NonsenseText();
        return std::nullopt;
    }
    switch (values[0].toUInt()) {
    case 0:
        break;
    case 1:
        *error = QStringLiteral("The screen was not shared: the choice was cancelled.");
        return std::nullopt;
    default:
        *error = RefusedText();
        return std::nullopt;
    }
    QVariantMap results;
    values[1].value<QDBusArgument>() >> results;
    return results;
}

std::optional<QDBusMessage> TScreenCastPortal::Call(const QString& interface, const QString& method,
                                                    const QVariantList& arguments, QString* error)
{
    QDBusMessage call = QDBusMessage::createMethodCall(Service(), QString::fromLatin1(ObjectPath),
                                                       interface, method);
    call.setArguments(arguments);
    QDBusPendingCallWatcher watcher(bus_.asyncCall(call, timeouts_.callMs));
    connect(&watcher, &QDBusPendingCallWatcher::finished, this, &TScreenCastPortal::Wake);
    // The bus ends the call itself after callMs; this limit only backs that up.
    if (!Wait([&watcher] { return watcher.isFinished(); }, timeouts_.callMs + 1000)) {
        *error = NoAnswerText();
        return std::nullopt;
    }
    const QDBusMessage reply = watcher.reply();
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCInfo(lcCapture).noquote()
            << "screen-cast portal:" << method << "failed:" << reply.errorName();
        *error = BusErrorText(reply);
        return std::nullopt;
    }
    return reply;
}

bool TScreenCastPortal::Wait(const std::function<bool()>& done, int timeoutMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer deadline;
    deadline.setSingleShot(true);
    // A coarse timer may end the user's time to pick up to 5 % early.
    deadline.setTimerType(Qt::PreciseTimer);
    bool late = false;
    connect(&deadline, &QTimer::timeout, &loop, [&] {
        late = true;
        loop.quit();
    });
    deadline.start(std::max(timeoutMs, 0));
    QEventLoop* outer = std::exchange(waiting_, &loop);
    while (!done() && !late) {
        woken_ = false;
        // Clicks and keys wait: the window that asked must stay as it is until the answer.
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (!woken_ && !late)
            break; // the application is ending and told every loop to leave
    }
    waiting_ = outer;
    return done();
}

void TScreenCastPortal::Wake()
{
    woken_ = true;
    if (waiting_)
        waiting_->quit();
}

void TScreenCastPortal::Listen(const QString& requestPath)
{
    StopListening();
    requestPath_ = requestPath;
    // Only the portal's own connection is heard: the bus filters by the name's owner.
    bus_.connect(Service(), requestPath_, RequestInterface, QStringLiteral("Response"), this,
                 SLOT(Answered(QDBusMessage)));
}

void TScreenCastPortal::StopListening()
{
    if (!requestPath_.isEmpty())
        bus_.disconnect(Service(), requestPath_, RequestInterface, QStringLiteral("Response"), this,
                        SLOT(Answered(QDBusMessage)));
    requestPath_.clear();
    answer_.reset();
}

void TScreenCastPortal::Answered(const QDBusMessage& message)
{
    if (requestPath_.isEmpty() || message.path() != requestPath_ || answer_)
        return;
    answer_ = message;
    Wake();
}

void TScreenCastPortal::SessionClosed(const QDBusMessage& message)
{
    if (session_.isEmpty() || message.path() != session_)
        return;
    qCInfo(lcCapture) << "the desktop ended the screen sharing";
    bus_.disconnect(Service(), session_, SessionInterface, QStringLiteral("Closed"), this,
                    SLOT(SessionClosed(QDBusMessage)));
    session_.clear();
}

QString TScreenCastPortal::NewToken()
{
    return QStringLiteral("parlavue%1_%2")
        .arg(++tokens_)
        .arg(QRandomGenerator::global()->generate());
}

QString TScreenCastPortal::SenderPathElement() const
{
    // ":1.42" becomes "1_42", as the portal names its requests.
    QString sender = bus_.baseService();
    if (sender.startsWith(QLatin1Char(':')))
        sender.remove(0, 1);
    return sender.replace(QLatin1Char('.'), QLatin1Char('_'));
}
