#pragma once

#include <QByteArray>
#include <QProcess>
#include <QTemporaryDir>

// True when something listens on the Unix socket at path.
bool UnixSocketAccepts(const QString& path);

// A private sound server with one null sink, "capTest", as the default output; this process
// (and every process it starts) uses it while the object lives. extraConfig holds further
// daemon.pa commands, e.g. the sinks and loopbacks of an acoustic path.
class TSoundServer
{
public:
    explicit TSoundServer(const QByteArray& extraConfig = {});
    ~TSoundServer();
    TSoundServer(const TSoundServer&) = delete;
    TSoundServer& operator=(const TSoundServer&) = delete;

    bool Ready() const { return ready_; }

private:
    QTemporaryDir dir_;
    QProcess process_;
    bool ready_ = false;
    QByteArray oldServer_;
};
