#include "app/TDesktopNotices.h"
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/IDatagramSender.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "platform/notify/TDesktopNotifications.h"
#include "platform/ui/TApplication.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeNotificationService.h"
#include "tests/support/TFakeVoiceLink.h"
#include "tests/support/TPortalPair.h"
#include "tests/support/TPrivateSessionBus.h"
#include "tests/support/TWindowTest.h"
#include "transfer/TStrmServer.h"

#include <QDBusMessage>
#include <QListWidget>
#include <QTemporaryDir>
#include <QTest>
#include <chrono>

namespace {

const QStringList FullService = {"actions", "body", "body-markup"};

// What the call logic sends, kept instead of going anywhere.
class KeptSender : public IDatagramSender
{
public:
    QStringList sent;
    void SendTo(const QByteArray& payload, const QHostAddress& to) override
    {
        sent << QString("%1 -> %2").arg(QString::fromUtf8(payload), to.toString());
    }
};

QDBusConnection Connect(const QString& address, const QString& name)
{
    QDBusConnection::disconnectFromBus(name);
    return QDBusConnection::connectToBus(address, name);
}

int OpenNotices(const TFakeNotificationService& fake)
{
    return int(std::count_if(fake.notices.begin(), fake.notices.end(),
                             [](const auto& n) { return !n.closed; }));
}

} // namespace

class DesktopNoticesTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPrivateSessionBus> bus;

    QString Address() const { return bus->Address(); }

    TNotice Simple(const QString& body = "body")
    {
        TNotice notice;
        notice.summary = "Summary";
        notice.body = body;
        notice.actions = {"answer", "Answer", "default", "Show"};
        notice.hints = {{"urgency", QVariant::fromValue(uchar(2))}};
        return notice;
    }

private slots:
    void init()
    {
        bus = std::make_unique<TPrivateSessionBus>();
        if (bus->Address().isEmpty())
            QSKIP(qPrintable("no private session bus: " + bus->Error()));
        TWindowTest::init();
    }

    void cleanup()
    {
        TWindowTest::cleanup();
        bus.reset();
    }

    void noticesReachTheServiceAsPlainText()
    {
        for (const bool markup : {true, false}) {
            TFakeNotificationService fake(Address(),
                                          markup ? FullService : QStringList{"actions", "body"});
            QVERIFY(fake.Registered());
            TDesktopNotifications notifications(Connect(Address(), "client"));
            const QString hostile = "<b>Tom</b> & <a href=\"x\">Jerry</a>";
            const quint64 first = notifications.Show(Simple(hostile));
            notifications.Show(Simple(QString(2000, QChar('x'))));
            QTRY_COMPARE(fake.notices.size(), size_t(2));
            QVERIFY(first != 0 && notifications.IsOpen(first));
            const auto& n = fake.notices.front();
            QCOMPARE(n.summary, QString("Summary"));
            // A service that reads markup sees the text escaped, and one that does not sees it
            // as it is.
            QCOMPARE(n.body, markup ? hostile.toHtmlEscaped() : hostile);
            QCOMPARE(n.actions, QStringList({"answer", "Answer", "default", "Show"}));
            QCOMPARE(n.hints.value("desktop-entry").toString(), QString("com.halvorn.Parlavue"));
            QCOMPARE(n.hints.value("urgency").toInt(), 2);
            QCOMPARE(n.hints.value("urgency").metaType(), QMetaType::fromType<uchar>());
            QCOMPARE(n.appName, QString("Parlavue"));
            QVERIFY(fake.notices.back().body.size() <= TDesktopNotifications::MaxBodyChars + 1);
            QCOMPARE(fake.capabilityQueries, 1);
        }
        // A service without buttons gets none.
        TFakeNotificationService plain(Address(), {"body"});
        TDesktopNotifications notifications(Connect(Address(), "client"));
        notifications.Show(Simple());
        QTRY_COMPARE(plain.notices.size(), size_t(1));
        QVERIFY(plain.notices.front().actions.isEmpty());
    }

    void actionsComeOnlyFromTheServiceAndOnce()
    {
        TFakeNotificationService fake(Address(), FullService);
        QVERIFY(fake.Registered());
        TDesktopNotifications notifications(Connect(Address(), "client"));
        QStringList pressed;
        const quint64 ticket =
            notifications.Show(Simple(), [&](const QString& key) { pressed << key; });
        QTRY_COMPARE(fake.notices.size(), size_t(1));
        const uint id = fake.notices.front().id;
        QTRY_VERIFY(notifications.IsOpen(ticket));
        // Another client on the bus cannot press a button, nor can the service invent one.
        QDBusConnection other = Connect(Address(), "other");
        QDBusMessage forged = QDBusMessage::createSignal(
            "/org/freedesktop/Notifications", "org.freedesktop.Notifications", "ActionInvoked");
        forged << id << QString("answer");
        QVERIFY(other.send(forged));
        fake.InvokeAction(id, "format-disk");
        fake.InvokeAction(id + 1, "answer");
        QTest::qWait(200);
        QVERIFY(pressed.isEmpty());
        fake.InvokeAction(id, "answer");
        fake.InvokeAction(id, "answer");
        QTRY_COMPARE(pressed, QStringList({"answer"}));
        QTest::qWait(100);
        QCOMPARE(pressed, QStringList({"answer"}));
        QVERIFY(!notifications.IsOpen(ticket));
        QTRY_VERIFY(fake.notices.front().closed);
        QDBusConnection::disconnectFromBus("other");
    }

    void closingReachesTheServiceWhateverTheTiming()
    {
        TFakeNotificationService fake(Address(), FullService);
        {
            TDesktopNotifications notifications(Connect(Address(), "client"));
            // Closed once shown.
            const quint64 a = notifications.Show(Simple("a"));
            QTRY_VERIFY(fake.notices.size() == 1);
            QTRY_VERIFY(notifications.IsOpen(a));
            notifications.Close(a);
            QTRY_VERIFY(fake.notices[0].closed);
            // Closed while the service has not yet said its number.
            fake.holdReplies = true;
            const quint64 b = notifications.Show(Simple("b"));
            QTRY_VERIFY(fake.notices.size() == 2);
            notifications.Close(b);
            QVERIFY(!notifications.IsOpen(b));
            fake.ReleaseReplies();
            QTRY_VERIFY(fake.notices[1].closed);
            // Closed by the user: forgotten, and closing it again sends nothing.
            const quint64 c = notifications.Show(Simple("c"));
            QTRY_VERIFY(fake.notices.size() == 3);
            QTRY_VERIFY(notifications.IsOpen(c));
            fake.CloseByUser(fake.notices[2].id);
            QTRY_VERIFY(!notifications.IsOpen(c));
            // Left open at the end.
            notifications.Show(Simple("d"));
            QTRY_VERIFY(fake.notices.size() == 4);
            QTest::qWait(50);
        }
        QTRY_VERIFY(fake.notices[3].closed);
    }

    void withoutAServiceNothingFails()
    {
        {
            TDesktopNotifications notifications(Connect(Address(), "client"));
            const quint64 ticket = notifications.Show(Simple());
            QTRY_VERIFY(!notifications.IsOpen(ticket));
            // A service that comes later is used for the next notice.
            TFakeNotificationService late(Address(), FullService);
            QVERIFY(late.Registered());
            const quint64 next = notifications.Show(Simple("later"));
            QTRY_COMPARE(late.notices.size(), size_t(1));
            QTRY_VERIFY(notifications.IsOpen(next));
            // A service that leaves takes its notices along.
            late.Leave();
            QTRY_VERIFY(!notifications.IsOpen(next));
        }
        // No bus at all.
        TDesktopNotifications none(Connect("unix:path=/nonexistent/bus", "none"));
        const quint64 ticket = none.Show(Simple());
        QVERIFY(ticket != 0);
        QVERIFY(!none.IsOpen(ticket));
        none.Close(ticket);
    }

    void incomingCallShowsOneNoticeAndItsButtonsWork()
    {
        TFakeNotificationService fake(Address(), FullService);
        QVERIFY(fake.Registered());
        std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
        QVERIFY(phone);
        auto terminal = std::make_shared<TFakeVoiceLink>();
        phone->Session().SetVoiceLink(terminal);
        auto sender = std::make_unique<KeptSender>();
        KeptSender* sent = sender.get();
        phone->Session().SetSender(std::move(sender));
        TDesktopNotifications notifications(Connect(Address(), "client"));
        TDesktopNotices notices(notifications, phone->Session(), phone->Window(),
                                phone->Windows().transfer);
        auto now = std::chrono::steady_clock::now();
        phone->Session().SetClock([&] { return now; });

        phone->Session().Receive("Calling|<i>Bert</i>", "192.0.2.20");
        QTRY_COMPARE(fake.notices.size(), size_t(1));
        const auto& call = fake.notices.front();
        QCOMPARE(call.summary, QString("Incoming call"));
        // The address stands beside the name, which anyone can borrow.
        QCOMPARE(call.body, QString("&lt;i&gt;Bert&lt;/i&gt; (192.0.2.20) calling..."));
        QCOMPARE(call.actions,
                 QStringList({"answer", "Answer", "decline", "Decline", "default", "Show"}));
        QCOMPARE(call.hints.value("category").toString(), QString("call.incoming"));
        QCOMPARE(call.timeoutMs, 0);
        QVERIFY(phone->Session().Ringing());

        // Decline does what the button does: while ringing it only shows the idle picture.
        fake.InvokeAction(call.id, "decline");
        QTRY_VERIFY(fake.notices.front().closed);
        QVERIFY(phone->Session().Ringing() && !phone->Session().Connected());

        // A new request, once the ring may restart, rings again with one notice; Answer answers.
        now += std::chrono::seconds(6);
        phone->Session().Receive("Calling|Bert", "192.0.2.20");
        QTRY_COMPARE(fake.notices.size(), size_t(2));
        QCOMPARE(OpenNotices(fake), 1);
        fake.InvokeAction(fake.notices.back().id, "answer");
        QTRY_VERIFY(phone->Session().Connected());
        QVERIFY(!phone->Session().Ringing());
        QVERIFY(sent->sent.contains("Accept -> 192.0.2.20"));
        QTRY_COMPARE(OpenNotices(fake), 0);
        QCOMPARE(fake.notices.size(), size_t(2));
        phone->Window().EndOrDecline();
        QVERIFY(!phone->Session().Connected());
    }

    void theNoticeGoesWhenTheRingStops()
    {
        TFakeNotificationService fake(Address(), FullService);
        std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
        QVERIFY(phone);
        phone->Session().SetSender(std::make_unique<KeptSender>());
        auto terminal = std::make_shared<TFakeVoiceLink>();
        phone->Session().SetVoiceLink(terminal);
        TDesktopNotifications notifications(Connect(Address(), "client"));
        TDesktopNotices notices(notifications, phone->Session(), phone->Window(),
                                phone->Windows().transfer);
        auto now = std::chrono::steady_clock::now();
        phone->Session().SetClock([&] { return now; });

        // The caller gives up.
        phone->Session().Receive("Calling|Bert", "192.0.2.20");
        QTRY_COMPARE(OpenNotices(fake), 1);
        phone->Session().Receive("Cancel", "192.0.2.20");
        QTRY_COMPARE(OpenNotices(fake), 0);
        // The caller rings again: the new notice replaces the old one.
        phone->Session().Receive("Calling|Bert", "192.0.2.20");
        QTRY_COMPARE(fake.notices.size(), size_t(2));
        // Calling again at once keeps the ring and its notice; a while later it rings anew.
        phone->Session().Receive("Calling|Bert at home", "192.0.2.20");
        QTest::qWait(100);
        QCOMPARE(fake.notices.size(), size_t(2));
        now += std::chrono::seconds(6);
        phone->Session().Receive("Calling|Bert at home", "192.0.2.20");
        QTRY_COMPARE(fake.notices.size(), size_t(3));
        QTRY_COMPARE(OpenNotices(fake), 1);
        QCOMPARE(fake.notices.back().body, QString("Bert at home (192.0.2.20) calling..."));
        // Another address while one rings gets the unanswered reply, and no notice.
        phone->Session().Receive("Calling|Carl", "192.0.2.30");
        QTest::qWait(100);
        QCOMPARE(fake.notices.size(), size_t(3));
        QCOMPARE(OpenNotices(fake), 1);
        phone->Session().Receive("Cancel", "192.0.2.20");
        QTRY_COMPARE(OpenNotices(fake), 0);
        // Nobody answers.
        phone->CallSettings().RingTimeMs = 50;
        phone->Session().Receive("Calling|Dora", "192.0.2.40");
        QTRY_COMPARE(fake.notices.size(), size_t(4));
        QTRY_VERIFY(!phone->Session().Ringing());
        QTRY_COMPARE(OpenNotices(fake), 0);
        phone->Session().Receive("Cancel", "192.0.2.40");
        // Answered by itself: no ring, no notice.
        phone->CallSettings().AutoAnswer = true;
        phone->Session().Receive("Calling|Eve", "192.0.2.50");
        QTRY_VERIFY(phone->Session().Connected());
        QTest::qWait(100);
        QCOMPARE(fake.notices.size(), size_t(4));
        phone->Window().EndOrDecline();
    }

    void arrivalsTheUserDoesNotSeeAreTold()
    {
        TFakeNotificationService fake(Address(), FullService);
        std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
        QVERIFY(phone);
        QTemporaryDir folder;
        phone->CallSettings().FilePath = folder.path();
        TfrmTransfer* portal = phone->Windows().transfer;
        QVERIFY(portal);
        TDesktopNotifications notifications(Connect(Address(), "client"));
        TDesktopNotices notices(notifications, phone->Session(), phone->Window(), portal);
        // Shown already, so an arrival does not open it; whether the user sees it is the test's.
        portal->show();
        bool seen = false;
        portal->PortalSeen = [&] { return seen; };
        auto send = [&](const QByteArray& name) {
            QVERIFY(TPortalPair::SendRaw(portal->StrmRec1->LocalPort(), name, "hello"));
        };
        send("T12-8-2026_4821.rtf");
        QTRY_COMPARE(fake.notices.size(), size_t(1));
        QCOMPARE(fake.notices[0].summary, QString("Text message received"));
        QCOMPARE(fake.notices[0].body,
                 QString("&quot;T12-8-2026_4821.rtf&quot; from 127.0.0.1 — not encrypted"));
        QCOMPARE(fake.notices[0].hints.value("category").toString(), QString("im.received"));
        send("report.pdf");
        QTRY_COMPARE(fake.notices.size(), size_t(2));
        // One notice tells of both.
        QTRY_COMPARE(OpenNotices(fake), 1);
        QCOMPARE(fake.notices[1].summary, QString("2 files and messages received"));
        QCOMPARE(fake.notices[1].hints.value("category").toString(), QString("transfer.complete"));
        // Its click brings the portal forward.
        portal->hide();
        fake.InvokeAction(fake.notices[1].id, "default");
        QTRY_VERIFY(portal->isVisible());
        // Seen by the user: nothing to tell.
        seen = true;
        send("seen.txt");
        QTRY_COMPARE(portal->lstFilesReceived->count(), 3);
        QTest::qWait(100);
        QCOMPARE(fake.notices.size(), size_t(2));
        portal->PortalSeen = nullptr;
        portal->hide();
    }
};

PARLAVUE_GUI_TEST_MAIN(DesktopNoticesTest)
#include "tst_DesktopNotices.moc"
