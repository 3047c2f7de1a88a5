#include "tests/support/TRecordingTerminal.h"

qint32 TRecordingTerminal::Note(const QString& call)
{
    calls << call;
    return 0;
}

qint32 TRecordingTerminal::InitializeTerminal()
{
    return Note("InitializeTerminal");
}

qint32 TRecordingTerminal::UninitializeTerminal()
{
    return Note("UninitializeTerminal");
}

qint32 TRecordingTerminal::ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d)
{
    return Note(QString("ConfigureReceive(%1,%2,%3,%4)").arg(a).arg(b).arg(c).arg(d));
}

qint32 TRecordingTerminal::ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d, qint32 e,
                                             qint32 f)
{
    return Note(
        QString("ConfigureTransmit(%1,%2,%3,%4,%5,%6)").arg(a).arg(b).arg(c).arg(d).arg(e).arg(f));
}

qint32 TRecordingTerminal::SetRemoteAddress(const QString& host, qint32 port)
{
    return Note(QString("SetRemoteAddress(%1,%2)").arg(host).arg(port));
}

qint32 TRecordingTerminal::SetLocalPort(qint32 port)
{
    return Note(QString("SetLocalPort(%1)").arg(port));
}

qint32 TRecordingTerminal::StartTransmit(qint32 mode)
{
    return Note(QString("StartTransmit(%1)").arg(mode));
}

qint32 TRecordingTerminal::StopTransmit()
{
    return Note("StopTransmit");
}

qint32 TRecordingTerminal::StartReceive(qint32 mode)
{
    return Note(QString("StartReceive(%1)").arg(mode));
}

qint32 TRecordingTerminal::StopReceive()
{
    return Note("StopReceive");
}

qint32 TRecordingTerminal::SetReceiveVolume(qint32 channel, qint32 level)
{
    return Note(QString("SetReceiveVolume(%1,%2)").arg(channel).arg(level));
}

qint32 TRecordingTerminal::SetTransmitVolume(qint32 channel, qint32 level)
{
    return Note(QString("SetTransmitVolume(%1,%2)").arg(channel).arg(level));
}
