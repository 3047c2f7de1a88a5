#include "contacts/TfrmIP.h"

#include "contacts/TContactDelegate.h"
#include "contacts/TKnownKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/errors/EError.h"
#include "platform/ini/TLineFile.h"
#include "platform/logging/Logging.h"
#include "platform/paths/TProgramFolder.h"
#include "platform/ui/Guarded.h"
#include "platform/ui/TUiServices.h"
#include "widgets/TFonts.h"
#include "widgets/TGradientButton.h"
#include "widgets/TRoundedPanel.h"

#include <QHostAddress>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>

#include <algorithm>

const QString TfrmIP::FileName = QStringLiteral("IPAddress.dat");
QString TfrmIP::NotFoundText()
{
    return tr("File [IPAddress.dat] not Found.");
}

QString TfrmIP::EmptyFieldsText()
{
    return tr("Please enter Contact Name and IP Address.");
}

QString TfrmIP::DeleteQuestion()
{
    return tr("Delete selected contact?");
}

QString TfrmIP::WrongFormatText()
{
    return tr("Wrong Address Format.");
}

namespace {

bool IsEnter(QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent*>(event)->key();
    return key == Qt::Key_Return || key == Qt::Key_Enter;
}

// Alphabetical, as the user reads names: case only decides between otherwise equal lines.
bool LineBefore(const QString& a, const QString& b)
{
    const int folded = QString::compare(a, b, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(a, b, Qt::CaseSensitive) < 0;
}

} // namespace

TfrmIP::TfrmIP(QWidget* parent) : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmIP"));
    setWindowTitle(tr("IP Address Book"));
    setFixedSize(497, 412);
    setModal(true);
    setFont(TFonts::SansSerif(8));
    CreateControls();
}

QString TfrmIP::Location()
{
    return TProgramFolder::File(FileName);
}

QString TfrmIP::HostOf(const QString& line)
{
    const qsizetype open = line.indexOf(QLatin1Char('<'));
    if (open < 0)
        return line;
    // Up to the last character, which a well-formed line's ">" is; a line ending in its "<"
    // has no host at all.
    return line.mid(open + 1, std::max<qsizetype>(0, line.size() - open - 2));
}

QLabel* TfrmIP::AddLabel(const QString& name, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, Panel1);
    label->setObjectName(name);
    label->setFont(TFonts::SansSerif(8, true));
    label->setStyleSheet(QStringLiteral("color: white;"));
    label->move(left, top);
    label->adjustSize();
    return label;
}

QLineEdit* TfrmIP::AddEdit(const QString& name, int left, int top)
{
    auto* edit = new QLineEdit(Panel1);
    edit->setObjectName(name);
    edit->setGeometry(left, top, 225, 24);
    edit->setFont(TFonts::SansSerif(10));
    edit->setStyleSheet(QStringLiteral("background: white; color: black;"));
    edit->installEventFilter(this);
    return edit;
}

QPushButton* TfrmIP::AddButton(const QString& name, const QString& text, const QRect& geometry)
{
    auto* button = new TGradientButton(text, Panel1);
    button->setObjectName(name);
    button->setGeometry(geometry);
    button->setAutoDefault(false);
    button->setFocusPolicy(Qt::StrongFocus);
    return button;
}

void TfrmIP::CreateControls()
{
    Panel1 = new TRoundedPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setGeometry(rect());

    Label2 = AddLabel(QStringLiteral("Label2"), tr("Contact Name"), 14, 13);
    edtName = AddEdit(QStringLiteral("edtName"), 14, 26);
    edtName->setMaxLength(NameLength);
    Label1 = AddLabel(QStringLiteral("Label1"), tr("Host Name / IP Address"), 256, 13);
    edtIP = AddEdit(QStringLiteral("edtIP"), 256, 26);
    btnAdd = AddButton(QStringLiteral("btnAdd"), tr("Add"), {14, 59, 75, 25});
    btnDeleteAll = AddButton(QStringLiteral("btnDeleteAll"), tr("Clear List"), {406, 59, 75, 25});
    btnKey = AddButton(QStringLiteral("btnKey"), tr("Key..."), {210, 59, 75, 25});
    btnKey->setAccessibleName(tr("Contact Key"));
    btnKey->setEnabled(false);

    ListBox1 = new QListWidget(Panel1);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setGeometry(14, 96, 467, 257);
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListBox1->setToolTip(tr("Double Click to use IP Address"));
    QFont listFont;
    listFont.setFamilies({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")});
    listFont.setPixelSize(16);
    ListBox1->setFont(listFont);
    ListBox1->setStyleSheet(QStringLiteral("QListWidget { background: white; }"));
    ListBox1->setItemDelegate(new TContactDelegate(ListBox1));
    ListBox1->installEventFilter(this);
    listViewport_ = ListBox1->viewport();
    listViewport_->installEventFilter(this);

    btnDelete = AddButton(QStringLiteral("btnDelete"), tr("Delete"), {16, 368, 75, 25});
    btnOnline = AddButton(QStringLiteral("btnOnline"), tr("Who's Online?"), {104, 368, 81, 25});
    btnInsert =
        AddButton(QStringLiteral("btnInsert"), tr("Call Selected Contact"), {200, 368, 193, 25});
    btnClose = AddButton(QStringLiteral("btnClose"), tr("Close"), {407, 368, 75, 25});

    Label2->setBuddy(edtName);
    Label1->setBuddy(edtIP);
    // The rows are read as the contact lines they show.
    ListBox1->setAccessibleName(tr("Contacts"));

    QWidget* chain[] = {ListBox1, edtName,   edtIP,        btnAdd,    btnDelete,
                        btnClose, btnOnline, btnDeleteAll, btnInsert, btnKey};
    for (size_t i = 0; i + 1 < std::size(chain); ++i)
        setTabOrder(chain[i], chain[i + 1]);

    auto on = [this](QPushButton* b, void (TfrmIP::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { Guarded([&] { (this->*handler)(); }); });
    };
    on(btnAdd, &TfrmIP::btnAddClick);
    on(btnDeleteAll, &TfrmIP::btnDeleteAllClick);
    on(btnDelete, &TfrmIP::btnDeleteClick);
    on(btnOnline, &TfrmIP::btnOnlineClick);
    on(btnInsert, &TfrmIP::ListBox1DblClick);
    on(btnClose, &TfrmIP::btnCloseClick);
    on(btnKey, &TfrmIP::btnKeyClick);
}

void TfrmIP::SetKnownKeys(TKnownKeys* keys)
{
    keys_ = keys;
    btnKey->setEnabled(keys_ != nullptr);
    for (int i = 0; i < ListBox1->count(); ++i)
        DescribeKey(ListBox1->item(i));
}

void TfrmIP::btnKeyClick()
{
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (!keys_ || selected.isEmpty()) {
        Ui().Information(tr("Select a contact to give it a key."));
        return;
    }
    const QString line = selected.first()->text();
    const QString name = line.section(QStringLiteral(" <"), 0, 0).trimmed();
    QHostAddress address;
    // Keys are kept by address: a host name may stand for another computer tomorrow.
    if (!address.setAddress(HostOf(line)) || address.protocol() != QAbstractSocket::IPv4Protocol) {
        Ui().Error(tr("A key can be given to a contact with an IP address only."));
        return;
    }
    const std::optional<QByteArray> pin = keys_->PinFor(address);
    const std::optional<QString> answer = Ui().InputBox(
        tr("Contact Key"),
        tr("The key of %1, as its settings window shows it under \"Your key\" (Copy):").arg(name),
        pin ? TIdentity::Base32(*pin) : QString());
    if (!answer)
        return;
    QString text = answer->toUpper();
    text.remove(QRegularExpression(QStringLiteral("[\\s-]")));
    if (text.isEmpty()) {
        keys_->Forget(address);
        DescribeKey(selected.first());
        return;
    }
    const QByteArray key = TKnownKeys::ParseFingerprint(text);
    if (key.isEmpty()) {
        Ui().Error(tr("That is not a key: a key is 52 letters and digits, as the other "
                      "computer's settings window shows it under \"Your key\"."));
        return;
    }
    keys_->Record(address, key, name, QStringLiteral("pasted"));
    DescribeKey(selected.first());
}

int TfrmIP::Execute()
{
    FormActivate();
    if (parentWidget()) {
        const QRect owner = parentWidget()->window()->frameGeometry();
        move(owner.center() - rect().center());
    }
    return exec();
}

QStringList TfrmIP::Lines() const
{
    QStringList lines;
    for (int i = 0; i < ListBox1->count(); ++i)
        lines << ListBox1->item(i)->text();
    return lines;
}

void TfrmIP::InsertSorted(const QString& line)
{
    // After any equal lines, so a duplicate joins the end of its run.
    int low = 0;
    int high = ListBox1->count();
    while (low < high) {
        const int mid = (low + high) / 2;
        if (LineBefore(line, ListBox1->item(mid)->text()))
            high = mid;
        else
            low = mid + 1;
    }
    ListBox1->insertItem(low, line);
    DescribeKey(ListBox1->item(low));
}

void TfrmIP::DescribeKey(QListWidgetItem* item) const
{
    if (!keys_)
        return;
    QHostAddress address;
    std::optional<QByteArray> pin;
    if (address.setAddress(HostOf(item->text())) &&
        address.protocol() == QAbstractSocket::IPv4Protocol)
        pin = keys_->PinFor(address);
    QString text = tr("No key known: calls and files go unencrypted unless it "
                      "announces one");
    if (pin) {
        const TKnownKeys::TKey* known = keys_->Find(*pin);
        // The state is a word of the key file; the tooltip says it in the user's language.
        const QString state = known ? known->state : QStringLiteral("seen");
        const QString said = state == QLatin1String("verified")  ? tr("verified")
                             : state == QLatin1String("refused") ? tr("refused")
                             : state == QLatin1String("seen")    ? tr("seen")
                                                                 : state;
        text = tr("Encrypted: key %1, %2").arg(TIdentity::ShortTextOf(*pin), said);
    }
    item->setToolTip(text);
    item->setData(Qt::AccessibleDescriptionRole, text);
}

void TfrmIP::AddContact(const QString& name, const QString& host)
{
    InsertSorted(name + QStringLiteral(" <") + host + QLatin1Char('>'));
}

void TfrmIP::FormActivate()
{
    try {
        if (const std::optional<QStringList> lines = TLineFile::Load(Location())) {
            ListBox1->clear();
            for (const QString& line : *lines)
                InsertSorted(line);
            qCDebug(lcSettings) << "address book:" << lines->size() << "lines loaded";
        }
    } catch (const EError& e) {
        qCWarning(lcSettings).noquote() << e.Message();
        Ui().Error(NotFoundText());
    }
    edtName->clear();
    edtIP->clear();
    if (ListBox1->count() > 0)
        ListBox1->setCurrentRow(0);
    if (ListBox1->isEnabled())
        ListBox1->setFocus();
}

void TfrmIP::FormClose()
{
    const QString path = Location();
    try {
        TLineFile::Save(path, Lines());
    } catch (const EError& e) {
        qCWarning(lcSettings).noquote() << e.Message();
        throw EError(tr("Cannot create file %1").arg(path));
    }
}

void TfrmIP::done(int result)
{
    bool written = false;
    Guarded([&] {
        FormClose();
        written = true;
    });
    if (written)
        QDialog::done(result);
}

bool TfrmIP::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonDblClick && watched == listViewport_) {
        // Anywhere in the list, as the first click has already picked the line; the list
        // still sees the click.
        Guarded([this] { ListBox1DblClick(); });
    } else if (IsEnter(event)) {
        if (watched == edtName) {
            edtIP->setFocus(Qt::TabFocusReason);
            return true;
        }
        if (watched == edtIP) {
            Guarded([this] { btnAddClick(); });
            return true;
        }
        if (watched == ListBox1) {
            Guarded([this] { ListBox1DblClick(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void TfrmIP::btnAddClick()
{
    if (edtName->text().isEmpty() || edtIP->text().isEmpty()) {
        Ui().Information(EmptyFieldsText());
        edtName->setFocus();
        return;
    }
    AddContact(edtName->text(), edtIP->text());
    edtName->clear();
    edtIP->clear();
    edtName->setFocus();
}

void TfrmIP::btnDeleteClick()
{
    if (Ui().Confirm(DeleteQuestion())) {
        const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
        if (!selected.isEmpty()) {
            delete ListBox1->takeItem(ListBox1->row(selected.first()));
            ListBox1->clearSelection(); // no neighbour is picked in its place
        }
    }
    edtName->setFocus();
}

void TfrmIP::btnDeleteAllClick()
{
    ListBox1->clear();
}

void TfrmIP::ListBox1DblClick()
{
    const QList<QListWidgetItem*> selected = ListBox1->selectedItems();
    if (selected.isEmpty())
        return;
    bool used = false;
    try {
        if (!SetHostName)
            throw EError(QStringLiteral("no host-name field to write"));
        SetHostName(HostOf(selected.first()->text()));
        used = true;
    } catch (const std::exception& e) {
        qCWarning(lcSettings) << "using a contact:" << e.what();
    }
    if (!used) {
        Ui().Warning(WrongFormatText());
        return;
    }
    close(); // writes the file; a failure there keeps the window open with its own box
}

void TfrmIP::btnOnlineClick()
{
    if (OnWhosOnline)
        OnWhosOnline();
}

void TfrmIP::btnCloseClick()
{
    close();
}
