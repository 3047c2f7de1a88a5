#include "contacts/TfrmSettings.h"

#include "contacts/TSettingsStore.h"
#include "platform/logging/Logging.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "platform/voice/ISoundDevices.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/TRoundedPanel.h"
#include "widgets/TSpinEdit.h"

#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

QString TfrmSettings::RingToneFilter()
{
    return tr("Supported Media Files|*.mp3;*.wav;*.wma|MP3 (*.mp3)|*.mp3|Wave (*.wav)|*.wav|"
              "Windows Media Audio (*.wma)|*.wma");
}

namespace {
QFont LabelFont()
{
    return TFonts::SansSerif(8, true);
}

// The device rows and the row of the copy's own key sit between the receive path and the
// buttons, which move down to make room.
constexpr int DeviceRows = 64 + 32 + 24 + 30;
} // namespace

TfrmSettings::TfrmSettings(TCallSettings& callSettings, std::shared_ptr<ISoundDevices> devices,
                           QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), callSettings_(callSettings),
      devices_(std::move(devices))
{
    setObjectName(QStringLiteral("frmSettings"));
    setWindowTitle(tr("Settings"));
    setFixedSize(474, 290 + DeviceRows);
    setModal(true);
    setFont(TFonts::SansSerif(8));
    CreateControls();
}

QLabel* TfrmSettings::AddLabel(const QString& name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, Panel1);
    label->setObjectName(name);
    label->setFont(LabelFont());
    label->setStyleSheet(QStringLiteral("color: white;"));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* TfrmSettings::AddEdit(const QString& name, int left, int top, int width, int height)
{
    auto* edit = new QLineEdit(Panel1);
    edit->setObjectName(name);
    edit->setGeometry(left, top, width, height);
    edit->setStyleSheet(QStringLiteral("background: white; color: black;"));
    edit->installEventFilter(this);
    return edit;
}

QPushButton* TfrmSettings::AddButton(const QString& name, const QString& text,
                                     const QRect& geometry)
{
    auto* button = new TGradientButton(text, Panel1);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    return button;
}

QCheckBox* TfrmSettings::AddCheckBox(const QString& name, const QString& text,
                                     const QRect& geometry)
{
    auto* box = new QCheckBox(text, Panel1);
    box->setObjectName(name);
    box->setGeometry(geometry);
    box->setFont(LabelFont());
    box->setStyleSheet(QStringLiteral("color: white;"));
    return box;
}

void TfrmSettings::CreateControls()
{
    Panel1 = new TRoundedPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());

    Label1 = AddLabel(QStringLiteral("Label1"), tr("Ring Tone"), 16, 25);
    edtRingTone = AddEdit(QStringLiteral("edtRingTone"), 144, 24, 281, 21);
    btnBrowseTone =
        AddButton(QStringLiteral("btnBrowseTone"), QStringLiteral("..."), QRect(432, 22, 25, 25));
    Label2 = AddLabel(QStringLiteral("Label2"), tr("Ring Time (sec)"), 16, 67);
    sedRingTime = new TSpinEdit(Panel1);
    sedRingTime->setObjectName(QStringLiteral("sedRingTime"));
    sedRingTime->setGeometry(144, 64, 41, 22);
    sedRingTime->setRange(1, 30);
    sedRingTime->setValue(15);
    sedRingTime->installEventFilter(this);
    chkAuto = new QCheckBox(tr("Automatically answer incoming calls."), Panel1);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    chkAuto->setGeometry(200, 67, 241, 17);
    chkAuto->setFont(LabelFont());
    chkAuto->setStyleSheet(QStringLiteral("color: white;"));
    // The voice processing switches sit between the buttons, where the hidden button leaves room.
    chkEchoCancel = AddCheckBox(QStringLiteral("chkEchoCancel"), tr("Echo cancellation"),
                                QRect(104, 244 + DeviceRows, 130, 17));
    chkNoiseSuppression =
        AddCheckBox(QStringLiteral("chkNoiseSuppression"), tr("Noise suppression"),
                    QRect(240, 244 + DeviceRows, 136, 17));
    Label3 = AddLabel(QStringLiteral("Label3"), tr("Unanswered Message"), 16, 107);
    edtMessage = AddEdit(QStringLiteral("edtMessage"), 144, 104, 241, 21);
    edtMessage->setMaxLength(50);
    Label4 = AddLabel(QStringLiteral("Label4"), tr("Caller ID"), 16, 147);
    edtCallerID = AddEdit(QStringLiteral("edtCallerID"), 144, 144, 241, 21);
    edtCallerID->setMaxLength(50);
    Label5 = AddLabel(QStringLiteral("Label5"), tr("Files Receive Path"), 16, 195);
    edtPath = AddEdit(QStringLiteral("edtPath"), 144, 192, 281, 21);
    edtPath->setText(QStringLiteral("C:"));
    btnFolderPath =
        AddButton(QStringLiteral("btnFolderPath"), QStringLiteral("..."), QRect(432, 190, 25, 25));
    btnSave = AddButton(QStringLiteral("btnSave"), tr("Save"), QRect(16, 240 + DeviceRows, 75, 25));
    btnVideoOptions = AddButton(QStringLiteral("btnVideoOptions"), tr("Video Options"),
                                QRect(200, 240 + DeviceRows, 89, 25));
    btnVideoOptions->hide();
    btnClose =
        AddButton(QStringLiteral("btnClose"), tr("Close"), QRect(384, 240 + DeviceRows, 75, 25));
    Label6 = AddLabel(QStringLiteral("Label6"), tr("Microphone"), 16, 235);
    cboMicrophone = AddDeviceList(QStringLiteral("cboMicrophone"), 232);
    Label6->setBuddy(cboMicrophone);
    Label7 = AddLabel(QStringLiteral("Label7"), tr("Speaker"), 16, 267);
    cboSpeaker = AddDeviceList(QStringLiteral("cboSpeaker"), 264);
    Label7->setBuddy(cboSpeaker);
    Label8 = AddLabel(QStringLiteral("Label8"), tr("Your key"), 16, 299);
    edtKey = AddEdit(QStringLiteral("edtKey"), 144, 296, 241, 21);
    edtKey->setReadOnly(true);
    edtKey->setText(tr("Not available"));
    Label8->setBuddy(edtKey);
    btnCopyKey = AddButton(QStringLiteral("btnCopyKey"), tr("Copy"), QRect(392, 294, 65, 25));
    btnCopyKey->setEnabled(false);
    btnCopyKey->setAccessibleName(tr("Copy Your Key"));
    chkShowOnNetwork =
        AddCheckBox(QStringLiteral("chkShowOnNetwork"), tr("Show this computer on the network"),
                    QRect(144, 328, 300, 17));
    Label9 = AddLabel(QStringLiteral("Label9"), tr("Encryption"), 16, 359);
    cboEncryption = new QComboBox(Panel1);
    cboEncryption->setObjectName(QStringLiteral("cboEncryption"));
    cboEncryption->setGeometry(144, 356, 241, 22);
    cboEncryption->setStyleSheet(QStringLiteral("background: white; color: black;"));
    cboEncryption->addItems({tr("Prefer encrypted"), tr("Encrypted only")});
    Label9->setBuddy(cboEncryption);
    btnSave->setAutoDefault(true); // Enter on the focused "Save" presses it

    // Each field is named by the label beside it; the "..." buttons by what they choose.
    Label1->setBuddy(edtRingTone);
    Label2->setBuddy(sedRingTime);
    Label3->setBuddy(edtMessage);
    Label4->setBuddy(edtCallerID);
    Label5->setBuddy(edtPath);
    btnBrowseTone->setAccessibleName(tr("Choose Ring Tone"));
    btnFolderPath->setAccessibleName(tr("Choose Files Receive Path"));

    for (QPushButton* dots : {btnBrowseTone, btnFolderPath}) {
        QFont bold = dots->font();
        bold.setBold(true);
        dots->setFont(bold);
        QPalette pal = dots->palette();
        pal.setColor(QPalette::ButtonText, Qt::blue);
        dots->setPalette(pal);
    }

    // Every button takes the focus when clicked, so the ring time box is always left (and its
    // value corrected) before a button acts.
    for (QPushButton* b :
         {btnBrowseTone, btnFolderPath, btnSave, btnVideoOptions, btnClose, btnCopyKey})
        b->setFocusPolicy(Qt::StrongFocus);

    QWidget* order[] = {edtRingTone,         btnBrowseTone,    sedRingTime,  edtMessage,
                        edtCallerID,         edtPath,          btnSave,      btnClose,
                        btnVideoOptions,     btnFolderPath,    chkAuto,      chkEchoCancel,
                        chkNoiseSuppression, cboMicrophone,    cboSpeaker,   edtKey,
                        btnCopyKey,          chkShowOnNetwork, cboEncryption};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);

    connect(btnBrowseTone, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnBrowseToneClick(); }); });
    connect(btnFolderPath, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnFolderPathClick(); }); });
    connect(btnSave, &QPushButton::clicked, this, [this] { Guarded([this] { btnSaveClick(); }); });
    connect(btnCopyKey, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(ownKey_); });
    // Closed without saving (the button or Escape): a device tried in the lists gives way to
    // the saved one.
    connect(this, &QDialog::rejected, this, [this] {
        if (OnDevicesChosen &&
            (cboMicrophone->currentData().toString() != callSettings_.Microphone ||
             cboSpeaker->currentData().toString() != callSettings_.Speaker))
            OnDevicesChosen(callSettings_.Microphone, callSettings_.Speaker);
    });
    connect(btnClose, &QPushButton::clicked, this,
            [this] { Guarded([this] { btnCloseClick(); }); });
}

QComboBox* TfrmSettings::AddDeviceList(const QString& name, int top)
{
    auto* list = new QComboBox(Panel1);
    list->setObjectName(name);
    list->setGeometry(144, top, 281, 22);
    list->setStyleSheet(QStringLiteral("background: white; color: black;"));
    connect(list, &QComboBox::currentIndexChanged, this, [this] { DeviceChosen(); });
    return list;
}

void TfrmSettings::SetOwnKey(const QString& shortText, const QString& fullText)
{
    edtKey->setText(shortText.isEmpty() ? tr("Not available") : shortText);
    edtKey->setCursorPosition(0);
    ownKey_ = fullText;
    btnCopyKey->setEnabled(!fullText.isEmpty());
}

void TfrmSettings::DevicesChanged()
{
    if (isVisible())
        FillDevices();
}

void TfrmSettings::FillDevices()
{
    const QList<TSoundDevice> none;
    auto fill = [this](QComboBox* list, const QList<TSoundDevice>& devices, const QString& keep) {
        list->clear();
        list->addItem(tr("System default"), QString());
        bool listed = keep.isEmpty();
        for (const TSoundDevice& d : devices) {
            list->addItem(d.description, d.name);
            listed = listed || d.name == keep;
        }
        if (!listed)
            list->addItem(tr("%1 (not plugged in)").arg(keep), keep);
        list->setCurrentIndex(qMax(0, list->findData(keep)));
    };
    // What the lists show now (the user's pick not saved yet) survives a device coming or going.
    const bool shown = cboMicrophone->count() > 0;
    const QString microphone =
        shown ? cboMicrophone->currentData().toString() : callSettings_.Microphone;
    const QString speaker = shown ? cboSpeaker->currentData().toString() : callSettings_.Speaker;
    filling_ = true;
    fill(cboMicrophone, devices_ ? devices_->Microphones() : none, microphone);
    fill(cboSpeaker, devices_ ? devices_->Speakers() : none, speaker);
    filling_ = false;
}

void TfrmSettings::DeviceChosen()
{
    if (filling_ || !OnDevicesChosen)
        return;
    OnDevicesChosen(cboMicrophone->currentData().toString(), cboSpeaker->currentData().toString());
}

int TfrmSettings::Execute()
{
    FormShow();
    if (parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
    return exec();
}

void TfrmSettings::FormShow()
{
    edtRingTone->setText(callSettings_.RingTone);
    sedRingTime->setValue(callSettings_.RingTimeMs / 1000); // the box holds it within 1..30
    edtMessage->setText(callSettings_.Message);
    edtCallerID->setText(callSettings_.CallerID);
    edtPath->setText(callSettings_.FilePath);
    chkAuto->setChecked(callSettings_.AutoAnswer);
    chkEchoCancel->setChecked(callSettings_.EchoCancellation);
    chkNoiseSuppression->setChecked(callSettings_.NoiseSuppression);
    chkShowOnNetwork->setChecked(callSettings_.ShowOnNetwork);
    cboEncryption->setCurrentIndex(callSettings_.EncryptedOnly ? 1 : 0);
    filling_ = true; // emptied so that the saved devices are shown, not the last ones tried
    cboMicrophone->clear();
    cboSpeaker->clear();
    filling_ = false;
    FillDevices();
    edtRingTone->setFocus();
}

bool TfrmSettings::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            QWidget* next = nullptr;
            if (watched == edtRingTone)
                next = sedRingTime;
            else if (watched == sedRingTime)
                next = edtMessage;
            else if (watched == edtMessage)
                next = edtCallerID;
            else if (watched == edtCallerID)
                next = edtPath;
            else if (watched == edtPath)
                next = btnSave;
            if (next) {
                next->setFocus(Qt::TabFocusReason);
                return true;
            }
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmSettings::btnBrowseToneClick()
{
    TOpenFileRequest request;
    request.initialFile = edtRingTone->text();
    request.filter = RingToneFilter();
    if (auto files = Ui().OpenFiles(request); files && !files->isEmpty())
        edtRingTone->setText(files->first());
}

void TfrmSettings::btnFolderPathClick()
{
    if (auto folder = Ui().PickFolder(tr("Files Received Path")))
        edtPath->setText(*folder);
}

void TfrmSettings::btnSaveClick()
{
    TCallSettings edited = callSettings_;
    edited.RingTone = edtRingTone->text();
    edited.RingTimeMs = sedRingTime->CommittedValue() * 1000;
    edited.Message = edtMessage->text();
    edited.CallerID = edtCallerID->text();
    edited.FilePath = edtPath->text();
    edited.AutoAnswer = chkAuto->isChecked();
    edited.EchoCancellation = chkEchoCancel->isChecked();
    edited.NoiseSuppression = chkNoiseSuppression->isChecked();
    edited.ShowOnNetwork = chkShowOnNetwork->isChecked();
    edited.EncryptedOnly = cboEncryption->currentIndex() == 1;
    edited.Microphone = cboMicrophone->currentData().toString();
    edited.Speaker = cboSpeaker->currentData().toString();
    // A failed key stops here: the keys before it stay written, the live settings stay as
    // they were and the window stays open.
    TSettingsStore::Save(TSettingsStore::FileName(), edited);
    callSettings_ = edited;
    qCDebug(lcSettings) << "saved settings";
    accept();
    if (OnSaved)
        OnSaved(callSettings_);
}

void TfrmSettings::btnCloseClick()
{
    reject();
}
