// The text message window: the editor's content goes to the peer as an RTF file.
#include "platform/paths/TProgramFolder.h"
#include "platform/ui/TApplication.h"
#include "tests/support/TPortalPair.h"
#include "tests/support/TWindowTest.h"
#include "transfer/TStrmSender.h"
#include "transfer/TfrmTxtMessage.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>
#include <QTextEdit>

class TextMessageTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPortalPair> pair;
    std::unique_ptr<TfrmTxtMessage> form;

    TScriptedUi& ui() { return script->ui; }

    QStringList MessageFiles(const QString& folder) const
    {
        return QDir(folder).entryList({"T*.rtf"}, QDir::Files);
    }

private slots:
    void init()
    {
        TWindowTest::init();
        pair = std::make_unique<TPortalPair>();
        form = std::make_unique<TfrmTxtMessage>(*pair->a);
    }
    void cleanup()
    {
        form.reset();
        pair.reset();
        TWindowTest::cleanup();
    }

    void windowAndControls()
    {
        QCOMPARE(form->windowTitle(), QStringLiteral("Send Text Message"));
        QCOMPARE(form->size(), QSize(800, 600));
        QCOMPARE(form->Editor->geometry(), QRect(11, 12, 777, 529));
        QCOMPARE(form->Editor->font().pixelSize(), 16);
        const std::tuple<QPushButton*, QRect, QString> buttons[] = {
            {form->btnPaste, {12, 556, 141, 25}, "Paste From Clipboard"},
            {form->btnClear, {172, 556, 75, 25}, "Clear"},
            {form->btnSend, {364, 556, 75, 25}, "Send"},
            {form->btnClose, {712, 556, 75, 25}, "Close"}};
        for (const auto& [button, geometry, text] : buttons) {
            QCOMPARE(button->geometry(), geometry);
            QCOMPARE(button->text(), text);
        }
    }

    void messageNames()
    {
        const QDate day(2026, 12, 6);
        QCOMPARE(TfrmTxtMessage::MessageName(day, 4821,
                                             QLocale(QLocale::English, QLocale::UnitedStates)),
                 QStringLiteral("T12-6-26_4821.rtf"));
        QCOMPARE(TfrmTxtMessage::MessageName(day, 7, QLocale(QLocale::German, QLocale::Germany)),
                 QStringLiteral("T06-12-26_7.rtf"));
        QCOMPARE(TfrmTxtMessage::MessageName(day, 0, QLocale(QLocale::Swedish, QLocale::Sweden)),
                 QStringLiteral("T2026-12-06_0.rtf"));
        // Every locale's short date gives a bare file name.
        const QRegularExpression shape(QStringLiteral("^T[^/\\\\ ]+_9999\\.rtf$"));
        for (const QLocale& locale : QLocale::matchingLocales(
                 QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory)) {
            const QString name = TfrmTxtMessage::MessageName(day, 9999, locale);
            QVERIFY2(shape.match(name).hasMatch(), qPrintable(locale.name() + ": " + name));
        }
    }

    void promptMeansNothingIsMade()
    {
        pair->hostA = TPortalPair::Prompt;
        QTest::mouseClick(form->btnSend, Qt::LeftButton);
        QCOMPARE(ui().Texts("information"),
                 QStringList{"Please enter a valid IP Address or Host Name."});
        QCOMPARE(MessageFiles(TProgramFolder::Path()), QStringList());
        QCOMPARE(pair->b->lstFilesReceived->count(), 0);
    }

    void formattedMessageArrivesAsRtfAndLeavesNothingBehind()
    {
        form->Editor->setHtml(
            QStringLiteral("<p>Hello <b>bold</b> <i>slanted</i> <span "
                           "style='color:#ff0000'>red</span> Gr\u00fc\u00dfe</p>"));
        form->btnSendClick();
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("error"), QStringList());
        QCOMPARE(ui().Texts("information"), QStringList{"File Transfer Successful and Complete."});
        QVERIFY(pair->WaitForEntries(1));
        const QString entry = pair->b->Entries().first();
        const QString name = QFileInfo(entry).fileName();
        QVERIFY2(QRegularExpression("^T[0-9A-Za-z-]+_[0-9]{1,4}\\.rtf$").match(name).hasMatch(),
                 qPrintable(name));
        QFile stored(entry);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        const QByteArray rtf = stored.readAll();
        QVERIFY(rtf.startsWith("{\\rtf1"));
        for (const char* word : {"Hello", "bold", "slanted", "red", "\\b", "\\i", "\\u252?"})
            QVERIFY2(rtf.contains(word), word);
        QCOMPARE(MessageFiles(TProgramFolder::Path()), QStringList());
        // The editor keeps what was sent.
        QVERIFY(form->Editor->toPlainText().startsWith("Hello bold"));
    }

    void emptyEditorStillSendsASmallDocument()
    {
        pair->hostA = QString(); // an empty field is not refused here; the portal's host asks
        ui().inputAnswers.push_back(QStringLiteral("127.0.0.1"));
        form->SendTextMessage();
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("information"), QStringList{"File Transfer Successful and Complete."});
        QVERIFY(pair->WaitForEntries(1));
        QFile stored(pair->b->Entries().first());
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QVERIFY(stored.size() > 10 && stored.size() < 1000);
    }

    void unreachableHostShowsTheFailureAndRemovesTheFile()
    {
        pair->a->StrmSend1->Port = 1;
        form->Editor->setPlainText("nobody hears this");
        form->SendTextMessage();
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("error").size(), 1);
        QVERIFY(!ui().Texts("error").first().isEmpty());
        QVERIFY(ui().Texts("information").isEmpty());
        QCOMPARE(MessageFiles(TProgramFolder::Path()), QStringList());
        QVERIFY(form->btnSend->isEnabled());
    }

    void unwritableProgramFolderUsesTheRuntimeFolder()
    {
        TProgramFolder::OverrideForTesting(pair->root.filePath("no-such-folder"));
        const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
        const QStringList before = MessageFiles(runtime);
        form->Editor->setPlainText("from an installed copy");
        form->SendTextMessage();
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("error"), QStringList());
        QVERIFY(pair->WaitForEntries(1));
        QVERIFY(QFileInfo(pair->b->Entries().first()).fileName().startsWith("T"));
        QCOMPARE(MessageFiles(runtime), before);
    }

    void pasteClearAndFormattingKeys()
    {
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(QApplication::focusWidget(), form->Editor);
        auto* mime = new QMimeData;
        mime->setHtml(QStringLiteral("<b>pasted</b>"));
        mime->setText(QStringLiteral("pasted"));
        QApplication::clipboard()->setMimeData(mime);
        form->btnPasteClick();
        QCOMPARE(form->Editor->toPlainText(), QStringLiteral("pasted"));
        QTextCursor at(form->Editor->document());
        at.setPosition(2);
        QCOMPARE(at.charFormat().fontWeight(), int(QFont::Bold));
        QApplication::clipboard()->setText(QStringLiteral(" plain"));
        form->Editor->moveCursor(QTextCursor::End);
        form->btnPasteClick();
        QCOMPARE(form->Editor->toPlainText(), QStringLiteral("pasted plain"));

        form->btnClearClick();
        QVERIFY(form->Editor->toPlainText().isEmpty());
        QTest::keyClick(form->Editor, Qt::Key_I, Qt::ControlModifier);
        QTest::keyClicks(form->Editor, "it");
        QTest::keyClick(form->Editor, Qt::Key_I, Qt::ControlModifier);
        QTest::keyClicks(form->Editor, "up");
        QTextCursor c(form->Editor->document());
        c.setPosition(1);
        QVERIFY(c.charFormat().fontItalic());
        c.setPosition(4);
        QVERIFY(!c.charFormat().fontItalic());
        // Closing keeps the text for the next time.
        form->btnCloseClick();
        QCOMPARE(form->Editor->toPlainText(), QStringLiteral("itup"));
    }
};

PARLAVUE_GUI_TEST_MAIN(TextMessageTest)
#include "tst_TextMessage.moc"
