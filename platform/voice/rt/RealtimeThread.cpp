#include "platform/voice/rt/RealtimeThread.h"

#include "platform/logging/Logging.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>

#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace voicelink {

namespace {

constexpr int kPriority = 5; // low among real-time threads: the sound server's own come first
// RealtimeKit grants only to processes that would be stopped if a thread spun for this long.
constexpr rlim_t kRealtimeBudgetUs = 200000;

void askRealtimeKit(long tid, const QString& what)
{
    rlimit limit{};
    if (getrlimit(RLIMIT_RTTIME, &limit) == 0 &&
        (limit.rlim_max == RLIM_INFINITY || limit.rlim_max > kRealtimeBudgetUs)) {
        limit.rlim_cur = limit.rlim_max = kRealtimeBudgetUs;
        setrlimit(RLIMIT_RTTIME, &limit);
    }
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected()) {
        qCInfo(lcVoice).noquote() << what << "thread: no real-time priority (no system bus)";
        return;
    }
    QDBusMessage call =
        QDBusMessage::createMethodCall(QStringLiteral("org.freedesktop.RealtimeKit1"),
                                       QStringLiteral("/org/freedesktop/RealtimeKit1"),
                                       QStringLiteral("org.freedesktop.RealtimeKit1"),
                                       QStringLiteral("MakeThreadRealtimeWithPID"));
    call << quint64(getpid()) << quint64(tid) << quint32(kPriority);
    auto* watcher = new QDBusPendingCallWatcher(bus.asyncCall(call), QCoreApplication::instance());
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, watcher, [what](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<> reply = *w;
            if (reply.isError())
                qCInfo(lcVoice).noquote()
                    << what << "thread: no real-time priority:" << reply.error().message();
            else
                qCInfo(lcVoice).noquote() << what << "thread: real-time (RealtimeKit)";
            w->deleteLater();
        });
}

} // namespace

long CurrentThreadId()
{
    return long(syscall(SYS_gettid));
}

void RaiseThisThread(const char* what)
{
    const sched_param param{kPriority};
    if (sched_setscheduler(0, SCHED_RR | SCHED_RESET_ON_FORK, &param) == 0) {
        qCInfo(lcVoice) << what << "thread: real-time";
        return;
    }
    QCoreApplication* app = QCoreApplication::instance();
    if (!app)
        return;
    QMetaObject::invokeMethod(
        app,
        [tid = CurrentThreadId(), name = QString::fromLatin1(what)] { askRealtimeKit(tid, name); },
        Qt::QueuedConnection);
}

} // namespace voicelink
