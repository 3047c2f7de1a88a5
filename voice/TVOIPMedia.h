#pragma once

#include "voice/CCNSMTLib_TLB.h"

#include <QString>
#include <memory>

class TCCNMediaTerm;

// One call's voice: configures, starts, stops and levels the media terminal for both
// directions. Made when a call is answered or accepted, freed when it ends.
class TVOIPMedia
{
public:
    // Obtains both references and initializes the terminal for each; throws EAssertionFailed
    // when the terminal cannot be had.
    explicit TVOIPMedia(TCCNMediaTerm& ccn);
    // Stops both directions, uninitializes and releases the terminal.
    ~TVOIPMedia();
    TVOIPMedia(const TVOIPMedia&) = delete;
    TVOIPMedia& operator=(const TVOIPMedia&) = delete;

    void SetRemotePort(qint32 port) { RemotePort = port; }
    void SetLocalPort(qint32 port) { LocalPort = port; }
    void SetRemoteAddress(const QString& address) { RemoteAddress = address; }

    void StartVoice();
    void StopVoice();
    void SetMicLevel(qint32 level);
    // Who hears of a microphone or speaker that cannot be opened, while this session lives.
    void SetDeviceErrorHandler(ICCNMediaTerm::DeviceErrorHandler handler);

    std::shared_ptr<ICCNMediaTerm> TransmitTerminal;
    std::shared_ptr<ICCNMediaTerm> ReceiveTerminal;
    qint32 RemotePort = 0;
    qint32 LocalPort = 0;
    QString RemoteAddress;
};
