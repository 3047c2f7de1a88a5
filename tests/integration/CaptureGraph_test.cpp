// The GStreamer capture graph with the test camera: modes, graph building, grabbed frames,
// stream control of the capture branch, events and the preview widget.
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/gst/TGstCaptureSystem.h"
#include "platform/capturegraph/gst/TGstFilterGraph.h"
#include "platform/capturegraph/gst/TGstVideoWidget.h"
#include "platform/capturegraph/gst/TGstVideoWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

using namespace CaptureGuids;

namespace {

// Turns the event loop until the condition holds or the time is up.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    // The tick wakes the loop to check again without spinning.
    QTimer tick;
    tick.start(5);
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void Pump(int ms)
{
    WaitFor([] { return false; }, ms);
}

class TRecordingCB : public ISampleGrabberCB
{
public:
    HRESULT BufferCB(double, const quint8* buffer, qint32 length) override
    {
        std::lock_guard<std::mutex> lock(lock_);
        const QByteArray frame(reinterpret_cast<const char*>(buffer), length);
        if (count_ > 0 && frame != last_)
            ++changed_;
        last_ = frame;
        lengths_.push_back(length);
        ++count_;
        return Hr::S_OK;
    }
    int Count()
    {
        std::lock_guard<std::mutex> lock(lock_);
        return count_;
    }
    int Changed()
    {
        std::lock_guard<std::mutex> lock(lock_);
        return changed_;
    }
    QByteArray Last()
    {
        std::lock_guard<std::mutex> lock(lock_);
        return last_;
    }
    std::vector<qint32> Lengths()
    {
        std::lock_guard<std::mutex> lock(lock_);
        return lengths_;
    }

private:
    std::mutex lock_;
    int count_ = 0;
    int changed_ = 0;
    QByteArray last_;
    std::vector<qint32> lengths_;
};

MonikerPtr FindDevice(ICaptureSystem& system, TDeviceCategory category, const QString& name)
{
    std::vector<MonikerPtr> devices;
    system.EnumerateDevices(category, devices);
    for (const auto& d : devices) {
        QString n;
        if (Hr::Succeeded(d->ReadFriendlyName(n)) && n == name)
            return d;
    }
    return nullptr;
}

std::optional<int> FindMode(IAMStreamConfig& config, const TGuid& subtype, int width, int height,
                            int fps)
{
    int count = 0;
    config.GetNumberOfCapabilities(count);
    for (int i = 0; i < count; ++i) {
        TMediaType type;
        TVideoStreamConfigCaps caps;
        if (Hr::Failed(config.GetStreamCaps(i, type, caps)))
            continue;
        const auto h = type.BitmapHeader();
        if (type.subtype == subtype && h && h->biWidth == width && h->biHeight == height &&
            std::llabs(type.AvgTimePerFrame() - 10000000 / fps) <= 1)
            return i;
    }
    return std::nullopt;
}

// Test camera -> smart tee -> grabber -> default renderer, as the preview is built.
struct TPreviewGraph
{
    TGstCaptureSystem system{true};
    GraphPtr graph;
    BuilderPtr builder;
    FilterPtr camera, tee, grabberFilter;
    std::shared_ptr<ISampleGrabber> grabber;
    std::shared_ptr<IAMStreamConfig> config;
    TRecordingCB callback;

    void MakeSource()
    {
        ASSERT_EQ(system.CreateFilterGraph(graph), Hr::S_OK);
        ASSERT_EQ(system.CreateCaptureGraphBuilder(builder), Hr::S_OK);
        ASSERT_EQ(builder->SetFiltergraph(graph), Hr::S_OK);
        const auto moniker = FindDevice(system, TDeviceCategory::VideoInput, "Test Pattern");
        ASSERT_TRUE(moniker);
        ASSERT_EQ(moniker->BindToFilter(camera), Hr::S_OK);
        ASSERT_EQ(graph->AddFilter(camera, {}), Hr::S_OK);
        ASSERT_EQ(
            builder->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Video, camera, config),
            Hr::S_OK);
        ASSERT_EQ(system.CreateFilter(TFilterClass::SmartTee, tee), Hr::S_OK);
        ASSERT_EQ(graph->AddFilter(tee, "MySmartTee"), Hr::S_OK);
        ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, camera, nullptr, tee),
                  Hr::S_OK);
    }

    void AddPreview(const TGuid& subtype = MEDIASUBTYPE_RGB24)
    {
        ASSERT_EQ(system.CreateFilter(TFilterClass::SampleGrabber, grabberFilter), Hr::S_OK);
        ASSERT_EQ(graph->AddFilter(grabberFilter, "MyBitmapGrabber"), Hr::S_OK);
        grabber = grabberFilter->SampleGrabber();
        ASSERT_TRUE(grabber);
        TMediaType wanted;
        wanted.majortype = MEDIATYPE_Video;
        wanted.subtype = subtype;
        wanted.formattype = FORMAT_VideoInfo;
        ASSERT_EQ(grabber->SetMediaType(wanted), Hr::S_OK);
        ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, tee, nullptr,
                                        grabberFilter),
                  Hr::S_OK);
        ASSERT_EQ(grabber->SetCallback(&callback, 1), Hr::S_OK);
        ASSERT_EQ(builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, grabberFilter,
                                        nullptr, nullptr),
                  Hr::S_OK);
    }

    void Select(const TGuid& subtype, int width, int height, int fps)
    {
        const auto index = FindMode(*config, subtype, width, height, fps);
        ASSERT_TRUE(index);
        TMediaType type;
        TVideoStreamConfigCaps caps;
        ASSERT_EQ(config->GetStreamCaps(*index, type, caps), Hr::S_OK);
        ASSERT_EQ(config->SetFormat(type), Hr::S_OK);
    }

    ~TPreviewGraph()
    {
        if (graph)
            graph->Stop();
    }
};

// Frames counted over one second once frames flow.
int MeasureRate(TPreviewGraph& g)
{
    if (!WaitFor([&] { return g.callback.Count() > 2; }))
        return 0;
    const int start = g.callback.Count();
    Pump(1000);
    return g.callback.Count() - start;
}

} // namespace

TEST(CaptureGraph, TestCameraOffersSizesFormatsAndRates)
{
    TPreviewGraph g;
    g.MakeSource();
    for (int fps : {15, 30}) {
        for (auto [w, h] : {std::pair{320, 240}, {640, 480}, {1280, 720}}) {
            const auto rgb = FindMode(*g.config, MEDIASUBTYPE_RGB24, w, h, fps);
            ASSERT_TRUE(rgb) << w << "x" << h << "@" << fps;
            TMediaType type;
            TVideoStreamConfigCaps caps;
            ASSERT_EQ(g.config->GetStreamCaps(*rgb, type, caps), Hr::S_OK);
            EXPECT_EQ(type.formattype, FORMAT_VideoInfo);
            EXPECT_EQ(type.BitmapHeader()->biBitCount, 24);
            EXPECT_EQ(type.BitmapHeader()->biCompression, 0u);
            EXPECT_EQ(type.BitmapHeader()->biSizeImage, quint32(w * h * 3));
            EXPECT_EQ(caps.MinFrameInterval, 333333);
            EXPECT_EQ(caps.MaxFrameInterval, 666667);

            const auto yuy2 = FindMode(*g.config, MEDIASUBTYPE_YUY2, w, h, fps);
            ASSERT_TRUE(yuy2);
            ASSERT_EQ(g.config->GetStreamCaps(*yuy2, type, caps), Hr::S_OK);
            EXPECT_EQ(type.BitmapHeader()->biBitCount, 16);
            EXPECT_EQ(type.BitmapHeader()->biCompression, 0x32595559u); // 'YUY2'
            EXPECT_EQ(type.BitmapHeader()->biSizeImage, quint32(w * h * 2));
        }
    }
    int count = 0;
    g.config->GetNumberOfCapabilities(count);
    TMediaType type;
    TVideoStreamConfigCaps caps;
    EXPECT_TRUE(Hr::Failed(g.config->GetStreamCaps(count, type, caps)));
    std::shared_ptr<IAMStreamConfig> dv;
    EXPECT_TRUE(Hr::Failed(
        g.builder->FindStreamConfig(TPinCategory::Capture, &MEDIATYPE_Interleaved, g.camera, dv)));
}

TEST(CaptureGraph, FormatSelectionAndRunningRefusal)
{
    TPreviewGraph g;
    g.MakeSource();
    TMediaType current;
    ASSERT_EQ(g.config->GetFormat(current), Hr::S_OK);
    EXPECT_EQ(current.BitmapHeader()->biWidth, 640);
    EXPECT_EQ(current.BitmapHeader()->biHeight, 480);

    g.Select(MEDIASUBTYPE_YUY2, 320, 240, 15);
    ASSERT_EQ(g.config->GetFormat(current), Hr::S_OK);
    EXPECT_EQ(current.subtype, MEDIASUBTYPE_YUY2);
    EXPECT_EQ(current.BitmapHeader()->biWidth, 320);
    EXPECT_EQ(current.AvgTimePerFrame(), 666667);

    // A rate between the listed ones is taken; one outside them is not.
    current.SetAvgTimePerFrame(400000);
    EXPECT_EQ(g.config->SetFormat(current), Hr::S_OK);
    current.SetAvgTimePerFrame(100000);
    EXPECT_TRUE(Hr::Failed(g.config->SetFormat(current)));
    TMediaType got;
    g.config->GetFormat(got);
    EXPECT_EQ(got.AvgTimePerFrame(), 400000);

    g.AddPreview();
    TMediaType connected;
    EXPECT_TRUE(Hr::Failed(g.grabber->GetConnectedMediaType(connected)));
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    // Known from the selected mode as soon as the graph runs.
    ASSERT_EQ(g.grabber->GetConnectedMediaType(connected), Hr::S_OK);
    EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
    EXPECT_EQ(connected.BitmapHeader()->biWidth, 320);
    EXPECT_EQ(connected.BitmapHeader()->biHeight, 240);
    EXPECT_EQ(connected.BitmapHeader()->biSizeImage, 320u * 240 * 3);
    EXPECT_EQ(connected.AvgTimePerFrame(), 400000);
    EXPECT_TRUE(Hr::Failed(g.config->SetFormat(got)));
    ASSERT_EQ(g.graph->Stop(), Hr::S_OK);
    EXPECT_EQ(g.config->SetFormat(got), Hr::S_OK);
}

TEST(CaptureGraph, GrabsRgbFramesAtTheSelectedRate)
{
    for (int fps : {30, 15}) {
        TPreviewGraph g;
        g.MakeSource();
        g.Select(MEDIASUBTYPE_RGB24, 640, 480, fps);
        g.AddPreview();
        ASSERT_EQ(g.graph->Run(), Hr::S_OK);
        const int frames = MeasureRate(g);
        EXPECT_GE(frames, fps * 7 / 10) << fps;
        EXPECT_LE(frames, fps * 13 / 10) << fps;
        const auto lengths = g.callback.Lengths();
        ASSERT_FALSE(lengths.empty());
        for (qint32 l : lengths)
            ASSERT_EQ(l, 640 * 480 * 3);
        EXPECT_GE(g.callback.Changed(), g.callback.Count() / 2);

        TMediaType connected;
        ASSERT_EQ(g.grabber->GetConnectedMediaType(connected), Hr::S_OK);
        EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB24);
        EXPECT_EQ(connected.formattype, FORMAT_VideoInfo);
        const auto h = connected.BitmapHeader();
        ASSERT_TRUE(h);
        EXPECT_EQ(h->biWidth, 640);
        EXPECT_EQ(h->biHeight, 480);
        EXPECT_EQ(h->biBitCount, 24);
        EXPECT_EQ(h->biSizeImage, quint32(640 * 480 * 3));
        EXPECT_EQ(connected.AvgTimePerFrame(), 10000000 / fps + (fps == 15 ? 1 : 0));

        ASSERT_EQ(g.graph->Stop(), Hr::S_OK);
        const int after = g.callback.Count();
        Pump(300);
        EXPECT_EQ(g.callback.Count(), after);
    }
}

TEST(CaptureGraph, ThirtyTwoBitGrabberGivesFourBytesPerPixel)
{
    TPreviewGraph g;
    g.MakeSource();
    g.Select(MEDIASUBTYPE_RGB24, 320, 240, 30);
    g.AddPreview(MEDIASUBTYPE_RGB32);
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return g.callback.Count() > 1; }));
    EXPECT_EQ(g.callback.Lengths().back(), 320 * 240 * 4);
    TMediaType connected;
    ASSERT_EQ(g.grabber->GetConnectedMediaType(connected), Hr::S_OK);
    EXPECT_EQ(connected.subtype, MEDIASUBTYPE_RGB32);
    EXPECT_EQ(connected.BitmapHeader()->biBitCount, 32);
}

TEST(CaptureGraph, LargerModeGivesLargerFrames)
{
    TPreviewGraph g;
    g.MakeSource();
    g.Select(MEDIASUBTYPE_YUY2, 1280, 720, 30);
    g.AddPreview();
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return g.callback.Count() > 1; }));
    EXPECT_EQ(g.callback.Lengths().back(), 1280 * 720 * 3);
    TMediaType connected;
    ASSERT_EQ(g.grabber->GetConnectedMediaType(connected), Hr::S_OK);
    EXPECT_EQ(connected.BitmapHeader()->biWidth, 1280);
    EXPECT_EQ(connected.BitmapHeader()->biHeight, 720);
}

namespace {

// Brightness per row, top row first: luma of YUY2, green of a bottom-up 24-bit bitmap.
std::vector<double> RowProfile(const QByteArray& frame, int width, int height, bool dib)
{
    std::vector<double> rows(size_t(height), 0.0);
    const int stride = dib ? (width * 3 + 3) / 4 * 4 : width * 2;
    for (int r = 0; r < height; ++r) {
        const int stored = dib ? height - 1 - r : r;
        const auto* p = reinterpret_cast<const quint8*>(frame.constData()) + stored * stride;
        double sum = 0;
        for (int x = 0; x < width; ++x)
            sum += dib ? p[x * 3 + 1] : p[x * 2];
        rows[size_t(r)] = sum;
    }
    return rows;
}

double Correlation(const std::vector<double>& a, const std::vector<double>& b)
{
    double ma = 0, mb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        ma += a[i];
        mb += b[i];
    }
    ma /= double(a.size());
    mb /= double(b.size());
    double sab = 0, saa = 0, sbb = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        sab += (a[i] - ma) * (b[i] - mb);
        saa += (a[i] - ma) * (a[i] - ma);
        sbb += (b[i] - mb) * (b[i] - mb);
    }
    return saa > 0 && sbb > 0 ? sab / std::sqrt(saa * sbb) : 0.0;
}

} // namespace

TEST(CaptureGraph, RgbRowsAreStoredBottomUp)
{
    // Two grabbers see the same frames: YUY2 keeps the camera's top-down rows, RGB24 must hold
    // the same picture with its last row first.
    TPreviewGraph g;
    g.MakeSource();
    g.Select(MEDIASUBTYPE_YUY2, 320, 240, 30);
    g.AddPreview(MEDIASUBTYPE_YUY2);
    FilterPtr second;
    ASSERT_EQ(g.system.CreateFilter(TFilterClass::SampleGrabber, second), Hr::S_OK);
    ASSERT_EQ(g.graph->AddFilter(second, "Second"), Hr::S_OK);
    TMediaType rgb;
    rgb.majortype = MEDIATYPE_Video;
    rgb.subtype = MEDIASUBTYPE_RGB24;
    ASSERT_EQ(second->SampleGrabber()->SetMediaType(rgb), Hr::S_OK);
    ASSERT_EQ(g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.tee, nullptr, second),
              Hr::S_OK);
    TRecordingCB rgbFrames;
    second->SampleGrabber()->SetCallback(&rgbFrames, 1);
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return g.callback.Count() > 3 && rgbFrames.Count() > 3; }));
    ASSERT_EQ(g.graph->Stop(), Hr::S_OK);
    // After the stop both hold the last frame the tee handed out.
    const auto top = RowProfile(g.callback.Last(), 320, 240, false);
    const auto dib = RowProfile(rgbFrames.Last(), 320, 240, true);
    std::vector<double> reversed(dib.rbegin(), dib.rend());
    const double straight = Correlation(top, dib);
    EXPECT_GT(straight, 0.9);
    EXPECT_GT(straight, Correlation(top, reversed) + 0.1);
}

TEST(CaptureGraph, RemovingDownstreamEmptiesTheGraphForARebuild)
{
    TPreviewGraph g;
    g.MakeSource();
    g.AddPreview();
    FilterPtr renderer;
    ASSERT_EQ(g.graph->FindFilterByName("Video Renderer", renderer), Hr::S_OK);
    std::shared_ptr<IVideoWindow> window;
    EXPECT_EQ(g.graph->QueryVideoWindow(window), Hr::S_OK);
    ASSERT_TRUE(window);

    // The component's walk: pins, their peers, disconnect both ends, remove the peer's filter.
    std::function<void(const FilterPtr&)> removeDownstream = [&](const FilterPtr& filter) {
        for (const auto& pin : filter->Pins()) {
            PinPtr peer;
            if (Hr::Failed(pin->ConnectedTo(peer)) || peer->Direction() != TPinDirection::Input)
                continue;
            const FilterPtr next = peer->Filter();
            removeDownstream(next);
            EXPECT_EQ(peer->Disconnect(), Hr::S_OK);
            EXPECT_EQ(pin->Disconnect(), Hr::S_OK);
            EXPECT_EQ(g.graph->RemoveFilter(next), Hr::S_OK);
        }
    };
    removeDownstream(g.camera);
    FilterPtr found;
    for (const char* name : {"MySmartTee", "MyBitmapGrabber", "Video Renderer"})
        EXPECT_TRUE(Hr::Failed(g.graph->FindFilterByName(name, found))) << name;
    EXPECT_EQ(g.graph->QueryVideoWindow(window), Hr::E_NOINTERFACE);
    PinPtr peer;
    EXPECT_TRUE(Hr::Failed(g.camera->Pins().front()->ConnectedTo(peer)));

    // The camera stays and is built into a fresh preview.
    ASSERT_EQ(g.system.CreateFilter(TFilterClass::SmartTee, g.tee), Hr::S_OK);
    ASSERT_EQ(g.graph->AddFilter(g.tee, "MySmartTee"), Hr::S_OK);
    ASSERT_EQ(
        g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.camera, nullptr, g.tee),
        Hr::S_OK);
    g.AddPreview();
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    EXPECT_TRUE(WaitFor([&] { return g.callback.Count() > 2; }));
}

TEST(CaptureGraph, RefusedConnectionsLeaveTheGraphUnchanged)
{
    TPreviewGraph g;
    g.MakeSource();
    // A second source connection: the camera's only pin is taken.
    EXPECT_TRUE(Hr::Failed(
        g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.camera, nullptr, nullptr)));
    EXPECT_TRUE(Hr::Failed(
        g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Audio, g.tee, nullptr, nullptr)));
    // A palette format cannot be produced: no grabber connection, no renderer left behind.
    FilterPtr grabber;
    g.system.CreateFilter(TFilterClass::SampleGrabber, grabber);
    ASSERT_EQ(g.graph->AddFilter(grabber, "MyBitmapGrabber"), Hr::S_OK);
    TMediaType palette;
    palette.majortype = MEDIATYPE_Video;
    palette.subtype = MEDIASUBTYPE_RGB8;
    ASSERT_EQ(grabber->SampleGrabber()->SetMediaType(palette), Hr::S_OK);
    EXPECT_TRUE(Hr::Failed(
        g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.tee, nullptr, grabber)));
    PinPtr peer;
    EXPECT_TRUE(Hr::Failed(grabber->Pins().front()->ConnectedTo(peer)));
    FilterPtr renderer;
    EXPECT_TRUE(Hr::Failed(g.graph->FindFilterByName("Video Renderer", renderer)));
    // The DV splitter takes only a whole DV stream.
    FilterPtr splitter;
    ASSERT_EQ(g.system.CreateFilter(TFilterClass::DVSplitter, splitter), Hr::S_OK);
    ASSERT_EQ(g.graph->AddFilter(splitter, "MyDVSplitter"), Hr::S_OK);
    EXPECT_TRUE(Hr::Failed(
        g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.tee, nullptr, splitter)));
    EXPECT_TRUE(Hr::Failed(splitter->Pins().front()->ConnectedTo(peer)));
}

TEST(CaptureGraph, CaptureBranchIsHeldBackUntilStarted)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath("capture.avi");
    TPreviewGraph g;
    g.MakeSource();
    g.Select(MEDIASUBTYPE_RGB24, 320, 240, 30);
    FilterPtr mux;
    std::shared_ptr<IFileSinkFilter> writer;
    ASSERT_EQ(g.builder->SetOutputFileName(MEDIASUBTYPE_Avi, file, mux, writer), Hr::S_OK);
    ASSERT_TRUE(mux && writer && mux->ConfigAviMux());
    EXPECT_EQ(mux->ConfigAviMux()->SetOutputCompatibilityIndex(true), Hr::S_OK);
    ASSERT_EQ(g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.tee, nullptr, mux),
              Hr::S_OK);
    g.AddPreview();

    // As the component does before running: stop every mux input and the tee's first output.
    std::vector<std::shared_ptr<IAMStreamControl>> controls;
    for (const auto& pin : mux->Pins())
        if (pin->Direction() == TPinDirection::Input && pin->StreamControl())
            controls.push_back(pin->StreamControl());
    ASSERT_EQ(controls.size(), 1u);
    PinPtr teeOut;
    ASSERT_EQ(g.builder->FindPin(g.tee, TPinDirection::Output, 0, teeOut), Hr::S_OK);
    ASSERT_TRUE(teeOut->StreamControl());
    controls.push_back(teeOut->StreamControl());
    for (const auto& c : controls)
        ASSERT_EQ(c->StopNow(false), Hr::S_OK);

    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return g.callback.Count() > 10; }));
    EXPECT_LT(QFileInfo(file).size(), 64 * 1024);
    for (const auto& c : controls)
        ASSERT_EQ(c->StartNow(), Hr::S_OK);
    // Raw 320x240 frames are 230 kB each.
    EXPECT_TRUE(WaitFor([&] { return QFileInfo(file).size() > 2 * 230400; }))
        << QFileInfo(file).size();
}

TEST(CaptureGraph, WriteFailureBecomesAnAbortEvent)
{
    TPreviewGraph g;
    g.MakeSource();
    g.Select(MEDIASUBTYPE_RGB24, 320, 240, 30);
    FilterPtr mux;
    std::shared_ptr<IFileSinkFilter> writer;
    ASSERT_EQ(g.builder->SetOutputFileName(MEDIASUBTYPE_Avi, "/dev/full", mux, writer), Hr::S_OK);
    ASSERT_EQ(g.builder->RenderStream(TPinCategory::None, &MEDIATYPE_Video, g.tee, nullptr, mux),
              Hr::S_OK);
    g.AddPreview();
    int notified = 0;
    ASSERT_EQ(g.graph->SetNotify([&] { ++notified; }), Hr::S_OK);
    // Held back while starting, so the failure comes from a running graph.
    const auto input = mux->Pins().front()->StreamControl();
    ASSERT_TRUE(input);
    input->StopNow(false);
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return g.callback.Count() > 2; }));
    EXPECT_EQ(notified, 0);
    input->StartNow();
    qint32 code = 0;
    qint64 p1 = 0, p2 = 0;
    EXPECT_TRUE(WaitFor([&] { return notified > 0; }));
    ASSERT_EQ(g.graph->GetEvent(code, p1, p2, 0), Hr::S_OK);
    EXPECT_EQ(code, GraphEvent::EC_ERRORABORT);
    EXPECT_EQ(g.graph->FreeEventParams(code, p1, p2), Hr::S_OK);
}

TEST(CaptureGraph, PreviewWidgetShowsCameraFrames)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        GTEST_SKIP() << "needs a QApplication in the test main";
    TPreviewGraph g;
    g.MakeSource();
    g.AddPreview();
    QWidget owner;
    owner.resize(200, 150);
    std::shared_ptr<IVideoWindow> window;
    ASSERT_EQ(g.graph->QueryVideoWindow(window), Hr::S_OK);
    ASSERT_EQ(window->SetOwner(&owner), Hr::S_OK);
    ASSERT_EQ(window->SetWindowPosition(0, 0, 200, 150), Hr::S_OK);
    ASSERT_EQ(window->SetVisible(true), Hr::S_OK);
    owner.show();
    auto* widget = owner.findChild<TGstVideoWidget*>();
    ASSERT_TRUE(widget);
    EXPECT_EQ(widget->geometry(), QRect(0, 0, 200, 150));
    EXPECT_TRUE(widget->isVisible());
    ASSERT_EQ(g.graph->Run(), Hr::S_OK);
    ASSERT_TRUE(WaitFor([&] { return widget->FrameCount() >= 5; }));
    EXPECT_EQ(widget->Frame().size(), QSize(640, 480));
    const QImage a = widget->Frame();
    ASSERT_TRUE(WaitFor([&] { return widget->Frame() != a; }));
    ASSERT_EQ(window->SetOwner(nullptr), Hr::S_OK);
    EXPECT_FALSE(owner.findChild<TGstVideoWidget*>());
}
