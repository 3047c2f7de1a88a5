#pragma once

#include "transfer/TDiskBudget.h"
#include "transfer/TPortalHost.h"
#include "transfer/TStrmServer.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QStringList>
#include <QUrl>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QTimer;
class IPeerKeys;
class TExclusiveFile;
class TTlsContext;
class TStrmSocket;
class TRoundedPanel;
class TSpooledStream;
class TStrmSender;
class TfrmTxtMessage;
class TListWriter;

// "File Transfer Portal": sends files to the host in the main window's host-name field and
// lists the files received from anyone. It owns the sender and the receiver; the receiver
// listens from the portal's creation (start-up) to its end.
class TfrmTransfer : public QDialog
{
    Q_OBJECT
public:
    static QString WarningText(); // a batch that stopped
    static QString SuccessText(); // a batch or a message that went
    static QString InterruptedText();

    // The list file is "FilesReceived.lst" beside the program unless another is named.
    TfrmTransfer(TPortalHost host, quint16 listenPort = 6501, QWidget* parent = nullptr,
                 QString listFile = {});
    ~TfrmTransfer() override;

    // Controls.
    TRoundedPanel* Panel1 = nullptr;
    QListWidget* lstFilesReceived = nullptr;
    QPushButton* btnClear = nullptr;
    QPushButton* btnMove = nullptr;
    QPushButton* btnDelete = nullptr;
    QPushButton* btnTxtMessage = nullptr;
    QLabel* lblCom = nullptr;
    QProgressBar* pbTransfer = nullptr; // percent, rate and time left while bytes move
    QPushButton* btnTransfer = nullptr;
    QPushButton* btnClose = nullptr;
    QTimer* Timer2 = nullptr;
    TStrmSender* StrmSend1 = nullptr;
    std::unique_ptr<TStrmServer> StrmRec1;

    // The text message window the "Send Text Message" button shows.
    TfrmTxtMessage* frmTxtMessage = nullptr;
    // A file or message was stored while the user did not see the portal: hidden, minimised
    // or behind another program's window (an incoming contact shows it, but the desktop may
    // keep it from the front).
    // security: "encrypted", "not encrypted", ... (empty while no secure channels are set up).
    std::function<void(const QString& path, const QString& from, const QString& security)>
        OnStoredUnseen;
    // Whether the user sees the portal now; tests put their own here.
    std::function<bool()> PortalSeen;
    // How a received file is opened; tests put their own here.
    std::function<bool(const QUrl&)> OpenDocument;
    // The received-files list file, read when the portal is made.
    const QString ListFile;
    // The free and total bytes of the file system a folder is on; tests put their own here.
    using TDiskSpace = TDiskBudget::TSpace;
    std::function<std::optional<TDiskSpace>(const QString& folder)> DiskSpace;

    // Handlers.
    void FormClose();
    void btnCloseClick();
    void btnTransferClick();
    // Chooses files (unless given, as by a drop) and starts sending them one per connection;
    // the batch goes on as each file is acknowledged, and ends in a box.
    void SelectAndSendFiles(std::optional<QStringList> chosen = std::nullopt);
    void btnClearClick();
    void btnDeleteClick();
    void btnMoveClick();
    void btnTxtMessageClick();
    void lstFilesReceivedDblClick();
    void Timer2Timer();
    void StrmSend1Connect();
    void StrmSend1PacketSent();
    void StrmSend1MessageSent();
    void StrmSend1Disconnect();
    void StrmSend1ConnectionFailed();
    std::optional<QString> StrmSend1InvalidHost();
    void StrmSend1Done();
    void StrmSend1Failed(const QString& reason);
    void StrmRec1ClientContact(const QString& from, const QByteArray& key = {});
    // On a worker thread: stores a body that arrived whole.
    bool StrmRec1MSG(const TStrmConnection& sender, const QByteArray& sFrom, TSpooledStream& strm);
    void StrmRec1Failed(const QString& from, const QByteArray& sFrom, const QString& error);
    void StrmRec1Disconnect();

    // The main window's fields, as the text message window uses them too.
    const TPortalHost& Host() const { return host_; }
    // Whether a batch or a message is being sent (a second one waits for it to end).
    bool Sending() const { return sending_; }
    // Brackets one message sent with StrmSend1: progress bar on, buttons off. Sent by the text
    // message window, not by a batch of files.
    void BeginSend(qint64 size);
    void EndSend();

    // Secure channels from now on: to peers known to take them, and from any that opens one;
    // those opened for a call go to call (on a connection's thread). keys outlives the portal.
    void SetSecurity(std::shared_ptr<const TTlsContext> tls, IPeerKeys* keys,
                     std::function<void(TStrmSocket*, const QByteArray&)> call);
    // Only through secure channels, both ways: anything else is refused with the reason.
    void SetEncryptedOnly(bool on);

    // The list's entries in order.
    QStringList Entries() const;
    // The receive folder may have changed: spool files an earlier run left there go.
    void ReceiveFolderChanged();
    // Stops a send under way because the program is ending; its failure is then only logged.
    void AbortTransfers();
    bool Ending() const { return ending_; }
    // Writes the list file in the background; FlushList waits until it is written.
    void SaveList();
    void FlushList();

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void CreateControls();
    void ConnectSender();
    void ConnectReceiver(quint16 port);
    void LoadList();
    // Listed in the order the bodies arrived, though workers store them in any order; the row.
    int AddEntry(const QString& path, quint64 arrival);
    void SetStatus(const QString& text);
    // After the user changed the list's entries.
    void ListEdited();
    void ShowProgress();
    // The next file of the batch, or its end.
    void SendNext();
    void BatchFailed(const QString& reason);
    void Stored(const QString& path, qint64 size, const QString& from, quint64 arrival,
                const QByteArray& key);
    // After a send or an arrival through a secure channel: the key is noted, a changed one told.
    void KeySeen(const QHostAddress& address, const QByteArray& key, bool accepted);
    // How a file or message from that address came (key empty: plain), noting its key; alarm
    // when the key changed or an address known to encrypt sent plain.
    struct TArrivalSecurity
    {
        QString text;
        bool alarm = false;
    };
    TArrivalSecurity ArrivalSecurity(const QHostAddress& address, const QByteArray& key);
    // "report.pdf from Beatrice (10.0.0.2)": the list entry's tooltip and spoken name.
    QString ArrivalName(const QString& path, const QString& from) const;
    // On a worker: whether a body of that length may come into the folder its connection was
    // given (a usable folder, and a share of the free space that leaves the reserve).
    TStrmServer::TAdmission Admit(const TStrmConnection& sender, qint64 length);
    // A status line the dots do not run over, and the log's copy of it.
    void SetNotice(const QString& text);
    // Posted from a worker: a body from that address was lost; told as a count per address.
    void Lost(const QString& from, const QString& why);
    // Spool files an earlier run left in the receive folder.
    void RemoveStaleSpools();
    void MoveEntry(int row, const QString& folder);

    TPortalHost host_;
    bool sending_ = false;
    bool ending_ = false;
    // The files of the batch still to send, to the host the batch began with.
    QStringList batch_;
    QString batchHost_;
    bool batchRunning_ = false;
    std::shared_ptr<TExclusiveFile> sendingFile_;
    bool statusNotice_ = false;             // the status line tells of a refused name
    QString incomingBase_ = tr("Incoming"); // the status line while a body arrives
    qint64 sendSize_ = 0;
    QElapsedTimer sendClock_;
    QElapsedTimer receiveClock_;
    QTimer* progressTimer_ = nullptr;
    // The free space shared among the bodies being received.
    TDiskBudget budget_;
    // Bodies lost per sender since one of its files was last stored.
    std::map<QString, int> lost_;
    std::unique_ptr<TListWriter> listWriter_;
    QStringList spoolsChecked_; // receive folders freed of an earlier run's spool files
    IPeerKeys* keys_ = nullptr;
    bool keyAccepted_ = false;                // the user let the send under way go to a changed key
    std::atomic<bool> encryptedOnly_ = false; // read by the connections' workers
};
