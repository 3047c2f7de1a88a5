#pragma once

#include <QDialog>

class QComboBox;
class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class TGraphConfig;
class TVideoCapture;

// "ParlavueVP Video Device Settings": the camera, the pixel format of grabbed frames and the
// device's own dialogs. It edits the main window's capture record and applies it to the main
// window's camera on "Apply" only; closing never applies. The rest of the record passes
// through unchanged.
class TFGraphConfig : public QDialog
{
    Q_OBJECT
public:
    TFGraphConfig(TGraphConfig& config, TVideoCapture& cap, QWidget* parent = nullptr);

    // Fills the camera list from the component's list as it was read last.
    void FormCreate();
    // The component read its list again after devices came or went: it is shown afresh,
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

private:
    void CreateControls();
    // Selects the camera in use when it is not the one recorded, and records it.
    void ShowRunningSource();

    TGraphConfig& config_;
    TVideoCapture& cap_;
    bool applying_ = false; // a wait dropped by a newer Apply is no answer
};
