#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class TGraphConfig;
class TSpinEdit;
class TVideoCapture;

// "ParlavueVP Video Device Settings": the camera, the pixel format of grabbed frames and the
// device's own dialogs. It edits the main window's capture record and applies it to the main
// window's camera on "Apply" only; closing never applies. Most of the record has controls
// that are never shown and carry its values through.
class TFGraphConfig : public QDialog
{
    Q_OBJECT
public:
    TFGraphConfig(TGraphConfig& config, TVideoCapture& cap, QWidget* parent = nullptr);

    // Fills the four device lists from the camera's lists as they were read last.
    void FormCreate();
    // The camera read its lists again after devices came or went: they are shown afresh, each
    // keeping its selection while that name is still listed. Nothing is applied.
    void RefillDeviceLists();
    bool LoadConfig(const TGraphConfig& config);
    void cbPixelFormatChange();
    void btnApplyPixelFormatClick();
    void lbDialogsDblClick();
    // The main window's handler of a changed device: one entry per dialog the camera offers.
    void FillDialogs(quint16 dialogs);

    QGroupBox* GroupBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QComboBox* cbVSources = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* cbPixelFormat = nullptr;
    QPushButton* btnApply = nullptr;
    QLabel* Label9 = nullptr;
    QListWidget* lbDialogs = nullptr;
    QPushButton* btnCancel = nullptr;

    // Never shown.
    QCheckBox* cbWantPreview = nullptr;
    QCheckBox* cbWantBitmaps = nullptr;
    QCheckBox* cbWantCapture = nullptr;
    QCheckBox* cbWantDVAudio = nullptr;
    QCheckBox* cbWantAudio = nullptr;
    QCheckBox* cbWantAudioPreview = nullptr;
    QCheckBox* cbDoPreallocCaptureFile = nullptr;
    QCheckBox* cbUseTempFile = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QComboBox* cbVComps = nullptr;
    QComboBox* cbAComps = nullptr;
    QCheckBox* cbVComp = nullptr;
    QCheckBox* cbAComp = nullptr;
    QComboBox* cbASources = nullptr;
    QComboBox* cbDVResolution = nullptr;
    QLineEdit* feCaptureFile = nullptr;
    QLineEdit* feTempFile = nullptr;
    TSpinEdit* sePreallocSize = nullptr;
    QPushButton* Button1 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* btnApplyPixelFormat = nullptr;

private:
    void CreateControls();
    void CreateHiddenControls();

    TGraphConfig& config_;
    TVideoCapture& cap_;
};
