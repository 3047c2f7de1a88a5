#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

// The time-out timer of a socket component: runs OnTimer every Interval milliseconds while
// Enabled, on the thread that owns it. An Interval of 0 never runs.
class TSockTimer : public QObject
{
    Q_OBJECT
public:
    explicit TSockTimer(QObject* parent = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled);
    quint32 Interval() const { return interval_; }
    void SetInterval(quint32 interval);
    void SetOnTimer(std::function<void()> handler);

private:
    void Restart();

    bool enabled_ = true;
    quint32 interval_ = 1000;
    std::function<void()> onTimer_;
    QTimer timer_;
};
