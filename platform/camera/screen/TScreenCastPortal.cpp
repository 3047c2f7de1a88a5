#include "platform/camera/screen/TScreenCastPortal.h"

#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
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
    return QCoreApplication::translate(
        "TScreenCastPortal", "This desktop offers no screen sharing (no screen-cast portal).");
}

QString NoAnswerText()
{
    return QCoreApplication::translate("TScreenCastPortal",
                                       "The desktop's screen-cast portal did not answer.");
}

QString RefusedText()
{
    return QCoreApplication::translate("TScreenCastPortal",
                                       "The desktop refused to share the screen.");
}

QString NonsenseText()
{
    return QCoreApplication::translate(
        "TScreenCastPortal",
        "The desktop's screen-cast portal gave an answer that makes no sense.");
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
    return QCoreApplication::translate("TScreenCastPortal",
                                       "The desktop's screen-cast portal failed (%1).")
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
{
    deadline_.setSingleShot(true);
    // A coarse timer may end the user's time to pick up to 5 % early.
    deadline_.setTimerType(Qt::PreciseTimer);
    connect(&deadline_, &QTimer::timeout, this, &TScreenCastPortal::AnswerLate);
}

TScreenCastPortal::~TScreenCastPortal()
{
    Close();
}

void TScreenCastPortal::Open()
{
    Close();
    if (!bus_.isConnected())
        return Fail(NoPortalText());
    if (!(bus_.connectionCapabilities() & QDBusConnection::UnixFileDescriptorPassing))
        return Fail(QCoreApplication::translate(
            "TScreenCastPortal", "The session bus cannot hand over the screen's stream."));
    // What the desktop can share; asking first also tells a missing portal from a failing one.
    Call(TStep::Kinds, PropertiesInterface, QStringLiteral("Get"),
         {ScreenCastInterface, QStringLiteral("AvailableSourceTypes")},
         &TScreenCastPortal::KindsReplied);
}

void TScreenCastPortal::KindsReplied(const QDBusMessage& reply)
{
    uint available = 0;
    if (const QVariantList out = reply.arguments();
        out.size() == 1 && out[0].userType() == qMetaTypeId<QDBusVariant>()) {
        const QVariant value = out[0].value<QDBusVariant>().variant();
        if (value.userType() == QMetaType::UInt)
            available = value.toUInt();
    }
    types_ = available & (MonitorSource | WindowSource);
    if (types_ == 0)
        return Fail(NoPortalText());
    // Kept until the handle comes, so that a conversation ended before can still close it.
    sessionToken_ = NewToken();
    Ask(TStep::Created, QStringLiteral("CreateSession"), {},
        {{QStringLiteral("session_handle_token"), sessionToken_}},
        &TScreenCastPortal::SessionCreated);
}

void TScreenCastPortal::SessionCreated(const QVariantMap& results)
{
    const QString session = SessionPath(results.value(QStringLiteral("session_handle")));
    if (session.isEmpty())
        return Fail(NonsenseText());
    session_ = session;
    sessionToken_.clear();
    bus_.connect(Service(), session_, SessionInterface, QStringLiteral("Closed"), this,
                 SLOT(SessionClosed(QDBusMessage)));
    const QVariantMap select{{QStringLiteral("types"), types_},
                             {QStringLiteral("multiple"), false}};
    Ask(TStep::Selected, QStringLiteral("SelectSources"),
        {QVariant::fromValue(QDBusObjectPath(session_))}, select,
        &TScreenCastPortal::SourcesSelected);
}

void TScreenCastPortal::SourcesSelected(const QVariantMap&)
{
    // The portal's dialog: the user picks a monitor or a window, or cancels.
    Ask(TStep::Picked, QStringLiteral("Start"),
        {QVariant::fromValue(QDBusObjectPath(session_)), QString()}, {},
        &TScreenCastPortal::Picked);
}

void TScreenCastPortal::Picked(const QVariantMap& results)
{
    picked_ = PickedStream(results.value(QStringLiteral("streams")));
    if (!picked_)
        return Fail(NonsenseText());
    Call(TStep::Remote, ScreenCastInterface, QStringLiteral("OpenPipeWireRemote"),
         {QVariant::fromValue(QDBusObjectPath(session_)), QVariantMap()},
         &TScreenCastPortal::RemoteReplied);
}

void TScreenCastPortal::RemoteReplied(const QDBusMessage& reply)
{
    const QVariantList out = reply.arguments();
    if (out.size() != 1 || out[0].userType() != qMetaTypeId<QDBusUnixFileDescriptor>() ||
        !out[0].value<QDBusUnixFileDescriptor>().isValid())
        return Fail(NonsenseText());
    TScreenCastStream stream = std::move(*picked_);
    stream.remote = out[0].value<QDBusUnixFileDescriptor>();
    picked_.reset();
    step_ = TStep::Idle;
    qCInfo(lcCapture) << "screen shared: PipeWire node" << stream.node << "size" << stream.size;
    // Posted, so that whoever hears it may end this object without it running on under them.
    QMetaObject::invokeMethod(
        this,
        [this, conversation = conversation_, stream] {
            if (conversation == conversation_)
                emit opened(stream);
        },
        Qt::QueuedConnection);
}

void TScreenCastPortal::Close()
{
    Abandon();
    QString session = session_;
    if (session.isEmpty() && !sessionToken_.isEmpty())
        // Created, but its handle not heard yet: the portal names it by the token.
        session = QStringLiteral("/org/freedesktop/portal/desktop/session/") + SenderPathElement() +
                  QLatin1Char('/') + sessionToken_;
    ForgetSession();
    sessionToken_.clear();
    if (session.isEmpty())
        return;
    // Not waited for: the desktop ends the sharing on its own time.
    bus_.send(QDBusMessage::createMethodCall(Service(), session, SessionInterface,
                                             QStringLiteral("Close")));
}

void TScreenCastPortal::Abandon()
{
    ++conversation_;
    deadline_.stop();
    if (step_ != TStep::Idle && !requestPath_.isEmpty() && !answer_)
        // Withdrawn, so that a dialog still up goes away.
        bus_.send(QDBusMessage::createMethodCall(Service(), requestPath_, RequestInterface,
                                                 QStringLiteral("Close")));
    StopListening();
    step_ = TStep::Idle;
    answeredNext_ = nullptr;
    replied_ = false;
    picked_.reset();
}

void TScreenCastPortal::Fail(const QString& why)
{
    qCWarning(lcCapture).noquote() << "screen not shared:" << why;
    Close();
    QMetaObject::invokeMethod(
        this,
        [this, conversation = conversation_, why] {
            if (conversation == conversation_)
                emit failed(why);
        },
        Qt::QueuedConnection);
}

void TScreenCastPortal::Ask(TStep step, const QString& method, QVariantList arguments,
                            QVariantMap options, TAnswered next)
{
    const QString token = NewToken();
    options.insert(QStringLiteral("handle_token"), token);
    // Listened to before the call: a portal may answer before its reply arrives.
    Listen(RequestRoot + SenderPathElement() + QLatin1Char('/') + token);
    answeredNext_ = next;
    replied_ = false;
    arguments << options;
    Call(step, ScreenCastInterface, method, arguments, &TScreenCastPortal::Requested);
}

void TScreenCastPortal::Requested(const QDBusMessage& reply)
{
    const QVariantList out = reply.arguments();
    if (out.size() != 1 || out[0].userType() != qMetaTypeId<QDBusObjectPath>())
        return Fail(NonsenseText());
    // Portals that predate the handle token choose the request's path themselves.
    if (const QString handle = out[0].value<QDBusObjectPath>().path(); handle != requestPath_) {
        if (!IsObjectPath(handle))
            return Fail(NonsenseText());
        Listen(handle);
    }
    replied_ = true;
    if (answer_)
        return TakeAnswer();
    deadline_.start(std::max(step_ == TStep::Picked ? timeouts_.pickMs : timeouts_.answerMs, 0));
}

void TScreenCastPortal::TakeAnswer()
{
    deadline_.stop();
    const QDBusMessage answer = *answer_;
    const TAnswered next = std::exchange(answeredNext_, nullptr);
    StopListening();
    if (!next)
        return;
    const QVariantList values = answer.arguments();
    if (values.size() != 2 || values[0].userType() != QMetaType::UInt ||
        values[1].userType() != qMetaTypeId<QDBusArgument>() ||
        values[1].value<QDBusArgument>().currentSignature() != QLatin1String("a{sv}"))
        return Fail(NonsenseText());
    switch (values[0].toUInt()) {
    case 0:
        break;
    case 1:
        return Fail(QCoreApplication::translate(
            "TScreenCastPortal", "The screen was not shared: the choice was cancelled."));
    default:
        return Fail(RefusedText());
    }
    QVariantMap results;
    values[1].value<QDBusArgument>() >> results;
    (this->*next)(results);
}

void TScreenCastPortal::AnswerLate()
{
    if (step_ == TStep::Idle)
        return;
    // A method's reply that never came is late only when the bus missed its own time.
    if (replied_ && step_ == TStep::Picked)
        return Fail(QCoreApplication::translate("TScreenCastPortal",
                                                "No screen was chosen within %1 seconds.")
                        .arg((std::max(timeouts_.pickMs, 0) + 999) / 1000));
    Fail(NoAnswerText());
}

void TScreenCastPortal::Call(TStep step, const QString& interface, const QString& method,
                             const QVariantList& arguments, TReplied next)
{
    step_ = step;
    QDBusMessage call = QDBusMessage::createMethodCall(Service(), QString::fromLatin1(ObjectPath),
                                                       interface, method);
    call.setArguments(arguments);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(call, timeouts_.callMs), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this,
            [this, watcher, method, next, conversation = conversation_] {
                watcher->deleteLater();
                if (conversation != conversation_)
                    return; // ended meanwhile
                deadline_.stop();
                const QDBusMessage reply = watcher->reply();
                if (reply.type() != QDBusMessage::ReplyMessage) {
                    qCInfo(lcCapture).noquote()
                        << "screen-cast portal:" << method << "failed:" << reply.errorName();
                    return Fail(BusErrorText(reply));
                }
                (this->*next)(reply);
            });
    // The bus ends the call itself after callMs; this limit only backs that up.
    deadline_.start(std::max(timeouts_.callMs, 0) + 1000);
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
    // A Response before its method's reply waits for that reply.
    if (replied_)
        TakeAnswer();
}

void TScreenCastPortal::SessionClosed(const QDBusMessage& message)
{
    if (session_.isEmpty() || message.path() != session_)
        return;
    qCInfo(lcCapture) << "the desktop ended the screen sharing";
    ForgetSession();
    if (Opening())
        Fail(RefusedText()); // ended before the stream was handed over
}

void TScreenCastPortal::ForgetSession()
{
    if (session_.isEmpty())
        return;
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
