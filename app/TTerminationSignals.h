#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

// SIGTERM, SIGINT and SIGHUP (a session ending, Ctrl+C) end the program as closing its window
// does, so what it writes at exit is written. The signal only wakes the event loop; the
// handler runs there.
class TTerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TTerminationSignals(std::function<void()> handler, QObject* parent = nullptr);
    ~TTerminationSignals() override;

private:
    std::function<void()> handler_;
    QSocketNotifier* notifier_ = nullptr;
};
