#pragma once

#include <QByteArray>
#include <QProcess>

// Records what the sound server's "capTest" sink plays (48 kHz mono S16) while it lives.
// The sink's monitor yields samples only while something plays, so the recording holds
// exactly what was played.
class TOutputRecorder
{
public:
    TOutputRecorder();
    ~TOutputRecorder();
    TOutputRecorder(const TOutputRecorder&) = delete;
    TOutputRecorder& operator=(const TOutputRecorder&) = delete;

    // True once the recording stream is connected, within a few seconds.
    bool WaitConnected();
    // Everything recorded so far, after reading for `ms` milliseconds more.
    QByteArray Collect(int ms);

private:
    QProcess process_;
    QByteArray samples_;
    QByteArray log_;
};
