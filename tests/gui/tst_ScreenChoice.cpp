// "Screen" in the video options window: chosen and applied it runs, is stored in
// "ConfigGraph.ini" by its name and opens again at the next start (the X11 screen of a display
// of the test's own). While the desktop asks (a fake portal) the running camera goes on; a
// screen it refuses leaves that camera, and the window shows it again.
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/camera/gst/TGstScreenSource.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeScreenCastPortal.h"
#include "tests/support/TPrivateSessionBus.h"
#include "tests/support/TWindowTest.h"
#include "tests/support/TXvfbDisplay.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

class ScreenChoiceTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;

    QLabel* CallerLine() const { return Control<QLabel>(&phone->Window(), "lblCallerID"); }
    TVideoCapture* Cap() const { return Control<TVideoCapture>(&phone->Window(), "cap"); }

    void Start(std::shared_ptr<TGstCameraSystem> system)
    {
        phone = StartPhone(std::move(system));
        QVERIFY(phone);
    }

    void Stop() { phone.reset(); }

    // As a user does it: the source, a pixel format (which enables Apply), Apply; then, with
    // the window still open, whatever the test waits for.
    void ChooseAndApply(const QString& source, const std::function<void()>& then = {})
    {
        TFGraphConfig* window = phone->Windows().videoOptions;
        QVERIFY(WithVideoOptionsOpen(*phone, [&] {
            QVERIFY(ChooseEntry(window->cbVSources, source));
            QVERIFY(ChooseEntry(window->cbPixelFormat, "pf24bit"));
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            if (then)
                then();
            shown = window->cbVSources->currentText();
        }));
    }

    QString Stored() const
    {
        TGraphConfig saved;
        saved.LoadFromString(TGraphConfig::ReadConfigText(env->ProgramFile("ConfigGraph.ini")));
        return saved.VCapSource;
    }

    QString shown; // the video options window's source after Apply

private slots:
    void cleanup()
    {
        Stop();
        TWindowTest::cleanup();
    }

    void theChosenScreenIsStoredAndOpensAgainAtTheNextStart()
    {
        TXvfbDisplay display(QSize(320, 200));
        if (display.Name().isEmpty())
            QSKIP(qPrintable(display.Error()));
        const QByteArray saved = qgetenv("DISPLAY");
        qputenv("DISPLAY", display.Name().toLatin1());
        // The window goes before its display: a source whose X server is gone ends the process.
        const auto restore = qScopeGuard([&] {
            Stop();
            if (saved.isEmpty())
                qunsetenv("DISPLAY");
            else
                qputenv("DISPLAY", saved);
        });

        Start(std::make_shared<TGstCameraSystem>(true));
        ChooseAndApply("Screen");
        QVERIFY2(script->ui.shown.isEmpty(), qPrintable(script->ui.Texts("error").join("; ")));
        QVERIFY(Cap()->Previewing());
        QCOMPARE(Cap()->VideoDeviceName(), QString("Screen"));
        QCOMPARE(Stored(), QString("Screen"));
        QTRY_COMPARE_WITH_TIMEOUT(Cap()->PreviewFrame().size(), QSize(320, 200), 5000);

        Stop();
        Start(std::make_shared<TGstCameraSystem>(true));
        // The start-up timer applies the stored configuration.
        QTRY_VERIFY_WITH_TIMEOUT(Cap()->Previewing(), 5000);
        QCOMPARE(Cap()->VideoDeviceName(), QString("Screen"));
        QTRY_COMPARE_WITH_TIMEOUT(Cap()->PreviewFrame().size(), QSize(320, 200), 5000);
    }

    void aRefusedScreenLeavesTheRunningCameraAndTheWindowSaysSo()
    {
        TPrivateSessionBus bus;
        if (bus.Address().isEmpty())
            QSKIP(qPrintable(bus.Error()));
        TFakeScreenCastPortal fake(bus.Address());
        QVERIFY(fake.Registered());
        fake.steps["Start"] = {TFakeScreenCastPortal::TReply::Respond, 1};
        const QString clientName = QStringLiteral("screen-choice-client");
        QDBusConnection client = QDBusConnection::connectToBus(bus.Address(), clientName);
        const auto leave = qScopeGuard([&] { QDBusConnection::disconnectFromBus(clientName); });

        auto system = std::make_shared<TGstCameraSystem>(true);
        system->SetScreenSource([client] {
            return TGstScreenSource::Portal(client, {1500, 1000, 1500});
        });
        Start(system);
        ChooseAndApply(TGstCameraSystem::TestCameraName);
        QVERIFY(Cap()->Previewing());
        ChooseAndApply("Screen", [&] {
            // While the desktop asks, the window shows the choice and the camera goes on.
            QVERIFY(Cap()->WaitingForDesktop());
            QCOMPARE(phone->Windows().videoOptions->cbVSources->currentText(), QString("Screen"));
            QCOMPARE(Cap()->VideoDeviceName(), QString(TGstCameraSystem::TestCameraName));
            QVERIFY(CallerLine()->text().startsWith("Waiting for the desktop"));
            QTRY_VERIFY_WITH_TIMEOUT(!script->ui.Texts("error").isEmpty(), 30000);
        });
        QVERIFY(CallerLine()->text().isEmpty());
        const QStringList errors = script->ui.Texts("error");
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors.first().contains("the choice was cancelled"), qPrintable(errors.first()));
        QVERIFY(Cap()->Previewing());
        QCOMPARE(Cap()->VideoDeviceName(), QString(TGstCameraSystem::TestCameraName));
        QCOMPARE(shown, QString(TGstCameraSystem::TestCameraName));
        QCOMPARE(phone->CaptureConfig().VCapSource, QString(TGstCameraSystem::TestCameraName));
        QCOMPARE(Stored(), QString(TGstCameraSystem::TestCameraName));
    }
};

PARLAVUE_GUI_TEST_MAIN(ScreenChoiceTest)
#include "tst_ScreenChoice.moc"
