// The stream-message sender against peers written from the wire format alone.
#include "platform/errors/EAbortError.h"
#include "tests/support/TRawTcpPeer.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSender.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <mutex>

namespace {

const QByteArray Ack = QByteArrayLiteral("OK              ");

// What a peer saw, filled on its thread and read after it is done.
struct TSeen
{
    std::mutex mutex;
    QByteArray bytes;
    void Set(const QByteArray& b)
    {
        std::lock_guard lock(mutex);
        bytes = b;
    }
    QByteArray Get()
    {
        std::lock_guard lock(mutex);
        return bytes;
    }
};

// Reads one whole message as the wire format defines it, answers, then reads to the end.
std::function<void(int)> Receiver(TSeen& seen, const QByteArray& answer = Ack)
{
    return [&seen, answer](int fd) {
        QByteArray all = TRawTcpPeer::ReadExactly(fd, 4);
        const int n = all.toInt();
        all += TRawTcpPeer::ReadExactly(fd, n);
        const QByteArray field = TRawTcpPeer::ReadExactly(fd, 10);
        all += field;
        all += TRawTcpPeer::ReadExactly(fd, field.trimmed().toLongLong());
        seen.Set(all);
        TRawTcpPeer::WriteAll(fd, answer);
        TRawTcpPeer::ReadToEnd(fd);
    };
}

QByteArray Send(TStrmSender& sender, quint16 port, const QByteArray& name, const QByteArray& body)
{
    QBuffer stream;
    stream.setData(body);
    stream.open(QIODevice::ReadOnly);
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = port;
    sender.FromName = name;
    QByteArray reply;
    sender.SendStreamMessage(stream, reply);
    return reply;
}

// A port nobody listens on.
quint16 ClosedPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ::bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&at), &size);
    ::close(fd);
    return ntohs(at.sin_port);
}

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// A stream that notes the size of every read the sender makes of it.
class TBlockLog : public QBuffer
{
public:
    QList<qint64> reads;

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 n = QBuffer::readData(data, max);
        if (n > 0)
            reads << n;
        return n;
    }
};

} // namespace

TEST(StrmSender, TheWorkedExampleGoesOutByteForByteWithItsEventsInOrder)
{
    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    TStrmSender sender;
    QStringList events;
    const QThread* ui = QThread::currentThread();
    auto note = [&](const char* what) {
        return [&, what](TSockBase* s) {
            events << QString::fromLatin1(what);
            EXPECT_EQ(s, &sender);
            EXPECT_EQ(QThread::currentThread(), ui);
        };
    };
    sender.OnConnect = note("connect");
    sender.OnPacketSent = [&](TSockBase*) {
        events << QStringLiteral("sent %1").arg(sender.SentCount);
    };
    sender.OnMessageSent = note("message sent");
    sender.OnDisconnect = note("disconnect");
    EXPECT_EQ(Send(sender, peer.Port(), "a.txt", "abc"), Ack);
    ASSERT_TRUE(peer.Wait(5000));
    EXPECT_EQ(seen.Get(), QByteArray("0005a.txt         3abc"));
    EXPECT_EQ(seen.Get().size(), 22);
    EXPECT_EQ(events, QStringList({"connect", "sent 3", "message sent", "disconnect"}));
    EXPECT_FALSE(sender.Connected);
}

TEST(StrmSender, NamesAndBodiesAtTheEdgesOfTheFraming)
{
    struct TCase
    {
        QByteArray name;
        QByteArray body;
        QByteArray head; // what the wire starts with
        QList<qint64> blocks;
    };
    const QByteArray longName(9999, 'n');
    const QList<TCase> cases = {
        {"", "", "0000         0", {}},
        {"e.txt", "", "0005e.txt         0", {}},
        {"", "x", "0000         1", {1}},
        {longName, "", "9999" + longName + "         0", {}},
        {"b", QByteArray(65536, 'b'), "0001b     65536", {65536}},
        {"c", QByteArray(65537, 'c'), "0001c     65537", {65536, 1}},
    };
    for (const TCase& c : cases) {
        TSeen seen;
        TRawTcpPeer peer(Receiver(seen));
        TStrmSender sender;
        int packets = 0;
        sender.OnPacketSent = [&](TSockBase*) { ++packets; };
        TBlockLog stream;
        stream.setData(c.body);
        stream.open(QIODevice::ReadOnly);
        sender.Host = QStringLiteral("127.0.0.1");
        sender.Port = peer.Port();
        sender.FromName = c.name;
        QByteArray reply;
        sender.SendStreamMessage(stream, reply);
        EXPECT_EQ(reply, Ack);
        ASSERT_TRUE(peer.Wait(5000));
        EXPECT_EQ(seen.Get(), c.head + c.body) << c.name.left(8).constData();
        EXPECT_EQ(stream.reads, c.blocks) << "blocks read from the stream";
        EXPECT_EQ(packets == 0, c.body.isEmpty()) << "no packet event for an empty body";
        EXPECT_EQ(sender.SentCount, c.body.size());
    }
    EXPECT_EQ(TStrmFraming::BodyLength(1000000000), QByteArray("1000000000"));
    EXPECT_EQ(TStrmFraming::BodyLength(2147483647), QByteArray("2147483647"));
}

TEST(StrmSender, WhatTheWireCannotCarryIsRefusedBeforeConnecting)
{
    TStrmSender sender;
    bool connected = false;
    sender.OnConnect = [&](TSockBase*) { connected = true; };
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = ClosedPort();
    QTemporaryFile big;
    ASSERT_TRUE(big.open());
    ASSERT_TRUE(big.resize(qint64(1) << 31)); // sparse: takes no room
    QByteArray reply;
    try {
        sender.SendStreamMessage(big, reply);
        ADD_FAILURE() << "a 2 GiB body was sent";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), QString("Files of 2 GB or more cannot be sent."));
    }
    QBuffer small;
    small.open(QIODevice::ReadOnly);
    sender.FromName = QByteArray(10000, 'n');
    EXPECT_THROW(sender.SendStreamMessage(small, reply), ESockError);
    EXPECT_FALSE(connected);
}

TEST(StrmSender, ConnectingFailuresAndTheirTexts)
{
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = ClosedPort();
    int failed = 0;
    sender.OnConnectionFailed = [&](TSockBase*) { ++failed; };
    try {
        sender.Connect();
        ADD_FAILURE() << "connected to a closed port";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), QString("Connection Failed"));
    }
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(sender.LastError, 10061);

    // The socket was renewed: the next attempt works.
    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    sender.Port = peer.Port();
    sender.Connect();
    EXPECT_TRUE(sender.Connected);
    try {
        sender.Connect();
        ADD_FAILURE() << "a second connect went through";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), QString("Already connected"));
    }
    EXPECT_TRUE(sender.Connected);
    sender.Disconnect();
    EXPECT_FALSE(sender.Connected);
}

TEST(StrmSender, AHostThatDoesNotResolveGetsOneMoreChance)
{
    TStrmSender sender;
    sender.Port = ClosedPort();
    int asked = 0;
    sender.Host = QStringLiteral("no-such-host.invalid");
    EXPECT_THROW(
        {
            try {
                sender.Connect();
            } catch (const ESockError& e) {
                EXPECT_EQ(e.Message(), QString("Null Remote Address"));
                throw;
            }
        },
        ESockError);

    sender.OnInvalidHost = [&](TSockBase* s, bool& handled) {
        ++asked;
        s->Host = QStringLiteral("still-no-such-host.invalid");
        handled = true;
    };
    EXPECT_THROW(sender.Connect(), ESockError);
    EXPECT_EQ(asked, 1) << "asked once, not again for the second name";

    // A handler that mends the name gets the connection.
    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    sender.Port = peer.Port();
    sender.Host = QStringLiteral("no-such-host.invalid");
    bool resolved = false;
    sender.OnHostResolved = [&](TSockBase*) { resolved = true; };
    sender.OnInvalidHost = [&](TSockBase* s, bool& handled) {
        s->Host = QStringLiteral("localhost");
        handled = true;
    };
    sender.Connect();
    EXPECT_TRUE(sender.Connected);
    EXPECT_TRUE(resolved) << "a name, unlike a dotted address, is looked up";
    sender.Disconnect();
}

TEST(StrmSender, AConnectThatIsNeverAnsweredTimesOut)
{
    // A listener whose queue is full drops further connection requests unanswered.
    const int full = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(::bind(full, reinterpret_cast<sockaddr*>(&at), sizeof at), 0);
    ASSERT_EQ(::listen(full, 0), 0);
    ::getsockname(full, reinterpret_cast<sockaddr*>(&at), &size);
    std::vector<int> queued;
    for (int i = 0; i < 4; ++i) {
        const int c = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0);
        ::connect(c, reinterpret_cast<sockaddr*>(&at), sizeof at);
        queued.push_back(c);
    }
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = ntohs(at.sin_port);
    sender.TimeOut = 400; // instead of the 15 s a sender waits by default
    int ticks = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { ++ticks; });
    tick.start(20);
    QElapsedTimer clock;
    clock.start();
    try {
        sender.Connect();
        ADD_FAILURE() << "connected to a full queue";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), QString("Connection Timed out"));
    }
    EXPECT_GE(clock.elapsed(), 350);
    EXPECT_LT(clock.elapsed(), 3000);
    EXPECT_GE(ticks, 5) << "the event loop ran while connecting";
    for (int c : queued)
        ::close(c);
    ::close(full);
}

TEST(StrmSender, AReplyThatIsNotTheAcknowledgementIsAFailedSend)
{
    for (const QByteArray& answer :
         {QByteArray(), QByteArray("OK"), QByteArray("NO              ")}) {
        // The receiver takes the message, answers this (or nothing) and closes.
        TRawTcpPeer peer([answer](int fd) {
            TRawTcpPeer::ReadExactly(fd, 4 + 1 + 10 + 4);
            TRawTcpPeer::WriteAll(fd, answer);
        });
        TStrmSender sender;
        int disconnects = 0;
        sender.OnDisconnect = [&](TSockBase*) { ++disconnects; };
        EXPECT_THROW(Send(sender, peer.Port(), "a", "body"), ESockError) << answer.constData();
        EXPECT_EQ(disconnects, 1) << "closed before the error travels on";
        EXPECT_FALSE(sender.Connected);
        ASSERT_TRUE(peer.Wait(5000));
    }
}

TEST(StrmSender, AReceiverThatNeverAnswersIsGivenUpWithoutSpinning)
{
    TRawTcpPeer peer([](int fd) {
        TRawTcpPeer::ReadExactly(fd, 4 + 1 + 10 + 3);
        TRawTcpPeer::ReadToEnd(fd); // silent until the sender goes
    });
    TStrmSender sender;
    sender.SilenceMs = 600;
    const double cpu = CpuSeconds();
    QElapsedTimer clock;
    clock.start();
    try {
        Send(sender, peer.Port(), "a", "abc");
        ADD_FAILURE() << "sent without an answer";
    } catch (const ESockError& e) {
        EXPECT_EQ(e.Message(), QString("10060:Connection timed out"));
    }
    EXPECT_GE(clock.elapsed(), 550);
    EXPECT_LT(CpuSeconds() - cpu, 0.3) << "waiting for the answer must not spin";
    ASSERT_TRUE(peer.Wait(5000));
}

TEST(StrmSender, AResetConnectionFailsWithTheSocketErrorText)
{
    TRawTcpPeer peer([](int fd) {
        TRawTcpPeer::ReadExactly(fd, 4 + 1 + 10);
        TRawTcpPeer::Reset(fd); // closed with a reset while the body comes
    });
    TStrmSender sender;
    try {
        Send(sender, peer.Port(), "a", QByteArray(64 << 20, 'z'));
        ADD_FAILURE() << "sent into a reset connection";
    } catch (const ESockError& e) {
        EXPECT_TRUE(e.Message() == "10054:Connection reset by peer" ||
                    e.Message() == "10058:Can't send after socket shutdown")
            << e.Message().toStdString();
    }
    EXPECT_FALSE(sender.Connected);
}

TEST(StrmSender, CancelEndsAWaitingSend)
{
    TRawTcpPeer peer([](int fd) { TRawTcpPeer::ReadToEnd(fd); });
    TStrmSender sender;
    QTimer::singleShot(200, [&] { sender.Cancel(); });
    EXPECT_THROW(Send(sender, peer.Port(), "a", "abc"), EAbortError);
    EXPECT_FALSE(sender.Canceled) << "a cancelled operation clears the flag";
    EXPECT_FALSE(sender.Connected);
}

TEST(StrmSender, TheWindowKeepsTickingDuringALargeTransfer)
{
    TRawTcpPeer peer([](int fd) {
        const QByteArray head = TRawTcpPeer::ReadExactly(fd, 4 + 3 + 10); // "big"
        // A slow reader: the sender waits on a full socket again and again.
        qint64 left = head.right(10).trimmed().toLongLong();
        char buffer[65536];
        while (left > 0) {
            const ssize_t r = ::recv(fd, buffer, size_t(qMin<qint64>(left, sizeof buffer)), 0);
            if (r <= 0)
                return;
            left -= r;
            QThread::msleep(2);
        }
        TRawTcpPeer::WriteAll(fd, Ack);
        TRawTcpPeer::ReadToEnd(fd);
    });
    TStrmSender sender;
    qint64 longest = 0, last = 0;
    int ticks = 0;
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = qMax(longest, clock.elapsed() - last);
        last = clock.elapsed();
        ++ticks;
    });
    tick.start(20);
    EXPECT_EQ(Send(sender, peer.Port(), "big", QByteArray(32 << 20, 'q')), Ack);
    const qint64 whole = clock.elapsed();
    // Held up for the transfer, the loop would miss nearly all of it; a busy machine stretches
    // both the gaps and the transfer.
    EXPECT_LT(longest, whole / 4) << "the event loop was held up (" << whole << " ms in all)";
    EXPECT_GT(ticks, 10) << "the transfer takes long enough to be watched";
}
