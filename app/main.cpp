#include "app/TCommandLine.h"
#include "app/TDesktopNotices.h"
#include "app/TForms.h"
#include "app/TSingleInstance.h"
#include "app/TSoundDeviceChoice.h"
#include "app/TTerminationSignals.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "contacts/TfrmSettings.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdPeerBrowser.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/elements/gst/TGstElementCheck.h"
#include "platform/logging/Logging.h"
#include "platform/notify/TDesktopNotifications.h"
#include "platform/ui/TApplication.h"
#include "platform/voice/gst/TGstSoundDevices.h"
#include "platform/voice/gst/TGstVoiceLink.h"

#include <QTimer>

#include <cstdio>
#include <memory>

int main(int argc, char** argv)
{
    // Read before any window system is asked for, so that --help and --version work anywhere.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const TCommandLine command = TCommandLine::Parse(arguments, QStringLiteral(PARLAVUE_VERSION));
    if (command.action != TCommandLine::TAction::Run) {
        const QByteArray text = command.text.toLocal8Bit();
        std::FILE* out = command.action == TCommandLine::TAction::Fail ? stderr : stdout;
        std::fwrite(text.constData(), 1, size_t(text.size()), out);
        return command.action == TCommandLine::TAction::Fail ? TCommandLine::UsageExitCode : 0;
    }

    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    TApplication::SetTitle(QStringLiteral("Halvorn Office - Parlavue Video Phone"));
    // A second start in the same session brings the running copy to the front and ends.
    TSingleInstance session;
    if (!session.Claim())
        return 0;

    // The windows, in their fixed order; secondary windows belong to the main window and are
    // hidden, never destroyed, when closed.
    // --test-camera adds a "Test Pattern" camera for machines without one.
    const bool testCamera = command.testCamera;
    auto frmMain = std::make_unique<TfrmMain>(std::make_shared<TGstCameraSystem>(testCamera));
    const unsigned uses =
        UseCamera | UseVoice | UseRingTone | (testCamera ? unsigned(UseTestCamera) : 0u);
    frmMain->FindMissingElements = [uses] { return MissingGstElements(uses); };
    // The computers on the network, and this copy among them under its caller ID; without an
    // Avahi daemon the list stays empty and nothing else changes.
    auto avahi = std::make_shared<TAvahiClient>();
    auto peers = std::make_shared<TDnsSdPeerBrowser>(avahi);
    auto publisher = std::make_unique<TDnsSdPublisher>(avahi, TCallPorts().signallingListen);
    // Set below, once the windows exist; the settings are loaded when the main window shows.
    std::function<void(const TCallSettings&)> applyDevices;
    frmMain->OnSettingsLoaded = [&publisher, &applyDevices, main = frmMain.get()] {
        publisher->SetName(main->CallSettings().CallerID);
        if (applyDevices)
            applyDevices(main->CallSettings());
    };
    CreateSecondaryForms(*frmMain, 6501, peers);
    Forms().frmSettings->OnSaved = [&publisher, &applyDevices](const TCallSettings& saved) {
        publisher->SetName(saved.CallerID);
        applyDevices(saved);
    };
    // One voice link for every call; it opens nothing until a call starts. It uses the
    // microphone and speaker chosen in the settings window while they are plugged in.
    auto voice = std::make_shared<TGstVoiceLink>();
    frmMain->Session().SetVoiceLink(voice);
    auto soundDevices = std::make_shared<TGstSoundDevices>();
    TSoundDeviceChoice deviceChoice(soundDevices, voice);
    deviceChoice.OnNotice = [main = frmMain.get()](const QString& text) { main->ShowNotice(text); };
    Forms().frmSettings->SetSoundDevices(soundDevices);
    Forms().frmSettings->OnDevicesChosen = [&deviceChoice](const QString& mic, const QString& spk) {
        deviceChoice.Choose(mic, spk);
    };
    applyDevices = [&deviceChoice](const TCallSettings& s) {
        deviceChoice.Choose(s.Microphone, s.Speaker);
    };
    soundDevices->SetChanged([&deviceChoice] {
        deviceChoice.Refresh();
        Forms().frmSettings->DevicesChanged();
    });

    session.OnActivate = [&frmMain] { frmMain->BringToFront(); };
    // Calls and arrivals on the desktop's notification service, when it has one.
    TDesktopNotifications notifications;
    TDesktopNotices notices(notifications, *frmMain, Forms().frmTransfer);
    // Ended from outside (a session logging out): as if the user closed the window.
    TTerminationSignals terminate([&] {
        frmMain->close();
        QCoreApplication::quit();
    });
    // The main window appears once the event loop runs, so its start-up can end the program.
    QTimer::singleShot(0, frmMain.get(), [&] { frmMain->show(); });
    const int rc = app.exec();
    Forms() = TForms();
    // Withdrawn before the windows go, so the network stops listing a copy that has ended.
    publisher.reset();
    return rc;
}
