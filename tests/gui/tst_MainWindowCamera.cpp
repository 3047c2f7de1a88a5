#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TUdpListener.h"
#include "calls/TVideoLink.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/fake/TFakeCamera.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TImageButton.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

namespace {

class CountingSender : public IDatagramSender
{
public:
    QList<QByteArray> sent;
    void SendTo(const QByteArray& payload, const QHostAddress&) override { sent << payload; }
};

} // namespace

class MainWindowCameraTest : public TWindowTest
{
    Q_OBJECT

    std::shared_ptr<TFakeCameraSystem> camera;
    std::unique_ptr<TPhone> phone;

    void Start()
    {
        phone = StartPhone(camera);
        QVERIFY(phone);
    }

    TVideoCapture* Cap() const { return Control<TVideoCapture>(&phone->Window(), "cap"); }

    // "ConfigGraph.ini" choosing the fake camera, as the video options window would leave it.
    void StoreCameraConfiguration()
    {
        TGraphConfig config;
        config.VCapSource = "Fake Camera";
        config.WantPreview = true;
        config.WantBitmaps = true;
        config.PixelFormat = TPixelFormat::pf24bit;
        TGraphConfig::WriteConfigText(env->ProgramFile("ConfigGraph.ini"), config.SaveToString());
    }

    // The colour in the middle of the preview area as it is painted now.
    QColor PreviewShows() const
    {
        const QImage shot = Cap()->grab().toImage();
        return shot.pixelColor(shot.rect().center());
    }

private slots:
    void init()
    {
        TWindowTest::init();
        camera = MakeFakeCamera();
    }
    void cleanup()
    {
        phone.reset();
        camera.reset();
        TWindowTest::cleanup();
    }

    void withoutACameraTheProgramEnds()
    {
        camera = std::make_shared<TFakeCameraSystem>();
        Start();
        QCOMPARE(script->ui.Texts("message"), QStringList{"Can't init capture!"});
        QVERIFY(phone->TerminateRequested());
        QVERIFY(phone->Session().ListenPort() != 0); // the listeners were already up
        QVERIFY(phone->Video().ListenPort() != 0);
    }

    void theStoredCameraStartsPreviewingAfterTheTimer()
    {
        StoreCameraConfiguration();
        Start();
        QVERIFY(Control<QTimer>(phone.get(), "Timer")->isActive());
        QVERIFY(!Cap()->Previewing());
        QTRY_VERIFY(Cap()->Previewing());
        QCOMPARE(Cap()->VideoDeviceName(), QString("Fake Camera"));
        QVERIFY(script->ui.shown.isEmpty());
        // The camera's pictures are painted in the preview area.
        QVERIFY(camera->Camera()->Deliver(Qt::red));
        QCOMPARE(PreviewShows(), QColor(Qt::red));
    }

    void noStoredCameraMeansNoPreview()
    {
        Start();
        QTest::qWait(300);
        QVERIFY(!Cap()->Previewing());
        QVERIFY(!phone->TerminateRequested());
    }

    void previewButtonStopsAndStartsWithTheStopMarker()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Cap()->Previewing());
        QVERIFY(camera->Camera()->Deliver(Qt::red));
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "btnPreview"), Qt::LeftButton);
        QVERIFY(!Cap()->Previewing());
        QVERIFY(Control<QLabel>(&phone->Window(), "Label3")->isVisible());
        // A stopped camera's pictures no longer reach the window.
        QVERIFY(!camera->Camera()->Deliver(Qt::red));
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "btnPreview"), Qt::LeftButton);
        QVERIFY(Cap()->Previewing());
        QVERIFY(!Control<QLabel>(&phone->Window(), "Label3")->isVisible());
        QVERIFY(camera->Camera()->Deliver(Qt::green));
        QCOMPARE(PreviewShows(), QColor(Qt::green));
    }

    void everyFrameIsSentDuringACall()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Cap()->Previewing());
        auto sender = std::make_unique<CountingSender>();
        CountingSender* counting = sender.get();
        phone->Video().SetSender(std::move(sender));
        TFakeCamera* fake = camera->Camera();
        for (const QColor colour : {QColor(Qt::red), QColor(Qt::green)})
            QVERIFY(fake->Deliver(colour));
        QVERIFY(counting->sent.isEmpty()); // no call: nothing goes out

        phone->Video().Start(QHostAddress("192.0.2.3"));
        for (const QColor colour : {QColor(Qt::red), QColor(Qt::green), QColor(Qt::blue)})
            QVERIFY(fake->Deliver(colour));
        QCOMPARE(counting->sent.size(), 3);
        QVERIFY(counting->sent.first().startsWith(QByteArray::fromHex("ffd8")));
    }

    void closingKeepsTheCameraInThePlacementFile()
    {
        StoreCameraConfiguration();
        Start();
        QTRY_VERIFY(Cap()->Previewing());
        phone->Window().close();
        QVERIFY(!Cap()->Previewing());
        TGraphConfig saved;
        saved.LoadFromString(TGraphConfig::ReadConfigText(TfrmMain::PlacementFileName()));
        QCOMPARE(saved.VCapSource, QString("Fake Camera"));
        QCOMPARE(saved.VCapMode.Width, 320);
    }
};

PARLAVUE_GUI_TEST_MAIN(MainWindowCameraTest)
#include "tst_MainWindowCamera.moc"
