#include "tests/support/TFakeNotificationService.h"

#include <QDBusConnectionInterface>
#include <QUuid>

namespace {
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

TFakeNotificationService::TFakeNotificationService(const QString& busAddress,
                                                   QStringList capabilities)
    : connectionName_(QStringLiteral("fake-notifications-") +
                      QUuid::createUuid().toString(QUuid::WithoutBraces)),
      bus_(QDBusConnection::connectToBus(busAddress, connectionName_)),
      capabilities_(std::move(capabilities))
{
    if (!bus_.isConnected())
        return;
    registered_ = bus_.registerObject(Path, this, QDBusConnection::ExportAllSlots) &&
                  bus_.registerService(Interface);
}

TFakeNotificationService::~TFakeNotificationService()
{
    Leave();
}

void TFakeNotificationService::Leave()
{
    if (!bus_.isConnected())
        return;
    bus_.unregisterService(Interface);
    bus_.unregisterObject(Path);
    QDBusConnection::disconnectFromBus(connectionName_);
    bus_ = QDBusConnection(QString());
    registered_ = false;
}

QStringList TFakeNotificationService::GetCapabilities()
{
    ++capabilityQueries;
    return capabilities_;
}

uint TFakeNotificationService::Notify(const QString& appName, uint replacesId,
                                      const QString& appIcon, const QString& summary,
                                      const QString& body, const QStringList& actions,
                                      const QVariantMap& hints, int timeout)
{
    TReceived notice;
    notice.id = replacesId != 0 ? replacesId : nextId_++;
    notice.appName = appName;
    notice.appIcon = appIcon;
    notice.summary = summary;
    notice.body = body;
    notice.actions = actions;
    notice.hints = hints;
    notice.timeoutMs = timeout;
    notices.push_back(notice);
    if (holdReplies) {
        setDelayedReply(true);
        held_.emplace_back(message(), notice.id);
        return 0;
    }
    return notice.id;
}

void TFakeNotificationService::ReleaseReplies()
{
    holdReplies = false;
    for (const auto& [call, id] : held_)
        bus_.send(call.createReply(QVariant::fromValue(id)));
    held_.clear();
}

void TFakeNotificationService::CloseNotification(uint id)
{
    for (TReceived& notice : notices)
        if (notice.id == id && !notice.closed) {
            notice.closed = true;
            Emit(QStringLiteral("NotificationClosed"), {id, 3u});
        }
}

void TFakeNotificationService::InvokeAction(uint id, const QString& key)
{
    Emit(QStringLiteral("ActionInvoked"), {id, key});
}

void TFakeNotificationService::CloseByUser(uint id)
{
    for (TReceived& notice : notices)
        if (notice.id == id)
            notice.closed = true;
    Emit(QStringLiteral("NotificationClosed"), {id, 2u});
}

void TFakeNotificationService::Emit(const QString& name, const QVariantList& args)
{
    QDBusMessage signal = QDBusMessage::createSignal(Path, Interface, name);
    signal.setArguments(args);
    bus_.send(signal);
}
