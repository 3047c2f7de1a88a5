#include "tests/support/TPortalPair.h"

#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QBuffer>
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
    MakeB();
}

void TPortalPair::MakeB()
{
    b = MakePortal(&hostB, &folderB, root.filePath(QStringLiteral("b.lst")));
    contactsB = endedB = 0;
    QObject::connect(b->StrmRec1.get(), &TStrmServer::ClientContact, [this] { ++contactsB; });
    QObject::connect(b->StrmRec1.get(), &TStrmServer::Disconnected, [this] { ++endedB; });
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

bool TPortalPair::WaitForSendEnd(int ms) const
{
    return QTest::qWaitFor([&] { return !a->Sending(); }, ms);
}

bool TPortalPair::WaitForReceiverIdle(int ms) const
{
    // The count falls on the network thread before the window hears of the end.
    return QTest::qWaitFor([&] { return b->StrmRec1->ClientCount() == 0 && endedB == contactsB; },
                           ms);
}

bool TPortalPair::SendRaw(quint16 port, const QByteArray& name, const QByteArray& body)
{
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = port;
    sender.FromName = name;
    auto buffer = std::make_shared<QBuffer>();
    buffer->setData(body);
    buffer->open(QIODevice::ReadOnly);
    std::optional<bool> acknowledged;
    QObject::connect(&sender, &TStrmSender::Done, [&] { acknowledged = true; });
    QObject::connect(&sender, &TStrmSender::Failed, [&] { acknowledged = false; });
    return sender.Send(buffer) &&
           QTest::qWaitFor([&] { return acknowledged.has_value(); }, 60000) && *acknowledged;
}

void TPortalPair::RestartB()
{
    b.reset();
    MakeB();
}
