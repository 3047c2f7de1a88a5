// The ring tone player against a private sound server: what it plays reaches the output.
#include "platform/player/gst/TGstMediaPlayer.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TOutputRecorder.h"
#include "tests/support/TSoundServer.h"
#include "tests/support/ToneAmplitude.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>

namespace {

constexpr int kRate = 48000;

// A mono 16-bit PCM WAV file holding a sine tone.
QByteArray ToneWav(double freq, int ms)
{
    const int samples = kRate * ms / 1000;
    QByteArray pcm(samples * 2, '\0');
    for (int i = 0; i < samples; ++i)
        qToLittleEndian<qint16>(qint16(12000 * std::sin(2 * std::numbers::pi * freq * i / kRate)),
                                pcm.data() + 2 * i);
    QByteArray wav("RIFF....WAVEfmt ", 16);
    auto put32 = [&](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        wav.append(b, 4);
    };
    auto put16 = [&](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        wav.append(b, 2);
    };
    put32(16);
    put16(1); // PCM
    put16(1); // mono
    put32(kRate);
    put32(kRate * 2);
    put16(2);
    put16(16);
    wav.append("data", 4);
    put32(quint32(pcm.size()));
    wav += pcm;
    qToLittleEndian(quint32(wav.size() - 8), wav.data() + 4);
    return wav;
}

// How long the tone sounds in the recording, counted in blocks of 50 ms.
int ToneMs(const QByteArray& pcm, double freq)
{
    constexpr qsizetype kBlock = kRate / 20 * 2;
    int ms = 0;
    for (qsizetype at = 0; at + kBlock <= pcm.size(); at += kBlock)
        if (ToneAmplitude(pcm.mid(at, kBlock), freq, kRate) > 2000)
            ms += 50;
    return ms;
}

class RingTonePlayer : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!server.Ready())
            GTEST_SKIP() << "pulseaudio is not installed (apt-get install pulseaudio)";
        ASSERT_TRUE(dir.isValid());
    }
    QString Write(const QString& name, const QByteArray& bytes)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
        return f.fileName();
    }

    TSoundServer server;
    QTemporaryDir dir;
    TGstMediaPlayer player;
};

} // namespace

TEST_F(RingTonePlayer, PlaysTheFileOnceToTheOutputAndAgainFromTheStart)
{
    ASSERT_TRUE(player.Open(Write("ring.wav", ToneWav(880, 700))));
    EXPECT_FALSE(player.Playing()) << "nothing plays before Play";
    {
        TOutputRecorder recorder;
        ASSERT_TRUE(recorder.WaitConnected()) << "parec (pulseaudio-utils) cannot record";
        player.Play();
        EXPECT_TRUE(player.Playing());
        // The end of the file ends the playing: the tone is heard once, not looped.
        QByteArray heard;
        EXPECT_TRUE(WaitUntil(
            [&] {
                heard = recorder.Collect(50);
                return !player.Playing();
            },
            3000));
        heard = recorder.Collect(400);
        const int ms = ToneMs(heard, 880);
        std::printf("[ measure ] %d ms of tone in %d ms recorded\n", ms, int(heard.size() / 96));
        EXPECT_GE(ms, 550) << "recorded " << heard.size() / 96 << " ms";
        EXPECT_LE(ms, 800);
        EXPECT_EQ(ToneMs(heard, 1320), 0) << "the file's own tone, nothing else";
    }
    // Play again starts from the beginning.
    TOutputRecorder recorder;
    ASSERT_TRUE(recorder.WaitConnected());
    player.Play();
    EXPECT_TRUE(player.Playing());
    EXPECT_GE(ToneMs(recorder.Collect(1200), 880), 550);
}

TEST_F(RingTonePlayer, StopSilencesAtOnce)
{
    ASSERT_TRUE(player.Open(Write("long.wav", ToneWav(660, 3000))));
    TOutputRecorder recorder;
    ASSERT_TRUE(recorder.WaitConnected());
    QElapsedTimer sinceStart;
    sinceStart.start();
    player.Play();
    // A fresh null sink takes up to about two seconds to render its first stream.
    ASSERT_TRUE(WaitUntil([&] { return !recorder.Collect(10).isEmpty(); }, 5000));
    std::printf("[ measure ] first sound recorded %lld ms after Play\n", sinceStart.elapsed());
    recorder.Collect(500);
    player.Stop();
    EXPECT_FALSE(player.Playing());
    const QByteArray heard = recorder.Collect(1000);
    const int ms = ToneMs(heard, 660);
    std::printf("[ measure ] %d ms of tone in %d ms recorded\n", ms, int(heard.size() / 96));
    EXPECT_GE(ms, 300) << "the tone sounded until Stop";
    EXPECT_LE(ms, 800) << "and not after it";
}

TEST_F(RingTonePlayer, MissingOrBrokenFilesPlayNothing)
{
    EXPECT_FALSE(player.Open(dir.filePath("absent.wav")));
    EXPECT_FALSE(player.Open(dir.path())) << "a folder is no sound file";
    player.Play(); // after a failed Open: no effect, no crash
    EXPECT_FALSE(player.Playing());

    ASSERT_TRUE(player.Open(Write("broken.wav", QByteArray("RIFF\x10\0\0\0WAVEjunk", 16))));
    player.Play();
    EXPECT_TRUE(WaitUntil([&] { return !player.Playing(); }, 3000))
        << "an undecodable file must end the playing";
    player.Close();
    EXPECT_FALSE(player.Playing());
}
