// The screen as a camera: the pipeline built on the stream a (fake) portal hands over, the X11
// screen of a display of the test's own, and the capture component keeping the running camera
// while the user picks and when the screen is refused, not picked in time or no longer wanted.
#include "capture/TGraphConfig.h"
#include "capture/TVideoCapture.h"
#include "platform/camera/gst/TGstCamera.h"
#include "platform/camera/gst/TGstCameraPipeline.h"
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/camera/gst/TGstScreenSource.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TFakeScreenCastPortal.h"
#include "tests/support/TPrivateSessionBus.h"
#include "tests/support/TScriptedUi.h"
#include "tests/support/TXvfbDisplay.h"

#include <QCoreApplication>
#include <QDBusPendingCallWatcher>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

GstElement* FindByFactory(GstElement* pipeline, const char* factory)
{
    GstIterator* it = gst_bin_iterate_recurse(GST_BIN(pipeline));
    GValue item = G_VALUE_INIT;
    GstElement* found = nullptr;
    while (!found && gst_iterator_next(it, &item) == GST_ITERATOR_OK) {
        auto* e = GST_ELEMENT(g_value_get_object(&item));
        GstElementFactory* f = gst_element_get_factory(e);
        if (f && g_strcmp0(GST_OBJECT_NAME(f), factory) == 0)
            found = e; // the pipeline keeps it
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(it);
    return found;
}

class ScreenSource : public ::testing::Test
{
protected:
    std::unique_ptr<TPrivateSessionBus> bus;
    QString clientName = QStringLiteral("screen-source-client");
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
        fake = std::make_unique<TFakeScreenCastPortal>(bus->Address());
        ASSERT_TRUE(fake->Registered());
    }

    void TearDown() override
    {
        fake.reset();
        client.reset();
        QDBusConnection::disconnectFromBus(clientName);
    }

    int Calls(const QString& method) const
    {
        return int(std::count_if(fake->calls.begin(), fake->calls.end(),
                                 [&](const auto& c) { return c.method == method; }));
    }

    // Readies the source; the portal's answer is waited for when it asks the user.
    static bool Prepare(TGstScreenSource& screen, QString* error)
    {
        std::optional<QString> answer;
        if (screen.Prepare([&](const QString& e) { answer = e; }) == TCameraReadiness::Ready)
            return true;
        EXPECT_FALSE(answer) << "answered from inside Prepare()";
        EXPECT_TRUE(WaitUntil([&] { return answer.has_value(); }, 30000));
        *error = answer.value_or(QStringLiteral("no answer"));
        return error->isEmpty() && screen.Ready();
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

// The test camera running in a capture control whose screen is the fake portal's.
class ScreenSwitch : public ScreenSource
{
protected:
    TScriptedUiScope script;
    std::unique_ptr<TGstCameraSystem> system;
    std::unique_ptr<TVideoCapture> cap;
    TGraphConfig config;
    int frames = 0;
    QList<bool> waiting; // what the control said of its wait for the desktop

    void SetUp() override
    {
        ScreenSource::SetUp();
        if (IsSkipped())
            return;
        system = std::make_unique<TGstCameraSystem>(true);
        system->SetScreenSource([this] { return TGstScreenSource::Portal(*client, fast); });
        cap = std::make_unique<TVideoCapture>(*system);
        QObject::connect(cap.get(), &TVideoCapture::OnBitmapGrabbed, [this] { ++frames; });
        QObject::connect(cap.get(), &TVideoCapture::OnWaitingForDesktop,
                         [this](bool w) { waiting << w; });
        ASSERT_TRUE(cap->Initialize());
        config.VCapSource = TGstCameraSystem::TestCameraName;
        config.PixelFormat = TPixelFormat::pf24bit;
        config.WantPreview = config.WantBitmaps = true;
        cap->ApplyConfig(config);
        ASSERT_TRUE(cap->Previewing());
    }

    void TearDown() override
    {
        cap.reset();
        system.reset();
        ScreenSource::TearDown();
    }

    void ChooseScreen()
    {
        config.VCapSource = TGstCameraSystem::ScreenName;
        cap->ApplyConfig(config);
    }

    // The test camera is the one in use and its frames keep coming.
    void ExpectTheTestCameraRunning()
    {
        EXPECT_TRUE(cap->Previewing());
        EXPECT_EQ(cap->VideoDeviceName(), QString(TGstCameraSystem::TestCameraName));
        TGraphConfig read;
        cap->ReadConfig(read);
        EXPECT_EQ(read.VCapSource, QString(TGstCameraSystem::TestCameraName));
        const int before = frames;
        EXPECT_TRUE(WaitUntil([&] { return frames > before + 5; }))
            << "the test camera's frames stopped";
    }
};

TEST_F(ScreenSource, ThePipelineReadsThePickedStreamThroughThePortalsRemote)
{
    auto screen = TGstScreenSource::Portal(*client, fast);
    EXPECT_TRUE(screen->Modes().empty()) << "a picked window comes at its own size";
    QString error;
    ASSERT_TRUE(Prepare(*screen, &error)) << error.toStdString();
    TGstCameraPipeline pipeline(*screen, nullptr, "BGRx");
    if (pipeline.Missing() == "pipewiresrc")
        GTEST_SKIP() << "pipewiresrc is not installed (gstreamer1.0-pipewire)";
    ASSERT_TRUE(pipeline.Built());
    GstElement* source = FindByFactory(pipeline.Pipeline(), "pipewiresrc");
    ASSERT_NE(source, nullptr);
    EXPECT_TRUE(pipeline.FromSource(GST_OBJECT(source)));
    gint fd = -1;
    gchar* path = nullptr;
    gboolean copies = FALSE;
    g_object_get(source, "fd", &fd, "path", &path, "always-copy", &copies, nullptr);
    EXPECT_STREQ(path, "42");
    g_free(path);
    EXPECT_TRUE(copies);
    // The descriptor the source connects with is the portal's remote: what goes in comes out
    // at the portal's end.
    const char ping[] = "ping";
    ASSERT_EQ(::write(fd, ping, sizeof ping), ssize_t(sizeof ping));
    pollfd p{fake->RemotePeer(), POLLIN, 0};
    ASSERT_EQ(::poll(&p, 1, 2000), 1);
    char got[sizeof ping] = {};
    EXPECT_EQ(::recv(fake->RemotePeer(), got, sizeof got, MSG_DONTWAIT), ssize_t(sizeof ping));

    // A second start keeps the pick while the desktop shares it; once the desktop ends the
    // sharing the user is asked again.
    EXPECT_EQ(screen->Prepare([](const QString&) { ADD_FAILURE() << "asked again"; }),
              TCameraReadiness::Ready);
    EXPECT_EQ(Calls("Start"), 1);
    fake->CloseSessionFromDesktop(fake->SessionPaths().first());
    ASSERT_TRUE(WaitUntil([&] { return !screen->Ready(); }));
    ASSERT_TRUE(Prepare(*screen, &error)) << error.toStdString();
    EXPECT_EQ(Calls("Start"), 2);
}

TEST_F(ScreenSwitch, ARefusedScreenLeavesTheRunningCameraRunning)
{
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Respond, 2};
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return !script.ui.Texts("error").isEmpty(); }, 30000));
    const QStringList errors = script.ui.Texts("error");
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors.first().contains("The desktop refused to share the screen."))
        << errors.first().toStdString();
    EXPECT_FALSE(cap->WaitingForDesktop());
    EXPECT_EQ(waiting, QList<bool>({true, false}));
    ExpectTheTestCameraRunning();
}

TEST_F(ScreenSwitch, WithoutAPortalTheRunningCameraStaysToo)
{
    fake.reset();
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return !script.ui.Texts("error").isEmpty(); }, 30000));
    ASSERT_EQ(script.ui.Texts("error").size(), 1);
    EXPECT_TRUE(script.ui.Texts("error").first().contains("no screen-cast portal"));
    ExpectTheTestCameraRunning();
}

TEST_F(ScreenSwitch, TheRunningCameraGoesOnWhileTheUserPicks)
{
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Held, 0};
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 1; }));
    EXPECT_TRUE(cap->WaitingForDesktop());
    EXPECT_EQ(waiting, QList<bool>({true}));
    ExpectTheTestCameraRunning();
    EXPECT_TRUE(cap->WaitingForDesktop());

    // Chosen again while the dialog is up: the first conversation goes, a second one asks.
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 2; }));
    EXPECT_EQ(fake->sessionCloses, 1);
    EXPECT_TRUE(cap->WaitingForDesktop());
    ExpectTheTestCameraRunning();
}

TEST_F(ScreenSwitch, AStopOrTheEndDuringThePickHandsOutNothingLater)
{
    fake->steps["Start"] = {TFakeScreenCastPortal::TReply::Held, 0};
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 1; }));
    cap->StopPreview();
    EXPECT_FALSE(cap->WaitingForDesktop());
    EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == 1; }));
    // The user's pick comes after all.
    fake->ReleaseHeld();
    RoundTrip();
    RoundTrip(); // and what was posted on the way
    EXPECT_EQ(Calls("OpenPipeWireRemote"), 0);
    EXPECT_TRUE(script.ui.Texts("error").isEmpty());
    EXPECT_FALSE(cap->Previewing());
    EXPECT_EQ(cap->VideoDeviceName(), QString(TGstCameraSystem::TestCameraName));

    // The control going (the program closing) while the user picks.
    cap->StartPreview();
    ChooseScreen();
    ASSERT_TRUE(WaitUntil([&] { return Calls("Start") == 2; }));
    cap.reset();
    EXPECT_TRUE(WaitUntil([&] { return fake->sessionCloses == 2; }));
    fake->ReleaseHeld();
    RoundTrip();
    RoundTrip();
    EXPECT_EQ(Calls("OpenPipeWireRemote"), 0);
    EXPECT_TRUE(script.ui.Texts("error").isEmpty());
}

TEST(ScreenSourceKind, FollowsTheWindowSystemQtRunsOn)
{
    using K = TGstScreenSource::TKind;
    EXPECT_EQ(TGstScreenSource::KindFor("xcb", ":0", "wayland-0"), K::X11);
    EXPECT_EQ(TGstScreenSource::KindFor("wayland-egl", ":0", ""), K::Portal);
    EXPECT_EQ(TGstScreenSource::KindFor("offscreen", ":0", ""), K::X11);
    EXPECT_EQ(TGstScreenSource::KindFor("offscreen", ":0", "wayland-0"), K::Portal);
    EXPECT_EQ(TGstScreenSource::KindFor("", "", ""), K::Portal);
}

class X11Screen : public ::testing::Test
{
protected:
    std::unique_ptr<TXvfbDisplay> display;
    QByteArray savedDisplay = qgetenv("DISPLAY");

    void SetUp() override
    {
        display = std::make_unique<TXvfbDisplay>(QSize(320, 200));
        if (display->Name().isEmpty())
            GTEST_SKIP() << display->Error().toStdString();
        qputenv("DISPLAY", display->Name().toLatin1());
    }
    void TearDown() override
    {
        if (savedDisplay.isEmpty())
            qunsetenv("DISPLAY");
        else
            qputenv("DISPLAY", savedDisplay);
    }
};

TEST_F(X11Screen, TheWholeScreenOrAnAreaIsOneModeAtItsSize)
{
    const auto whole = TGstScreenSource::X11();
    ASSERT_EQ(whole->Modes().size(), 1u);
    EXPECT_EQ(QSize(whole->Modes()[0].Width, whole->Modes()[0].Height), QSize(320, 200));
    EXPECT_EQ(whole->Modes()[0].Rate(), TGstScreenSource::FramesPerSecond);
    const auto area = TGstScreenSource::X11(QRect(10, 20, 100, 50));
    ASSERT_EQ(area->Modes().size(), 1u);
    EXPECT_EQ(QSize(area->Modes()[0].Width, area->Modes()[0].Height), QSize(100, 50));
}

TEST_F(X11Screen, FramesComeAtTheScreensSizeAndRate)
{
    TGstCamera camera(TGstScreenSource::X11(QRect(0, 0, 160, 100)));
    camera.SetGrabFormat(QImage::Format_BGR888);
    QList<QSize> sizes;
    int marked = 0;
    camera.SetFrameHandler([&](const TCameraFrame& frame) {
        sizes << frame.picture.size();
        marked += frame.screen ? 1 : 0;
    });
    QString error;
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(camera.Start(&error)) << error.toStdString();
    EXPECT_TRUE(WaitUntil([&] { return sizes.size() >= 8; })) << sizes.size() << " frames";
    const qint64 ms = clock.elapsed();
    camera.Stop();
    ASSERT_FALSE(sizes.isEmpty());
    EXPECT_EQ(sizes.last(), QSize(160, 100));
    EXPECT_LE(sizes.size(), 2 + ms * 20 / 1000) << "about 15 a second, in " << ms << " ms";
    EXPECT_EQ(marked, sizes.size()) << "every frame says it is the screen, for the sender";
}

TEST(X11ScreenMissing, NoDisplayGivesNoModeAndAStartThatFails)
{
    const QByteArray saved = qgetenv("DISPLAY");
    qputenv("DISPLAY", ":4097");
    TGstCamera camera(TGstScreenSource::X11());
    EXPECT_TRUE(camera.Modes().empty());
    QString error;
    EXPECT_FALSE(camera.Start(&error));
    EXPECT_FALSE(error.isEmpty());
    if (saved.isEmpty())
        qunsetenv("DISPLAY");
    else
        qputenv("DISPLAY", saved);
}

} // namespace
