#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

#include <vector>

// The freedesktop notification service as a test plays it, on a bus the test names: it
// records every notice and every close, and presses buttons when the test says so.
class TFakeNotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct TReceived
    {
        uint id = 0;
        QString appName;
        QString appIcon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeoutMs = 0;
        bool closed = false;
    };

    // Connects to the bus under a name of its own and takes the service name; Registered()
    // says whether it got it.
    TFakeNotificationService(const QString& busAddress, QStringList capabilities);
    ~TFakeNotificationService() override;

    bool Registered() const { return registered_; }
    // Gives up the service name and leaves the bus, as a service that ends.
    void Leave();

    // Emitted by the service: the user chose an action, or the notice went.
    void InvokeAction(uint id, const QString& key);
    void CloseByUser(uint id);

    std::vector<TReceived> notices;
    int capabilityQueries = 0;
    // Notify answers only after the test allows it, to play a slow service.
    bool holdReplies = false;
    void ReleaseReplies();

public slots:
    QStringList GetCapabilities();
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon,
                const QString& summary, const QString& body, const QStringList& actions,
                const QVariantMap& hints, int timeout);
    void CloseNotification(uint id);

private:
    void Emit(const QString& name, const QVariantList& args);

    QString connectionName_;
    QDBusConnection bus_;
    QStringList capabilities_;
    bool registered_ = false;
    uint nextId_ = 41;
    std::vector<std::pair<QDBusMessage, uint>> held_;
};
