#pragma once

#include "transfer/TfrmTransfer.h"

#include <QObject>

#include <QPointer>
#include <QString>
#include <functional>

class TCallSession;
class TDesktopNotifications;
class TfrmMain;

// What the program tells the desktop: an incoming call, with Answer and Decline doing what
// the main window's two call buttons do, and a file or message that arrived while the user
// did not see the file transfer portal. The taskbar alert is the main window's own and stays.
class TDesktopNotices : public QObject
{
    Q_OBJECT

public:
    TDesktopNotices(TDesktopNotifications& notifications, TCallSession& session, TfrmMain& main,
                    TfrmTransfer* portal, QObject* parent = nullptr);
    ~TDesktopNotices() override;

    static QString CallSummary() { return tr("Incoming call"); }
    // How the call from that address is protected, for the notice's title ("Encrypted call",
    // "Key changed"); empty keeps the plain title.
    std::function<QString(const QString& sender)> CallSecurity;
    static QString CallBody(const QString& callerID, const QString& sender);
    static QString ReceivedSummary(const QString& path);
    // security: how it came ("encrypted", ...), said after the sender when known.
    static QString ReceivedBody(const QString& path, const QString& from,
                                const QString& security = {});

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Ring(const QString& callerID, const QString& sender);
    void RingStopped();
    void CallAction(const QString& key, const QString& caller);
    void Received(const QString& path, const QString& from, const QString& security);
    void BringMainWindowForward();

    TDesktopNotifications& notifications_;
    TCallSession& session_;
    TfrmMain& main_;
    QPointer<TfrmTransfer> portal_; // the forms may go first at the end
    quint64 callNotice_ = 0;
    quint64 receivedNotice_ = 0;
    int receivedCount_ = 0;
};
