// CPU per delivered frame of the camera path, as the main window runs it: the test camera at
// 1280 x 720 RGB24 30 fps, the preview painted, every frame the camera offers handed to the
// window as an image. Prints frames delivered per second and process CPU per frame;
// camera_path_cpu.py beside it sets the test source's own thread apart.
// Usage: CameraGrab_bench [seconds]   (runs offscreen)
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/gst/TGstCameraSystem.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;

    TGstCameraSystem system(true);
    TVideoCapture cap(system);
    cap.resize(264, 209);
    cap.show();
    int frames = 0;
    int wrongSize = 0;
    QObject::connect(&cap, &TVideoCapture::OnBitmapGrabbed, [&](const QImage& frame) {
        ++frames;
        if (frame.width() != 1280 || frame.height() != 720)
            ++wrongSize;
    });
    if (!cap.Initialize()) {
        std::fprintf(stderr, "no camera\n");
        return 1;
    }
    TGraphConfig config;
    config.LoadFromString(QStringLiteral(
        "WantCapture=0,WantDVAudio=0,WantAudio=0,WantAudioPreview=0,DoPreallocFile=0,"
        "UseTempFile=0,PreallocFileSize=1,DVResolution=0,PixelFormat=6,"
        "\"VCapSource=Test Pattern\",VCapModeMediaSubType=7DEB36E44F52CE119F530020AF0BA770,"
        "VCapModeWidth=1280,VCapModeHeight=720,VCapModeBits=24"));
    cap.ApplyConfig(config);
    if (!cap.Previewing()) {
        std::fprintf(stderr, "the preview did not start\n");
        return 1;
    }
    Idle(1000); // settle
    const int startFrames = frames;
    const double startCpu = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    Idle(int(seconds * 1000));
    const double wall = double(timer.elapsed()) / 1000.0;
    const double cpu = CpuSeconds() - startCpu;
    const int delivered = frames - startFrames;
    cap.StopPreview();
    std::printf("1280x720 @ 30 fps: %.2f frames/s delivered (%d in %.2f s, %d of another size), "
                "CPU %.2f ms per frame (%.1f %% of one core)\n",
                delivered / wall, delivered, wall, wrongSize,
                delivered ? 1000.0 * cpu / delivered : 0.0, 100.0 * cpu / wall);
    return delivered > 0 && wrongSize == 0 ? 0 : 1;
}
