#include "app/TTerminationSignals.h"

#include "platform/logging/Logging.h"

#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {
int wakeFds[2] = {-1, -1};
constexpr int Signals[] = {SIGTERM, SIGINT, SIGHUP};

void OnSignal(int signal)
{
    const char byte = char(signal);
    // Only async-signal-safe work here; a full pipe means a wake-up is pending anyway.
    [[maybe_unused]] const ssize_t n = ::write(wakeFds[0], &byte, 1);
}
} // namespace

TTerminationSignals::TTerminationSignals(std::function<void()> handler, QObject* parent)
    : QObject(parent), handler_(std::move(handler))
{
    if (wakeFds[0] < 0 &&
        ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, wakeFds) != 0) {
        qCWarning(lcApp) << "termination signals stay as they are: no socket pair";
        return;
    }
    notifier_ = new QSocketNotifier(wakeFds[1], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        const ssize_t n = ::read(wakeFds[1], bytes, sizeof bytes);
        if (n > 0) {
            qCInfo(lcApp) << "signal" << int(bytes[0]) << "- ending as if the window was closed";
            if (handler_)
                handler_();
        }
    });
    struct sigaction action
    {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int s : Signals)
        ::sigaction(s, &action, nullptr);
}

TTerminationSignals::~TTerminationSignals()
{
    // Back to the default, so a second signal during the shutdown ends the program at once.
    for (const int s : Signals)
        std::signal(s, SIG_DFL);
}
