#include "capture/TFGraphConfig.h"

#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TElidedRowDelegate.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/TSpinEdit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScreen>
#include <QSignalBlocker>

namespace {
const QStringList PixelFormatNames{
    QStringLiteral("pfDevice"), QStringLiteral("pf1bit"),  QStringLiteral("pf4bit"),
    QStringLiteral("pf8bit"),   QStringLiteral("pf15bit"), QStringLiteral("pf16bit"),
    QStringLiteral("pf24bit"),  QStringLiteral("pf32bit"), QStringLiteral("pfCustom"),
};
const QStringList DVResolutionNames{QStringLiteral("dont worry"), QStringLiteral("Full"),
                                    QStringLiteral("Half"), QStringLiteral("Quater"),
                                    QStringLiteral("DC")};

QFont PixelFont(int pixels, bool bold = false)
{
    QFont font = TFonts::SansSerif(8, bold);
    font.setPixelSize(pixels);
    return font;
}

// The first entry exactly equal to text is selected; without one the selection stays.
void SelectExact(QComboBox* list, const QString& text)
{
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i) == text) {
            list->setCurrentIndex(i);
            return;
        }
}
} // namespace

TFGraphConfig::TFGraphConfig(TGraphConfig& config, TVideoCapture& cap, QWidget* parent)
    : QDialog(parent, Qt::Dialog), config_(config), cap_(cap)
{
    setObjectName(QStringLiteral("FGraphConfig"));
    setWindowTitle(QStringLiteral("ParlavueVP Video Device Settings"));
    setFixedSize(293, 327);
    setFont(PixelFont(13));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x6F, 0xA4));
    setPalette(pal);
    CreateControls();
    CreateHiddenControls();
    FormCreate();
    connect(&cap_, &TVideoCapture::OnDevicesChanged, this,
            [this] { Guarded([this] { RefillDeviceLists(); }); });
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void TFGraphConfig::CreateControls()
{
    const auto whiteBold = [](QLabel* label, bool transparent) {
        label->setStyleSheet(transparent ? QStringLiteral("color: white; background: transparent;")
                                         : QStringLiteral("color: white;"));
        label->setFont(PixelFont(13, true));
        label->adjustSize();
    };
    GroupBox1 = new QGroupBox(QStringLiteral(" Capture Sources "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(13, 12, 268, 85);
    GroupBox1->setFont(PixelFont(13, true));
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
    Label1 = new QLabel(QStringLiteral("Video"), GroupBox1);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(10, 24);
    whiteBold(Label1, false);
    const auto dropDown = [this](QWidget* parent, const QString& name, const QRect& r) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(name);
        combo->setGeometry(r);
        combo->setEditable(false);
        combo->setFont(PixelFont(11));
        combo->setStyleSheet(QStringLiteral("QComboBox { background: white; color: black; }"));
        return combo;
    };
    // On the window, over the group box's frame.
    cbVSources = dropDown(this, QStringLiteral("cbVSources"), {24, 56, 249, 21});
    cbVSources->raise();
    Label4 = new QLabel(QStringLiteral("Video Pixel Format"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->move(13, 107);
    whiteBold(Label4, true);
    cbPixelFormat = dropDown(this, QStringLiteral("cbPixelFormat"), {13, 127, 82, 21});
    cbPixelFormat->addItems(PixelFormatNames);
    cbPixelFormat->setCurrentIndex(-1);
    btnApply = new TGradientButton(QStringLiteral("Apply"), this);
    btnApply->setObjectName(QStringLiteral("btnApply"));
    btnApply->setGeometry(103, 126, 58, 22);
    btnApply->setEnabled(false);
    Label9 = new QLabel(QStringLiteral("Dialogs"), this);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->move(13, 162);
    whiteBold(Label9, true);
    lbDialogs = new QListWidget(this);
    lbDialogs->setObjectName(QStringLiteral("lbDialogs"));
    lbDialogs->setGeometry(13, 184, 268, 89);
    lbDialogs->setUniformItemSizes(true);
    lbDialogs->setItemDelegate(new TElidedRowDelegate(lbDialogs));
    lbDialogs->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
    btnCancel = new TGradientButton(QStringLiteral("Close"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(207, 288, 75, 25);

    connect(cbPixelFormat, &QComboBox::activated, this,
            [this] { Guarded([this] { cbPixelFormatChange(); }); });
    connect(btnApply, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnApplyPixelFormatClick(); }); });
    connect(lbDialogs, &QListWidget::itemDoubleClicked, this,
            [this] { Guarded([this] { lbDialogsDblClick(); }); });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFGraphConfig::CreateHiddenControls()
{
    const auto check = [this](const QString& name, const QString& text, QWidget* parent) {
        auto* box = new QCheckBox(text, parent ? parent : this);
        box->setObjectName(name);
        box->hide();
        return box;
    };
    cbWantPreview = check(QStringLiteral("cbWantPreview"), QStringLiteral("WantPreview"), nullptr);
    cbWantBitmaps = check(QStringLiteral("cbWantBitmaps"), QStringLiteral("WantBitmaps"), nullptr);
    cbWantCapture = check(QStringLiteral("cbWantCapture"), QStringLiteral("WantCapture"), nullptr);
    cbWantDVAudio = check(QStringLiteral("cbWantDVAudio"), QStringLiteral("WantDVAudio"), nullptr);
    cbWantAudio = check(QStringLiteral("cbWantAudio"), QStringLiteral("WantAudio"), nullptr);
    cbWantAudioPreview =
        check(QStringLiteral("cbWantAudioPreview"), QStringLiteral("WantAudioPreview"), nullptr);
    cbDoPreallocCaptureFile = check(QStringLiteral("cbDoPreallocCaptureFile"),
                                    QStringLiteral("PreallocCaptureFile"), nullptr);
    cbUseTempFile = check(QStringLiteral("cbUseTempFile"), QStringLiteral("UseTempFile"), nullptr);
    GroupBox2 = new QGroupBox(QStringLiteral(" Compressors "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    GroupBox2->hide();
    const auto list = [this](const QString& name, QWidget* parent) {
        auto* combo = new QComboBox(parent);
        combo->setObjectName(name);
        return combo;
    };
    cbVComps = list(QStringLiteral("cbVComps"), GroupBox2);
    cbAComps = list(QStringLiteral("cbAComps"), GroupBox2);
    cbVComp = check(QStringLiteral("cbVComp"), QStringLiteral("Video"), GroupBox2);
    cbAComp = check(QStringLiteral("cbAComp"), QStringLiteral("Audio"), GroupBox2);
    cbASources = list(QStringLiteral("cbASources"), this);
    cbASources->hide();
    cbDVResolution = list(QStringLiteral("cbDVResolution"), this);
    cbDVResolution->addItems(DVResolutionNames);
    cbDVResolution->hide();
    feCaptureFile = new QLineEdit(TGraphConfig::DefaultCaptureFileName, this);
    feCaptureFile->setObjectName(QStringLiteral("feCaptureFile"));
    feCaptureFile->hide();
    feTempFile = new QLineEdit(TGraphConfig::DefaultTempCaptureFileName, this);
    feTempFile->setObjectName(QStringLiteral("feTempFile"));
    feTempFile->hide();
    sePreallocSize = new TSpinEdit(this);
    sePreallocSize->setObjectName(QStringLiteral("sePreallocSize"));
    sePreallocSize->setSingleStep(10);
    sePreallocSize->setRange(0, 10000);
    sePreallocSize->hide();
    const auto button = [this](const QString& name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->hide();
        return b;
    };
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("OK"));
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    Button2 = button(QStringLiteral("Button2"), QStringLiteral("Close"));
    btnApplyPixelFormat = button(QStringLiteral("btnApplyPixelFormat"), QStringLiteral("Apply"));
    btnApplyPixelFormat->setEnabled(false);
    connect(btnApplyPixelFormat, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnApplyPixelFormatClick(); }); });
    for (const QString& text :
         {QStringLiteral("DV Resolution"), QStringLiteral("CaptureFileName"),
          QStringLiteral("TempCaptureFileName"), QStringLiteral("Prealloc file size"),
          QStringLiteral("Mb"), QStringLiteral("Audio")})
        (new QLabel(text, this))->hide();
}

void TFGraphConfig::FormCreate()
{
    TDeviceLists& lists = cap_.DeviceLists();
    cbVSources->addItems(lists.VideoCaptureDeviceNames(false));
    cbVSources->setCurrentIndex(-1);
    cbASources->addItems(lists.AudioCaptureDeviceNames(false));
    cbASources->setCurrentIndex(-1);
    cbVComps->addItems(lists.VideoCompressorNames(false));
    cbVComps->setCurrentIndex(-1);
    cbAComps->addItems(lists.AudioCompressorNames(false));
    cbAComps->setCurrentIndex(-1);
}

void TFGraphConfig::RefillDeviceLists()
{
    const TDeviceLists& lists = cap_.DeviceLists();
    const auto refill = [&lists](QComboBox* combo, TDeviceCategory category) {
        const QString selected = combo->currentIndex() >= 0 ? combo->currentText() : QString();
        // Filling a list is no choice of the user's.
        const QSignalBlocker quiet(combo);
        combo->clear();
        for (const TCapDeviceInfo& entry : lists.List(category))
            combo->addItem(entry.DisplayName);
        combo->setCurrentIndex(selected.isEmpty() ? -1 : combo->findText(selected));
    };
    refill(cbVSources, TDeviceCategory::VideoInput);
    refill(cbASources, TDeviceCategory::AudioInput);
    refill(cbVComps, TDeviceCategory::VideoCompressor);
    refill(cbAComps, TDeviceCategory::AudioCompressor);
}

bool TFGraphConfig::LoadConfig(const TGraphConfig& config)
{
    cbWantPreview->setChecked(config.WantPreview);
    cbWantCapture->setChecked(config.WantCapture);
    cbWantBitmaps->setChecked(config.WantBitmaps);
    cbWantDVAudio->setChecked(config.WantDVAudio);
    cbDoPreallocCaptureFile->setChecked(config.DoPreallocFile);
    cbUseTempFile->setChecked(config.UseTempFile);
    cbWantAudio->setChecked(config.WantAudio);
    cbWantAudioPreview->setChecked(config.WantAudioPreview);
    cbVComp->setChecked(true);
    cbAComp->setChecked(true);
    feCaptureFile->setText(config.CaptureFileName);
    feTempFile->setText(config.TempCaptureFileName);
    cbDVResolution->setCurrentIndex(int(config.DVResolution));
    cbPixelFormat->setCurrentIndex(int(config.PixelFormat));
    sePreallocSize->setValue(int(config.PreallocFileSize));
    SelectExact(cbVSources, config.VCapSource);
    SelectExact(cbASources, config.ACapSource);
    SelectExact(cbVComps, config.VComp);
    SelectExact(cbAComps, config.AComp);
    cbVComp->setChecked(cbVComps->currentIndex() >= 0);
    cbAComp->setChecked(cbAComps->currentIndex() >= 0);
    return true;
}

void TFGraphConfig::cbPixelFormatChange()
{
    btnApply->setEnabled(true);
}

void TFGraphConfig::btnApplyPixelFormatClick()
{
    TGraphConfig& c = config_;
    c.WantPreview = cbWantPreview->isChecked();
    c.WantBitmaps = cbWantBitmaps->isChecked();
    c.WantCapture = cbWantCapture->isChecked();
    c.WantDVAudio = cbWantDVAudio->isChecked();
    c.DoPreallocFile = cbDoPreallocCaptureFile->isChecked();
    c.UseTempFile = cbUseTempFile->isChecked();
    c.WantAudio = cbWantAudio->isChecked();
    c.WantAudioPreview = cbWantAudioPreview->isChecked();
    c.PreallocFileSize = quint32(std::max(0, sePreallocSize->CommittedValue()));
    c.CaptureFileName = feCaptureFile->text();
    c.TempCaptureFileName = feTempFile->text();
    if (cbDVResolution->currentIndex() >= 0)
        c.DVResolution = TDVResolution(cbDVResolution->currentIndex());
    if (cbPixelFormat->currentIndex() >= 0)
        c.PixelFormat = TPixelFormat(cbPixelFormat->currentIndex());
    c.VCapSource = cbVSources->currentIndex() >= 0 ? cbVSources->currentText() : QString();
    c.ACapSource = cbASources->currentIndex() >= 0 ? cbASources->currentText() : QString();
    if (cbVComp->isChecked())
        c.VComp = cbVComps->currentText();
    if (cbAComp->isChecked())
        c.AComp = cbAComps->currentText();
    c.VCompState.clear();
    QCoreApplication::processEvents();
    {
        TBusyCursor busy;
        qCDebug(lcCapture) << "applying" << c.SaveToString();
        cap_.ApplyConfig(c);
    }
    btnApply->setEnabled(false);
}

void TFGraphConfig::lbDialogsDblClick()
{
    if (lbDialogs->count() == 0)
        return;
    QListWidgetItem* item = lbDialogs->currentItem();
    if (!item || !item->isSelected())
        return;
    cap_.ShowDialog(TVideoCapture::TCaptureDialog(item->data(Qt::UserRole).toInt()));
}

void TFGraphConfig::FillDialogs(quint16 dialogs)
{
    lbDialogs->clear();
    const QStringList& captions = TVideoCapture::DialogCaptions();
    for (int i = 0; i < captions.size(); ++i)
        if (dialogs & (1u << i)) {
            auto* item = new QListWidgetItem(captions[i], lbDialogs);
            item->setData(Qt::UserRole, i);
        }
}
