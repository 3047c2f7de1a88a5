#include "app/TSoundDeviceChoice.h"
#include "platform/voice/ISoundDevices.h"
#include "tests/support/TFakeVoiceLink.h"

#include <gtest/gtest.h>

namespace {

struct Devices : ISoundDevices
{
    QList<TSoundDevice> microphones{{"usb-mic", "USB Mic"}};
    QList<TSoundDevice> speakers{{"headset", "Headset"}, {"desk", "Desk"}};
    QList<TSoundDevice> Microphones() const override { return microphones; }
    QList<TSoundDevice> Speakers() const override { return speakers; }
    void SetChanged(std::function<void()>) override {}
};

TEST(SoundDeviceChoice, AChosenDeviceIsUsedWhilePluggedInAndTheDefaultWhileNot)
{
    auto devices = std::make_shared<Devices>();
    auto link = std::make_shared<TFakeVoiceLink>();
    TSoundDeviceChoice choice(devices, link);
    QStringList notices;
    choice.OnNotice = [&](const QString& text) { notices << text; };

    choice.Choose("usb-mic", "headset");
    EXPECT_EQ(link->microphone, "usb-mic");
    EXPECT_EQ(link->speaker, "headset");

    // Unplugged during a call: the default serves and the user is told; back, it is used again.
    link->running = true;
    devices->speakers.removeFirst();
    choice.Refresh();
    EXPECT_EQ(link->speaker, "");
    EXPECT_EQ(link->microphone, "usb-mic");
    devices->speakers.prepend({"headset", "Headset"});
    choice.Refresh();
    EXPECT_EQ(link->speaker, "headset");
    EXPECT_EQ(notices, QStringList({"Speaker unplugged: using the default",
                                    "Speaker plugged in: using it again"}));

    // Between calls, and for the default itself, nothing is told.
    link->running = false;
    devices->microphones.clear();
    devices->microphones << TSoundDevice{"other", "Other"};
    choice.Refresh();
    EXPECT_EQ(link->microphone, "");
    link->running = true;
    choice.Choose("", "desk");
    devices->speakers.clear();
    devices->speakers << TSoundDevice{"x", "X"};
    choice.Refresh();
    EXPECT_EQ(notices.size(), 3) << "only the desk speaker going is told";

    // A server that lists nothing cannot say the device is gone: the choice is tried.
    devices->speakers.clear();
    choice.Choose("", "desk");
    EXPECT_EQ(link->speaker, "desk");
}

} // namespace
