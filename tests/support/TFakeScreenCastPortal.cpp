#include "tests/support/TFakeScreenCastPortal.h"

#include "tests/support/TFakePortalSession.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QRegularExpression>
#include <QTimer>

#include <utility>

#include <sys/socket.h>
#include <unistd.h>

namespace {

// One entry of Start's "streams": a(ua{sv}).
struct TFakeStream
{
    uint node = 0;
    QVariantMap properties;
};

// A stream's "size": (ii).
struct TFakeSize
{
    int width = 0;
    int height = 0;
};

QDBusArgument& operator<<(QDBusArgument& out, const TFakeStream& stream)
{
    out.beginStructure();
    out << stream.node << stream.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, TFakeStream& stream)
{
    in.beginStructure();
    in >> stream.node >> stream.properties;
    in.endStructure();
    return in;
}

QDBusArgument& operator<<(QDBusArgument& out, const TFakeSize& size)
{
    out.beginStructure();
    out << size.width << size.height;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, TFakeSize& size)
{
    in.beginStructure();
    in >> size.width >> size.height;
    in.endStructure();
    return in;
}

bool IsPathElement(const QVariant& value)
{
    static const QRegularExpression element(QStringLiteral("^[A-Za-z0-9_]+$"));
    return value.userType() == QMetaType::QString && element.match(value.toString()).hasMatch();
}

const QString RequestInterface = QStringLiteral("org.freedesktop.portal.Request");
int made = 0; // fakes made in this process, each on a connection of its own name

} // namespace

Q_DECLARE_METATYPE(TFakeStream)
Q_DECLARE_METATYPE(TFakeSize)

TFakeScreenCastPortal::TFakeScreenCastPortal(const QString& busAddress)
    : connectionName_(QStringLiteral("fake-screencast-%1").arg(++made)),
      bus_(QDBusConnection::connectToBus(busAddress, connectionName_))
{
    qDBusRegisterMetaType<TFakeStream>();
    qDBusRegisterMetaType<QList<TFakeStream>>();
    qDBusRegisterMetaType<TFakeSize>();
    int pair[2];
    if (socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) == 0) {
        remotePeer_ = pair[0];
        remoteGiven_ = pair[1];
    }
    registered_ = bus_.isConnected() && remotePeer_ >= 0 &&
                  bus_.registerObject(QStringLiteral("/org/freedesktop/portal/desktop"), this,
                                      QDBusConnection::ExportAllSlots |
                                          QDBusConnection::ExportAllProperties) &&
                  bus_.registerService(QStringLiteral("org.freedesktop.portal.Desktop"));
}

TFakeScreenCastPortal::~TFakeScreenCastPortal()
{
    bus_.unregisterService(QStringLiteral("org.freedesktop.portal.Desktop"));
    QDBusConnection::disconnectFromBus(connectionName_);
    for (const int fd : {remotePeer_, remoteGiven_})
        if (fd >= 0)
            ::close(fd);
}

QString TFakeScreenCastPortal::PathElement(const QString& sender)
{
    QString element = sender;
    if (element.startsWith(QLatin1Char(':')))
        element.remove(0, 1);
    return element.replace(QLatin1Char('.'), QLatin1Char('_'));
}

QStringList TFakeScreenCastPortal::SessionPaths() const
{
    QStringList paths;
    for (const auto& [path, state] : sessions_)
        paths << path;
    return paths;
}

TFakeScreenCastPortal::TSessionState* TFakeScreenCastPortal::FindSession(const QString& path)
{
    const auto found = sessions_.find(path);
    if (found == sessions_.end() || found->second.owner != message().service())
        return nullptr;
    return &found->second;
}

void TFakeScreenCastPortal::Refuse(const QString& text)
{
    sendErrorReply(QStringLiteral("org.freedesktop.portal.Error.InvalidArgument"), text);
}

QDBusObjectPath TFakeScreenCastPortal::CreateSession(const QVariantMap& options)
{
    if (!IsPathElement(options.value(QStringLiteral("handle_token"))) ||
        !IsPathElement(options.value(QStringLiteral("session_handle_token")))) {
        Refuse(QStringLiteral("tokens must be object path elements"));
        return {};
    }
    const QString sender = message().service();
    const QString path = QStringLiteral("/org/freedesktop/portal/desktop/session/%1/%2")
                             .arg(PathElement(sender),
                                  options.value(QStringLiteral("session_handle_token")).toString());
    if (sessions_.count(path)) {
        Refuse(QStringLiteral("session token in use"));
        return {};
    }
    TSessionState& state = sessions_[path];
    state.owner = sender;
    state.object = std::make_unique<TFakePortalSession>([this, path] {
        ++sessionCloses;
        bus_.unregisterObject(path);
        sessions_.at(path).owner.clear();
    });
    bus_.registerObject(path, state.object.get(), QDBusConnection::ExportAllSlots);
    QVariantMap results;
    results.insert(QStringLiteral("session_handle"),
                   sessionHandleAsString ? QVariant(path)
                                         : QVariant::fromValue(QDBusObjectPath(path)));
    return Answer(QStringLiteral("CreateSession"), {}, options, results);
}

QDBusObjectPath TFakeScreenCastPortal::SelectSources(const QDBusObjectPath& session,
                                                     const QVariantMap& options)
{
    TSessionState* state = FindSession(session.path());
    const QVariant types = options.value(QStringLiteral("types"));
    if (!state || state->selected || state->started || types.userType() != QMetaType::UInt ||
        (types.toUInt() & ~availableTypes) != 0 ||
        options.value(QStringLiteral("multiple")).userType() != QMetaType::Bool ||
        !IsPathElement(options.value(QStringLiteral("handle_token")))) {
        Refuse(QStringLiteral("sources cannot be selected"));
        return {};
    }
    state->selected = steps[QStringLiteral("SelectSources")].response == 0;
    return Answer(QStringLiteral("SelectSources"), session.path(), options, {});
}

QDBusObjectPath TFakeScreenCastPortal::Start(const QDBusObjectPath& session, const QString&,
                                             const QVariantMap& options)
{
    TSessionState* state = FindSession(session.path());
    if (!state || !state->selected || state->started ||
        !IsPathElement(options.value(QStringLiteral("handle_token")))) {
        Refuse(QStringLiteral("the session cannot start"));
        return {};
    }
    const TStep step = steps[QStringLiteral("Start")];
    state->started =
        (step.reply == TReply::Respond || step.reply == TReply::Held) && step.response == 0;
    QVariantMap properties;
    properties.insert(QStringLiteral("size"),
                      QVariant::fromValue(TFakeSize{size.width(), size.height()}));
    properties.insert(QStringLiteral("source_type"), uint(2));
    QVariantMap results;
    results.insert(QStringLiteral("streams"),
                   streamsAsText ? QVariant(QStringLiteral("node 42"))
                                 : QVariant::fromValue(QList<TFakeStream>{{node, properties}}));
    return Answer(QStringLiteral("Start"), session.path(), options, results);
}

QDBusUnixFileDescriptor TFakeScreenCastPortal::OpenPipeWireRemote(const QDBusObjectPath& session,
                                                                  const QVariantMap& options)
{
    TSessionState* state = FindSession(session.path());
    calls.push_back(
        {QStringLiteral("OpenPipeWireRemote"), message().service(), session.path(), options, {}});
    if (!state || !state->started) {
        Refuse(QStringLiteral("nothing was shared in this session"));
        return {};
    }
    return QDBusUnixFileDescriptor(remoteGiven_);
}

QDBusObjectPath TFakeScreenCastPortal::Answer(const QString& method, const QString& session,
                                              const QVariantMap& options,
                                              const QVariantMap& results)
{
    const QString sender = message().service();
    const QString request =
        !requestPathOverride.isEmpty()
            ? requestPathOverride
            : QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2")
                  .arg(PathElement(sender),
                       options.value(QStringLiteral("handle_token")).toString());
    calls.push_back({method, sender, session, options, request});
    const TStep step = steps[method];
    setDelayedReply(true);
    if (step.reply == TReply::NoReply)
        return {};
    bus_.send(message().createReply(QVariant::fromValue(QDBusObjectPath(request))));
    QDBusMessage response =
        QDBusMessage::createSignal(request, RequestInterface, QStringLiteral("Response"));
    if (step.reply == TReply::Respond || step.reply == TReply::Held)
        response << step.response << (step.response == 0 ? results : QVariantMap());
    else if (step.reply == TReply::Garbled)
        response << QStringLiteral("done");
    if (step.reply == TReply::Held)
        held_.push_back(response);
    else if (step.reply != TReply::Silent)
        QTimer::singleShot(responseDelayMs, this, [this, response] { bus_.send(response); });
    return {};
}

void TFakeScreenCastPortal::ReleaseHeld()
{
    for (const QDBusMessage& response : std::exchange(held_, {}))
        bus_.send(response);
}

void TFakeScreenCastPortal::CloseSessionFromDesktop(const QString& session)
{
    QDBusMessage closed = QDBusMessage::createSignal(
        session, QStringLiteral("org.freedesktop.portal.Session"), QStringLiteral("Closed"));
    closed << QVariantMap();
    bus_.send(closed);
    bus_.unregisterObject(session);
    if (const auto found = sessions_.find(session); found != sessions_.end())
        found->second.owner.clear();
}

void TFakeScreenCastPortal::SendResponseAs(QDBusConnection other, const QString& path, uint code,
                                           const QVariantMap& results)
{
    QDBusMessage response =
        QDBusMessage::createSignal(path, RequestInterface, QStringLiteral("Response"));
    response << code << results;
    other.send(response);
}
