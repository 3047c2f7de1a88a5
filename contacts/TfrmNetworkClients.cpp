#include "contacts/TfrmNetworkClients.h"

#include "contacts/TNetworkWalk.h"
#include "contacts/TfrmExport.h"
#include "platform/logging/Logging.h"
#include "platform/text/TRemoteText.h"
#include "platform/ui/Guarded.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/THeadingPanel.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QScreen>
#include <QToolButton>

namespace {
// The search runs on the disk resources of the whole network and lists computers.
constexpr TNetResourceType SearchType = TNetResourceType::Disk;
constexpr TNetDisplayType SearchFilter = TNetDisplayType::Server;

QFont PixelArial(int pixels, bool bold)
{
    QFont font = TFonts::Arial(10, bold);
    font.setPixelSize(pixels);
    return font;
}

// Two white arrows circling on a red rounded square.
QPixmap RefreshPicture()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath square;
    square.addRoundedRect(QRectF(0.5, 0.5, 15, 15), 3.5, 3.5);
    p.fillPath(square, QColor(204, 32, 32));
    p.setPen(QPen(Qt::white, 1.6, Qt::SolidLine, Qt::FlatCap));
    const QRectF ring(3.5, 3.5, 9, 9);
    p.drawArc(ring, 100 * 16, 140 * 16); // upper left, running anticlockwise to lower left
    p.drawArc(ring, 280 * 16, 140 * 16); // lower right, running to upper right
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPolygon(QPolygonF({QPointF(4.0, 11.5), QPointF(1.8, 8.6), QPointF(6.6, 8.8)}));
    p.drawPolygon(QPolygonF({QPointF(12.0, 4.5), QPointF(14.2, 7.4), QPointF(9.4, 7.2)}));
    return pixmap;
}
} // namespace

TfrmNetworkClients::TfrmNetworkClients(std::shared_ptr<INetResourceProvider> provider,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog), provider_(std::move(provider)),
      progress_(std::make_unique<TfrmExport>())
{
    setObjectName(QStringLiteral("frmNetworkClients"));
    setWindowTitle(QStringLiteral("Online Network Clients"));
    setFixedSize(655, 375);
    setModal(true);
    frmExport = progress_.get();
    CreateControls();
}

TfrmNetworkClients::~TfrmNetworkClients() = default;

void TfrmNetworkClients::CreateControls()
{
    RoundPanel1 =
        new THeadingPanel(QStringLiteral("Network clients that are currently online:"), this);
    RoundPanel1->setObjectName(QStringLiteral("RoundPanel1"));
    RoundPanel1->setGeometry(rect());
    RoundPanel1->setFont(PixelArial(21, true));

    SpeedButton1 = new QToolButton(RoundPanel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(536, 10, 23, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(QIcon(RefreshPicture()));
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setToolTip(QStringLiteral("Refresh List"));
    SpeedButton1->setFocusPolicy(Qt::NoFocus);        // a speed button never takes the focus
    SpeedButton1->setShortcut(QKeySequence::Refresh); // so the keyboard reaches it all the same

    ListBox1 = new QListWidget(RoundPanel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(16, 40, 623, 289);
    ListBox1->setFrameShape(QFrame::NoFrame);
    ListBox1->setFont(PixelArial(16, true));
    QPalette pal = ListBox1->palette();
    pal.setColor(QPalette::Text, QColor(0, 128, 192));
    ListBox1->setPalette(pal);
    // The heading is painted by the panel, so the list carries its text itself.
    ListBox1->setAccessibleName(QStringLiteral("Network clients that are currently online:"));
    SpeedButton1->setAccessibleName(SpeedButton1->toolTip()); // it shows only a picture

    auto* add = new TGradientButton(QStringLiteral("Add Host Names To List"), RoundPanel1);
    add->setObjectName(QStringLiteral("btnAdd"));
    add->setGeometry(24, 336, 137, 25);
    add->setAutoDefault(false);
    btnAdd = add;

    connect(SpeedButton1, &QToolButton::clicked, this,
            [this] { Guarded([this] { SpeedButton1Click(); }); });
    connect(btnAdd, &QPushButton::clicked, this, [this] { Guarded([this] { btnAddClick(); }); });
}

int TfrmNetworkClients::Execute()
{
    FormShow();
    return exec();
}

void TfrmNetworkClients::showEvent(QShowEvent* event)
{
    if (QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    QDialog::showEvent(event);
}

void TfrmNetworkClients::FormShow()
{
    SearchNetwork();
}

void TfrmNetworkClients::SpeedButton1Click()
{
    FormShow();
}

TNetworkWalk TfrmNetworkClients::MakeWalk()
{
    TNetworkWalk walk(*provider_, SearchType, SearchFilter);
    walk.OnListed = [this](const TNetResource& entry) { List(entry); };
    return walk;
}

QString TfrmNetworkClients::Shown(const QString& remote)
{
    // Names come from other computers: one line of plain text, and no "<" or ">", which
    // would split the address book's "Name <host>" line in the wrong place.
    QString text = TRemoteText::Clean(remote);
    text.replace(QLatin1Char('<'), QChar(0x2039));
    text.replace(QLatin1Char('>'), QChar(0x203A));
    return text;
}

void TfrmNetworkClients::List(const TNetResource& entry)
{
    TNetResource shown = entry;
    shown.comment = Shown(entry.comment);
    shown.remoteName = Shown(entry.remoteName);
    shown.provider = Shown(entry.provider);
    const QStringList lines = TNetworkWalk::ListLines(shown);
    const QFontMetrics metrics(ListBox1->font());
    const bool copy = IsProgramCopy ? IsProgramCopy(entry) : false;
    qCDebug(lcSettings).noquote() << "online: \"" + shown.comment + "\" at" << shown.remoteName
                                  << (copy ? "(runs Parlavue)" : "(workstation)");
    for (int i = 0; i < lines.size(); ++i) {
        auto* item = new QListWidgetItem(lines[i]);
        item->setSizeHint(QSize(metrics.horizontalAdvance(lines[i]) + 8, RowHeight));
        if (i == 0)
            item->setData(ProgramCopyRole, copy);
        // A computer that runs this program can answer a call; the others are only listed.
        if (copy && i < 2) {
            item->setForeground(ProgramCopyColor);
            item->setToolTip(QStringLiteral("Runs Parlavue: this computer can answer a call"));
        }
        ListBox1->addItem(item);
    }
}

void TfrmNetworkClients::SearchNetwork()
{
    // A search started from within a running one would interleave two lists in one.
    if (searching_)
        return;
    searching_ = true;
    SpeedButton1->setEnabled(false);
    btnAdd->setEnabled(false);
    frmExport->show();
    // The provider looks at the network while the window runs; the list is then filled unseen
    // and shown in one step.
    const QPointer<TfrmNetworkClients> self(this);
    provider_->Prepare([self] {
        if (!self)
            return;
        // Puts the window back as it was on every way out, a provider's failure included.
        struct TSearchEnd
        {
            TfrmNetworkClients& form;
            ~TSearchEnd()
            {
                form.ListBox1->setUpdatesEnabled(true);
                form.frmExport->hide();
                form.SpeedButton1->setEnabled(true);
                form.btnAdd->setEnabled(true);
                form.searching_ = false;
            }
        };
        Guarded([&] {
            TSearchEnd end{*self};
            self->ListBox1->setUpdatesEnabled(false);
            self->ListBox1->clear();
            self->WalkNetwork(std::nullopt);
        });
    });
}

void TfrmNetworkClients::WalkNetwork(const std::optional<TNetResource>& container)
{
    MakeWalk().WalkNetwork(container);
}

bool TfrmNetworkClients::EnumerateLevel(const std::optional<TNetResource>& container,
                                        std::vector<TNetResource>& entries)
{
    return MakeWalk().EnumerateLevel(container, entries);
}

bool TfrmNetworkClients::ContactExists(const QString& host) const
{
    const QStringList lines = BookLines ? BookLines() : QStringList();
    for (const QString& line : lines) {
        // The text between the first "<" and the first ">"; nothing when ">" comes first.
        const qsizetype open = line.indexOf(QLatin1Char('<'));
        const qsizetype close = line.indexOf(QLatin1Char('>'));
        const qsizetype count = close - open - 1;
        const QString text = count > 0 ? line.mid(open + 1, count) : QString();
        if (text == host)
            return true;
    }
    return false;
}

void TfrmNetworkClients::btnAddClick()
{
    QString name;
    for (int i = 0; i < ListBox1->count(); ++i) {
        const QString line = ListBox1->item(i)->text();
        if (line.startsWith(QLatin1String("Computer"))) {
            name = line.mid(line.indexOf(QLatin1Char(':')) + 2);
        } else if (line.startsWith(QLatin1String("Host"))) {
            const QString host = line.mid(line.indexOf(QLatin1String("\\\\")) + 2);
            if (!ContactExists(host) && AddContact)
                AddContact(name, host);
        }
    }
    accept();
}
