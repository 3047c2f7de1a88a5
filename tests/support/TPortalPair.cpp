#include "tests/support/TPortalPair.h"

#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QTest>

const QString TPortalPair::Prompt = QStringLiteral("Enter Host Name To Call");

TPortalPair::TPortalPair()
{
    QDir(root.path()).mkpath(QStringLiteral("in"));
    QDir(root.path()).mkpath(QStringLiteral("out"));
    QDir(root.path()).mkpath(QStringLiteral("a-in"));
    folderA = root.filePath(QStringLiteral("a-in"));
    folderB = root.filePath(QStringLiteral("in"));
    a = MakePortal(&hostA, &folderA, root.filePath(QStringLiteral("a.lst")));
    b = MakePortal(&hostB, &folderB, root.filePath(QStringLiteral("b.lst")));
    a->StrmSend1->Port = b->StrmRec1->LocalPort();
    // Shown, as a hidden portal would come up at the first contact.
    b->show();
}

TPortalPair::~TPortalPair() = default;

std::unique_ptr<TfrmTransfer> TPortalPair::MakePortal(QString* field, QString* folder,
                                                      const QString& list)
{
    TPortalHost host;
    host.prompt = Prompt;
    host.hostName = [field] { return *field; };
    host.offerHostName = [field](const QString& text) {
        *field = text;
        return true;
    };
    host.focusHostName = [this] { ++focusRequests; };
    host.receiveFolder = [folder] { return *folder; };
    host.userBusy = [this] { return userBusy; };
    return std::make_unique<TfrmTransfer>(std::move(host), quint16(0), nullptr, list);
}

QString TPortalPair::MakeFile(const QString& name, const QByteArray& bytes) const
{
    const QString path = root.filePath(QStringLiteral("out/") + name);
    QFile f(path);
    if (f.open(QIODevice::WriteOnly))
        f.write(bytes);
    return path;
}

QString TPortalPair::InB(const QString& name) const
{
    return QDir(folderB).filePath(name);
}

bool TPortalPair::WaitForEntries(int n, int ms) const
{
    return QTest::qWaitFor([&] { return b->lstFilesReceived->count() >= n; }, ms);
}

void TPortalPair::RestartB()
{
    b.reset();
    b = MakePortal(&hostB, &folderB, root.filePath(QStringLiteral("b.lst")));
    a->StrmSend1->Port = b->StrmRec1->LocalPort();
    b->show();
}
