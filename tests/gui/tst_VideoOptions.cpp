#include "app/TForms.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "capture/TFGraphConfig.h"
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/capturegraph/CaptureGuids.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeCamera.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"
#include "widgets/TElidedRowDelegate.h"
#include "widgets/TImageButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

class VideoOptionsTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;
    std::shared_ptr<TFakeCaptureSystem> camera;
    std::unique_ptr<TfrmMain> form;
    TFGraphConfig* window = nullptr;

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

    static QStringList Items(QListWidget* list)
    {
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->item(i)->text();
        return items;
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        script = std::make_unique<TScriptedUiScope>();
        camera = MakeFakeCamera();
        camera->AddDevice(
            TDeviceCategory::VideoInput, QStringLiteral("Second Camera"),
            {TFakeCaptureSystem::VideoMode(CaptureGuids::MEDIASUBTYPE_RGB24, 640, 480, 24),
             TFakeCaptureSystem::VideoMode(CaptureGuids::MEDIASUBTYPE_RGB24, 320, 240, 24)});
    }
    void cleanup()
    {
        form.reset();
        Forms() = TForms();
        window = nullptr;
        camera.reset();
        script.reset();
        env.reset();
    }

    void theWindowLooksAsItShould()
    {
        Start();
        QCOMPARE(window->windowTitle(), QString("ParlavueVP Video Device Settings"));
        QCOMPARE(window->size(), QSize(293, 327));
        QCOMPARE(window->cbVSources->geometry(), QRect(24, 56, 249, 21));
        QCOMPARE(window->lbDialogs->geometry(), QRect(13, 184, 268, 89));
        QCOMPARE(window->cbPixelFormat->count(), 9);
        QCOMPARE(window->cbPixelFormat->itemText(6), QString("pf24bit"));
        QCOMPARE(window->cbDVResolution->itemText(3), QString("Quater"));
        QVERIFY(!window->btnApply->isEnabled());
        // The device lists were read once, at creation.
        QCOMPARE(window->cbVSources->count(), 2);
        QVERIFY(window->cbWantPreview->isHidden());
        QVERIFY(window->GroupBox2->isHidden());
    }

    void firstRunNoSourceAndApplyWaitsForAPixelFormat()
    {
        Start();
        WithWindowOpen([&] {
            QCOMPARE(window->cbVSources->currentIndex(), -1);
            QVERIFY(!window->btnApply->isEnabled());
            Choose(window->cbVSources, "Second Camera");
            QVERIFY2(!window->btnApply->isEnabled(), "a source alone does not enable Apply");
            Choose(window->cbPixelFormat, "pf24bit");
            QVERIFY(window->btnApply->isEnabled());
        });
        // Closing never applies.
        QVERIFY(!Control<TVideoCapture>(&*form, "cap")->Previewing());
        QVERIFY(form->CaptureConfig().VCapSource.isEmpty());
        // The configuration was saved all the same.
        QVERIFY(!env->ReadProgramFile("ConfigGraph.ini").isEmpty());
    }

    void applyWritesTheRecordRebuildsTheGraphAndRefillsTheDialogs()
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
        QCOMPARE(form->CaptureConfig().VCapSource, QString("Second Camera"));
        QCOMPARE(form->CaptureConfig().PixelFormat, TPixelFormat::pf32bit);
        QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
        QCOMPARE(Control<TVideoCapture>(&*form, "cap")->VideoDeviceName(),
                 QString("Second Camera"));
        // The new camera's pin dialogs are listed while the window is still open, each with
        // its ordinal.
        QCOMPARE(after, (QStringList{"Video Capture Pin", "Video Preview Pin"}));
        QCOMPARE(window->lbDialogs->item(0)->data(Qt::UserRole).toInt(),
                 int(TVideoCapture::cdVideoCapturePin));
        QCOMPARE(window->lbDialogs->item(1)->data(Qt::UserRole).toInt(),
                 int(TVideoCapture::cdVideoPreviewPin));
        const QString saved = TGraphConfig::ReadConfigText(env->ProgramFile("ConfigGraph.ini"));
        QVERIFY2(saved.contains("VCapSource=Second Camera"), qPrintable(saved));
    }

    void aStoredDeviceThatIsGoneLeavesTheSelection()
    {
        Start();
        WithWindowOpen([&] {
            Choose(window->cbVSources, "Second Camera");
            TGraphConfig config;
            config.VCapSource = "Unplugged Camera";
            config.PixelFormat = TPixelFormat::pf16bit;
            QVERIFY(window->LoadConfig(config));
            QCOMPARE(window->cbVSources->currentText(), QString("Second Camera"));
            QCOMPARE(window->cbPixelFormat->currentIndex(), int(TPixelFormat::pf16bit));
            config.VCapSource = "Fake Camera";
            window->LoadConfig(config);
            QCOMPARE(window->cbVSources->currentText(), QString("Fake Camera"));
        });
    }

    void doubleClickOpensTheSelectedDialogAndNothingWithoutOne()
    {
        Start();
        WithWindowOpen([&] {
            // An empty list, then a list without a selection: nothing happens.
            window->lbDialogsDblClick();
            QVERIFY(script->ui.propertyFrames.isEmpty());
            Choose(window->cbVSources, "Second Camera");
            Choose(window->cbPixelFormat, "pf24bit");
            QTest::mouseClick(window->btnApply, Qt::LeftButton);
            QCOMPARE(window->lbDialogs->count(), 2);
            window->lbDialogs->clearSelection();
            window->lbDialogsDblClick();
            QVERIFY(script->ui.propertyFrames.isEmpty());

            // Choosing 320 x 240 in the pin dialog.
            script->ui.propertyAnswers.push_back({{"Video Capture Pin", "format", 1}});
            QListWidgetItem* item = window->lbDialogs->item(0);
            const QRect r = window->lbDialogs->visualItemRect(item);
            QTest::mouseClick(window->lbDialogs->viewport(), Qt::LeftButton, {}, r.center());
            QTest::mouseDClick(window->lbDialogs->viewport(), Qt::LeftButton, {}, r.center());
            QCOMPARE(script->ui.propertyFrames, QList<QStringList>{{"Video Capture Pin"}});
            QVERIFY(script->ui.refusedProperties.isEmpty());
            QVERIFY(Control<TVideoCapture>(&*form, "cap")->Previewing());
            TVCapMode mode;
            Control<TVideoCapture>(&*form, "cap")->GetCurrentVCapMode(mode);
            QCOMPARE(QSize(mode.Width, mode.Height), QSize(320, 240));
        });
        // Saved on closing: the chosen mode is what the next start uses.
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
