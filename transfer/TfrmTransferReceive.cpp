// Receiving files: the listener, the status animation and storing what arrives.
#include "transfer/TfrmTransfer.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TReceivedName.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmServer.h"

#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QThread>
#include <QTimer>

void TfrmTransfer::ConnectReceiver(quint16 port)
{
    StrmRec1 = std::make_unique<TStrmServer>();
    StrmRec1->setObjectName(QStringLiteral("StrmRec1"));
    StrmRec1->Port = port;
    StrmRec1->ReportLevel = 0;
    StrmRec1->OnMSG = [this](TStrmServer* sender, const QByteArray& sFrom, TSpooledStream& strm) {
        StrmRec1MSG(sender, sFrom, strm);
    };
    StrmRec1->OnFailed = [this](TStrmServer* sender, const QByteArray& sFrom,
                                const QString& error) { StrmRec1Failed(sender, sFrom, error); };
    StrmRec1->OnClientContact = [this](TSockBase*) {
        Guarded([this] { StrmRec1ClientContact(); });
    };
    StrmRec1->OnDisconnect = [this](TSockBase*) { Guarded([this] { StrmRec1Disconnect(); }); };
    ReceiveFolderChanged();
    try {
        StrmRec1->Loaded();
    } catch (const EError& e) {
        // Sending still works; the user learns why nothing can arrive.
        qCWarning(lcTransfer) << "cannot listen on TCP port" << port << ":" << e.what();
        Ui().Error(
            QStringLiteral("Files cannot be received: TCP port %1: %2").arg(port).arg(e.Message()));
    }
}

void TfrmTransfer::ReceiveFolderChanged()
{
    const QString folder = host_.ReceiveFolder();
    {
        std::lock_guard lock(folderLock_);
        storeFolder_ = folder;
    }
    // Bodies are spooled where they will be stored, so that storing one is a rename.
    if (StrmRec1)
        StrmRec1->SpoolFolder =
            QDir::isAbsolutePath(folder) && QDir(folder).exists() ? folder : QDir::tempPath();
}

QString TfrmTransfer::StoreFolder() const
{
    std::lock_guard lock(folderLock_);
    return storeFolder_;
}

void TfrmTransfer::StrmRec1ClientContact()
{
    Timer2->start();
    // Where the field does not show the sender, the status line does.
    const QString from = StrmRec1->RemoteIP();
    const bool fieldShowsSender = host_.offerHostName && host_.offerHostName(from);
    incomingBase_ = fieldShowsSender ? QStringLiteral("Incoming")
                                     : QStringLiteral("Incoming from %1").arg(from);
    SetStatus(incomingBase_ + QStringLiteral("..."));
    qCInfo(lcTransfer).noquote() << "contact:" << incomingBase_;
    ReceiveFolderChanged();
    receiveClock_.start();
    progressTimer_->start();
    if (!isVisible()) {
        // Shown once the accepting handler has returned; the user closes it. The network never
        // opens a modal loop nor takes the keyboard: a user answering a call must not find the
        // main window blocked by whoever connected.
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (isVisible())
                    return;
                setAttribute(Qt::WA_ShowWithoutActivating);
                show();
                setAttribute(Qt::WA_ShowWithoutActivating, false);
            },
            Qt::QueuedConnection);
    }
}

void TfrmTransfer::StrmRec1MSG(TStrmServer* sender, const QByteArray& sFrom, TSpooledStream& strm)
{
    // The connection's worker thread: nothing here touches a widget.
    const QString from = sender->RemoteIP();
    QThread::msleep(StoreWaitMs);
    QString reason;
    const std::optional<QString> name = TReceivedName::Clean(sFrom, &reason);
    if (!name) {
        qCInfo(lcTransfer).noquote() << QStringLiteral("refused a file from %1 named \"%2\": %3")
                                            .arg(from, TStrmServer::LogName(sFrom), reason);
        QMetaObject::invokeMethod(
            this,
            [this, from, reason] {
                SetStatus(QStringLiteral("Refused a file from %1: %2").arg(from, reason));
                statusNotice_ = true;
            },
            Qt::QueuedConnection);
        return;
    }
    auto interrupted = [&](const QString& why) {
        qCInfo(lcTransfer).noquote() << QStringLiteral("could not store \"%1\" from %2: %3")
                                            .arg(TStrmServer::LogName(sFrom), from, why);
        QMetaObject::invokeMethod(
            this, [] { Ui().Error(InterruptedText); }, Qt::QueuedConnection);
    };
    // A body shorter than announced never takes the name of a whole one.
    if (!sender->BodyComplete()) {
        interrupted(QStringLiteral("%1 of %2 bytes arrived")
                        .arg(qint64(sender->ReceivedCount))
                        .arg(qint64(sender->TotalCount)));
        return;
    }
    const QString folder = StoreFolder();
    if (!QDir::isAbsolutePath(folder) || !QDir(folder).exists()) {
        interrupted(QStringLiteral("the receive folder \"%1\" does not exist").arg(folder));
        return;
    }
    QThread::msleep(StoreWaitMs);
    QThread::msleep(StoreWaitMs);
    // Put in place by renaming: a file of that name is replaced whole or not at all.
    const QString path = QDir(folder).filePath(*name);
    const qint64 size = strm.size();
    {
        // Workers store concurrently: the body that arrived last keeps the name, whichever
        // worker gets here first.
        std::lock_guard lock(storeLock_);
        quint64& newest = newestStored_[path];
        if (sender->Arrival < newest) {
            qCInfo(lcTransfer).noquote()
                << QStringLiteral("kept the newer \"%1\"; an earlier body of that name from %2 "
                                  "came late and was dropped")
                       .arg(path, from);
        } else if (!strm.MoveTo(path)) {
            interrupted(strm.errorString());
            return;
        } else {
            newest = sender->Arrival;
        }
    }
    QMetaObject::invokeMethod(
        this,
        [this, path, size, from, arrival = sender->Arrival] {
            Guarded([&] { Stored(path, size, from, arrival); });
        },
        Qt::QueuedConnection);
}

void TfrmTransfer::Stored(const QString& path, qint64 size, const QString& from, quint64 arrival)
{
    qCInfo(lcTransfer).noquote()
        << QStringLiteral("stored a file from %1: %2, %3 bytes").arg(from, path).arg(size);
    AddEntry(path, arrival);
    // Written at once, so the entry outlives a program that ends with the portal hidden.
    SaveList();
    const bool seen = PortalSeen ? PortalSeen() : isVisible() && !isMinimized() && isActiveWindow();
    if (!seen && OnStoredUnseen)
        OnStoredUnseen(path, from);
}

void TfrmTransfer::StrmRec1Failed(TStrmServer* sender, const QByteArray& sFrom,
                                  const QString& error)
{
    qCInfo(lcTransfer).noquote() << QStringLiteral("lost \"%1\" from %2: %3")
                                        .arg(TStrmServer::LogName(sFrom), sender->RemoteIP(),
                                             error);
    QMetaObject::invokeMethod(
        this, [] { Ui().Error(InterruptedText); }, Qt::QueuedConnection);
}

void TfrmTransfer::StrmRec1Disconnect()
{
    Timer2->stop();
    // A refused name stays readable until the status line changes for another reason.
    if (!statusNotice_)
        SetStatus(QStringLiteral("Ready..."));
    if (lstFilesReceived->isVisible() && lstFilesReceived->isEnabled())
        lstFilesReceived->setFocus();
}
