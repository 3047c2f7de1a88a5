// What encryption adds to a call's media path on this machine, against that path itself, in
// one run: per 720p picture, JPEG encoding and decoding (what both copies do for every frame)
// against sealing and opening the same JPEG; per second of voice, SRTP protecting and verifying
// 100 Opus packets. Reported: the times, and the share encryption adds to the video path at
// 30 frames a second each way.
// Usage: MediaSeal_bench [frames]   (default 300)
#include "platform/crypto/TCallKeys.h"
#include "platform/crypto/TVideoOpener.h"
#include "platform/crypto/TVideoSealer.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/voice/gst/SrtpContext.h"

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// A picture with the detail of a camera's: gradients, edges and some noise.
QImage Scene(int n)
{
    QImage image(1280, 720, QImage::Format_RGB32);
    QPainter p(&image);
    QLinearGradient g(0, 0, 1280, 720);
    g.setColorAt(0, QColor(30 + n % 50, 90, 160));
    g.setColorAt(1, QColor(220, 180 - n % 40, 60));
    p.fillRect(image.rect(), g);
    for (int i = 0; i < 40; ++i)
        p.fillRect((i * 97 + n * 3) % 1200, (i * 53) % 680, 60, 30,
                   QColor::fromHsv(i * 9, 200, 200));
    p.end();
    quint32 seed = 12345u + quint32(n);
    for (int y = 0; y < 720; y += 2) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < 1280; x += 3) {
            seed = seed * 1664525u + 1013904223u;
            line[x] ^= (seed >> 24) & 0x0F0F0F;
        }
    }
    return image;
}

} // namespace

int main(int argc, char** argv)
{
    const int frames = argc > 1 ? std::max(10, atoi(argv[1])) : 300;
    TCallKeys::TSecret secret{};
    for (size_t i = 0; i < secret.size(); ++i)
        secret[i] = uchar(i * 7 + 1);
    TVideoSealer sealer(secret);
    TVideoOpener opener(secret);
    TJpegEncoder encoder;
    encoder.SetQuality(85);
    std::vector<QImage> scenes;
    for (int i = 0; i < 8; ++i)
        scenes.push_back(Scene(i));

    qint64 codecNs = 0, sealNs = 0, bytes = 0;
    QElapsedTimer clock;
    for (int i = 0; i < frames; ++i) {
        clock.start();
        const QByteArray jpeg = encoder.Compress(scenes[size_t(i) % scenes.size()]);
        const std::optional<QImage> shown = TJpegDecoder::Decode(jpeg);
        codecNs += clock.nsecsElapsed();
        if (jpeg.isEmpty() || !shown) {
            std::fprintf(stderr, "the picture did not go through the codec\n");
            return 1;
        }
        bytes += jpeg.size();
        clock.start();
        const std::optional<QByteArray> opened = opener.Open(sealer.Seal(jpeg));
        sealNs += clock.nsecsElapsed();
        if (!opened || *opened != jpeg) {
            std::fprintf(stderr, "a sealed picture did not open whole\n");
            return 1;
        }
    }
    const double codecMs = codecNs / 1e6 / frames, sealMs = sealNs / 1e6 / frames;

    unsigned char key[voicelink::SrtpContext::KeySize];
    std::fill(std::begin(key), std::end(key), 5);
    auto out = voicelink::SrtpContext::Make(key, voicelink::SrtpContext::Direction::Outbound);
    auto in = voicelink::SrtpContext::Make(key, voicelink::SrtpContext::Direction::Inbound);
    if (!out || !in)
        return 1;
    const int packets = 100 * 60; // a minute of voice at 100 packets a second
    std::vector<unsigned char> packet(12 + 40 + voicelink::SrtpContext::MaxTrailer);
    clock.start();
    for (int i = 0; i < packets; ++i) {
        std::fill(packet.begin(), packet.end(), 0);
        packet[0] = 0x80;
        packet[1] = 96;
        packet[2] = uchar(i >> 8);
        packet[3] = uchar(i);
        const int sealed = out->Protect(packet.data(), 52);
        if (sealed < 0 || in->Unprotect(packet.data(), sealed) != 52)
            return 1;
    }
    const double voiceMsPerSecond = clock.nsecsElapsed() / 1e6 / 60;

    std::printf("720p pictures, %d frames, JPEG %.1f KiB on average:\n"
                "  encode + decode %.3f ms a frame\n  seal + open     %.4f ms a frame\n"
                "  at 30 fps each way: codec %.1f ms/s, sealing %.2f ms/s of CPU\n"
                "voice: SRTP protect + verify of 100 packets %.3f ms/s of CPU\n"
                "encryption adds %.2f %% to the video and voice media path\n",
                frames, bytes / 1024.0 / frames, codecMs, sealMs, codecMs * 30, sealMs * 30,
                voiceMsPerSecond, 100.0 * (sealMs * 30 + voiceMsPerSecond) / (codecMs * 30));
    return 0;
}
