// The file transfer portal: two portals in one process, A sending to B over loopback.
#include "platform/crypto/IPeerKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "platform/ui/TApplication.h"
#include "tests/support/TPortalPair.h"
#include "tests/support/TRawTcpClient.h"
#include "tests/support/TRawTcpPeer.h"
#include "tests/support/TWindowTest.h"
#include "transfer/TReceivedList.h"
#include "transfer/TStrmFraming.h"
#include "transfer/TStrmSender.h"
#include "transfer/TStrmServer.h"

#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTest>
#include <QTimer>

#include <semaphore>

namespace {

QByteArray Bytes(int size, char seed)
{
    QByteArray b(size, Qt::Uninitialized);
    for (int i = 0; i < size; ++i)
        b[i] = char(seed + i * 7 + (i >> 9));
    return b;
}

QByteArray ReadAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

// Every file beneath a folder, relative to it.
QStringList FilesBeneath(const QString& folder)
{
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::System | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

// Every address takes a secure channel; the first key seen is kept.
class TPinnedKeys : public IPeerKeys
{
public:
    QByteArray pinned;
    TExpected Expected(const QHostAddress&) const override { return {true, pinned, "Beatrice"}; }
    TState Seen(const QHostAddress&, const QByteArray& key, bool) override
    {
        if (pinned.isEmpty())
            pinned = key;
        return key == pinned ? TState::Same : TState::Changed;
    }
};

// A key of its own in a folder of its own, and the TLS made from it.
struct TOwnKey
{
    QTemporaryDir dir;
    TIdentity identity = TIdentity::Load(dir.filePath("Identity.key"));
    std::shared_ptr<const TTlsContext> tls = TTlsContext::Make(identity, nullptr);
};

} // namespace

class TransferPortalTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPortalPair> pair;

    TScriptedUi& ui() { return script->ui; }

    bool SendRaw(const QByteArray& name, const QByteArray& body)
    {
        return TPortalPair::SendRaw(pair->b->StrmRec1->LocalPort(), name, body);
    }

    void WaitReceiverIdle() { QVERIFY(pair->WaitForReceiverIdle()); }

    void Select(QListWidget* list, std::initializer_list<int> rows)
    {
        list->clearSelection();
        for (int r : rows)
            list->item(r)->setSelected(true);
    }

private slots:
    void init()
    {
        TWindowTest::init();
        pair = std::make_unique<TPortalPair>();
    }
    void cleanup()
    {
        pair.reset();
        TWindowTest::cleanup();
    }

    void windowAndControls()
    {
        TfrmTransfer& p = *pair->a;
        QCOMPARE(p.windowTitle(), QStringLiteral("File Transfer Portal"));
        QCOMPARE(p.size(), QSize(488, 311));
        QVERIFY(p.windowFlags() & Qt::WindowStaysOnTopHint);
        const std::tuple<QPushButton*, QRect, QString> buttons[] = {
            {p.btnClear, {24, 208, 75, 25}, "Clear List"},
            {p.btnMove, {112, 208, 75, 25}, "Move"},
            {p.btnDelete, {200, 208, 75, 25}, "Delete"},
            {p.btnTxtMessage, {336, 208, 129, 25}, "Send Text Message"},
            {p.btnTransfer, {24, 264, 161, 25}, "Select Files To Transfer"},
            {p.btnClose, {392, 264, 75, 25}, "Close"}};
        for (const auto& [button, geometry, text] : buttons) {
            QCOMPARE(button->geometry(), geometry);
            QCOMPARE(button->text(), text);
        }
        QCOMPARE(p.lstFilesReceived->geometry(), QRect(24, 24, 441, 169));
        QCOMPARE(p.lstFilesReceived->selectionMode(), QAbstractItemView::ExtendedSelection);
        QCOMPARE(p.lblCom->geometry(), QRect(24, 240, 441, 16));
        QCOMPARE(p.lblCom->text(), QStringLiteral("Ready..."));
        QCOMPARE(p.Timer2->interval(), 500);
        QVERIFY(!p.Timer2->isActive());
        QVERIFY(p.pbTransfer->isHidden());
    }

    void noHostMeansNoDialog()
    {
        for (const QString& host : {TPortalPair::Prompt, QString()}) {
            pair->hostA = host;
            QTest::mouseClick(pair->a->btnTransfer, Qt::LeftButton);
        }
        QTRY_COMPARE(ui().Texts("information"),
                     QStringList(2, QStringLiteral("Please enter Host Name or IP Address First.")));
        QTRY_COMPARE(pair->focusRequests, 2);
        QVERIFY(ui().Texts("open").isEmpty());
    }

    void batchArrivesInOrderWithStatusTexts()
    {
        const QString one = pair->MakeFile("one.bin", Bytes(3 << 20, 1)); // spooled on arrival
        const QString two = pair->MakeFile("two.txt", "second");
        ui().fileAnswers.push_back(QStringList{one, two});
        QStringList statuses;
        bool barShown = false;
        // Connected after the portal's own handlers, so each sees what they made of the event.
        auto record = [&] {
            if (statuses.isEmpty() || statuses.last() != pair->a->lblCom->text())
                statuses << pair->a->lblCom->text();
            barShown = barShown || !pair->a->pbTransfer->isHidden();
        };
        TStrmSender* s = pair->a->StrmSend1;
        QObject scope; // the hooks go with the locals they use
        for (auto signal :
             {&TStrmSender::Connected, &TStrmSender::MessageSent, &TStrmSender::Disconnected})
            connect(s, signal, &scope, record);
        connect(s, &TStrmSender::Progress, &scope, record);
        QTest::mouseClick(pair->a->btnTransfer, Qt::LeftButton);
        // The handler returned before the dialog opened.
        QVERIFY(ui().Texts("open").isEmpty());
        QVERIFY(QTest::qWaitFor([&] { return !ui().Texts("information").isEmpty(); }, 60000));
        QCOMPARE(ui().openTitles, QStringList{"Select Files to Transfer"});
        QCOMPARE(ui().shown.first().detail, QStringLiteral("All Files (*.*)|*.*"));
        QCOMPARE(ui().Texts("information"), QStringList{TfrmTransfer::SuccessText()});
        QVERIFY(pair->WaitForEntries(2));
        WaitReceiverIdle();
        QCOMPARE(pair->b->Entries(), (QStringList{pair->InB("one.bin"), pair->InB("two.txt")}));
        QCOMPARE(ReadAll(pair->InB("one.bin")), ReadAll(one));
        QCOMPARE(ReadAll(pair->InB("two.txt")), QByteArray("second"));
        // Written after each receipt, whole, with CR LF.
        QCOMPARE(ReadAll(pair->b->ListFile),
                 (pair->InB("one.bin") + "\r\n" + pair->InB("two.txt") + "\r\n").toUtf8());
        QCOMPARE(statuses.first(), QStringLiteral("Sending..."));
        QVERIFY(statuses.contains(QStringLiteral("Sending... 3072 KB")));
        QVERIFY(statuses.contains(QStringLiteral("Completed...")));
        QCOMPARE(statuses.last(), QStringLiteral("Ready..."));
        QCOMPARE(pair->a->lblCom->text(), QStringLiteral("Ready..."));
        QVERIFY(barShown);
        QVERIFY(pair->a->pbTransfer->isHidden());
        // B learnt who sent, and is ready again.
        QCOMPARE(pair->hostB, QStringLiteral("127.0.0.1"));
        QCOMPARE(pair->b->lblCom->text(), QStringLiteral("Ready..."));
        QVERIFY(!pair->b->Timer2->isActive());
        // Only the received files and the spool's nothing are left in B's folder.
        QCOMPARE(FilesBeneath(pair->folderB), (QStringList{"one.bin", "two.txt"}));
    }

    void fileOpenForWritingStopsTheBatch()
    {
        const QString one = pair->MakeFile("first.txt", "1");
        const QString two = pair->MakeFile("busy.txt", "2");
        const QString three = pair->MakeFile("third.txt", "3");
        QFile writer(two);
        QVERIFY(writer.open(QIODevice::WriteOnly | QIODevice::Append));
        pair->a->SelectAndSendFiles(QStringList{one, two, three});
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("warning"), QStringList{TfrmTransfer::WarningText()});
        QVERIFY(ui().Texts("information").isEmpty());
        QVERIFY(pair->WaitForEntries(1));
        WaitReceiverIdle();
        QCOMPARE(FilesBeneath(pair->folderB), QStringList{"first.txt"});
        QVERIFY(pair->a->btnTransfer->isEnabled());
    }

    void eachArrivalSaysHowItCameAndOnlyEncryptedRefusesPlainFiles()
    {
        TOwnKey keyA, keyB;
        QVERIFY(keyA.tls && keyB.tls);
        TPinnedKeys peersA, peersB;
        pair->a->SetSecurity(keyA.tls, &peersA, nullptr);
        pair->b->SetSecurity(keyB.tls, &peersB, nullptr);
        pair->a->SelectAndSendFiles(QStringList{pair->MakeFile("report.pdf", "secret")});
        QVERIFY(pair->WaitForSendEnd());
        QVERIFY(pair->WaitForEntries(1));
        QCOMPARE(peersB.pinned, keyA.identity.Fingerprint());
        const QString encrypted = "\"report.pdf\" from Beatrice (127.0.0.1) — encrypted";
        QCOMPARE(pair->b->lstFilesReceived->item(0)->toolTip(), encrypted);
        QCOMPARE(pair->b->lstFilesReceived->item(0)->data(Qt::AccessibleTextRole).toString(),
                 encrypted);
        // Plain from the address that used encryption: stored, and said in red.
        WaitReceiverIdle();
        QVERIFY(SendRaw("plain.txt", "hello"));
        QVERIFY(pair->WaitForEntries(2));
        QVERIFY(pair->b->lstFilesReceived->item(1)->toolTip().endsWith("— not encrypted"));
        QVERIFY2(pair->b->lblCom->text().startsWith("Not encrypted: \"plain.txt\""),
                 qPrintable(pair->b->lblCom->text()));
        // Only encrypted: a plain file is refused with the reason, an encrypted one comes.
        WaitReceiverIdle();
        pair->b->SetEncryptedOnly(true);
        QVERIFY(!SendRaw("plain2.txt", "hello"));
        QTRY_VERIFY2(pair->b->lblCom->text().endsWith("only encrypted files are taken"),
                     qPrintable(pair->b->lblCom->text()));
        pair->a->SelectAndSendFiles(QStringList{pair->MakeFile("second.pdf", "secret")});
        QVERIFY(pair->WaitForSendEnd());
        QVERIFY(pair->WaitForEntries(3));
        QCOMPARE(FilesBeneath(pair->folderB),
                 (QStringList{"plain.txt", "report.pdf", "second.pdf"}));
    }

    void aWriterMidSendStopsTheTransferAndGoesOn()
    {
        const QString big = pair->MakeFile("big.bin", Bytes(8 << 20, 5));
        // A receiver that reads nothing until the sender has given up, and a sender that never
        // gives up by itself: only the writer can end this send, and it comes mid-body.
        std::binary_semaphore gaveUp(0);
        TRawTcpPeer peer([&](int) { (void)gaveUp.try_acquire_for(std::chrono::seconds(60)); });
        const auto release = qScopeGuard([&] { gaveUp.release(); });
        pair->a->StrmSend1->Port = peer.Port();
        pair->a->StrmSend1->SilenceMs = 0;
        QProcess writer;
        bool started = false;
        QObject scope;
        // Another program opens the file for writing once its first bytes are out.
        connect(pair->a->StrmSend1, &TStrmSender::Progress, &scope, [&] {
            if (std::exchange(started, true) == false)
                writer.start("sh", {"-c", "echo appended >> \"$0\"", big});
        });
        pair->a->SelectAndSendFiles(QStringList{big});
        QVERIFY(pair->WaitForSendEnd());
        QVERIFY(started);
        QCOMPARE(ui().Texts("warning"), QStringList{TfrmTransfer::WarningText()});
        // The writer went on long before the kernel's own 45 s.
        QVERIFY(writer.state() == QProcess::NotRunning || writer.waitForFinished(5000));
        QCOMPARE(writer.exitStatus(), QProcess::NormalExit);
        QCOMPARE(writer.exitCode(), 0);
        QVERIFY(ReadAll(big).endsWith("appended\n"));
    }

    void endingTheProgramStopsASendQuietly()
    {
        const QString big = pair->MakeFile("ending.bin", Bytes(8 << 20, 6));
        connect(pair->a->StrmSend1, &TStrmSender::Progress, this,
                [&] { pair->a->AbortTransfers(); }); // the main window closes
        pair->a->SelectAndSendFiles(QStringList{big});
        QVERIFY(pair->WaitForSendEnd());
        // No box on the sending side while the program ends.
        QVERIFY(ui().Texts("warning").isEmpty() && ui().Texts("information").isEmpty());
        WaitReceiverIdle();
        QVERIFY(!QFile::exists(pair->InB("ending.bin")));
    }

    void unreachableHostWarnsAndSaysNotConnected()
    {
        const QString one = pair->MakeFile("x.txt", "x");
        pair->a->StrmSend1->Port = 1; // nothing listens there
        pair->a->SelectAndSendFiles(QStringList{one});
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("warning"), QStringList{TfrmTransfer::WarningText()});
        QCOMPARE(pair->a->lblCom->text(), QStringLiteral("Not Connected"));
    }

    void namesNeverReplaceNorHide()
    {
        QVERIFY(SendRaw("same.txt", "old contents"));
        QVERIFY(SendRaw("same.txt", "new"));
        QVERIFY(SendRaw("same.txt", Bytes(2 << 20, 5))); // spooled: renamed into place
        QVERIFY(SendRaw(".bashrc", "alias ls=rm"));
        QVERIFY(pair->WaitForEntries(4));
        WaitReceiverIdle();
        QCOMPARE(pair->b->Entries(), (QStringList{pair->InB("same.txt"), pair->InB("same (1).txt"),
                                                  pair->InB("same (2).txt"), pair->InB("bashrc")}));
        QCOMPARE(ReadAll(pair->InB("same.txt")), QByteArray("old contents"));
        QCOMPARE(ReadAll(pair->InB("same (1).txt")), QByteArray("new"));
        QCOMPARE(ReadAll(pair->InB("same (2).txt")), Bytes(2 << 20, 5));
        for (const QString& name : FilesBeneath(pair->folderB)) {
            const QFile::Permissions mode = QFileInfo(pair->InB(name)).permissions();
            QVERIFY2(!(mode & (QFile::ExeOwner | QFile::ExeGroup | QFile::ExeOther)),
                     qPrintable(name));
        }
        // With the receive folder set to the program's own, its settings stay its own.
        env->WriteProgramFile("Settings.ini", "[Settings]\nAutoAnswer=0\n");
        pair->folderB = QFileInfo(env->ProgramFile("Settings.ini")).absolutePath();
        pair->b->ReceiveFolderChanged();
        QVERIFY(SendRaw("Settings.ini", "[Settings]\nAutoAnswer=1\n"));
        WaitReceiverIdle();
        QCOMPARE(env->ReadProgramFile("Settings.ini"), QByteArray("[Settings]\nAutoAnswer=0\n"));
        QCOMPARE(env->ReadProgramFile("Settings (1).ini"),
                 QByteArray("[Settings]\nAutoAnswer=1\n"));
        // Invisible characters make two names look alike: refused, and not acknowledged, so the
        // sending portal says it failed.
        QVERIFY(!SendRaw("...", "dots"));
        const QString hidden = pair->MakeFile(QString::fromUtf8("same\xe2\x80\x8b.txt"), "zw");
        pair->a->SelectAndSendFiles(QStringList{hidden});
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("warning"), QStringList{TfrmTransfer::WarningText()});
        QVERIFY2(pair->a->lblCom->text().startsWith("Not sent: The receiver closed the connection"),
                 qPrintable(pair->a->lblCom->text()));
        QCOMPARE(FilesBeneath(pair->folderB).filter("same").size(), 0);
    }

    void theDiskIsSharedSoOneSenderCannotHoldItAgainstOthers()
    {
        // 100 MiB free of 1 GiB, less what lies in the folder: the reserve is 64 MiB, so 36 MiB
        // fit in all.
        const QString folder = pair->folderB;
        pair->b->DiskSpace = [folder](const QString&) {
            qint64 used = 0;
            for (const QFileInfo& f : QDir(folder).entryInfoList(QDir::Files | QDir::Hidden))
                used += f.size();
            return std::optional(
                TfrmTransfer::TDiskSpace{(qint64(100) << 20) - used, qint64(1) << 30});
        };
        const quint16 port = pair->b->StrmRec1->LocalPort();
        auto announce = [&](TRawTcpClient& peer, const QByteArray& name, qint64 length) {
            return peer.Send(TStrmFraming::NameHeader(name) + TStrmFraming::BodyLength(length));
        };
        // More than could ever fit: closed at once, unread.
        TRawTcpClient big(port, 5000, "127.0.0.2");
        QVERIFY(announce(big, "big.iso", qint64(40) << 20));
        const std::optional<QByteArray> answer = big.ReadToClose(3000);
        QVERIFY2(answer && answer->isEmpty(), "closed at once, without an answer");
        QTRY_COMPARE(pair->b->lblCom->text(),
                     QString("Refused a file from 127.0.0.2: not enough free space"));

        // A large body that comes slowly holds what it brought and a look-ahead, not all it
        // announced: another address's file still fits beside it.
        TRawTcpClient slow(port, 5000, "127.0.0.2");
        QVERIFY(announce(slow, "slow.bin", qint64(30) << 20));
        QVERIFY(slow.Send(Bytes(65536, 1)));
        QVERIFY(QTest::qWaitFor([&] { return pair->b->StrmRec1->ClientCount() == 1; }, 5000));
        QVERIFY(SendRaw("other.bin", Bytes(10 << 20, 2)));
        // The body that would really eat into the reserve is the one cut short, not the slow one.
        QVERIFY(!SendRaw("greedy.bin", Bytes(20 << 20, 3)));
        QTRY_VERIFY2(pair->b->lblCom->text().endsWith("not enough free space"),
                     qPrintable(pair->b->lblCom->text()));
        QVERIFY(!slow.PeerClosed());
        slow.Reset();
        WaitReceiverIdle();
        // Once that is gone, the room is back.
        QVERIFY(SendRaw("fits.bin", Bytes(5 << 20, 4)));
        QTRY_COMPARE(FilesBeneath(pair->folderB), (QStringList{"fits.bin", "other.bin"}));
        QVERIFY(ui().shown.isEmpty());
    }

    void twoHundredBodiesCutShortLeaveOneQuietPortal()
    {
        pair->b->hide();
        const quint16 port = pair->b->StrmRec1->LocalPort();
        for (int i = 0; i < 200; ++i) {
            // One address may hold three connections: each waits for a free slot. B takes them
            // on a thread of its own; each goes once B has it, as one reset before that is
            // dropped unseen.
            QVERIFY(QTest::qWaitFor([&] { return pair->b->StrmRec1->ClientCount() < 3; }, 5000));
            TRawTcpClient peer(port);
            QVERIFY(peer.Send(TStrmFraming::NameHeader("cut.bin") + TStrmFraming::BodyLength(1000) +
                              Bytes(100, 1)));
            QVERIFY(QTest::qWaitFor([&] { return pair->contactsB == i + 1; }, 5000));
            if (i % 2)
                peer.Reset();
            else
                peer.Close();
        }
        WaitReceiverIdle();
        // Every body closed inside counts; one reset before its header was read may not.
        const QRegularExpression told("^(\\d+) files from 127\\.0\\.0\\.1 were cut short$");
        QTRY_VERIFY2(told.match(pair->b->lblCom->text()).captured(1).toInt() >= 100,
                     qPrintable(pair->b->lblCom->text()));
        QVERIFY(ui().shown.isEmpty());
        int portals = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            portals += w->isVisible() && qobject_cast<TfrmTransfer*>(w) ? 1 : 0;
        QCOMPARE(portals, 1);
        QVERIFY(!pair->b->isModal() && QApplication::activeModalWidget() == nullptr);
        QVERIFY(SendRaw("after.txt", "still here"));
        QVERIFY(pair->WaitForEntries(1));
    }

    void hostileNamesNeverWriteOutsideTheFolder_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("storedAs"); // empty: refused
        QTest::newRow("../escape") << QByteArray("../escape") << "escape";
        QTest::newRow("..\\escape") << QByteArray("..\\escape") << "escape";
        QTest::newRow("../../escape") << QByteArray("../../escape") << "escape";
        QTest::newRow("a/../../escape") << QByteArray("a/../../escape") << "escape";
        QTest::newRow("..\\..\\escape") << QByteArray("..\\..\\escape") << "escape";
        QTest::newRow("....//escape") << QByteArray("....//escape") << "escape";
        QTest::newRow("./escape") << QByteArray("./escape") << "escape";
        QTest::newRow("C:\\escape") << QByteArray("C:\\escape") << "escape";
        QTest::newRow("\\\\server\\share\\escape")
            << QByteArray("\\\\server\\share\\escape") << "escape";
        QTest::newRow("../escape/..") << QByteArray("../escape/..") << "";
        QTest::newRow("../") << QByteArray("../") << "";
        QTest::newRow("..") << QByteArray("..") << "";
        QTest::newRow(".") << QByteArray(".") << "";
        QTest::newRow("absolute") << QByteArray("/tmp/escape") << "escape";
        QTest::newRow("..\\..\\x") << QByteArray("..\\..\\x") << "x";
        QTest::newRow("CR LF") << QByteArray("a\r\nb.txt") << "";
        QTest::newRow("300 bytes") << QByteArray(300, 'n') << "";
        QTest::newRow("empty") << QByteArray() << "";
    }
    void hostileNamesNeverWriteOutsideTheFolder()
    {
        QFETCH(QByteArray, name);
        QFETCH(QString, storedAs);
        for (const int size : {5, 2 << 20}) { // in memory, and spooled to a file
            QCOMPARE(SendRaw(name, Bytes(size, 9)), !storedAs.isEmpty());
            WaitReceiverIdle();
        }
        QStringList outside = FilesBeneath(pair->root.path());
        outside.removeIf(
            [](const QString& f) { return f.startsWith("in/") || f.endsWith(".lst"); });
        QCOMPARE(outside, QStringList());
        if (storedAs.isEmpty()) {
            QCOMPARE(FilesBeneath(pair->folderB), QStringList());
            QCOMPARE(pair->b->lstFilesReceived->count(), 0);
            QVERIFY2(pair->b->lblCom->text().startsWith("Refused a file from 127.0.0.1: "),
                     qPrintable(pair->b->lblCom->text()));
        } else {
            const QString second = storedAs + " (1)";
            QCOMPARE(FilesBeneath(pair->folderB), (QStringList{storedAs, second}));
            QCOMPARE(ReadAll(pair->InB(second)), Bytes(2 << 20, 9));
            QCOMPARE(pair->b->Entries(), (QStringList{pair->InB(storedAs), pair->InB(second)}));
        }
        QVERIFY(ui().Texts("error").isEmpty());
    }

    void aPlantedLinkIsNeitherFollowedNorReplaced()
    {
        const QString victim = pair->MakeFile("victim.txt", "precious");
        QVERIFY(QFile::link(victim, pair->InB("link.txt")));
        int n = 0;
        for (const int size : {5, 2 << 20}) {
            QVERIFY(SendRaw("link.txt", Bytes(size, 3)));
            WaitReceiverIdle();
            QCOMPARE(ReadAll(victim), QByteArray("precious"));
            QVERIFY(QFileInfo(pair->InB("link.txt")).isSymLink());
            QCOMPARE(ReadAll(pair->InB(QString("link (%1).txt").arg(++n))), Bytes(size, 3));
        }
    }

    void shortBodyIsNeitherStoredNorListed()
    {
        QVERIFY(SendRaw("keep.txt", "the old file"));
        QVERIFY(pair->WaitForEntries(1));
        WaitReceiverIdle();
        for (const int announced : {100, 3 << 20}) {
            TRawTcpClient peer(pair->b->StrmRec1->LocalPort());
            QVERIFY(peer.IsConnected());
            QVERIFY(peer.Send(TStrmFraming::NameHeader("keep.txt") +
                              TStrmFraming::BodyLength(announced) + Bytes(announced / 2, 1)));
            peer.Close();
            WaitReceiverIdle();
        }
        // Told on the status line, counted per sender; the receiver may not have taken the last
        // connection yet when it looked idle.
        QTRY_COMPARE(pair->b->lblCom->text(), QString("2 files from 127.0.0.1 were cut short"));
        WaitReceiverIdle();
        QVERIFY(ui().shown.isEmpty());
        QCOMPARE(pair->b->lstFilesReceived->count(), 1);
        QCOMPARE(ReadAll(pair->InB("keep.txt")), QByteArray("the old file"));
        // A lost body's spool file goes on a worker, after the connection has ended.
        QTRY_COMPARE(FilesBeneath(pair->folderB), QStringList{"keep.txt"});
    }

    void bodyThatCannotBeSpooledIsReported()
    {
        // A folder that takes no files (not even root's): spooling fails while the body
        // arrives.
        pair->b->DiskSpace = [](const QString&) {
            return std::optional(TfrmTransfer::TDiskSpace{qint64(1) << 40, qint64(1) << 41});
        };
        pair->b->StrmRec1->SpoolFolderNow = [] { return QStringLiteral("/proc"); };
        // The receiver closes at once after the failure, which may reset the sender mid-body.
        QVERIFY(!SendRaw("big.bin", Bytes(2 << 20, 4)));
        WaitReceiverIdle();
        QTRY_VERIFY2(pair->b->lblCom->text().startsWith("A file from 127.0.0.1 was cut short"),
                     qPrintable(pair->b->lblCom->text()));
        QVERIFY(ui().shown.isEmpty());
        QCOMPARE(pair->b->lstFilesReceived->count(), 0);
    }

    void withoutAReceiveFolderNothingIsReceived()
    {
        pair->folderB = pair->root.filePath("nowhere");
        pair->b->ReceiveFolderChanged();
        const QStringList spoolsBefore = QDir::temp().entryList({"parlavue-*.spool"});
        QVERIFY(!SendRaw("a.txt", Bytes(3 << 20, 1)));
        WaitReceiverIdle();
        QTRY_COMPARE(pair->b->lblCom->text(),
                     QString("Refused a file from 127.0.0.1: no receive folder"));
        QVERIFY(ui().shown.isEmpty());
        QCOMPARE(pair->b->lstFilesReceived->count(), 0);
        QCOMPARE(QDir::temp().entryList({"parlavue-*.spool"}), spoolsBefore);

        // A folder's spool files that an earlier run left go when it becomes the receive folder;
        // the user's own files stay.
        QDir(pair->root.path()).mkpath("later");
        pair->folderB = pair->root.filePath("later");
        QFile stale(pair->InB("parlavue-Ab12Cd.spool"));
        QVERIFY(stale.open(QIODevice::WriteOnly));
        stale.close();
        pair->MakeFile("keep.spool", "mine");
        QVERIFY(QFile::copy(pair->root.filePath("out/keep.spool"), pair->InB("keep.spool")));
        pair->b->ReceiveFolderChanged();
        QCOMPARE(FilesBeneath(pair->folderB), QStringList{"keep.spool"});
    }

    void aReceiveFolderJustChosenAppliesToTheNextFile()
    {
        // Chosen without a word to the portal (as a settings change is told only later).
        for (int i = 0; i < 10; ++i) {
            const QString name = QString("next%1").arg(i);
            QVERIFY(QDir(pair->root.path()).mkpath(name));
            pair->folderB = pair->root.filePath(name);
            QVERIFY(SendRaw("file.txt", "here"));
            WaitReceiverIdle();
            QCOMPARE(FilesBeneath(pair->folderB), QStringList{"file.txt"});
        }
    }

    void incomingContactShowsTheHiddenPortalWithoutAModalLoop()
    {
        // While its user is in a call or typing, a contact does not bring the portal up.
        pair->userBusy = true;
        pair->b->hide();
        QVERIFY(SendRaw("busy.txt", "hi"));
        QVERIFY(pair->WaitForEntries(1));
        QTest::qWait(50);
        QVERIFY(!pair->b->isVisible());
        pair->userBusy = false;
        QVERIFY(SendRaw("hello.txt", "hi"));
        QVERIFY(QTest::qWaitFor([&] { return pair->b->isVisible(); }, 5000));
        QVERIFY(!pair->b->isModal());
        QVERIFY(QApplication::activeModalWidget() == nullptr);
        QCOMPARE(pair->hostB, QStringLiteral("127.0.0.1"));
        QVERIFY(pair->WaitForEntries(2));
        pair->b->close();
    }

    void incomingDotsCycle()
    {
        TfrmTransfer& b = *pair->b;
        b.lblCom->setText("Incoming...");
        QStringList seen;
        for (int i = 0; i < 10; ++i) {
            b.Timer2Timer();
            seen << b.lblCom->text();
        }
        QStringList expected;
        for (int dots = 4; dots <= 11; ++dots)
            expected << "Incoming" + QString(dots, '.');
        expected << "Incoming"
                 << "Incoming.";
        QCOMPARE(seen, expected);
    }

    void clearAndDelete()
    {
        TfrmTransfer& b = *pair->b;
        b.btnDeleteClick();
        QCOMPARE(ui().Texts("information"), QStringList{"Please make a selection first."});
        QVERIFY(ui().Texts("confirm").isEmpty());
        const QString kept = pair->MakeFile("kept.txt", "k");
        const QString doomed = pair->MakeFile("doomed.txt", "d");
        const QString gone = pair->root.filePath("out/gone.txt");
        b.lstFilesReceived->addItems({kept, doomed, gone});
        Select(b.lstFilesReceived, {1, 2});
        ui().confirmAnswers = {false};
        b.btnDeleteClick();
        QCOMPARE(b.lstFilesReceived->count(), 3);
        QVERIFY(QFile::exists(doomed));
        ui().confirmAnswers = {true};
        b.btnDeleteClick();
        QCOMPARE(ui().Texts("confirm"), QStringList(2, "Delete Selected File(s)?"));
        QCOMPARE(b.Entries(), QStringList{kept});
        QVERIFY(!QFile::exists(doomed));
        QVERIFY(QFile::exists(kept));
        b.btnClearClick();
        QCOMPARE(b.lstFilesReceived->count(), 0);
        QVERIFY(QFile::exists(kept)); // no file is touched
    }

    void moveWithOverwriteDeclined()
    {
        TfrmTransfer& b = *pair->b;
        QDir(pair->root.path()).mkpath("target");
        const QString target = pair->root.filePath("target");
        const QString first = pair->MakeFile("first.txt", "1");
        const QString second = pair->MakeFile("second.txt", "2");
        QFile t(target + "/second.txt");
        QVERIFY(t.open(QIODevice::WriteOnly) && t.write("theirs") == 6);
        t.close();
        b.lstFilesReceived->addItems({first, second});
        Select(b.lstFilesReceived, {0, 1});
        ui().confirmAnswers = {true, false};
        ui().folderAnswers.push_back(target);
        b.btnMoveClick();
        QCOMPARE(ui().Texts("confirm"),
                 (QStringList{"Move Selected File(s)?", "File already exists. Overwrite File?"}));
        QCOMPARE(std::count_if(ui().shown.begin(), ui().shown.end(),
                               [](const TScriptedUi::Shown& s) { return s.detail == "warning"; }),
                 1);
        QCOMPARE(ui().Texts("folder"), QStringList{"Move File or Document to Selected Folder"});
        QCOMPARE(ui().Texts("information"), (QStringList{"File has been moved succesfully.",
                                                         "Selected file move cancelled."}));
        QCOMPARE(b.Entries(), (QStringList{target + "/first.txt", second}));
        QVERIFY(b.lstFilesReceived->selectedItems().isEmpty());
        QCOMPARE(ReadAll(target + "/first.txt"), QByteArray("1"));
        QVERIFY(!QFile::exists(first));
        QCOMPARE(ReadAll(target + "/second.txt"), QByteArray("theirs"));
    }

    void moveWithOverwriteAcceptedAndTheRefusals()
    {
        TfrmTransfer& b = *pair->b;
        b.btnMoveClick(); // nothing selected
        QCOMPARE(ui().Texts("information"), QStringList{"Please make a selection first."});
        QDir(pair->root.path()).mkpath("target");
        const QString target = pair->root.filePath("target");
        const QString mine = pair->MakeFile("doc.txt", "mine");
        QFile t(target + "/doc.txt");
        QVERIFY(t.open(QIODevice::WriteOnly) && t.write("theirs") == 6);
        t.close();
        b.lstFilesReceived->addItems({mine, pair->root.filePath("out/vanished.txt")});
        Select(b.lstFilesReceived, {0});
        ui().confirmAnswers = {false}; // "Move Selected File(s)?" answered No
        b.btnMoveClick();
        QVERIFY(ui().Texts("folder").isEmpty());
        ui().confirmAnswers = {true}; // the folder dialog is cancelled
        b.btnMoveClick();
        QCOMPARE(b.Entries().first(), mine);
        Select(b.lstFilesReceived, {0, 1});
        ui().confirmAnswers = {true, true};
        ui().folderAnswers.push_back(target);
        b.btnMoveClick();
        QCOMPARE(ReadAll(target + "/doc.txt"), QByteArray("mine"));
        QVERIFY(!QFile::exists(mine));
        QCOMPARE(b.Entries().first(), target + "/doc.txt");
        // A file that is gone is reported and keeps its entry; the loop went on past it.
        QCOMPARE(ui().Texts("error").size(), 1);
        QVERIFY(ui().Texts("error").first().contains("vanished.txt"));
        QCOMPARE(b.Entries().last(), pair->root.filePath("out/vanished.txt"));
    }

    void doubleClickOpensOrSaysGone()
    {
        TfrmTransfer& b = *pair->b;
        QList<QUrl> opened;
        b.OpenDocument = [&](const QUrl& url) {
            opened << url;
            return true;
        };
        b.lstFilesReceivedDblClick(); // no current entry: nothing at all
        QVERIFY(opened.isEmpty() && ui().shown.isEmpty());
        const QString there = pair->MakeFile("there.rtf", "{\\rtf1}");
        b.lstFilesReceived->addItems({there, pair->root.filePath("out/not-there.rtf")});
        b.lstFilesReceived->setCurrentRow(0);
        b.lstFilesReceivedDblClick();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(there)});
        b.lstFilesReceived->setCurrentRow(1);
        b.lstFilesReceivedDblClick();
        QCOMPARE(ui().Texts("information"), QStringList{"File has been moved or deleted."});
        QCOMPARE(opened.size(), 1);
    }

    void listFileIsReadWithAnyLineEndAndSurvivesARestart()
    {
        const QString listFile = pair->b->ListFile;
        pair->b.reset(); // an ending portal writes its list
        QFile f(listFile);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("/r/one\n\n/r/two\r/r/three\r\n/r/four");
        f.close();
        pair->RestartB();
        const QStringList expected{"/r/one", "", "/r/two", "/r/three", "/r/four"};
        QCOMPARE(pair->b->Entries(), expected);
        pair->b->close(); // closing writes it (in the background), with CR LF
        pair->b->FlushList();
        QCOMPARE(ReadAll(pair->b->ListFile),
                 QByteArray("/r/one\r\n\r\n/r/two\r\n/r/three\r\n/r/four\r\n"));
        pair->b->show();
        QVERIFY(SendRaw("new.txt", "n"));
        QVERIFY(pair->WaitForEntries(6));
        WaitReceiverIdle();
        pair->RestartB(); // without closing the portal first
        QCOMPARE(pair->b->Entries(), expected + QStringList{pair->InB("new.txt")});
    }

    void unreadableListFileIsReported()
    {
        QVERIFY(QDir().mkpath(pair->b->ListFile + ".d"));
        TPortalHost host;
        TfrmTransfer portal(host, 0, nullptr, pair->b->ListFile + ".d");
        QCOMPARE(ui().Texts("error").size(), 1);
        QCOMPARE(portal.lstFilesReceived->count(), 0);
    }

    void selectedRowIsDrawnInGold()
    {
        TfrmTransfer& b = *pair->b;
        b.lstFilesReceived->addItems({"/a/selected", "/a/plain"});
        Select(b.lstFilesReceived, {0});
        b.show();
        QVERIFY(QTest::qWaitForWindowExposed(&b));
        const QImage shot = b.lstFilesReceived->viewport()->grab().toImage();
        const QRect row0 = b.lstFilesReceived->visualItemRect(b.lstFilesReceived->item(0));
        const QRect row1 = b.lstFilesReceived->visualItemRect(b.lstFilesReceived->item(1));
        QCOMPARE(row0.height(), 21);
        const QColor top = shot.pixelColor(row0.right() - 20, row0.top() + 3);
        const QColor bottom = shot.pixelColor(row0.right() - 20, row0.bottom() - 2);
        QCOMPARE(top, QColor(0xFF, 0xF5, 0xDD));
        QVERIFY2(qAbs(bottom.green() - 0xD2) < 16 && qAbs(bottom.blue() - 0x5E) < 30,
                 qPrintable(bottom.name()));
        QCOMPARE(shot.pixelColor(row1.right() - 20, row1.center().y()), QColor(Qt::white));
    }

    void droppedFilesAreSent()
    {
        const QString dropped = pair->MakeFile("dropped.txt", "by mouse");
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(dropped)});
        QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QCoreApplication::sendEvent(pair->a.get(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(pair->a.get(), &drop);
        QVERIFY(pair->WaitForEntries(1));
        QCOMPARE(ReadAll(pair->InB("dropped.txt")), QByteArray("by mouse"));
        QVERIFY(QTest::qWaitFor([&] { return !ui().Texts("information").isEmpty(); }, 5000));
        QCOMPARE(ui().Texts("information"), QStringList{TfrmTransfer::SuccessText()});
    }

    void invalidHostAsksForAnother()
    {
        const QString one = pair->MakeFile("asked.txt", "a");
        pair->hostA = "no-such-host.invalid";
        ui().inputAnswers.push_back(QStringLiteral("127.0.0.1"));
        pair->a->SelectAndSendFiles(QStringList{one});
        QVERIFY(pair->WaitForSendEnd());
        QCOMPARE(ui().Texts("input"), QStringList{"Invalid Host!|Specify a new host:"});
        QCOMPARE(ui().Texts("information"), QStringList{TfrmTransfer::SuccessText()});
        QVERIFY(pair->WaitForEntries(1));
    }
};

PARLAVUE_GUI_TEST_MAIN(TransferPortalTest)
#include "tst_TransferPortal.moc"
