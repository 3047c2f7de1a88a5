#pragma once

// A flood of one datagram, sent as fast as a thread of its own can to a loopback port, so the
// receiving thread's event loop keeps running meanwhile. Bounded in count and in time.
#include <QByteArray>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

class TDatagramFlood
{
public:
    TDatagramFlood(const char* from, quint16 port, QByteArray datagram,
                   std::chrono::milliseconds span, long maxCount = 2'000'000)
        : datagram_(std::move(datagram)),
          worker_([this, from, port, span, maxCount] { Run(from, port, span, maxCount); })
    {}
    ~TDatagramFlood() { worker_.join(); }

    bool Done() const { return done_; }
    long Sent() const { return sent_; }

private:
    void Run(const char* from, quint16 port, std::chrono::milliseconds span, long maxCount)
    {
        const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
        sockaddr_in source{};
        source.sin_family = AF_INET;
        ::inet_pton(AF_INET, from, &source.sin_addr);
        ::bind(fd, reinterpret_cast<sockaddr*>(&source), sizeof source);
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        const auto end = std::chrono::steady_clock::now() + span;
        for (long i = 0; i < maxCount && std::chrono::steady_clock::now() < end; ++i) {
            if (::sendto(fd, datagram_.constData(), size_t(datagram_.size()), 0,
                         reinterpret_cast<sockaddr*>(&to), sizeof to) > 0)
                ++sent_;
        }
        ::close(fd);
        done_ = true;
    }

    QByteArray datagram_;
    std::atomic<long> sent_{0};
    std::atomic<bool> done_{false};
    std::thread worker_;
};
