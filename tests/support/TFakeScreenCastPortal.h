#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QObject>
#include <QSize>
#include <QStringList>
#include <QVariantMap>

#include <map>
#include <memory>
#include <vector>

class TFakePortalSession;

// The desktop's screen-cast portal as a test plays it, on a bus the test names. It keeps to
// the portal's protocol (a session first, sources before the start, the start before the
// stream) and refuses calls that break it, records every call, and answers each request as
// the test scripts it: a response code, silence, or an answer of the wrong shape.
class TFakeScreenCastPortal : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.ScreenCast")
    Q_PROPERTY(uint AvailableSourceTypes READ AvailableSourceTypes)
    Q_PROPERTY(uint version READ Version)

public:
    enum class TReply
    {
        Respond, // the method's reply, then the Response signal
        Silent,  // the reply, but never a Response
        Garbled, // a Response whose arguments are not (u, a{sv})
        NoReply, // not even the method's reply
        Held,    // the reply; the Response once the test releases it (a user taking their time)
    };
    struct TStep
    {
        TReply reply = TReply::Respond;
        uint response = 0; // 0 success, 1 cancelled by the user, 2 other
    };
    struct TCall
    {
        QString method;
        QString sender;  // the caller's unique name
        QString session; // the session handle passed in; empty for CreateSession
        QVariantMap options;
        QString request; // the Request path this call was answered with
    };

    explicit TFakeScreenCastPortal(const QString& busAddress);
    ~TFakeScreenCastPortal() override;

    bool Registered() const { return registered_; }
    uint AvailableSourceTypes() const { return availableTypes; }
    uint Version() const { return 5; }

    // How each method answers, by name ("CreateSession", "SelectSources", "Start").
    std::map<QString, TStep> steps;
    uint availableTypes = 3;
    quint32 node = 42;
    QSize size{1280, 720};
    bool streamsAsText = false;        // "streams" of the wrong type
    bool sessionHandleAsString = true; // as the common portals send it, against their own docs
    QString requestPathOverride;       // answers at a path of its own choosing, as old portals
    int responseDelayMs = 0;           // as a dialog takes its time before the Response

    std::vector<TCall> calls;
    int sessionCloses = 0;
    // The end of the PipeWire "remote" this side keeps; the program gets the other one.
    int RemotePeer() const { return remotePeer_; }
    QStringList SessionPaths() const;
    // Sends the Responses held back so far, as the dialogs close.
    void ReleaseHeld();
    // Ends the session from the desktop's side (the user stopped sharing).
    void CloseSessionFromDesktop(const QString& session);
    // Sends a Response as another client on the bus would, on a path of the test's choosing.
    void SendResponseAs(QDBusConnection other, const QString& path, uint code,
                        const QVariantMap& results);

public slots:
    QDBusObjectPath CreateSession(const QVariantMap& options);
    QDBusObjectPath SelectSources(const QDBusObjectPath& session, const QVariantMap& options);
    QDBusObjectPath Start(const QDBusObjectPath& session, const QString& parentWindow,
                          const QVariantMap& options);
    QDBusUnixFileDescriptor OpenPipeWireRemote(const QDBusObjectPath& session,
                                               const QVariantMap& options);

private:
    struct TSessionState
    {
        QString owner;
        bool selected = false;
        bool started = false;
        std::unique_ptr<TFakePortalSession> object;
    };
    QDBusObjectPath Answer(const QString& method, const QString& session,
                           const QVariantMap& options, const QVariantMap& results);
    TSessionState* FindSession(const QString& path);
    void Refuse(const QString& text);
    static QString PathElement(const QString& sender);

    QString connectionName_;
    QDBusConnection bus_;
    bool registered_ = false;
    std::map<QString, TSessionState> sessions_;
    std::vector<QDBusMessage> held_;
    int remotePeer_ = -1;
    int remoteGiven_ = -1;
};
