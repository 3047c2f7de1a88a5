// Cameras plugged in or out while the program runs: the video options window's camera list
// follows the system's word, keeps what the user chose while it is still there, applies nothing
// and leaves a running preview alone.
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/fake/TFakeCamera.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TWindowTest.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

class DeviceHotplugTest : public TWindowTest
{
    Q_OBJECT

    std::shared_ptr<TFakeCameraSystem> camera;
    std::shared_ptr<TFakeCameraDevice> second;
    std::unique_ptr<TPhone> phone;
    TFGraphConfig* window = nullptr;

    std::shared_ptr<TFakeCameraDevice> Plug(const QString& name)
    {
        return camera->AddDevice(name, {TFakeCameraSystem::RawMode("BGR", 640, 480)});
    }

    void Start()
    {
        phone = StartPhone(camera);
        QVERIFY(phone);
        window = phone->Windows().videoOptions;
        QVERIFY(window);
    }

    TVideoCapture* Cap() const { return Control<TVideoCapture>(&phone->Window(), "cap"); }

    void WithWindowOpen(const std::function<void()>& inside)
    {
        QVERIFY(WithVideoOptionsOpen(*phone, inside));
    }

    void Choose(QComboBox* list, const QString& text)
    {
        QVERIFY2(ChooseEntry(list, text), qPrintable(text));
    }

    void ApplySecondCamera()
    {
        Choose(window->cbVSources, "Second Camera");
        Choose(window->cbPixelFormat, "pf24bit");
        QTest::mouseClick(window->btnApply, Qt::LeftButton);
        QVERIFY(Cap()->Previewing());
    }

private slots:
    void init()
    {
        TWindowTest::init();
        camera = MakeFakeCamera();
        second = Plug(QStringLiteral("Second Camera"));
    }
    void cleanup()
    {
        phone.reset();
        window = nullptr;
        second.reset();
        camera.reset();
        TWindowTest::cleanup();
    }

    void aCameraPluggedInIsListedWithoutARestart()
    {
        Start();
        std::shared_ptr<TFakeCameraDevice> twin;
        WithWindowOpen([&] {
            Plug("USB Camera");
            // Until the system says so, the list is as it was read.
            QCOMPARE(window->cbVSources->count(), 2);
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "USB Camera"}));
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            // A second camera of the same make is told apart as the list always does.
            twin = Plug("USB Camera");
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "USB Camera", "USB Camera (2)"}));
            // The new camera can be chosen and applied straight away, and that one is opened.
            Choose(window->cbVSources, "USB Camera (2)");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QVERIFY(Cap()->Previewing());
            QVERIFY(camera->Camera());
            QCOMPARE(&camera->Camera()->Device(), twin.get());
            QCOMPARE(Cap()->VideoDeviceName(), QString("USB Camera"));
        });
        QCOMPARE(phone->CaptureConfig().VCapSource, QString("USB Camera (2)"));
    }

    void theSelectionStaysWhenAnotherCameraComesOrGoes()
    {
        const auto spare = Plug("Spare Camera");
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            Plug("Another Camera");
            camera->NotifyDevicesChanged();
            QCOMPARE(window->cbVSources->count(), 4);
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
            // A camera before the chosen one goes (and one that came and went within the
            // burst is never shown): the choice moves up with its name.
            Choose(window->cbVSources, "Another Camera");
            camera->RemoveDevice(Plug("Brief"));
            camera->RemoveDevice(spare);
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "Another Camera"}));
            QCOMPARE(window->cbVSources->currentIndex(), 2);
        });
    }

    void anUnpluggedCameraLeavesTheListAndItsSelectionGoes()
    {
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources), QStringList{"Fake Camera"});
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            // Plugged in again, it is listed but not chosen for the user.
            second = Plug("Second Camera");
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources), (QStringList{"Fake Camera", "Second Camera"}));
            QCOMPARE(window->cbVSources->currentIndex(), -1);
        });
    }

    void listChangesNeitherEnableApplyNorApplyAnything()
    {
        Start();
        const TGraphConfig before = phone->CaptureConfig();
        WithWindowOpen([&] {
            QVERIFY(!window->btnApply->isEnabled());
            Plug("USB Camera");
            camera->NotifyDevicesChanged();
            QVERIFY(!window->btnApply->isEnabled());
            Choose(window->cbVSources, "USB Camera");
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QVERIFY(!window->btnApply->isEnabled());
            QVERIFY2(!camera->Camera(), "no camera was opened");
            QCOMPARE(phone->CaptureConfig().VCapSource, before.VCapSource);
            // What the user enabled stays enabled, and applies the choice kept over the change.
            Choose(window->cbPixelFormat, "pf24bit");
            camera->NotifyDevicesChanged();
            QVERIFY(window->btnApply->isEnabled());
            QVERIFY(!Cap()->Previewing());
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QCOMPARE(Cap()->VideoDeviceName(), QString("USB Camera"));
        });
        QCOMPARE(phone->CaptureConfig().VCapSource, QString("USB Camera"));
    }

    void aRunningPreviewKeepsRunningWhenAnotherCameraIsPlugged()
    {
        Start();
        WithWindowOpen([&] {
            ApplySecondCamera();
            TFakeCamera* running = camera->Camera();
            Plug("USB Camera");
            camera->NotifyDevicesChanged();
            QCoreApplication::processEvents();
            QVERIFY(Cap()->Previewing());
            QCOMPARE(camera->Camera(), running);
            QVERIFY(running->Running());
            // Its pictures still reach the preview.
            QVERIFY(running->Deliver(Qt::yellow));
            QCOMPARE(Cap()->PreviewFrame().pixelColor(0, 0), QColor(Qt::yellow));
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
        });
        // Saving on close still names the camera in use.
        QCOMPARE(phone->CaptureConfig().VCapSource, QString("Second Camera"));
    }

    void theCameraInUseUnpluggedLeavesTheListAndIsReportedLostByTheCamera()
    {
        Start();
        QSignalSpy lost(Cap(), &TVideoCapture::OnDeviceLost);
        WithWindowOpen([&] {
            ApplySecondCamera();
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QCOMPARE(Entries(window->cbVSources), QStringList{"Fake Camera"});
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            // The list change alone does not touch the camera; the camera's own word does.
            QVERIFY(camera->Camera()->Running());
            QCOMPARE(lost.count(), 0);
            // Gone, it cannot start again: the preview stops and the box names the camera.
            second->StartError = QStringLiteral("No such device");
            camera->Camera()->Fail(TCameraFailure::Lost);
            QCOMPARE(lost.count(), 1);
            QVERIFY(!Cap()->Previewing());
            QCOMPARE(script->ui.shown.size(), 1);
            QCOMPARE(script->ui.shown[0].detail, QString("Second Camera - Capture"));
            QVERIFY2(script->ui.shown[0].text.contains("No such device"),
                     qPrintable(script->ui.shown[0].text));
        });
    }

    void aChangeAfterTheCameraControlIsGoneIsIgnored()
    {
        Start();
        phone.reset();
        window = nullptr;
        // The system outlives the window and its camera control here; its word reaches nobody.
        Plug("USB Camera");
        const int listings = camera->Listings;
        camera->NotifyDevicesChanged();
        QCOMPARE(camera->Listings, listings);
    }
};

PARLAVUE_GUI_TEST_MAIN(DeviceHotplugTest)
#include "tst_DeviceHotplug.moc"
