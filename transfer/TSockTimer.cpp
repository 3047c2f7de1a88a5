#include "transfer/TSockTimer.h"

TSockTimer::TSockTimer(QObject* parent) : QObject(parent)
{
    connect(&timer_, &QTimer::timeout, this, [this] {
        if (onTimer_)
            onTimer_();
    });
}

void TSockTimer::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    Restart();
}

void TSockTimer::SetInterval(quint32 interval)
{
    interval_ = interval;
    Restart();
}

void TSockTimer::SetOnTimer(std::function<void()> handler)
{
    onTimer_ = std::move(handler);
    Restart();
}

void TSockTimer::Restart()
{
    timer_.stop();
    if (interval_ != 0 && enabled_ && onTimer_)
        timer_.start(int(qMin<quint32>(interval_, quint32(INT_MAX))));
}
