#include "tests/support/TImpairmentRelay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <queue>
#include <random>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

sockaddr_in loopback(quint16 port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

struct Held
{
    Clock::time_point due;
    quint64 order = 0; // arrival order
    std::vector<char> data;
    bool operator>(const Held& o) const { return due > o.due; }
};

} // namespace

TImpairmentRelay::TImpairmentRelay(quint16 listenPort, quint16 targetPort, Impairment impairment,
                                   int lifetimeMs)
{
    fd_ = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    const sockaddr_in here = loopback(listenPort);
    if (::bind(fd_, reinterpret_cast<const sockaddr*>(&here), sizeof(here)) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    thread_ = std::jthread([this, targetPort, impairment, lifetimeMs](std::stop_token stop) {
        run(stop, targetPort, impairment, lifetimeMs);
    });
}

TImpairmentRelay::~TImpairmentRelay()
{
    if (thread_.joinable()) {
        thread_.request_stop();
        thread_.join();
    }
    if (fd_ >= 0)
        ::close(fd_);
}

void TImpairmentRelay::run(std::stop_token stop, quint16 targetPort, Impairment impairment,
                           int lifetimeMs)
{
    std::mt19937 rng(impairment.seed);
    std::bernoulli_distribution lost(std::clamp(impairment.loss, 0.0, 1.0));
    std::uniform_int_distribution<int> delayUs(
        impairment.minDelayMs * 1000,
        std::max(impairment.minDelayMs, impairment.maxDelayMs) * 1000);
    const sockaddr_in to = loopback(targetPort);
    const Clock::time_point end = Clock::now() + std::chrono::milliseconds(lifetimeMs);
    std::priority_queue<Held, std::vector<Held>, std::greater<>> held;
    quint64 arrivals = 0, lastSent = 0;
    bool sentAny = false;
    std::vector<char> buffer(65536);
    while (!stop.stop_requested() && Clock::now() < end) {
        // Wakes for the next datagram due, or at least every 5 ms to look at the stop request.
        int waitMs = 5;
        if (!held.empty()) {
            const auto until =
                std::chrono::ceil<std::chrono::milliseconds>(held.top().due - Clock::now());
            waitMs = int(std::clamp<qint64>(until.count(), 0, 5));
        }
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, waitMs);
        for (;;) {
            const ssize_t n = ::recv(fd_, buffer.data(), buffer.size(), 0);
            if (n < 0)
                break;
            ++received_;
            ++arrivals;
            if (lost(rng)) {
                ++dropped_;
                continue;
            }
            held.push({Clock::now() + std::chrono::microseconds(delayUs(rng)), arrivals,
                       std::vector<char>(buffer.begin(), buffer.begin() + n)});
        }
        const Clock::time_point now = Clock::now();
        while (!held.empty() && held.top().due <= now) {
            const Held& h = held.top();
            ::sendto(fd_, h.data.data(), h.data.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                     sizeof(to));
            ++forwarded_;
            if (sentAny && h.order < lastSent)
                ++overtaken_;
            lastSent = std::max(lastSent, h.order);
            sentAny = true;
            held.pop();
        }
    }
}
