// JPEG costs per frame: our encoder (float DCT) against libjpeg-turbo's integer DCT on the same
// frames in the same process, and decoding as the receiving side does it.
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"

#include <QImage>
#include <QPainter>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <jpeglib.h>

namespace {

// A camera-like frame: smooth gradients, edges and a moving disc.
QImage Frame(int width, int height, int step)
{
    QImage image(width, height, QImage::Format_BGR888);
    QPainter p(&image);
    QLinearGradient g(0, 0, width, height);
    g.setColorAt(0, QColor(30, 60, 160));
    g.setColorAt(1, QColor(220, 180, 40));
    p.fillRect(image.rect(), g);
    p.setBrush(Qt::white);
    p.drawEllipse(QPoint((step * 7) % width, height / 2), height / 6, height / 6);
    p.setPen(Qt::black);
    for (int x = 0; x < width; x += 40)
        p.drawLine(x, 0, x, height);
    return image;
}

// The reference: libjpeg-turbo with its default (integer, fast SIMD) DCT, same quality.
size_t IntegerDctCompress(const QImage& frame, int quality)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = JDIMENSION(frame.width());
    info.image_height = JDIMENSION(frame.height());
    info.input_components = 3;
    info.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&info);
    info.dct_method = JDCT_ISLOW;
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(frame.constScanLine(int(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::free(out);
    return size;
}

void BM_EncodeFloatDct(benchmark::State& state)
{
    const QImage frame = Frame(int(state.range(0)), int(state.range(1)), 3);
    TJpegEncoder encoder;
    encoder.SetQuality(90);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = size_t(encoder.Compress(frame).size());
    state.counters["jpeg_bytes"] = double(bytes);
}

void BM_EncodeIntegerDct(benchmark::State& state)
{
    const QImage frame = Frame(int(state.range(0)), int(state.range(1)), 3);
    size_t bytes = 0;
    for (auto _ : state)
        bytes = IntegerDctCompress(frame, 90);
    state.counters["jpeg_bytes"] = double(bytes);
}

void BM_DecodeAndShow(benchmark::State& state)
{
    TJpegEncoder encoder;
    encoder.SetQuality(90);
    const QByteArray jpeg = encoder.Compress(Frame(int(state.range(0)), int(state.range(1)), 3));
    for (auto _ : state)
        benchmark::DoNotOptimize(TJpegDecoder::Decode(jpeg));
    state.counters["frames_per_s"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

// Where the quality settles when every frame above one datagram steps it down by one.
void BM_QualitySettling(benchmark::State& state)
{
    const int width = int(state.range(0)), height = int(state.range(1));
    int quality = 100, frames = 0;
    for (auto _ : state) {
        quality = 100;
        frames = 0;
        TJpegEncoder encoder;
        for (; quality >= 1 && frames < 200; ++frames) {
            encoder.SetQuality(quality);
            if (encoder.Compress(Frame(width, height, frames)).size() <= 65507)
                break;
            --quality;
        }
    }
    state.counters["settled_quality"] = quality;
    state.counters["frames_to_settle"] = frames;
}

BENCHMARK(BM_EncodeFloatDct)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncodeIntegerDct)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAndShow)->Args({640, 480})->Args({1280, 720})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_QualitySettling)
    ->Args({640, 480})
    ->Args({1280, 720})
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
