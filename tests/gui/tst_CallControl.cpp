#include "app/TForms.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TUdpListener.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
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

// Records what is sent; "peer.example" stands for a host name with two addresses.
class RecordingSender : public IDatagramSender
{
public:
    explicit RecordingSender(Journal& journal) : journal_(journal) {}
    QList<QHostAddress> Resolve(const QString& host) override
    {
        if (host == "peer.example")
            return {QHostAddress("192.0.2.20"), QHostAddress("192.0.2.21")};
        return IDatagramSender::Resolve(host);
    }
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        journal_.events << QString("send %1 -> %2").arg(QString::fromUtf8(payload), to.toString());
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
        CreateSecondaryForms(*form, 0);
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
        Control<QLineEdit>(&*form, "edtHostName")->setText(host);
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
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
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

        Control<TImage>(&*form, "Image1")->SetPicture(QImage(4, 4, QImage::Format_RGB32));
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!form->VoiceSession);
        QCOMPARE(journal.events.mid(4), QStringList({"voice freed", "voice freed"}));
        QCOMPARE(Control<TImage>(&*form, "Image1")->Picture(), Control<TImage>(&*form, "Image12")->Picture());
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
        Control<QLineEdit>(&*form, "edtHostName")->setText("192.0.2.9");
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
        QVERIFY(!blocked);
        QCOMPARE(Flags(), QString("1001"));
    }

    void unresolvableHostIsReportedAndBusyStaysUntilEnd()
    {
        Start();
        form->UDPClient = std::make_unique<TUdpDatagramSender>(form->UDPServer->localPort());
        Control<QLineEdit>(&*form, "edtHostName")->setText("no-such-host.invalid");
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
        QCOMPARE(script->ui.Texts("error"), QStringList{"Socket Error # 11001\nHost not found."});
        QVERIFY(form->Busy);
        QTRY_COMPARE(QApplication::focusWidget(), Control<QLineEdit>(&*form, "edtHostName"));
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton); // Busy: nothing happens
        QCOMPARE(script->ui.shown.size(), 1);
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);
        QVERIFY(!form->Busy);
    }

    void makeAnswerNeedsAHost()
    {
        Start();
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
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
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.7"));
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert calling..."));
        QVERIFY(form->Timer1->isActive());
        QCOMPARE(form->Timer1->interval(), 7000);
        QCOMPARE(player->calls, QStringList({"Close", "Open " + tone.fileName(), "Play"}));

        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
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
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert calling..."));
        // Busy is clear, so a second request is taken like in Idle: the first session goes.
        Receive("Calling|Carl", "192.0.2.8");
        // The call is Bert's until it ends: anyone else gets the busy reply.
        QCOMPARE(journal.events.filter("send").last(), QString("send Not now -> 192.0.2.8"));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.7"));
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert calling..."));
        QVERIFY(journal.events.filter("voice freed").isEmpty());
        // Bert calling again is answered again: the first session goes.
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(journal.events.filter("send").last(), QString("send Accept -> 192.0.2.7"));
        QCOMPARE(journal.events.filter("voice freed").size(), 2);
        QCOMPARE(Flags(), QString("0101"));
        // Once ended, the phone is free for anyone.
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.events.filter("send").last(), QString("send Accept -> 192.0.2.8"));
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.8,8500)"));
    }

    void aRingingPhoneBelongsToItsCaller()
    {
        Start("RingTime=5\n");
        Receive("Calling|Bert", "192.0.2.7");
        Receive("Calling|Eve", "192.0.2.66");
        QCOMPARE(journal.events.filter("send"), QStringList{"send Not now -> 192.0.2.66"});
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.7"));
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert calling..."));
        QCOMPARE(Flags(), QString("0110"));
        // The caller calling again rings again: the timer starts anew.
        Receive("Calling|Bert again", "192.0.2.7");
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert again calling..."));
        QVERIFY(form->Timer1->isActive());
        // Once the caller has cancelled the phone is free again, though Ringing stays set.
        Receive("Cancel", "192.0.2.7");
        QCOMPARE(Flags(), QString("0010"));
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Carl calling..."));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.8"));
    }

    void ringTimeoutSendsTheMessageAndTheCallCanStillBeAnswered()
    {
        Start("RingTime=1\n");
        Receive("Calling|Bert", "192.0.2.7");
        QTRY_COMPARE_WITH_TIMEOUT(Flags(), QString("0100"), 3000); // Missed
        QCOMPARE(journal.events.filter("send"), QStringList{"send Not now -> 192.0.2.7"});
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString());
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
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
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);
        QCOMPARE(Flags(), QString("0110"));

        Receive("Cancel", "192.0.2.7");
        QCOMPARE(Flags(), QString("0010")); // Cancelled while ringing
        QVERIFY(!form->Timer1->isActive());
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString());
    }

    void requestsWhileBusyGetTheBusyReply()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton); // answered: Busy
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.events.filter("send").last(), QString("send Not now -> 192.0.2.8"));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.7"));
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Bert calling..."));
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
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), callerLine);
        QCOMPARE(form->Ringing, !callerLine.isEmpty());
        QCOMPARE(Forms().frmCalling->Label1->text(), statusText.isEmpty() ? "before" : statusText);
        QVERIFY(!Forms().frmCalling->isVisible());
    }

    void acceptCountsOnlyFromTheCalledHostWhileCalling()
    {
        Start();
        // No call placed: an "Accept" starts nothing.
        Control<QLineEdit>(&*form, "edtHostName")->setText("192.0.2.5");
        Receive("Accept", "192.0.2.5");
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!form->VoiceSession);

        PlaceCallTo("192.0.2.9", [&] {
            Receive("Accept", "192.0.2.66"); // a stranger
            QVERIFY(Forms().frmCalling->isVisible());
            QVERIFY(!form->VoiceSession);
            Receive("Line is busy", "192.0.2.66"); // a stranger's status text
            QCOMPARE(Forms().frmCalling->Label1->text(), QString("Calling..."));
            QVERIFY(Forms().frmCalling->Dice1->Rotate());
            Receive("Accept", "192.0.2.9");
        });
        QCOMPARE(Flags(), QString("1001"));
        QCOMPARE(form->CallPeer, QString("192.0.2.9"));
        QCOMPARE(journal.events.filter("voice created").size(), 2);
        // The call is up and the window closed: a second "Accept" does nothing.
        Receive("Accept", "192.0.2.9");
        QCOMPARE(journal.events.filter("voice created").size(), 2);
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);

        // Cancelled: the answer that comes too late starts nothing either.
        PlaceCallTo("192.0.2.9",
                    [&] { QTest::mouseClick(Forms().frmCalling->btnStopCall, Qt::LeftButton); });
        Receive("Accept", "192.0.2.9");
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!form->VoiceSession);
    }

    void aHostNameIsAnsweredFromAnyOfItsAddresses()
    {
        Start();
        PlaceCallTo("peer.example", [&] {
            Receive("Not now", "192.0.2.21"); // refused, the window stays
            QCOMPARE(Forms().frmCalling->Label1->text(), QString("Not now"));
            Receive("Accept", "192.0.2.21"); // the late answer
        });
        QCOMPARE(journal.events.first(), QString("send Calling|Anna -> 192.0.2.20"));
        QCOMPARE(Flags(), QString("1001"));
        QVERIFY(terminal->calls.contains("SetRemoteAddress(192.0.2.21,8500)"));
        QCOMPARE(form->VideoHost, QString("192.0.2.21"));
    }

    void remoteTextsAreShownPlainAndFitTheirLabels()
    {
        Start();
        Receive("Calling|<b>Eve</b>\n<img src=x>", "192.0.2.7");
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->textFormat(), Qt::PlainText);
        QCOMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("<b>Eve</b> <img src=x> calling..."));

        const QString longName = QString(3000, QChar('W'));
        Receive("Calling|" + longName, "192.0.2.7");
        const QLabel* line = Control<QLabel>(&*form, "lblCallerID");
        QVERIFY(line->text().endsWith(" calling..."));
        QVERIFY(line->text().size() < 300);
        QVERIFY(QFontMetrics(line->font()).horizontalAdvance(line->text()) <= line->width());

        QLabel* status = Forms().frmCalling->Label1;
        Receive("Cancel", "192.0.2.7"); // the phone is free to call out again
        PlaceCallTo("192.0.2.9", [&] {
            Receive("<font color=red>" + longName + "\u202e</font>", "192.0.2.9");
            QCOMPARE(status->textFormat(), Qt::PlainText);
            QVERIFY(status->text().startsWith("<font color=red>WWW"));
            QVERIFY(!status->text().contains(QChar(0x202e)));
            QVERIFY(QFontMetrics(status->font()).horizontalAdvance(status->text()) <=
                    status->width());
            QTest::mouseClick(Forms().frmCalling->btnStopCall, Qt::LeftButton);
        });
    }

    void endingTheCallWhilePendingMessagesRunIsSafe_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<int>("point"); // which time pending messages run, from 1
        QTest::newRow("placing the call") << "placing" << 1;
        QTest::newRow("accepted by the peer") << "caller" << 1;
        QTest::newRow("answered after the ring time, before the session") << "missed" << 1;
        QTest::newRow("answered after the ring time, before the start") << "missed" << 2;
        QTest::newRow("ring timeout") << "timeout" << 1;
    }
    void endingTheCallWhilePendingMessagesRunIsSafe()
    {
        QFETCH(QString, how);
        QFETCH(int, point);
        Start("RingTime=1\n");
        int reached = 0;
        bool armed = false;
        bool ended = false;
        form->OnPendingMessages = [&] {
            if (armed && ++reached == point && !ended) {
                ended = true;
                form->EndCall();
            }
        };
        if (how == "placing") {
            // The window must not come up for a call that has ended; should it, it is closed
            // and the test fails.
            bool shown = false;
            QTimer watchdog;
            connect(&watchdog, &QTimer::timeout, this, [&] {
                if (Forms().frmCalling->isVisible()) {
                    shown = true;
                    Forms().frmCalling->done(QDialog::Rejected);
                }
            });
            watchdog.start(20);
            Control<QLineEdit>(&*form, "edtHostName")->setText("192.0.2.9");
            armed = true;
            QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
            QVERIFY(!shown);
            Receive("Accept", "192.0.2.9"); // nothing waits for it any more
        } else if (how == "caller") {
            PlaceCallTo("192.0.2.9", [&] {
                armed = true; // count from the answer on
                Receive("Accept", "192.0.2.9");
            });
        } else {
            Receive("Calling|Bert", "192.0.2.7");
            armed = how == "timeout";
            QTRY_COMPARE_WITH_TIMEOUT(Flags(), QString(ended ? "0000" : "0100"), 3000);
            if (how == "missed") {
                armed = true;
                QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
            }
        }
        form->OnPendingMessages = {};
        QVERIFY(ended);
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!form->VoiceSession);
        QVERIFY(form->CallPeer.isEmpty());
        // Nothing was started after the end.
        const qsizetype end = journal.events.lastIndexOf("voice freed");
        QVERIFY(!journal.events.mid(qMax<qsizetype>(end, 0)).contains("voice started"));
        if (how == "timeout") // the caller still learns that nobody answered
            QCOMPARE(journal.events.filter("send"), QStringList{"send Not now -> 192.0.2.7"});
    }

    void aSoundDeviceThatCannotBeOpenedIsToldOncePerCall()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
        QVERIFY(terminal->deviceError);
        terminal->deviceError(TVoiceDevice::Microphone, "Connection refused");
        terminal->deviceError(TVoiceDevice::Speaker, "Connection refused");
        terminal->deviceError(TVoiceDevice::Microphone, "Connection refused");
        const QStringList warnings = script->ui.Texts("warning");
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].startsWith("The microphone cannot be used: Connection refused"),
                 qPrintable(warnings[0]));
        QCOMPARE(Flags(), QString("1101")); // the call goes on
        QVERIFY(form->VoiceSession);

        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton);
        QVERIFY(!terminal->deviceError); // an ended session hears nothing more
        Receive("Calling|Bert", "192.0.2.7");
        QTest::mouseClick(Control<TImageButton>(&*form, "Image4"), Qt::LeftButton);
        terminal->deviceError(TVoiceDevice::Speaker, "No such device");
        QCOMPARE(script->ui.Texts("warning").size(), 2); // a new call, told again
        QVERIFY(script->ui.Texts("warning")[1].startsWith("The speaker cannot be used"));
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
        QTRY_COMPARE(Control<QLabel>(&*form, "lblCallerID")->text(), QString("Zoe calling..."));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("127.0.0.1"));
    }
};

PARLAVUE_GUI_TEST_MAIN(CallControlTest)
#include "tst_CallControl.moc"
