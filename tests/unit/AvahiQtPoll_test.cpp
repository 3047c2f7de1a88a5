#include "platform/dnssd/TAvahiQtPoll.h"

#include <avahi-common/timeval.h>

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <functional>
#include <vector>

namespace {
// Longest any case waits for something that should happen; only a guard against hanging.
constexpr int GuardMs = 5000;
// How long a case lets the loop run to give a silenced watch or timeout the chance to misfire.
constexpr int SettleMs = 100;

// Runs the event loop until done() holds or the guard runs out; returns done().
bool RunUntil(const std::function<bool()>& done, int limitMs = GuardMs)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done())
            loop.quit();
    });
    guard.start(limitMs);
    check.start(1);
    loop.exec();
    return done();
}

// Lets the loop run for a while, for whatever is (wrongly) still due to happen.
void Settle()
{
    RunUntil([] { return false; }, SettleMs);
}

// Qt objects freed by deleteLater() go now, before the descriptors they watched are closed.
void FlushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

struct TWatchLog
{
    const AvahiPoll* api = nullptr;
    int calls = 0;
    std::vector<int> fds;
    std::vector<AvahiWatchEvent> events;    // as the callback was given them
    std::vector<AvahiWatchEvent> reported;  // watch_get_events during the callback
    std::function<void(AvahiWatch*)> react; // what the callback does besides noting
};

void WatchCallback(AvahiWatch* watch, int fd, AvahiWatchEvent event, void* userdata)
{
    auto* log = static_cast<TWatchLog*>(userdata);
    ++log->calls;
    log->fds.push_back(fd);
    log->events.push_back(event);
    log->reported.push_back(log->api->watch_get_events(watch));
    if (log->react)
        log->react(watch);
}

struct TTimeoutLog
{
    const AvahiPoll* api = nullptr;
    std::vector<int> fired; // the tag of each call, in order
    int tag = 0;
    std::function<void(AvahiTimeout*)> react;
};

void TimeoutCallback(AvahiTimeout* timeout, void* userdata)
{
    auto* log = static_cast<TTimeoutLog*>(userdata);
    log->fired.push_back(log->tag);
    if (log->react)
        log->react(timeout);
}

struct timeval After(unsigned ms)
{
    struct timeval tv
    {};
    avahi_elapse_time(&tv, ms, 0);
    return tv;
}

class AvahiQtPollTest : public ::testing::Test
{
protected:
    TAvahiQtPoll poll;
    const AvahiPoll* api = poll.Api();
    std::array<int, 2> pipeFds{-1, -1}; // read end, write end
    std::vector<AvahiWatch*> watches;
    std::vector<AvahiTimeout*> timeouts;

    void SetUp() override { ASSERT_EQ(pipe2(pipeFds.data(), O_NONBLOCK | O_CLOEXEC), 0); }

    void TearDown() override
    {
        for (AvahiWatch* watch : watches)
            api->watch_free(watch);
        for (AvahiTimeout* timeout : timeouts)
            api->timeout_free(timeout);
        FlushDeferredDeletes();
        for (int fd : pipeFds)
            if (fd >= 0)
                close(fd);
    }

    int ReadEnd() const { return pipeFds[0]; }
    int WriteEnd() const { return pipeFds[1]; }

    void WriteByte()
    {
        const char byte = 'x';
        ASSERT_EQ(write(WriteEnd(), &byte, 1), 1);
    }

    // A watch the fixture frees at the end.
    AvahiWatch* NewWatch(int fd, AvahiWatchEvent events, TWatchLog& log)
    {
        log.api = api;
        AvahiWatch* watch = api->watch_new(api, fd, events, WatchCallback, &log);
        if (watch)
            watches.push_back(watch);
        return watch;
    }

    AvahiTimeout* NewTimeout(const struct timeval* when, TTimeoutLog& log)
    {
        log.api = api;
        AvahiTimeout* timeout = api->timeout_new(api, when, TimeoutCallback, &log);
        if (timeout)
            timeouts.push_back(timeout);
        return timeout;
    }

    // For an object freed by the code under test: the fixture must not free it again.
    void Forget(AvahiWatch* watch) { std::erase(watches, watch); }
    void Forget(AvahiTimeout* timeout) { std::erase(timeouts, timeout); }
};

// --- Watches -------------------------------------------------------------------------------

TEST_F(AvahiQtPollTest, ApiIsCompleteAndCarriesItsObject)
{
    EXPECT_EQ(api->userdata, &poll);
    EXPECT_NE(api->watch_new, nullptr);
    EXPECT_NE(api->watch_update, nullptr);
    EXPECT_NE(api->watch_get_events, nullptr);
    EXPECT_NE(api->watch_free, nullptr);
    EXPECT_NE(api->timeout_new, nullptr);
    EXPECT_NE(api->timeout_update, nullptr);
    EXPECT_NE(api->timeout_free, nullptr);
}

TEST_F(AvahiQtPollTest, ReadWatchFiresWhenDataArrivesAndReportsItsEvent)
{
    TWatchLog log;
    log.react = [this](AvahiWatch*) {
        char byte = 0;
        (void)read(ReadEnd(), &byte, 1);
    };
    ASSERT_NE(NewWatch(ReadEnd(), AVAHI_WATCH_IN, log), nullptr);
    Settle();
    EXPECT_EQ(log.calls, 0) << "fired with nothing to read";

    WriteByte();
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 1; }));
    EXPECT_EQ(log.fds.front(), ReadEnd());
    EXPECT_EQ(log.events.front(), AVAHI_WATCH_IN);
    EXPECT_EQ(log.reported.front(), AVAHI_WATCH_IN);
    // The byte was read, so nothing more is due.
    Settle();
    EXPECT_EQ(log.calls, 1);
}

TEST_F(AvahiQtPollTest, UpdateToNoEventsSilencesAWatchAndUpdatingBackRearmsIt)
{
    TWatchLog log;
    // Leaves the byte unread: a watch that still listened would fire again and again.
    log.react = [this](AvahiWatch* watch) { api->watch_update(watch, AvahiWatchEvent(0)); };
    AvahiWatch* watch = NewWatch(ReadEnd(), AVAHI_WATCH_IN, log);
    ASSERT_NE(watch, nullptr);
    WriteByte();
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 1; }));
    Settle();
    EXPECT_EQ(log.calls, 1);

    api->watch_update(watch, AVAHI_WATCH_IN);
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 2; }));
    EXPECT_EQ(log.events.back(), AVAHI_WATCH_IN);
    Settle();
    EXPECT_EQ(log.calls, 2);
}

TEST_F(AvahiQtPollTest, WatchCreatedSilentFiresOnlyOnceEnabled)
{
    TWatchLog log;
    log.react = [this](AvahiWatch* watch) { api->watch_update(watch, AvahiWatchEvent(0)); };
    AvahiWatch* watch = NewWatch(ReadEnd(), AvahiWatchEvent(0), log);
    ASSERT_NE(watch, nullptr);
    WriteByte();
    Settle();
    EXPECT_EQ(log.calls, 0);
    api->watch_update(watch, AVAHI_WATCH_IN);
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 1; }));
    EXPECT_EQ(log.events.front(), AVAHI_WATCH_IN);
}

TEST_F(AvahiQtPollTest, WatchFreedInItsOwnCallbackIsNeverCalledAgain)
{
    TWatchLog log;
    // The byte stays unread, so a watch that outlived its freeing would fire at once.
    log.react = [this](AvahiWatch* watch) {
        Forget(watch);
        api->watch_free(watch);
    };
    ASSERT_NE(NewWatch(ReadEnd(), AVAHI_WATCH_IN, log), nullptr);
    WriteByte();
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 1; }));
    Settle();
    EXPECT_EQ(log.calls, 1);
    FlushDeferredDeletes();
    Settle();
    EXPECT_EQ(log.calls, 1);
}

TEST_F(AvahiQtPollTest, WatchFreedOutsideItsCallbackIsNeverCalled)
{
    TWatchLog log;
    AvahiWatch* watch = NewWatch(ReadEnd(), AVAHI_WATCH_IN, log);
    ASSERT_NE(watch, nullptr);
    WriteByte();
    Forget(watch);
    api->watch_free(watch);
    Settle();
    EXPECT_EQ(log.calls, 0);
}

TEST_F(AvahiQtPollTest, WriteWatchFiresOnAWritablePipeEnd)
{
    TWatchLog log;
    log.react = [this](AvahiWatch* watch) { api->watch_update(watch, AvahiWatchEvent(0)); };
    ASSERT_NE(NewWatch(WriteEnd(), AVAHI_WATCH_OUT, log), nullptr);
    ASSERT_TRUE(RunUntil([&] { return log.calls >= 1; }));
    EXPECT_EQ(log.fds.front(), WriteEnd());
    EXPECT_EQ(log.events.front(), AVAHI_WATCH_OUT);
    EXPECT_EQ(log.reported.front(), AVAHI_WATCH_OUT);
    Settle();
    EXPECT_EQ(log.calls, 1);
}

TEST_F(AvahiQtPollTest, WriteWatchStaysQuietOnTheReadEnd)
{
    // The read end of a pipe never becomes writable: only a watch that also listened for
    // input (or fired unasked) would be called.
    TWatchLog log;
    ASSERT_NE(NewWatch(ReadEnd(), AVAHI_WATCH_OUT, log), nullptr);
    WriteByte();
    Settle();
    EXPECT_EQ(log.calls, 0);
}

TEST_F(AvahiQtPollTest, TwoWatchesOnOneDescriptorAreCalledEachWithItsOwnData)
{
    TWatchLog first;
    TWatchLog second;
    auto silence = [this](AvahiWatch* watch) { api->watch_update(watch, AvahiWatchEvent(0)); };
    first.react = silence;
    second.react = silence;
    ASSERT_NE(NewWatch(ReadEnd(), AVAHI_WATCH_IN, first), nullptr);
    ASSERT_NE(NewWatch(ReadEnd(), AVAHI_WATCH_IN, second), nullptr);
    WriteByte();
    ASSERT_TRUE(RunUntil([&] { return first.calls >= 1 && second.calls >= 1; }));
    Settle();
    EXPECT_EQ(first.calls, 1);
    EXPECT_EQ(second.calls, 1);
}

// --- Timeouts ------------------------------------------------------------------------------

TEST_F(AvahiQtPollTest, TimeoutInThePastFiresOnce)
{
    TTimeoutLog log;
    struct timeval past = After(0);
    avahi_timeval_add(&past, -1000000); // a second ago
    ASSERT_NE(NewTimeout(&past, log), nullptr);
    ASSERT_TRUE(RunUntil([&] { return !log.fired.empty(); }));
    Settle();
    EXPECT_EQ(log.fired.size(), 1u);
}

TEST_F(AvahiQtPollTest, TimeoutWithoutATimeNeverFires)
{
    TTimeoutLog log;
    ASSERT_NE(NewTimeout(nullptr, log), nullptr);
    Settle();
    EXPECT_TRUE(log.fired.empty());
}

TEST_F(AvahiQtPollTest, UpdateToNoTimeDisablesAPendingTimeout)
{
    TTimeoutLog log;
    log.tag = 1;
    const struct timeval soon = After(30);
    AvahiTimeout* timeout = NewTimeout(&soon, log);
    ASSERT_NE(timeout, nullptr);
    api->timeout_update(timeout, nullptr);

    // A later one on the same loop marks the moment the first would long have fired.
    TTimeoutLog marker;
    marker.tag = 2;
    const struct timeval later = After(150);
    ASSERT_NE(NewTimeout(&later, marker), nullptr);
    ASSERT_TRUE(RunUntil([&] { return !marker.fired.empty(); }));
    Settle();
    EXPECT_TRUE(log.fired.empty());
}

TEST_F(AvahiQtPollTest, UpdateRearmsAFiredTimeout)
{
    TTimeoutLog log;
    const struct timeval now = After(0);
    AvahiTimeout* timeout = NewTimeout(&now, log);
    ASSERT_NE(timeout, nullptr);
    ASSERT_TRUE(RunUntil([&] { return log.fired.size() >= 1; }));
    Settle();
    ASSERT_EQ(log.fired.size(), 1u) << "a timeout fires once until updated";

    const struct timeval again = After(10);
    api->timeout_update(timeout, &again);
    ASSERT_TRUE(RunUntil([&] { return log.fired.size() >= 2; }));
    Settle();
    EXPECT_EQ(log.fired.size(), 2u);
}

TEST_F(AvahiQtPollTest, UpdateInsideTheCallbackRearms)
{
    // Avahi's own periodic jobs re-arm from their callback.
    TTimeoutLog log;
    log.react = [&](AvahiTimeout* timeout) {
        if (log.fired.size() < 3) {
            const struct timeval next = After(5);
            api->timeout_update(timeout, &next);
        }
    };
    const struct timeval now = After(0);
    ASSERT_NE(NewTimeout(&now, log), nullptr);
    ASSERT_TRUE(RunUntil([&] { return log.fired.size() >= 3; }));
    Settle();
    EXPECT_EQ(log.fired.size(), 3u);
}

TEST_F(AvahiQtPollTest, UpdateMovesAPendingTimeoutLater)
{
    TTimeoutLog moved;
    moved.tag = 1;
    const struct timeval soon = After(20);
    AvahiTimeout* timeout = NewTimeout(&soon, moved);
    ASSERT_NE(timeout, nullptr);
    TTimeoutLog fixed;
    fixed.tag = 2;
    const struct timeval middle = After(120);
    ASSERT_NE(NewTimeout(&middle, fixed), nullptr);
    const struct timeval late = After(300);
    api->timeout_update(timeout, &late);

    std::vector<int> order;
    moved.react = [&](AvahiTimeout*) { order.push_back(1); };
    fixed.react = [&](AvahiTimeout*) { order.push_back(2); };
    ASSERT_TRUE(RunUntil([&] { return order.size() >= 2; }));
    EXPECT_EQ(order, (std::vector<int>{2, 1}));
}

TEST_F(AvahiQtPollTest, TimeoutFreedInItsOwnCallbackIsNeverCalledAgain)
{
    TTimeoutLog log;
    log.react = [this](AvahiTimeout* timeout) {
        // Re-armed first, so a timeout that outlived its freeing would fire once more.
        const struct timeval now = After(0);
        api->timeout_update(timeout, &now);
        Forget(timeout);
        api->timeout_free(timeout);
    };
    const struct timeval now = After(0);
    ASSERT_NE(NewTimeout(&now, log), nullptr);
    ASSERT_TRUE(RunUntil([&] { return !log.fired.empty(); }));
    Settle();
    FlushDeferredDeletes();
    Settle();
    EXPECT_EQ(log.fired.size(), 1u);
}

TEST_F(AvahiQtPollTest, TimeoutFreedBeforeItsTimeIsNeverCalled)
{
    TTimeoutLog log;
    const struct timeval soon = After(10);
    AvahiTimeout* timeout = NewTimeout(&soon, log);
    ASSERT_NE(timeout, nullptr);
    Forget(timeout);
    api->timeout_free(timeout);
    Settle();
    EXPECT_TRUE(log.fired.empty());
}

TEST_F(AvahiQtPollTest, TimeoutsFireInTheOrderOfTheirTimes)
{
    // Made latest first, so the order they fire in is that of their times, not of creation.
    std::vector<int> order;
    TTimeoutLog late;
    late.tag = 3;
    TTimeoutLog middle;
    middle.tag = 2;
    TTimeoutLog early;
    early.tag = 1;
    for (TTimeoutLog* log : {&late, &middle, &early})
        log->react = [&order, log](AvahiTimeout*) { order.push_back(log->tag); };
    const struct timeval lateTime = After(240);
    const struct timeval middleTime = After(120);
    const struct timeval earlyTime = After(20);
    ASSERT_NE(NewTimeout(&lateTime, late), nullptr);
    ASSERT_NE(NewTimeout(&middleTime, middle), nullptr);
    ASSERT_NE(NewTimeout(&earlyTime, early), nullptr);
    ASSERT_TRUE(RunUntil([&] { return order.size() >= 3; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
}

TEST_F(AvahiQtPollTest, TimeoutCallbackGetsItsOwnTimeoutAndData)
{
    TTimeoutLog log;
    AvahiTimeout* seen = nullptr;
    log.react = [&](AvahiTimeout* timeout) { seen = timeout; };
    const struct timeval now = After(0);
    AvahiTimeout* timeout = NewTimeout(&now, log);
    ASSERT_NE(timeout, nullptr);
    ASSERT_TRUE(RunUntil([&] { return !log.fired.empty(); }));
    EXPECT_EQ(seen, timeout);
}
} // namespace
