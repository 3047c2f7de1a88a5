#include "transfer/TfrmTxtMessage.h"

#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TRtfWriter.h"
#include "transfer/TStrmSender.h"
#include "transfer/TfrmTransfer.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/TRoundedPanel.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QShortcut>
#include <QStandardPaths>
#include <QTextCharFormat>
#include <QTextEdit>

namespace {
enum TFormatToggle
{
    ToggleBold,
    ToggleItalic,
    ToggleUnderline,
};
} // namespace

TfrmTxtMessage::TfrmTxtMessage(TfrmTransfer& portal, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), portal_(portal)
{
    setObjectName(QStringLiteral("frmTxtMessage"));
    setWindowTitle(tr("Send Text Message"));
    setFixedSize(800, 600);
    setModal(true);
    setFont(TFonts::SansSerif(8));
    CreateControls();
    // FormCreate seeded the random numbers; QRandomGenerator::global() is seeded already.
    connect(portal_.StrmSend1, &TStrmSender::Done, this,
            [this] { Guarded([this] { MessageEnded({}); }); });
    connect(portal_.StrmSend1, &TStrmSender::Failed, this,
            [this](const QString& reason) { Guarded([&] { MessageEnded(reason); }); });
}

void TfrmTxtMessage::CreateControls()
{
    Panel1 = new TRoundedPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());
    Editor = new QTextEdit(Panel1);
    Editor->setObjectName(QStringLiteral("Editor"));
    Editor->setGeometry(11, 12, 777, 529);
    Editor->setAcceptRichText(true);
    Editor->setStyleSheet(QStringLiteral("QTextEdit { background: white; color: black; }"));
    QFont font(QStringLiteral("Courier New"));
    font.setStyleHint(QFont::TypeWriter);
    font.setPixelSize(16);
    Editor->setFont(font);
    Editor->document()->setDefaultFont(font);
    Editor->setAccessibleName(tr("Text Message"));

    auto button = [this](const QString& name, const QString& text, const QRect& geometry,
                         void (TfrmTxtMessage::*handler)()) {
        auto* b = new TGradientButton(text, Panel1);
        b->setObjectName(name);
        b->setGeometry(geometry);
        b->setAutoDefault(false);
        connect(b, &QPushButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
        return b;
    };
    btnPaste = button(QStringLiteral("btnPaste"), tr("Paste From Clipboard"), {12, 556, 141, 25},
                      &TfrmTxtMessage::btnPasteClick);
    btnClear = button(QStringLiteral("btnClear"), tr("Clear"), {172, 556, 75, 25},
                      &TfrmTxtMessage::btnClearClick);
    btnSend = button(QStringLiteral("btnSend"), tr("Send"), {364, 556, 75, 25},
                     &TfrmTxtMessage::btnSendClick);
    btnClose = button(QStringLiteral("btnClose"), tr("Close"), {712, 556, 75, 25},
                      &TfrmTxtMessage::btnCloseClick);

    // The keys every rich-text editor has, so a message can be formatted without pasting.
    const std::pair<QKeySequence::StandardKey, int> keys[] = {
        {QKeySequence::Bold, ToggleBold},
        {QKeySequence::Italic, ToggleItalic},
        {QKeySequence::Underline, ToggleUnderline}};
    for (const auto& [key, which] : keys) {
        auto* shortcut = new QShortcut(key, Editor);
        shortcut->setContext(Qt::WidgetShortcut);
        connect(shortcut, &QShortcut::activated, this,
                [this, which = which] { ToggleFormat(which); });
    }
}

void TfrmTxtMessage::ToggleFormat(int which)
{
    const QTextCharFormat current = Editor->currentCharFormat();
    QTextCharFormat change;
    if (which == ToggleBold)
        change.setFontWeight(current.fontWeight() > QFont::Normal ? QFont::Normal : QFont::Bold);
    else if (which == ToggleItalic)
        change.setFontItalic(!current.fontItalic());
    else
        change.setFontUnderline(!current.fontUnderline());
    Editor->mergeCurrentCharFormat(change);
}

void TfrmTxtMessage::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    FormShow();
}

void TfrmTxtMessage::FormShow()
{
    Editor->setFocus();
}

void TfrmTxtMessage::btnPasteClick()
{
    // Rich text (HTML) or plain text at the caret, replacing the selection.
    Editor->paste();
}

void TfrmTxtMessage::btnClearClick()
{
    Editor->clear();
    Editor->setFocus();
}

void TfrmTxtMessage::btnSendClick()
{
    SendTextMessage();
}

void TfrmTxtMessage::btnCloseClick()
{
    close();
}

bool TfrmTxtMessage::IsMessageName(const QString& fileName)
{
    static const QRegularExpression pattern(QStringLiteral("^T[\\p{L}\\p{N}-]+_[0-9]+\\.rtf$"),
                                            QRegularExpression::CaseInsensitiveOption);
    return pattern.match(fileName).hasMatch();
}

QString TfrmTxtMessage::MessageName(const QDate& date, int number, const QLocale& locale)
{
    const QString text = locale.toString(date, QLocale::ShortFormat);
    // Whatever separates the date's parts becomes "-"; a name never holds a "/". Whole code
    // points are looked at, since some scripts write their digits outside the BMP.
    QString parts;
    bool separator = false;
    for (const char32_t c : text.toUcs4()) {
        if (QChar::isLetterOrNumber(c)) {
            parts += QString::fromUcs4(&c, 1);
            separator = false;
        } else if (!separator && !parts.isEmpty()) {
            parts += QLatin1Char('-');
            separator = true;
        }
    }
    while (parts.endsWith(QLatin1Char('-')))
        parts.chop(1);
    if (parts.isEmpty())
        parts = date.toString(QStringLiteral("yyyy-MM-dd"));
    return QStringLiteral("T%1_%2.rtf").arg(parts).arg(number);
}

QStringList TfrmTxtMessage::TemporaryFolders()
{
    QStringList folders{TProgramFolder::Path()};
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    // An installed copy keeps its temporary files in the per-user runtime folder.
    if (!runtime.isEmpty())
        folders.insert(TProgramFolder::IsInstalled() ? 0 : 1, runtime);
    return folders;
}

void TfrmTxtMessage::SendTextMessage()
{
    const TPortalHost& host = portal_.Host();
    if (host.HostName() == host.prompt) {
        Ui().Information(tr("Please enter a valid IP Address or Host Name."));
        return;
    }
    if (portal_.Sending())
        return; // one message at a time on the one sender
    TStrmSender& sender = *portal_.StrmSend1;
    const QString name =
        MessageName(QDate::currentDate(), int(QRandomGenerator::global()->bounded(10000)));
    // The program's folder, or where an installed copy may write.
    auto file = std::make_shared<QFile>();
    QString lastError;
    for (const QString& folder : TemporaryFolders()) {
        file->setFileName(QDir(folder).filePath(name));
        if (file->open(QIODevice::ReadWrite | QIODevice::Truncate))
            break;
        lastError = tr("Cannot create %1: %2").arg(file->fileName(), file->errorString());
    }
    if (!file->isOpen()) {
        Ui().Error(lastError);
        return;
    }
    const QByteArray rtf = TRtfWriter::Write(*Editor->document());
    if (file->write(rtf) != rtf.size() || !file->flush()) {
        const QString failure =
            tr("Cannot write %1: %2").arg(file->fileName(), file->errorString());
        file->close();
        file->remove();
        Ui().Error(failure);
        return;
    }
    sender.Host = host.HostName();
    sender.FromName = name.toUtf8();
    btnSend->setEnabled(false);
    message_ = file;
    portal_.BeginSend(file->size());
    sender.Send(file);
    qCDebug(lcTransfer).noquote() << "sending text message" << name << "to" << sender.Host;
}

void TfrmTxtMessage::MessageEnded(const QString& failure)
{
    if (!message_)
        return; // the portal's files
    const std::shared_ptr<QFile> file = std::move(message_);
    portal_.EndSend();
    const TStrmSender& sender = *portal_.StrmSend1;
    if (failure.isEmpty())
        qCInfo(lcTransfer).noquote() << QStringLiteral("sent text message %1 to %2, %3 bytes")
                                            .arg(QString::fromUtf8(sender.FromName), sender.Host)
                                            .arg(file->size());
    file->close();
    file->remove();
    btnSend->setEnabled(true);
    if (portal_.Ending()) {
        qCInfo(lcTransfer).noquote() << "text message ended with the program:" << failure;
        return;
    }
    if (!failure.isEmpty()) {
        Ui().Error(failure);
        return;
    }
    Ui().Information(TfrmTransfer::SuccessText());
}
