#pragma once

// The desktop's screen-cast portal (org.freedesktop.portal.ScreenCast on the session bus): one
// session in which the user picks one monitor or one window, handed over as a PipeWire stream.
// Each step answers through a Request object's Response signal. The conversation waits in a
// local event loop that takes no user input, and every wait is bounded, so a portal that never
// answers cannot hold the program.

#include "platform/camera/screen/TScreenCastStream.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

class QEventLoop;

class TScreenCastPortal : public QObject
{
    Q_OBJECT

public:
    static constexpr const char* ServiceName = "org.freedesktop.portal.Desktop";
    static constexpr const char* ObjectPath = "/org/freedesktop/portal/desktop";

    struct TTimeouts
    {
        int callMs = 5000;    // a method's own reply
        int answerMs = 10000; // a Response that asks nothing of the user
        int pickMs = 60000;   // the user's pick in the portal's dialog
    };

    explicit TScreenCastPortal(QDBusConnection bus, TTimeouts timeouts, QObject* parent = nullptr);
    // Closes the session: the desktop stops sharing.
    ~TScreenCastPortal() override;
    TScreenCastPortal(const TScreenCastPortal&) = delete;
    TScreenCastPortal& operator=(const TScreenCastPortal&) = delete;

    // Asks the desktop for one monitor or window and waits for the user's pick; false with a
    // text the user can read when the portal is missing, refuses, fails or does not answer.
    // The object must outlive the call (it turns the event loop, without user input).
    bool Open(TScreenCastStream& stream, QString* error);
    // Whether a session that handed out a stream is still open (the desktop may end it).
    bool SessionOpen() const { return !session_.isEmpty(); }
    void Close();

private slots:
    void Answered(const QDBusMessage& message);
    void SessionClosed(const QDBusMessage& message);

private:
    // A method that answers through a Request: its Response's results, or none with *error set.
    std::optional<QVariantMap> Ask(const QString& method, QVariantList arguments,
                                   QVariantMap options, bool userPicks, QString* error);
    std::optional<QDBusMessage> Call(const QString& interface, const QString& method,
                                     const QVariantList& arguments, QString* error);
    // Turns the event loop until done() holds or the time is up; false when it did not hold.
    bool Wait(const std::function<bool()>& done, int timeoutMs);
    void Wake();
    void Listen(const QString& requestPath);
    void StopListening();
    QString NewToken();
    QString SenderPathElement() const;

    QDBusConnection bus_;
    TTimeouts timeouts_;
    QString session_;     // the session's object path while one is open
    QString requestPath_; // the Request whose Response is awaited
    std::optional<QDBusMessage> answer_;
    QEventLoop* waiting_ = nullptr;
    bool woken_ = false;
    quint32 tokens_ = 0;
};
