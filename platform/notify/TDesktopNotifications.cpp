#include "platform/notify/TDesktopNotifications.h"

#include "platform/logging/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>

namespace {

const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Interface = QStringLiteral("org.freedesktop.Notifications");

QString Service()
{
    return QString::fromLatin1(TDesktopNotifications::ServiceName);
}

// At most max characters, never cutting a surrogate pair in two.
QString Cut(const QString& text, int max)
{
    if (text.size() <= max)
        return text;
    int end = max;
    if (end > 0 && text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end) + QChar(0x2026);
}

QStringList ActionKeys(const QStringList& actions)
{
    QStringList keys;
    for (qsizetype i = 0; i + 1 < actions.size(); i += 2)
        keys << actions.at(i);
    return keys;
}

} // namespace

TDesktopNotifications::TDesktopNotifications(QDBusConnection bus, QObject* parent)
    : QObject(parent), bus_(std::move(bus))
{
    if (!bus_.isConnected()) {
        qCInfo(lcNotify) << "no session bus: no desktop notifications";
        return;
    }
    // Only the owner of the service name is listened to, so no other client on the bus can
    // press a button of ours.
    bus_.connect(Service(), Path, Interface, QStringLiteral("ActionInvoked"), this,
                 SLOT(ActionInvoked(uint, QString)));
    bus_.connect(Service(), Path, Interface, QStringLiteral("NotificationClosed"), this,
                 SLOT(NotificationClosed(uint, uint)));
    watcher_ =
        new QDBusServiceWatcher(Service(), bus_, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(watcher_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString& oldOwner, const QString&) {
                if (!oldOwner.isEmpty())
                    ServiceGone();
            });
}

TDesktopNotifications::~TDesktopNotifications()
{
    for (const auto& [ticket, shown] : shown_)
        if (shown.id != 0)
            CloseOnService(shown.id);
}

QString TDesktopNotifications::BodyText(const QString& plain) const
{
    const QString cut = Cut(plain, MaxBodyChars);
    return markup_ ? cut.toHtmlEscaped() : cut;
}

quint64 TDesktopNotifications::Show(const TNotice& notice, ActionHandler onAction)
{
    const quint64 ticket = nextTicket_++;
    if (!bus_.isConnected())
        return ticket;
    TShown& shown = shown_[ticket];
    shown.onAction = std::move(onAction);
    shown.keys = ActionKeys(notice.actions);
    shown.waiting = notice;
    if (capabilities_ == TCapabilities::Known)
        Send(ticket);
    else
        AskCapabilities();
    return ticket;
}

void TDesktopNotifications::AskCapabilities()
{
    if (capabilities_ == TCapabilities::Asked)
        return;
    capabilities_ = TCapabilities::Asked;
    const QDBusMessage message = QDBusMessage::createMethodCall(Service(), Path, Interface,
                                                                QStringLiteral("GetCapabilities"));
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message, CallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            // No service: what waits is dropped; the next notice asks again.
            qCInfo(lcNotify).noquote() << "no notification service:" << reply.error().message();
            capabilities_ = TCapabilities::Unknown;
            for (auto it = shown_.begin(); it != shown_.end();)
                it = it->second.waiting ? shown_.erase(it) : std::next(it);
            return;
        }
        const QStringList caps = reply.value();
        markup_ = caps.contains(QStringLiteral("body-markup"));
        actions_ = caps.contains(QStringLiteral("actions"));
        capabilities_ = TCapabilities::Known;
        qCDebug(lcNotify).noquote() << "service capabilities:" << caps.join(QLatin1Char(' '));
        std::vector<quint64> waiting;
        for (const auto& [ticket, shown] : shown_)
            if (shown.waiting)
                waiting.push_back(ticket);
        for (const quint64 ticket : waiting)
            Send(ticket);
    });
}

void TDesktopNotifications::Send(quint64 ticket)
{
    const auto found = shown_.find(ticket);
    if (found == shown_.end() || !found->second.waiting)
        return;
    const TNotice notice = *found->second.waiting;
    found->second.waiting.reset();
    QVariantMap hints = notice.hints;
    hints.insert(QStringLiteral("desktop-entry"), DesktopEntry);
    QDBusMessage message =
        QDBusMessage::createMethodCall(Service(), Path, Interface, QStringLiteral("Notify"));
    message << ApplicationName << uint(0) << DesktopEntry << Cut(notice.summary, MaxSummaryChars)
            << BodyText(notice.body) << (actions_ ? notice.actions : QStringList()) << hints
            << qint32(notice.timeoutMs);
    auto* call = new QDBusPendingCallWatcher(bus_.asyncCall(message, CallTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this,
            [this, ticket](QDBusPendingCallWatcher* w) { Shown(ticket, w); });
}

void TDesktopNotifications::Shown(quint64 ticket, QDBusPendingCallWatcher* call)
{
    call->deleteLater();
    const QDBusPendingReply<uint> reply = *call;
    const auto found = shown_.find(ticket);
    if (reply.isError()) {
        qCInfo(lcNotify).noquote() << "notice not shown:" << reply.error().message();
        if (found != shown_.end())
            shown_.erase(found);
        return;
    }
    const uint id = reply.value();
    if (found == shown_.end())
        return; // the service that answered is gone
    if (found->second.closeWhenKnown || id == 0) {
        if (id != 0)
            CloseOnService(id);
        shown_.erase(found);
        return;
    }
    found->second.id = id;
    qCInfo(lcNotify) << "notice" << ticket << "shown as" << id;
}

void TDesktopNotifications::Close(quint64 ticket)
{
    const auto found = shown_.find(ticket);
    if (found == shown_.end())
        return;
    if (found->second.id != 0) {
        CloseOnService(found->second.id);
        shown_.erase(found);
    } else if (found->second.waiting) {
        shown_.erase(found);
    } else {
        found->second.closeWhenKnown = true;
        found->second.onAction = nullptr;
    }
}

bool TDesktopNotifications::IsOpen(quint64 ticket) const
{
    const auto found = shown_.find(ticket);
    return found != shown_.end() && !found->second.closeWhenKnown;
}

void TDesktopNotifications::CloseOnService(uint id)
{
    QDBusMessage message = QDBusMessage::createMethodCall(Service(), Path, Interface,
                                                          QStringLiteral("CloseNotification"));
    message << id;
    bus_.send(message);
}

std::map<quint64, TDesktopNotifications::TShown>::iterator TDesktopNotifications::Find(uint id)
{
    if (id == 0)
        return shown_.end();
    return std::find_if(shown_.begin(), shown_.end(),
                        [id](const auto& entry) { return entry.second.id == id; });
}

void TDesktopNotifications::ActionInvoked(uint id, const QString& key)
{
    const auto found = Find(id);
    if (found == shown_.end())
        return; // another program's notice, or one of ours that has ended
    // Only keys this notice offered; the service has no business inventing others.
    if (!found->second.keys.contains(key)) {
        qCInfo(lcNotify).noquote() << "ignored unknown action" << Cut(key, 40);
        return;
    }
    const ActionHandler handler = std::move(found->second.onAction);
    CloseOnService(id);
    shown_.erase(found);
    qCInfo(lcNotify).noquote() << "action" << key << "on" << id;
    if (handler)
        handler(key);
}

void TDesktopNotifications::NotificationClosed(uint id, uint reason)
{
    const auto found = Find(id);
    if (found == shown_.end())
        return;
    qCDebug(lcNotify) << "notice" << id << "closed, reason" << reason;
    shown_.erase(found);
}

void TDesktopNotifications::ServiceGone()
{
    // Its notices went with it, and so did the meaning of their numbers.
    qCInfo(lcNotify) << "notification service left the bus";
    shown_.clear();
    capabilities_ = TCapabilities::Unknown;
    markup_ = true;
    actions_ = true;
}
