#pragma once

#include "voice/CCNSMTLib_TLB.h"

#include <QStringList>

// A media terminal that writes down every call it gets, in order ("SetLocalPort(8500)").
class TRecordingTerminal : public ICCNMediaTerm
{
public:
    QStringList calls;
    DeviceErrorHandler deviceError; // what the session installed; tests raise it

    void SetDeviceErrorHandler(DeviceErrorHandler handler) override
    {
        deviceError = std::move(handler);
    }

    qint32 InitializeTerminal() override;
    qint32 UninitializeTerminal() override;
    qint32 ConfigureReceive(qint32 a, qint32 b, qint32 c, qint32 d) override;
    qint32 ConfigureTransmit(qint32 a, qint32 b, qint32 c, qint32 d, qint32 e, qint32 f) override;
    qint32 SetRemoteAddress(const QString& host, qint32 port) override;
    qint32 SetLocalPort(qint32 port) override;
    qint32 StartTransmit(qint32 mode) override;
    qint32 StopTransmit() override;
    qint32 StartReceive(qint32 mode) override;
    qint32 StopReceive() override;
    qint32 SetReceiveVolume(qint32 channel, qint32 level) override;
    qint32 SetTransmitVolume(qint32 channel, qint32 level) override;

private:
    qint32 Note(const QString& call);
};
