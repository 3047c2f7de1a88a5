// CPU per sent frame of a camera that sends JPEG, at 1280 x 720: its pictures sent as they came
// (with the preview decoded at a quarter of the size) against decoding each whole and encoding
// it again, as every frame went before. The pictures are the test camera's own, recorded once
// from its 1280 x 720, 30 fps JPEG mode, so both ways handle the same bytes; both send them to a
// socket on loopback, on this thread, and are timed in turns on this thread's CPU clock.
// Usage: CameraPassthrough_bench [frames per turn]   (runs offscreen)
#include "calls/TCallPorts.h"
#include "calls/TVideoLink.h"
#include "platform/camera/ICamera.h"
#include "platform/camera/gst/TGstCamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/jpeg/TJpegDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QUdpSocket>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double ThreadCpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

std::vector<QByteArray> RecordCameraPictures(int count)
{
    TGstCameraSystem system(true);
    QStringList names;
    system.Devices(names);
    std::unique_ptr<ICamera> camera =
        system.Open(int(names.indexOf(QString::fromLatin1(TGstCameraSystem::TestCameraName))));
    std::vector<QByteArray> pictures;
    if (!camera)
        return pictures;
    for (size_t i = 0; i < camera->Modes().size(); ++i) {
        const TCameraMode& m = camera->Modes()[i];
        if (m.Media == "image/jpeg" && m.Width == 1280 && m.Height == 720)
            camera->SetMode(int(i));
    }
    camera->SetFrameHandler([&](const TCameraFrame& frame) {
        if (int(pictures.size()) < count && !frame.jpeg.isEmpty())
            pictures.push_back(frame.jpeg);
    });
    QString error;
    if (!camera->Start(&error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return {};
    }
    QElapsedTimer timer;
    timer.start();
    while (int(pictures.size()) < count && timer.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    camera->Stop();
    return pictures;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 300;
    const std::vector<QByteArray> pictures = RecordCameraPictures(60);
    if (pictures.size() < 60) {
        std::fprintf(stderr, "the test camera gave %zu pictures\n", pictures.size());
        return 1;
    }
    qsizetype largest = 0;
    for (const QByteArray& p : pictures)
        largest = std::max(largest, p.size());

    QUdpSocket receiver;
    receiver.bind(QHostAddress::LocalHost, 0);
    TCallPorts ports;
    ports.videoListen = 0;
    ports.videoPeer = receiver.localPort();
    TVideoLink link(ports);
    link.Start(QHostAddress::LocalHost);

    const std::function<void(const QByteArray&)> passthrough = [&](const QByteArray& jpeg) {
        TCameraFrame frame;
        frame.jpeg = jpeg;
        frame.picture = *TJpegDecoder::DecodeScaled(jpeg, TGstCamera::PreviewSize);
        link.Send(frame);
    };
    const std::function<void(const QByteArray&)> reencode = [&](const QByteArray& jpeg) {
        TCameraFrame frame;
        frame.picture = *TJpegDecoder::Decode(jpeg);
        link.Send(frame);
    };
    struct TWay
    {
        const std::function<void(const QByteArray&)>* send;
        std::vector<double>* costs;
        quint64* sent;
    };
    // Turns of each, alternating, so that both see the machine in the same state.
    std::vector<double> through, again;
    quint64 sentThrough = 0, sentAgain = 0;
    for (int turn = 0; turn < 5; ++turn) {
        for (const TWay& way :
             {TWay{&passthrough, &through, &sentThrough}, TWay{&reencode, &again, &sentAgain}}) {
            double spent = 0;
            for (int i = 0; i < frames; ++i) {
                const double start = ThreadCpuMs();
                (*way.send)(pictures[size_t(i) % pictures.size()]);
                spent += ThreadCpuMs() - start;
                // Drained as it goes, outside the timing: the receiver is the peer's work.
                while (receiver.hasPendingDatagrams() && receiver.readDatagram(nullptr, 0) >= 0)
                    ++*way.sent;
            }
            way.costs->push_back(spent / frames);
        }
    }
    std::sort(through.begin(), through.end());
    std::sort(again.begin(), again.end());
    const double a = through[through.size() / 2], b = again[again.size() / 2];
    std::printf("camera JPEG 1280 x 720 (%zu pictures, largest %lld bytes), %d frames per turn, "
                "5 turns, median of turns:\n",
                pictures.size(), static_cast<long long>(largest), frames);
    std::printf("  sent as it came + quarter-size preview: %.2f ms CPU per frame (%llu sent)\n", a,
                static_cast<unsigned long long>(sentThrough));
    std::printf("  decoded whole + encoded again:           %.2f ms CPU per frame (%llu sent, "
                "quality %d)\n",
                b, static_cast<unsigned long long>(sentAgain), link.Quality());
    std::printf("  ratio %.3f (goal <= 0.25: %s); at 30 fps: %.1f %% against %.1f %% of a core\n",
                a / b, a / b <= 0.25 ? "met" : "missed", a * 3.0, b * 3.0);
    return 0;
}
