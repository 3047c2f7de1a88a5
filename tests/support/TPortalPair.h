#pragma once

#include "transfer/TfrmTransfer.h"

#include <QString>
#include <QTemporaryDir>
#include <memory>

// Two file transfer portals in one process, as two copies of the program would have them: A
// sends to B over loopback, B receives into a folder of its own beneath a root that nothing
// else writes. Each has its own host-name field and list file.
class TPortalPair
{
public:
    TPortalPair();
    ~TPortalPair();

    QTemporaryDir root;
    QString hostA = QStringLiteral("127.0.0.1"); // A's host-name field
    QString hostB;                               // B's host-name field
    QString folderA;                             // A's receive folder
    QString folderB;                             // B's receive folder: root/in
    int focusRequests = 0;
    bool userBusy = false; // the user of B is in a call or typing
    // Connections B's window was told of, and how many of them have ended.
    int contactsB = 0;
    int endedB = 0;
    std::unique_ptr<TfrmTransfer> a;
    std::unique_ptr<TfrmTransfer> b;

    static const QString Prompt;

    // A file under root/out with the given bytes; its full path.
    QString MakeFile(const QString& name, const QByteArray& bytes) const;
    QString InB(const QString& name) const;
    // Runs events until B has listed n entries (at most ms); whether it has.
    bool WaitForEntries(int n, int ms = 10000) const;
    // Runs events until A's batch or text message has ended (in its box, unless the program
    // ends); whether it has.
    bool WaitForSendEnd(int ms = 60000) const;
    // Runs events until B has ended every connection and told the window of each.
    bool WaitForReceiverIdle(int ms = 10000) const;
    // Sends one message from a sender of its own, as any peer could; whether the receiver
    // acknowledged it (it does once the message is stored, and only then).
    static bool SendRaw(quint16 port, const QByteArray& name, const QByteArray& body);
    // Makes B anew, as a restart of its program would (same list file and folder).
    void RestartB();

private:
    std::unique_ptr<TfrmTransfer> MakePortal(QString* field, QString* folder, const QString& list);
    void MakeB();
};
