// Cameras and sound sources plugged in or out while the program runs: the video options
// window's lists follow the capture system's word, keep what the user chose while it is still
// there, apply nothing and leave a running preview alone.
#include "app/TForms.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "capture/TFGraphConfig.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeGraph.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeCamera.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"
#include "widgets/TImageButton.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <functional>

class DeviceHotplugTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;
    std::shared_ptr<TFakeCaptureSystem> camera;
    std::shared_ptr<TFakeDevice> second;
    std::unique_ptr<TfrmMain> form;
    TFGraphConfig* window = nullptr;

    static TFakeMode Rgb(int width, int height)
    {
        return TFakeCaptureSystem::VideoMode(CaptureGuids::MEDIASUBTYPE_RGB24, width, height, 24);
    }

    void Start()
    {
        form = StartMainWindow(camera);
        QVERIFY(form);
        window = Forms().FGraphConfig;
        QVERIFY(window);
    }

    void WithWindowOpen(const std::function<void()>& inside)
    {
        QVERIFY(WithVideoOptionsOpen(*form, inside));
    }

    void Choose(QComboBox* list, const QString& text)
    {
        QVERIFY2(ChooseEntry(list, text), qPrintable(text));
    }

    static QStringList Items(const QComboBox* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        return items;
    }

    // What the fake graph was asked to do, leaving out the reading of device lists.
    QStringList GraphCalls() const
    {
        QStringList calls;
        for (const QString& call : camera->Calls())
            if (!call.startsWith("EnumerateDevices") && !call.startsWith("ReadFriendlyName"))
                calls << call;
        return calls;
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        script = std::make_unique<TScriptedUiScope>();
        camera = MakeFakeCamera();
        second = camera->AddDevice(TDeviceCategory::VideoInput, QStringLiteral("Second Camera"),
                                   {Rgb(640, 480), Rgb(320, 240)});
        camera->AddDevice(
            TDeviceCategory::AudioInput, QStringLiteral("Line In"),
            {TFakeCaptureSystem::AudioMode(CaptureGuids::MEDIASUBTYPE_PCM, 44100, 16, 2)});
    }
    void cleanup()
    {
        form.reset();
        Forms() = TForms();
        window = nullptr;
        second.reset();
        camera.reset();
        script.reset();
        env.reset();
    }

    void aCameraPluggedInIsListedWithoutARestart()
    {
        Start();
        QVERIFY2(camera->HasDevicesChangedHandler(), "the camera control listens to the system");
        QCOMPARE(Items(window->cbVSources), (QStringList{"Fake Camera", "Second Camera"}));
        QSignalSpy changed(Control<TVideoCapture>(&*form, "cap"), &TVideoCapture::OnDevicesChanged);
        WithWindowOpen([&] {
            camera->AddDevice(TDeviceCategory::VideoInput, "USB Camera", {Rgb(640, 480)});
            camera->AddDevice(
                TDeviceCategory::AudioInput, "USB Camera Microphone",
                {TFakeCaptureSystem::AudioMode(CaptureGuids::MEDIASUBTYPE_PCM, 16000, 16, 1)});
            // Until the system says so, the lists are as they were read.
            QCOMPARE(window->cbVSources->count(), 2);
            camera->NotifyDevicesChanged();
            QCOMPARE(changed.count(), 1);
            QCOMPARE(Items(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "USB Camera"}));
            QCOMPARE(Items(window->cbASources), (QStringList{"Line In", "USB Camera Microphone"}));
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            // A second camera of the same make is told apart as the lists always do.
            camera->AddDevice(TDeviceCategory::VideoInput, "USB Camera", {Rgb(640, 480)});
            camera->NotifyDevicesChanged();
            QCOMPARE(Items(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "USB Camera", "USB Camera (2)"}));
            // The new camera can be chosen and applied straight away.
            Choose(window->cbVSources, "USB Camera (2)");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
            QCOMPARE(Control<TVideoCapture>(&*form, "cap")->VideoDeviceName(),
                     QString("USB Camera"));
        });
        QCOMPARE(form->CaptureConfig().VCapSource, QString("USB Camera (2)"));
    }

    void theSelectionStaysWhenAnotherDeviceComesOrGoes()
    {
        camera->AddDevice(TDeviceCategory::VideoCompressor, "Codec A");
        camera->AddDevice(TDeviceCategory::VideoCompressor, "Codec B");
        const auto spare =
            camera->AddDevice(TDeviceCategory::VideoInput, "Spare Camera", {Rgb(320, 240)});
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbASources, "Line In");
            Choose(window->cbVComps, "Codec B");
            camera->AddDevice(TDeviceCategory::VideoInput, "Another Camera", {Rgb(320, 240)});
            camera->AddDevice(TDeviceCategory::VideoCompressor, "Codec 0");
            camera->NotifyDevicesChanged();
            QCOMPARE(window->cbVSources->count(), 4);
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
            QCOMPARE(window->cbVSources->currentIndex(), 1);
            QCOMPARE(window->cbASources->currentText(), QString("Line In"));
            QCOMPARE(Items(window->cbVComps), (QStringList{"Codec A", "Codec B", "Codec 0"}));
            QCOMPARE(window->cbVComps->currentText(), QString("Codec B"));
            // A camera before the chosen one goes (and one that came and went within the
            // burst is never shown): the choice moves up with its name.
            Choose(window->cbVSources, "Another Camera");
            QCOMPARE(window->cbVSources->currentIndex(), 3);
            camera->RemoveDevice(camera->AddDevice(TDeviceCategory::VideoInput, "Brief"));
            camera->RemoveDevice(spare);
            camera->NotifyDevicesChanged();
            QCOMPARE(Items(window->cbVSources),
                     (QStringList{"Fake Camera", "Second Camera", "Another Camera"}));
            QCOMPARE(window->cbVSources->currentText(), QString("Another Camera"));
            QCOMPARE(window->cbVSources->currentIndex(), 2);
        });
    }

    void anUnpluggedCameraLeavesTheListAndItsSelectionGoes()
    {
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbASources, "Line In");
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QCOMPARE(Items(window->cbVSources), QStringList{"Fake Camera"});
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            QVERIFY(window->cbVSources->currentText().isEmpty());
            // The sound source is still there and stays chosen.
            QCOMPARE(window->cbASources->currentText(), QString("Line In"));
            // Plugged in again, it is listed but not chosen for the user.
            second =
                camera->AddDevice(TDeviceCategory::VideoInput, "Second Camera", {Rgb(640, 480)});
            camera->NotifyDevicesChanged();
            QCOMPARE(Items(window->cbVSources), (QStringList{"Fake Camera", "Second Camera"}));
            QCOMPARE(window->cbVSources->currentIndex(), -1);
        });
    }

    void listChangesNeitherEnableApplyNorApplyAnything()
    {
        Start();
        const TGraphConfig before = form->CaptureConfig();
        WithWindowOpen([&] {
            QVERIFY(!window->btnApply->isEnabled());
            camera->ClearCalls();
            camera->AddDevice(TDeviceCategory::VideoInput, "USB Camera", {Rgb(640, 480)});
            camera->NotifyDevicesChanged();
            QVERIFY(!window->btnApply->isEnabled());
            Choose(window->cbVSources, "USB Camera");
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QVERIFY(!window->btnApply->isEnabled());
            QVERIFY2(GraphCalls().isEmpty(), qPrintable(GraphCalls().join(' ')));
            QVERIFY(!Control<TVideoCapture>(&*form, "cap")->GraphBuilt());
            QCOMPARE(form->CaptureConfig().VCapSource, before.VCapSource);
            // What the user enabled stays enabled, and applies the choice kept over the change.
            Choose(window->cbPixelFormat, "pf24bit");
            QVERIFY(window->btnApply->isEnabled());
            camera->NotifyDevicesChanged();
            QVERIFY(window->btnApply->isEnabled());
            QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QCOMPARE(Control<TVideoCapture>(&*form, "cap")->VideoDeviceName(),
                     QString("USB Camera"));
        });
        QCOMPARE(form->CaptureConfig().VCapSource, QString("USB Camera"));
    }

    void aRunningPreviewKeepsRunningWhenAnotherCameraIsPlugged()
    {
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
            const auto graph = camera->LastGraph();
            camera->ClearCalls();
            camera->AddDevice(TDeviceCategory::VideoInput, "USB Camera", {Rgb(640, 480)});
            camera->NotifyDevicesChanged();
            QCoreApplication::processEvents();
            QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
            QCOMPARE(camera->LastGraph(), graph);
            QVERIFY(graph->Running());
            QVERIFY2(GraphCalls().isEmpty(), qPrintable(GraphCalls().join(' ')));
            QCOMPARE(Control<TVideoCapture>(&*form, "cap")->VideoDeviceName(),
                     QString("Second Camera"));
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
        });
        // Saving on close still names the camera in use.
        QCOMPARE(form->CaptureConfig().VCapSource, QString("Second Camera"));
    }

    void theCameraInUseUnpluggedLeavesTheListAndIsReportedLostByItsGraph()
    {
        Start();
        QSignalSpy lost(Control<TVideoCapture>(&*form, "cap"), &TVideoCapture::OnDeviceLost);
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
            const auto graph = camera->LastGraph();
            camera->ClearCalls();
            camera->RemoveDevice(second);
            camera->NotifyDevicesChanged();
            QCOMPARE(Items(window->cbVSources), QStringList{"Fake Camera"});
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            // The list change alone does not touch the graph; the graph's own word does.
            QVERIFY2(GraphCalls().isEmpty(), qPrintable(GraphCalls().join(' ')));
            QCOMPARE(lost.count(), 0);
            graph->QueueEvent(GraphEvent::EC_DEVICE_LOST);
            QTRY_COMPARE(lost.count(), 1);
        });
    }

    void aChangeAfterTheCameraControlIsGoneIsIgnored()
    {
        Start();
        form.reset();
        Forms() = TForms();
        window = nullptr;
        // The system outlives the window and its camera control here; its word reaches nobody.
        camera->AddDevice(TDeviceCategory::VideoInput, "USB Camera", {Rgb(640, 480)});
        camera->ClearCalls();
        camera->NotifyDevicesChanged();
        QVERIFY2(camera->Calls().isEmpty(), qPrintable(camera->Calls().join(' ')));
    }
};

PARLAVUE_GUI_TEST_MAIN(DeviceHotplugTest)
#include "tst_DeviceHotplug.moc"
