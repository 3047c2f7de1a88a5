#pragma once

// The desktop's screen-cast portal (org.freedesktop.portal.ScreenCast on the session bus): one
// session in which the user picks one monitor or one window, handed over as a PipeWire stream.
// Each step answers through a Request object's Response signal. The conversation runs on the
// event loop, step by step, and every step is bounded, so a portal that never answers cannot
// hold it; it can be ended at any moment.

#include "platform/camera/screen/TScreenCastStream.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariantList>
#include <QVariantMap>

#include <functional>
#include <optional>

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
    // Ends a conversation under way and closes the session: the desktop stops sharing.
    ~TScreenCastPortal() override;
    TScreenCastPortal(const TScreenCastPortal&) = delete;
    TScreenCastPortal& operator=(const TScreenCastPortal&) = delete;

    // Asks the desktop for one monitor or window (closing a session open before) and returns
    // at once. The conversation ends in opened() or failed(), always from the event loop,
    // never from inside this call; Close() before that means neither comes.
    void Open();
    // A conversation is under way: the user may be picking.
    bool Opening() const { return step_ != TStep::Idle; }
    // Whether a session that handed out a stream is still open (the desktop may end it).
    bool SessionOpen() const { return !session_.isEmpty() && !Opening(); }
    // Ends the conversation under way (its dialog is withdrawn) and the session.
    void Close();

signals:
    void opened(const TScreenCastStream& stream);
    // A text the user can read: the portal is missing, refuses, fails or does not answer.
    void failed(const QString& error);

private slots:
    void Answered(const QDBusMessage& message);
    void SessionClosed(const QDBusMessage& message);

private:
    enum class TStep
    {
        Idle,
        Kinds,   // what the desktop can share
        Created, // CreateSession
        Selected,
        Picked, // Start: the portal's dialog is up
        Remote, // OpenPipeWireRemote
    };
    using TAnswered = void (TScreenCastPortal::*)(const QVariantMap& results);
    using TReplied = void (TScreenCastPortal::*)(const QDBusMessage& reply);

    void KindsReplied(const QDBusMessage& reply);
    void SessionCreated(const QVariantMap& results);
    void SourcesSelected(const QVariantMap& results);
    void Picked(const QVariantMap& results);
    void RemoteReplied(const QDBusMessage& reply);

    // A method that answers through a Request: next gets its Response's results.
    void Ask(TStep step, const QString& method, QVariantList arguments, QVariantMap options,
             TAnswered next);
    void Requested(const QDBusMessage& reply);
    void TakeAnswer();
    void AnswerLate();
    void Call(TStep step, const QString& interface, const QString& method,
              const QVariantList& arguments, TReplied next);
    // Ends the conversation with the reason; the signal follows from the event loop.
    void Fail(const QString& why);
    // Ends the conversation under way without a word: nothing of it is heard afterwards.
    void Abandon();
    void Listen(const QString& requestPath);
    void StopListening();
    void ForgetSession();
    QString NewToken();
    QString SenderPathElement() const;

    QDBusConnection bus_;
    TTimeouts timeouts_;
    TStep step_ = TStep::Idle;
    quint64 conversation_ = 0; // replies and posted outcomes of an earlier one are ignored
    TAnswered answeredNext_ = nullptr;
    bool replied_ = false; // the awaited Request's method has replied
    uint types_ = 0;
    QString sessionToken_; // CreateSession's, until the session's path is known
    QString session_;      // the session's object path while one is open
    QString requestPath_;  // the Request whose Response is awaited
    std::optional<QDBusMessage> answer_;
    std::optional<TScreenCastStream> picked_;
    QTimer deadline_; // the awaited Response's
    quint32 tokens_ = 0;
};
