#include "contacts/TfrmExport.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "platform/netenum/fake/TFakeNetResourceProvider.h"
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
const QString Provider = QStringLiteral("Microsoft Windows Network");

// Passes every call on and notes how the windows stand while the platform is busy.
class TWatchingProvider : public INetResourceProvider
{
public:
    TWatchingProvider(INetResourceProvider& inner) : inner_(inner) {}
    TfrmNetworkClients* form = nullptr;
    QList<bool> progressShown;
    QList<bool> listPainting;
    QList<bool> refreshEnabled;

    TNetOpenResult Open(TNetScope scope, TNetResourceType type, std::uint32_t usage,
                        const std::optional<TNetResource>& container) override
    {
        return inner_.Open(scope, type, usage, container);
    }
    TNetReadResult Read(TNetEnumHandle handle, std::uint32_t count, std::size_t size) override
    {
        progressShown << form->frmExport->isVisible();
        listPainting << form->ListBox1->updatesEnabled();
        refreshEnabled << form->SpeedButton1->isEnabled();
        return inner_.Read(handle, count, size);
    }
    int Close(TNetEnumHandle handle) override { return inner_.Close(handle); }
    // With defer set, the network answers only when the test calls pending.
    void Prepare(std::function<void()> ready) override
    {
        if (defer)
            pending = std::move(ready);
        else
            ready();
    }
    bool defer = false;
    std::function<void()> pending;

private:
    INetResourceProvider& inner_;
};
} // namespace

class NetworkClientsTest : public TWindowTest
{
    Q_OBJECT

    TFakeNetResourceProvider net;
    std::shared_ptr<TWatchingProvider> watch;
    std::unique_ptr<TfrmNetworkClients> form;
    QStringList book;
    QList<QPair<QString, QString>> added;

    QStringList Lines() const
    {
        QStringList lines;
        for (int i = 0; i < form->ListBox1->count(); ++i)
            lines << form->ListBox1->item(i)->text();
        return lines;
    }

private slots:
    void init()
    {
        TWindowTest::init();
        net = TFakeNetResourceProvider();
        const auto network = net.AddNetwork(net.Root, Provider);
        const auto office = net.AddDomain(network, "OFFICE", Provider);
        const auto alpha = net.AddServer(office, "ALPHA", "Front desk", Provider);
        net.AddShare(alpha, "public");
        net.AddServer(office, "BETA", "Kitchen", Provider);
        watch = std::make_shared<TWatchingProvider>(net);
        form = std::make_unique<TfrmNetworkClients>(watch);
        watch->form = form.get();
        book.clear();
        added.clear();
        form->BookLines = [this] { return book; };
        form->AddContact = [this](const QString& name, const QString& host) {
            added.append({name, host});
            book << name + " <" + host + ">";
        };
    }
    void cleanup()
    {
        form.reset();
        watch.reset();
        TWindowTest::cleanup();
    }

    void theWindowRunsWhileTheNetworkIsLookedAtAndFillsWhenItAnswers()
    {
        watch->defer = true;
        form->SearchNetwork();
        QVERIFY(form->IsSearching());
        QVERIFY(form->frmExport->isVisible());
        QVERIFY(!form->SpeedButton1->isEnabled() && !form->btnAdd->isEnabled());
        QVERIFY(watch->pending);
        std::exchange(watch->pending, nullptr)();
        QVERIFY(!form->IsSearching());
        QVERIFY(!form->frmExport->isVisible());
        QVERIFY(form->SpeedButton1->isEnabled() && form->btnAdd->isEnabled());
        QCOMPARE(Lines().filter("Computer Name: ").size(), 2);

        // The window may go before the network answers.
        form->SearchNetwork();
        const std::function<void()> late = std::exchange(watch->pending, nullptr);
        QVERIFY(late);
        watch->form = nullptr;
        form.reset();
        late();
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
        // The search runs the event loop too, so the window is closed once it is up.
        QStringList seenOpen;
        QTimer poll;
        int ticks = 0;
        connect(&poll, &QTimer::timeout, form.get(), [&] {
            if (form->isVisible() || ++ticks > 500) {
                poll.stop();
                seenOpen = Lines();
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
        QVERIFY(net.OpenLevels().isEmpty());
        QVERIFY(script->ui.shown.isEmpty());
    }

    void theProgressWindowShowsWhileTheListIsFilledUnseen()
    {
        form->show();
        form->FormShow();
        QVERIFY(!watch->progressShown.isEmpty());
        QVERIFY(!watch->progressShown.contains(false));
        QVERIFY(!watch->listPainting.contains(true));
        QVERIFY(!watch->refreshEnabled.contains(true));
        QVERIFY(!form->frmExport->isVisible());
        QVERIFY(form->ListBox1->updatesEnabled());
        QVERIFY(form->SpeedButton1->isEnabled() && form->btnAdd->isEnabled());
        QVERIFY(!form->IsSearching());
    }

    void refreshClearsTheListBeforeSearchingAgain()
    {
        form->show();
        form->FormShow();
        QCOMPARE(Lines().size(), 8);
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QCOMPARE(Lines().size(), 8);
        QCOMPARE(Lines().filter("\\\\ALPHA").size(), 1);
        // What the neighbourhood reports now is what the list shows.
        net.AddServer(net.Root, "DELTA", "Late", Provider);
        QTest::mouseClick(form->SpeedButton1, Qt::LeftButton);
        QCOMPARE(Lines().size(), 12);
        QCOMPARE(Lines().at(9), QString("Host Name and Connection Path: \\\\DELTA"));
        QCOMPARE(net.Closes, net.SuccessfulOpens);
    }

    void addingCopiesOnlyHostsTheBookLacksAndCloses()
    {
        const auto lab = net.AddDomain(net.Root, "LAB", Provider);
        const auto gamma = net.AddServer(lab, "GAMMA", "Lab", Provider);
        net.AddAgain(lab, gamma); // reported twice in one search
        net.AddServer(lab, "alpha", "Other case", Provider);
        net.AddServer(lab, "QUIET", "", Provider);
        net.AddServer(lab, "LONG", "A name far longer than twenty-two letters", Provider);
        book = {"Reception <ALPHA>", "Broken line without host", "Swapped >BETA<"};
        form->show();
        form->FormShow();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
        QCOMPARE(Lines().filter("\\\\GAMMA").size(), 2);

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
    }

    void nothingIsListedWhenTheNeighbourhoodCannotBeOpened()
    {
        net.FailOpen(net.Root, NetError::NoNetwork);
        form->show();
        form->FormShow();
        QVERIFY(Lines().isEmpty());
        QVERIFY(script->ui.shown.isEmpty());
        QVERIFY(!form->frmExport->isVisible());
        QTest::mouseClick(form->btnAdd, Qt::LeftButton);
        QVERIFY(added.isEmpty());
    }

    void computerRowsCarryTheProgramCopyMark()
    {
        form->IsProgramCopy = [](const TNetResource& e) { return e.comment == "Kitchen"; };
        form->FormShow();
        QCOMPARE(form->ListBox1->item(0)->data(TfrmNetworkClients::ProgramCopyRole).toBool(),
                 false);
        QCOMPARE(form->ListBox1->item(4)->data(TfrmNetworkClients::ProgramCopyRole).toBool(), true);
        QVERIFY(!form->ListBox1->item(5)->data(TfrmNetworkClients::ProgramCopyRole).isValid());
    }

    void namesFromTheNetworkAreListedAsPlainLinesWithoutAngleBrackets()
    {
        TNetResource odd;
        odd.displayType = TNetDisplayType::Server;
        odd.usage = NetUsage::Container;
        odd.remoteName = QStringLiteral("\\\\host<1>");
        odd.comment = QStringLiteral("Eve\r\n<x>\u202E");
        odd.provider = Provider + QStringLiteral("\u202E<p>");
        net.Add(net.Root, odd);
        QList<TNetResource> asked;
        form->IsProgramCopy = [&](const TNetResource& e) {
            asked << e;
            return false;
        };
        form->show();
        form->FormShow();

        // Two computers from the tree's start, then this one: still four rows an entry.
        const QStringList lines = Lines();
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
        // The hook judges what the network said, not what is shown.
        QVERIFY(std::any_of(asked.begin(), asked.end(), [&](const TNetResource& e) {
            return e.comment == odd.comment && e.remoteName == odd.remoteName;
        }));

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

    void programCopiesTakeTheirColourOnTheFirstTwoRows()
    {
        form->IsProgramCopy = [](const TNetResource& e) { return e.comment == "Kitchen"; };
        form->show();
        form->FormShow();
        QCOMPARE(Lines().size(), 8);
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
        // Without the hook nobody is marked.
        form->IsProgramCopy = nullptr;
        form->FormShow();
        QCOMPARE(Lines().size(), 8);
        for (int row = 0; row < form->ListBox1->count(); ++row) {
            const QBrush brush = form->ListBox1->item(row)->foreground();
            QVERIFY(brush.style() == Qt::NoBrush ||
                    brush.color() != TfrmNetworkClients::ProgramCopyColor);
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
