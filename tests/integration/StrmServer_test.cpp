// The receiving stream server against peers written from the wire format alone: framing,
// events and their threads, and peers that misbehave.
#include "tests/integration/StrmServerProbe.h"

#include <QElapsedTimer>
#include <QScopeGuard>

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <set>
#include <stdexcept>

#include <sys/resource.h>

TEST(StrmServer, TheWorkedExampleIsDeliveredAndAcknowledged)
{
    TServerProbe probe;
    ASSERT_NE(probe.Port(), 0);
    TRawTcpClient peer(probe.Port());
    const QByteArray wire = Frame("a.txt", "abc");
    ASSERT_EQ(wire, QByteArray("0005a.txt         3abc"));
    ASSERT_TRUE(peer.Send(wire));
    EXPECT_EQ(peer.Read(Ack.size()), Ack);
    peer.ShutdownWrite();
    // The answer is the 16 bytes and nothing else; then the server closes too.
    const std::optional<QByteArray> rest = peer.ReadToClose();
    ASSERT_TRUE(rest.has_value());
    EXPECT_TRUE(rest->isEmpty()) << rest->constData();
    EXPECT_FALSE(peer.WasReset()) << "an orderly close";
    ASSERT_TRUE(probe.WaitDisconnects(1));

    const std::vector<TSeenMessage> got = probe.Messages();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].name, QByteArray("a.txt"));
    EXPECT_EQ(got[0].body, QByteArray("abc"));
    EXPECT_EQ(got[0].pos, 0) << "the body is handed over at its start";
    EXPECT_EQ(got[0].total, 3);
    EXPECT_EQ(got[0].received, 3);
    EXPECT_TRUE(got[0].complete);
    // Contact and disconnect on the UI thread, the message on a worker; the disconnect names
    // the connection that delivered it.
    QStringList events = probe.Events();
    events.sort();
    EXPECT_EQ(events, QStringList({"contact", "disconnect", "msg@worker"}));
    EXPECT_EQ(probe.Disconnected(), std::vector<quint64>{got[0].id});
}

TEST(StrmServer, NamesAndBodiesAtTheEdgesOfTheFraming)
{
    struct TCase
    {
        QByteArray name;
        QByteArray body;
    };
    QByteArray binary(300, '\0');
    for (int i = 0; i < binary.size(); ++i)
        binary[i] = char(i);
    const std::vector<TCase> cases = {
        {"", "no name"},
        {"empty.txt", ""},
        {"", ""},
        {QByteArray(9999, 'n'), "x"},
        {"block", QByteArray(65536, 'b')},
        {"block+1", QByteArray(65537, 'c')},
        {"\xC3\xA4 raw bytes \xFF", binary},
    };
    TServerProbe probe;
    for (const TCase& c : cases)
        EXPECT_EQ(Exchange(probe.Port(), c.name, c.body), Ack) << c.name.left(9).constData();
    ASSERT_TRUE(probe.WaitDisconnects(int(cases.size())));
    const std::vector<TSeenMessage> got = probe.Messages();
    ASSERT_EQ(got.size(), cases.size());
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(got[i].name, cases[i].name) << i;
        EXPECT_EQ(got[i].body, cases[i].body) << i;
        EXPECT_EQ(got[i].total, cases[i].body.size()) << i;
        EXPECT_TRUE(got[i].complete) << i;
    }
}

TEST(StrmServer, TheReceiverDoesNotRelyOnHowTheBytesAreCut)
{
    TServerProbe probe;
    TRawTcpClient peer(probe.Port());
    const QByteArray wire = Frame("cut.txt", "0123456789");
    // One byte at a time with the events running between: each field arrives in pieces.
    for (const char c : wire) {
        ASSERT_TRUE(peer.Send(QByteArray(1, c)));
        TRawTcpClient::PumpUntil([] { return false; }, 3);
    }
    EXPECT_EQ(peer.Read(Ack.size()), Ack);
    peer.Close();
    ASSERT_TRUE(probe.WaitDisconnects(1));
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].name, QByteArray("cut.txt"));
    EXPECT_EQ(probe.Messages()[0].body, QByteArray("0123456789"));
}

TEST(StrmServer, AnAnsweredConnectionStaysUntilThePeerClosesAndWhatFollowsIsDropped)
{
    TServerProbe probe;
    TRawTcpClient peer(probe.Port());
    // Bytes after the body are no part of it; left unread they would reset the connection
    // under the answer.
    ASSERT_TRUE(peer.Send(Frame("a", "b") + QByteArray(200000, 'j')));
    EXPECT_EQ(peer.Read(Ack.size()), Ack);
    TRawTcpClient::PumpUntil([] { return false; }, 100);
    EXPECT_FALSE(peer.PeerClosed()) << "the server waits for the peer to close";
    EXPECT_FALSE(peer.WasReset());
    EXPECT_EQ(probe.Count("disconnect"), 0);
    EXPECT_EQ(probe.server.ClientCount(), 1);
    peer.ShutdownWrite();
    const std::optional<QByteArray> rest = peer.ReadToClose();
    ASSERT_TRUE(rest.has_value());
    EXPECT_TRUE(rest->isEmpty());
    EXPECT_FALSE(peer.WasReset()) << "an orderly close after every byte was read";
    ASSERT_TRUE(probe.WaitDisconnects(1));
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].body, QByteArray("b"));
}

TEST(StrmServer, TwoConnectionsAreReceivedAtTheSameTime)
{
    TServerProbe probe;
    // Each handler waits for the other to be inside too: this only ends if both run at once.
    std::mutex lock;
    std::condition_variable changed;
    int inside = 0;
    std::atomic<int> sawBoth{0};
    std::atomic<int> listedWhenBoth{0};
    probe.Inspect = [&](TSpooledStream&) {
        std::unique_lock guard(lock);
        if (++inside == 2) // the other one waits in its handler right now
            listedWhenBoth = probe.server.ClientCount();
        changed.notify_all();
        if (changed.wait_for(guard, std::chrono::seconds(5), [&] { return inside == 2; }))
            ++sawBoth;
    };
    TRawTcpClient first(probe.Port());
    TRawTcpClient second(probe.Port());
    ASSERT_TRUE(first.Send(Frame("first", "1111")));
    ASSERT_TRUE(second.Send(Frame("second", "22")));
    EXPECT_EQ(first.Read(Ack.size()), Ack);
    EXPECT_EQ(second.Read(Ack.size()), Ack);
    first.Close();
    second.Close();
    ASSERT_TRUE(probe.WaitDisconnects(2));

    EXPECT_EQ(sawBoth, 2);
    EXPECT_EQ(listedWhenBoth, 2) << "both connections are counted while they are received";
    const std::vector<TSeenMessage> got = probe.Messages();
    ASSERT_EQ(got.size(), 2u);
    std::set<QByteArray> names;
    for (const TSeenMessage& m : got)
        names.insert(m.name + "=" + m.body);
    EXPECT_EQ(names, (std::set<QByteArray>{"first=1111", "second=22"}));
    EXPECT_NE(got[0].id, got[1].id);
    const std::vector<quint64> gone = probe.Disconnected();
    EXPECT_EQ(std::set<quint64>(gone.begin(), gone.end()),
              (std::set<quint64>{got[0].id, got[1].id}));
    EXPECT_EQ(probe.Count("contact"), 2);
}

TEST(StrmServer, AConnectionClosedWithoutAByteIsContactAndDisconnectOnly)
{
    TServerProbe probe;
    {
        TRawTcpClient peer(probe.Port());
        ASSERT_TRUE(peer.IsConnected());
        ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return probe.Count("contact") == 1; }, 5000));
    }
    ASSERT_TRUE(probe.WaitDisconnects(1));
    EXPECT_EQ(probe.Events(), QStringList({"contact", "disconnect"}));
    EXPECT_TRUE(probe.Messages().empty());
}

TEST(StrmServer, AHandlerThatThrowsDoesNotStopTheCleanUpOrTheServer)
{
    TServerProbe probe;
    std::atomic<int> calls{0};
    probe.Inspect = [&](TSpooledStream&) {
        const int call = ++calls;
        if (call == 1)
            throw std::runtime_error("handler failure");
        if (call == 2)
            throw 42;
    };
    // A handler that fails has not stored the message: the peer is not acknowledged.
    EXPECT_EQ(Exchange(probe.Port(), "one", "1"), QByteArray());
    EXPECT_EQ(Exchange(probe.Port(), "two", "2"), QByteArray());
    ASSERT_TRUE(probe.WaitDisconnects(2));
    EXPECT_EQ(Exchange(probe.Port(), "three", "3"), Ack);
    ASSERT_TRUE(probe.WaitDisconnects(3));
    EXPECT_EQ(calls, 3);
    ASSERT_EQ(probe.Messages().size(), 1u) << "only the handler that returned noted its message";
    EXPECT_EQ(probe.Messages()[0].name, QByteArray("three"));
}

TEST(StrmServer, ALengthFieldThatIsNoNumberClosesAtOnceWithoutAnAnswer)
{
    struct TCase
    {
        const char* what;
        QByteArray bytes;
        bool shutdown; // the peer says it has sent everything
    };
    const std::vector<TCase> cases = {
        {"letters for the name length", "abcd", false},
        {"letters in the body length", "0001a    12x456", false},
        {"an empty name length", "", true},
        {"a name cut short", "0010abc", true},
        {"an empty body length", "0001a", true},
        {"a body length cut short", "0001a   12", true},
    };
    // The default limits: an answer that takes as long as any of them has not come "at once".
    TServerProbe probe;
    const qint64 soonest = qMin(probe.server.Limits().headerTimeMs, TStrmServer::ClientSilenceMs);
    int n = 0;
    for (const TCase& c : cases) {
        TRawTcpClient peer(probe.Port());
        ASSERT_TRUE(peer.Send(c.bytes)) << c.what;
        if (c.shutdown)
            peer.ShutdownWrite();
        QElapsedTimer clock;
        clock.start();
        const std::optional<QByteArray> answer = peer.ReadToClose(soonest / 2);
        ASSERT_TRUE(answer.has_value()) << c.what << ": still open";
        EXPECT_LT(clock.elapsed(), soonest / 5) << c.what;
        EXPECT_TRUE(answer->isEmpty()) << c.what << ": " << answer->constData();
        ASSERT_TRUE(probe.WaitDisconnects(++n)) << c.what;
    }
    EXPECT_TRUE(probe.Messages().empty());
    EXPECT_EQ(Exchange(probe.Port(), "after", "ok"), Ack) << "the server goes on";
}

TEST(StrmServer, APeerThatClosesMidBodyIsToldNothingAndTheLossIsReported)
{
    TServerProbe probe;
    TRawTcpClient peer(probe.Port());
    ASSERT_TRUE(peer.Send(Frame("short.bin", QByteArray(100, 'p')).left(4 + 9 + 10 + 40)));
    peer.ShutdownWrite();
    const std::optional<QByteArray> answer = peer.ReadToClose();
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->isEmpty()) << "no acknowledgement for a body that did not arrive";
    ASSERT_TRUE(probe.WaitDisconnects(1));
    EXPECT_TRUE(probe.Messages().empty());
    EXPECT_EQ(probe.Failures(), QStringList{"40 of 100 bytes arrived"});
}

TEST(StrmServer, ADiskThatRefusesMidBodyFailsTheBodyWithoutAnAnswer)
{
    // The process may write files of at most 3 MiB: the spool file of a larger body fails as a
    // full disk would, however the bytes are written to it.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit before{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &before), 0);
    rlimit small = before;
    small.rlim_cur = 3 << 20;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const auto restore = qScopeGuard([&] { setrlimit(RLIMIT_FSIZE, &before); });

    TServerProbe probe;
    probe.KeepBody = false;
    TRawTcpClient peer(probe.Port());
    // A peer that keeps sending after the failure is cut off, not waited for.
    peer.Send(Frame("big.bin", QByteArray(8 << 20, 'd')));
    const std::optional<QByteArray> answer = peer.ReadToClose();
    ASSERT_TRUE(answer.has_value());
    EXPECT_TRUE(answer->isEmpty()) << "no acknowledgement for a body that was not stored";
    ASSERT_TRUE(probe.WaitDisconnects(1));
    EXPECT_TRUE(probe.Messages().empty());
    ASSERT_EQ(probe.Failures().size(), 1);
    EXPECT_TRUE(probe.Failures()[0].startsWith("The received data cannot be stored: "))
        << probe.Failures()[0].toStdString();
}

TEST(StrmServer, APeerSilentAnywhereIsClosedAfterTheSilenceLimit)
{
    constexpr qint64 LimitMs = 300;
    TServerProbe probe(LimitMs);
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"inside the body", Frame("slow", QByteArray(100, 's')).left(40)},
        {"inside the header", "0004sl"},
        {"before a byte", ""},
    };
    int n = 0;
    for (const auto& [what, bytes] : cases) {
        TRawTcpClient peer(probe.Port());
        ASSERT_TRUE(peer.Send(bytes));
        QElapsedTimer clock;
        clock.start();
        const std::optional<QByteArray> answer = peer.ReadToClose(LimitMs + 5000);
        ASSERT_TRUE(answer.has_value()) << what << ": still open";
        EXPECT_GE(clock.elapsed(), LimitMs - 50) << what << ": closed before the limit";
        EXPECT_LT(clock.elapsed(), LimitMs + 1500) << what;
        EXPECT_TRUE(answer->isEmpty()) << what;
        ASSERT_TRUE(probe.WaitDisconnects(++n)) << what;
    }
    EXPECT_TRUE(probe.Messages().empty()) << "a body that timed out is not delivered";
    EXPECT_EQ(probe.Failures(), QStringList{"10060:Connection timed out"})
        << "only a framed body is a lost message";

    // Bytes that keep coming, each within the limit, keep the connection.
    TRawTcpClient steady(probe.Port());
    const QByteArray wire = Frame("steady", QByteArray(8, 'q'));
    for (qsizetype i = 0; i < wire.size(); i += 6) {
        ASSERT_TRUE(steady.Send(wire.mid(i, 6)));
        TRawTcpClient::PumpUntil([] { return false; }, LimitMs / 2);
    }
    EXPECT_EQ(steady.Read(Ack.size()), Ack);
    steady.Close();
    ASSERT_TRUE(probe.WaitDisconnects(n + 1));
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_TRUE(probe.Messages()[0].complete);
}

TEST(StrmServer, AResetOrAnAbortEndsTheConnectionWithoutAMessage)
{
    TServerProbe probe;
    {
        TRawTcpClient peer(probe.Port());
        ASSERT_TRUE(peer.Send(Frame("reset", QByteArray(1000, 'r')).left(500)));
        ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return probe.Count("contact") == 1; }, 5000));
        peer.Reset();
    }
    ASSERT_TRUE(probe.WaitDisconnects(1));

    TRawTcpClient held(probe.Port());
    ASSERT_TRUE(held.Send(Frame("held", QByteArray(1000, 'h')).left(500)));
    ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return probe.server.ClientCount() == 1; }, 5000));
    QElapsedTimer clock;
    clock.start();
    probe.server.Abort();
    ASSERT_TRUE(held.ReadToClose(5000).has_value());
    EXPECT_LT(clock.elapsed(), TStrmServer::ClientSilenceMs / 10) << "far inside the silence";
    ASSERT_TRUE(probe.WaitDisconnects(2));
    EXPECT_TRUE(probe.Messages().empty());
    EXPECT_EQ(Exchange(probe.Port(), "after", "ok"), Ack);
}

TEST(StrmServer, ASlowPeerGetsAFairShareAndNoMore)
{
    // Shortened for the test: the header within 600 ms, at least 1000 bytes in every second.
    constexpr qint64 HeaderMs = 600;
    constexpr qint64 WindowMs = 1000;
    TServerProbe probe;
    probe.SetLimits([](TStrmLimits& l) {
        l.headerTimeMs = HeaderMs;
        l.minRateBytes = 1000;
        l.rateWindowMs = WindowMs;
    });
    auto trickle = [&](TRawTcpClient& peer, const QByteArray& bytes, int chunk, int everyMs) {
        for (qsizetype i = 0; i < bytes.size() && !peer.PeerClosed(); i += chunk) {
            peer.Send(bytes.mid(i, chunk));
            TRawTcpClient::PumpUntil([] { return false; }, everyMs);
        }
    };
    QElapsedTimer clock;

    // A header that trickles in, each byte well inside the silence limit, is cut off in time.
    TRawTcpClient header(probe.Port());
    clock.start();
    trickle(header, "0030" + QByteArray(30, 'n'), 1, 150); // 34 bytes in 5 s, if it could
    EXPECT_TRUE(header.PeerClosed());
    EXPECT_LT(clock.elapsed(), HeaderMs + 1900);
    ASSERT_TRUE(probe.WaitDisconnects(1));

    // A body slower than the pace is closed without an answer; one at the pace is taken.
    TRawTcpClient slow(probe.Port());
    ASSERT_TRUE(slow.Send(Frame("slow", QByteArray(20000, 's')).left(23)));
    clock.restart();
    trickle(slow, QByteArray(20000, 's'), 50, 100); // 500 bytes a second
    EXPECT_TRUE(slow.ReadToClose(3000).value_or("open").isEmpty());
    EXPECT_LT(clock.elapsed(), 4 * WindowMs);
    ASSERT_TRUE(probe.WaitDisconnects(2));
    ASSERT_EQ(probe.Failures().size(), 1);
    EXPECT_TRUE(probe.Failures()[0].startsWith("The body came slower than"))
        << probe.Failures()[0].toStdString();
    TRawTcpClient paced(probe.Port());
    ASSERT_TRUE(paced.Send(Frame("paced", QByteArray(3000, 'p')).left(23)));
    trickle(paced, QByteArray(3000, 'p'), 50, 30); // about 1600 bytes a second
    EXPECT_EQ(paced.Read(Ack.size()), Ack);
    paced.Close();
    ASSERT_TRUE(probe.WaitDisconnects(3));
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].name, QByteArray("paced"));
}

TEST(StrmServer, OneAddressHoldsAtMostThreeConnections)
{
    TServerProbe probe;
    std::vector<std::unique_ptr<TRawTcpClient>> held;
    for (int i = 0; i < TStrmServer::MaxClientsPerSource; ++i) {
        held.push_back(std::make_unique<TRawTcpClient>(probe.Port()));
        ASSERT_TRUE(held.back()->Send("0"));
    }
    // The contacts reach the window's thread a little after the count: both are awaited.
    ASSERT_TRUE(TRawTcpClient::PumpUntil(
        [&] { return probe.server.ClientCount() == 3 && probe.Count("contact") == 3; }, 5000));
    // A fourth from the same address is closed at once, long before the header time.
    TRawTcpClient fourth(probe.Port());
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(fourth.ReadToClose(5000).has_value());
    EXPECT_LT(clock.elapsed(), probe.server.Limits().headerTimeMs / 2);
    EXPECT_EQ(probe.Count("contact"), 3);
    for (const auto& peer : held)
        EXPECT_FALSE(peer->PeerClosed());
    // Another address still gets through.
    TRawTcpClient other(probe.Port(), 5000, "127.0.0.2");
    ASSERT_TRUE(other.Send(Frame("other", "from another host")));
    EXPECT_EQ(other.Read(Ack.size()), Ack);
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].body, QByteArray("from another host"));
}

TEST(StrmServer, NamesAreCleanedForTheLog)
{
    EXPECT_EQ(TStrmServer::LogName("a.txt"), QString("a.txt"));
    EXPECT_EQ(TStrmServer::LogName("evil\r\nline\x1b[31m\x7f"), QString("evil??line?[31m?"));
    EXPECT_EQ(TStrmServer::LogName("\xC3\xA4\xE2\x80\xAE"), QStringLiteral(u"\u00e4?"))
        << "text direction overrides are replaced too";
    const QString longName = TStrmServer::LogName(QByteArray(9999, 'n'));
    EXPECT_EQ(longName.size(), 256);
    EXPECT_TRUE(longName.endsWith(QChar(0x2026)));
}
