// Sending files: the button, the batch, the sender's events, the progress bar and drops.
#include "transfer/TfrmTransfer.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TExclusiveFile.h"
#include "transfer/TServeThread.h"
#include "transfer/TServerClients.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"
#include "transfer/TTransferProgress.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

void TfrmTransfer::ConnectSender()
{
    StrmSend1 = new TStrmSender(this);
    StrmSend1->setObjectName(QStringLiteral("StrmSend1"));
    StrmSend1->Port = 6501;
    StrmSend1->ReportLevel = 0;
    StrmSend1->OnConnect = [this](TSockBase*) { StrmSend1Connect(); };
    StrmSend1->OnPacketSent = [this](TSockBase*) { StrmSend1PacketSent(); };
    StrmSend1->OnMessageSent = [this](TSockBase*) { StrmSend1MessageSent(); };
    StrmSend1->OnDisconnect = [this](TSockBase*) { StrmSend1Disconnect(); };
    StrmSend1->OnConnectionFailed = [this](TSockBase*) { StrmSend1ConnectionFailed(); };
    StrmSend1->OnInvalidHost = [this](TSockBase*, bool& handled) { StrmSend1InvalidHost(handled); };
}

void TfrmTransfer::btnTransferClick()
{
    const QString host = host_.HostName();
    if (host.isEmpty() || host == host_.prompt) {
        Ui().Information(QStringLiteral("Please enter Host Name or IP Address First."));
        if (host_.focusHostName)
            host_.focusHostName();
        return;
    }
    // The batch runs once this handler has returned, still on this thread.
    QMetaObject::invokeMethod(
        this, [this] { Guarded([this] { SelectAndSendFiles(); }); }, Qt::QueuedConnection);
}

void TfrmTransfer::SelectAndSendFiles(std::optional<QStringList> chosen)
{
    if (sending_) {
        qCDebug(lcTransfer) << "a batch is already being sent";
        return;
    }
    if (!chosen) {
        TOpenFileRequest request;
        request.title = QStringLiteral("Select Files to Transfer");
        request.filter = QStringLiteral("All Files (*.*)|*.*");
        request.multiSelect = true;
        chosen = Ui().OpenFiles(request);
        if (!chosen)
            return;
    }
    try {
        StrmSend1->Host = host_.HostName();
        QCoreApplication::processEvents();
        for (const QString& path : *chosen) {
            QCoreApplication::processEvents();
            StrmSend1->FromName = QFileInfo(path).fileName().toUtf8();
            TExclusiveFile file(path);
            if (!file.OpenExclusive())
                throw EError(file.errorString());
            // Another program wanting to write the file ends its transfer, and lets it write.
            connect(&file, &TExclusiveFile::LeaseBroken, this, [this, path] {
                qCInfo(lcTransfer).noquote()
                    << "another program writes" << path << "- its transfer is stopped";
                StrmSend1->Cancel();
            });
            QCoreApplication::processEvents();
            BeginSend(file.size());
            try {
                QByteArray reply;
                StrmSend1->SendStreamMessage(file, reply);
            } catch (...) {
                EndSend();
                throw;
            }
            EndSend();
            if (file.Broken())
                throw EError(
                    QStringLiteral("%1 was opened for writing while it was sent.").arg(path));
            QCoreApplication::processEvents();
            file.close();
            QCoreApplication::processEvents();
            qCInfo(lcTransfer).noquote()
                << QStringLiteral("sent file %1 to %2").arg(path, StrmSend1->Host);
        }
    } catch (const std::exception& e) {
        qCInfo(lcTransfer).noquote()
            << "sending files to" << StrmSend1->Host << "stopped:" << e.what();
        if (ending_)
            return;
        // The line keeps the reason once the box is gone ("Not Connected" says it already).
        if (lblCom->text() != QLatin1String("Not Connected"))
            SetNotice(QStringLiteral("Not sent: %1").arg(QString::fromUtf8(e.what()).simplified()));
        Ui().Warning(WarningText);
        return;
    }
    if (!ending_)
        Ui().Information(SuccessText);
}

void TfrmTransfer::BeginSend(qint64 size)
{
    sending_ = true;
    sendSize_ = size;
    sendClock_.start();
    btnTransfer->setEnabled(false);
    btnTxtMessage->setEnabled(false);
    ShowProgress();
    progressTimer_->start();
}

void TfrmTransfer::EndSend()
{
    sending_ = false;
    btnTransfer->setEnabled(true);
    btnTxtMessage->setEnabled(true);
    ShowProgress();
}

void TfrmTransfer::ShowProgress()
{
    TTransferProgress progress;
    if (sending_) {
        progress.done = StrmSend1->SentCount;
        progress.total = sendSize_;
        progress.elapsedMs = sendClock_.elapsed();
    } else if (StrmRec1 && StrmRec1->ClientCount() > 0) {
        StrmRec1->Clients->ForEach([&](TServeThread& worker) {
            progress.done += worker.Client()->ReceivedCount;
            progress.total += worker.Client()->TotalCount;
        });
        progress.elapsedMs = receiveClock_.isValid() ? receiveClock_.elapsed() : 0;
    } else {
        progressTimer_->stop();
        pbTransfer->hide();
        return;
    }
    pbTransfer->setValue(progress.Percent());
    pbTransfer->setFormat(progress.Text());
    pbTransfer->show();
}

void TfrmTransfer::AbortTransfers()
{
    ending_ = true;
    if (sending_)
        StrmSend1->Cancel();
}

void TfrmTransfer::StrmSend1Connect()
{
    SetStatus(QStringLiteral("Sending..."));
}

void TfrmTransfer::StrmSend1PacketSent()
{
    SetStatus(QStringLiteral("Sending... %1 KB").arg(StrmSend1->SentCount / 1024));
}

void TfrmTransfer::StrmSend1MessageSent()
{
    SetStatus(QStringLiteral("Completed..."));
}

void TfrmTransfer::StrmSend1Disconnect()
{
    SetStatus(QStringLiteral("Ready..."));
    if (lstFilesReceived->isVisible() && lstFilesReceived->isEnabled())
        lstFilesReceived->setFocus();
}

void TfrmTransfer::StrmSend1ConnectionFailed()
{
    SetStatus(QStringLiteral("Not Connected"));
}

void TfrmTransfer::StrmSend1InvalidHost(bool& handled)
{
    const std::optional<QString> host =
        Ui().InputBox(QStringLiteral("Invalid Host!"), QStringLiteral("Specify a new host:"), {});
    if (host) {
        StrmSend1->Host = *host;
        handled = true;
    }
}

void TfrmTransfer::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data->hasUrls() && !sending_) {
        for (const QUrl& url : data->urls())
            if (!url.isLocalFile())
                return;
        event->acceptProposedAction();
    }
}

void TfrmTransfer::dropEvent(QDropEvent* event)
{
    QStringList files;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isFile())
            files << url.toLocalFile();
    if (files.isEmpty())
        return;
    event->acceptProposedAction();
    const QString host = host_.HostName();
    if (host.isEmpty() || host == host_.prompt) {
        Ui().Information(QStringLiteral("Please enter Host Name or IP Address First."));
        return;
    }
    // Like the button: the batch runs once the drop has been handled.
    QMetaObject::invokeMethod(
        this, [this, files] { Guarded([&] { SelectAndSendFiles(files); }); }, Qt::QueuedConnection);
}
