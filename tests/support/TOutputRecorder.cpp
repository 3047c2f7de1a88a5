#include "tests/support/TOutputRecorder.h"

#include <QElapsedTimer>
#include <QStandardPaths>

TOutputRecorder::TOutputRecorder()
{
    const QString parec = QStandardPaths::findExecutable("parec");
    if (parec.isEmpty())
        return;
    process_.start(parec, {"-v", "--device=capTest.monitor", "--format=s16le", "--rate=48000",
                           "--channels=1", "--latency-msec=20"});
}

TOutputRecorder::~TOutputRecorder()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.terminate();
        if (!process_.waitForFinished(3000))
            process_.kill();
        process_.waitForFinished(3000);
    }
}

bool TOutputRecorder::WaitConnected()
{
    if (!process_.waitForStarted(3000))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!log_.contains("Connected to device") && timer.elapsed() < 5000 &&
           process_.state() == QProcess::Running) {
        process_.waitForReadyRead(20);
        log_ += process_.readAllStandardError();
        samples_ += process_.readAllStandardOutput();
    }
    return log_.contains("Connected to device");
}

QByteArray TOutputRecorder::Collect(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms && process_.state() == QProcess::Running) {
        process_.waitForReadyRead(20);
        samples_ += process_.readAllStandardOutput();
        process_.readAllStandardError(); // progress lines
    }
    samples_ += process_.readAllStandardOutput();
    return samples_;
}
