// The main window's controls: their places, texts and hints, and the handlers they raise.
#include "app/TfrmMain.h"

#include "calls/TVideoLink.h"
#include "capture/TVideoCapture.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "resources/Resources.h"
#include "widgets/TFonts.h"
#include "widgets/TFormPlacement.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"
#include "widgets/TStatsOverlay.h"
#include "widgets/TTitleBarIcon.h"
#include "widgets/TToggleToolButton.h"
#include "widgets/TTrackBar.h"
#include "widgets/TWindowDragger.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {

constexpr int SidebarWidth = 200;

QLabel* WhiteLabel(QWidget* parent, const QString& name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setStyleSheet(QStringLiteral("color: white;"));
    label->move(left, top);
    label->adjustSize();
    return label;
}

// The hint is what a sighted user reads; spoken is the same in plain words, since a screen
// reader reads the hint's punctuation aloud ("dot dot dot", "slash").
TImageButton* ImageButton(QWidget* parent, const QString& name, TGlyph glyph, const QString& hint,
                          const QString& spoken, int left, int top, int size)
{
    auto* button = new TImageButton(glyph, parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setAccessibleName(spoken);
    button->setGeometry(left, top, size, size);
    return button;
}

TToggleToolButton* ToolButton(QWidget* parent, const QString& name, const QString& hint,
                              const QString& spoken, int left, int top)
{
    auto* button = new TToggleToolButton(parent);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setGeometry(left, top, 22, 22);
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::TabFocus); // like the picture buttons: Tab reaches it, not a click
    button->setAccessibleName(spoken);    // it shows only a picture
    return button;
}

TTrackBar* LevelBar(QWidget* parent, const QString& name, const QString& hint, int left, int max,
                    int tick)
{
    auto* bar = new TTrackBar(parent);
    bar->setObjectName(name);
    bar->setToolTip(hint);
    bar->setAccessibleName(hint); // the value it reports is its position, in per cent
    bar->setGeometry(left, 416, 35, 169);
    bar->setRange(0, max);
    bar->setTickInterval(tick);
    bar->setPageStep(tick);
    return bar;
}

} // namespace

void TfrmMain::CreateControls()
{
    Panel2 = new QWidget(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setAutoFillBackground(true);
    QPalette black = Panel2->palette();
    black.setColor(QPalette::Window, Qt::black);
    Panel2->setPalette(black);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAutoFillBackground(true);
    QPalette blue = Panel1->palette();
    blue.setColor(QPalette::Window, QColor(0x00, 0x6F, 0xA4));
    Panel1->setPalette(blue);

    CreateVideoArea();
    CreateSidebar();

    StatsTimer = new QTimer(this);
    StatsTimer->setObjectName(QStringLiteral("StatsTimer"));
    StatsTimer->setInterval(1000);
    StatsTimer->start();

    PlacementStore = new TFormPlacement(this, PlacementFileName());
    PlacementStore->setObjectName(QStringLiteral("PlacementStore"));

    dragger_ = new TWindowDragger(this);
    dragger_->Watch(Panel1);
    dragger_->Watch(lblCallerID);

    LayoutPanels();
    ConnectHandlers();
}

void TfrmMain::CreateVideoArea()
{
    Image1 = new TImage(Panel2);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image12 = new TImage(Panel2);
    Image12->setObjectName(QStringLiteral("Image12"));
    Image12->setGeometry(0, 0, 105, 105);
    Image12->hide();
    const QImage idle = QImage::fromData(Resources::IdlePictureJpeg(), "JPEG");
    Image12->SetPicture(idle);
    Image1->SetPicture(idle);

    lblCallerID = new QLabel(Panel2);
    lblCallerID->setObjectName(QStringLiteral("lblCallerID"));
    lblCallerID->setTextFormat(Qt::PlainText); // the caller ID comes from the network
    // Every new text is announced: QLabel raises NameChanged, the event Qt's AT-SPI bridge
    // passes on for it (it drops Alert), wherever the focus is.
    lblCallerID->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    QFont bold = lblCallerID->font();
    bold.setBold(true);
    lblCallerID->setFont(bold);
    lblCallerID->setStyleSheet(QStringLiteral("color: #00A3F0;"));
    lblCallSecurity = new QLabel(Panel2);
    lblCallSecurity->setObjectName(QStringLiteral("lblCallSecurity"));
    // No fixed accessible name: the text itself is read, and each new one announced as the
    // caller line's is, so the numbers to compare reach a screen reader's user too.
    lblCallSecurity->setAccessibleDescription(tr("Call Security"));
    lblCallSecurity->setTextFormat(Qt::PlainText);
    lblCallSecurity->setAlignment(Qt::AlignRight | Qt::AlignTop);
    lblCallSecurity->hide();
    btnSameNumbers = new QPushButton(tr("Same numbers"), Panel2);
    btnSameNumbers->setObjectName(QStringLiteral("btnSameNumbers"));
    btnDifferentNumbers = new QPushButton(tr("Different numbers"), Panel2);
    btnDifferentNumbers->setObjectName(QStringLiteral("btnDifferentNumbers"));
    for (QPushButton* b : {btnSameNumbers, btnDifferentNumbers}) {
        b->setFocusPolicy(Qt::StrongFocus);
        b->hide();
        connect(b, &QPushButton::clicked, this, [this, same = b == btnSameNumbers] {
            OfferNumbers(false);
            if (OnNumbersCompared)
                Guarded([&] { OnNumbersCompared(same); });
        });
    }

    cap->setParent(Panel2);
    cap->setObjectName(QStringLiteral("cap"));
    cap->setGeometry(0, 441, 264, 209);
    cap->SetColor(QColor(0x00, 0x6F, 0xA4));
    cap->WantBitmaps = true;
    cap->BitmapPixelFormat = TPixelFormat::pf24bit;
    cap->WantPreview = true;
    cap->SetDVResolution(TDVResolution::dvrDontWorry);

    StatsOverlay = new TStatsOverlay(Image1);
    StatsOverlay->setObjectName(QStringLiteral("StatsOverlay"));

    btnSidebar = ToolButton(Panel2, QStringLiteral("btnSidebar"), tr("Toggle Sidebar"),
                            tr("Show Sidebar"), 3, 4);
    btnSidebar->setIcon(TTitleBarIcon::Icon(TTitleBarIcon::TKind::Restore));
    btnSidebar->setCheckable(true); // pressed while the sidebar shows
    btnSidebar->setChecked(true);
}

void TfrmMain::CreateSidebar()
{
    QWidget* p = Panel1;
    // Two buttons stop the preview and two close the program: each pair is told apart by
    // ear, not only by where it sits.
    ToolButton3 = ToolButton(p, QStringLiteral("ToolButton3"), tr("Toggle Preview"),
                             tr("Show Preview Picture"), 8, 4);
    ToolButton3->setArrowType(Qt::DownArrow);
    ToolButton3->setCheckable(true); // pressed while the preview picture shows
    ToolButton3->setChecked(!cap->isHidden());
    ToolButton1 = ToolButton(p, QStringLiteral("ToolButton1"), tr("Minimize Window"),
                             tr("Minimize Window"), 152, 4);
    ToolButton1->setIcon(TTitleBarIcon::Icon(TTitleBarIcon::TKind::Minimize));
    ToolButton2 = ToolButton(p, QStringLiteral("ToolButton2"), tr("Close Window"),
                             tr("Close Window, Title Bar"), 176, 4);
    ToolButton2->setIcon(TTitleBarIcon::Icon(TTitleBarIcon::TKind::Close));

    Label1 = WhiteLabel(p, QStringLiteral("Label1"), tr("Your IP Address"), 20, 27);
    Label1->setFont(TFonts::Arial(10, true));
    Label1->setGeometry(20, 27, 161, 20);
    Label1->setAlignment(Qt::AlignCenter);
    lblIPAddress = WhiteLabel(p, QStringLiteral("lblIPAddress"), QString(), 20, 47);
    lblIPAddress->setFont(TFonts::Arial(9));
    lblIPAddress->setGeometry(20, 47, 161, 16);
    lblIPAddress->setAlignment(Qt::AlignCenter);

    Image4 = ImageButton(p, QStringLiteral("Image4"), TGlyph::CallAnswer, tr("Make / Answer Call"),
                         tr("Make or Answer Call"), 24, 80, 48);
    Image5 = ImageButton(p, QStringLiteral("Image5"), TGlyph::CallEnd, tr("End / Decline Call"),
                         tr("End or Decline Call"), 128, 80, 48);

    edtHostName = new QLineEdit(HostNamePrompt(), p);
    edtHostName->setObjectName(QStringLiteral("edtHostName"));
    edtHostName->setGeometry(24, 152, 153, 24);
    edtHostName->setFont(TFonts::Arial(10));
    edtHostName->setStyleSheet(QStringLiteral("background: white; color: black;"));
    // No label beside it: its prompt says what it is for, also once the user has typed.
    edtHostName->setAccessibleName(HostNamePrompt());

    Image7 = ImageButton(p, QStringLiteral("Image7"), TGlyph::Settings, tr("Call Settings..."),
                         tr("Call Settings"), 24, 200, 48);
    Image6 = ImageButton(p, QStringLiteral("Image6"), TGlyph::AddressBook, tr("Telephone Book..."),
                         tr("Telephone Book"), 128, 200, 48);
    Image9 = ImageButton(p, QStringLiteral("Image9"), TGlyph::Snapshot, tr("Take Snapshot"),
                         tr("Take Snapshot"), 24, 272, 48);
    Image8 = ImageButton(p, QStringLiteral("Image8"), TGlyph::Maximize, tr("Maximize / Restore"),
                         tr("Maximize or Restore"), 128, 272, 48);
    Image11 = ImageButton(p, QStringLiteral("Image11"), TGlyph::Microphone, tr("Mute Microphone"),
                          tr("Mute Microphone"), 24, 344, 48);
    Image10 = ImageButton(p, QStringLiteral("Image10"), TGlyph::Close, tr("Close Parlavue"),
                          tr("Close Parlavue"), 128, 344, 48);

    TrbMic = LevelBar(p, QStringLiteral("TrbMic"), tr("Microphone Level"), 32, 100, 5);
    TrbVoice = LevelBar(p, QStringLiteral("TrbVoice"), tr("Volume Level"), 136, 65535, 3500);
    Label2 = WhiteLabel(p, QStringLiteral("Label2"), QStringLiteral("0"), 80, 416);
    Label8 = WhiteLabel(p, QStringLiteral("Label8"), QStringLiteral("0"), 117, 416);
    Label6 = WhiteLabel(p, QStringLiteral("Label6"), QStringLiteral("85"), 77, 575);
    Label9 = WhiteLabel(p, QStringLiteral("Label9"), QStringLiteral("100"), 111, 575);
    // A bare number means nothing when heard; the figures say which bar they belong to.
    Label2->setAccessibleName(tr("Microphone Level minimum 0"));
    Label8->setAccessibleName(tr("Volume Level minimum 0"));
    Image3 = ImageButton(p, QStringLiteral("Image3"), TGlyph::Speaker, QString(), tr("Speaker"), 78,
                         480, 48);
    Image3->setEnabled(false); // a picture, not a button
    Image3->setCursor(Qt::ArrowCursor);

    btnPreview = ImageButton(p, QStringLiteral("btnPreview"), TGlyph::Preview,
                             tr("Stop/Start Preview"), tr("Camera Preview"), 37, 600, 32);
    btnTransfer = ImageButton(p, QStringLiteral("btnTransfer"), TGlyph::Transfer,
                              tr("Transfer File(s)..."), tr("Transfer Files"), 85, 600, 32);
    btnVideoSource = ImageButton(p, QStringLiteral("btnVideoSource"), TGlyph::Video,
                                 tr("Video Settings..."), tr("Video Settings"), 133, 600, 32);

    Label3 = new QLabel(tr("Stop"), p);
    Label3->setObjectName(QStringLiteral("Label3"));
    QFont red = Label3->font();
    red.setBold(true);
    Label3->setFont(red);
    Label3->setStyleSheet(QStringLiteral("color: red;"));
    Label3->move(40, 632);
    Label3->adjustSize();
    Label3->hide();
    // What each button does, for a screen reader: without it the hint would be read again,
    // punctuation and all, in its place.
    const std::pair<QWidget*, QString> does[] = {
        {Image4, tr("Calls the host in the field, or answers a call that rings")},
        {Image5, tr("Ends the call, or declines one that rings")},
        {Image7, tr("Your caller ID, ring tone, ring time and folder for received files")},
        {Image6, tr("Your contacts, and who is online")},
        {Image9, tr("Copies the picture to the clipboard")},
        {Image8, tr("Fills the screen, or gives it back")},
        {Image11, tr("Mutes and unmutes you during a call")},
        {Image10, tr("Ends the program")},
        {btnPreview, tr("Stops or starts your camera's picture")},
        {btnTransfer, tr("Sends files and messages to the host in the field")},
        {btnVideoSource, tr("Chooses the camera")},
        {ToolButton3, tr("Shows or hides your own picture")},
        {ToolButton1, tr("Minimizes the window")},
        {ToolButton2, tr("Closes the window and ends the program")},
        {btnSidebar, tr("Shows or hides the buttons beside the picture")}};
    for (const auto& [button, what] : does)
        button->setAccessibleDescription(what);
    // Toggles: a screen reader says "pressed" or "not pressed"; the pictures stay as they are.
    Image11->setCheckable(true);    // pressed while muted
    btnPreview->setCheckable(true); // pressed while the camera previews
    btnPreview->setChecked(cap->Previewing());

    SetUpKeyboard();
}

void TfrmMain::SetUpKeyboard()
{
    // What the user types comes first, then the call buttons and the rest from top to bottom.
    QWidget* order[] = {edtHostName, Image4,      Image5,      Image7,         Image6,
                        Image9,      Image8,      Image11,     Image10,        TrbMic,
                        TrbVoice,    btnPreview,  btnTransfer, btnVideoSource, ToolButton3,
                        ToolButton1, ToolButton2, btnSidebar};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(order[i], order[i + 1]);
    edtHostName->setFocus();
    // Enter in the field moves on, to "Make / Answer Call".
    connect(edtHostName, &QLineEdit::returnPressed, this, [this] { focusNextChild(); });

    // The buttons press themselves on their keys; a screen reader reads the key from the
    // button's key binding, so it is not repeated in a description.
    const std::pair<TImageButton*, QKeySequence> keys[] = {
        {Image4, QKeySequence(Qt::CTRL | Qt::Key_Return)},
        {Image5, QKeySequence(Qt::CTRL | Qt::Key_E)},
        {Image6, QKeySequence(Qt::CTRL | Qt::Key_B)},
        {btnTransfer, QKeySequence(Qt::CTRL | Qt::Key_T)}};
    // Under X11 the field's own editing keys include Ctrl+E and Ctrl+B (end of line, back one
    // character); the call and window keys come first there (eventFilter).
    edtHostName->installEventFilter(this);
    for (const auto& [button, key] : keys)
        button->setShortcut(key);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edtHostName && event->type() == QEvent::ShortcutOverride) {
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        for (const TImageButton* button : {Image4, Image5, Image6, btnTransfer})
            if (button->shortcut() == pressed) {
                event->ignore(); // not the field's: the shortcut goes to its button
                return true;
            }
    }
    return QWidget::eventFilter(watched, event);
}

void TfrmMain::ConnectHandlers()
{
    auto bind = [this](auto* sender, auto signal, void (TfrmMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { Guarded([this, handler] { (this->*handler)(); }); });
    };
    bind(ToolButton1, &QToolButton::clicked, &TfrmMain::ToolButton1Click);
    bind(ToolButton2, &QToolButton::clicked, &TfrmMain::Image10Click);
    bind(Image10, &TImageButton::clicked, &TfrmMain::Image10Click);
    bind(Image8, &TImageButton::clicked, &TfrmMain::Image8Click);
    bind(Image4, &TImageButton::clicked, &TfrmMain::Image4Click);
    bind(Image5, &TImageButton::clicked, &TfrmMain::Image5Click);
    bind(Image9, &TImageButton::clicked, &TfrmMain::Image9Click);
    // A toggle acts on the state it is given, however it comes: a click, Space, or a screen
    // reader's toggle action, which sets the state without a click. Each handler then sets the
    // state to what it did, so a state that matches already does nothing.
    auto follow = [this](QAbstractButton* button, std::function<bool()> now,
                         void (TfrmMain::*flip)()) {
        connect(button, &QAbstractButton::toggled, this, [this, now, flip](bool on) {
            Guarded([&] {
                if (on != now())
                    (this->*flip)();
            });
        });
    };
    follow(
        btnSidebar, [this] { return !Panel1->isHidden(); }, &TfrmMain::btnSidebarClick);
    follow(
        ToolButton3, [this] { return !cap->isHidden(); }, &TfrmMain::ToolButton3Click);
    follow(
        Image11, [this] { return micLevel_ == 0; }, &TfrmMain::Image11Click);
    follow(
        btnPreview, [this] { return cap->Previewing(); }, &TfrmMain::btnPreviewClick);
    for (auto signal : {&TVideoCapture::OnStartPreview, &TVideoCapture::OnStopPreview})
        // The camera says it stopped as it goes, while the window is being torn down: the
        // handler must not reach into the window.
        connect(cap, signal, btnPreview,
                [button = btnPreview, camera = cap] { button->setChecked(camera->Previewing()); });
    connect(video_, &TVideoLink::shown, Image1,
            [this](const QImage& picture, const QImage& display) {
                Image1->SetPicture(picture, display);
            });
    connect(video_, &TVideoLink::firstSender, this,
            [this](const QString& address) { OfferHostName(address); });
    connect(video_, &TVideoLink::frameTooLarge, this, [] {
        Guarded([] {
            Ui().Information(tr("Video Frame too large. Lower resolution on video camera."));
        });
    });
    auto ask = [this](TImageButton* button, void (TfrmMain::*request)()) {
        connect(button, &TImageButton::clicked, this,
                [this, request] { Guarded([this, request] { emit(this->*request)(); }); });
    };
    ask(Image7, &TfrmMain::settingsRequested);
    ask(Image6, &TfrmMain::addressBookRequested);
    ask(btnVideoSource, &TfrmMain::videoSourceRequested);
    bind(btnTransfer, &TImageButton::clicked, &TfrmMain::btnTransferClick);
    bind(TrbMic, &TTrackBar::Changed, &TfrmMain::TrbMicChange);
    bind(TrbVoice, &TTrackBar::Changed, &TfrmMain::TrbVoiceChange);
    bind(StatsTimer, &QTimer::timeout, &TfrmMain::StatsTimerTimer);
    for (const QKeySequence& key : {QKeySequence(Qt::Key_F3), QKeySequence(Qt::CTRL | Qt::Key_I)})
        bind(new QShortcut(key, this), &QShortcut::activated, &TfrmMain::ToggleStats);
    connect(PlacementStore, &TFormPlacement::RestorePlacement, this,
            [this] { emit placementRestored(PlacementStore->IniFileName()); });
    connect(PlacementStore, &TFormPlacement::SavePlacement, this,
            [this] { emit placementSaving(PlacementStore->IniFileName()); });
}

void TfrmMain::LayoutPanels()
{
    const int sidebar = Panel1->isVisibleTo(this) ? SidebarWidth : 0;
    Panel1->setGeometry(width() - SidebarWidth, 0, SidebarWidth, height());
    Panel2->setGeometry(0, 0, width() - sidebar, height());
    lblCallerID->setGeometry(0, 0, Panel2->width(), 16);
    PlaceCallSecurity();
    btnSameNumbers->setGeometry(Panel2->width() - 244, 18, 116, 24);
    btnDifferentNumbers->setGeometry(Panel2->width() - 124, 18, 120, 24);
    btnSameNumbers->raise();
    btnDifferentNumbers->raise();
    Image1->setGeometry(0, 16, Panel2->width(), Panel2->height() - 16);
    Image1->lower();
    video_->SetDisplaySize(Image1->size(), Image1->devicePixelRatioF());
}

void TfrmMain::PlaceCallSecurity()
{
    // At the right end of the caller line; a longer text (another language, a bold alarm)
    // takes room to the left rather than being cut.
    const int needed =
        lblCallSecurity->fontMetrics().horizontalAdvance(lblCallSecurity->text()) + 4;
    const int width = std::clamp(needed, 240, std::max(240, Panel2->width() - 8));
    lblCallSecurity->setGeometry(Panel2->width() - 4 - width, 0, width, 16);
    lblCallSecurity->raise();
}
