#include "capture/TFGraphConfig.h"

#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "widgets/TBusyCursor.h"
#include "widgets/TElidedRowDelegate.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScopedValueRollback>
#include <QScreen>
#include <QSignalBlocker>

namespace {
const QStringList PixelFormatNames{
    QStringLiteral("pfDevice"), QStringLiteral("pf1bit"),  QStringLiteral("pf4bit"),
    QStringLiteral("pf8bit"),   QStringLiteral("pf15bit"), QStringLiteral("pf16bit"),
    QStringLiteral("pf24bit"),  QStringLiteral("pf32bit"), QStringLiteral("pfCustom"),
};

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
    setWindowTitle(tr("ParlavueVP Video Device Settings"));
    setFixedSize(293, 327);
    setFont(PixelFont(13));
    setAutoFillBackground(true);
    QPalette pal = palette();
    pal.setColor(QPalette::Window, QColor(0x00, 0x6F, 0xA4));
    setPalette(pal);
    CreateControls();
    FormCreate();
    connect(&cap_, &TVideoCapture::OnDevicesChanged, this,
            [this] { Guarded([this] { RefillDeviceLists(); }); });
    // A screen the desktop shared, or refused, after Apply came back.
    connect(&cap_, &TVideoCapture::OnWaitingForDesktop, this, [this](bool waiting) {
        if (!waiting && !applying_)
            Guarded([this] { ShowRunningSource(); });
    });
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
    GroupBox1 = new QGroupBox(tr(" Capture Sources "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(13, 12, 268, 85);
    GroupBox1->setFont(PixelFont(13, true));
    GroupBox1->setStyleSheet(QStringLiteral("QGroupBox { color: white; }"));
    Label1 = new QLabel(tr("Video"), GroupBox1);
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
    Label4 = new QLabel(tr("Video Pixel Format"), this);
    Label4->setObjectName(QStringLiteral("Label4"));
    Label4->move(13, 107);
    whiteBold(Label4, true);
    cbPixelFormat = dropDown(this, QStringLiteral("cbPixelFormat"), {13, 127, 82, 21});
    cbPixelFormat->addItems(PixelFormatNames);
    cbPixelFormat->setCurrentIndex(-1);
    btnApply = new TGradientButton(tr("Apply"), this);
    btnApply->setObjectName(QStringLiteral("btnApply"));
    btnApply->setGeometry(103, 126, 58, 22);
    btnApply->setEnabled(false);
    Label9 = new QLabel(tr("Dialogs"), this);
    Label9->setObjectName(QStringLiteral("Label9"));
    Label9->move(13, 162);
    whiteBold(Label9, true);
    lbDialogs = new QListWidget(this);
    lbDialogs->setObjectName(QStringLiteral("lbDialogs"));
    lbDialogs->setGeometry(13, 184, 268, 89);
    lbDialogs->setUniformItemSizes(true);
    lbDialogs->setItemDelegate(new TElidedRowDelegate(lbDialogs));
    lbDialogs->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
    // The video label sits in the group box and its list on the window, so the list is named
    // directly; the others are tied to their labels.
    cbVSources->setAccessibleName(Label1->text());
    Label4->setBuddy(cbPixelFormat);
    Label9->setBuddy(lbDialogs);
    lbDialogs->setAccessibleName(Label9->text()); // a list takes no name from its buddy
    btnCancel = new TGradientButton(tr("Close"), this);
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

void TFGraphConfig::FormCreate()
{
    cbVSources->addItems(cap_.DeviceLists().VideoCaptureDeviceNames(false));
    cbVSources->setCurrentIndex(-1);
}

void TFGraphConfig::RefillDeviceLists()
{
    const QString selected =
        cbVSources->currentIndex() >= 0 ? cbVSources->currentText() : QString();
    // Filling the list is no choice of the user's.
    const QSignalBlocker quiet(cbVSources);
    cbVSources->clear();
    cbVSources->addItems(cap_.DeviceLists().VideoCaptureDeviceNames(false));
    cbVSources->setCurrentIndex(selected.isEmpty() ? -1 : cbVSources->findText(selected));
}

bool TFGraphConfig::LoadConfig(const TGraphConfig& config)
{
    cbPixelFormat->setCurrentIndex(int(config.PixelFormat));
    SelectExact(cbVSources, config.VCapSource);
    return true;
}

void TFGraphConfig::cbPixelFormatChange()
{
    btnApply->setEnabled(true);
}

void TFGraphConfig::btnApplyPixelFormatClick()
{
    TGraphConfig& c = config_;
    if (cbPixelFormat->currentIndex() >= 0)
        c.PixelFormat = TPixelFormat(cbPixelFormat->currentIndex());
    c.VCapSource = cbVSources->currentIndex() >= 0 ? cbVSources->currentText() : QString();
    {
        TBusyCursor busy;
        const QScopedValueRollback applying(applying_, true);
        qCDebug(lcCapture) << "applying" << c.SaveToString();
        cap_.ApplyConfig(c);
    }
    // A screen the user is still picking keeps its place in the window until the answer.
    if (!cap_.WaitingForDesktop())
        ShowRunningSource();
    btnApply->setEnabled(false);
}

void TFGraphConfig::ShowRunningSource()
{
    // A chosen camera that would not start gave way to the one before it: the window and
    // the record say which one runs.
    TGraphConfig now;
    cap_.ReadConfig(now);
    if (!now.VCapSource.isEmpty() && now.VCapSource != config_.VCapSource) {
        config_.VCapSource = now.VCapSource;
        SelectExact(cbVSources, now.VCapSource);
    }
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
    const QStringList captions = TVideoCapture::DialogCaptions();
    for (int i = 0; i < captions.size(); ++i)
        if (dialogs & (1u << i)) {
            auto* item = new QListWidgetItem(captions[i], lbDialogs);
            item->setData(Qt::UserRole, i);
        }
}
