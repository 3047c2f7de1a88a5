#include "voice/TVOIPMedia.h"

#include "platform/logging/Logging.h"
#include "voice/TCCNMediaTerm.h"

TVOIPMedia::TVOIPMedia(TCCNMediaTerm& ccn)
    : TransmitTerminal(ccn.DefaultInterface()), ReceiveTerminal(ccn.DefaultInterface())
{
    TransmitTerminal->InitializeTerminal();
    ReceiveTerminal->InitializeTerminal();
}

TVOIPMedia::~TVOIPMedia()
{
    TransmitTerminal->SetDeviceErrorHandler({});
    TransmitTerminal->StopReceive();
    TransmitTerminal->StopTransmit();
    ReceiveTerminal->StopReceive();
    ReceiveTerminal->StopTransmit();
    TransmitTerminal->UninitializeTerminal();
    ReceiveTerminal->UninitializeTerminal();
}

void TVOIPMedia::StartVoice()
{
    qCDebug(lcVoice) << "voice to" << RemoteAddress << RemotePort << "from port" << LocalPort;
    TransmitTerminal->ConfigureTransmit(4, 20, 0, 1, 1, 0);
    TransmitTerminal->SetRemoteAddress(RemoteAddress, RemotePort);
    ReceiveTerminal->ConfigureReceive(4, 20, 0, 0);
    ReceiveTerminal->SetLocalPort(LocalPort);
    ReceiveTerminal->StartReceive(0);
    TransmitTerminal->StartTransmit(0);
    ReceiveTerminal->SetReceiveVolume(0, 80);
    TransmitTerminal->SetTransmitVolume(0, 80);
}

void TVOIPMedia::StopVoice()
{
    qCDebug(lcVoice) << "voice stopped";
    ReceiveTerminal->StopReceive();
    TransmitTerminal->StopTransmit();
}

void TVOIPMedia::SetMicLevel(qint32 level)
{
    TransmitTerminal->SetTransmitVolume(0, level);
}

void TVOIPMedia::SetDeviceErrorHandler(ICCNMediaTerm::DeviceErrorHandler handler)
{
    // Both references are the one terminal: one handler serves both directions.
    TransmitTerminal->SetDeviceErrorHandler(std::move(handler));
}
