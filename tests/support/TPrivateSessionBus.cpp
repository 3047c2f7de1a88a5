#include "tests/support/TPrivateSessionBus.h"

#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

TPrivateSessionBus::TPrivateSessionBus()
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("dbus-daemon is not installed");
        return;
    }
    daemon_.setProgram(program);
    daemon_.setArguments({QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--nopidfile"), QStringLiteral("--print-address=1")});
    daemon_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that crashes must not leave its bus behind.
    daemon_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    daemon_.start();
    if (!daemon_.waitForStarted(5000)) {
        error_ = daemon_.errorString();
        return;
    }
    // The address is its first line; it writes it once the bus is listening.
    QByteArray line;
    for (int i = 0; i < 50 && !line.endsWith('\n'); ++i) {
        daemon_.waitForReadyRead(100);
        line += daemon_.readAllStandardOutput();
    }
    address_ = QString::fromUtf8(line).trimmed();
    if (address_.isEmpty())
        error_ = QStringLiteral("dbus-daemon gave no address");
}

TPrivateSessionBus::~TPrivateSessionBus()
{
    if (daemon_.state() != QProcess::NotRunning) {
        daemon_.terminate();
        if (!daemon_.waitForFinished(3000)) {
            daemon_.kill();
            daemon_.waitForFinished(1000);
        }
    }
}
