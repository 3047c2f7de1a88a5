#pragma once

#include "contacts/IContactBook.h"

#include <QDialog>
#include <QStringList>

#include <functional>

class QLabel;
class QLineEdit;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class TRoundedPanel;

// "IP Address Book": named contacts, each kept as one line "name <host>", sorted by the whole
// line. "IPAddress.dat" beside the program is read on every opening and written on every
// closing; in between the list is the only copy.
class TKnownKeys;

class TfrmIP : public QDialog, public IContactBook
{
    Q_OBJECT
public:
    static const QString FileName; // "IPAddress.dat"
    static QString NotFoundText();
    static QString EmptyFieldsText();
    static QString DeleteQuestion();
    static QString WrongFormatText();
    static constexpr int NameLength = 22;

    explicit TfrmIP(QWidget* parent = nullptr);

    // The book's file beside the executable.
    static QString Location();
    // The host a contact line names: what follows its first "<" without the line's last
    // character, or the whole line when it has no "<".
    static QString HostOf(const QString& line);

    // Runs the opening steps and shows the window modally, centred over its owner.
    int Execute();

    // Adds name + " <" + host + ">" at its place in the sorted list.
    void AddContact(const QString& name, const QString& host) override;
    // The contact lines in list order.
    QStringList Lines() const override;

    // Writes a picked contact's host into the main window's host-name field.
    std::function<void(const QString&)> SetHostName;
    // Shows the online network clients window modally; "Who's Online?" does nothing without it.
    std::function<void()> OnWhosOnline;

    TRoundedPanel* Panel1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* edtName = nullptr;
    QLabel* Label1 = nullptr;
    QLineEdit* edtIP = nullptr;
    QPushButton* btnAdd = nullptr;
    QPushButton* btnDeleteAll = nullptr;
    QListWidget* ListBox1 = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnOnline = nullptr;
    QPushButton* btnInsert = nullptr;
    QPushButton* btnClose = nullptr;
    QPushButton* btnKey = nullptr; // the selected contact's key, pasted from its settings window

    // Handlers.
    void FormActivate();
    // Throws EError "Cannot create file <path>" when the file cannot be written.
    void FormClose();
    void btnAddClick();
    void btnDeleteClick();
    void btnDeleteAllClick();
    void ListBox1DblClick();
    void btnOnlineClick();
    void btnCloseClick();
    void btnKeyClick();
    // Where pasted keys are kept; without it a key cannot be given. Must outlive the book.
    void SetKnownKeys(TKnownKeys* keys);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Every way out (Close, a picked contact, Escape) writes the file first; when that fails
    // the window stays open.
    void done(int result) override;

private:
    void CreateControls();
    QLabel* AddLabel(const QString& name, const QString& text, int left, int top);
    QLineEdit* AddEdit(const QString& name, int left, int top);
    QPushButton* AddButton(const QString& name, const QString& text, const QRect& geometry);
    TKnownKeys* keys_ = nullptr;
    void InsertSorted(const QString& line);
    // The row's tooltip and spoken description: the key its address is pinned to, if any.
    void DescribeKey(QListWidgetItem* item) const;

    QWidget* listViewport_ = nullptr;
};
