#include "app/TForms.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TUdpListener.h"
#include "calls/TVideoLink.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/capturegraph/fake/TFakeSampleGrabber.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeCamera.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"
#include "widgets/TImageButton.h"

#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <thread>

namespace {

class CountingSender : public IDatagramSender
{
public:
    QList<QByteArray> sent;
    void SendTo(const QByteArray& payload, const QHostAddress&) override { sent << payload; }
};

// A 320 x 240 bottom-up 24-bit frame.
QByteArray Frame(char shade)
{
    return QByteArray(320 * 240 * 3, shade);
}

} // namespace

class MainWindowCameraTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;
    std::shared_ptr<TFakeCaptureSystem> camera;
    std::unique_ptr<TfrmMain> form;

    void Start()
    {
        form = StartMainWindow(camera);
        QVERIFY(form);
    }

    // "ConfigGraph.ini" choosing the fake camera, as the main window's own settings would.
    void StoreCameraConfiguration()
    {
        TGraphConfig config;
        config.VCapSource = "Fake Camera";
        config.WantPreview = true;
        config.WantBitmaps = true;
        config.WantCapture = false;
        config.WantAudio = false;
        config.WantAudioPreview = false;
        config.WantDVAudio = false;
        config.PixelFormat = TPixelFormat::pf24bit;
        TGraphConfig::WriteConfigText(env->ProgramFile("ConfigGraph.ini"), config.SaveToString());
    }

    void Deliver(const QList<QByteArray>& frames)
    {
        const auto grabber = camera->Grabber();
        QVERIFY(grabber);
        for (const QByteArray& f : frames) {
            std::thread streaming([&] { grabber->Deliver(f); });
            streaming.join();
            QCoreApplication::processEvents();
        }
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        script = std::make_unique<TScriptedUiScope>();
        camera = MakeFakeCamera();
    }
    void cleanup()
    {
        form.reset();
        Forms() = TForms();
        camera.reset();
        script.reset();
        env.reset();
    }

    void withoutACameraTheProgramEnds()
    {
        camera = std::make_shared<TFakeCaptureSystem>();
        Start();
        QCOMPARE(script->ui.Texts("message"), QStringList{"Can't init capture!"});
        QVERIFY(form->TerminateRequested());
        QVERIFY(form->Session().ListenPort() != 0); // the listeners were already up
        QVERIFY(form->Video().ListenPort() != 0);
    }

    void theStoredCameraStartsPreviewingAfterTheTimer()
    {
        StoreCameraConfiguration();
        Start();
        QVERIFY(Control<QTimer>(&*form, "Timer")->isActive());
        QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
        QTRY_VERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        QCOMPARE(Control<TVideoCapture>(&*form, "cap")->VideoDeviceName(), QString("Fake Camera"));
        QVERIFY(script->ui.shown.isEmpty());
    }

    void noStoredCameraMeansNoPreview()
    {
        Start();
        QTest::qWait(300);
        QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
        QVERIFY(!form->TerminateRequested());
    }

    void previewButtonStopsAndStartsWithTheStopMarker()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        QTest::mouseClick(Control<TImageButton>(&*form, "btnPreview"), Qt::LeftButton);
        QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
        QVERIFY(Control<QLabel>(&*form, "Label3")->isVisible());
        QTest::mouseClick(Control<TImageButton>(&*form, "btnPreview"), Qt::LeftButton);
        QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        QVERIFY(!Control<QLabel>(&*form, "Label3")->isVisible());
    }

    void everyRenderedFrameRearmsTheNextDuringACall()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        auto sender = std::make_unique<CountingSender>();
        CountingSender* counting = sender.get();
        form->Video().SetSender(std::move(sender));
        Deliver({Frame(1), Frame(2)});
        QVERIFY(counting->sent.isEmpty()); // no call: nothing goes out

        form->Video().Start(QHostAddress("192.0.2.3"));
        Deliver({Frame(3), Frame(4), Frame(5)});
        // The first rendered frame armed the grab of the next: each later frame is sent.
        QCOMPARE(counting->sent.size(), 3);
        QVERIFY(counting->sent.first().startsWith(QByteArray::fromHex("ffd8")));
    }

    void closingKeepsTheCameraInThePlacementFile()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        form->close();
        QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
        TGraphConfig saved;
        saved.LoadFromString(TGraphConfig::ReadConfigText(TfrmMain::PlacementFileName()));
        QCOMPARE(saved.VCapSource, QString("Fake Camera"));
        QCOMPARE(saved.VCapMode.Width, 320);
    }
};

PARLAVUE_GUI_TEST_MAIN(MainWindowCameraTest)
#include "tst_MainWindowCamera.moc"
