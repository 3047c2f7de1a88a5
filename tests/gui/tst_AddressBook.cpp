// The address book window on its own: the main window's host field is a recorder.
#include "contacts/TContactDelegate.h"
#include "contacts/TKnownKeys.h"
#include "contacts/TfrmIP.h"
#include "platform/crypto/TIdentity.h"
#include "platform/ui/TApplication.h"
#include "tests/support/TWindowTest.h"

#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <csignal>
#include <sys/resource.h>

class AddressBookTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TfrmIP> form;
    QStringList hostWrites;

    TScriptedUi& ui() { return script->ui; }
    QByteArray Book() const { return env->ReadProgramFile(TfrmIP::FileName); }

    // Opens the window as Execute does, without the modal loop.
    void Open()
    {
        form->FormActivate();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void init()
    {
        TWindowTest::init();
        form = std::make_unique<TfrmIP>();
        form->SetHostName = [this](const QString& host) { hostWrites << host; };
    }
    void cleanup()
    {
        form.reset();
        hostWrites.clear();
        TWindowTest::cleanup();
    }

    void windowAndControls()
    {
        QCOMPARE(form->size(), QSize(497, 412));
        QCOMPARE(form->windowTitle(), QString("IP Address Book"));
        QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
        const std::tuple<QWidget*, QRect, QString> controls[] = {
            {form->edtName, {14, 26, 225, 24}, ""},
            {form->edtIP, {256, 26, 225, 24}, ""},
            {form->btnAdd, {14, 59, 75, 25}, "Add"},
            {form->btnDeleteAll, {406, 59, 75, 25}, "Clear List"},
            {form->ListBox1, {14, 96, 467, 257}, ""},
            {form->btnDelete, {16, 368, 75, 25}, "Delete"},
            {form->btnOnline, {104, 368, 81, 25}, "Who's Online?"},
            {form->btnInsert, {200, 368, 193, 25}, "Call Selected Contact"},
            {form->btnClose, {407, 368, 75, 25}, "Close"}};
        for (const auto& [w, geometry, text] : controls) {
            QCOMPARE(w->geometry(), geometry);
            if (auto* b = qobject_cast<QPushButton*>(w))
                QCOMPARE(b->text(), text);
        }
        for (const auto& [label, text, pos] :
             {std::tuple{form->Label2, "Contact Name", QPoint(14, 13)},
              std::tuple{form->Label1, "Host Name / IP Address", QPoint(256, 13)}}) {
            QCOMPARE(label->text(), QString(text));
            QCOMPARE(label->pos(), pos);
            QVERIFY(label->font().bold());
            QCOMPARE(label->font().pointSize(), 8);
        }
        QCOMPARE(form->edtName->maxLength(), 22);
        QCOMPARE(form->edtIP->font().pointSize(), 10);
        QCOMPARE(form->ListBox1->font().pixelSize(), 16);
        QCOMPARE(form->ListBox1->toolTip(), QString("Double Click to use IP Address"));
        QCOMPARE(form->ListBox1->selectionMode(), QAbstractItemView::SingleSelection);

        Open();
        const QStringList expected = {"edtName",  "edtIP",     "btnAdd",       "btnDelete",
                                      "btnClose", "btnOnline", "btnDeleteAll", "btnInsert"};
        QStringList seen;
        QWidget* w = form->ListBox1;
        for (int i = 0; i < expected.size(); ++i) {
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || w->objectName().isEmpty() ||
                   w->objectName().startsWith("qt_"))
                w = w->nextInFocusChain();
            seen << w->objectName();
        }
        QCOMPARE(seen, expected);
    }

    void typedContactsAreSortedAndWrittenWithCrLf()
    {
        Open();
        form->edtName->setFocus();
        QTest::keyClicks(form->edtName, "Zed");
        QTest::keyClick(form->edtName, Qt::Key_Return);
        QTRY_COMPARE(QApplication::focusWidget(), form->edtIP);
        QTest::keyClicks(form->edtIP, "10.0.0.9");
        QTest::keyClick(form->edtIP, Qt::Key_Return); // adds
        QCOMPARE(form->Lines(), QStringList{"Zed <10.0.0.9>"});
        QVERIFY(form->edtName->text().isEmpty() && form->edtIP->text().isEmpty());
        QTRY_COMPARE(QApplication::focusWidget(), form->edtName);
        form->edtName->setText("Anna");
        form->edtIP->setText("anna-pc");
        QTest::mouseClick(form->btnAdd, Qt::LeftButton);
        form->AddContact("Office", "192.168.0.10");
        form->AddContact("Office", "192.168.0.10"); // twice is allowed
        const QStringList sorted{"Anna <anna-pc>", "Office <192.168.0.10>", "Office <192.168.0.10>",
                                 "Zed <10.0.0.9>"};
        QCOMPARE(form->Lines(), sorted);
        QVERIFY(Book().isEmpty()); // nothing is written before the window closes
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(Book(), sorted.join("\r\n").toUtf8() + "\r\n");
        QVERIFY(ui().shown.isEmpty());
    }

    void fieldsAreLimitedAndBothNeeded()
    {
        Open();
        form->edtName->setFocus();
        QTest::keyClicks(form->edtName, QString(23, 'n'));
        QCOMPARE(form->edtName->text(), QString(22, 'n'));
        QTest::mouseClick(form->btnAdd, Qt::LeftButton); // no host
        form->edtName->clear();
        form->edtIP->setText("10.0.0.1");
        QTest::mouseClick(form->btnAdd, Qt::LeftButton); // no name
        QCOMPARE(ui().Texts("information"), QStringList(2, TfrmIP::EmptyFieldsText()));
        QVERIFY(form->Lines().isEmpty());
        QCOMPARE(form->edtIP->text(), QString("10.0.0.1"));
        QTRY_COMPARE(QApplication::focusWidget(), form->edtName);
    }

    void usingAContactTakesItsHost_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("host");
        QTest::addColumn<int>("how"); // 0 button, 1 Enter in the list, 2 double click
        QTest::newRow("well formed")
            << QByteArray("Office <192.168.0.10>\r\n") << "192.168.0.10" << 0;
        QTest::newRow("no <") << QByteArray("plainhost\r\n") << "plainhost" << 1;
        QTest::newRow("no >") << QByteArray("Office <192.168.0.10") << "192.168.0.1" << 2;
        QTest::newRow("empty line") << QByteArray("\r\n") << "" << 0;
        QTest::newRow("first <") << QByteArray("a <b <c>\n") << "b <c" << 0;
        QTest::newRow("ends in <") << QByteArray("x <") << "" << 0;
    }
    void usingAContactTakesItsHost()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, host);
        QFETCH(int, how);
        env->WriteProgramFile(TfrmIP::FileName, file);
        Open();
        QCOMPARE(form->ListBox1->count(), 1);
        if (how == 0) {
            QTest::mouseClick(form->btnInsert, Qt::LeftButton);
        } else if (how == 1) {
            QTest::keyClick(form->ListBox1, Qt::Key_Return);
        } else {
            const QPoint row = form->ListBox1->visualItemRect(form->ListBox1->item(0)).center();
            QTest::mouseDClick(form->ListBox1->viewport(), Qt::LeftButton, {}, row);
        }
        QCOMPARE(hostWrites, QStringList{host});
        QVERIFY(!form->isVisible());
        QVERIFY(ui().shown.isEmpty());
    }

    void usingNeedsASelectionAndAHostField()
    {
        Open();
        QTest::mouseClick(form->btnInsert, Qt::LeftButton); // an empty list
        form->AddContact("Office", "192.168.0.10");
        form->SetHostName = nullptr;
        form->ListBox1->setCurrentRow(0);
        QTest::mouseClick(form->btnInsert, Qt::LeftButton);
        QCOMPARE(ui().Texts("warning"), QStringList{TfrmIP::WrongFormatText()});
        QVERIFY(form->isVisible());
    }

    void anyLineEndIsReadAndEachOpeningStartsAfresh()
    {
        env->WriteProgramFile(TfrmIP::FileName, "Zed <z>\nanna <a>\r\n\rBob <b>");
        Open();
        QCOMPARE(form->Lines(), QStringList({"", "anna <a>", "Bob <b>", "Zed <z>"}));
        form->ListBox1->setCurrentRow(2);
        form->edtName->setText("typed");
        form->edtIP->setText("typed");
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QCOMPARE(Book(), QByteArray("\r\nanna <a>\r\nBob <b>\r\nZed <z>\r\n"));

        env->WriteProgramFile(TfrmIP::FileName, "Kim <k>\r\nAl <a>\r\n");
        Open();
        QCOMPARE(form->Lines(), QStringList({"Al <a>", "Kim <k>"}));
        QVERIFY(form->edtName->text().isEmpty() && form->edtIP->text().isEmpty());
        QCOMPARE(form->ListBox1->selectedItems(), QList{form->ListBox1->item(0)});
        QTRY_COMPARE(QApplication::focusWidget(), form->ListBox1);
        QTest::mouseClick(form->btnClose, Qt::LeftButton);

        // Without a file the list stays as it was, and nobody is told.
        QVERIFY(QFile::remove(TfrmIP::Location()));
        Open();
        QCOMPARE(form->Lines(), QStringList({"Al <a>", "Kim <k>"}));
        QVERIFY(ui().shown.isEmpty());
    }

    void deleteAsksAndClearDoesNot()
    {
        env->WriteProgramFile(TfrmIP::FileName, "A <1>\r\nB <2>\r\nC <3>\r\n");
        Open();
        form->ListBox1->setCurrentRow(1);
        ui().confirmAnswers = {false, true};
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        QCOMPARE(form->Lines(), QStringList({"A <1>", "B <2>", "C <3>"}));
        QTRY_COMPARE(QApplication::focusWidget(), form->edtName);
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        QCOMPARE(ui().Texts("confirm"), QStringList(2, TfrmIP::DeleteQuestion()));
        QCOMPARE(form->Lines(), QStringList({"A <1>", "C <3>"}));
        QTest::mouseClick(form->btnDeleteAll, Qt::LeftButton);
        QCOMPARE(ui().Texts("confirm").size(), 2);
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QVERIFY(QFileInfo::exists(TfrmIP::Location()));
        QCOMPARE(QFileInfo(TfrmIP::Location()).size(), 0);
    }

    void whosOnlineRunsTheHookOverTheOpenBook()
    {
        Open();
        QTest::mouseClick(form->btnOnline, Qt::LeftButton); // no hook: nothing
        form->edtName->setText("half typed");
        int shown = 0;
        form->OnWhosOnline = [&] {
            ++shown;
            form->AddContact("LAB-PC", "LAB-PC");
        };
        QTest::mouseClick(form->btnOnline, Qt::LeftButton);
        QCOMPARE(shown, 1);
        QCOMPARE(form->Lines(), QStringList{"LAB-PC <LAB-PC>"});
        QCOMPARE(form->edtName->text(), QString("half typed"));
    }

    void unreadableOrUnwritableFileIsReported()
    {
        Open();
        form->AddContact("Kept", "k");
        QVERIFY(QDir().mkpath(TfrmIP::Location())); // a folder in the file's place
        Open();
        QCOMPARE(ui().Texts("error"), QStringList{TfrmIP::NotFoundText()});
        QCOMPARE(form->Lines(), QStringList{"Kept <k>"});
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QCOMPARE(ui().Texts("error").last(), "Cannot create file " + TfrmIP::Location());
        QVERIFY(form->isVisible());
    }

    void aWriteThatCannotFinishLeavesTheOldBook()
    {
        const QByteArray old = "Old <1.2.3.4>\r\n";
        env->WriteProgramFile(TfrmIP::FileName, old);
        Open();
        for (int i = 0; i < 20; ++i)
            form->AddContact(QString("Contact %1").arg(i), "10.0.0." + QString::number(i));
        // The disk "fills" after 64 bytes: the new book cannot be written whole.
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        rlimit small = saved;
        small.rlim_cur = 64;
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        QVERIFY(setrlimit(RLIMIT_FSIZE, &small) == 0);
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        QCOMPARE(ui().Texts("error"), QStringList{"Cannot create file " + TfrmIP::Location()});
        QVERIFY(form->isVisible());
        QCOMPARE(Book(), old);
        QCOMPARE(QDir(QFileInfo(TfrmIP::Location()).path()).entryList(QDir::Files),
                 QStringList{TfrmIP::FileName}); // no half-written file is left beside it
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(form->Lines().size(), 21);
        QCOMPARE(Book().count("\r\n"), 21);
    }

    void selectedRowIsDrawnInGold()
    {
        form->AddContact("Selected", "10.0.0.1");
        form->AddContact("Unselected", "10.0.0.2");
        form->ListBox1->setCurrentRow(0);
        Open();
        form->edtName->setFocus(); // no focus frame on the list
        const QImage shot = form->ListBox1->viewport()->grab().toImage();
        const QRect row0 = form->ListBox1->visualItemRect(form->ListBox1->item(0));
        const QRect row1 = form->ListBox1->visualItemRect(form->ListBox1->item(1));
        QCOMPARE(row0.height(), TContactDelegate::ItemHeight);
        QCOMPARE(shot.pixelColor(row0.right() - 20, row0.top() + 5), QColor(0xFF, 0xF5, 0xDD));
        const QColor bottom = shot.pixelColor(row0.right() - 20, row0.bottom() - 1);
        QVERIFY2(qAbs(bottom.green() - 0xD2) < 8 && qAbs(bottom.blue() - 0x5E) < 12,
                 qPrintable(bottom.name()));
        QCOMPARE(shot.pixelColor(row0.center().x(), row0.top()), QColor(0xC5, 0xC5, 0xC5));
        QVERIFY(shot.pixelColor(row0.topLeft()) != QColor(0xFF, 0xF5, 0xDD)); // rounded off
        QCOMPARE(shot.pixelColor(row1.right() - 20, row1.center().y()), QColor(Qt::white));
        // The picture on every row: its globe blue, its figure dark.
        for (const QRect& row : {row0, row1}) {
            const QColor globe = shot.pixelColor(row.left() + 7 + 21, row.top() + 7 + 6);
            QVERIFY2(globe.blue() > globe.red() + 60, qPrintable(globe.name()));
            QVERIFY(shot.pixelColor(row.left() + 7 + 9, row.top() + 7 + 20).lightness() < 80);
        }
        // The text stands clear of the picture, from 45 pixels in.
        auto darkIn = [&](const QRect& row, int from, int to) {
            for (int x = row.left() + from; x <= row.left() + to; ++x)
                for (int y = row.top() + 10; y < row.bottom(); ++y)
                    if (shot.pixelColor(x, y).lightness() < 100)
                        return true;
            return false;
        };
        QVERIFY(!darkIn(row1, 32, 44));
        QVERIFY(darkIn(row1, 45, 120));
    }

    void aPastedKeyIsKeptForTheContactsAddressAndNonsenseIsRefused()
    {
        TKnownKeys keys = TKnownKeys::Load(env->ProgramFile(TKnownKeys::FileName));
        form->SetKnownKeys(&keys);
        Open();
        form->AddContact("Bea", "169.254.9.2");
        form->AddContact("Lab", "lab-pc");
        form->ListBox1->setCurrentRow(0);
        const QByteArray key(32, '\x5a');
        const QString text = TIdentity::Base32(key);
        // As copied, or typed in groups in lower case.
        ui().inputAnswers = {"not a key at all", text.left(20).toLower() + " - " + text.mid(20)};
        QTest::mouseClick(form->btnKey, Qt::LeftButton);
        QCOMPARE(ui().Texts("error").size(), 1);
        QVERIFY(!keys.PinFor(QHostAddress("169.254.9.2")));
        QTest::mouseClick(form->btnKey, Qt::LeftButton);
        QCOMPARE(TKnownKeys::Load(env->ProgramFile(TKnownKeys::FileName))
                     .PinFor(QHostAddress("169.254.9.2")),
                 std::optional<QByteArray>(key));
        QCOMPARE(keys.Find(key)->name, QString("Bea"));
        // The row says so to the eye and to a screen reader; the other row that it has none.
        QCOMPARE(form->ListBox1->item(0)->toolTip(),
                 "Encrypted: key " + TIdentity::ShortTextOf(key) + ", seen");
        QCOMPARE(form->ListBox1->item(0)->data(Qt::AccessibleDescriptionRole).toString(),
                 form->ListBox1->item(0)->toolTip());
        QVERIFY(form->ListBox1->item(1)->toolTip().startsWith("No key known"));
        // A name that may be another computer tomorrow gets no key.
        form->ListBox1->setCurrentRow(1);
        QTest::mouseClick(form->btnKey, Qt::LeftButton);
        QCOMPARE(ui().Texts("error").size(), 2);
        QCOMPARE(keys.Find(key)->addresses, QStringList{"169.254.9.2"});
    }
};

PARLAVUE_GUI_TEST_MAIN(AddressBookTest)
#include "tst_AddressBook.moc"
