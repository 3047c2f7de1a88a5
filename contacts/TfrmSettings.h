#pragma once

#include "calls/TCallSettings.h"

class ISoundDevices;
class QComboBox;

#include <QDialog>

#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TSpinEdit;
class TRoundedPanel;

// The "Settings" window: edits the main window's live call settings and writes them to
// "Settings.ini" on "Save". It keeps no copy of its own; every opening refills the controls.
class TfrmSettings : public QDialog
{
    Q_OBJECT
public:
    static QString RingToneFilter();

    // The microphone and speaker lists come from devices; without them they offer the default.
    TfrmSettings(TCallSettings& callSettings, std::shared_ptr<ISoundDevices> devices = {},
                 QWidget* parent = nullptr);

    // Fills the controls from the live settings and shows the window modally.
    int Execute();

    // Called once saved settings became the live ones.
    std::function<void(const TCallSettings&)> OnSaved;
    // Called when the devices to use change: a choice in a list, at once, and on "Close" the
    // saved ones again.
    std::function<void(const QString& microphone, const QString& speaker)> OnDevicesChosen;

    // The lists follow devices plugged in or out while the window is open.
    void DevicesChanged();
    // This copy's key as the user reads it, and whole as "Copy" hands it on (for a contact's
    // address book); empty when the copy has none.
    void SetOwnKey(const QString& shortText, const QString& fullText);

    TRoundedPanel* Panel1 = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edtRingTone = nullptr;
    QPushButton* btnBrowseTone = nullptr;
    QLabel* Label2 = nullptr;
    TSpinEdit* sedRingTime = nullptr;
    QCheckBox* chkAuto = nullptr;
    QCheckBox* chkEchoCancel = nullptr;
    QCheckBox* chkNoiseSuppression = nullptr;
    // Off: this copy announces nothing on the network (no service, no key, no caller ID).
    QCheckBox* chkShowOnNetwork = nullptr;
    QLabel* Label9 = nullptr;
    QComboBox* cboEncryption = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* edtMessage = nullptr;
    QLabel* Label4 = nullptr;
    QLineEdit* edtCallerID = nullptr;
    QLabel* Label5 = nullptr;
    QLineEdit* edtPath = nullptr;
    QPushButton* btnFolderPath = nullptr;
    QLabel* Label6 = nullptr;
    QComboBox* cboMicrophone = nullptr;
    QLabel* Label7 = nullptr;
    QComboBox* cboSpeaker = nullptr;
    QLabel* Label8 = nullptr;
    QLineEdit* edtKey = nullptr;
    QPushButton* btnCopyKey = nullptr;
    QPushButton* btnSave = nullptr;
    QPushButton* btnVideoOptions = nullptr;
    QPushButton* btnClose = nullptr;

    void FormShow();
    void btnBrowseToneClick();
    void btnFolderPathClick();
    void btnSaveClick();
    void btnCloseClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void CreateControls();
    QLabel* AddLabel(const QString& name, const QString& text, int left, int top);
    QLineEdit* AddEdit(const QString& name, int left, int top, int width, int height);
    QPushButton* AddButton(const QString& name, const QString& text, const QRect& geometry);
    QCheckBox* AddCheckBox(const QString& name, const QString& text, const QRect& geometry);
    QComboBox* AddDeviceList(const QString& name, int top);
    // Refills the lists, keeping what each shows; a chosen device that is not plugged in stays
    // listed, so that saving does not lose it.
    void FillDevices();
    void DeviceChosen();

    TCallSettings& callSettings_;
    std::shared_ptr<ISoundDevices> devices_;
    QString ownKey_;
    bool filling_ = false;
};
