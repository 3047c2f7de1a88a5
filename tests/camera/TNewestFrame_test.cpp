// The hand-over of frames from a streaming thread to the UI thread: newest first, never out
// of order, nothing after a drop, nothing after the hand-over is gone.
#include "platform/camera/TNewestFrame.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace {

// A 1 x 1 frame that carries its number in its pixel.
QImage Numbered(int n)
{
    QImage frame(1, 1, QImage::Format_RGB32);
    frame.setPixel(0, 0, uint(n));
    return frame;
}

int NumberOf(const QImage& frame)
{
    return int(frame.pixel(0, 0) & 0xFFFFFF);
}

void Turn(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

} // namespace

TEST(NewestFrame, ABusyUiThreadGetsTheNewestFramesInOrderAndTheLastOneSurely)
{
    std::vector<int> seen;
    TNewestFrame handover([&](const TCameraFrame& frame) {
        seen.push_back(NumberOf(frame.picture));
        QThread::msleep(3); // a UI thread slower than the camera
    });
    constexpr int Frames = 400;
    std::atomic<bool> done{false};
    std::thread camera([&] {
        for (int n = 1; n <= Frames; ++n) {
            handover.Push({Numbered(n), {}, false});
            if (n % 4 == 0)
                QThread::usleep(500);
        }
        done = true;
    });
    QElapsedTimer timer;
    timer.start();
    while ((!done || seen.empty() || seen.back() != Frames) && timer.elapsed() < 10000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    camera.join();
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back(), Frames);
    for (size_t i = 1; i < seen.size(); ++i)
        ASSERT_LT(seen[i - 1], seen[i]) << "at delivery " << i;
    // The UI thread could not take them all: the ones it missed were replaced, not queued.
    EXPECT_LT(seen.size(), size_t(Frames));
    EXPECT_EQ(handover.Pushed(), quint64(Frames));
    EXPECT_EQ(handover.Replaced() + seen.size(), quint64(Frames));
}

TEST(NewestFrame, ADroppedFrameAndAFrameLeftWhenTheHandoverGoesAreNeverDelivered)
{
    int delivered = 0;
    {
        TNewestFrame handover([&](const TCameraFrame&) { ++delivered; });
        handover.Push({Numbered(1), {}, false});
        handover.Drop();
        Turn(50);
        EXPECT_EQ(delivered, 0);
        handover.Push({Numbered(2), {}, false});
        Turn(50);
        EXPECT_EQ(delivered, 1);
        // Queued, and then the hand-over is destroyed before the UI thread gets to it.
        handover.Push({Numbered(3), {}, false});
    }
    Turn(50);
    EXPECT_EQ(delivered, 1);
}
