#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QThread>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

bool UnixSocketAccepts(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return false;
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::strncpy(addr.sun_path, QFile::encodeName(path).constData(), sizeof(addr.sun_path) - 1);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0;
    ::close(fd);
    return ok;
}

TSoundServer::TSoundServer(const QByteArray& extraConfig)
{
    const QString pulse = QStandardPaths::findExecutable("pulseaudio");
    if (pulse.isEmpty() || !dir_.isValid())
        return;
    const QString socket = dir_.filePath("native");
    QFile config(dir_.filePath("daemon.pa"));
    if (!config.open(QIODevice::WriteOnly))
        return;
    config.write("load-module module-null-sink sink_name=capTest\n"
                 "set-default-sink capTest\n" +
                 extraConfig +
                 "\nload-module module-native-protocol-unix auth-anonymous=1 socket=" +
                 QFile::encodeName(socket) + "\n");
    config.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir_.path());
    env.insert("PULSE_RUNTIME_PATH", dir_.filePath("runtime"));
    env.insert("XDG_RUNTIME_DIR", dir_.path());
    env.remove("DBUS_SESSION_BUS_ADDRESS");
    process_.setProcessEnvironment(env);
    process_.start(pulse, {"-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=false",
                           "-F", config.fileName()});
    if (!process_.waitForStarted(5000))
        return;
    QElapsedTimer timer;
    timer.start();
    while (!(ready_ = UnixSocketAccepts(socket)) && timer.elapsed() < 5000 &&
           process_.state() == QProcess::Running)
        QThread::msleep(20);
    if (ready_) {
        oldServer_ = qgetenv("PULSE_SERVER");
        qputenv("PULSE_SERVER", "unix:" + QFile::encodeName(socket));
    }
}

TSoundServer::~TSoundServer()
{
    if (ready_)
        oldServer_.isNull() ? qunsetenv("PULSE_SERVER") : qputenv("PULSE_SERVER", oldServer_);
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }
}
