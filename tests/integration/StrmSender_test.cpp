// The stream-message sender against peers written from the wire format alone.
#include "tests/integration/StrmServerProbe.h"
#include "tests/support/TRawTcpPeer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QTemporaryFile>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

namespace {

const QString NotAcknowledged =
    QStringLiteral("The receiver closed the connection without acknowledging the message.");

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
std::function<void(int)> Receiver(TSeen& seen)
{
    return [&seen](int fd) {
        QByteArray all = TRawTcpPeer::ReadExactly(fd, 4);
        const int n = all.toInt();
        all += TRawTcpPeer::ReadExactly(fd, n);
        const QByteArray field = TRawTcpPeer::ReadExactly(fd, 10);
        all += field;
        all += TRawTcpPeer::ReadExactly(fd, field.trimmed().toLongLong());
        seen.Set(all);
        TRawTcpPeer::WriteAll(fd, Ack);
        TRawTcpPeer::ReadToEnd(fd);
    };
}

std::shared_ptr<QIODevice> Body(const QByteArray& bytes)
{
    auto stream = std::make_shared<QBuffer>();
    stream->setData(bytes);
    stream->open(QIODevice::ReadOnly);
    return stream;
}

std::optional<QString> Send(TStrmSender& sender, quint16 port, const QByteArray& name,
                            const QByteArray& body)
{
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = port;
    sender.FromName = name;
    return SendAndWait(sender, Body(body));
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

} // namespace

TEST(StrmSender, TheWorkedExampleGoesOutByteForByteWithItsEventsInOrder)
{
    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    TStrmSender sender;
    QStringList events;
    auto note = [&](const char* what) { return [&events, what] { events << what; }; };
    QObject::connect(&sender, &TStrmSender::Connected, note("connect"));
    QObject::connect(&sender, &TStrmSender::Progress, [&](qint64 sent, qint64 total) {
        events << QStringLiteral("sent %1 of %2").arg(sent).arg(total);
    });
    QObject::connect(&sender, &TStrmSender::MessageSent, note("message sent"));
    QObject::connect(&sender, &TStrmSender::Disconnected, note("disconnect"));
    EXPECT_EQ(Send(sender, peer.Port(), "a.txt", "abc"), QString());
    ASSERT_TRUE(peer.Wait(5000));
    EXPECT_EQ(seen.Get(), QByteArray("0005a.txt         3abc"));
    EXPECT_EQ(events, QStringList({"connect", "sent 3 of 3", "message sent", "disconnect"}));
}

TEST(StrmSender, NamesAndBodiesAtTheEdgesOfTheFraming)
{
    struct TCase
    {
        QByteArray name;
        QByteArray body;
        QByteArray head; // what the wire starts with
    };
    const QByteArray longName(9999, 'n');
    // Past several reads ahead of the socket, each block unlike the others.
    QByteArray blocks(3 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < blocks.size(); ++i)
        blocks[i] = char(i >> 12);
    const QList<TCase> cases = {
        {"", "", "0000         0"},
        {"e.txt", "", "0005e.txt         0"},
        {"", "x", "0000         1"},
        {longName, "", "9999" + longName + "         0"},
        {"b", QByteArray(65536, 'b'), "0001b     65536"},
        {"c", QByteArray(65537, 'c'), "0001c     65537"},
        {"d", blocks, "0001d   3145728"},
    };
    for (const TCase& c : cases) {
        TSeen seen;
        TRawTcpPeer peer(Receiver(seen));
        TStrmSender sender;
        EXPECT_EQ(Send(sender, peer.Port(), c.name, c.body), QString());
        ASSERT_TRUE(peer.Wait(5000));
        EXPECT_TRUE(seen.Get() == c.head + c.body) << c.name.left(8).constData();
        EXPECT_EQ(sender.SentCount(), c.body.size());
    }
}

TEST(StrmSender, WhatTheWireCannotCarryIsRefusedBeforeConnecting)
{
    TStrmSender sender;
    bool connected = false;
    QObject::connect(&sender, &TStrmSender::Connected, [&] { connected = true; });
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = ClosedPort();
    auto big = std::make_shared<QTemporaryFile>();
    ASSERT_TRUE(big->open());
    ASSERT_TRUE(big->resize(qint64(1) << 31)); // sparse: takes no room
    EXPECT_EQ(SendAndWait(sender, big), QString("Files of 2 GB or more cannot be sent."));
    sender.FromName = QByteArray(10000, 'n');
    EXPECT_EQ(SendAndWait(sender, Body("")),
              QString("The name is longer than 9999 bytes and cannot be sent."));
    EXPECT_FALSE(connected);
}

TEST(StrmSender, AFailedConnectIsToldAndTheNextSendWorks)
{
    TStrmSender sender;
    int failed = 0;
    QObject::connect(&sender, &TStrmSender::ConnectionFailed, [&] { ++failed; });
    EXPECT_EQ(Send(sender, ClosedPort(), "a", "abc"), QString("Connection Failed"));
    EXPECT_EQ(failed, 1);

    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    EXPECT_EQ(Send(sender, peer.Port(), "a", "abc"), QString());
    ASSERT_TRUE(peer.Wait(5000));
    EXPECT_EQ(failed, 1);
}

TEST(StrmSender, AHostThatDoesNotResolveGetsOneMoreChance)
{
    // Names refused before any look-up goes out: nothing leaves the machine.
    const QString noName = QString();
    const QString badName = QStringLiteral("bad name");
    TStrmSender sender;
    sender.Port = ClosedPort();
    sender.Host = noName;
    EXPECT_EQ(SendAndWait(sender, Body("abc")), QString("Null Remote Address"));

    int asked = 0;
    sender.OnInvalidHost = [&]() -> std::optional<QString> {
        ++asked;
        return badName;
    };
    EXPECT_EQ(SendAndWait(sender, Body("abc")), QString("Null Remote Address"));
    EXPECT_EQ(asked, 1) << "asked once, not again for the second name";

    // A handler that mends the name gets the message through.
    TSeen seen;
    TRawTcpPeer peer(Receiver(seen));
    sender.Port = peer.Port();
    sender.Host = noName;
    sender.OnInvalidHost = [] { return std::optional<QString>(QStringLiteral("localhost")); };
    EXPECT_EQ(SendAndWait(sender, Body("abc")), QString());
    ASSERT_TRUE(peer.Wait(5000));
    EXPECT_TRUE(seen.Get().endsWith("abc"));
}

TEST(StrmSender, AConnectThatIsNeverAnsweredTimesOutOrIsCancelled)
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
    sender.ConnectLimitMs = 400; // instead of the 15 s a sender waits by default
    int failed = 0;
    QObject::connect(&sender, &TStrmSender::ConnectionFailed, [&] { ++failed; });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(SendAndWait(sender, Body("abc")), QString("Connection Timed out"));
    EXPECT_GE(clock.elapsed(), sender.ConnectLimitMs - 50);
    EXPECT_LT(clock.elapsed(), sender.ConnectLimitMs + 2600);

    sender.ConnectLimitMs = 15000;
    QTimer::singleShot(100, &sender, [&] { sender.Cancel(); });
    clock.restart();
    EXPECT_EQ(SendAndWait(sender, Body("abc")), QString("Connection Canceled"));
    EXPECT_LT(clock.elapsed(), sender.ConnectLimitMs / 2);
    EXPECT_EQ(failed, 2);
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
        QObject::connect(&sender, &TStrmSender::Disconnected, [&] { ++disconnects; });
        EXPECT_EQ(Send(sender, peer.Port(), "a", "body"), NotAcknowledged) << answer.constData();
        EXPECT_EQ(disconnects, 1) << "closed before the failure is told";
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
    EXPECT_EQ(Send(sender, peer.Port(), "a", "abc"), QString("10060:Connection timed out"));
    const qint64 ms = clock.elapsed();
    EXPECT_GE(ms, sender.SilenceMs - 50);
    EXPECT_LT(CpuSeconds() - cpu, ms / 1000.0 / 2) << "waiting for the answer must not spin";
    ASSERT_TRUE(peer.Wait(5000));
}

TEST(StrmSender, AResetConnectionFailsWithTheSocketErrorText)
{
    TRawTcpPeer peer([](int fd) {
        TRawTcpPeer::ReadExactly(fd, 4 + 1 + 10);
        TRawTcpPeer::Reset(fd); // closed with a reset while the body comes
    });
    TStrmSender sender;
    EXPECT_EQ(Send(sender, peer.Port(), "a", QByteArray(64 << 20, 'z')),
              QString("10054:Connection reset by peer"));
    EXPECT_LT(sender.SentCount(), sender.TotalCount());
}

TEST(StrmSender, CancelEndsAWaitingSend)
{
    TRawTcpPeer peer([](int fd) { TRawTcpPeer::ReadToEnd(fd); });
    TStrmSender sender;
    QObject::connect(&sender, &TStrmSender::MessageSent, &sender, [&] { sender.Cancel(); });
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(Send(sender, peer.Port(), "a", "abc"), QString("Socket send aborted"));
    EXPECT_LT(clock.elapsed(), sender.SilenceMs / 10) << "far inside the silence limit";
    ASSERT_TRUE(peer.Wait(5000)) << "the receiver sees the connection end";
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
    EXPECT_EQ(Send(sender, peer.Port(), "big", QByteArray(32 << 20, 'q')), QString());
    const qint64 whole = clock.elapsed();
    // Held up for the transfer, the loop would miss nearly all of it; a busy machine stretches
    // both the gaps and the transfer.
    EXPECT_LT(longest, whole / 4) << "the event loop was held up (" << whole << " ms in all)";
    EXPECT_GT(ticks, 10) << "the transfer takes long enough to be watched";
}

TEST(StrmSender, AFileCutShortWhileItGoesOutFailsTheSend)
{
    // The file is in the page cache, so it goes out from there; the receiver cuts it short
    // once the first bytes are in, as another program truncating it would.
    constexpr qint64 Size = 32 << 20;
    QTemporaryFile file;
    ASSERT_TRUE(file.open());
    ASSERT_EQ(file.write(QByteArray(Size, 'f')), Size);
    ASSERT_TRUE(file.flush());
    const QByteArray path = QFile::encodeName(file.fileName());
    std::atomic<qint64> arrived = 0;
    TRawTcpPeer peer([&](int fd) {
        TRawTcpPeer::ReadExactly(fd, 4 + 1 + 10);
        arrived = TRawTcpPeer::ReadExactly(fd, 1 << 20).size();
        ::truncate(path.constData(), Size / 2);
        arrived += TRawTcpPeer::ReadToEnd(fd).size();
    });
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = peer.Port();
    sender.FromName = "f";
    auto body = std::make_shared<QFile>(file.fileName());
    ASSERT_TRUE(body->open(QIODevice::ReadOnly));
    const std::optional<QString> outcome = SendAndWait(sender, body);
    ASSERT_TRUE(outcome.has_value()) << "a file that ended early must end the send";
    EXPECT_EQ(*outcome, QString("The stream cannot be read: it ended before its size"));
    ASSERT_TRUE(peer.Wait(5000));
    EXPECT_LT(arrived.load(), Size);
}
