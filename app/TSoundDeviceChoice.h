#pragma once

#include <QString>

#include <functional>
#include <memory>

class ISoundDevices;
class IVoiceLink;

// Which microphone and speaker the voice link uses: the user's choice while it is plugged in,
// the system default while it is not. Told of choices and of device changes on the UI thread.
class TSoundDeviceChoice
{
public:
    TSoundDeviceChoice(std::shared_ptr<ISoundDevices> devices, std::shared_ptr<IVoiceLink> link);

    // The user's choice ("" the default), applied at once.
    void Choose(const QString& microphone, const QString& speaker);
    // The devices changed: a chosen one that went or came back is taken into account.
    void Refresh();

    // What the link uses now ("" the default).
    QString Microphone() const { return microphoneInUse_; }
    QString Speaker() const { return speakerInUse_; }

    // Told when, during a call, a chosen device went away or came back.
    std::function<void(const QString& text)> OnNotice;

private:
    void Apply(bool plugs);

    std::shared_ptr<ISoundDevices> devices_;
    std::shared_ptr<IVoiceLink> link_;
    QString microphone_;
    QString speaker_;
    QString microphoneInUse_;
    QString speakerInUse_;
};
