#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>

#include <memory>
#include <vector>

// A private PipeWire with WirePlumber and its PulseAudio server, on a bus of its own, as most
// desktops now run it; this process (and what it starts) talks to it while the object lives.
// config holds PulseAudio module lines ("load-module module-null-sink ..."), loaded through
// the PulseAudio server.
class TPipeWireServer
{
public:
    explicit TPipeWireServer(const QByteArray& config);
    ~TPipeWireServer();
    TPipeWireServer(const TPipeWireServer&) = delete;
    TPipeWireServer& operator=(const TPipeWireServer&) = delete;

    bool Ready() const { return ready_; }
    QString Error() const { return error_; }

private:
    QProcess* Start(const QString& program, const QStringList& arguments);

    QTemporaryDir dir_;
    QProcessEnvironment env_;
    std::vector<std::unique_ptr<QProcess>> processes_; // in start order
    bool ready_ = false;
    QString error_;
    QByteArray oldServer_;
    QByteArray oldRuntime_;
};
