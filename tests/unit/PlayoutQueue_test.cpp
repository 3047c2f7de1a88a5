// The speaker's queue between the network and the sound server's stream, driven the way the
// two threads drive it: decoded voice in 10 ms pieces, the device asking for 3 ms at a time.
#include "platform/voice/pulse/PlayoutQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <numeric>
#include <thread>
#include <vector>

using voicelink::PlayoutQueue;

namespace {

constexpr int kRate = 48000;
constexpr size_t kPiece = 480; // 10 ms decoded
constexpr size_t kAsk = 144;   // 3 ms asked for

// Plays ms of real time: a piece arrives every 10 ms, the device takes 3 ms every 3 ms.
void run(PlayoutQueue& q, int ms, int16_t value = 1000)
{
    std::vector<int16_t> piece(kPiece, value), out(kAsk);
    for (int t = 0; t < ms * 1000; t += 1000) {
        if (t % 10000 == 0)
            q.Push(piece.data(), piece.size());
        if (t % 3000 == 0)
            q.Pull(out.data(), out.size());
    }
}

} // namespace

// A stall that lets 300 ms of voice through at once is cut back to the margin within 2 s, and
// the cut never reaches into the margin that covers the network's spread.
TEST(PlayoutQueue, AStallsBacklogIsCutToTheMarginWithinTwoSeconds)
{
    PlayoutQueue q(kRate);
    q.SetMarginMs(5);
    run(q, 1000);
    const PlayoutQueue::Figures before = q.Now();
    std::vector<int16_t> backlog(kRate * 300 / 1000, 1000);
    q.Push(backlog.data(), backlog.size());
    run(q, 2000);
    const PlayoutQueue::Figures after = q.Now();
    EXPECT_LE(after.heldMs, 5 + 10 + 1) << "held " << before.heldMs << " ms before the stall";
    EXPECT_GE(after.trimmedMs, 280u);
    EXPECT_EQ(after.underrunMs, before.underrunMs) << "the margin was cut into";
}

// A peer that sends faster than the device plays cannot grow the queue without bound, and
// voice that does not come in time is silence, counted, never stale samples.
TEST(PlayoutQueue, TooMuchIsBoundedAndTooLittleIsSilence)
{
    PlayoutQueue q(kRate);
    std::vector<int16_t> flood(kRate, 7);
    for (int i = 0; i < 5; ++i)
        q.Push(flood.data(), flood.size());
    EXPECT_LE(q.Now().heldMs, 1000.0);

    q.Clear();
    std::vector<int16_t> voice(100, 9), out(kAsk, 123);
    q.Push(voice.data(), voice.size());
    EXPECT_EQ(q.Pull(out.data(), out.size()), voice.size());
    EXPECT_TRUE(std::all_of(out.begin(), out.begin() + 100, [](int16_t s) { return s == 9; }));
    EXPECT_TRUE(std::all_of(out.begin() + 100, out.end(), [](int16_t s) { return s == 0; }));
    EXPECT_NEAR(double(q.Now().underrunMs), (kAsk - 100) * 1000.0 / kRate, 1.0);
}

// The network's thread and the device's thread at once: every sample pushed is played, cut or
// still held, and the device is never handed more or less than it asked for.
TEST(PlayoutQueue, BothThreadsAtOnceLoseNothingUnaccounted)
{
    PlayoutQueue q(kRate);
    q.SetMarginMs(0);
    constexpr int kPieces = 3000;
    std::atomic<bool> done{false};
    std::atomic<size_t> voice{0};
    std::thread device([&] {
        std::vector<int16_t> out(kAsk);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!done && std::chrono::steady_clock::now() < end)
            voice += q.Pull(out.data(), out.size());
    });
    std::vector<int16_t> piece(kPiece, 1);
    for (int i = 0; i < kPieces; ++i)
        q.Push(piece.data(), piece.size());
    done = true;
    device.join();
    const PlayoutQueue::Figures f = q.Now();
    const double pushedMs = kPieces * kPiece * 1000.0 / kRate;
    EXPECT_NEAR(voice * 1000.0 / kRate + double(f.trimmedMs) + f.heldMs, pushedMs,
                2.0 * f.trims + 2);
}
