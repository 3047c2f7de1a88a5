#include "platform/dnssd/TAvahiQtPoll.h"

#include <avahi-common/timeval.h>

#include <QSocketNotifier>
#include <QTimer>

#include <memory>

namespace {
// Qt objects that may be freed from inside their own signal go later, once it has returned.
struct TDeleteLater
{
    void operator()(QObject* object) const { object->deleteLater(); }
};
template <typename T> using TLaterPtr = std::unique_ptr<T, TDeleteLater>;

// Milliseconds from now until an absolute time of day; 0 when it has passed.
int MsUntil(const struct timeval* when)
{
    const AvahiUsec age = avahi_age(when); // negative: still ahead
    if (age >= 0)
        return 0;
    const AvahiUsec ms = (-age + 999) / 1000;
    return ms > 0x7FFFFFFF ? 0x7FFFFFFF : int(ms);
}
} // namespace

// Avahi names these types in its callbacks; their layout is ours.
struct AvahiWatch
{
    int fd = -1;
    AvahiWatchEvent wanted = AvahiWatchEvent(0);
    AvahiWatchEvent happened = AvahiWatchEvent(0); // during a callback: what woke it
    AvahiWatchCallback callback = nullptr;
    void* userdata = nullptr;
    TLaterPtr<QSocketNotifier> read;
    TLaterPtr<QSocketNotifier> write;

    void Fire(AvahiWatchEvent event)
    {
        happened = event;
        // Nothing of this watch is touched after the call: the callback may free it.
        callback(this, fd, event, userdata);
    }

    void Update(AvahiWatchEvent events)
    {
        wanted = events;
        read->setEnabled((events & (AVAHI_WATCH_IN | AVAHI_WATCH_HUP | AVAHI_WATCH_ERR)) != 0);
        write->setEnabled((events & AVAHI_WATCH_OUT) != 0);
    }

    ~AvahiWatch()
    {
        // The notifiers go later, so they must be quiet from now on.
        read->setEnabled(false);
        read->disconnect();
        write->setEnabled(false);
        write->disconnect();
    }
};

struct AvahiTimeout
{
    AvahiTimeoutCallback callback = nullptr;
    void* userdata = nullptr;
    TLaterPtr<QTimer> timer;

    void Update(const struct timeval* when)
    {
        if (!when) {
            timer->stop();
            return;
        }
        timer->start(MsUntil(when));
    }

    ~AvahiTimeout()
    {
        timer->stop();
        timer->disconnect();
    }
};

namespace {
AvahiWatch* WatchNew(const AvahiPoll*, int fd, AvahiWatchEvent event, AvahiWatchCallback callback,
                     void* userdata)
{
    auto watch = std::make_unique<AvahiWatch>();
    watch->fd = fd;
    watch->callback = callback;
    watch->userdata = userdata;
    watch->read.reset(new QSocketNotifier(fd, QSocketNotifier::Read));
    watch->write.reset(new QSocketNotifier(fd, QSocketNotifier::Write));
    AvahiWatch* w = watch.get();
    QObject::connect(w->read.get(), &QSocketNotifier::activated, w->read.get(),
                     [w] { w->Fire(AVAHI_WATCH_IN); });
    QObject::connect(w->write.get(), &QSocketNotifier::activated, w->write.get(),
                     [w] { w->Fire(AVAHI_WATCH_OUT); });
    watch->Update(event);
    return watch.release();
}

void WatchUpdate(AvahiWatch* watch, AvahiWatchEvent event)
{
    watch->Update(event);
}

AvahiWatchEvent WatchGetEvents(AvahiWatch* watch)
{
    return watch->happened;
}

void WatchFree(AvahiWatch* watch)
{
    std::unique_ptr<AvahiWatch> gone(watch);
}

AvahiTimeout* TimeoutNew(const AvahiPoll*, const struct timeval* when,
                         AvahiTimeoutCallback callback, void* userdata)
{
    auto timeout = std::make_unique<AvahiTimeout>();
    timeout->callback = callback;
    timeout->userdata = userdata;
    timeout->timer.reset(new QTimer);
    timeout->timer->setSingleShot(true);
    timeout->timer->setTimerType(Qt::PreciseTimer);
    AvahiTimeout* t = timeout.get();
    QObject::connect(t->timer.get(), &QTimer::timeout, t->timer.get(),
                     [t] { t->callback(t, t->userdata); });
    timeout->Update(when);
    return timeout.release();
}

void TimeoutUpdate(AvahiTimeout* timeout, const struct timeval* when)
{
    timeout->Update(when);
}

void TimeoutFree(AvahiTimeout* timeout)
{
    std::unique_ptr<AvahiTimeout> gone(timeout);
}
} // namespace

TAvahiQtPoll::TAvahiQtPoll()
{
    api_.userdata = this;
    api_.watch_new = WatchNew;
    api_.watch_update = WatchUpdate;
    api_.watch_get_events = WatchGetEvents;
    api_.watch_free = WatchFree;
    api_.timeout_new = TimeoutNew;
    api_.timeout_update = TimeoutUpdate;
    api_.timeout_free = TimeoutFree;
}
