#pragma once

#include "platform/netenum/INetResourceProvider.h"

#include <QColor>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QListWidget;
class QPushButton;
class QToolButton;
class TfrmExport;
class THeadingPanel;
class TNetworkWalk;

// "Online Network Clients": lists the computers the network neighbourhood reports, searched
// afresh at every showing and on "Refresh List", and copies those the address book lacks into
// it. A computer counts as online when the neighbourhood lists it; nothing is asked of it.
class TfrmNetworkClients : public QDialog
{
    Q_OBJECT
public:
    static constexpr int RowHeight = 19;
    // Set on each computer's "Computer Name: " row: whether the entry is a copy of this program.
    static constexpr int ProgramCopyRole = Qt::UserRole + 1;
    // The colour of a program copy's first two rows.
    static constexpr QColor ProgramCopyColor{0x00, 0x70, 0x30};

    explicit TfrmNetworkClients(std::shared_ptr<INetResourceProvider> provider,
                                QWidget* parent = nullptr);
    ~TfrmNetworkClients() override;

    // The address book's contact lines ("Name <host>"), read afresh at every test.
    std::function<QStringList()> BookLines;
    // Adds the contact line name + " <" + host + ">" to the address book.
    std::function<void(const QString& name, const QString& host)> AddContact;
    // Whether an entry's comment marks it as a copy of this program; while unset, none is.
    std::function<bool(const TNetResource& entry)> IsProgramCopy;

    // Searches, then shows the window modally.
    int Execute();

    THeadingPanel* RoundPanel1 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* btnAdd = nullptr;
    TfrmExport* frmExport = nullptr; // the progress window, owned here

    void FormShow();
    void SpeedButton1Click();
    void btnAddClick();

    void SearchNetwork();
    // container empty: the network root.
    void WalkNetwork(const std::optional<TNetResource>& container);
    bool EnumerateLevel(const std::optional<TNetResource>& container,
                        std::vector<TNetResource>& entries);
    bool ContactExists(const QString& host) const;

    bool IsSearching() const { return searching_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    TNetworkWalk MakeWalk();
    void List(const TNetResource& entry);
    static QString Shown(const QString& remote);

    std::shared_ptr<INetResourceProvider> provider_;
    std::unique_ptr<TfrmExport> progress_;
    bool searching_ = false;
};
