#include "contacts/IContactBook.h"
#include "contacts/TfrmExport.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "platform/peers/fake/TFakePeerBrowser.h"
#include "platform/ui/TApplication.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TBusyWheel.h"
#include "widgets/THeadingPanel.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace {
const QString Provider = QStringLiteral("DNS-SD");

TPeer Peer(const QString& host, const QString& name, bool copy = false, QString key = {})
{
    return {key.isEmpty() ? host : key, name, host, Provider, copy, {}, {}};
}
} // namespace

class NetworkClientsTest : public TWindowTest, public IContactBook
{
    Q_OBJECT

    std::shared_ptr<TFakePeerBrowser> net;
    std::unique_ptr<TfrmNetworkClients> form;
    QStringList book;
    QList<QPair<QString, QString>> added;

    QStringList Lines() const override { return book; }
    void AddContact(const QString& name, const QString& host) override
    {
        added.append({name, host});
        book << name + " <" + host + ">";
    }

    QStringList Rows() const
    {
        QStringList lines;
        for (int i = 0; i < form->ListBox1->count(); ++i)
            lines << form->ListBox1->item(i)->text();
        return lines;
    }
    QStringList Hosts() const
    {
        return Rows()
            .filter("Host Name and Connection Path: ")
            .replaceInStrings("Host Name and Connection Path: \\\\", "");
    }

private slots:
    void init()
    {
        TWindowTest::init();
        net = std::make_shared<TFakePeerBrowser>();
        net->Add(Peer("ALPHA", "Front desk"));
        net->Add(Peer("BETA", "Kitchen"));
        form = std::make_unique<TfrmNetworkClients>(net, this);
        book.clear();
        added.clear();
    }
    void cleanup()
    {
        form.reset();
        net.reset();
        TWindowTest::cleanup();
    }

    void rowsComeAsTheNetworkAnswersAndTheProgressWindowWaitsForTheFirstAnswers()
    {
        net->answerOnStart = false;
        form->show();
        form->SearchNetwork();
        QVERIFY(form->IsSearching() && net->IsBrowsing());
        QVERIFY(form->frmExport->isVisible());
        // A computer the daemon tells of is listed at once, before all are in.
        net->Add(Peer("GAMMA", "Lab"));
        QCOMPARE(Hosts(), QStringList({"GAMMA"}));
        QVERIFY(form->frmExport->isVisible());
        net->Answer();
        QVERIFY(!form->IsSearching());
        QVERIFY(!form->frmExport->isVisible());
        QCOMPARE(Hosts(), QStringList({"GAMMA", "ALPHA", "BETA"}));
        QVERIFY(net->IsBrowsing()); // it goes on watching while the window is open
    }

    void aComputerThatGoesLeavesTheOpenWindowAndOneThatChangesStaysInPlace()
    {
        form->show();
        form->FormShow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);
        QCOMPARE(Hosts(), QStringList({"ALPHA", "BETA"}));
        net->Add(Peer("GAMMA", "Lab"));
        net->Remove("ALPHA");
        QCOMPARE(Hosts(), QStringList({"BETA", "GAMMA"}));
        QCOMPARE(Rows().size(), 8);
        QCOMPARE(Rows().at(0), QString("Computer Name: Kitchen"));
        // A workstation that starts this program is shown by its caller ID where it stood.
        net->Change(Peer("BETA", "Bert", true));
        QCOMPARE(Rows().at(0), QString("Computer Name: Bert"));
        QCOMPARE(form->ListBox1->item(0)->data(TfrmNetworkClients::ProgramCopyRole).toBool(), true);
        QCOMPARE(form->ListBox1->item(1)->foreground().color(),
                 TfrmNetworkClients::ProgramCopyColor);
        net->Change(Peer("BETA", "Kitchen", false));
        QVERIFY(form->ListBox1->item(1)->foreground().style() == Qt::NoBrush ||
                form->ListBox1->item(1)->foreground().color() !=
                    TfrmNetworkClients::ProgramCopyColor);
        QVERIFY(form->ListBox1->item(0)->toolTip().isEmpty());
        net->Remove("BETA");
        net->Remove("GAMMA");
        QVERIFY(Rows().isEmpty());
        // A goodbye for a computer never listed changes nothing.
        emit net->Gone("nobody");
        QVERIFY(Rows().isEmpty());
    }

    void refreshDuringABrowseNeverListsAComputerTwice()
    {
        form->show();
        form->FormShow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);
        QCOMPARE(Hosts(), QStringList({"ALPHA", "BETA"}));
        QCOMPARE(net->starts, 2);

        // Restarted while the first answers are still coming in.
        net->answerOnStart = false;
        form->SpeedButton1Click();
        net->Add(Peer("DELTA", "Late"));
        QCOMPARE(Hosts(), QStringList({"DELTA"}));
        form->SpeedButton1Click();
        net->Answer();
        QCOMPARE(Hosts(), QStringList({"ALPHA", "BETA", "DELTA"}));
        // A browser that tells of a computer again does not make it listed twice.
        emit net->Appeared(Peer("ALPHA", "Front desk"));
        QCOMPARE(Rows().size(), 12);
    }

    void closingTheWindowDuringABrowseEndsItSafely()
    {
        net->answerOnStart = false;
        form->show();
        form->SearchNetwork();
        QVERIFY(net->IsBrowsing());
        form->reject();
        QVERIFY(!net->IsBrowsing());
        QVERIFY(!form->frmExport->isVisible());
        QVERIFY(!form->IsSearching());

        // The window may go while the browse runs; a late answer then reaches nobody.
        form->SearchNetwork();
        QVERIFY(net->IsBrowsing());
        form.reset();
        QVERIFY(!net->IsBrowsing());
        emit net->Appeared(Peer("LATE", "Late"));
        emit net->AllForNow();
    }

    void windowsAndControlsStandAsDrawn()
    {
        QCOMPARE(form->windowTitle(), QString("Online Network Clients"));
        QCOMPARE(form->size(), QSize(655, 375));
        QCOMPARE(form->RoundPanel1->geometry(), form->rect());
        QCOMPARE(form->RoundPanel1->Heading(),
                 QString("Network clients that are currently online:"));
        QCOMPARE(form->RoundPanel1->font().pixelSize(), 21);
        QCOMPARE(form->SpeedButton1->geometry(), QRect(536, 10, 23, 22));
        QCOMPARE(form->SpeedButton1->toolTip(), QString("Refresh List"));
        QCOMPARE(form->ListBox1->geometry(), QRect(16, 40, 623, 289));
        QCOMPARE(form->ListBox1->frameShape(), QFrame::NoFrame);
        QCOMPARE(form->ListBox1->font().pixelSize(), 16);
        QVERIFY(form->ListBox1->font().bold());
        QCOMPARE(form->btnAdd->geometry(), QRect(24, 336, 137, 25));
        QCOMPARE(form->btnAdd->text(), QString("Add Host Names To List"));
        QCOMPARE(form->findChild<QPushButton*>("btnAdd"), form->btnAdd);

        TfrmExport* progress = form->frmExport;
        QCOMPARE(progress->windowTitle(), QString("Searching For Network Clients..."));
        QCOMPARE(progress->size(), QSize(306, 125));
        QVERIFY(progress->windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(progress->BusyAnimator1->geometry(), QRect(136, 16, 32, 32));
        QCOMPARE(progress->lblStatus->geometry(), QRect(8, 64, 289, 49));
        QCOMPARE(progress->lblStatus->text(), QString("Searching..."));
        QVERIFY(progress->lblStatus->font().italic() && progress->lblStatus->font().bold());
        QVERIFY(progress->lblStatus->wordWrap());
        QVERIFY(!progress->isVisible());
    }

    void openingListsTheComputersFound()
    {
        // The window runs its own event loop, so it is closed once its list is in.
        QStringList seenOpen;
        QTimer poll;
        int ticks = 0;
        connect(&poll, &QTimer::timeout, form.get(), [&] {
            if ((form->isVisible() && !form->IsSearching()) || ++ticks > 500) {
                poll.stop();
                seenOpen = Rows();
                form->reject();
            }
        });
        poll.start(10);
        const int result = form->Execute();
        QCOMPARE(result, int(QDialog::Rejected));
        QVERIFY(ticks <= 500);
        const QStringList expected = {
            "Computer Name: Front desk",     "Host Name and Connection Path: \\\\ALPHA",
            "Network Provider: " + Provider, "",
            "Computer Name: Kitchen",        "Host Name and Connection Path: \\\\BETA",
            "Network Provider: " + Provider, ""};
        QCOMPARE(seenOpen, expected);
        QCOMPARE(form->ListBox1->item(0)->sizeHint().height(), TfrmNetworkClients::RowHeight);
        QVERIFY(!net->IsBrowsing());
        QVERIFY(script->ui.shown.isEmpty());
    }

    void addingCopiesOnlyHostsTheBookLacksAndCloses()
    {
        net->Add(Peer("GAMMA", "Lab", false, "gamma-1"));
        net->Add(Peer("GAMMA", "Lab", false, "gamma-2")); // one name at two addresses
        net->Add(Peer("alpha", "Other case"));
        net->Add(Peer("QUIET", ""));
        net->Add(Peer("LONG", "A name far longer than twenty-two letters"));
        book = {"Reception <ALPHA>", "Broken line without host", "Swapped >BETA<"};
        form->show();
        form->FormShow();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);
        QCOMPARE(Hosts().filter("GAMMA").size(), 2);

        QTest::mouseClick(form->btnAdd, Qt::LeftButton);

        const QList<QPair<QString, QString>> expected = {
            {"Kitchen", "BETA"},
            {"Lab", "GAMMA"},
            {"Other case", "alpha"},
            {"", "QUIET"},
            {"A name far longer than twenty-two letters", "LONG"}};
        QCOMPARE(added, expected);
        QVERIFY(book.contains(" <QUIET>"));
        QTRY_VERIFY(!form->isVisible());
        QCOMPARE(form->result(), int(QDialog::Accepted));
        QVERIFY(!net->IsBrowsing());
    }

    void addingWhileTheFirstAnswersComeInTakesWhatIsListedAndEndsTheBrowse()
    {
        net->answerOnStart = false;
        form->show();
        form->SearchNetwork();
        net->Add(Peer("GAMMA", "Lab"));
        QTest::mouseClick(form->btnAdd, Qt::LeftButton);
        QCOMPARE(added, (QList<QPair<QString, QString>>{{"Lab", "GAMMA"}}));
        QTRY_VERIFY(!form->isVisible());
        QVERIFY(!net->IsBrowsing());
        QVERIFY(!form->frmExport->isVisible());
    }

    void nothingIsListedWithoutABrowser()
    {
        form = std::make_unique<TfrmNetworkClients>(nullptr, this);
        form->show();
        form->FormShow();
        QVERIFY(Rows().isEmpty());
        QVERIFY(!form->IsSearching());
        QVERIFY(!form->frmExport->isVisible());
        QVERIFY(script->ui.shown.isEmpty());
        QTest::mouseClick(form->btnAdd, Qt::LeftButton);
        QVERIFY(added.isEmpty());
    }

    void namesFromTheNetworkAreListedAsPlainLinesWithoutAngleBrackets()
    {
        const TPeer odd{"odd", QStringLiteral("Eve\r\n<x>\u202E"), QStringLiteral("host<1>"),
                        Provider + QStringLiteral("\u202E<p>"), false, {}, {}};
        net->Add(odd);
        form->show();
        form->FormShow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);

        // Two computers from the start, then this one: still four rows a computer.
        const QStringList lines = Rows();
        QCOMPARE(lines.size(), 12);
        const QStringList mine = lines.mid(8);
        QVERIFY2(mine.at(0).startsWith("Computer Name: Eve"), qPrintable(mine.at(0)));
        QVERIFY2(mine.at(1).startsWith("Host Name and Connection Path: \\\\host"),
                 qPrintable(mine.at(1)));
        QVERIFY2(mine.at(2).startsWith("Network Provider: " + Provider), qPrintable(mine.at(2)));
        QCOMPARE(mine.at(3), QString());
        for (const QString& line : mine) {
            QVERIFY2(!line.contains('<') && !line.contains('>'), qPrintable(line));
            for (const QChar c : line)
                QVERIFY2(c.category() != QChar::Other_Control &&
                             c.category() != QChar::Other_Format &&
                             c.category() != QChar::Separator_Line &&
                             c.category() != QChar::Separator_Paragraph,
                         qPrintable(line + " has U+" + QString::number(c.unicode(), 16)));
        }
        // The brackets stay readable, as look-alikes.
        QVERIFY2(mine.at(0).contains(QString(QChar(0x2039)) + "x" + QChar(0x203A)),
                 qPrintable(mine.at(0)));
        QVERIFY2(mine.at(1).endsWith(QString("host") + QChar(0x2039) + "1" + QChar(0x203A)),
                 qPrintable(mine.at(1)));
        // Its rows are still found by what the browser calls it: it can go again.
        net->Remove("odd");
        QCOMPARE(Rows().size(), 8);
        net->Add(odd);

        QTest::mouseClick(form->btnAdd, Qt::LeftButton);
        const auto it = std::find_if(added.begin(), added.end(),
                                     [](const auto& a) { return a.second.startsWith("host"); });
        QVERIFY(it != added.end());
        const QString name = it->first;
        const QString host = it->second;
        QVERIFY2(name.startsWith("Eve"), qPrintable(name));
        for (const QString& text : {name, host})
            QVERIFY2(!text.contains('<') && !text.contains('>') && !text.contains('\n') &&
                         !text.contains('\r') && !text.contains(QChar(0x202E)),
                     qPrintable(text));
        // The address book line reads back as the host it was made with.
        const QString line = name + " <" + host + ">";
        QCOMPARE(TfrmIP::HostOf(line), host);
        QVERIFY(form->ContactExists(host));
    }

    void programCopiesTakeTheirColourAndMarkOnTheFirstTwoRows()
    {
        net->Change(Peer("BETA", "Kitchen", true));
        form->show();
        form->FormShow();
        QTRY_VERIFY_WITH_TIMEOUT(!form->IsSearching(), 10000);
        QCOMPARE(Rows().size(), 8);
        QCOMPARE(form->ListBox1->item(0)->data(TfrmNetworkClients::ProgramCopyRole).toBool(),
                 false);
        QCOMPARE(form->ListBox1->item(4)->data(TfrmNetworkClients::ProgramCopyRole).toBool(), true);
        QVERIFY(!form->ListBox1->item(5)->data(TfrmNetworkClients::ProgramCopyRole).isValid());
        for (int row = 0; row < 8; ++row) {
            const QListWidgetItem* item = form->ListBox1->item(row);
            const bool marked = row == 4 || row == 5; // Kitchen's computer and host rows
            const QVariant foreground = item->data(Qt::ForegroundRole);
            if (marked) {
                QVERIFY2(foreground.isValid(), qPrintable(item->text()));
                QCOMPARE(foreground.value<QBrush>().color(), TfrmNetworkClients::ProgramCopyColor);
                QVERIFY2(!item->toolTip().isEmpty(), qPrintable(item->text()));
            } else {
                QVERIFY2(!foreground.isValid() || foreground.value<QBrush>().color() !=
                                                      TfrmNetworkClients::ProgramCopyColor,
                         qPrintable(item->text()));
                QVERIFY2(item->toolTip().isEmpty(), qPrintable(item->text()));
            }
        }
    }

    void theBusyWheelTurnsWhileShown()
    {
        QList<QImage> frames;
        for (int i = 0; i < TBusyWheel::FrameCount; ++i)
            frames << TBusyWheel::FrameImage(i, QSize(32, 32));
        for (int i = 0; i < frames.size(); ++i)
            QVERIFY2(frames[i] != frames[(i + 1) % frames.size()], qPrintable(QString::number(i)));
        QCOMPARE(TBusyWheel::FrameImage(TBusyWheel::FrameCount, QSize(32, 32)), frames[0]);
        // Turning by one frame is turning the picture by a twelfth, clockwise: the darkest spoke
        // moves from twelve o'clock to one o'clock.
        auto darkest = [](const QImage& img) {
            QPoint at;
            int low = 256;
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    if (qGray(img.pixel(x, y)) < low) {
                        low = qGray(img.pixel(x, y));
                        at = {x, y};
                    }
            return at;
        };
        QVERIFY(darkest(frames[0]).y() < 16 && std::abs(darkest(frames[0]).x() - 16) <= 2);
        QVERIFY(darkest(frames[1]).x() > 16 && darkest(frames[1]).y() < 16);

        TBusyWheel* wheel = form->frmExport->BusyAnimator1;
        QVERIFY(!wheel->IsTurning());
        form->frmExport->show();
        QVERIFY(wheel->IsTurning());
        const int first = wheel->Frame();
        QTRY_VERIFY_WITH_TIMEOUT(wheel->Frame() != first, 1000);
        QTRY_VERIFY_WITH_TIMEOUT(wheel->Frame() == (first + 3) % TBusyWheel::FrameCount, 2000);
        form->frmExport->hide();
        QVERIFY(!wheel->IsTurning());
    }
};

PARLAVUE_GUI_TEST_MAIN(NetworkClientsTest)
#include "tst_NetworkClients.moc"
