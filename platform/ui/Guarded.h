#pragma once

#include "platform/ui/TApplication.h"

#include <exception>
#include <utility>

// Runs an event handler; a failure that escapes it is shown in the general error box and ends
// that handler only. Handlers connected to Qt signals go through this so that no exception
// ever unwinds through Qt's own frames.
template <class Handler> void Guarded(Handler&& handler)
{
    try {
        std::forward<Handler>(handler)();
    } catch (...) {
        TApplication::ShowException(std::current_exception());
    }
}
