// A large file from one file transfer portal to another over loopback, as the user sends it:
// portal A's SelectAndSendFiles with the file's path (no dialog), portal B storing it into its
// receive folder and listing it, against a plain socket copy loop that reads the same file and
// writes a file, in turn in the same run. Reported: throughput of each (medians of the rounds)
// and their ratio, CPU seconds per GiB on the UI thread and in the whole process, the UI
// thread's longest wait against an idle loop, and the process's peak memory for a 64 MiB and the
// large file (after a first file of 1 MiB). The stored files are compared with the source in
// full.
// With --encrypted, each round also sends the file through the secure channel (both portals with
// keys of their own) and copies it over a bare TLS socket with the same suite, for the ratios of
// the encrypted portal to that copy and to the plain portal.
// Usage: PortalTransfer_bench [MiB] [folder] [rounds] [--encrypted]   (default 1024 MiB in a
// temporary folder, 5 rounds; runs offscreen)
#include "bench/BenchSupport.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "platform/crypto/TTlsStream.h"
#include "platform/ui/IUiServices.h"
#include "platform/ui/TApplication.h"
#include "platform/ui/TUiServices.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"
#include "transfer/TfrmTransfer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <sys/mman.h>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace {

constexpr qint64 MiB = 1048576;

// Stands in for the message boxes: each is answered OK (No to a question) and its text kept, so
// that any box but the success message marks the run as failed.
class TBenchUi : public IUiServices
{
public:
    QStringList shown;

    bool Failed() const
    {
        for (const QString& s : shown)
            if (s != QStringLiteral("information: ") + TfrmTransfer::SuccessText())
                return true;
        return false;
    }

    void ShowMessage(const QString& text) override { Keep("message", text); }
    void Information(const QString& text) override { Keep("information", text); }
    void Warning(const QString& text) override { Keep("warning", text); }
    void Error(const QString& text) override { Keep("error", text); }
    void CaptionedError(const QString&, const QString& text) override { Keep("error", text); }
    bool Confirm(const QString& text) override
    {
        Keep("confirm", text);
        return false;
    }
    bool WarningConfirm(const QString& text) override
    {
        Keep("confirm", text);
        return false;
    }
    void ShowPropertyFrame(const QString& caption, const std::vector<PropertyPagePtr>&) override
    {
        Keep("properties", caption);
    }
    std::optional<QStringList> OpenFiles(const TOpenFileRequest& request) override
    {
        Keep("open", request.title);
        return std::nullopt;
    }
    std::optional<QString> PickFolder(const QString& title) override
    {
        Keep("folder", title);
        return std::nullopt;
    }
    std::optional<QString> InputBox(const QString& caption, const QString&, const QString&) override
    {
        Keep("input", caption);
        return std::nullopt;
    }

private:
    void Keep(const char* kind, const QString& text)
    {
        shown << QString::fromLatin1(kind) + QStringLiteral(": ") + text;
    }
};

// Two portals in this process, as two copies of the program would have them: A sends to B over
// loopback. Each has its own host-name field, receive folder and list file beneath root.
struct TPortals
{
    QString hostA = QStringLiteral("127.0.0.1");
    QString hostB;
    QString folderA;
    QString folderB;
    std::unique_ptr<TfrmTransfer> a;
    std::unique_ptr<TfrmTransfer> b;
};

std::unique_ptr<TfrmTransfer> MakePortal(QString* field, QString* folder, const QString& list)
{
    TPortalHost host;
    host.prompt = QStringLiteral("Enter Host Name To Call");
    host.hostName = [field] { return *field; };
    host.offerHostName = [field](const QString& text) {
        *field = text;
        return true;
    };
    host.receiveFolder = [folder] { return *folder; };
    return std::make_unique<TfrmTransfer>(std::move(host), quint16(0), nullptr, list);
}

void MakePortals(TPortals& p, const QString& root)
{
    p.folderA = QDir(root).filePath(QStringLiteral("a-in"));
    p.folderB = QDir(root).filePath(QStringLiteral("in"));
    QDir().mkpath(p.folderA);
    QDir().mkpath(p.folderB);
    p.a = MakePortal(&p.hostA, &p.folderA, QDir(root).filePath(QStringLiteral("a.lst")));
    p.b = MakePortal(&p.hostB, &p.folderB, QDir(root).filePath(QStringLiteral("b.lst")));
    p.a->StrmSend1->Port = p.b->StrmRec1->LocalPort();
    // Shown, as a hidden portal would open modally at the first contact.
    p.b->show();
}

// Bytes that differ from word to word, so a block lost, repeated or out of place shows.
bool WriteSource(const QString& path, qint64 size)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    std::vector<quint64> block(MiB / 8);
    quint64 x = 0x9E3779B97F4A7C15ull ^ quint64(size);
    for (qint64 done = 0; done < size;) {
        for (quint64& word : block) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            word = x;
        }
        const qint64 n = qMin(MiB, size - done);
        if (f.write(reinterpret_cast<const char*>(block.data()), n) != n)
            return false;
        done += n;
    }
    f.close();
    return f.error() == QFileDevice::NoError;
}

bool SameBytes(const QString& a, const QString& b)
{
    QFile fa(a);
    QFile fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    QByteArray ba(MiB, Qt::Uninitialized);
    QByteArray bb(MiB, Qt::Uninitialized);
    for (;;) {
        const qint64 na = fa.read(ba.data(), MiB);
        const qint64 nb = fb.read(bb.data(), MiB);
        if (na != nb || na < 0)
            return false;
        if (na == 0)
            return true;
        if (memcmp(ba.constData(), bb.constData(), size_t(na)) != 0)
            return false;
    }
}

// The share of the file's pages in the page cache, in percent; -1 when it cannot be told.
int CachedPercent(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
    if (fd < 0)
        return -1;
    const off_t size = ::lseek(fd, 0, SEEK_END);
    void* map = size > 0 ? ::mmap(nullptr, size_t(size), PROT_READ, MAP_SHARED, fd, 0) : MAP_FAILED;
    ::close(fd);
    if (map == MAP_FAILED)
        return -1;
    const long page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident(size_t((size + page - 1) / page));
    int percent = -1;
    if (::mincore(map, size_t(size), resident.data()) == 0) {
        qint64 in = 0;
        for (unsigned char r : resident)
            in += r & 1;
        percent = int(in * 100 / qint64(resident.size()));
    }
    ::munmap(map, size_t(size));
    return percent;
}

// Writes the folder's file system's dirty pages back, so no run pays for an earlier one's.
void SyncFolder(const QString& path)
{
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::syncfs(fd);
        ::close(fd);
    }
}

// How late a 5 ms timer on the UI thread fires at worst while it runs: the longest time the
// window could not answer.
class TGapMeter
{
public:
    TGapMeter()
    {
        timer_.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            maxMs_ = qMax(maxMs_, double(clock_.nsecsElapsed()) / 1e6 - IntervalMs);
            clock_.restart();
        });
        clock_.start();
        timer_.start(IntervalMs);
    }
    double MaxMs() const { return qMax(0.0, maxMs_); }

private:
    static constexpr int IntervalMs = 5;
    QTimer timer_;
    QElapsedTimer clock_;
    double maxMs_ = 0;
};

// The same meter over an idle event loop of that length: what the machine itself costs.
double IdleGapMs(int ms)
{
    TGapMeter meter;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        WaitForEvents(10);
    return meter.MaxMs();
}

// From the call until B lists the entry and A is acknowledged; bytes is the size of the file the
// entry names.
TResult ThroughPortals(TPortals& p, TBenchUi& ui, const QString& source, QString* stored)
{
    TResult r;
    const int before = p.b->lstFilesReceived->count();
    ui.shown.clear();
    const qint64 base = StatusKiB("VmRSS:");
    ResetPeak();
    QElapsedTimer clock;
    const double cpu0 = ThreadCpu();
    const double process0 = ProcessCpu();
    clock.start();
    TGapMeter gaps;
    p.a->SelectAndSendFiles(QStringList{source});
    // Done when B lists the file and A has its acknowledgement (and shows the success box).
    while ((p.b->lstFilesReceived->count() == before || p.a->Sending()) && !ui.Failed() &&
           clock.elapsed() < 600000)
        WaitForEvents(10);
    r.seconds = clock.elapsed() / 1000.0;
    r.senderCpu = ThreadCpu() - cpu0;
    r.processCpu = ProcessCpu() - process0;
    r.maxGapMs = gaps.MaxMs();
    r.peakKiB = StatusKiB("VmHWM:") - base;
    *stored = p.b->Entries().value(before);
    r.bytes = ui.Failed() || stored->isEmpty() ? 0 : QFileInfo(*stored).size();
    // The worker hands its end to the UI thread; the next run starts without it.
    QElapsedTimer settle;
    settle.start();
    while (p.b->StrmRec1->ClientCount() > 0 && settle.elapsed() < 10000)
        WaitForEvents(10);
    if (ui.Failed())
        for (const QString& s : ui.shown)
            std::printf("box shown: %s\n", qPrintable(s));
    return r;
}

// The plain copy's loop through TLS on blocking sockets: what any program pays for the channel,
// with nothing of ours around it.
TResult TlsCopy(QIODevice& source, const QString& path,
                const std::shared_ptr<const TTlsContext>& client,
                const std::shared_ptr<const TTlsContext>& server)
{
    auto end = [](const std::shared_ptr<const TTlsContext>& tls, int fd, bool isServer) {
        auto stream = std::make_shared<TTlsStream>(tls, fd, isServer);
        return stream->Handshake() == 1 ? stream : nullptr;
    };
    TCopyChannel channel;
    channel.receiving = [&](int fd) -> std::function<qint64(char*, qint64)> {
        return [stream = end(server, fd, true)](char* data, qint64 n) {
            return stream ? stream->Read(data, n) : -1;
        };
    };
    channel.sending = [&](int fd) -> std::function<qint64(const char*, qint64)> {
        return [stream = end(client, fd, false)](const char* data, qint64 n) {
            return stream ? stream->Write(data, n) : -1;
        };
    };
    return SocketCopy(source, path, channel);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    bool encrypted = false;
    for (int i = 1; i < argc; ++i)
        if (QByteArray(argv[i]) == "--encrypted") {
            encrypted = true;
            std::copy(argv + i + 1, argv + argc, argv + i);
            --argc;
            break;
        }
    const qint64 mib = argc > 1 ? qMax(1, atoi(argv[1])) : 1024;
    const int rounds = argc > 3 ? qBound(1, atoi(argv[3]), 50) : 5;
    QTemporaryDir dir(argc > 2 ? QString::fromLocal8Bit(argv[2]) + QStringLiteral("/portalXXXXXX")
                               : QDir::tempPath() + QStringLiteral("/portalXXXXXX"));
    const qint64 size = mib * MiB;
    const qint64 smallSize = 64 * MiB;
    if (!dir.isValid() ||
        QStorageInfo(dir.path()).bytesAvailable() < 2 * size + smallSize + (1 << 28)) {
        std::printf("not enough room in %s for two %lld MiB files\n", qPrintable(dir.path()), mib);
        return 1;
    }
    const double gib = double(size) / (1 << 30);
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    const QString big = dir.filePath(QStringLiteral("out/bench.bin"));
    const QString small = dir.filePath(QStringLiteral("out/small.bin"));
    const QString plainOut = dir.filePath(QStringLiteral("plain.bin"));
    if (!WriteSource(small, smallSize) || !WriteSource(big, size)) {
        std::printf("cannot write the files to send in %s\n", qPrintable(dir.path()));
        return 1;
    }

    auto script = std::make_unique<TBenchUi>();
    TBenchUi& ui = *script;
    TUiServices::Install(std::move(script));
    TPortals portals;
    MakePortals(portals, dir.path());
    // Keys of their own for the two portals, made only when asked for.
    std::optional<TIdentity> keyA;
    std::optional<TIdentity> keyB;
    std::shared_ptr<const TTlsContext> tlsA;
    std::shared_ptr<const TTlsContext> tlsB;
    bool secure = false;
    if (encrypted) {
        QString error;
        keyA.emplace(TIdentity::Load(dir.filePath(QStringLiteral("a.key"))));
        keyB.emplace(TIdentity::Load(dir.filePath(QStringLiteral("b.key"))));
        tlsA = TTlsContext::Make(*keyA, &error);
        tlsB = tlsA ? TTlsContext::Make(*keyB, &error) : nullptr;
        if (!tlsB) {
            std::printf("no TLS: %s\n", qPrintable(error));
            return 1;
        }
        portals.a->StrmSend1->Tls = tlsA;
        portals.a->StrmSend1->SecureFor = [&secure](const QHostAddress&) {
            return TStrmSender::TSecure{secure, {}};
        };
        portals.b->StrmRec1->SetSecure(tlsB, {});
    }

    // A first file of 1 MiB, so that what a first transfer sets up once (the windows' first
    // paint, the first connection) is not counted as the 64 MiB file's memory.
    QString stored;
    const QString warm = dir.filePath(QStringLiteral("out/warm.bin"));
    const bool warmOk = WriteSource(warm, MiB) &&
                        ThroughPortals(portals, ui, warm, &stored).bytes == MiB &&
                        SameBytes(warm, stored);
    QFile::remove(stored);
    SyncFolder(dir.path());
    const TResult smallRun = ThroughPortals(portals, ui, small, &stored);
    const bool smallOk = smallRun.bytes == smallSize && SameBytes(small, stored);
    QFile::remove(stored);

    // Rounds of the plain copy and the portal in turn, so that a slow spell of the machine
    // (a neighbour on the host, the disk writing back) falls on both; medians are compared.
    std::vector<TResult> plains;
    std::vector<TResult> portals2;
    int plainCached = 100;
    int portalCached = 100;
    bool plainOk = true;
    bool portalOk = true;
    double idleGap = 0;
    std::vector<TResult> tlsCopies;
    std::vector<TResult> securePortals;
    bool secureOk = true;
    for (int round = 0; round < rounds; ++round) {
        SyncFolder(dir.path());
        plainCached = qMin(plainCached, CachedPercent(big));
        QFile in(big);
        if (!in.open(QIODevice::ReadOnly)) {
            std::printf("cannot read %s\n", qPrintable(big));
            return 1;
        }
        plains.push_back(PlainCopy(in, plainOut));
        in.close();
        plainOk = plainOk && plains.back().bytes == size && SameBytes(big, plainOut);
        QFile::remove(plainOut);

        SyncFolder(dir.path());
        idleGap = qMax(idleGap, IdleGapMs(round == 0 ? 2000 : 500));
        portalCached = qMin(portalCached, CachedPercent(big));
        portals2.push_back(ThroughPortals(portals, ui, big, &stored));
        portalOk = portalOk && portals2.back().bytes == size && SameBytes(big, stored);
        QFile::remove(stored);
        if (!encrypted)
            continue;
        SyncFolder(dir.path());
        QFile again(big);
        again.open(QIODevice::ReadOnly);
        tlsCopies.push_back(TlsCopy(again, plainOut, tlsA, tlsB));
        again.close();
        secureOk = secureOk && tlsCopies.back().bytes == size && SameBytes(big, plainOut);
        QFile::remove(plainOut);
        SyncFolder(dir.path());
        secure = true;
        securePortals.push_back(ThroughPortals(portals, ui, big, &stored));
        secure = false;
        secureOk = secureOk && securePortals.back().bytes == size && SameBytes(big, stored);
        QFile::remove(stored);
    }
    auto median = [](std::vector<TResult> runs, double TResult::*field) {
        std::sort(runs.begin(), runs.end(),
                  [field](const TResult& x, const TResult& y) { return x.*field < y.*field; });
        const size_t n = runs.size();
        return n % 2 ? runs[n / 2].*field : (runs[n / 2 - 1].*field + runs[n / 2].*field) / 2;
    };
    TResult plain;
    TResult portal;
    for (double TResult::*field :
         {&TResult::seconds, &TResult::senderCpu, &TResult::receiverCpu, &TResult::processCpu}) {
        plain.*field = median(plains, field);
        portal.*field = median(portals2, field);
    }
    plain.bytes = portal.bytes = size;
    for (const TResult& r : portals2) {
        portal.maxGapMs = qMax(portal.maxGapMs, r.maxGapMs);
        portal.peakKiB = qMax(portal.peakKiB, r.peakKiB);
    }

    auto rate = [&](const TResult& r) { return double(r.bytes) / MiB / r.seconds; };
    auto verdict = [](bool ok) { return ok ? "right" : "WRONG"; };
    std::printf("file sent: %lld MiB, read from the page cache by both sides (just written; at "
                "least %d%% of it cached before a plain copy, %d%% before a portal run), so the "
                "ratio is fair; dirty pages are written back before each run; medians of %d "
                "rounds, the two in turn\n",
                mib, plainCached, portalCached, rounds);
    std::printf("plain socket copy: %lld MiB in %.2f s, %.0f MiB/s; CPU per GiB: sender %.2f s, "
                "receiver %.2f s\n",
                size / MiB, plain.seconds, rate(plain), plain.senderCpu / gib,
                plain.receiverCpu / gib);
    std::printf("portal A to B:     %lld MiB in %.2f s, %.0f MiB/s; CPU per GiB: UI thread (A's "
                "sender, both windows) %.2f s\n",
                size / MiB, portal.seconds, rate(portal), portal.senderCpu / gib);
    std::printf("each round's seconds (plain/portal):");
    for (size_t i = 0; i < plains.size(); ++i)
        std::printf(" %.2f/%.2f", plains[i].seconds, portals2[i].seconds);
    std::printf("\nthroughput ratio (portal / plain copy): %.2f\n", rate(portal) / rate(plain));
    std::printf("process CPU per GiB (every thread): plain copy %.2f s, portal %.2f s\n",
                plain.processCpu / gib, portal.processCpu / gib);
    std::printf("UI thread's longest gap: %.1f ms during the %lld MiB transfers, %.1f ms idle\n",
                portal.maxGapMs, mib, idleGap);
    std::printf("peak memory above the start (the process: both portals; after a first 1 MiB "
                "file): %.1f MiB for 64 MiB, %.1f MiB for %lld MiB\n",
                smallRun.peakKiB / 1024.0, portal.peakKiB / 1024.0, mib);
    std::printf("stored files against the source (size, every byte): first 1 MiB %s, 64 MiB %s, "
                "%lld MiB %s; plain copy's file %s\n",
                verdict(warmOk), verdict(smallOk), mib, verdict(portalOk), verdict(plainOk));
    if (encrypted) {
        TResult tls;
        TResult sealed;
        for (double TResult::*field : {&TResult::seconds, &TResult::senderCpu,
                                       &TResult::receiverCpu, &TResult::processCpu}) {
            tls.*field = median(tlsCopies, field);
            sealed.*field = median(securePortals, field);
        }
        tls.bytes = sealed.bytes = size;
        for (const TResult& r : securePortals)
            sealed.peakKiB = qMax(sealed.peakKiB, r.peakKiB);
        std::printf("bare TLS 1.3 socket copy: %lld MiB in %.2f s, %.0f MiB/s; encrypted portal: "
                    "%.2f s, %.0f MiB/s, process CPU per GiB %.2f s (the bare copy %.2f s)\n",
                    size / MiB, tls.seconds, rate(tls), sealed.seconds, rate(sealed),
                    sealed.processCpu / gib, tls.processCpu / gib);
        std::printf("each round's seconds (bare TLS/encrypted portal):");
        for (size_t i = 0; i < tlsCopies.size(); ++i)
            std::printf(" %.2f/%.2f", tlsCopies[i].seconds, securePortals[i].seconds);
        std::printf("\nthroughput ratios: encrypted portal / bare TLS copy %.2f, encrypted portal "
                    "/ plain portal %.2f; peak memory %.1f MiB; files %s\n",
                    rate(sealed) / rate(tls), rate(sealed) / rate(portal), sealed.peakKiB / 1024.0,
                    verdict(secureOk));
    }
    return warmOk && smallOk && portalOk && plainOk && secureOk ? 0 : 1;
}
