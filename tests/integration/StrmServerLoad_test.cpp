// The receiving stream server under load: the cap on connections received at once, bodies
// spooled to disk, a 1 GiB body from our sender, and a server that goes while it receives.
#include "tests/integration/StrmServerProbe.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <fstream>
#include <memory>
#include <string>

namespace {

// A body of any size made up as it is read: byte i is Pattern(i), nothing is held.
char Pattern(qint64 i)
{
    return char((i * 7 + (i >> 13)) & 0xFF);
}

class TPatternDevice : public QIODevice
{
public:
    explicit TPatternDevice(qint64 size) : size_(size) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return false; }
    qint64 size() const override { return size_; }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 n = qMin(max, size_ - pos());
        for (qint64 i = 0; i < n; ++i)
            data[i] = Pattern(pos() + i);
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 size_;
};

// A line of /proc/self/status in KiB ("VmRSS", "VmHWM").
qint64 StatusKiB(const std::string& key)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(key + ":", 0) == 0)
            return std::stoll(line.substr(key.size() + 1));
    }
    return -1;
}

// Starts the peak of the resident set anew from now; false where the kernel cannot.
bool ResetPeakMemory()
{
    std::ofstream refs("/proc/self/clear_refs");
    refs << "5";
    refs.flush();
    return bool(refs);
}

QStringList FilesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

TEST(StrmServerLoad, TwentyConnectionsAtOnceMeetTheCapOfEight)
{
    constexpr int Peers = 20;
    constexpr int Cap = TStrmServer::MaxClients;
    TServerProbe probe;
    std::atomic<int> maxLiveInMsg{0};
    probe.Inspect = [&](TSpooledStream&) {
        const int live = probe.server.ClientCount();
        int seen = maxLiveInMsg;
        while (live > seen && !maxLiveInMsg.compare_exchange_weak(seen, live)) {
        }
    };
    std::vector<std::unique_ptr<TRawTcpClient>> peers;
    auto closed = [&] {
        int n = 0;
        for (const auto& peer : peers)
            n += peer->PeerClosed() ? 1 : 0;
        return n;
    };
    // Every peer connects, each from an address of its own (one address holds at most three),
    // and holds its connection without a byte; those over the cap are closed at once.
    for (int i = 0; i < Peers; ++i) {
        const QByteArray from = "127.0.0." + QByteArray::number(i + 1);
        peers.push_back(std::make_unique<TRawTcpClient>(probe.Port(), 5000, from.constData()));
        ASSERT_TRUE(peers.back()->IsConnected()) << i;
        ASSERT_TRUE(TRawTcpClient::PumpUntil(
            [&] { return probe.Count("contact") + closed() == i + 1; }, 5000))
            << i;
    }
    TRawTcpClient::PumpUntil([] { return false; }, 100);
    EXPECT_EQ(closed(), Peers - Cap) << "none of the held connections is closed";
    EXPECT_EQ(probe.Count("contact"), Cap);
    EXPECT_EQ(probe.server.ClientCount(), Cap);

    // The held ones are received as usual.
    int answered = 0;
    for (size_t i = 0; i < peers.size(); ++i) {
        if (peers[i]->PeerClosed())
            continue;
        ASSERT_TRUE(peers[i]->Send(Frame("held" + QByteArray::number(int(i)), "body")));
        answered += peers[i]->Read(Ack.size()) == Ack ? 1 : 0;
        peers[i]->Close();
    }
    EXPECT_EQ(answered, Cap);
    ASSERT_TRUE(probe.WaitDisconnects(Cap));
    EXPECT_EQ(probe.Count("disconnect"), Cap);
    EXPECT_EQ(probe.Messages().size(), size_t(Cap));
    EXPECT_LE(maxLiveInMsg, Cap);
    EXPECT_GE(maxLiveInMsg, 1);

    EXPECT_EQ(Exchange(probe.Port(), "after", "ok"), Ack);
    ASSERT_TRUE(probe.WaitDisconnects(Cap + 1));
    EXPECT_EQ(probe.Messages().back().name, QByteArray("after"));
}

TEST(StrmServerLoad, BodiesOverOneMebibyteAreSpooledAndMovedIntoPlace)
{
    QTemporaryDir spool;
    ASSERT_TRUE(spool.isValid());
    QTemporaryDir received;
    ASSERT_TRUE(received.isValid());
    TServerProbe probe;
    probe.server.SpoolFolder = spool.path();
    QByteArray body(TSpooledStream::MemoryLimit + 1000, Qt::Uninitialized);
    for (qint64 i = 0; i < body.size(); ++i)
        body[i] = Pattern(i);

    // The handler keeps the first body by moving it, and leaves the others.
    struct TSpoolSeen
    {
        bool spooled = false;
        QString file;
        ino_t inode = 0;
        bool moved = false;
    };
    std::mutex lock;
    std::vector<TSpoolSeen> seen;
    const QString target = received.filePath(QStringLiteral("kept.bin"));
    probe.Inspect = [&](TSpooledStream& strm) {
        TSpoolSeen s;
        s.spooled = strm.IsSpooled();
        s.file = strm.FileName();
        struct stat st
        {};
        if (!s.file.isEmpty() && ::stat(QFile::encodeName(s.file).constData(), &st) == 0)
            s.inode = st.st_ino;
        std::lock_guard guard(lock);
        if (seen.empty())
            s.moved = strm.MoveTo(target);
        seen.push_back(s);
    };
    probe.KeepBody = false;
    EXPECT_EQ(Exchange(probe.Port(), "kept.bin", body), Ack);
    EXPECT_EQ(Exchange(probe.Port(), "left.bin", body), Ack);
    EXPECT_EQ(Exchange(probe.Port(), "small.bin", body.left(TSpooledStream::MemoryLimit)), Ack);
    ASSERT_TRUE(probe.WaitDisconnects(3));

    std::lock_guard guard(lock);
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen[0].spooled);
    EXPECT_EQ(QFileInfo(seen[0].file).absolutePath(), QDir(spool.path()).absolutePath());
    EXPECT_TRUE(seen[0].moved);
    struct stat st
    {};
    ASSERT_EQ(::stat(QFile::encodeName(target).constData(), &st), 0);
    EXPECT_EQ(st.st_ino, seen[0].inode) << "renamed into place, not copied";
    QFile kept(target);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_TRUE(kept.readAll() == body) << "the moved file holds the whole body";

    EXPECT_TRUE(seen[1].spooled);
    EXPECT_NE(seen[1].inode, 0u) << "the spool file existed while the handler ran";
    EXPECT_FALSE(QFileInfo::exists(seen[1].file)) << "a body not moved goes with its stream";
    EXPECT_FALSE(seen[2].spooled) << "exactly 1 MiB stays in memory";
    EXPECT_TRUE(FilesIn(spool.path()).isEmpty()) << FilesIn(spool.path()).join(' ').toStdString();
    for (const TSeenMessage& m : probe.Messages()) {
        EXPECT_TRUE(m.complete);
        EXPECT_EQ(m.size, m.total);
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool Sanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool Sanitized = true;
#else
constexpr bool Sanitized = false;
#endif
#else
constexpr bool Sanitized = false;
#endif

TEST(StrmServerLoad, AGibibyteFromOurSenderKeepsTheReceiversMemoryFlat)
{
    constexpr qint64 Size = qint64(1) << 30;
    constexpr qint64 MaxGrowthKiB = 64 * 1024;
    QTemporaryDir spool;
    ASSERT_TRUE(spool.isValid());
    if (QStorageInfo(spool.path()).bytesAvailable() < 2 * Size)
        GTEST_SKIP() << "less than 2 GiB free under " << spool.path().toStdString();
    TServerProbe probe;
    probe.server.SpoolFolder = spool.path();
    probe.KeepBody = false;
    // Samples of the body's bytes, checked on the worker while the spool file is there.
    std::atomic<int> wrongSamples{-1};
    std::atomic<bool> spooled{false};
    probe.Inspect = [&](TSpooledStream& strm) {
        spooled = strm.IsSpooled() &&
                  QFileInfo(strm.FileName()).absolutePath() == QDir(spool.path()).absolutePath();
        int wrong = 0;
        for (const qint64 at : {qint64(0), Size / 3, Size / 2 + 12345, Size - 4096}) {
            strm.seek(at);
            const QByteArray got = strm.read(4096);
            for (qint64 i = 0; i < 4096; ++i)
                wrong += i >= got.size() || got[i] != Pattern(at + i) ? 1 : 0;
        }
        wrongSamples = wrong;
    };

    const bool peakReset = ResetPeakMemory();
    const qint64 rssBefore = StatusKiB("VmRSS");
    const qint64 peakBefore = StatusKiB("VmHWM");
    qint64 rssMax = rssBefore;
    qint64 nextSample = 0;
    TStrmSender sender;
    QObject::connect(&sender, &TStrmSender::Progress, [&](qint64 sent, qint64) {
        if (sent < nextSample)
            return;
        rssMax = qMax(rssMax, StatusKiB("VmRSS"));
        nextSample += 64 << 20;
    });
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = probe.Port();
    sender.FromName = "big.bin";
    QElapsedTimer clock;
    clock.start();
    const std::optional<QString> outcome =
        SendAndWait(sender, std::make_shared<TPatternDevice>(Size), 240000);
    const qint64 ms = clock.elapsed();
    ASSERT_TRUE(probe.WaitDisconnects(1, 60000));
    const qint64 peakAfter = StatusKiB("VmHWM");
    rssMax = qMax(rssMax, StatusKiB("VmRSS"));

    EXPECT_EQ(outcome, QString()) << "acknowledged";
    ASSERT_EQ(probe.Messages().size(), 1u);
    EXPECT_EQ(probe.Messages()[0].size, Size);
    EXPECT_TRUE(probe.Messages()[0].complete);
    EXPECT_TRUE(spooled);
    EXPECT_EQ(wrongSamples, 0);
    EXPECT_TRUE(FilesIn(spool.path()).isEmpty()) << "the spool file is gone";
    // Under the address sanitizer every freed block waits in its quarantine (256 MiB), so
    // resident memory measures the sanitizer there, not the transfer.
    if (!Sanitized) {
        EXPECT_LT(rssMax - rssBefore, MaxGrowthKiB) << "resident set while sending";
    }
    if (peakReset && !Sanitized) {
        EXPECT_LT(peakAfter - peakBefore, MaxGrowthKiB) << "peak of the resident set";
    }
    std::cout << "1 GiB in " << ms << " ms; VmRSS before " << rssBefore << " KiB, highest sample "
              << rssMax << " KiB; VmHWM " << peakBefore << " -> " << peakAfter << " KiB"
              << (peakReset ? "" : " (peak not reset)") << std::endl;
}

TEST(StrmServerLoad, AServerThatGoesEndsItsConnectionsAndWaitsForItsHandlers)
{
    auto probe = std::make_unique<TServerProbe>();
    // One connection inside its handler, one mid-body under the 30 s silence limit.
    std::atomic<bool> inHandler{false};
    std::atomic<bool> handlerDone{false};
    probe->Inspect = [&](TSpooledStream&) {
        inHandler = true;
        QThread::msleep(300);
        handlerDone = true;
    };
    TRawTcpClient delivered(probe->Port());
    ASSERT_TRUE(delivered.Send(Frame("slow handler", "x")));
    TRawTcpClient midBody(probe->Port());
    ASSERT_TRUE(midBody.Send(Frame("mid", QByteArray(100, 'm')).left(30)));
    ASSERT_TRUE(TRawTcpClient::PumpUntil(
        [&] { return inHandler && probe->server.ClientCount() == 2; }, 5000));

    QElapsedTimer clock;
    clock.start();
    probe.reset();
    const qint64 ms = clock.elapsed();
    EXPECT_TRUE(handlerDone) << "the handler ended before the server went";
    EXPECT_LT(ms, TStrmServer::ClientSilenceMs / 10) << "far inside the silence limit";
    const std::optional<QByteArray> rest = midBody.ReadToClose(2000);
    ASSERT_TRUE(rest.has_value()) << "the connection mid-body is closed";
    EXPECT_EQ(delivered.Read(Ack.size()), Ack) << "a message stored is acknowledged";
    // Nothing is left to run for the server that went.
    TRawTcpClient::PumpUntil([] { return false; }, 50);
}
