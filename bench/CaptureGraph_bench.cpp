// Grabbed frames per second and process CPU of the camera preview graph with the test camera:
// camera -> smart tee -> grabber (RGB24, every frame copied as when armed) -> preview renderer.
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <sys/resource.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

using namespace CaptureGuids;

namespace {

double CpuSeconds()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    auto s = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return s(u.ru_utime) + s(u.ru_stime);
}

class TCopyingCB : public ISampleGrabberCB
{
public:
    HRESULT BufferCB(double, const quint8* buffer, qint32 length) override
    {
        std::lock_guard<std::mutex> lock(lock_);
        copy_.resize(length);
        std::memcpy(copy_.data(), buffer, size_t(length));
        ++frames;
        return Hr::S_OK;
    }
    std::atomic<int> frames{0};

private:
    std::mutex lock_;
    QByteArray copy_;
};

// Serves queued preview frames without spinning, as the program's event loop does.
void Idle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

bool Check(HRESULT hr, const char* what)
{
    if (Hr::Failed(hr))
        std::fprintf(stderr, "%s failed: %08x\n", what, unsigned(hr));
    return Hr::Succeeded(hr);
}

bool RunOne(int width, int height, int fps, double seconds)
{
    TGstCaptureSystem system(true);
    GraphPtr graph;
    BuilderPtr builder;
    std::vector<MonikerPtr> devices;
    system.EnumerateDevices(TDeviceCategory::VideoInput, devices);
    MonikerPtr camera;
    for (const auto& d : devices) {
        QString name;
        d->ReadFriendlyName(name);
        if (name == TGstCaptureSystem::TestCameraName)
            camera = d;
    }
    FilterPtr source, tee, grabber;
    std::shared_ptr<IAMStreamConfig> config;
    if (!camera || !Check(system.CreateFilterGraph(graph), "graph") ||
        !Check(system.CreateCaptureGraphBuilder(builder), "builder") ||
        !Check(builder->SetFiltergraph(graph), "SetFiltergraph") ||
        !Check(camera->BindToFilter(source), "bind") ||
        !Check(graph->AddFilter(source, {}), "add") ||
        !Check(builder->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Video, source, config),
               "stream config"))
        return false;
    int count = 0;
    config->GetNumberOfCapabilities(count);
    bool selected = false;
    for (int i = 0; i < count && !selected; ++i) {
        TMediaType type;
        TVideoStreamConfigCaps caps;
        config->GetStreamCaps(i, type, caps);
        const auto h = type.BitmapHeader();
        if (type.subtype == MEDIASUBTYPE_RGB24 && h->biWidth == width && h->biHeight == height &&
            type.AvgTimePerFrame() == 10000000 / fps)
            selected = Check(config->SetFormat(type), "SetFormat");
    }
    TCopyingCB callback;
    TMediaType rgb;
    rgb.majortype = MEDIATYPE_Video;
    rgb.subtype = MEDIASUBTYPE_RGB24;
    rgb.formattype = FORMAT_VideoInfo;
    if (!selected || !Check(system.CreateFilter(TFilterClass::SmartTee, tee), "tee") ||
        !Check(graph->AddFilter(tee, "MySmartTee"), "add tee") ||
        !Check(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, source, nullptr, tee),
               "render tee") ||
        !Check(system.CreateFilter(TFilterClass::SampleGrabber, grabber), "grabber") ||
        !Check(graph->AddFilter(grabber, "MyBitmapGrabber"), "add grabber") ||
        !Check(grabber->SampleGrabber()->SetMediaType(rgb), "SetMediaType") ||
        !Check(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, tee, nullptr, grabber),
               "render grabber") ||
        !Check(grabber->SampleGrabber()->SetCallback(&callback, 1), "SetCallback") ||
        !Check(
            builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, grabber, nullptr, nullptr),
            "render preview") ||
        !Check(graph->Run(), "Run"))
        return false;

    // Let the pipeline settle before measuring.
    Idle(500);
    const int startFrames = callback.frames;
    const double startCpu = CpuSeconds();
    QElapsedTimer timer;
    timer.start();
    Idle(int(seconds * 1000));
    const double wall = double(timer.elapsed()) / 1000.0;
    const double cpu = CpuSeconds() - startCpu;
    const int frames = callback.frames - startFrames;
    graph->Stop();
    std::printf("%4dx%-4d @ %d fps: %6.2f grabbed frames/s, CPU %5.1f %% of one core (%.2f s)\n",
                width, height, fps, frames / wall, 100.0 * cpu / wall, wall);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const double seconds = argc > 1 ? std::atof(argv[1]) : 3.0;
    bool ok = RunOne(640, 480, 30, seconds);
    ok = RunOne(1280, 720, 30, seconds) && ok;
    return ok ? 0 : 1;
}
