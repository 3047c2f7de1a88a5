#include "app/TSoundDeviceChoice.h"

#include "platform/logging/Logging.h"
#include "platform/voice/ISoundDevices.h"
#include "platform/voice/IVoiceLink.h"

#include <QCoreApplication>

namespace {

// The chosen device while the server lists it. An empty list means the server could not be
// asked; then the choice is tried, and the link falls back on its own if it cannot open it.
QString InUse(const QString& chosen, const QList<TSoundDevice>& listed)
{
    if (chosen.isEmpty() || listed.isEmpty())
        return chosen;
    for (const TSoundDevice& d : listed)
        if (d.name == chosen)
            return chosen;
    return QString();
}

} // namespace

TSoundDeviceChoice::TSoundDeviceChoice(std::shared_ptr<ISoundDevices> devices,
                                       std::shared_ptr<IVoiceLink> link)
    : devices_(std::move(devices)), link_(std::move(link))
{}

void TSoundDeviceChoice::Choose(const QString& microphone, const QString& speaker)
{
    microphone_ = microphone;
    speaker_ = speaker;
    Apply(false);
}

void TSoundDeviceChoice::Refresh()
{
    Apply(true);
}

void TSoundDeviceChoice::Apply(bool plugs)
{
    const QString microphone = devices_ ? InUse(microphone_, devices_->Microphones()) : microphone_;
    const QString speaker = devices_ ? InUse(speaker_, devices_->Speakers()) : speaker_;
    // Only plugs are told: a choice the user just made needs no notice.
    const bool inCall = plugs && link_ && link_->Running();
    auto tell = [&](const QString& what, const QString& before, const QString& now,
                    const QString& chosen) {
        if (!inCall || before == now || chosen.isEmpty())
            return;
        if (OnNotice)
            OnNotice(now.isEmpty() ? QCoreApplication::translate("TSoundDeviceChoice",
                                                                 "%1 unplugged: using the default")
                                         .arg(what)
                                   : QCoreApplication::translate("TSoundDeviceChoice",
                                                                 "%1 plugged in: using it again")
                                         .arg(what));
    };
    tell(QCoreApplication::translate("TSoundDeviceChoice", "Microphone"), microphoneInUse_,
         microphone, microphone_);
    tell(QCoreApplication::translate("TSoundDeviceChoice", "Speaker"), speakerInUse_, speaker,
         speaker_);
    qCDebug(lcVoice).noquote() << "devices: microphone"
                               << (microphone.isEmpty() ? "default" : microphone) << "speaker"
                               << (speaker.isEmpty() ? "default" : speaker);
    microphoneInUse_ = microphone;
    speakerInUse_ = speaker;
    if (link_)
        link_->SetDevices(microphone, speaker);
}
