// Receiving files: the listener, the status animation and storing what arrives.
#include "transfer/TfrmTransfer.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TListWriter.h"
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
    TStrmHandlers handlers;
    handlers.admit = [this](const TStrmConnection& sender, qint64 length) {
        return Admit(sender, length);
    };
    handlers.message = [this](const TStrmConnection& sender, const QByteArray& sFrom,
                              TSpooledStream& strm) { return StrmRec1MSG(sender, sFrom, strm); };
    StrmRec1->SetHandlers(handlers);
    connect(StrmRec1.get(), &TStrmServer::MessageFailed, this,
            [this](const QString& from, const QByteArray& sFrom, const QString& error) {
                Guarded([&] { StrmRec1Failed(from, sFrom, error); });
            });
    connect(StrmRec1.get(), &TStrmServer::ClientContact, this,
            [this](const QString& from, const QByteArray& key) {
                Guarded([&] { StrmRec1ClientContact(from, key); });
            });
    connect(StrmRec1.get(), &TStrmServer::Disconnected, this,
            [this] { Guarded([this] { StrmRec1Disconnect(); }); });
    // Each connection spools and stores into the receive folder as it is when it is accepted
    // (asked on this thread): a folder the user has just chosen applies at once. Bodies are
    // spooled where they will be stored, so that storing one is a rename; without a usable
    // folder nothing is admitted, so nothing is spooled anywhere else either.
    StrmRec1->SpoolFolderNow = [this] { return host_.ReceiveFolder(); };
    ReceiveFolderChanged();
    // Sending still works without it; the log says why nothing can arrive.
    StrmRec1->Listen();
}

namespace {

bool UsableFolder(const QString& folder)
{
    return QDir::isAbsolutePath(folder) && QFileInfo(folder).isDir();
}

} // namespace

void TfrmTransfer::ReceiveFolderChanged()
{
    // Connections read the folder themselves as they are accepted (SpoolFolderNow).
    RemoveStaleSpools();
}

void TfrmTransfer::RemoveStaleSpools()
{
    // Once per folder and run, and never while a body may be spooling into it: what is there
    // then was left by an earlier run.
    const QString folder = host_.ReceiveFolder();
    if (!UsableFolder(folder) || spoolsChecked_.contains(folder) ||
        (StrmRec1 && StrmRec1->ClientCount() > 0))
        return;
    spoolsChecked_ << folder;
    const QFileInfoList spools = QDir(folder).entryInfoList({QStringLiteral("parlavue-*.spool")},
                                                            QDir::Files | QDir::Hidden);
    for (const QFileInfo& spool : spools) {
        if (spool.isSymLink())
            continue;
        if (QFile::remove(spool.filePath()))
            qCInfo(lcTransfer).noquote()
                << "removed a spool file an earlier run left:" << spool.filePath();
    }
}

TStrmServer::TAdmission TfrmTransfer::Admit(const TStrmConnection& sender, qint64 length)
{
    // A worker thread: nothing here touches a widget.
    const QString from = sender.RemoteIP();
    const QString folder = sender.SpoolFolder();
    auto refuse = [&](const QString& why) {
        qCInfo(lcTransfer).noquote()
            << QStringLiteral("refused %1 bytes from %2: %3").arg(length).arg(from, why);
        QMetaObject::invokeMethod(
            this, [this, from, why] { SetNotice(tr("Refused a file from %1: %2").arg(from, why)); },
            Qt::QueuedConnection);
        return TStrmServer::TAdmission{false, nullptr, nullptr};
    };
    if (!UsableFolder(folder))
        return refuse(tr("no receive folder"));
    if (encryptedOnly_ && sender.PeerKey().isEmpty())
        return refuse(tr("it was not encrypted, and only encrypted files are taken"));
    QString why;
    std::shared_ptr<TDiskBudget::TClaim> claim = budget_.Open(folder, length, &why);
    if (!claim)
        return refuse(why);
    // The body holds what it has brought and a look-ahead; it asks for more as it grows.
    auto grow = [claim](qint64 received) { return claim->Grow(received); };
    return TStrmServer::TAdmission{true, std::move(claim), std::move(grow)};
}

void TfrmTransfer::StrmRec1ClientContact(const QString& from, const QByteArray& key)
{
    Timer2->start();
    // Where the field does not show the sender, the status line does.
    const bool fieldShowsSender = host_.offerHostName && host_.offerHostName(from);
    incomingBase_ = fieldShowsSender ? tr("Incoming") : tr("Incoming from %1").arg(from);
    if (!key.isEmpty())
        incomingBase_ += tr(" (encrypted)");
    SetStatus(incomingBase_ + QStringLiteral("..."));
    qCInfo(lcTransfer).noquote() << "contact:" << incomingBase_;
    ReceiveFolderChanged();
    receiveClock_.start();
    progressTimer_->start();
    // Shown once the accepting handler has returned; the user closes it. The network never
    // opens a modal loop nor takes the keyboard, and while the user is in a call or typing it
    // does not come up at all: the desktop notice tells of what arrived.
    if (isVisible() || (host_.userBusy && host_.userBusy()))
        return;
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

bool TfrmTransfer::StrmRec1MSG(const TStrmConnection& sender, const QByteArray& sFrom,
                               TSpooledStream& strm)
{
    // A worker thread: nothing here touches a widget. True only once the file is in place
    // under its final name: the sender is acknowledged then, and only then.
    const QString from = sender.RemoteIP();
    QString reason;
    const std::optional<QString> name = TReceivedName::Clean(sFrom, &reason);
    if (!name) {
        qCInfo(lcTransfer).noquote() << QStringLiteral("refused a file from %1 named \"%2\": %3")
                                            .arg(from, TStrmServer::LogName(sFrom), reason);
        QMetaObject::invokeMethod(
            this,
            [this, from, reason] { SetNotice(tr("Refused a file from %1: %2").arg(from, reason)); },
            Qt::QueuedConnection);
        return false;
    }
    const QString folder = sender.SpoolFolder();
    auto lost = [&](const QString& why) {
        QMetaObject::invokeMethod(
            this, [this, from, sFrom, why] { StrmRec1Failed(from, sFrom, why); },
            Qt::QueuedConnection);
        return false;
    };
    if (!UsableFolder(folder))
        return lost(tr("the receive folder \"%1\" does not exist").arg(folder));
    // Never over a file that is there: the first free "name (n).ext" is taken instead.
    const qint64 size = strm.size();
    const std::optional<QString> path = strm.MoveToFree(QDir(folder).filePath(*name));
    if (!path)
        return lost(strm.errorString());
    QMetaObject::invokeMethod(
        this,
        [this, path = *path, size, from, arrival = sender.Arrival(), key = sender.PeerKey()] {
            Guarded([&] { Stored(path, size, from, arrival, key); });
        },
        Qt::QueuedConnection);
    return true;
}

void TfrmTransfer::Stored(const QString& path, qint64 size, const QString& from, quint64 arrival,
                          const QByteArray& key)
{
    const TArrivalSecurity security = ArrivalSecurity(QHostAddress(from), key);
    qCInfo(lcTransfer).noquote() << QStringLiteral("stored a file from %1: %2, %3 bytes%4")
                                        .arg(from, path)
                                        .arg(size)
                                        .arg(security.text.isEmpty() ? QString()
                                                                     : ", " + security.text);
    lost_.erase(from);
    // Written at once (in the background), so the entry outlives a program that ends with the
    // portal hidden; only the new entry is handed over, so a long list costs nothing here.
    const int row = AddEntry(path, arrival);
    listWriter_->Insert(row, path);
    if (!security.text.isEmpty()) {
        // Said per file, in words: the list shows paths, as stored.
        QListWidgetItem* item = lstFilesReceived->item(row);
        const QString described = ArrivalName(path, from) + QStringLiteral(" — ") + security.text;
        item->setToolTip(described);
        item->setData(Qt::AccessibleTextRole, described);
    }
    if (security.alarm) {
        SetNotice(key.isEmpty() ? tr("Not encrypted: %1, from an address that used "
                                     "encryption before")
                                      .arg(ArrivalName(path, from))
                                : tr("Key changed: %1").arg(ArrivalName(path, from)));
        lblCom->setStyleSheet(QStringLiteral("color: #ff6060;")); // on the dark panel
    }
    const bool seen = PortalSeen ? PortalSeen() : isVisible() && !isMinimized() && isActiveWindow();
    if (!seen && OnStoredUnseen)
        OnStoredUnseen(path, from, security.text);
}

void TfrmTransfer::StrmRec1Failed(const QString& from, const QByteArray& sFrom,
                                  const QString& error)
{
    // Told on the status line, counted per sender, never in a box.
    qCInfo(lcTransfer).noquote()
        << QStringLiteral("lost \"%1\" from %2: %3").arg(TStrmServer::LogName(sFrom), from, error);
    Lost(from, error);
}

void TfrmTransfer::Lost(const QString& from, const QString& why)
{
    const int count = ++lost_[from];
    SetNotice(count == 1 ? tr("A file from %1 was cut short: %2").arg(from, why)
                         : tr("%n files from %1 were cut short", nullptr, count).arg(from));
}

void TfrmTransfer::SetNotice(const QString& text)
{
    SetStatus(text);
    statusNotice_ = true;
    qCInfo(lcTransfer).noquote() << QStringLiteral("status: \"%1\"").arg(text);
}

void TfrmTransfer::StrmRec1Disconnect()
{
    Timer2->stop();
    // A notice stays readable until the status line changes for another reason.
    if (!statusNotice_)
        SetStatus(tr("Ready..."));
    if (lstFilesReceived->isVisible() && lstFilesReceived->isEnabled())
        lstFilesReceived->setFocus();
}
