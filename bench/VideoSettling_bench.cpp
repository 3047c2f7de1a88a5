// Where the sending quality settles for the test camera's frames: every frame larger than one
// datagram lowers the quality by one, as the main window does, until frames fit.
// Usage: VideoSettling_bench   (runs offscreen; prints one line per frame size)
#include "capture/TGraphConfig.h"
#include "capture/TVCapModes.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/jpeg/TJpegEncoder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

namespace {

constexpr qsizetype MaxDatagram = 65507;

QList<QImage> GrabFrames(TGstCameraSystem& system, int width, int height, int count)
{
    TVideoCapture cap(system);
    cap.resize(264, 209);
    QList<QImage> frames;
    QObject::connect(&cap, &TVideoCapture::OnBitmapGrabbed,
                     [&](const QImage& frame) { frames << frame; });
    if (!cap.Initialize())
        return frames;
    TGraphConfig config;
    config.VCapSource = TGstCameraSystem::TestCameraName;
    config.WantPreview = true;
    config.WantBitmaps = true;
    config.PixelFormat = TPixelFormat::pf24bit;
    config.VCapMode.MediaSubType = TVCapModes::RGB24;
    config.VCapMode.Width = width;
    config.VCapMode.Height = height;
    config.VCapMode.Bits = 24;
    cap.ApplyConfig(config);
    QElapsedTimer timer;
    timer.start();
    while (frames.size() < count && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    cap.StopPreview();
    return frames;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    TGstCameraSystem system(true);
    for (const QSize size : {QSize(640, 480), QSize(1280, 720)}) {
        const QList<QImage> frames = GrabFrames(system, size.width(), size.height(), 120);
        if (frames.isEmpty()) {
            std::printf("%dx%d: no frames from the test camera\n", size.width(), size.height());
            return 1;
        }
        TJpegEncoder encoder;
        int quality = 100, failed = 0;
        qsizetype lastSize = 0;
        for (const QImage& frame : frames) {
            encoder.SetQuality(quality);
            lastSize = encoder.Compress(frame).size();
            if (lastSize <= MaxDatagram)
                continue;
            ++failed;
            if (quality > 1)
                --quality;
        }
        std::printf("%dx%d test pattern: %lld frames, quality settles at %d after %d dropped "
                    "frames (last frame %lld bytes)\n",
                    size.width(), size.height(), static_cast<long long>(frames.size()), quality,
                    failed, static_cast<long long>(lastSize));
    }
    return 0;
}
