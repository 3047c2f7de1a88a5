#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <functional>

// Turns the event loop until the condition holds; false when it did not within the time.
inline bool WaitUntil(const std::function<bool()>& condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    QTimer tick; // wakes the loop to check again without spinning
    tick.start(5);
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Turns the event loop for a while, for what must not come.
inline void Drain(int ms)
{
    QElapsedTimer timer;
    timer.start();
    WaitUntil([&] { return timer.elapsed() >= ms; }, ms + 1000);
}
