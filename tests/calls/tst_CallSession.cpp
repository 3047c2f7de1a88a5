// The call without a window: what goes out on the wire, what the window is told, and that only
// the peer steers a call.
#include "calls/TCallSession.h"
#include "calls/THostLookup.h"
#include "calls/TUdpDatagramSender.h"
#include "tests/calls/CallFakes.h"
#include "tests/runner/TTestRunner.h"
#include "tests/support/TDatagramFlood.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace std::chrono_literals;

class CallSessionTest : public QObject
{
    Q_OBJECT

    Journal journal;
    TCallSettings settings;
    std::shared_ptr<TFakeVoiceLink> link;
    std::unique_ptr<TCallSession> session;
    FakeLookup* lookup = nullptr;
    JournalPlayer* player = nullptr;
    TCallSession::TClock::time_point now = TCallSession::TClock::now();

    void Start()
    {
        TCallPorts ports;
        ports.signallingListen = 0;
        session = std::make_unique<TCallSession>(settings, ports);
        session->SetSender(std::make_unique<JournalSender>(journal));
        auto fakeLookup = std::make_unique<FakeLookup>();
        lookup = fakeLookup.get();
        session->SetLookup(std::move(fakeLookup));
        auto fakePlayer = std::make_unique<JournalPlayer>(journal);
        player = fakePlayer.get();
        session->SetRingPlayer(std::move(fakePlayer));
        link = JournalVoiceLink(journal);
        session->SetVoiceLink(link);
        session->SetClock([this] { return now; });
        TCallSession* s = session.get();
        connect(s, &TCallSession::placingStarted, this, [this] { journal.events << "window up"; });
        connect(s, &TCallSession::placingEnded, this,
                [this] { journal.events << "window closed"; });
        connect(s, &TCallSession::statusText, this,
                [this](const QString& t) { journal.events << "status " + t; });
        connect(s, &TCallSession::placeFailed, this,
                [this](const QString& m) { journal.events << "failed " + m; });
        connect(s, &TCallSession::accepted, this, [this](const QHostAddress& peer) {
            journal.events << "up with " + peer.toString();
        });
        connect(s, &TCallSession::ended, this, [this] { journal.events << "ended"; });
        connect(s, &TCallSession::ringStarted, this,
                [this](const QString& id, const QString& from) {
                    journal.events << QString("ring %1 %2").arg(id, from);
                });
        connect(s, &TCallSession::callerShown, this,
                [this](const QString& id) { journal.events << "caller " + id; });
        connect(s, &TCallSession::voiceWarning, this,
                [this](const QString& text) { journal.events << "warning " + text; });
        connect(s, &TCallSession::voiceNotice, this,
                [this](const QString& text) { journal.events << "notice " + text; });
    }

    void Receive(const QString& text, const QString& from)
    {
        session->Receive(text.toUtf8(), from);
    }

    QString Flags() const
    {
        return QString("%1%2%3%4")
            .arg(int(session->Busy()))
            .arg(int(session->CallOffered()))
            .arg(int(session->Ringing()))
            .arg(int(session->Connected()));
    }

    // Places a call and waits until the request is out.
    void PlaceTo(const QString& host)
    {
        session->Place(host);
        QTRY_VERIFY(!journal.Matching("send Calling|").isEmpty() || !session->Placing());
    }

private slots:
    void init()
    {
        journal = {};
        settings = {};
        settings.CallerID = "Anna";
        settings.Message = "Not now";
        now = TCallSession::TClock::now();
    }
    void cleanup()
    {
        session.reset();
        link.reset();
    }

    void aPlacedCallIsAnsweredByTheCalledHostOnly()
    {
        Start();
        PlaceTo("192.0.2.9");
        QCOMPARE(journal.events, QStringList({"window up", "send Calling|Anna -> 192.0.2.9"}));
        QCOMPARE(Flags(), QString("1000"));
        // A stranger can neither answer nor refuse a call it was not asked for.
        Receive("Accept", "192.0.2.66");
        Receive("Line is busy", "192.0.2.66");
        QVERIFY(session->Placing());
        QVERIFY(journal.Matching("status").isEmpty());
        QVERIFY(!session->HasVoice());
        Receive("Not now", "192.0.2.9"); // refused: the window stays, the late answer counts
        Receive("Accept", "192.0.2.9");
        QCOMPARE(Flags(), QString("1001"));
        QCOMPARE(session->Peer(), QString("192.0.2.9"));
        QCOMPARE(journal.events.mid(2),
                 QStringList({"status Not now", "window closed", "voice to 192.0.2.9:8500",
                              "voice started", "up with 192.0.2.9"}));
        QCOMPARE(link->endpoint.localPort, 8500);
        // Up: a second "Accept" starts nothing, and the peer's "Cancel" does not end the call.
        Receive("Accept", "192.0.2.9");
        Receive("Cancel", "192.0.2.9");
        QCOMPARE(journal.Matching("voice started").size(), 1);
        QCOMPARE(Flags(), QString("1001"));

        session->End();
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!session->HasVoice());
        QVERIFY(session->Peer().isEmpty());
        QCOMPARE(journal.Matching("voice stopped").size(), 1);
        QVERIFY(!link->running);
        QCOMPARE(journal.Matching("send").size(), 1); // ending tells the peer nothing
    }

    void aHostNameIsLookedUpOnceAndAnsweredFromAnyOfItsAddresses()
    {
        Start();
        PlaceTo("peer.example");
        QCOMPARE(journal.Matching("send"), QStringList{"send Calling|Anna -> 192.0.2.20"});
        Receive("Accept", "192.0.2.21");
        QCOMPARE(Flags(), QString("1001"));
        QCOMPARE(session->Peer(), QString("192.0.2.21"));
        QCOMPARE(lookup->started, 1);
    }

    void cancellingGoesToTheCalledHostAndALateAnswerStartsNothing()
    {
        Start();
        PlaceTo("192.0.2.9");
        session->CancelPlacing();
        QCOMPARE(journal.Matching("send").last(), QString("send Cancel -> 192.0.2.9"));
        QCOMPARE(Flags(), QString("0000"));
        Receive("Accept", "192.0.2.9");
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(!session->HasVoice());

        // Closed otherwise: nothing is sent, Busy stays until End / Decline.
        PlaceTo("192.0.2.9");
        session->AbandonPlacing();
        QCOMPARE(journal.Matching("send Cancel").size(), 1);
        QCOMPARE(Flags(), QString("1000"));
        QCOMPARE(session->MakeAnswerAction("192.0.2.9"), TCallSession::TMakeAnswer::Nothing);
        session->End();
        QCOMPARE(Flags(), QString("0000"));
    }

    void aHostThatIsNotFoundFailsAndOneNeverAnsweredCanBeCancelled()
    {
        Start();
        session->Place("no-such-host.invalid");
        QTRY_COMPARE(journal.Matching("failed"),
                     QStringList{"failed Socket Error # 11001\nHost not found."});
        QVERIFY(!session->Placing());
        QVERIFY(session->Busy()); // until End / Decline, as a failed send leaves it
        session->End();

        session->Place("silent.example");
        QTest::qWait(50);
        QVERIFY(session->Placing());
        session->CancelPlacing(); // nobody was called: nothing to tell
        QCOMPARE(lookup->aborted, 1);
        QCOMPARE(lookup->Pending(), 0);
        QVERIFY(journal.Matching("send").isEmpty());
        QCOMPARE(Flags(), QString("0000"));
    }

    void aRingingCallIsAnsweredToItsCallerWhateverTheStrangersDo()
    {
        QTemporaryDir dir;
        QFile tone(dir.filePath("ring.wav"));
        QVERIFY(tone.open(QIODevice::WriteOnly));
        tone.close();
        settings.RingTone = tone.fileName();
        settings.RingTimeMs = 7000;
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(Flags(), QString("0110"));
        QCOMPARE(session->Peer(), QString("192.0.2.7"));
        QCOMPARE(session->RingTimer().interval(), 7000);
        QVERIFY(session->RingTimer().isActive());
        QCOMPARE(journal.Matching("ring"), QStringList{"ring Bert 192.0.2.7"});
        QCOMPARE(journal.Matching("tone"), QStringList{"tone started"});

        // A stranger pokes while it rings: a call request gets the busy reply, the rest nothing.
        Receive("Calling|Bert", "192.0.2.66");
        Receive("Cancel", "192.0.2.66");
        Receive("Accept", "192.0.2.66");
        Receive("Unanswered Message", "192.0.2.66");
        QCOMPARE(journal.Matching("send"), QStringList{"send Not now -> 192.0.2.66"});
        QCOMPARE(Flags(), QString("0110"));
        QCOMPARE(session->Peer(), QString("192.0.2.7"));

        // Answered by hand, whatever the host field holds by now.
        QCOMPARE(session->MakeAnswerAction("192.0.2.66"), TCallSession::TMakeAnswer::Answer);
        session->MakeOrAnswer("192.0.2.66");
        QCOMPARE(Flags(), QString("1101"));
        QVERIFY(!session->RingTimer().isActive());
        QCOMPARE(journal.Matching("tone").last(), QString("tone stopped"));
        QCOMPARE(journal.Matching("send").last(), QString("send Accept -> 192.0.2.7"));
        QCOMPARE(journal.Matching("voice to"), QStringList{"voice to 192.0.2.7:8500"});
        QCOMPARE(journal.Matching("up with"), QStringList{"up with 192.0.2.7"});
        // The voice starts after "Accept" goes out.
        const qsizetype accept = journal.events.indexOf("send Accept -> 192.0.2.7");
        QVERIFY(journal.events.indexOf("voice started") > accept);
        // Up: anyone calling gets the busy reply.
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.Matching("send").last(), QString("send Not now -> 192.0.2.8"));
    }

    void onlyEncryptedAnswersAPlainRequestWithTheMessageAndRingsNothing()
    {
        settings.EncryptedOnly = true;
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(journal.Matching("ring").isEmpty());
        QCOMPARE(journal.Matching("send"), QStringList{"send Not now -> 192.0.2.7"});
        // Through a secure channel the same request rings.
        session->ReceiveSecure("Calling|Bert", QHostAddress("192.0.2.7"));
        QCOMPARE(journal.Matching("ring"), QStringList{"ring Bert 192.0.2.7"});
    }

    void aFloodOfRepeatsRingsOnceAndRepliesAreRateLimited()
    {
        Start();
        QUdpSocket caller;
        QVERIFY(session->Listen());
        // 100 repeats over 2 s, 20 ms apart as the clock goes.
        for (int i = 0; i < 100; ++i) {
            caller.writeDatagram("Calling|Bert", QHostAddress::LocalHost, session->ListenPort());
            QTest::qWait(1);
            now += 20ms;
        }
        QTRY_COMPARE(journal.Matching("caller").size(), 1);
        QTest::qWait(100);
        QCOMPARE(journal.Matching("ring"), QStringList{"ring Bert 127.0.0.1"});
        QCOMPARE(journal.Matching("caller").size(), 1);
        QCOMPARE(session->RingTimer().interval(), 10000);
        QVERIFY(session->RingTimer().isActive());
        // Five seconds on, the caller calling again restarts the ring, once.
        now += 5s;
        Receive("Calling|Bert", "127.0.0.1");
        Receive("Calling|Bert", "127.0.0.1");
        QCOMPARE(journal.Matching("ring").size(), 2);

        // Busy and unanswered replies: at most one a second to any one address, however many
        // requests name it as their sender.
        for (int i = 0; i < 100; ++i) {
            Receive("Calling|Eve", "192.0.2.66");
            Receive("Calling|Eve", "192.0.2.67");
            now += 20ms;
        }
        QCOMPARE(journal.Matching("send Not now -> 192.0.2.66").size(), 2);
        QCOMPARE(journal.Matching("send Not now -> 192.0.2.67").size(), 2);
    }

    void aRingThatRanOutIsAnsweredOnlyWhileTheFieldShowsTheCaller()
    {
        settings.RingTimeMs = 50;
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QTRY_COMPARE_WITH_TIMEOUT(Flags(), QString("0100"), 3000); // missed
        QCOMPARE(journal.Matching("send"), QStringList{"send Not now -> 192.0.2.7"});
        QCOMPARE(session->MakeAnswerAction(""), TCallSession::TMakeAnswer::NeedHost);
        QCOMPARE(session->MakeAnswerAction("192.0.2.7"), TCallSession::TMakeAnswer::Answer);
        // The user typed another host: that host is called, and the missed call is given up.
        QCOMPARE(session->MakeAnswerAction("192.0.2.50"), TCallSession::TMakeAnswer::Place);
        session->MakeOrAnswer("192.0.2.50");
        QTRY_COMPARE(journal.Matching("send").last(), QString("send Calling|Anna -> 192.0.2.50"));
        QCOMPARE(Flags(), QString("1000"));
        Receive("Accept", "192.0.2.7"); // the old caller cannot slip in
        QVERIFY(session->Placing());
        session->CancelPlacing();

        // A caller still waiting after the ring ran out is answered from the field.
        Receive("Calling|Bert", "192.0.2.7");
        QTRY_COMPARE_WITH_TIMEOUT(Flags(), QString("0100"), 3000);
        session->MakeOrAnswer("192.0.2.7");
        QCOMPARE(Flags(), QString("1101"));
        QCOMPARE(journal.Matching("send").last(), QString("send Accept -> 192.0.2.7"));
    }

    void aCancelledRingLeavesNothingBehind()
    {
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        session->End(); // while ringing, End / Decline does not decline
        QCOMPARE(Flags(), QString("0110"));
        Receive("Cancel", "192.0.2.7");
        QCOMPARE(Flags(), QString("0000"));
        QVERIFY(session->Peer().isEmpty());
        QVERIFY(!session->RingTimer().isActive());
        QCOMPARE(session->MakeAnswerAction("192.0.2.7"), TCallSession::TMakeAnswer::Place);
        // The next caller rings at once.
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(Flags(), QString("0110"));
        QCOMPARE(session->Peer(), QString("192.0.2.8"));
    }

    void autoAnswerTakesTheCallAndKeepsItForItsCaller()
    {
        settings.AutoAnswer = true;
        Start();
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(Flags(), QString("0101")); // answered automatically: Busy stays clear
        QCOMPARE(journal.Matching("send"), QStringList{"send Accept -> 192.0.2.7"});
        QVERIFY(journal.Matching("ring").isEmpty());
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.Matching("send").last(), QString("send Not now -> 192.0.2.8"));
        QCOMPARE(session->Peer(), QString("192.0.2.7"));
        // Make / Answer with another host in the field does not call over the call.
        QCOMPARE(session->MakeAnswerAction("192.0.2.8"), TCallSession::TMakeAnswer::Nothing);
        // The caller calling again is answered again; the first voice goes.
        now += 6s;
        Receive("Calling|Bert", "192.0.2.7");
        QCOMPARE(journal.Matching("send").last(), QString("send Accept -> 192.0.2.7"));
        QCOMPARE(journal.Matching("voice stopped").size(), 1);
        QCOMPARE(link->starts, 2);
        session->End();
        Receive("Calling|Carl", "192.0.2.8");
        QCOMPARE(journal.Matching("send").last(), QString("send Accept -> 192.0.2.8"));
    }

    void aVoiceThatCannotStartSendsNoAcceptAndDeviceTroubleIsToldOnce()
    {
        Start();
        session->SetVoiceLink(nullptr);
        Receive("Calling|Bert", "192.0.2.7");
        QVERIFY_THROWS_EXCEPTION(std::exception, session->Answer());
        QVERIFY(journal.Matching("send").isEmpty());
        Receive("Cancel", "192.0.2.7");
        session->End(); // Busy, set by the answer, stays until End / Decline
        QCOMPARE(Flags(), QString("0000"));
        settings.AutoAnswer = true;
        Receive("Calling|Zoe", "192.0.2.9"); // what the network sets off never throws
        QVERIFY(journal.Matching("send").isEmpty());
        QVERIFY(!session->Connected());
        session->SetVoiceLink(link);
        now += 6s;

        Receive("Calling|Zoe", "192.0.2.9");
        QVERIFY(link->noticeHandler);
        // A device that went away with the default in its place is a notice, not a warning.
        link->noticeHandler({TVoiceDevice::Speaker, true, "unplugged"});
        QCOMPARE(journal.Matching("notice"), QStringList{"notice Speaker lost: using the default"});
        link->noticeHandler({TVoiceDevice::Microphone, false, "Connection refused"});
        link->noticeHandler({TVoiceDevice::Speaker, false, "Connection refused"});
        QCOMPARE(journal.Matching("warning").size(), 1);
        QVERIFY(journal.Matching("warning").first().startsWith(
            "warning The microphone cannot be used: Connection refused"));
        QCOMPARE(Flags(), QString("0101")); // the call goes on
        session->End();
        link->noticeHandler({TVoiceDevice::Microphone, true, "late"});
        QCOMPARE(journal.Matching("notice").size(), 1); // no call, nothing to tell
        session.reset();
        QVERIFY(!link->noticeHandler);
    }

    void theListenerSurvivesBadDatagramsAndCallingOneselfGetsTheBusyReply()
    {
        Start();
        QVERIFY(session->Listen());
        const quint16 port = session->ListenPort();
        session->SetSender(std::make_unique<TUdpDatagramSender>(port));
        session->SetLookup(std::make_unique<THostLookup>());
        QUdpSocket peer;
        peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, port);
        peer.writeDatagram(QByteArray(9000, 'x'), QHostAddress::LocalHost, port);
        session->Place("127.0.0.1");
        // Busy is set when the own request arrives: the own message comes back as the status.
        QTRY_COMPARE(journal.Matching("status"), QStringList{"status Not now"});
        session->CancelPlacing();
        QCOMPARE(Flags(), QString("0000"));
        peer.writeDatagram("Calling|Zoe", QHostAddress::LocalHost, port);
        QTRY_COMPARE(journal.Matching("caller"), QStringList{"caller Zoe"});
    }

    void aFloodLeavesTheListenerAnsweringAfterwards()
    {
        Start();
        QVERIFY(session->Listen());
        const quint16 port = session->ListenPort();
        Receive("Calling|Bert", "192.0.2.9"); // ringing: any other caller gets the reply
        QUdpSocket caller;
        auto replies = [&] { return journal.Matching("send Not now -> 127.0.0.1").size(); };
        for (int round = 0; round < 3; ++round) {
            {
                TDatagramFlood flood("127.0.0.2", port, "Accept", 1s);
                QVERIFY(QTest::qWaitFor([&] { return flood.Done(); }, 20000));
                QVERIFY(flood.Sent() > 1000);
            }
            // A call behind the flood is answered once what came before it is read; one that
            // comes after that is answered too.
            for (int n = 1; n <= 2; ++n) {
                caller.writeDatagram("Calling|Eve", QHostAddress::LocalHost, port);
                QTRY_COMPARE_WITH_TIMEOUT(replies(), 2 * round + n, 10000);
                now += 2s;
            }
        }
    }

    void theResolverAnswersLaterAndCanBeAborted()
    {
        THostLookup resolver;
        QStringList got;
        auto keep = [&](const QList<QHostAddress>& a, const QString& error) {
            got << (a.isEmpty() ? error : a.first().toString());
        };
        resolver.Start("127.0.0.1", keep);
        resolver.Start("localhost", keep);
        resolver.Abort(resolver.Start("192.0.2.1", keep));
        resolver.Start("", keep);
        QVERIFY(got.isEmpty()); // never inside Start
        QTRY_COMPARE(got.size(), 3);
        QVERIFY(got.contains("127.0.0.1"));
        QVERIFY(!got.contains("192.0.2.1"));
        QVERIFY(got.contains(THostLookup::NotFound()));
    }
};

PARLAVUE_GUILESS_TEST_MAIN(CallSessionTest);
#include "tst_CallSession.moc"
