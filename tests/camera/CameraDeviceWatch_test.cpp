// The GStreamer camera system's device monitor: started by the first handler, gone with the
// system, and its word on the UI thread when a sound source comes and goes on a private sound
// server (a camera's microphone counts as its coming; a null sink's monitor is such a source,
// so no camera is needed).
#include "platform/camera/gst/TGstCameraSystem.h"
#include "platform/elements/gst/TGstDeviceWatch.h"
#include "tests/support/EventLoop.h"
#include "tests/support/TSoundServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <thread>

namespace {

// The sound sources as a handler would read them: the camera system lists cameras only.
QStringList AudioSources()
{
    TGstObjectPtr<GstDeviceMonitor> monitor(gst_device_monitor_new());
    gst_device_monitor_add_filter(monitor.get(), "Audio/Source", nullptr);
    GList* devices = gst_device_monitor_get_devices(monitor.get());
    QStringList names;
    for (GList* l = devices; l; l = l->next) {
        gchar* name = gst_device_get_display_name(static_cast<GstDevice*>(l->data));
        names << QString::fromUtf8(name);
        g_free(name);
    }
    g_list_free_full(devices, gst_object_unref);
    return names;
}

// pactl against the server this process uses; its output, or nothing when it failed.
std::optional<QString> Pactl(const QStringList& arguments)
{
    QProcess process;
    process.start(QStandardPaths::findExecutable("pactl"), arguments);
    if (!process.waitForFinished(10000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        return std::nullopt;
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

} // namespace

// A device of no provider, for messages posted by hand.
struct HotplugTestDevice
{
    GstDevice parent;
};
struct HotplugTestDeviceClass
{
    GstDeviceClass parent_class;
};
G_DEFINE_TYPE(HotplugTestDevice, hotplug_test_device, GST_TYPE_DEVICE)
static void hotplug_test_device_class_init(HotplugTestDeviceClass*) {}
static void hotplug_test_device_init(HotplugTestDevice*) {}

TEST(CameraDeviceWatch, ABurstOfAddsAndRemovesIsOneCallOnTheUiThread)
{
    ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
    TGstDeviceWatch watch({QStringLiteral("Video/Source"), QStringLiteral("Audio/Source")});
    if (!watch.Running())
        GTEST_SKIP() << "no GStreamer device provider could start here";
    int calls = 0;
    bool offThread = false;
    watch.SetHandler([&] {
        ++calls;
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
    });
    TGstObjectPtr<GstDevice> device(static_cast<GstDevice*>(
        g_object_ref_sink(g_object_new(hotplug_test_device_get_type(), "display-name",
                                       "Hand Camera", "device-class", "Video/Source", nullptr))));
    TGstObjectPtr<GstBus> bus = watch.Bus();
    // Posted from another thread, as the providers do.
    const auto post = [&](const std::function<GstMessage*()>& make, int count) {
        std::thread poster([&] {
            for (int i = 0; i < count; ++i)
                gst_bus_post(bus.get(), make());
        });
        poster.join();
    };

    post([] { return gst_message_new_application(nullptr, gst_structure_new_empty("other")); }, 3);
    Drain(500);
    EXPECT_EQ(calls, 0) << "only devices coming and going count";

    post([&] { return gst_message_new_device_added(nullptr, device.get()); }, 5);
    post([&] { return gst_message_new_device_removed(nullptr, device.get()); }, 2);
    EXPECT_TRUE(WaitUntil([&] { return calls > 0; }));
    Drain(500);
    EXPECT_EQ(calls, 1);

    post([&] { return gst_message_new_device_removed(nullptr, device.get()); }, 1);
    EXPECT_TRUE(WaitUntil([&] { return calls > 1; }));
    Drain(500);
    EXPECT_EQ(calls, 2);
    EXPECT_FALSE(offThread);

    // A handler taken away is not called.
    watch.SetHandler({});
    post([&] { return gst_message_new_device_added(nullptr, device.get()); }, 1);
    Drain(500);
    EXPECT_EQ(calls, 2);
}

TEST(CameraDeviceWatch, TheFirstHandlerStartsTheMonitorAndTheSystemGoesCleanly)
{
    int calls = 0;
    {
        TGstCameraSystem system(false);
        EXPECT_FALSE(system.WatchingDevices());
        system.SetDevicesChanged({});
        EXPECT_FALSE(system.WatchingDevices()) << "no handler, nothing to watch for";
        system.SetDevicesChanged([&] { ++calls; });
        if (!system.WatchingDevices())
            GTEST_SKIP() << "no GStreamer device provider could start here";
        // Another handler takes over from the running monitor; none stops the calls.
        system.SetDevicesChanged([&] { calls += 100; });
        EXPECT_TRUE(system.WatchingDevices());
        system.SetDevicesChanged({});
        EXPECT_TRUE(system.WatchingDevices());
        // What the providers list at start is no change.
        Drain(500);
    }
    Drain(300);
    EXPECT_EQ(calls, 0);
}

TEST(CameraDeviceWatch, ASoundSourcePluggedInIsToldOnTheUiThread)
{
    TSoundServer server;
    if (!server.Ready())
        GTEST_SKIP() << "no pulseaudio to run a private sound server";
    if (QStandardPaths::findExecutable("pactl").isEmpty())
        GTEST_SKIP() << "no pactl to load a sink at run time";
    TGstCameraSystem system(false);
    // The server's own null sink is listed once the server has announced it.
    ASSERT_TRUE(WaitUntil([&] { return !AudioSources().isEmpty(); }));
    const QStringList before = AudioSources();

    // Each call reads the list as a handler does, and where it ran.
    std::vector<QStringList> seen;
    bool offThread = false;
    system.SetDevicesChanged([&] {
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        seen.push_back(AudioSources());
    });
    ASSERT_TRUE(system.WatchingDevices());
    Drain(500); // whatever the providers say while starting
    const size_t atStart = seen.size();

    const QString module =
        Pactl({"load-module", "module-null-sink", "sink_name=hotplugTest"}).value_or(QString());
    ASSERT_FALSE(module.isEmpty()) << "pactl could not load a null sink";
    // Its monitor is one more audio source.
    const auto sawNew = [&] {
        for (size_t i = atStart; i < seen.size(); ++i)
            if (seen[i].size() == before.size() + 1)
                return true;
        return false;
    };
    EXPECT_TRUE(WaitUntil(sawNew)) << seen.size() - atStart << " calls after the sink was loaded";

    EXPECT_FALSE(offThread);
    // This provider does not say when a source goes (no message comes at all), so only the
    // list read on demand can show it.
    EXPECT_TRUE(Pactl({"unload-module", module}));
    EXPECT_TRUE(WaitUntil([&] { return AudioSources() == before; }));
}

TEST(CameraDeviceWatch, ANoticeOnItsWayWhenTheSystemGoesReachesNobody)
{
    TSoundServer server;
    if (!server.Ready())
        GTEST_SKIP() << "no pulseaudio to run a private sound server";
    if (QStandardPaths::findExecutable("pactl").isEmpty())
        GTEST_SKIP() << "no pactl to load a sink at run time";
    int calls = 0;
    QString module;
    {
        TGstCameraSystem system(false);
        system.SetDevicesChanged([&] { ++calls; });
        ASSERT_TRUE(system.WatchingDevices());
        Drain(300);
        calls = 0;
        // The sink comes while the system is being taken down; the loop does not turn between.
        module =
            Pactl({"load-module", "module-null-sink", "sink_name=goneTest"}).value_or(QString());
        ASSERT_FALSE(module.isEmpty());
    }
    Drain(800);
    EXPECT_EQ(calls, 0);
    Pactl({"unload-module", module});
}
