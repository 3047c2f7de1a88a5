// The conversation with the desktop's screen-cast portal, against a fake portal on a private
// session bus: the user's pick, a cancelled or refused pick, no portal, a portal that never
// answers, answers of the wrong shape, a Response sent by someone else, and the conversation
// ended or begun again while the user picks.
#include "platform/camera/screen/TScreenCastPortal.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TFakeScreenCastPortal.h"
#include "tests/support/TPrivateSessionBus.h"

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

const QString NoPortal =
    QStringLiteral("This desktop offers no screen sharing (no screen-cast portal).");
const QString Nonsense =
    QStringLiteral("The desktop's screen-cast portal gave an answer that makes no sense.");

// Whether bytes written to fd come out of peer: the two ends of one connection.
bool SameConnection(int fd, int peer)
{
    const char ping[] = "ping";
    if (::write(fd, ping, sizeof ping) != sizeof ping)
        return false;
    pollfd p{peer, POLLIN, 0};
    if (::poll(&p, 1, 2000) != 1)
        return false;
    char got[sizeof ping] = {};
    return ::recv(peer, got, sizeof got, MSG_DONTWAIT) == sizeof ping &&
           QByteArray(got, sizeof got) == QByteArray(ping, sizeof ping);
}

class ScreenCastPortal : public ::testing::Test
{
protected:
    std::unique_ptr<TPrivateSessionBus> bus;
    QString clientName = QStringLiteral("screen-client");
    std::optional<QDBusConnection> client;
    std::unique_ptr<TFakeScreenCastPortal> fake;
    TScreenCastPortal::TTimeouts fast{1500, 1000, 1500};

    void SetUp() override
    {
        bus = std::make_unique<TPrivateSessionBus>();
        if (bus->Address().isEmpty())
            GTEST_SKIP() << bus->Error().toStdString();
        client = QDBusConnection::connectToBus(bus->Address(), clientName);
        ASSERT_TRUE(client->isConnected());
    }

    void TearDown() override
    {
        fake.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(clientName);
    }

    void StartFake()
    {
        fake = std::make_unique<TFakeScreenCastPortal>(bus->Address());
        ASSERT_TRUE(fake->Registered());
    }

    int Calls(const QString& method) const
    {
        return int(std::count_if(fake->calls.begin(), fake->calls.end(),
                                 [&](const auto& c) { return c.method == method; }));
    }

    // What the program heard of one conversation, and how often.
    struct TOutcome
    {
        std::optional<TScreenCastStream> stream;
        std::optional<QString> error;
        int said = 0;
    };
    static std::shared_ptr<TOutcome> Hear(TScreenCastPortal& portal)
    {
        auto outcome = std::make_shared<TOutcome>();
        QObject::connect(&portal, &TScreenCastPortal::opened,
                         [outcome](const TScreenCastStream& stream) {
                             outcome->stream = stream;
                             ++outcome->said;
                         });
        QObject::connect(&portal, &TScreenCastPortal::failed, [outcome](const QString& error) {
            outcome->error = error;
            ++outcome->said;
        });
        return outcome;
    }

    // The whole conversation: its end never comes from inside Open().
    static bool Open(TScreenCastPortal& portal, TScreenCastStream& stream, QString* error)
    {
        const auto outcome = Hear(portal);
        portal.Open();
        EXPECT_EQ(outcome->said, 0) << "the outcome was told from inside Open()";
        EXPECT_TRUE(WaitUntil([&] { return outcome->said > 0; }, 30000));
        if (outcome->stream)
            stream = *outcome->stream;
        if (error)
            *error = outcome->error.value_or(QString());
        return outcome->stream.has_value();
    }

    // A call to the portal and its reply: whatever the portal sent before has arrived too.
    void RoundTrip()
    {
        QDBusMessage get = QDBusMessage::createMethodCall(TScreenCastPortal::ServiceName,
                                                          TScreenCastPortal::ObjectPath,
                                                          "org.freedesktop.DBus.Properties", "Get");
        get << QString("org.freedesktop.portal.ScreenCast") << QString("version");
        QDBusPendingCallWatcher reply(client->asyncCall(get));
        EXPECT_TRUE(WaitUntil([&] { return reply.isFinished(); }));
    }
};

TEST_F(ScreenCastPortal, ThePickedStreamAndItsRemoteReachTheProgram)
{
    StartFake();
    auto portal = std::make_unique<TScreenCastPortal>(*client, fast);
    TScreenCastStream stream;
    QString error;
    ASSERT_TRUE(Open(*portal, stream, &error)) << error.toStdString();
    EXPECT_TRUE(portal->SessionOpen());
    EXPECT_EQ(stream.node, 42u);
    EXPECT_EQ(stream.size, QSize(1280, 720));
    ASSERT_TRUE(stream.remote.isValid());
    EXPECT_TRUE(SameConnection(stream.remote.fileDescriptor(), fake->RemotePeer()))
        << "the descriptor is not the portal's PipeWire remote";

    // Every request was answered where the program listened: under its own name, at its token.
    QString element = client->baseService().mid(1).replace('.', '_');
    QStringList tokens;
    for (const auto& call : fake->calls) {
        EXPECT_EQ(call.sender, client->baseService());
        if (call.method == "OpenPipeWireRemote")
            continue;
        const QString token = call.options.value("handle_token").toString();
        EXPECT_EQ(call.request, "/org/freedesktop/portal/desktop/request/" + element + "/" + token);
        EXPECT_FALSE(tokens.contains(token)) << "a handle token used twice";
        tokens << token;
        if (call.method == "SelectSources") {
            EXPECT_EQ(call.options.value("types"), QVariant(uint(1 | 2))) << "monitor or window";
            EXPECT_EQ(call.options.value("multiple"), QVariant(false));
        }
    }
    EXPECT_EQ(tokens.size(), 3);
    ASSERT_EQ(fake->SessionPaths().size(), 1);
    EXPECT_TRUE(fake->SessionPaths().first().startsWith("/org/freedesktop/portal/desktop/session/" +
                                                        element + "/"));

    // The desktop stops sharing when the program is done with it.
    portal.reset();
    EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == 1; }));
}

TEST_F(ScreenCastPortal, AnOlderPortalsPathsAndObjectPathHandleAreTaken)
{
    StartFake();
    fake->sessionHandleAsString = false;
    fake->requestPathOverride = "/org/freedesktop/portal/desktop/request/chosen/by_portal";
    // Such a portal answers once its dialog is done, well after its reply.
    fake->responseDelayMs = 200;
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    EXPECT_TRUE(Open(portal, stream, &error)) << error.toStdString();
    EXPECT_EQ(stream.node, 42u);
}

TEST_F(ScreenCastPortal, ACancelledOrRefusedPickIsSaidAndTheSessionEnds)
{
    StartFake();
    for (const uint response : {1u, 2u}) {
        fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Respond, response};
        const int closes = fake->sessionCloses;
        TScreenCastPortal portal(*client, fast);
        TScreenCastStream stream;
        QString error;
        EXPECT_FALSE(Open(portal, stream, &error));
        if (response == 1)
            EXPECT_EQ(error, "The screen was not shared: the choice was cancelled.");
        else
            EXPECT_EQ(error, "The desktop refused to share the screen.");
        EXPECT_FALSE(portal.SessionOpen());
        EXPECT_FALSE(stream.remote.isValid());
        EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == closes + 1; }));
    }
    EXPECT_EQ(Calls("OpenPipeWireRemote"), 0);
}

TEST_F(ScreenCastPortal, NoPortalOnTheBusIsSaidAtOnce)
{
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(Open(portal, stream, &error));
    EXPECT_EQ(error, NoPortal);
    EXPECT_LT(timer.elapsed(), fast.callMs) << "the bus says at once that nobody owns the name";
}

TEST_F(ScreenCastPortal, APortalThatCannotShareWindowsOrMonitorsIsNoScreenPortal)
{
    StartFake();
    fake->availableTypes = 4; // virtual monitors only
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    EXPECT_FALSE(Open(portal, stream, &error));
    EXPECT_EQ(error, NoPortal);
    EXPECT_EQ(Calls("CreateSession"), 0);
}

TEST_F(ScreenCastPortal, APickThatNeverComesEndsAfterItsTime)
{
    StartFake();
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Silent, 0};
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(Open(portal, stream, &error));
    EXPECT_GE(timer.elapsed(), fast.pickMs - 50);
    EXPECT_LT(timer.elapsed(), fast.pickMs + 2000);
    EXPECT_EQ(error, "No screen was chosen within 2 seconds.");
    EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == 1; }));
}

TEST_F(ScreenCastPortal, AMethodThatIsNeverRepliedToEndsAfterItsTime)
{
    StartFake();
    fake->steps["CreateSession"] = {TFakeScreenCastPortal::TReply::NoReply, 0};
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(Open(portal, stream, &error));
    EXPECT_LT(timer.elapsed(), fast.callMs + 1500);
    EXPECT_EQ(error, "The desktop's screen-cast portal did not answer.");
}

TEST_F(ScreenCastPortal, AnswersOfTheWrongShapeAreRefused)
{
    struct TCase
    {
        const char* what;
        std::function<void(TFakeScreenCastPortal&)> spoil;
    };
    const std::vector<TCase> cases{
        {"a Response that is not (u, a{sv})",
         [](TFakeScreenCastPortal& f) {
             f.steps["SelectSources"] = {TFakeScreenCastPortal::TReply::Garbled, 0};
         }},
        {"streams that are text", [](TFakeScreenCastPortal& f) { f.streamsAsText = true; }},
        {"PipeWire's core as the node", [](TFakeScreenCastPortal& f) { f.node = 0; }},
        {"no node at all", [](TFakeScreenCastPortal& f) { f.node = 0xFFFFFFFFu; }},
    };
    for (const TCase& c : cases) {
        fake.reset(); // the service name is free again
        fake = std::make_unique<TFakeScreenCastPortal>(bus->Address());
        ASSERT_TRUE(fake->Registered());
        c.spoil(*fake);
        TScreenCastPortal portal(*client, fast);
        TScreenCastStream stream;
        QString error;
        EXPECT_FALSE(Open(portal, stream, &error)) << c.what;
        EXPECT_EQ(error, Nonsense) << c.what;
        EXPECT_FALSE(portal.SessionOpen()) << c.what;
        EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == 1; })) << c.what;
        fake.reset();
    }
}

TEST_F(ScreenCastPortal, AResponseFromAnotherClientIsNotTheUsersPick)
{
    StartFake();
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Silent, 0};
    const QString otherName = QStringLiteral("screen-spoofer");
    QDBusConnection other = QDBusConnection::connectToBus(bus->Address(), otherName);
    ASSERT_TRUE(other.isConnected());
    // Once the dialog is "up", someone else answers the request in the portal's place.
    QTimer spoof;
    spoof.setInterval(20);
    bool sent = false;
    QObject::connect(&spoof, &QTimer::timeout, [&] {
        for (const auto& call : fake->calls)
            if (call.method == "Start" && !sent) {
                fake->SendResponseAs(other, call.request, 0, {});
                sent = true;
            }
    });
    spoof.start();
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    QString error;
    EXPECT_FALSE(Open(portal, stream, &error));
    EXPECT_TRUE(sent);
    EXPECT_EQ(error, "No screen was chosen within 2 seconds.");
    QDBusConnection::disconnectFromBus(otherName);
}

TEST_F(ScreenCastPortal, TheDesktopEndingTheSessionIsNoticed)
{
    StartFake();
    TScreenCastPortal portal(*client, fast);
    TScreenCastStream stream;
    ASSERT_TRUE(Open(portal, stream, nullptr));
    ASSERT_EQ(fake->SessionPaths().size(), 1);
    fake->CloseSessionFromDesktop(fake->SessionPaths().first());
    EXPECT_TRUE(WaitUntil([&] { return !portal.SessionOpen(); }));
}

TEST_F(ScreenCastPortal, TheDesktopEndingTheSessionDuringThePickIsARefusal)
{
    StartFake();
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Silent, 0};
    TScreenCastPortal portal(*client, {1500, 1000, 20000});
    const auto outcome = Hear(portal);
    QElapsedTimer timer;
    timer.start();
    portal.Open();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 1; }));
    const qint64 asked = timer.elapsed();
    fake->CloseSessionFromDesktop(fake->SessionPaths().first());
    ASSERT_TRUE(WaitUntil([&] { return outcome->said > 0; }, 30000));
    EXPECT_EQ(outcome->error.value_or(QString()), "The desktop refused to share the screen.");
    // Not held for the user's time to pick (20 s) after the dialog went.
    EXPECT_LT(timer.elapsed() - asked, 10000);
}

TEST_F(ScreenCastPortal, EndedDuringThePickNothingIsSaidAndNothingStaysShared)
{
    StartFake();
    for (const bool destroy : {false, true}) {
        fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Held, 0};
        const int closes = fake->sessionCloses;
        const int remotes = Calls("OpenPipeWireRemote");
        auto portal = std::make_unique<TScreenCastPortal>(*client, fast);
        const auto outcome = Hear(*portal);
        portal->Open();
        ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == int(destroy) + 1; }));
        if (destroy)
            portal.reset();
        else
            portal->Close();
        EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == closes + 1; })) << destroy;
        // The user's pick comes after all.
        fake->ReleaseHeld();
        RoundTrip();
        EXPECT_EQ(outcome->said, 0) << destroy;
        EXPECT_EQ(Calls("OpenPipeWireRemote"), remotes) << destroy;
        if (portal) {
            EXPECT_FALSE(portal->SessionOpen());
        }
    }
}

TEST_F(ScreenCastPortal, OpeningAgainDuringThePickLeavesTheFirstConversation)
{
    StartFake();
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Held, 0};
    TScreenCastPortal portal(*client, fast);
    const auto outcome = Hear(portal);
    portal.Open();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 1; }));
    const QString first = fake->SessionPaths().first();
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Respond, 0};
    portal.Open();
    ASSERT_TRUE(WaitUntil([&] { return outcome->said > 0; }, 30000));
    ASSERT_TRUE(outcome->stream) << outcome->error.value_or("").toStdString();
    EXPECT_EQ(fake->sessionCloses, 1) << "the first session is closed";
    // The first dialog's late answer is nobody's.
    fake->ReleaseHeld();
    RoundTrip();
    EXPECT_EQ(outcome->said, 1);
    EXPECT_EQ(Calls("OpenPipeWireRemote"), 1);
    EXPECT_TRUE(portal.SessionOpen());
    for (const auto& call : fake->calls)
        if (call.method == "OpenPipeWireRemote") {
            EXPECT_NE(call.session, first);
        }
}

} // namespace
