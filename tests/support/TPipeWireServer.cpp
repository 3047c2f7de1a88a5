#include "tests/support/TPipeWireServer.h"

#include "tests/support/TSoundServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <csignal>
#include <sys/prctl.h>

TPipeWireServer::TPipeWireServer(const QByteArray& config)
{
    for (const char* tool : {"dbus-daemon", "pipewire", "wireplumber", "pipewire-pulse", "pactl"})
        if (QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty()) {
            error_ = QStringLiteral("%1 is not installed").arg(QLatin1String(tool));
            return;
        }
    if (!dir_.isValid()) {
        error_ = QStringLiteral("no temporary folder");
        return;
    }
    env_ = QProcessEnvironment::systemEnvironment();
    env_.insert("XDG_RUNTIME_DIR", dir_.path());
    env_.insert("PIPEWIRE_RUNTIME_DIR", dir_.path());
    env_.insert("XDG_CONFIG_HOME", dir_.filePath("config"));
    // Without a login session (a build machine) WirePlumber's Bluetooth part cannot watch the
    // seats and takes WirePlumber down with it; there is no Bluetooth to watch here anyway.
    QDir().mkpath(dir_.filePath("config/wireplumber/bluetooth.lua.d"));
    QFile noBluetooth(dir_.filePath("config/wireplumber/bluetooth.lua.d/51-no-bluetooth.lua"));
    if (!noBluetooth.open(QIODevice::WriteOnly) ||
        noBluetooth.write("bluez_monitor.enabled = false\n") < 0) {
        error_ = QStringLiteral("cannot write WirePlumber's configuration");
        return;
    }
    noBluetooth.close();
    env_.insert("XDG_STATE_HOME", dir_.filePath("state"));
    env_.insert("HOME", dir_.path());
    env_.remove("PULSE_SERVER");
    // WirePlumber needs a session bus; the machine's own must not see this server.
    QProcess* bus = Start(QStringLiteral("dbus-daemon"),
                          {QStringLiteral("--session"), QStringLiteral("--nofork"),
                           QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    if (!bus || !bus->waitForReadyRead(5000)) {
        error_ = QStringLiteral("the session bus did not start");
        return;
    }
    env_.insert("DBUS_SESSION_BUS_ADDRESS", QString::fromUtf8(bus->readLine().trimmed()));
    // Each finds the one before it on its socket: pipewire's own, then the PulseAudio one.
    auto waitFor = [](const QString& socket) {
        QElapsedTimer timer;
        timer.start();
        while (!UnixSocketAccepts(socket) && timer.elapsed() < 10000)
            QThread::msleep(20);
        return UnixSocketAccepts(socket);
    };
    const QString socket = dir_.filePath("pulse/native");
    if (!Start(QStringLiteral("pipewire"), {}) || !waitFor(dir_.filePath("pipewire-0"))) {
        error_ = QStringLiteral("pipewire did not start");
        return;
    }
    if (!Start(QStringLiteral("wireplumber"), {}) || !Start(QStringLiteral("pipewire-pulse"), {}) ||
        !waitFor(socket)) {
        error_ = QStringLiteral("pipewire-pulse opened no socket");
        return;
    }
    const QByteArray server = "unix:" + socket.toUtf8();
    QProcessEnvironment pactlEnv = env_;
    pactlEnv.insert("PULSE_SERVER", QString::fromUtf8(server));
    // WirePlumber may still be starting: until it has made the session's metadata, the
    // PulseAudio server cannot set a default ("Not supported"). Each line is tried again for a
    // while.
    QElapsedTimer trying;
    trying.start();
    for (const QByteArray& line : config.split('\n')) {
        if (line.trimmed().isEmpty())
            continue;
        for (;;) {
            QProcess pactl;
            pactl.setProcessEnvironment(pactlEnv);
            pactl.start(QStringLiteral("pactl"),
                        QString::fromUtf8(line).split(u' ', Qt::SkipEmptyParts));
            if (pactl.waitForFinished(10000) && pactl.exitCode() == 0)
                break;
            if (trying.elapsed() > 15000) {
                error_ = QStringLiteral("pactl %1: %2")
                             .arg(QString::fromUtf8(line),
                                  QString::fromUtf8(pactl.readAllStandardError()));
                return;
            }
            QThread::msleep(100);
        }
    }
    oldServer_ = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", server);
    // PipeWire's own streams find the same server.
    oldRuntime_ = qgetenv("PIPEWIRE_RUNTIME_DIR");
    qputenv("PIPEWIRE_RUNTIME_DIR", dir_.path().toUtf8());
    ready_ = true;
}

QProcess* TPipeWireServer::Start(const QString& program, const QStringList& arguments)
{
    auto p = std::make_unique<QProcess>();
    p->setProcessEnvironment(env_);
    // A run that ends without cleaning up (a crash) takes its servers with it.
    p->setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    // The servers' complaints about what a private instance lacks (portals, cameras) go.
    p->setStandardErrorFile(QProcess::nullDevice());
    if (program != QLatin1String("dbus-daemon"))
        p->setStandardOutputFile(QProcess::nullDevice());
    p->start(program, arguments);
    if (!p->waitForStarted(5000))
        return nullptr;
    processes_.push_back(std::move(p));
    return processes_.back().get();
}

TPipeWireServer::~TPipeWireServer()
{
    if (ready_) {
        oldServer_.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", oldServer_);
        oldRuntime_.isNull() ? qunsetenv("PIPEWIRE_RUNTIME_DIR")
                             : qputenv("PIPEWIRE_RUNTIME_DIR", oldRuntime_);
    }
    for (auto it = processes_.rbegin(); it != processes_.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000))
            (*it)->kill();
        (*it)->waitForFinished(3000);
    }
}
