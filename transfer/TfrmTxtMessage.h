#pragma once

#include <QDate>
#include <QDialog>
#include <QLocale>

#include <memory>

class QFile;
class QPushButton;
class QTextEdit;
class TRoundedPanel;
class TfrmTransfer;

// "Send Text Message": a rich-text editor whose content is sent to the host in the main
// window's host-name field as an RTF file, with the file transfer portal's sender.
class TfrmTxtMessage : public QDialog
{
    Q_OBJECT
public:
    TfrmTxtMessage(TfrmTransfer& portal, QWidget* parent = nullptr);

    TRoundedPanel* Panel1 = nullptr;
    QTextEdit* Editor = nullptr;
    QPushButton* btnPaste = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnSend = nullptr;
    QPushButton* btnClose = nullptr;

    void FormShow();
    void btnPasteClick();
    void btnClearClick();
    void btnSendClick();
    void btnCloseClick();
    // Starts sending the editor's content; the outcome comes in a box once the receiver has
    // answered.
    void SendTextMessage();

    // "T" + the date in the locale's short format with "-" between its parts + "_" + number
    // + ".rtf", e.g. T12-6-2026_4821.rtf.
    static QString MessageName(const QDate& date, int number,
                               const QLocale& locale = QLocale::system());
    // Whether a received file name is one MessageName makes: a received text message.
    static bool IsMessageName(const QString& fileName);
    // Where the temporary message file is made: the program's folder, or the per-user runtime
    // folder when the program's folder cannot be written (an installed copy).
    static QStringList TemporaryFolders();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void CreateControls();
    void ToggleFormat(int which);
    // The send of message_ ended, failed when failure says why.
    void MessageEnded(const QString& failure);

    TfrmTransfer& portal_;
    std::shared_ptr<QFile> message_; // the temporary file being sent
};
