#include "app/TForms.h"
#include "app/TUdpDatagramSender.h"
#include "app/TUdpListener.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "platform/ui/TApplication.h"
#include "tests/support/TFakeCamera.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TRecordingTerminal.h"
#include "tests/support/TScriptedUi.h"
#include "voice/TfrmCCN.h"
#include "widgets/TDice.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QUdpSocket>

namespace {

// Everything the call logic did to the outside, in one ordered log.
struct Journal
{
    QStringList events;
};

class RecordingSender : public IDatagramSender
{
public:
    explicit RecordingSender(Journal& journal) : journal_(journal) {}
    void Send(const QByteArray& payload, const QString& host) override
    {
        journal_.events << QString("send %1 -> %2").arg(QString::fromUtf8(payload), host);
    }

private:
    Journal& journal_;
};

class JournalTerminal : public TRecordingTerminal
{
public:
    explicit JournalTerminal(Journal& journal) : journal_(journal) {}
    qint32 InitializeTerminal() override
    {
        journal_.events << "voice created";
        return TRecordingTerminal::InitializeTerminal();
    }
    qint32 StartTransmit(qint32 mode) override
    {
        journal_.events << "voice started";
        return TRecordingTerminal::StartTransmit(mode);
    }
    qint32 UninitializeTerminal() override
    {
        journal_.events << "voice freed";
        return TRecordingTerminal::UninitializeTerminal();
    }

private:
    Journal& journal_;
};

class FakePlayer : public IMediaPlayer
{
public:
    QStringList calls;
    bool playing = false;
    void Close() override { calls << "Close"; }
    bool Open(const QString& fileName) override
    {
        calls << "Open " + fileName;
        return true;
    }
    void Play() override
    {
        calls << "Play";
        playing = true;
    }
    void Stop() override
    {
        calls << "Stop";
        playing = false;
    }
    bool Playing() override { return playing; }
};

} // namespace

class CallControlTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;
    std::unique_ptr<TfrmMain> form;
    Journal journal;
    std::shared_ptr<JournalTerminal> terminal;
    FakePlayer* player = nullptr;

    // A main window on free ports whose sender, terminal and player are fakes.
    void Start(const QByteArray& settings = {})
    {
        env->WriteProgramFile("Settings.ini",
                              "[Settings]\nCallerID=Anna\nMessage=Not now\n" + settings);
        TCallPorts ports;
        ports.signallingListen = 0;
        ports.videoListen = 0;
        form = std::make_unique<TfrmMain>(MakeFakeCamera(), ports);
        CreateSecondaryForms(*form);
        terminal = std::make_shared<JournalTerminal>(journal);
        Forms().frmCCN->ccn.SetFactory([this] { return terminal; });
        form->UDPClient = std::make_unique<RecordingSender>(journal);
        auto fake = std::make_unique<FakePlayer>();
        player = fake.get();
        form->MediaPlayer1 = std::move(fake);
        form->ReadOutputVolume = [](quint16&, quint16&) { return false; };
        form->WriteOutputVolume = [](quint32) { return false; };
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    void Receive(const QString& text, const QString& from)
    {
        form->UDPServerUDPRead(text.toUtf8(), from);
    }

    QString Flags() const
    {
        return QString("%1%2%3%4")
            .arg(int(form->Busy))
            .arg(int(form->CallOffered))
            .arg(int(form->Ringing))
            .arg(int(form->Connected));
    }

    // Runs `during` once the calling-status window is up, while Make / Answer waits in it.
    // The window is closed afterwards if `during` left it open, so a failure cannot hang.
    void PlaceCallTo(const QString& host, std::function<void()> during)
    {
        form->edtHostName->setText(host);
        bool ran = false;
        QTimer poll;
        poll.setInterval(10);
        int ticks = 0;
        connect(&poll, &QTimer::timeout, this, [&] {
            TfrmCalling* calling = Forms().frmCalling;
            if (!calling->isVisible() && ++ticks < 500)
                return;
            poll.stop();
            if (calling->isVisible()) {
                ran = true;
                during();
            }
            if (calling->isVisible())
                calling->done(QDialog::Rejected);
        });
        poll.start();
        QTest::mouseClick(form->Image4, Qt::LeftButton);
        poll.stop();
        QVERIFY2(ran, "the calling-status window never showed");
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        script = std::make_unique<TScriptedUiScope>();
        journal = {};
    }
    void cleanup()
    {
        form.reset();
        Forms() = TForms();
        terminal.reset();
        script.reset();
        env.reset();
    }

    void callingStatusWindowLayout()
    {
        Start();
        TfrmCalling* w = Forms().frmCalling;
        QCOMPARE(w->windowTitle(), QString("Calling Status"));
        QCOMPARE(w->size(), QSize(383, 134));
        QCOMPARE(w->Label1->geometry(), QRect(8, 16, 369, 33));
        QCOMPARE(w->Label1->text(), QString("Calling..."));
        QCOMPARE(w->Dice1->geometry(), QRect(24, 48, 66, 66));
        QVERIFY(!w->Dice1->Rotate());
        QCOMPARE(w->btnStopCall->geometry(), QRect(268, 56, 93, 62));
        QCOMPARE(w->btnStopCall->text(), QString("Cancel Call"));
        QVERIFY(w->btnCancel->isHidden());
    }

    void placedCallIsAcceptedAndEnded()
    {
        Start();
        PlaceCallTo("192.0.2.9", [&] {
            QVERIFY(Forms().frmCalling->isModal());
            QVERIFY(Forms().frmCalling->Dice1->Rotate());
            QCOMPARE(Flags(), QString("1000")); // Calling
            Receive("Accept", "192.0.2.9");
        });
        QVERIFY(!Forms().frmCalling->isVisible());
        QCOMPARE(Flags(), QString("1001")); // In call, caller
        QCOMPARE(form->VideoHost, QString("192.0.2.9"));
        QCOMPARE(journal.events, QStringList({"send Calling|Anna -> 192.0.2.9", "voice created",
                                              "voice created", "voice started"}));
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.9,8500)"));
        QVERIFY(terminal->calls.contains("SetLocalPort(8500)"));

        form->Image1->SetPicture(QImage(4, 4, QImage::Format_RGB32));
        QTest::mouseClick(form->Image5, Qt::LeftButton);
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!form->VoiceSession);
        QCOMPARE(journal.events.mid(4), QStringList({"voice freed", "voice freed"}));
        QCOMPARE(form->Image1->Picture(), form->Image12->Picture());
        QVERIFY(journal.events.filter("send").size() == 1); // ending tells the peer nothing
    }

    void busyOrUnansweredTextIsShownThenCancelled()
    {
        Start();
        PlaceCallTo("192.0.2.9", [&] {
            Receive("Line is busy", "192.0.2.9");
            QCOMPARE(Forms().frmCalling->Label1->text(), QString("Line is busy"));
            QVERIFY(!Forms().frmCalling->Dice1->Rotate());
            QVERIFY(Forms().frmCalling->isVisible()); // Refused: the window stays
            QTest::mouseClick(Forms().frmCalling->btnStopCall, Qt::LeftButton);
        });
        QVERIFY(!Forms().frmCalling->isVisible());
        QCOMPARE(Flags(), QString("0000"));
        QCOMPARE(journal.events.last(), QString("send Cancel -> 192.0.2.9"));
    }

    void callingOneselfGetsTheBusyReplyOverTheNetwork()
    {
        Start();
        // The real sender, aimed at this window's own listener.
        form->UDPClient = std::make_unique<TUdpDatagramSender>(form->UDPServer->localPort());
        PlaceCallTo("127.0.0.1", [&] {
            QTRY_COMPARE(Forms().frmCalling->Label1->text(), QString("Not now"));
            QVERIFY(!Forms().frmCalling->Dice1->Rotate());
            QTest::mouseClick(Forms().frmCalling->btnStopCall, Qt::LeftButton);
        });
        QVERIFY(!form->Ringing);
        QVERIFY(!form->Busy);
    }

    void anAnswerFasterThanTheWindowLeavesNoWindowWaiting()
    {
        Start();
        // The peer answers while pending messages run, before the window could be shown.
        QTimer::singleShot(0, this, [&] { Receive("Accept", "192.0.2.9"); });
        bool blocked = false;
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, this, [&] {
            blocked = Forms().frmCalling->isVisible();
            Forms().frmCalling->done(QDialog::Rejected);
        });
        watchdog.start(2000);
        form->edtHostName->setText("192.0.2.9");
        QTest::mouseClick(form->Image4, Qt::LeftButton);
        QVERIFY(!blocked);
        QCOMPARE(Flags(), QString("1001"));
    }

    void unresolvableHostIsReportedAndBusyStaysUntilEnd()
    {
        Start();
        form->UDPClient = std::make_unique<TUdpDatagramSender>(form->UDPServer->localPort());
        form->edtHostName->setText("no-such-host.invalid");
        QTest::mouseClick(form->Image4, Qt::LeftButton);
        QCOMPARE(script->ui.Texts("error"), QStringList{"Socket Error # 11001\nHost not found."});
        QVERIFY(form->Busy);
        QTRY_COMPARE(QApplication::focusWidget(), form->edtHostName);
        QTest::mouseClick(form->Image4, Qt::LeftButton); // Busy: nothing happens
        QCOMPARE(script->ui.shown.size(), 1);
        QTest::mouseClick(form->Image5, Qt::LeftButton);
        QVERIFY(!form->Busy);
    }

    void makeAnswerNeedsAHost()
    {
        Start();
        QTest::mouseClick(form->Image4, Qt::LeftButton);
        QCOMPARE(script->ui.Texts("information"),
                 QStringList{"Please enter a valid IP Address or Host Name First."});
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(journal.events.isEmpty());
    }

    void incomingCallRingsAndIsAnsweredByHand()
    {
        QTemporaryFile tone(QDir::tempPath() + "/ringXXXXXX.wav");
        QVERIFY(tone.open());
        Start("RingTime=7\nRingTone=" + tone.fileName().toUtf8() + "\n");
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(Flags(), QString("0110")); // Ringing
        QCOMPARE(form->edtHostName->text(), QString("192.0.2.7"));
        QCOMPARE(form->lblCallerID->text(), QString("Bert calling..."));
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->Timer1->interval(), 7000);
        QCOMPARE(player->calls, QStringList({"Close", "Open " + tone.fileName(), "Play"}));

        QTest::mouseClick(form->Image4, Qt::LeftButton);
        QCOMPARE(Flags(), QString("1101")); // In call, answered by hand
        QVERIFY(!form->Timer1->isActive());
        QCOMPARE(player->calls.last(), QString("Stop"));
        // The session exists before "Accept" goes out and starts after it.
        QCOMPARE(journal.events, QStringList({"voice created", "voice created",
                                              "send Accept -> 192.0.2.7", "voice started"}));
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.7,8500)"));
    }

    void defaultRingToneRingsSilently()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QVERIFY(form->Ringing);
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->Timer1->interval(), 10000);
        QVERIFY(player->calls.isEmpty());
    }

    void autoAnswerTakesTheCallAtOnce()
    {
        Start("AutoAnswer=1\n");
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(Flags(), QString("0101")); // answered automatically: Busy stays clear
        QCOMPARE(journal.events.filter("send"), QStringList{"send Accept -> 192.0.2.7"});
        QCOMPARE(form->lblCallerID->text(), QString("Bert calling..."));
        // Busy is clear, so a second request is taken like in Idle: the first session goes.
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.events.filter("send").last(), QString("send Accept -> 192.0.2.8"));
        QCOMPARE(journal.events.filter("voice freed").size(), 2);
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.8,8500)"));
    }

    void ringTimeoutSendsTheMessageAndTheCallCanStillBeAnswered()
    {
        Start("RingTime=1\n");
        Receive("Calling|Bert", "192.0.2.7");
        QTRY_COMPARE_WITH_TIMEOUT(Flags(), QString("0100"), 3000); // Missed
        QCOMPARE(journal.events.filter("send"), QStringList{"send Not now -> 192.0.2.7"});
        QCOMPARE(form->lblCallerID->text(), QString());
        QTest::mouseClick(form->Image4, Qt::LeftButton);
        QCOMPARE(Flags(), QString("1101"));
        QCOMPARE(journal.events.filter("send").last(), QString("send Accept -> 192.0.2.7"));
    }

    void cancelCountsOnlyFromTheCaller()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        Receive("Cancel", "192.0.2.99");
        QCOMPARE(Flags(), QString("0110"));
        QVERIFY(form->Timer1->isActive());

        // End / Decline while ringing only shows the idle picture.
        QTest::mouseClick(form->Image5, Qt::LeftButton);
        QCOMPARE(Flags(), QString("0110"));

        Receive("Cancel", "192.0.2.7");
        QCOMPARE(Flags(), QString("0010")); // Cancelled while ringing
        QVERIFY(!form->Timer1->isActive());
        QCOMPARE(form->lblCallerID->text(), QString());
    }

    void requestsWhileBusyGetTheBusyReply()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QTest::mouseClick(form->Image4, Qt::LeftButton); // answered: Busy
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.events.filter("send").last(), QString("send Not now -> 192.0.2.8"));
        QCOMPARE(form->edtHostName->text(), QString("192.0.2.7"));
        QCOMPARE(form->lblCallerID->text(), QString("Bert calling..."));
    }

    void datagramsAreClassified_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("callerLine"); // empty: no call request
        QTest::addColumn<QString>("statusText"); // empty: not a status text
        QTest::newRow("bare prefix") << "Calling|"
                                     << " calling..."
                                     << "";
        QTest::newRow("no bar") << "Calling"
                                << " calling..."
                                << "";
        QTest::newRow("bar anywhere") << "abcde|ghijk"
                                      << "ijk calling..."
                                      << "";
        QTest::newRow("lower-case accept") << "accept"
                                           << ""
                                           << "accept";
        QTest::newRow("unknown") << "Unanswered Message"
                                 << ""
                                 << "Unanswered Message";
    }
    void datagramsAreClassified()
    {
        QFETCH(QString, text);
        QFETCH(QString, callerLine);
        QFETCH(QString, statusText);
        Start();
        Forms().frmCalling->SetStatus("before");
        Receive(text, "192.0.2.7");
        QCOMPARE(form->lblCallerID->text(), callerLine);
        QCOMPARE(form->Ringing, !callerLine.isEmpty());
        QCOMPARE(Forms().frmCalling->Label1->text(), statusText.isEmpty() ? "before" : statusText);
        QVERIFY(!Forms().frmCalling->isVisible());
    }

    void acceptWithoutACallStillStartsOne()
    {
        Start();
        form->edtHostName->setText("192.0.2.5");
        Receive("Accept", "192.0.2.7");
        QCOMPARE(Flags(), QString("0001"));
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.7,8500)"));
        QCOMPARE(form->VideoHost, QString("192.0.2.5"));
    }

    void listenerSurvivesBadDatagramsAndFailingOperations()
    {
        Start();
        Forms().frmCCN->ccn.SetFactory({}); // no terminal: answering fails
        env->WriteProgramFile("unused", "");
        form->CallSettings.AutoAnswer = true;
        QUdpSocket peer;
        const quint16 port = form->UDPServer->localPort();
        peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, port);
        peer.writeDatagram(QByteArray(9000, 'x'), QHostAddress::LocalHost, port);
        peer.writeDatagram("Calling|Eve", QHostAddress::LocalHost, port);
        QTRY_COMPARE(script->ui.Texts("error").size(), 1);
        QVERIFY(script->ui.Texts("error").first().startsWith("DefaultInterface is NULL"));
        QVERIFY(journal.events.filter("send").isEmpty()); // no "Accept" without a session

        form->CallSettings.AutoAnswer = false;
        form->Ringing = false;
        peer.writeDatagram("Calling|Zoe", QHostAddress::LocalHost, port);
        QTRY_COMPARE(form->lblCallerID->text(), QString("Zoe calling..."));
        QCOMPARE(form->edtHostName->text(), QString("127.0.0.1"));
    }
};

PARLAVUE_GUI_TEST_MAIN(CallControlTest)
#include "tst_CallControl.moc"
