// A disk that is slow to read or to store stalls neither the window's thread nor the other
// connections being received.
#include "tests/support/TRawTcpClient.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include <fcntl.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

QByteArray Frame(const QByteArray& name, const QByteArray& body)
{
    return TStrmFraming::NameHeader(name) + TStrmFraming::BodyLength(body.size()) + body;
}

// A file whose every read takes DelayMs, as a disk that spins up or a network share would.
class TSlowDevice : public QIODevice
{
public:
    static constexpr int DelayMs = 120;
    explicit TSlowDevice(QByteArray bytes) : bytes_(std::move(bytes)) { open(ReadOnly); }
    qint64 size() const override { return bytes_.size(); }
    bool isSequential() const override { return false; }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        QThread::msleep(DelayMs);
        const qint64 n = qMin(max, bytes_.size() - pos());
        memcpy(data, bytes_.constData() + pos(), size_t(n));
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray bytes_;
};

} // namespace

TEST(StrmSlowDisk, AStoreThatHangsHoldsUpOnlyItsOwnConnection)
{
    QTemporaryDir dir;
    TStrmServer server;
    server.Port = 0;
    server.SpoolFolder = dir.path();
    std::mutex lock;
    std::condition_variable changed;
    bool inside = false;
    bool release = false;
    TStrmHandlers handlers;
    handlers.message = [&](const TStrmConnection&, const QByteArray& name, TSpooledStream&) {
        if (name != "slow")
            return true;
        std::unique_lock guard(lock);
        inside = true;
        changed.notify_all();
        changed.wait_for(guard, std::chrono::seconds(20), [&] { return release; });
        return true;
    };
    server.SetHandlers(handlers);
    ASSERT_TRUE(server.Listen());

    TRawTcpClient slow(server.LocalPort());
    ASSERT_TRUE(slow.Send(Frame("slow", QByteArray(3 << 20, 's'))));
    ASSERT_TRUE(TRawTcpClient::PumpUntil(
        [&] {
            std::lock_guard guard(lock);
            return inside;
        },
        10000));
    // While that store hangs, another sender's file comes and goes.
    TRawTcpClient fast(server.LocalPort());
    ASSERT_TRUE(fast.Send(Frame("fast", QByteArray(3 << 20, 'f'))));
    EXPECT_EQ(fast.Read(16, 10000), TStrmFraming::Acknowledgement());
    EXPECT_TRUE(slow.Read(16, 50).isEmpty()) << "acknowledged before it was stored";
    {
        std::lock_guard guard(lock);
        release = true;
    }
    changed.notify_all();
    EXPECT_EQ(slow.Read(16, 10000), TStrmFraming::Acknowledgement());
}

// A server that keeps the one body it stores, and a sender to it that tells how its send ended.
struct TSendToStore
{
    QTemporaryDir dir;
    TStrmServer server;
    QByteArray stored;
    TStrmSender sender;
    QString outcome;

    TSendToStore()
    {
        server.Port = 0;
        server.SpoolFolder = dir.path();
        TStrmHandlers handlers;
        handlers.message = [this](const TStrmConnection&, const QByteArray&, TSpooledStream& body) {
            stored = body.readAll();
            return true;
        };
        server.SetHandlers(handlers);
        sender.Host = QStringLiteral("127.0.0.1");
        sender.FromName = "file.bin";
        QObject::connect(&sender, &TStrmSender::Done, [this] { outcome = "done"; });
        QObject::connect(&sender, &TStrmSender::Failed,
                         [this](const QString& why) { outcome = why; });
    }
    bool Send(std::shared_ptr<QIODevice> body)
    {
        if (!server.Listen())
            return false;
        sender.Port = server.LocalPort();
        return sender.Send(std::move(body)) &&
               TRawTcpClient::PumpUntil([this] { return !outcome.isEmpty(); }, 30000);
    }
};

TEST(StrmSlowDisk, ASlowReadDoesNotStallTheSendingThread)
{
    TSendToStore t;
    QByteArray bytes(2 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 4096);
    // How long a 5 ms timer was kept from firing, in waits as long as one slow read or longer,
    // while the file is read beside it. Reads on this thread would hold it up for every one of
    // them (2 MiB in reads of at most 256 KiB: 8 or more); a busy machine, now and then.
    QElapsedTimer since;
    qint64 stalledMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 gap = since.restart();
        if (gap >= TSlowDevice::DelayMs)
            stalledMs += gap;
    });
    since.start();
    tick.start(5);
    ASSERT_TRUE(t.Send(std::make_shared<TSlowDevice>(bytes)));
    tick.stop();
    EXPECT_EQ(t.outcome, QString("done"));
    EXPECT_TRUE(t.stored == bytes) << "the body arrived whole and in order";
    const qint64 reads = bytes.size() / (256 * 1024);
    EXPECT_LT(stalledMs, reads * TSlowDevice::DelayMs / 2) << "the window waited for the disk";
}

TEST(StrmSlowDisk, AFileOnlyPartlyInThePageCacheGoesOutWhole)
{
    TSendToStore t;
    // Written, put on the disk, and then dropped from the page cache in stretches: the sender
    // finds some blocks there and has the rest read by a worker, in order.
    QByteArray bytes(20 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 13 + i / 65536);
    auto file = std::make_shared<QFile>(t.dir.filePath("partly.bin"));
    ASSERT_TRUE(file->open(QIODevice::ReadWrite));
    ASSERT_EQ(file->write(bytes), bytes.size());
    ASSERT_TRUE(file->flush());
    ASSERT_EQ(::fsync(file->handle()), 0);
    for (qint64 at = 0; at < bytes.size(); at += 8 << 20)
        ::posix_fadvise(file->handle(), at, 4 << 20, POSIX_FADV_DONTNEED);
    char probe[4096];
    iovec part{probe, sizeof probe};
    if (::preadv2(file->handle(), &part, 1, 0, RWF_NOWAIT) == qint64(sizeof probe))
        GTEST_SKIP() << "this file system keeps the file in memory";
    ASSERT_TRUE(t.Send(file));
    EXPECT_EQ(t.outcome, QString("done"));
    EXPECT_TRUE(t.stored == bytes) << "the body arrived whole and in order";
}
