// How the main window fares while it places a call to a host name that no DNS server answers:
// the longest gap of a 50 Hz timer on the window's event loop from "Make / Answer Call" until
// the "Host not found." box, beside two references from the same process: the same loop idle,
// and the same name looked up the way it was before, on the window's thread.
// The silent server is the bench's own: it gives itself a mount namespace whose resolv.conf
// names a loopback address where a socket takes every query and answers none (needs root).
// Usage: HostLookup_bench   (runs offscreen)
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"

#include <QElapsedTimer>
#include <QHostInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>

namespace {

constexpr const char* SilentName = "nobody-answers.parlavue-bench.test";
constexpr const char* SilentServer = "127.77.0.53";

// A resolv.conf of the process's own naming a server that never answers; false when this
// process may not have one.
bool UseSilentServer(int& socketOut)
{
    if (geteuid() != 0 || unshare(CLONE_NEWNS) != 0 ||
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
        return false;
    socketOut = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(53);
    inet_pton(AF_INET, SilentServer, &address.sin_addr);
    if (socketOut < 0 || bind(socketOut, reinterpret_cast<sockaddr*>(&address), sizeof address))
        return false;
    char path[] = "/tmp/parlavue-resolv-XXXXXX";
    const int fd = mkstemp(path);
    if (fd < 0)
        return false;
    const QByteArray conf =
        QByteArray("nameserver ") + SilentServer + "\noptions timeout:2 attempts:1\n";
    const bool written = write(fd, conf.constData(), size_t(conf.size())) == conf.size();
    close(fd);
    const bool bound = written && mount(path, "/etc/resolv.conf", nullptr, MS_BIND, nullptr) == 0;
    unlink(path);
    return bound;
}

struct TRun
{
    qint64 longestGapMs = 0;
    qint64 elapsedMs = 0;
    int ticks = 0;
};

// Runs work while a 50 Hz timer ticks on the event loop; work may run nested loops of its own.
TRun Measure(const std::function<void()>& work)
{
    TRun run;
    QElapsedTimer clock;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    ticker.setInterval(20);
    qint64 last = 0;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        run.longestGapMs = std::max(run.longestGapMs, now - last);
        last = now;
        ++run.ticks;
    });
    clock.start();
    ticker.start();
    work();
    const qint64 end = clock.elapsed();
    run.longestGapMs = std::max(run.longestGapMs, end - last);
    run.elapsedMs = end;
    return run;
}

} // namespace

int main(int argc, char** argv)
{
    // Before any thread exists: a mount namespace cannot be entered by a threaded process.
    int silent = -1;
    if (!UseSilentServer(silent)) {
        std::printf("skipped: needs root to give itself a resolv.conf with a silent server\n");
        return 0;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));

    TGuiTestEnvironment env;
    TScriptedUiScope script;
    std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
    if (!phone)
        return 1;
    TfrmMain& form = phone->Window();

    const TRun idle = Measure([] { QTest::qWait(3000); });
    std::printf("idle loop:                 longest gap %lld ms over %d ticks\n",
                static_cast<long long>(idle.longestGapMs), idle.ticks);

    // Make / Answer waits in the calling-status window until the lookup gives up.
    Control<QLineEdit>(&form, "edtHostName")->setText(QString::fromLatin1(SilentName));
    const TRun call = Measure([&] {
        form.MakeOrAnswer();
        (void)QTest::qWaitFor([&] { return !script.ui.Texts("error").isEmpty(); }, 60000);
    });
    const QStringList errors = script.ui.Texts("error");
    std::printf("placing the call:          longest gap %lld ms over %d ticks; \"%s\" after "
                "%lld ms\n",
                static_cast<long long>(call.longestGapMs), call.ticks,
                qPrintable(errors.value(0).replace(QLatin1Char('\n'), QLatin1Char(' '))),
                static_cast<long long>(call.elapsedMs));
    form.EndOrDecline();

    // The earlier way: the name looked up on the window's thread.
    const TRun blocking = Measure([] { QHostInfo::fromName(QString::fromLatin1(SilentName)); });
    std::printf("looked up on the UI thread (before): longest gap %lld ms over %d ticks\n",
                static_cast<long long>(blocking.longestGapMs), blocking.ticks);

    std::printf("longest gap while placing: %.2f x the idle loop's, %.3f x the blocking "
                "lookup's (goal: under 50 ms: %s)\n",
                double(call.longestGapMs) / std::max<qint64>(1, idle.longestGapMs),
                double(call.longestGapMs) / std::max<qint64>(1, blocking.longestGapMs),
                call.longestGapMs < 50 && !errors.isEmpty() ? "met" : "missed");
    // The queries really went to the silent server, and were left unanswered.
    int queries = 0;
    char query[512];
    while (recv(silent, query, sizeof query, MSG_DONTWAIT) > 0)
        ++queries;
    std::printf("queries the silent server took and never answered: %d\n", queries);
    phone.reset();
    close(silent);
    return 0;
}
