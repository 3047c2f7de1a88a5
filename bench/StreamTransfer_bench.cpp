// A large body over loopback: our sender to our server, which spools it to disk and renames it
// into place, against a plain socket copy loop that writes the same bytes to a file, in the same
// run. Reported: throughput of each and their ratio, CPU seconds per GiB on the sending thread
// and in the whole process, and the peak memory for a 64 MiB and the large body.
// Usage: StreamTransfer_bench [MiB] [folder]   (default 1024 MiB in a temporary folder)
#include "bench/BenchSupport.h"
#include "transfer/TSpooledStream.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <cstring>

using namespace bench;

namespace {

// A body of the given size made on the fly, so the sender side reads no disk.
class TPatternDevice : public QIODevice
{
public:
    explicit TPatternDevice(qint64 size) : size_(size), block_(Block, '\0')
    {
        for (qint64 i = 0; i < Block; ++i)
            block_[i] = char((i * 131) >> 3);
        open(QIODevice::ReadOnly);
    }
    qint64 size() const override { return size_; }
    bool isSequential() const override { return false; }

protected:
    qint64 readData(char* data, qint64 max) override
    {
        const qint64 n = qMin(max, size_ - pos());
        for (qint64 done = 0; done < n;) {
            const qint64 at = (pos() + done) % Block;
            const qint64 part = qMin(n - done, Block - at);
            memcpy(data + done, block_.constData() + at, size_t(part));
            done += part;
        }
        return n;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    qint64 size_;
    QByteArray block_;
};

TResult Ours(TStrmServer& server, qint64 size, const QString& path)
{
    TResult r;
    std::atomic<qint64> kept{0};
    TStrmHandlers handlers;
    handlers.message = [&](const TStrmConnection&, const QByteArray&, TSpooledStream& body) {
        const bool moved = body.MoveTo(path);
        if (moved)
            kept = body.size();
        return moved;
    };
    server.SetHandlers(handlers);
    const qint64 base = StatusKiB("VmRSS:");
    ResetPeak();
    TStrmSender sender;
    sender.Host = QStringLiteral("127.0.0.1");
    sender.Port = server.LocalPort();
    sender.FromName = "bench.bin";
    bool ended = false;
    QObject::connect(&sender, &TStrmSender::Done, [&] { ended = true; });
    QObject::connect(&sender, &TStrmSender::Failed, [&](const QString& why) {
        std::printf("not sent: %s\n", qPrintable(why));
        ended = true;
    });
    QElapsedTimer clock;
    const double cpu0 = ThreadCpu();
    const double process0 = ProcessCpu();
    clock.start();
    sender.Send(std::make_shared<TPatternDevice>(size));
    while (!ended && clock.elapsed() < 600000)
        WaitForEvents(10);
    r.seconds = clock.elapsed() / 1000.0;
    r.senderCpu = ThreadCpu() - cpu0;
    r.processCpu = ProcessCpu() - process0;
    r.peakKiB = StatusKiB("VmHWM:") - base;
    r.bytes = kept;
    return r;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const qint64 mib = argc > 1 ? qMax(1, atoi(argv[1])) : 1024;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/streamXXXXXX")
                               : QDir::tempPath() + QStringLiteral("/streamXXXXXX"));
    if (!dir.isValid() ||
        QStorageInfo(dir.path()).bytesAvailable() < 2 * mib * 1048576 + (1 << 28)) {
        std::printf("not enough room in %s for two %lld MiB files\n", qPrintable(dir.path()), mib);
        return 1;
    }
    const qint64 size = mib * 1048576;
    const double gib = double(size) / (1 << 30);

    TStrmServer server;
    server.Port = 0;
    server.SpoolFolder = dir.path();
    server.Listen();

    const TResult small = Ours(server, 64 << 20, dir.filePath(QStringLiteral("small.bin")));
    QFile::remove(dir.filePath(QStringLiteral("small.bin")));
    TPatternDevice pattern(size);
    const TResult plain = PlainCopy(pattern, dir.filePath(QStringLiteral("plain.bin")));
    QFile::remove(dir.filePath(QStringLiteral("plain.bin")));
    const TResult ours = Ours(server, size, dir.filePath(QStringLiteral("ours.bin")));
    QFile::remove(dir.filePath(QStringLiteral("ours.bin")));

    auto rate = [&](const TResult& r) { return double(r.bytes) / 1048576 / r.seconds; };
    std::printf("plain socket copy: %lld MiB in %.2f s, %.0f MiB/s; CPU per GiB: sending thread "
                "%.2f s, process %.2f s\n",
                plain.bytes >> 20, plain.seconds, rate(plain), plain.senderCpu / gib,
                plain.processCpu / gib);
    std::printf("stream message:    %lld MiB in %.2f s, %.0f MiB/s; CPU per GiB: sending thread "
                "%.2f s, process %.2f s\n",
                ours.bytes >> 20, ours.seconds, rate(ours), ours.senderCpu / gib,
                ours.processCpu / gib);
    std::printf("throughput ratio (stream message / plain copy): %.2f (goal: at least 0.8)\n",
                rate(ours) / rate(plain));
    std::printf("peak memory above the start: %.1f MiB for 64 MiB, %.1f MiB for %lld "
                "MiB (goal: the same, under 64 MiB)\n",
                small.peakKiB / 1024.0, ours.peakKiB / 1024.0, mib);
    return ours.bytes == size && small.bytes == (64 << 20) ? 0 : 1;
}
