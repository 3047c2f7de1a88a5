#pragma once

#include "platform/notify/TNotice.h"

#include <QDBusConnection>
#include <QObject>

#include <functional>
#include <map>
#include <optional>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

// Notifications through the freedesktop notification service (org.freedesktop.Notifications
// on the session bus). Every call is asynchronous, so a slow or missing service never holds up
// the program; without a bus or a service a notice is simply not shown.
class TDesktopNotifications : public QObject
{
    Q_OBJECT

public:
    using ActionHandler = std::function<void(const QString& key)>;

    static constexpr const char* ServiceName = "org.freedesktop.Notifications";
    // How long a call to the service may take before it counts as failed.
    static constexpr int CallTimeoutMs = 5000;
    // Longest summary and body handed on: some services lay out whatever they get.
    static constexpr int MaxSummaryChars = 120;
    static constexpr int MaxBodyChars = 400;

    explicit TDesktopNotifications(QDBusConnection bus = QDBusConnection::sessionBus(),
                                   QObject* parent = nullptr);
    // Notices still shown are closed: their actions would reach nobody.
    ~TDesktopNotifications() override;

    // Shows a notice and returns its ticket (never 0). The handler runs on this thread when
    // the user picks one of its actions; the notice is gone afterwards.
    quint64 Show(const TNotice& notice, ActionHandler onAction = {});
    // Closes a notice shown by Show; unknown and finished tickets are ignored.
    void Close(quint64 ticket);
    // Whether the ticket's notice may still be on the screen.
    bool IsOpen(quint64 ticket) const;

    // The body as the service will show it: escaped when the service reads markup.
    QString BodyText(const QString& plain) const;

    // Desktop file name the service shows the notices under.
    QString DesktopEntry = QStringLiteral("com.halvorn.Parlavue");
    QString ApplicationName = QStringLiteral("Parlavue");

private slots:
    void ActionInvoked(uint id, const QString& key);
    void NotificationClosed(uint id, uint reason);

private:
    struct TShown
    {
        uint id = 0; // the service's number, 0 until its answer came
        bool closeWhenKnown = false;
        ActionHandler onAction;
        QStringList keys;
        std::optional<TNotice> waiting; // not sent yet: the service's capabilities come first
    };
    enum class TCapabilities
    {
        Unknown,
        Asked,
        Known
    };

    void AskCapabilities();
    void ServiceGone();
    void Send(quint64 ticket);
    void Shown(quint64 ticket, QDBusPendingCallWatcher* call);
    void CloseOnService(uint id);
    std::map<quint64, TShown>::iterator Find(uint id);

    QDBusConnection bus_;
    QDBusServiceWatcher* watcher_ = nullptr;
    std::map<quint64, TShown> shown_;
    quint64 nextTicket_ = 1;
    // Until the service says otherwise, bodies are escaped: a service that shows markup
    // must never see a peer's text as markup.
    bool markup_ = true;
    bool actions_ = true;
    TCapabilities capabilities_ = TCapabilities::Unknown;
};
