// CPU per sent frame of a camera that sends JPEG, at 1280 x 720: its pictures sent as they came
// (with the preview decoded at a quarter of the size) against decoding each whole and encoding
// it again. The pictures are the test camera's own, recorded once from its 1280 x 720, 30 fps
// JPEG mode, so every way handles the same bytes and none pays for making them. Two ways of
// encoding again: the one this program used before (GStreamer's jpegdec and videoconvert to the
// grab layout, then the encoder) and the cheapest there is (libjpeg-turbo straight to RGB, then
// the encoder). All send to a socket on loopback; turns of each alternate, timed on the
// process's CPU clock (GStreamer decodes on threads of its own), the receiving left out.
// Usage: CameraPassthrough_bench [frames per turn]   (runs offscreen)
#include "bench/BenchCamera.h"
#include "calls/TCallPorts.h"
#include "calls/TVideoLink.h"
#include "platform/camera/ICamera.h"
#include "platform/camera/gst/GstCameraFrame.h"
#include "platform/camera/gst/TGstCamera.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/jpeg/TJpegDecoder.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QTimer>
#include <QUdpSocket>

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

namespace {

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

std::vector<QByteArray> RecordCameraPictures(int count)
{
    TGstCameraSystem system(true);
    std::unique_ptr<ICamera> camera = bench::OpenTestCamera(system, "image/jpeg");
    std::vector<QByteArray> pictures;
    if (!camera)
        return pictures;
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

// The decoding the camera pipeline did for a JPEG mode before: jpegdec, videoconvert to BGR.
class TFormerDecoding
{
public:
    TFormerDecoding()
    {
        pipeline_ = gst_parse_launch(
            "appsrc name=in format=time caps=image/jpeg,width=1280,height=720,framerate=30/1 ! "
            "jpegdec ! videoconvert ! video/x-raw,format=BGR ! appsink name=out sync=false",
            nullptr);
        if (!pipeline_)
            return;
        in_ = gst_bin_get_by_name(GST_BIN(pipeline_), "in");
        out_ = gst_bin_get_by_name(GST_BIN(pipeline_), "out");
        gst_element_set_state(pipeline_, GST_STATE_PLAYING);
    }
    ~TFormerDecoding()
    {
        if (!pipeline_)
            return;
        gst_element_set_state(pipeline_, GST_STATE_NULL);
        gst_object_unref(in_);
        gst_object_unref(out_);
        gst_object_unref(pipeline_);
    }
    TFormerDecoding(const TFormerDecoding&) = delete;
    TFormerDecoding& operator=(const TFormerDecoding&) = delete;

    QImage Decode(const QByteArray& jpeg)
    {
        if (!pipeline_)
            return {};
        GstBuffer* buffer = gst_buffer_new_memdup(jpeg.constData(), gsize(jpeg.size()));
        GST_BUFFER_PTS(buffer) = pts_;
        pts_ += GST_SECOND / 30;
        gst_app_src_push_buffer(GST_APP_SRC(in_), buffer);
        return GstCameraFrame::Wrap(TGstSamplePtr(gst_app_sink_pull_sample(GST_APP_SINK(out_))));
    }

private:
    GstElement* pipeline_ = nullptr;
    GstElement* in_ = nullptr;
    GstElement* out_ = nullptr;
    GstClockTime pts_ = 0;
};

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

    gst_init(nullptr, nullptr);
    const std::function<void(const QByteArray&)> passthrough = [&](const QByteArray& jpeg) {
        TCameraFrame frame;
        frame.jpeg = jpeg;
        frame.picture = *TJpegDecoder::DecodeScaled(jpeg, TGstCamera::PreviewSize);
        link.Send(frame);
    };
    const std::function<void(const QByteArray&)> direct = [&](const QByteArray& jpeg) {
        TCameraFrame frame;
        frame.picture = *TJpegDecoder::Decode(jpeg);
        link.Send(frame);
    };
    TFormerDecoding former;
    const std::function<void(const QByteArray&)> formerWay = [&](const QByteArray& jpeg) {
        TCameraFrame frame;
        frame.picture = former.Decode(jpeg);
        if (!frame.picture.isNull())
            link.Send(frame);
    };
    struct TWay
    {
        const char* name;
        const std::function<void(const QByteArray&)>* send;
        std::vector<double> costs;
        quint64 sent = 0;
    };
    std::vector<TWay> ways{{"sent as it came + quarter-size preview", &passthrough, {}, 0},
                           {"jpegdec + videoconvert + encoder (before)", &formerWay, {}, 0},
                           {"libjpeg-turbo to RGB + encoder", &direct, {}, 0}};
    for (int turn = 0; turn < 5; ++turn) {
        for (TWay& way : ways) {
            double spent = 0;
            for (int i = 0; i < frames; ++i) {
                const double start = CpuMs();
                (*way.send)(pictures[size_t(i) % pictures.size()]);
                spent += CpuMs() - start;
                // Drained as it goes, outside the timing: the receiver is the peer's work.
                while (receiver.hasPendingDatagrams() && receiver.readDatagram(nullptr, 0) >= 0)
                    ++way.sent;
            }
            way.costs.push_back(spent / frames);
        }
    }
    for (TWay& way : ways)
        std::sort(way.costs.begin(), way.costs.end());
    const auto median = [](const TWay& way) { return way.costs[way.costs.size() / 2]; };
    std::printf("camera JPEG 1280 x 720 (%zu pictures, largest %lld bytes), %d frames per turn, "
                "5 turns, median of turns, encoder at quality %d:\n",
                pictures.size(), static_cast<long long>(largest), frames, link.Quality());
    for (const TWay& way : ways)
        std::printf("  %-42s %.2f ms CPU per frame (%llu sent), %.1f %% of a core at 30 fps\n",
                    way.name, median(way), static_cast<unsigned long long>(way.sent),
                    median(way) * 3.0);
    const double before = median(ways[0]) / median(ways[1]);
    const double cheapest = median(ways[0]) / median(ways[2]);
    std::printf("  ratio against the way before %.3f (goal <= 0.25: %s), against the cheapest "
                "re-encoding %.3f\n",
                before, before <= 0.25 ? "met" : "missed", cheapest);
    return 0;
}
