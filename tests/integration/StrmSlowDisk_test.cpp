// A disk that is slow to read or to store stalls neither the window's thread nor the other
// connections being received.
#include "tests/support/TRawTcpClient.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

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

TEST(StrmSlowDisk, ASlowReadDoesNotStallTheSendingThread)
{
    QTemporaryDir dir;
    TStrmServer server;
    server.Port = 0;
    server.SpoolFolder = dir.path();
    QByteArray stored;
    TStrmHandlers handlers;
    handlers.message = [&](const TStrmConnection&, const QByteArray&, TSpooledStream& body) {
        stored = body.readAll();
        return true;
    };
    server.SetHandlers(handlers);
    ASSERT_TRUE(server.Listen());

    QByteArray bytes(2 << 20, Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 7 + i / 4096);
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = server.LocalPort();
    sender.FromName = "slow.bin";
    QString outcome;
    QObject::connect(&sender, &TStrmSender::Done, [&] { outcome = "done"; });
    QObject::connect(&sender, &TStrmSender::Failed, [&](const QString& why) { outcome = why; });
    // How late a 5 ms timer fires at worst while the file is read slowly beside it.
    QElapsedTimer since;
    qint64 worstMs = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] { worstMs = qMax(worstMs, since.restart()); });
    since.start();
    tick.start(5);
    ASSERT_TRUE(sender.Send(std::make_shared<TSlowDevice>(bytes)));
    ASSERT_TRUE(TRawTcpClient::PumpUntil([&] { return !outcome.isEmpty(); }, 30000));
    tick.stop();
    EXPECT_EQ(outcome, QString("done"));
    EXPECT_TRUE(stored == bytes) << "the body arrived whole and in order";
    EXPECT_LT(worstMs, TSlowDevice::DelayMs / 2) << "the window waited for the disk";
}
