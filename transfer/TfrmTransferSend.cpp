// Sending files: the button, the batch, the sender's events, the progress bar and drops.
#include "transfer/TfrmTransfer.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TExclusiveFile.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"
#include "transfer/TTransferProgress.h"

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
    connect(StrmSend1, &TStrmSender::Connected, this, &TfrmTransfer::StrmSend1Connect);
    connect(StrmSend1, &TStrmSender::Progress, this, &TfrmTransfer::StrmSend1PacketSent);
    connect(StrmSend1, &TStrmSender::MessageSent, this, &TfrmTransfer::StrmSend1MessageSent);
    connect(StrmSend1, &TStrmSender::Disconnected, this, &TfrmTransfer::StrmSend1Disconnect);
    connect(StrmSend1, &TStrmSender::ConnectionFailed, this,
            &TfrmTransfer::StrmSend1ConnectionFailed);
    connect(StrmSend1, &TStrmSender::Done, this, [this] { Guarded([this] { StrmSend1Done(); }); });
    connect(StrmSend1, &TStrmSender::Failed, this,
            [this](const QString& reason) { Guarded([&] { StrmSend1Failed(reason); }); });
    StrmSend1->OnInvalidHost = [this] { return StrmSend1InvalidHost(); };
}

void TfrmTransfer::btnTransferClick()
{
    const QString host = host_.HostName();
    if (host.isEmpty() || host == host_.prompt) {
        Ui().Information(tr("Please enter Host Name or IP Address First."));
        if (host_.focusHostName)
            host_.focusHostName();
        return;
    }
    // The batch starts once this handler has returned, still on this thread.
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
        request.title = tr("Select Files to Transfer");
        request.filter = tr("All Files (*.*)|*.*");
        request.multiSelect = true;
        chosen = Ui().OpenFiles(request);
        // The dialog was a loop of its own: a send may have begun meanwhile.
        if (!chosen || sending_)
            return;
    }
    batch_ = *chosen;
    batchHost_ = host_.HostName();
    batchRunning_ = true;
    SendNext();
}

void TfrmTransfer::SendNext()
{
    if (batch_.isEmpty()) {
        batchRunning_ = false;
        if (!ending_)
            Ui().Information(SuccessText());
        return;
    }
    const QString path = batch_.takeFirst();
    auto file = std::make_shared<TExclusiveFile>(path);
    if (!file->OpenExclusive()) {
        BatchFailed(file->errorString());
        return;
    }
    // Another program wanting to write the file ends its transfer, and lets it write.
    connect(file.get(), &TExclusiveFile::LeaseBroken, this, [this, path] {
        qCInfo(lcTransfer).noquote()
            << "another program writes" << path << "- its transfer is stopped";
        StrmSend1->Cancel();
    });
    StrmSend1->Host = batchHost_;
    StrmSend1->FromName = QFileInfo(path).fileName().toUtf8();
    sendingFile_ = file;
    BeginSend(file->size());
    StrmSend1->Send(std::move(file));
}

void TfrmTransfer::StrmSend1Done()
{
    if (!batchRunning_)
        return; // a text message's
    EndSend();
    const std::shared_ptr<TExclusiveFile> file = std::move(sendingFile_);
    if (file->Broken()) {
        BatchFailed(tr("%1 was opened for writing while it was sent.").arg(file->fileName()));
        return;
    }
    qCInfo(lcTransfer).noquote()
        << QStringLiteral("sent file %1 to %2").arg(file->fileName(), batchHost_);
    file->close();
    SendNext();
}

void TfrmTransfer::StrmSend1Failed(const QString& reason)
{
    if (!batchRunning_)
        return;
    EndSend();
    sendingFile_.reset();
    BatchFailed(reason);
}

void TfrmTransfer::BatchFailed(const QString& reason)
{
    batchRunning_ = false;
    batch_.clear();
    qCInfo(lcTransfer).noquote() << "sending files to" << batchHost_ << "stopped:" << reason;
    if (ending_)
        return;
    // The line keeps the reason once the box is gone ("Not Connected" says it already).
    if (lblCom->text() != tr("Not Connected"))
        SetNotice(tr("Not sent: %1").arg(reason.simplified()));
    Ui().Warning(WarningText());
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
        progress.done = StrmSend1->SentCount();
        progress.total = sendSize_;
        progress.elapsedMs = sendClock_.elapsed();
    } else if (StrmRec1 && StrmRec1->ClientCount() > 0) {
        progress.done = StrmRec1->ReceivedCount();
        progress.total = StrmRec1->TotalCount();
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
    batch_.clear();
    StrmSend1->Cancel();
}

void TfrmTransfer::StrmSend1Connect()
{
    SetStatus(tr("Sending..."));
}

void TfrmTransfer::StrmSend1PacketSent()
{
    SetStatus(tr("Sending... %1 KB").arg(StrmSend1->SentCount() / 1024));
}

void TfrmTransfer::StrmSend1MessageSent()
{
    SetStatus(tr("Completed..."));
}

void TfrmTransfer::StrmSend1Disconnect()
{
    SetStatus(tr("Ready..."));
    if (lstFilesReceived->isVisible() && lstFilesReceived->isEnabled())
        lstFilesReceived->setFocus();
}

void TfrmTransfer::StrmSend1ConnectionFailed()
{
    SetStatus(tr("Not Connected"));
}

std::optional<QString> TfrmTransfer::StrmSend1InvalidHost()
{
    return Ui().InputBox(tr("Invalid Host!"), tr("Specify a new host:"), {});
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
        Ui().Information(tr("Please enter Host Name or IP Address First."));
        return;
    }
    // Like the button: the batch runs once the drop has been handled.
    QMetaObject::invokeMethod(
        this, [this, files] { Guarded([&] { SelectAndSendFiles(files); }); }, Qt::QueuedConnection);
}
