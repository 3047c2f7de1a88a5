#include "app/TCommandLine.h"
#include "app/TPhone.h"
#include "app/TSingleInstance.h"
#include "app/TTerminationSignals.h"
#include "app/TfrmMain.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/dnssd/TAvahiClient.h"
#include "platform/dnssd/TDnsSdPeerBrowser.h"
#include "platform/dnssd/TDnsSdPublisher.h"
#include "platform/elements/gst/TGstElementCheck.h"
#include "platform/logging/Logging.h"
#include "platform/notify/TDesktopNotifications.h"
#include "platform/player/gst/TGstMediaPlayer.h"
#include "platform/ui/TApplication.h"
#include "platform/ui/TTranslations.h"
#include "platform/voice/gst/TGstSoundDevices.h"
#include "platform/voice/gst/TGstVoiceLink.h"
#include "platform/volume/TPulseVolume.h"

#include <QLocale>
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
    // LANGUAGE, then LC_ALL, LC_MESSAGES and LANG choose the language of every window.
    TTranslations::Install(app, QLocale::system().uiLanguages());
    TApplication::SetTitle(
        QCoreApplication::translate("main", "Halvorn Office - Parlavue Video Phone"));
    // A second start in the same session brings the running copy to the front and ends.
    TSingleInstance session;
    if (!session.Claim())
        return 0;

    // --test-camera adds a "Test Pattern" camera for machines without one.
    const bool testCamera = command.testCamera;
    TPhoneParts parts;
    parts.cameras = std::make_shared<TGstCameraSystem>(testCamera);
    const unsigned uses =
        UseCamera | UseVoice | UseRingTone | (testCamera ? unsigned(UseTestCamera) : 0u);
    parts.findMissingElements = [uses] { return MissingGstElements(uses); };
    // One voice link for every call; it opens nothing until a call starts. It uses the
    // microphone and speaker chosen in the settings window while they are plugged in.
    parts.voice = std::make_shared<TGstVoiceLink>();
    parts.soundDevices = std::make_shared<TGstSoundDevices>();
    parts.outputVolume = std::make_unique<TPulseVolume>();
    parts.ringPlayer = std::make_unique<TGstMediaPlayer>();
    // The computers on the network, and this copy among them under its caller ID; without an
    // Avahi daemon the list stays empty and nothing else changes.
    auto avahi = std::make_shared<TAvahiClient>();
    parts.peers = std::make_shared<TDnsSdPeerBrowser>(avahi);
    parts.keyPeers = std::make_shared<TDnsSdPeerBrowser>(avahi);
    parts.publisher = std::make_unique<TDnsSdPublisher>(avahi, TCallPorts().signallingListen);
    // Calls and arrivals on the desktop's notification service, when it has one.
    TDesktopNotifications notifications;
    parts.notifications = &notifications;
    TPhone phone(std::move(parts));
    TfrmMain& window = phone.Window();

    session.OnActivate = [&window] { window.BringToFront(); };
    // Ended from outside (a session logging out): as if the user closed the window.
    TTerminationSignals terminate([&window] {
        window.close();
        QCoreApplication::quit();
    });
    // The main window appears once the event loop runs, so its start-up can end the program.
    QTimer::singleShot(0, &window, [&window] { window.show(); });
    return app.exec();
}
