// Glass-to-glass latency of the video between two copies on loopback: a sending process runs
// the test camera at 1280 x 720, 30 fps, and sends every frame it gets as the main window does;
// this process receives, decodes and paints them. The test camera stamps each picture with its
// frame number and tells when it made it (parlavue.latency); the receiver tells when it showed
// that number. Both tell the machine's monotonic clock, so the difference is the frame's way
// from the camera to the screen. Reported as median and 95th percentile against the frame
// interval, for the camera's pixels encoded here and for its own JPEG passed through.
// Usage: GlassToGlass_bench [seconds per mode]   (runs offscreen)
#include "bench/BenchCamera.h"
#include "calls/TCallPorts.h"
#include "calls/TVideoLink.h"
#include "platform/camera/ICamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "widgets/TImage.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QMap>
#include <QProcess>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr double kFrameIntervalMs = 1000.0 / 30;

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
int Send(quint16 port, const QByteArray& media, double seconds)
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
    link.Start(QHostAddress::LocalHost);
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
bool Measure(const QString& self, const QByteArray& media, const char* name, double seconds)
{
    QMap<quint32, qint64> shown;
    shownAt = &shown;
    TCallPorts ports;
    ports.videoListen = 0;
    TVideoLink link(ports);
    if (!link.Listen())
        return false;
    link.Start(QHostAddress::LocalHost);
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
                        QString::fromLatin1(media), QString::number(seconds)});
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
    if (argc == 5 && qstrcmp(argv[1], "--send") == 0) {
        QApplication app(argc, argv);
        qInstallMessageHandler(Collect);
        return Send(quint16(std::atoi(argv[2])), argv[3], std::atof(argv[4]));
    }
    QApplication app(argc, argv);
    qInstallMessageHandler(Collect);
    QLoggingCategory::setFilterRules(QStringLiteral("parlavue.latency.debug=true"));
    const double seconds = argc > 1 ? std::atof(argv[1]) : 10.0;
    std::printf("glass to glass at 1280 x 720, 30 fps (frame interval %.1f ms), %.0f s each\n",
                kFrameIntervalMs, seconds);
    const QString self = QCoreApplication::applicationFilePath();
    bool ok = Measure(self, "video/x-raw", "camera pixels, encoded here:", seconds);
    ok = Measure(self, "image/jpeg", "camera JPEG, passed through:", seconds) && ok;
    return ok ? 0 : 1;
}
