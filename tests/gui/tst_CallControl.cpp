// What only the window does with a call: the two call buttons, the calling-status window, the
// caller-ID line and the host field. The call itself is tested in tests/calls without a window.
#include "app/TPhone.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "platform/ui/TApplication.h"
#include "tests/calls/CallFakes.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TDice.h"
#include "widgets/TImageButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUdpSocket>

class CallControlTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;
    TfrmMain* form = nullptr;
    Journal journal;
    std::shared_ptr<TFakeVoiceLink> terminal;

    void Start(quint16 signallingPort = 0)
    {
        env->WriteProgramFile("Settings.ini", "[Settings]\nCallerID=Anna\nMessage=Not now\n");
        TPhoneParts parts = TestPhoneParts(MakeFakeCamera());
        parts.ports.signallingListen = signallingPort;
        phone = std::make_unique<TPhone>(std::move(parts));
        form = &phone->Window();
        terminal = UseJournalFakes(phone->Session(), journal);
        QVERIFY(ShowMainWindow(*form));
    }
    void Close()
    {
        form = nullptr;
        phone.reset();
    }

    QLineEdit* Field() const { return Control<QLineEdit>(form, "edtHostName"); }
    QLabel* CallerLine() const { return Control<QLabel>(form, "lblCallerID"); }
    void Click(const char* button)
    {
        QTest::mouseClick(Control<TImageButton>(form, button), Qt::LeftButton);
    }

    // Presses Make / Answer with the host in the field and runs `during` once the calling-status
    // window is up; the window is closed afterwards if `during` left it open.
    void PlaceCallTo(const QString& host, std::function<void()> during)
    {
        Field()->setText(host);
        bool ran = false;
        QTimer::singleShot(0, this, [&] {
            TfrmCalling* calling = phone->Windows().calling;
            if (QTest::qWaitFor([&] { return calling->isVisible(); })) {
                ran = true;
                during();
            }
            if (calling->isVisible())
                calling->done(QDialog::Rejected);
        });
        Click("Image4");
        QVERIFY2(ran, "the calling-status window never showed");
    }

private slots:
    void init()
    {
        TWindowTest::init();
        journal = {};
    }
    void cleanup()
    {
        Close();
        terminal.reset();
        TWindowTest::cleanup();
    }

    void callingStatusWindowLayout()
    {
        Start();
        TfrmCalling* w = phone->Windows().calling;
        QCOMPARE(w->windowTitle(), QString("Calling Status"));
        QCOMPARE(w->size(), QSize(383, 134));
        QCOMPARE(w->Label1->geometry(), QRect(8, 16, 369, 33));
        QCOMPARE(w->Dice1->geometry(), QRect(24, 48, 66, 66));
        QCOMPARE(w->btnStopCall->geometry(), QRect(268, 56, 93, 62));
        QCOMPARE(w->btnStopCall->text(), QString("Cancel Call"));
        QVERIFY(w->btnCancel->isHidden());
    }

    void theCallingWindowWaitsForTheAnswerAndCancelCallGivesUp()
    {
        Start();
        PlaceCallTo("192.0.2.9", [&] {
            QVERIFY(phone->Windows().calling->isModal());
            QVERIFY(phone->Windows().calling->Dice1->Rotate());
            QCOMPARE(phone->Windows().calling->Label1->text(), QString("Calling..."));
            QTRY_COMPARE(journal.Matching("send"), QStringList{"send Calling|Anna -> 192.0.2.9"});
            phone->Session().Receive("Line is busy", "192.0.2.9");
            QCOMPARE(phone->Windows().calling->Label1->text(), QString("Line is busy"));
            QVERIFY(!phone->Windows().calling->Dice1->Rotate());
            QTest::mouseClick(phone->Windows().calling->btnStopCall, Qt::LeftButton);
        });
        QVERIFY(!phone->Windows().calling->isVisible());
        QVERIFY(!phone->Session().Busy());
        QCOMPARE(journal.Matching("send").last(), QString("send Cancel -> 192.0.2.9"));

        // Answered: the window closes and the call is up.
        PlaceCallTo("192.0.2.9", [&] {
            QTRY_COMPARE(journal.Matching("send Calling").size(), 2);
            phone->Session().Receive("Accept", "192.0.2.9");
        });
        QVERIFY(phone->Session().Connected());
        Click("Image5");
        QVERIFY(!phone->Session().Connected());

        // Closed by its title-bar button: nothing is sent and Busy stays set until End.
        PlaceCallTo("192.0.2.9", [&] { phone->Windows().calling->close(); });
        QVERIFY(phone->Session().Busy());
        QCOMPARE(journal.Matching("send Cancel").size(), 1);
        Click("Image5");
        QVERIFY(!phone->Session().Busy());
    }

    void aHostThatIsNotFoundIsReportedAndOneBeingLookedUpKeepsTheWindowAlive()
    {
        Start();
        Field()->setText("no-such-host.invalid");
        Click("Image4");
        QTRY_COMPARE(script->ui.Texts("error"),
                     QStringList{"Socket Error # 11001\nHost not found."});
        QVERIFY(!phone->Windows().calling->isVisible());
        QVERIFY(phone->Session().Busy());
        QTRY_COMPARE(QApplication::focusWidget(), Field());
        Click("Image5");

        // A name nobody answers for: the window paints and takes clicks, Cancel Call gives up.
        PlaceCallTo("silent.example", [&] {
            QTest::qWait(50);
            QVERIFY(phone->Session().Placing());
            QTest::mouseClick(phone->Windows().calling->btnStopCall, Qt::LeftButton);
        });
        QVERIFY(!phone->Session().Placing());
        QVERIFY(journal.Matching("send").isEmpty());
    }

    void aSignallingPortHeldByAnotherProgramIsToldOnceAndTheWindowGoesOn()
    {
        QUdpSocket holder;
        QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
        Start(holder.localPort());
        QCOMPARE(script->ui.Texts("error"),
                 QStringList{"Could not bind socket. Address and port are already in use."});
        QVERIFY(phone->Video().ListenPort() != 0); // the video listener is up all the same
        QVERIFY(form->isVisible());
    }

    void makeAnswerNeedsAHost()
    {
        Start();
        Click("Image4");
        QCOMPARE(script->ui.Texts("information"),
                 QStringList{"Please enter a valid IP Address or Host Name First."});
        QVERIFY(!phone->Session().Busy());
        QVERIFY(journal.events.isEmpty());
    }

    void anIncomingCallShowsItsCallerAndTheButtonAnswersIt()
    {
        Start();
        phone->Session().Receive("Calling|<b>Bert</b>\n<img src=x>", "192.0.2.7");
        QCOMPARE(Field()->text(), QString("192.0.2.7"));
        QCOMPARE(CallerLine()->textFormat(), Qt::PlainText);
        QCOMPARE(CallerLine()->text(), QString("<b>Bert</b> <img src=x> calling..."));
        // The user types over the field while it rings; Answer still answers the caller.
        Field()->setText("192.0.2.66");
        Click("Image4");
        QVERIFY(phone->Session().Connected());
        QCOMPARE(journal.Matching("send"), QStringList{"send Accept -> 192.0.2.7"});
        QCOMPARE(phone->Session().Peer(), QString("192.0.2.7"));
        Click("Image5");
        QCOMPARE(CallerLine()->text(), QString());

        const QString longName = QString(3000, QChar('W'));
        phone->Session().Receive(("Calling|" + longName).toUtf8(), "192.0.2.8");
        QVERIFY(CallerLine()->text().endsWith(" calling..."));
        QVERIFY(QFontMetrics(CallerLine()->font()).horizontalAdvance(CallerLine()->text()) <=
                CallerLine()->width());
    }
};

PARLAVUE_GUI_TEST_MAIN(CallControlTest)
#include "tst_CallControl.moc"
