#pragma once

#include <avahi-common/watch.h>

// Avahi's poll API served by Qt's event loop: file watches become socket notifiers and
// timeouts single-shot timers, so Avahi's callbacks run on the thread that made this object.
// Every watch and timeout must be freed (Avahi does so) before this object goes.
class TAvahiQtPoll
{
public:
    TAvahiQtPoll();
    TAvahiQtPoll(const TAvahiQtPoll&) = delete;
    TAvahiQtPoll& operator=(const TAvahiQtPoll&) = delete;

    const AvahiPoll* Api() const { return &api_; }

private:
    AvahiPoll api_{};
};
