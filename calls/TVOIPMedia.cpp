#include "calls/TVOIPMedia.h"

#include "calls/EAssertionFailed.h"
#include "platform/logging/Logging.h"

#include <QCoreApplication>

namespace {
// Every call starts at this level in both directions, whatever the microphone bar shows; the
// bar reaches the call when it is next moved.
constexpr int StartLevel = 80;
} // namespace

TVOIPMedia::TVOIPMedia(IVoiceLink* link, const TVoiceProcessing& processing)
    : link_(link), processing_(processing)
{
    if (!link_)
        throw EAssertionFailed(
            QCoreApplication::translate("TVOIPMedia", "There is no voice link to carry the call."));
}

TVOIPMedia::~TVOIPMedia()
{
    link_->Stop();
}

void TVOIPMedia::StartVoice()
{
    qCDebug(lcVoice) << "voice to" << RemoteAddress << RemotePort << "from port" << LocalPort;
    // A failed start is not the call's end: the devices' trouble reaches the user on its own.
    if (!link_->Start(TVoiceEndpoint{RemoteAddress, RemotePort, LocalPort, keys_}, processing_))
        qCWarning(lcVoice) << "voice could not start towards" << RemoteAddress;
    link_->SetSpeakerLevel(StartLevel);
    link_->SetMicLevel(StartLevel);
}

void TVOIPMedia::StopVoice()
{
    qCDebug(lcVoice) << "voice stopped";
    link_->Stop();
}

void TVOIPMedia::SetMicLevel(qint32 level)
{
    link_->SetMicLevel(level);
}

TVoiceStats TVOIPMedia::Stats() const
{
    return link_->Stats();
}
