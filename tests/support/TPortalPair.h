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
    std::unique_ptr<TfrmTransfer> a;
    std::unique_ptr<TfrmTransfer> b;

    static const QString Prompt;

    // A file under root/out with the given bytes; its full path.
    QString MakeFile(const QString& name, const QByteArray& bytes) const;
    QString InB(const QString& name) const;
    // Runs events until B has listed n entries (at most ms); whether it has.
    bool WaitForEntries(int n, int ms = 10000) const;
    // Makes B anew, as a restart of its program would (same list file and folder).
    void RestartB();

private:
    std::unique_ptr<TfrmTransfer> MakePortal(QString* field, QString* folder, const QString& list);
};
