#include "contacts/TSettingsStore.h"
#include "contacts/TfrmSettings.h"
#include "platform/ini/TIniFile.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/ui/TApplication.h"
#include "platform/voice/ISoundDevices.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TSpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

// Sound devices as a test lists them.
class TListedDevices : public ISoundDevices
{
public:
    QList<TSoundDevice> microphones;
    QList<TSoundDevice> speakers;
    QList<TSoundDevice> Microphones() const override { return microphones; }
    QList<TSoundDevice> Speakers() const override { return speakers; }
    void SetChanged(std::function<void()>) override {}
};

class SettingsWindowTest : public TWindowTest
{
    Q_OBJECT

    TCallSettings live;
    std::unique_ptr<TfrmSettings> form;

    TCallSettings Sample()
    {
        TCallSettings s;
        s.RingTone = "/music/ring.wav";
        s.RingTimeMs = 20000;
        s.Message = "Busy now";
        s.CallerID = "Ada";
        s.FilePath = "/home/ada/in";
        s.MicVolume = 40;
        s.AutoAnswer = true;
        return s;
    }

    // Opens the window as the main window does, without the modal loop.
    void Open()
    {
        form->FormShow();
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

private slots:
    void init()
    {
        TWindowTest::init();
        live = Sample();
        form = std::make_unique<TfrmSettings>(live);
    }
    void cleanup()
    {
        form.reset();
        TWindowTest::cleanup();
    }

    void controlsStandWhereTheyBelong_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("edtRingTone") << "edtRingTone" << QRect(144, 24, 281, 21) << "";
        QTest::newRow("btnBrowseTone") << "btnBrowseTone" << QRect(432, 22, 25, 25) << "...";
        QTest::newRow("sedRingTime") << "sedRingTime" << QRect(144, 64, 41, 22) << "";
        QTest::newRow("chkAuto") << "chkAuto" << QRect(200, 67, 241, 17)
                                 << "Automatically answer incoming calls.";
        QTest::newRow("edtMessage") << "edtMessage" << QRect(144, 104, 241, 21) << "";
        QTest::newRow("edtCallerID") << "edtCallerID" << QRect(144, 144, 241, 21) << "";
        QTest::newRow("edtPath") << "edtPath" << QRect(144, 192, 281, 21) << "C:";
        QTest::newRow("btnFolderPath") << "btnFolderPath" << QRect(432, 190, 25, 25) << "...";
        // The device lists sit above the buttons, which moved down to make room.
        QTest::newRow("cboMicrophone") << "cboMicrophone" << QRect(144, 232, 281, 22) << "";
        QTest::newRow("cboSpeaker") << "cboSpeaker" << QRect(144, 264, 281, 22) << "";
        QTest::newRow("edtKey") << "edtKey" << QRect(144, 296, 241, 21) << "Not available";
        QTest::newRow("btnCopyKey") << "btnCopyKey" << QRect(392, 294, 65, 25) << "Copy";
        QTest::newRow("btnSave") << "btnSave" << QRect(16, 390, 75, 25) << "Save";
        QTest::newRow("btnVideoOptions")
            << "btnVideoOptions" << QRect(200, 390, 89, 25) << "Video Options";
        QTest::newRow("btnClose") << "btnClose" << QRect(384, 390, 75, 25) << "Close";
        QTest::newRow("chkEchoCancel")
            << "chkEchoCancel" << QRect(104, 394, 130, 17) << "Echo cancellation";
        QTest::newRow("chkNoiseSuppression")
            << "chkNoiseSuppression" << QRect(240, 394, 136, 17) << "Noise suppression";
    }
    void controlsStandWhereTheyBelong()
    {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        auto* w = form->findChild<QWidget*>(name);
        QVERIFY2(w, qPrintable(name));
        QCOMPARE(w->geometry(), geometry);
        if (auto* b = qobject_cast<QAbstractButton*>(w))
            QCOMPARE(b->text(), text);
        if (auto* e = qobject_cast<QLineEdit*>(w))
            QCOMPARE(e->text(), text); // design texts before the first opening
    }

    void windowLabelsAndLimits()
    {
        QCOMPARE(form->size(), QSize(474, 440));
        QCOMPARE(form->windowTitle(), QString("Settings"));
        QVERIFY(form->windowFlags() & Qt::FramelessWindowHint);
        const QList<std::tuple<QString, QString, QPoint>> labels = {
            {"Label1", "Ring Tone", {16, 25}},
            {"Label2", "Ring Time (sec)", {16, 67}},
            {"Label3", "Unanswered Message", {16, 107}},
            {"Label4", "Caller ID", {16, 147}},
            {"Label5", "Files Receive Path", {16, 195}},
            {"Label6", "Microphone", {16, 235}},
            {"Label7", "Speaker", {16, 267}},
            {"Label8", "Your key", {16, 299}}};
        for (const auto& [name, text, pos] : labels) {
            auto* l = form->findChild<QLabel*>(name);
            QVERIFY(l);
            QCOMPARE(l->text(), text);
            QCOMPARE(l->pos(), pos);
            QVERIFY(l->font().bold());
        }
        QCOMPARE(form->sedRingTime->minimum(), 1);
        QCOMPARE(form->sedRingTime->maximum(), 30);
        QCOMPARE(form->sedRingTime->value(), 15);
        QCOMPARE(form->edtMessage->maxLength(), 50);
        QCOMPARE(form->edtCallerID->maxLength(), 50);
        QVERIFY(form->btnVideoOptions->isHidden());
    }

    void tabOrderFollowsTheFieldsThenTheButtons()
    {
        Open();
        const QStringList expected = {"btnBrowseTone",
                                      "sedRingTime",
                                      "edtMessage",
                                      "edtCallerID",
                                      "edtPath",
                                      "btnSave",
                                      "btnClose",
                                      "btnFolderPath",
                                      "chkAuto",
                                      "chkEchoCancel",
                                      "chkNoiseSuppression",
                                      "cboMicrophone",
                                      "cboSpeaker",
                                      "edtKey"};
        QStringList seen;
        QWidget* w = form->edtRingTone;
        for (int i = 0; i < expected.size(); ++i) {
            w = w->nextInFocusChain();
            while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisible() ||
                   w->objectName().isEmpty() || w->objectName().startsWith("qt_"))
                w = w->nextInFocusChain();
            seen << w->objectName();
        }
        QCOMPARE(seen, expected);
    }

    void openingFillsTheControlsFromTheLiveSettings()
    {
        Open();
        QCOMPARE(form->edtRingTone->text(), QString("/music/ring.wav"));
        QCOMPARE(form->sedRingTime->value(), 20);
        QCOMPARE(form->edtMessage->text(), QString("Busy now"));
        QCOMPARE(form->edtCallerID->text(), QString("Ada"));
        QCOMPARE(form->edtPath->text(), QString("/home/ada/in"));
        QVERIFY(form->chkAuto->isChecked());
        QTRY_COMPARE(QApplication::focusWidget(), form->edtRingTone);
    }

    void ringTimeOutsideTheBoxIsHeldWithinIt()
    {
        live.RingTimeMs = 45000;
        Open();
        QCOMPARE(form->sedRingTime->value(), 30);
        live.RingTimeMs = 0;
        Open();
        QCOMPARE(form->sedRingTime->value(), 1);
        // Only "Save" turns the 45 seconds into 30, in memory and in the file.
        live.RingTimeMs = 45000;
        Open();
        QCOMPARE(live.RingTimeMs, 45000);
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(live.RingTimeMs, 30000);
        QCOMPARE(TIniFile(TSettingsStore::FileName()).ReadString("Settings", "RingTime", ""),
                 QString("30"));
    }

    void typedRingTimesAreCorrectedWhenTheBoxIsLeft()
    {
        Open();
        form->sedRingTime->setFocus();
        form->sedRingTime->findChild<QLineEdit*>()->selectAll();
        QTest::keyClicks(form->sedRingTime, "99");
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(live.RingTimeMs, 30000);

        Open();
        form->sedRingTime->findChild<QLineEdit*>()->setText("x");
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(live.RingTimeMs, 1000);
        QCOMPARE(TIniFile(TSettingsStore::FileName()).ReadString("Settings", "RingTime", ""),
                 QString("1"));

        Open();
        form->sedRingTime->setFocus();
        QTest::keyClick(form->sedRingTime, Qt::Key_Up);
        QCOMPARE(form->sedRingTime->value(), 2);
    }

    void enterMovesTheFocusOnAndPressesSave()
    {
        Open();
        const QList<QWidget*> chain = {form->edtRingTone, form->sedRingTime, form->edtMessage,
                                       form->edtCallerID, form->edtPath,     form->btnSave};
        chain.first()->setFocus();
        for (int i = 1; i < chain.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QTRY_COMPARE(QApplication::focusWidget(), chain[i]);
        }
        form->edtMessage->setText("changed");
        QTest::keyClick(form->btnSave, Qt::Key_Return);
        QCOMPARE(live.Message, QString("changed"));
        QVERIFY(!form->isVisible());
    }

    void saveWritesTheFileAndTheLiveSettings()
    {
        env->WriteProgramFile("Settings.ini", "[Settings]\r\nmicVolume=40\r\n");
        Open();
        form->edtRingTone->setText("");
        form->edtMessage->setText("Call later");
        form->edtCallerID->setText("Grace");
        form->edtPath->setText("/srv/in");
        form->chkAuto->setChecked(false);
        QVERIFY(form->chkEchoCancel->isChecked() && form->chkNoiseSuppression->isChecked());
        form->chkNoiseSuppression->setChecked(false);
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(env->ReadProgramFile("Settings.ini"),
                 QByteArray("[Settings]\r\nmicVolume=40\r\nRingTone=\r\nRingTime=20\r\n"
                            "Message=Call later\r\nCallerID=Grace\r\nFilePath=/srv/in\r\n"
                            "AutoAnswer=0\r\nEchoCancellation=1\r\nNoiseSuppression=0\r\n"
                            "Microphone=\r\nSpeaker=\r\nShowOnNetwork=1\r\nEncryptedOnly=0\r\n"));
        QVERIFY(live.EchoCancellation);
        QVERIFY(!live.NoiseSuppression);
        QCOMPARE(live.RingTone, QString(""));
        QCOMPARE(live.Message, QString("Call later"));
        QCOMPARE(live.CallerID, QString("Grace"));
        QCOMPARE(live.FilePath, QString("/srv/in"));
        QVERIFY(!live.AutoAnswer);
        QCOMPARE(live.MicVolume, 40);
        QVERIFY(!form->isVisible());
        QVERIFY(script->ui.shown.isEmpty());
    }

    void closeDropsTheEdits()
    {
        Open();
        form->edtMessage->setText("edited");
        form->chkAuto->setChecked(false);
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QVERIFY(!form->isVisible());
        QCOMPARE(live.Message, QString("Busy now"));
        QVERIFY(live.AutoAnswer);
        QVERIFY(!QFile::exists(TSettingsStore::FileName()));
        Open();
        QCOMPARE(form->edtMessage->text(), QString("Busy now"));
    }

    // The lists offer the default first, then each device by its description; a pick applies
    // at once, "Save" keeps it under its server name, "Close" goes back to the saved one, and
    // the lists follow devices coming and going without losing the pick.
    void deviceListsApplyAtOnceSaveByNameAndFollowThePlugs()
    {
        auto devices = std::make_shared<TListedDevices>();
        devices->microphones = {{"alsa_input.usb-mic", "USB Mic"}, {"builtin-mic", "Built-in"}};
        devices->speakers = {{"headset-out", "Headset <b>Pro</b>"}};
        form = std::make_unique<TfrmSettings>(live, devices);
        QStringList chosen;
        form->OnDevicesChosen = [&](const QString& mic, const QString& spk) {
            chosen << mic + "|" + spk;
        };
        live.Speaker = "gone-speaker"; // saved, but not plugged in now
        env->WriteProgramFile("Settings.ini", "[Settings]\r\nmicVolume=40\r\n");
        Open();
        QVERIFY2(chosen.isEmpty(), "opening chooses nothing");
        auto items = [](QComboBox* list) {
            QStringList texts;
            for (int i = 0; i < list->count(); ++i)
                texts << list->itemText(i);
            return texts;
        };
        QCOMPARE(items(form->cboMicrophone),
                 QStringList({"System default", "USB Mic", "Built-in"}));
        QCOMPARE(items(form->cboSpeaker), QStringList({"System default", "Headset <b>Pro</b>",
                                                       "gone-speaker (not plugged in)"}));
        QCOMPARE(form->cboSpeaker->currentIndex(), 2);

        form->cboMicrophone->setCurrentIndex(2);
        QCOMPARE(chosen, QStringList{"builtin-mic|gone-speaker"});
        // Unplugged while the window is open: the pick stays, marked.
        devices->microphones.removeLast();
        form->DevicesChanged();
        QCOMPARE(items(form->cboMicrophone),
                 QStringList({"System default", "USB Mic", "builtin-mic (not plugged in)"}));
        QCOMPARE(form->cboMicrophone->currentData().toString(), QString("builtin-mic"));
        QCOMPARE(chosen.size(), 1); // refilling the lists chooses nothing

        form->cboSpeaker->setCurrentIndex(1);
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(live.Microphone, QString("builtin-mic"));
        QCOMPARE(live.Speaker, QString("headset-out"));
        QVERIFY(env->ReadProgramFile("Settings.ini")
                    .endsWith("NoiseSuppression=1\r\nMicrophone=builtin-mic\r\nSpeaker=headset-"
                              "out\r\nShowOnNetwork=1\r\nEncryptedOnly=0\r\n"));
        QCOMPARE(TSettingsStore::Load(TSettingsStore::FileName(), "x").Speaker,
                 QString("headset-out"));

        // Tried, then closed: the saved devices come back.
        chosen.clear();
        Open();
        form->cboMicrophone->setCurrentIndex(0);
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        QCOMPARE(chosen, QStringList({"|headset-out", "builtin-mic|headset-out"}));
        QCOMPARE(live.Microphone, QString("builtin-mic"));
    }

    void saveThatCannotWriteReportsAndChangesNothing()
    {
        // The program folder is a plain file: no key can be written there.
        const QString blocked = env->ProgramFile("blocked");
        env->WriteProgramFile("blocked", "x");
        TProgramFolder::OverrideForTesting(blocked);
        Open();
        form->edtMessage->setText("never saved");
        QTest::mouseClick(form->btnSave, Qt::LeftButton);
        QCOMPARE(script->ui.Texts("error"),
                 QStringList{"Unable to write to " + blocked + "/Settings.ini"});
        QCOMPARE(live.Message, QString("Busy now"));
        QVERIFY(form->isVisible());
    }

    void ringTonePickerStartsFromTheFieldAndKeepsItOnCancel()
    {
        Open();
        script->ui.fileAnswers.push_back(QStringList{"/music/new.mp3"});
        script->ui.fileAnswers.push_back(std::nullopt);
        QTest::mouseClick(form->btnBrowseTone, Qt::LeftButton);
        QCOMPARE(form->edtRingTone->text(), QString("/music/new.mp3"));
        QTest::mouseClick(form->btnBrowseTone, Qt::LeftButton);
        QCOMPARE(form->edtRingTone->text(), QString("/music/new.mp3"));
        QCOMPARE(script->ui.shown.size(), 2);
        QCOMPARE(script->ui.shown[0].text, QString("/music/ring.wav"));
        QCOMPARE(script->ui.shown[1].text, QString("/music/new.mp3"));
        QCOMPARE(script->ui.shown[0].detail, TfrmSettings::RingToneFilter());
        QCOMPARE(live.RingTone, QString("/music/ring.wav")); // only Save takes it
    }

    void folderPickerHasItsTitle()
    {
        Open();
        script->ui.folderAnswers.push_back(QString("/data/received"));
        script->ui.folderAnswers.push_back(std::nullopt);
        QTest::mouseClick(form->btnFolderPath, Qt::LeftButton);
        QCOMPARE(form->edtPath->text(), QString("/data/received"));
        QTest::mouseClick(form->btnFolderPath, Qt::LeftButton);
        QCOMPARE(form->edtPath->text(), QString("/data/received"));
        QCOMPARE(script->ui.Texts("folder"),
                 QStringList({"Files Received Path", "Files Received Path"}));
    }
};

PARLAVUE_GUI_TEST_MAIN(SettingsWindowTest)
#include "tst_SettingsWindow.moc"
