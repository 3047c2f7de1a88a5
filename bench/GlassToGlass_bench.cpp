// Glass-to-glass latency of the video between two copies on loopback: a sending process runs
// the test camera at 1280 x 720, 30 fps, and sends every frame it gets as the main window does;
// this process receives, decodes and paints them. The test camera stamps each picture with its
// frame number and tells when it made it (parlavue.latency); the receiver tells when it showed
// that number. Both tell the machine's monotonic clock, so the difference is the frame's way
// from the camera to the screen. Reported as median and 95th percentile against the frame
// interval, for the camera's pixels encoded here and for its own JPEG passed through.
// With --sealed, a call's pictures (the camera's pixels) and its voice (a tone each way, Opus
// over RTP) go plain and encrypted (sealed pictures, SRTP voice) in turn, twice each, and the
// CPU time of both processes is compared.
// Usage: GlassToGlass_bench [seconds per mode] [--sealed]   (runs offscreen)
#include "bench/BenchCamera.h"
#include "calls/TCallPorts.h"
#include "calls/TVideoLink.h"
#include "platform/camera/ICamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"
#include "platform/voice/gst/TGstVoiceLink.h"
#include "widgets/TImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr double kFrameIntervalMs = 1000.0 / 30;

// The two directions' secrets of the sealed runs.
TCallKeys::TSecret Secret(unsigned char seed)
{
    TCallKeys::TSecret s{};
    for (size_t i = 0; i < s.size(); ++i)
        s[i] = uchar(seed + i);
    return s;
}

void SealLink(TVideoLink& link, bool sender)
{
    link.Seal(std::make_unique<TVideoSealer>(Secret(sender ? 1 : 2)),
              std::make_unique<TVideoOpener>(Secret(sender ? 2 : 1)));
}

// The call's voice beside its pictures: a tone from this side, whatever comes played into
// nothing, between ports of its own on loopback; with keys when sealed.
std::unique_ptr<TGstVoiceLink> StartVoice(bool sender, bool sealed)
{
    TGstVoiceLink::Options o;
    o.sourceDescription =
        QStringLiteral("audiotestsrc is-live=true wave=sine freq=%1").arg(sender ? 440 : 660);
    o.sinkDescription = QStringLiteral("fakesink sync=true");
    auto link = std::make_unique<TGstVoiceLink>(std::move(o));
    std::shared_ptr<TVoiceKeys> keys;
    if (sealed) {
        keys = std::make_shared<TVoiceKeys>();
        std::fill(std::begin(keys->out), std::end(keys->out), sender ? 3 : 4);
        std::fill(std::begin(keys->in), std::end(keys->in), sender ? 4 : 3);
    }
    const int here = sender ? 18600 : 18602, there = sender ? 18602 : 18600;
    if (!link->Start({QStringLiteral("127.0.0.1"), there, here, keys}, {true, true}))
        std::fprintf(stderr, "the voice did not start\n");
    return link;
}

double CpuSeconds(int who)
{
    rusage use{};
    getrusage(who, &use);
    return double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           double(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

// Both processes' CPU time of the last Measure, and the frames it showed.
double lastCpu = 0;
size_t lastShown = 0;

void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// What parlavue.latency tells, as frame number -> microseconds.
QMap<quint32, qint64>* shownAt = nullptr;
const QRegularExpression kShown(QStringLiteral("^shown frame (\\d+) at (\\d+) us$"));
const QRegularExpression kMade(QStringLiteral("^test camera made frame (\\d+) at (\\d+) us$"));

void Collect(QtMsgType, const QMessageLogContext& context, const QString& text)
{
    if (qstrcmp(context.category, "parlavue.latency") != 0)
        return;
    if (shownAt) {
        if (const QRegularExpressionMatch m = kShown.match(text); m.hasMatch())
            shownAt->insert(m.captured(1).toUInt(), m.captured(2).toLongLong());
    } else {
        std::printf("%s\n", qPrintable(text));
        std::fflush(stdout);
    }
}

// The sending copy: the test camera in the mode asked for, every frame to the port.
int Send(quint16 port, const QByteArray& media, double seconds, bool sealed)
{
    TGstCameraSystem system(true);
    std::unique_ptr<ICamera> camera =
        bench::OpenTestCamera(system, media, 30, media == "video/x-raw" ? "BGR" : "");
    if (!camera)
        return 3;
    camera->SetGrabFormat(QImage::Format_BGR888);
    TCallPorts ports;
    ports.videoListen = 0;
    ports.videoPeer = port;
    TVideoLink link(ports);
    if (sealed)
        SealLink(link, true);
    link.Start(QHostAddress::LocalHost);
    // Only the --sealed comparison carries voice; the latency runs stay pictures alone.
    std::unique_ptr<TGstVoiceLink> voice;
    if (qEnvironmentVariableIsSet("PARLAVUE_BENCH_VOICE"))
        voice = StartVoice(true, sealed);
    camera->SetFrameHandler([&](const TCameraFrame& frame) { link.Send(frame); });
    QString error;
    if (!camera->Start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 4;
    }
    Idle(int(seconds * 1000));
    camera->Stop();
    return 0;
}

double Percentile(std::vector<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const size_t at = std::min(values.size() - 1, size_t(share * double(values.size() - 1) + 0.5));
    return values[at];
}

// Runs a sending copy in that mode and measures what this copy shows of it.
bool Measure(const QString& self, const QByteArray& media, const char* name, double seconds,
             bool sealed = false)
{
    const double cpuBefore = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN);
    QMap<quint32, qint64> shown;
    shownAt = &shown;
    TCallPorts ports;
    ports.videoListen = 0;
    TVideoLink link(ports);
    if (!link.Listen())
        return false;
    if (sealed)
        SealLink(link, false);
    link.Start(QHostAddress::LocalHost);
    std::unique_ptr<TGstVoiceLink> voice;
    if (qEnvironmentVariableIsSet("PARLAVUE_BENCH_VOICE"))
        voice = StartVoice(false, sealed);
    TImage video;
    video.resize(800, 450); // about the main window's video area
    link.SetDisplaySize(video.size(), video.devicePixelRatioF());
    video.show();
    // Shown means painted: the picture is drawn before the receiver tells its number.
    QObject::connect(&link, &TVideoLink::shown, &video,
                     [&](const QImage& picture, const QImage& display) {
                         video.SetPicture(picture, display);
                         video.repaint();
                     });

    QProcess sender;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("parlavue.latency.debug=true"));
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    sender.setProcessEnvironment(env);
    sender.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    sender.start(self, {QStringLiteral("--send"), QString::number(link.ListenPort()),
                        QString::fromLatin1(media), QString::number(seconds),
                        sealed ? QStringLiteral("sealed") : QStringLiteral("plain")});
    QMap<quint32, qint64> made;
    QByteArray pending;
    QElapsedTimer timer;
    timer.start();
    const qint64 limitMs = qint64(seconds * 1000) + 15000;
    while (sender.state() != QProcess::NotRunning && timer.elapsed() < limitMs) {
        Idle(20);
        pending += sender.readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(pending.left(end));
            pending.remove(0, end + 1);
            if (const QRegularExpressionMatch m = kMade.match(line); m.hasMatch())
                made.insert(m.captured(1).toUInt(), m.captured(2).toLongLong());
        }
    }
    if (sender.state() != QProcess::NotRunning) {
        sender.kill();
        sender.waitForFinished();
    }
    shownAt = nullptr;
    if (voice) {
        const TVoiceStats v = voice->Stats();
        std::printf("%-34s voice: %llu packets received, %s, %llu auth failures\n", "",
                    static_cast<unsigned long long>(v.packetsReceived),
                    v.encrypted ? "SRTP" : "plain",
                    static_cast<unsigned long long>(v.authFailures));
    }
    lastCpu = CpuSeconds(RUSAGE_SELF) + CpuSeconds(RUSAGE_CHILDREN) - cpuBefore;
    lastShown = size_t(shown.size());
    std::vector<double> delays;
    for (auto it = shown.cbegin(); it != shown.cend(); ++it)
        if (const auto m = made.constFind(it.key()); m != made.cend() && it.value() >= m.value())
            delays.push_back(double(it.value() - m.value()) / 1000.0);
    if (delays.size() < 10) {
        std::printf("%-34s too few frames matched (%zu made, %zu shown, %zu matched; sender "
                    "exit %d)\n",
                    name, size_t(made.size()), size_t(shown.size()), delays.size(),
                    sender.exitCode());
        return false;
    }
    const double median = Percentile(delays, 0.5);
    const double p95 = Percentile(delays, 0.95);
    std::printf("%-34s %4zu of %4zu frames shown; median %5.1f ms (%.2f intervals), 95th %5.1f "
                "ms (%.2f intervals), min %5.1f, max %5.1f\n",
                name, delays.size(), size_t(made.size()), median, median / kFrameIntervalMs, p95,
                p95 / kFrameIntervalMs, Percentile(delays, 0), Percentile(delays, 1));
    std::printf("%-34s goal: median <= 1.5 intervals (%.1f ms): %s\n", "", 1.5 * kFrameIntervalMs,
                median <= 1.5 * kFrameIntervalMs ? "met" : "missed");
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc == 6 && qstrcmp(argv[1], "--send") == 0) {
        QApplication app(argc, argv);
        qInstallMessageHandler(Collect);
        return Send(quint16(std::atoi(argv[2])), argv[3], std::atof(argv[4]),
                    qstrcmp(argv[5], "sealed") == 0);
    }
    QApplication app(argc, argv);
    qInstallMessageHandler(Collect);
    QLoggingCategory::setFilterRules(QStringLiteral("parlavue.latency.debug=true"));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::printf("glass to glass at 1280 x 720, 30 fps (frame interval %.1f ms), %.0f s each\n",
                kFrameIntervalMs, seconds);
    const QString self = QCoreApplication::applicationFilePath();
    if (argc > 2 && qstrcmp(argv[2], "--sealed") == 0) {
        qputenv("PARLAVUE_BENCH_VOICE", "1"); // the sending copies inherit it
        // In turn, so that the machine's other load falls on both alike.
        double cpu[2] = {0, 0};
        size_t frames[2] = {0, 0};
        bool ok = true;
        for (int round = 0; round < 4; ++round) {
            const bool sealed = round % 2 == 1;
            ok = Measure(self, "video/x-raw",
                         sealed ? "sealed, encoded here:" : "plain, encoded here:", seconds,
                         sealed) &&
                 ok;
            cpu[sealed] += lastCpu;
            frames[sealed] += lastShown;
        }
        std::printf("CPU of both processes: plain %.2f s, sealed %.2f s, ratio %.3f (goal <= "
                    "1.05); frames shown %.1f/s plain, %.1f/s sealed\n",
                    cpu[0], cpu[1], cpu[1] / cpu[0], frames[0] / (2 * seconds),
                    frames[1] / (2 * seconds));
        return ok && cpu[1] <= 1.05 * cpu[0] ? 0 : 1;
    }
    bool ok = Measure(self, "video/x-raw", "camera pixels, encoded here:", seconds);
    ok = Measure(self, "image/jpeg", "camera JPEG, passed through:", seconds) && ok;
    return ok ? 0 : 1;
}
