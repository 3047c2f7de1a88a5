#pragma once

#include <QColor>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>

class IContactBook;
class IPeerBrowser;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QToolButton;
class TfrmExport;
class THeadingPanel;
struct TPeer;

// "Online Network Clients": lists the computers on the network while it is open, adding them
// as they appear and taking them off as they go; every showing and "Refresh List" start the
// list afresh. Copies those the address book lacks into it. A computer counts as online when
// the network lists it; nothing is asked of it.
class TfrmNetworkClients : public QDialog
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 19;
    static constexpr int LinesPerComputer = 4;
    // Set on each computer's "Computer Name: " row: whether it runs a copy of this program.
    static constexpr int ProgramCopyRole = Qt::UserRole + 1;
    // Set on every row: the browser's key of the computer the row belongs to.
    static constexpr int PeerKeyRole = Qt::UserRole + 2;
    // The colour of a program copy's first two rows.
    static constexpr QColor ProgramCopyColor{0x00, 0x70, 0x30};

    // Without a browser nobody is listed.
    // book is where found computers are added; without one nothing is added.
    TfrmNetworkClients(std::shared_ptr<IPeerBrowser> peers, IContactBook* book,
                       QWidget* parent = nullptr);
    ~TfrmNetworkClients() override;

    // Starts the list, then shows the window modally.
    int Execute();

    THeadingPanel* RoundPanel1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* btnAdd = nullptr;
    TfrmExport* frmExport = nullptr; // the progress window, owned here

    void FormShow();
    void SpeedButton1Click();
    void btnAddClick();

    // Clears the list and browses afresh; the progress window stays up until the first
    // answers are in.
    void SearchNetwork();
    bool ContactExists(const QString& host) const;

    // Until the first answers of the latest start are in.
    bool IsSearching() const { return searching_; }

    // The four lines the list holds for one computer.
    static QStringList ListLines(const TPeer& peer);
    // How a computer's name and host lines begin, in the user's language.
    static QString ComputerPrefix();
    static QString HostPrefix();

protected:
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void CreateControls();
    void Listed(const TPeer& peer);
    void Unlisted(const QString& key);
    void SearchEnded();
    void StopBrowsing();
    int FirstRow(const QString& key) const;
    static QString KeyGroups(const QString& fingerprint);
    void Dress(QListWidgetItem* item, int line, const QString& text, const TPeer& peer) const;
    static QString Shown(const QString& remote);

    std::shared_ptr<IPeerBrowser> peers_;
    IContactBook* book_ = nullptr;
    std::unique_ptr<TfrmExport> progress_;
    bool searching_ = false;
};
