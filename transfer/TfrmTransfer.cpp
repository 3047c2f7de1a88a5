#include "transfer/TfrmTransfer.h"

#include "platform/errors/EError.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TListWriter.h"
#include "transfer/TReceivedList.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"
#include "transfer/TfrmTxtMessage.h"
#include "widgets/TElidedRowDelegate.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/TRoundedPanel.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QSaveFile>
#include <QTimer>

QString TfrmTransfer::WarningText()
{
    return tr("File or Document may still be in use.\r\n\r\n{ or Host is not connected at "
              "this time }");
}

QString TfrmTransfer::SuccessText()
{
    return tr("File Transfer Successful and Complete.");
}

QString TfrmTransfer::InterruptedText()
{
    return tr("Transmission Interrupted or Disconnected");
}

namespace {

// Puts a copy of source at target, replacing a file there only once the copy is whole.
void CopyOver(const QString& source, const QString& target)
{
    QFile in(source);
    if (!in.open(QIODevice::ReadOnly))
        throw EError(QCoreApplication::translate("TfrmTransfer", "Cannot open %1: %2")
                         .arg(source, in.errorString()));
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly))
        throw EError(QCoreApplication::translate("TfrmTransfer", "Cannot write %1: %2")
                         .arg(target, out.errorString()));
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (qint64 n; (n = in.read(block.data(), block.size())) > 0;)
        if (out.write(block.constData(), n) != n)
            throw EError(QCoreApplication::translate("TfrmTransfer", "Cannot write %1: %2")
                             .arg(target, out.errorString()));
    if (in.error() != QFileDevice::NoError)
        throw EError(QCoreApplication::translate("TfrmTransfer", "Cannot read %1: %2")
                         .arg(source, in.errorString()));
    // A write cut short (a full disk) can pass unreported; only a whole copy replaces the target.
    if (!out.flush() || out.size() != in.size())
        throw EError(QCoreApplication::translate("TfrmTransfer",
                                                 "Cannot write %1: it could not be written whole")
                         .arg(target));
    if (!out.commit())
        throw EError(QCoreApplication::translate("TfrmTransfer", "Cannot write %1: %2")
                         .arg(target, out.errorString()));
}

} // namespace

TfrmTransfer::TfrmTransfer(TPortalHost host, quint16 listenPort, QWidget* parent, QString listFile)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                          Qt::WindowMinimizeButtonHint),
      ListFile(listFile.isEmpty() ? TReceivedList::Location() : std::move(listFile)),
      host_(std::move(host)), budget_([this](const QString& folder) {
          return DiskSpace ? DiskSpace(folder) : TDiskBudget::FileSystemSpace(folder);
      })
{
    setObjectName(QStringLiteral("frmTransfer"));
    setWindowTitle(tr("File Transfer Portal"));
    setFixedSize(488, 311);
    setFont(TFonts::SansSerif(8));
    setAcceptDrops(true);
    OpenDocument = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    listWriter_ = std::make_unique<TListWriter>(ListFile, [](const QString& reason) {
        qCWarning(lcTransfer).noquote() << "the received-files list was not written:" << reason;
    });
    CreateControls();
    ConnectSender();
    // FormCreate: the list as it was left, then the receiver starts listening.
    LoadList();
    ConnectReceiver(listenPort);
}

TfrmTransfer::~TfrmTransfer()
{
    // The receiver goes first, while the window it posts to is whole.
    StrmRec1.reset();
    // Entries received while the portal stayed hidden are kept too.
    SaveList();
    FlushList();
}

void TfrmTransfer::CreateControls()
{
    Panel1 = new TRoundedPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());

    lstFilesReceived = new QListWidget(Panel1);
    lstFilesReceived->setObjectName(QStringLiteral("lstFilesReceived"));
    lstFilesReceived->setGeometry(24, 24, 441, 169);
    lstFilesReceived->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lstFilesReceived->setUniformItemSizes(true);
    QFont listFont = TFonts::SansSerif(8);
    listFont.setPixelSize(13);
    lstFilesReceived->setFont(listFont);
    lstFilesReceived->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
    lstFilesReceived->setItemDelegate(new TElidedRowDelegate(lstFilesReceived));
    // No label above it; each row is read as the file's path it shows.
    lstFilesReceived->setAccessibleName(tr("Files Received"));

    auto button = [this](const QString& name, const QString& text, const QRect& geometry) {
        auto* b = new TGradientButton(text, Panel1);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        return b;
    };
    btnClear = button(QStringLiteral("btnClear"), tr("Clear List"), {24, 208, 75, 25});
    btnMove = button(QStringLiteral("btnMove"), tr("Move"), {112, 208, 75, 25});
    btnDelete = button(QStringLiteral("btnDelete"), tr("Delete"), {200, 208, 75, 25});
    btnTxtMessage =
        button(QStringLiteral("btnTxtMessage"), tr("Send Text Message"), {336, 208, 129, 25});
    lblCom = new QLabel(tr("Ready..."), Panel1);
    lblCom->setObjectName(QStringLiteral("lblCom"));
    lblCom->setGeometry(24, 240, 441, 16);
    lblCom->setAlignment(Qt::AlignCenter);
    lblCom->setTextFormat(Qt::PlainText);
    QFont statusFont = TFonts::SansSerif(8, true);
    statusFont.setPixelSize(13);
    lblCom->setFont(statusFont);
    lblCom->setStyleSheet(QStringLiteral("color: white;"));
    btnTransfer =
        button(QStringLiteral("btnTransfer"), tr("Select Files To Transfer"), {24, 264, 161, 25});
    btnClose = button(QStringLiteral("btnClose"), tr("Close"), {392, 264, 75, 25});
    // Below the status line, between the two bottom buttons, only while bytes move.
    pbTransfer = new QProgressBar(Panel1);
    pbTransfer->setObjectName(QStringLiteral("pbTransfer"));
    pbTransfer->setGeometry(196, 266, 186, 21);
    pbTransfer->setRange(0, 100);
    pbTransfer->setTextVisible(true);
    pbTransfer->setAlignment(Qt::AlignCenter);
    pbTransfer->hide();
    pbTransfer->setAccessibleName(tr("Transfer Progress"));

    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(500);
    progressTimer_ = new QTimer(this);
    progressTimer_->setInterval(250);
    connect(progressTimer_, &QTimer::timeout, this, [this] { ShowProgress(); });

    auto on = [this](QPushButton* b, void (TfrmTransfer::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    on(btnClear, &TfrmTransfer::btnClearClick);
    on(btnMove, &TfrmTransfer::btnMoveClick);
    on(btnDelete, &TfrmTransfer::btnDeleteClick);
    on(btnTxtMessage, &TfrmTransfer::btnTxtMessageClick);
    on(btnTransfer, &TfrmTransfer::btnTransferClick);
    on(btnClose, &TfrmTransfer::btnCloseClick);
    connect(Timer2, &QTimer::timeout, this, [this] { Guarded([this] { Timer2Timer(); }); });
    connect(lstFilesReceived, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { lstFilesReceivedDblClick(); }); });
}

QStringList TfrmTransfer::Entries() const
{
    QStringList entries;
    for (int i = 0; i < lstFilesReceived->count(); ++i)
        entries << lstFilesReceived->item(i)->text();
    return entries;
}

void TfrmTransfer::LoadList()
{
    try {
        const QStringList entries = TReceivedList::Load(ListFile);
        lstFilesReceived->clear();
        lstFilesReceived->addItems(entries);
        listWriter_->Know(entries);
        qCDebug(lcTransfer).noquote()
            << QStringLiteral("received-files list: %1 entries loaded").arg(entries.size());
        for (const QString& entry : entries)
            qCDebug(lcTransfer).noquote() << "received-files entry:" << entry;
    } catch (const EError& e) {
        Ui().Error(e.Message());
    }
}

void TfrmTransfer::SaveList()
{
    listWriter_->Save(Entries());
}

void TfrmTransfer::FlushList()
{
    listWriter_->Flush();
}

int TfrmTransfer::AddEntry(const QString& path, quint64 arrival)
{
    int row = lstFilesReceived->count();
    while (row > 0 && lstFilesReceived->item(row - 1)->data(Qt::UserRole).toULongLong() > arrival)
        --row; // entries from the file, and Move's, count as older than anything new
    auto* item = new QListWidgetItem(path);
    item->setData(Qt::UserRole, QVariant::fromValue(arrival));
    lstFilesReceived->insertItem(row, item);
    if (QListWidgetItem* current = lstFilesReceived->currentItem())
        current->setSelected(true);
    return row;
}

void TfrmTransfer::SetStatus(const QString& text)
{
    statusNotice_ = false;
    lblCom->setText(text);
    if (const QString white = QStringLiteral("color: white;"); lblCom->styleSheet() != white)
        lblCom->setStyleSheet(white); // after a red notice
}

void TfrmTransfer::closeEvent(QCloseEvent* event)
{
    FormClose();
    QDialog::closeEvent(event);
}

void TfrmTransfer::FormClose()
{
    SaveList();
}

void TfrmTransfer::btnCloseClick()
{
    close();
}

void TfrmTransfer::btnClearClick()
{
    lstFilesReceived->clear();
    ListEdited();
}

void TfrmTransfer::ListEdited()
{
    // The writer's copy follows, so the next arrival writes the list as the user left it; the
    // file itself is written then, or when the portal closes.
    listWriter_->Know(Entries());
}

void TfrmTransfer::btnDeleteClick()
{
    if (lstFilesReceived->count() == 0) {
        Ui().Information(tr("Please make a selection first."));
        return;
    }
    if (!Ui().Confirm(tr("Delete Selected File(s)?")))
        return;
    QList<QListWidgetItem*> gone;
    for (int i = 0; i < lstFilesReceived->count(); ++i) {
        QListWidgetItem* item = lstFilesReceived->item(i);
        if (!item->isSelected())
            continue;
        QFile file(item->text());
        // A file the system will not delete keeps its entry, and the user learns why.
        if (QFileInfo(item->text()).exists() && !file.remove()) {
            Ui().Error(tr("Cannot delete %1: %2").arg(item->text(), file.errorString()));
            continue;
        }
        gone << item;
    }
    for (QListWidgetItem* item : gone)
        std::unique_ptr<QListWidgetItem>(lstFilesReceived->takeItem(lstFilesReceived->row(item)));
    ListEdited();
}

void TfrmTransfer::btnMoveClick()
{
    if (lstFilesReceived->selectedItems().isEmpty()) {
        Ui().Information(tr("Please make a selection first."));
        return;
    }
    if (!Ui().Confirm(tr("Move Selected File(s)?")))
        return;
    const std::optional<QString> folder =
        Ui().PickFolder(tr("Move File or Document to Selected Folder"));
    if (!folder)
        return;
    for (int row = 0; row < lstFilesReceived->count(); ++row) {
        if (!lstFilesReceived->item(row)->isSelected())
            continue;
        try {
            MoveEntry(row, *folder);
        } catch (const std::exception& e) {
            Ui().Error(QString::fromUtf8(e.what()));
        }
    }
}

void TfrmTransfer::MoveEntry(int row, const QString& folder)
{
    QListWidgetItem* item = lstFilesReceived->item(row);
    const QString source = item->text();
    const QString target = QDir(folder).filePath(QFileInfo(source).fileName());
    if (!QFileInfo::exists(source))
        throw EError(
            QCoreApplication::translate("TfrmTransfer", "Cannot move %1: the file does not exist.")
                .arg(source));
    if (QFileInfo(target).absoluteFilePath() == QFileInfo(source).absoluteFilePath()) {
        item->setSelected(false);
        Ui().Information(tr("File has been moved succesfully.")); // already where it is asked to go
        return;
    }
    if (QFileInfo(target).exists() || QFileInfo(target).isSymLink()) {
        if (!Ui().WarningConfirm(tr("File already exists. Overwrite File?"))) {
            item->setSelected(false);
            Ui().Information(tr("Selected file move cancelled."));
            return;
        }
        CopyOver(source, target);
        if (!QFile::remove(source))
            qCWarning(lcTransfer) << "moved" << source << "by copying, but could not delete it";
    } else if (!QFile::rename(source, target)) {
        // Another file system: copy, then let the original go.
        CopyOver(source, target);
        QFile::remove(source);
    }
    item->setText(target);
    ListEdited();
    item->setSelected(false);
    Ui().Information(tr("File has been moved succesfully."));
}

void TfrmTransfer::lstFilesReceivedDblClick()
{
    QListWidgetItem* current = lstFilesReceived->currentItem();
    if (!current)
        return; // nothing to open
    const QString path = current->text();
    if (!QFileInfo(path).isFile()) {
        Ui().Information(tr("File has been moved or deleted."));
        return;
    }
    qCDebug(lcTransfer).noquote() << "opening" << path;
    if (!OpenDocument || !OpenDocument(QUrl::fromLocalFile(path)))
        Ui().Error(tr("No program could be started to open %1.").arg(path));
}

void TfrmTransfer::btnTxtMessageClick()
{
    if (frmTxtMessage)
        frmTxtMessage->exec();
}

void TfrmTransfer::Timer2Timer()
{
    if (statusNotice_)
        return; // a refused name is read before the dots go on
    QString text = lblCom->text() + QLatin1Char('.');
    if (text == incomingBase_ + QStringLiteral("............"))
        text = incomingBase_;
    SetStatus(text);
}
