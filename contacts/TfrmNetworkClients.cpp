#include "contacts/TfrmNetworkClients.h"

#include "contacts/IContactBook.h"
#include "contacts/TKnownKeys.h"
#include "contacts/TfrmExport.h"
#include "platform/crypto/TIdentity.h"
#include "platform/logging/Logging.h"
#include "platform/peers/IPeerBrowser.h"
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
#include <QScreen>
#include <QToolButton>

#include <memory>

namespace {
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

TfrmNetworkClients::TfrmNetworkClients(std::shared_ptr<IPeerBrowser> peers, IContactBook* book,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog), peers_(std::move(peers)), book_(book),
      progress_(std::make_unique<TfrmExport>())
{
    setObjectName(QStringLiteral("frmNetworkClients"));
    setWindowTitle(tr("Online Network Clients"));
    setFixedSize(655, 375);
    setModal(true);
    frmExport = progress_.get();
    CreateControls();
    if (!peers_)
        return;
    // The browser calls from inside the daemon's callbacks: nothing may unwind through them.
    connect(peers_.get(), &IPeerBrowser::Appeared, this,
            [this](const TPeer& peer) { Guarded([&] { Listed(peer); }); });
    connect(peers_.get(), &IPeerBrowser::Changed, this,
            [this](const TPeer& peer) { Guarded([&] { Listed(peer); }); });
    connect(peers_.get(), &IPeerBrowser::Gone, this,
            [this](const QString& key) { Guarded([&] { Unlisted(key); }); });
    connect(peers_.get(), &IPeerBrowser::AllForNow, this,
            [this] { Guarded([this] { SearchEnded(); }); });
}

TfrmNetworkClients::~TfrmNetworkClients()
{
    // Nobody watches the network once the window has gone.
    StopBrowsing();
}

void TfrmNetworkClients::CreateControls()
{
    RoundPanel1 = new THeadingPanel(tr("Network clients that are currently online:"), this);
    RoundPanel1->setObjectName(QStringLiteral("RoundPanel1"));
    RoundPanel1->setGeometry(rect());
    RoundPanel1->setFont(PixelArial(21, true));

    SpeedButton1 = new QToolButton(RoundPanel1);
    SpeedButton1->setObjectName(QStringLiteral("SpeedButton1"));
    SpeedButton1->setGeometry(536, 10, 23, 22);
    SpeedButton1->setAutoRaise(true);
    SpeedButton1->setIcon(QIcon(RefreshPicture()));
    SpeedButton1->setIconSize(QSize(16, 16));
    SpeedButton1->setToolTip(tr("Refresh List"));
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
    ListBox1->setAccessibleName(tr("Network clients that are currently online:"));
    SpeedButton1->setAccessibleName(SpeedButton1->toolTip()); // it shows only a picture

    auto* add = new TGradientButton(tr("Add Host Names To List"), RoundPanel1);
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

void TfrmNetworkClients::hideEvent(QHideEvent* event)
{
    // A closed window lists nothing more; the next showing starts afresh.
    StopBrowsing();
    QDialog::hideEvent(event);
}

void TfrmNetworkClients::FormShow()
{
    SearchNetwork();
}

void TfrmNetworkClients::SpeedButton1Click()
{
    FormShow();
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

QStringList TfrmNetworkClients::ListLines(const TPeer& peer)
{
    return {ComputerPrefix() + peer.name, HostPrefix() + peer.host,
            tr("Network Provider: ") + peer.provider, QString()};
}

QString TfrmNetworkClients::ComputerPrefix()
{
    return tr("Computer Name: ");
}

QString TfrmNetworkClients::HostPrefix()
{
    return tr("Host Name and Connection Path: \\\\");
}

int TfrmNetworkClients::FirstRow(const QString& key) const
{
    for (int row = 0; row < ListBox1->count(); row += LinesPerComputer)
        if (ListBox1->item(row)->data(PeerKeyRole).toString() == key)
            return row;
    return -1;
}

void TfrmNetworkClients::Dress(QListWidgetItem* item, int line, const QString& text,
                               const TPeer& peer) const
{
    item->setText(text);
    item->setSizeHint(QSize(QFontMetrics(ListBox1->font()).horizontalAdvance(text) + 8, RowHeight));
    item->setData(PeerKeyRole, peer.key);
    if (line == 0)
        item->setData(ProgramCopyRole, peer.programCopy);
    // A computer that runs this program can answer a call; the others are only listed.
    const bool marked = peer.programCopy && line < 2;
    item->setData(Qt::ForegroundRole, marked ? QVariant(QBrush(ProgramCopyColor)) : QVariant());
    // Whether it announces a key: calls and files to it are then encrypted. Words, not colour.
    QString keyState;
    if (marked)
        keyState =
            peer.announcedKey.isEmpty()
                ? tr("; it announces no encryption key")
                : tr("; it announces the encryption key %1 ...").arg(KeyGroups(peer.announcedKey));
    item->setToolTip(marked ? tr("Runs Parlavue: this computer can answer a call") + keyState
                            : QString());
    item->setData(Qt::AccessibleDescriptionRole, item->toolTip());
}

QString TfrmNetworkClients::KeyGroups(const QString& fingerprint)
{
    return TIdentity::ShortTextOf(TKnownKeys::ParseFingerprint(fingerprint));
}

void TfrmNetworkClients::Listed(const TPeer& peer)
{
    TPeer shown = peer;
    shown.name = Shown(peer.name);
    shown.host = Shown(peer.host);
    shown.provider = Shown(peer.provider);
    const QStringList lines = ListLines(shown);
    qCDebug(lcSettings).noquote() << "online: \"" + shown.name + "\" at" << lines[1].mid(31)
                                  << (peer.programCopy ? "(runs Parlavue)" : "(workstation)");
    // A computer told of again is shown where it stands, never twice.
    const int first = FirstRow(peer.key);
    for (int line = 0; line < LinesPerComputer; ++line) {
        if (first >= 0) {
            Dress(ListBox1->item(first + line), line, lines[line], peer);
        } else {
            auto* item = new QListWidgetItem;
            Dress(item, line, lines[line], peer);
            ListBox1->addItem(item);
        }
    }
}

void TfrmNetworkClients::Unlisted(const QString& key)
{
    const int first = FirstRow(key);
    if (first < 0)
        return;
    qCDebug(lcSettings).noquote() << "offline:" << ListBox1->item(first + 1)->text().mid(31);
    for (int line = 0; line < LinesPerComputer; ++line)
        std::unique_ptr<QListWidgetItem>(ListBox1->takeItem(first));
}

void TfrmNetworkClients::SearchNetwork()
{
    ListBox1->clear();
    if (!peers_)
        return; // nothing to ask, so nothing to wait for
    // The buttons stay usable: rows are listed as they come, and a restart starts clean.
    searching_ = true;
    frmExport->show();
    // A browse under way is restarted: it tells everything again, into the empty list.
    peers_->Start();
}

void TfrmNetworkClients::SearchEnded()
{
    frmExport->hide();
    searching_ = false;
}

void TfrmNetworkClients::StopBrowsing()
{
    if (peers_ && peers_->IsBrowsing())
        peers_->Stop();
    SearchEnded();
}

bool TfrmNetworkClients::ContactExists(const QString& host) const
{
    const QStringList lines = book_ ? book_->Lines() : QStringList();
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
        // The lines are read back by the words they were written with, in any language.
        if (line.startsWith(ComputerPrefix())) {
            name = line.mid(ComputerPrefix().size());
        } else if (line.startsWith(HostPrefix())) {
            const QString host = line.mid(HostPrefix().size());
            if (!ContactExists(host) && book_)
                book_->AddContact(name, host);
        }
    }
    accept();
}
