#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/fake/TFakeCamera.h"
#include "platform/camera/v4l2/TV4l2ControlPage.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeV4l2Device.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TElidedRowDelegate.h"

#include <QComboBox>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

class VideoOptionsTest : public TWindowTest
{
    Q_OBJECT

    std::shared_ptr<TFakeCameraSystem> camera;
    std::unique_ptr<TPhone> phone;
    TFGraphConfig* window = nullptr;

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

    static QStringList Items(const QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

    void DoubleClick(int row)
    {
        QListWidgetItem* item = window->lbDialogs->item(row);
        QVERIFY(item);
        const QPoint at = window->lbDialogs->visualItemRect(item).center();
        QTest::mouseClick(window->lbDialogs->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(window->lbDialogs->viewport(), Qt::LeftButton, {}, at);
    }

private slots:
    void init()
    {
        TWindowTest::init();
        camera = MakeFakeCamera();
        const auto second = camera->AddDevice(QStringLiteral("Second Camera"),
                                              {TFakeCameraSystem::RawMode("BGR", 640, 480),
                                               TFakeCameraSystem::RawMode("BGR", 320, 240)});
        second->Controls = {std::make_shared<TV4l2ControlPage>(TFakeV4l2Device::Camera())};
    }
    void cleanup()
    {
        phone.reset();
        window = nullptr;
        camera.reset();
        TWindowTest::cleanup();
    }

    void firstRunChoosesNoCameraAndApplyWaitsForAPixelFormat()
    {
        Start();
        WithWindowOpen([&] {
            QCOMPARE(Entries(window->cbVSources), (QStringList{"Fake Camera", "Second Camera"}));
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            QVERIFY(!window->btnApply->isEnabled());
            Choose(window->cbVSources, "Second Camera");
            QVERIFY2(!window->btnApply->isEnabled(), "a camera alone does not enable Apply");
            Choose(window->cbPixelFormat, "pf24bit");
            QVERIFY(window->btnApply->isEnabled());
        });
        // Closing never applies, but the configuration is saved all the same.
        QVERIFY(!Cap()->Previewing());
        QVERIFY(phone->CaptureConfig().VCapSource.isEmpty());
        QVERIFY(!env->ReadProgramFile("ConfigGraph.ini").isEmpty());
    }

    void applyStartsTheChosenCameraAndListsItsDialogs()
    {
        Start();
        QStringList before, after;
        WithWindowOpen([&] {
            before = Items(window->lbDialogs);
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbPixelFormat, "pf32bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QVERIFY(!window->btnApply->isEnabled());
            after = Items(window->lbDialogs);
        });
        QVERIFY(before.isEmpty());
        // Listed while the window is still open: the camera's own controls and its formats.
        QCOMPARE(after, (QStringList{"Video Capture Filter", "Video Capture Pin"}));
        QVERIFY(Cap()->Previewing());
        QCOMPARE(Cap()->VideoDeviceName(), QString("Second Camera"));
        QCOMPARE(phone->CaptureConfig().PixelFormat, TPixelFormat::pf32bit);
        const QString saved = TGraphConfig::ReadConfigText(env->ProgramFile("ConfigGraph.ini"));
        QVERIFY2(saved.contains("VCapSource=Second Camera"), qPrintable(saved));
    }

    void aStoredCameraThatIsGoneLeavesTheSelection()
    {
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            TGraphConfig config;
            config.VCapSource = "Unplugged Camera";
            config.PixelFormat = TPixelFormat::pf16bit;
            QVERIFY(window->LoadConfig(config));
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
            QCOMPARE(window->cbPixelFormat->currentText(), QString("pf16bit"));
            config.VCapSource = "Fake Camera";
            window->LoadConfig(config);
            QCOMPARE(window->cbVSources->currentText(), QString("Fake Camera"));
        });
    }

    void doubleClickOpensTheSelectedDialogAndNothingWithoutOne()
    {
        Start();
        WithWindowOpen([&] {
            // An empty list, then a list without a selection: nothing opens.
            window->lbDialogsDblClick();
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QCOMPARE(window->lbDialogs->count(), 2);
            window->lbDialogs->clearSelection();
            window->lbDialogsDblClick();
            QVERIFY(script->ui.propertyFrames.isEmpty());

            DoubleClick(0);
            QCOMPARE(script->ui.propertyFrames, QList<QStringList>{{"Video Capture Filter"}});
            QVERIFY(Cap()->Previewing());

            // Choosing 320 x 240 among the formats: the camera runs again in it.
            script->ui.propertyAnswers.push_back({{"Video Capture Pin", "format", 1}});
            DoubleClick(1);
            QCOMPARE(script->ui.propertyFrames.size(), 2);
            QCOMPARE(script->ui.propertyFrames.last(), QStringList{"Video Capture Pin"});
            QVERIFY(script->ui.refusedProperties.isEmpty());
            QVERIFY(Cap()->Previewing());
            QSignalSpy grabbed(Cap(), &TVideoCapture::OnBitmapGrabbed);
            QVERIFY(camera->Camera()->Deliver(Qt::green));
            QCOMPARE(grabbed.size(), 1);
            QCOMPARE(grabbed[0][0].value<QImage>().size(), QSize(320, 240));
        });
        // Saved on closing: the chosen format is what the next start uses.
        TGraphConfig saved;
        saved.LoadFromString(TGraphConfig::ReadConfigText(env->ProgramFile("ConfigGraph.ini")));
        QCOMPARE(QSize(saved.VCapMode.Width, saved.VCapMode.Height), QSize(320, 240));
    }

    void aLongEntryIsShortenedInItsMiddle()
    {
        Start();
        QListWidget* list = window->lbDialogs;
        list->resize(268, 89);
        const QString longText =
            "Video Capture Pin of a camera whose name is far too long for this list";
        const auto render = [&](const QString& text) {
            list->clear();
            list->addItem(text);
            list->clearSelection();
            list->doItemsLayout();
            QCoreApplication::processEvents();
            QImage image(list->viewport()->size(), QImage::Format_RGB32);
            list->viewport()->render(&image);
            return image.copy(0, 0, image.width(), TElidedRowDelegate::ItemHeight);
        };
        const QFontMetrics metrics(list->font());
        const int width = list->viewport()->width() - 10;
        QVERIFY(metrics.horizontalAdvance(longText) > width);
        const QImage shown = render(longText);
        QVERIFY2(shown != render(QString()), "the text was drawn");
        QCOMPARE(shown, render(metrics.elidedText(longText, Qt::ElideMiddle, width)));
        QVERIFY(shown != render(metrics.elidedText(longText, Qt::ElideRight, width)));
        QCOMPARE(list->visualItemRect(list->item(0)).height(), TElidedRowDelegate::ItemHeight);
    }
};

PARLAVUE_GUI_TEST_MAIN(VideoOptionsTest)
#include "tst_VideoOptions.moc"
