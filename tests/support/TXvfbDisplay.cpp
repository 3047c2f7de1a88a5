#include "tests/support/TXvfbDisplay.h"

#include <QStandardPaths>

#include <csignal>
#include <sys/prctl.h>

TXvfbDisplay::TXvfbDisplay(QSize size)
{
    const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
    if (program.isEmpty()) {
        error_ = QStringLiteral("Xvfb is not installed (xvfb)");
        return;
    }
    server_.setProgram(program);
    // -displayfd 1: the server picks a free number and writes it once it accepts clients.
    server_.setArguments({QStringLiteral("-displayfd"), QStringLiteral("1"),
                          QStringLiteral("-screen"), QStringLiteral("0"),
                          QStringLiteral("%1x%2x24").arg(size.width()).arg(size.height()),
                          QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    server_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    // A test that crashes must not leave its display behind.
    server_.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
    server_.start();
    if (!server_.waitForStarted(5000)) {
        error_ = server_.errorString();
        return;
    }
    QByteArray line;
    for (int i = 0; i < 100 && !line.endsWith('\n'); ++i) {
        if (server_.state() == QProcess::NotRunning)
            break;
        server_.waitForReadyRead(100);
        line += server_.readAllStandardOutput();
    }
    bool ok = false;
    const int number = line.trimmed().toInt(&ok);
    if (ok)
        name_ = QStringLiteral(":%1").arg(number);
    else
        error_ = QStringLiteral("Xvfb gave no display number");
}

TXvfbDisplay::~TXvfbDisplay()
{
    if (server_.state() != QProcess::NotRunning) {
        server_.terminate();
        if (!server_.waitForFinished(3000)) {
            server_.kill();
            server_.waitForFinished(1000);
        }
    }
}
