#pragma once

#include <QtGlobal>

#include <atomic>
#include <thread>

// A poor network on loopback, in user space: forwards the UDP datagrams that reach
// 127.0.0.1:listenPort to 127.0.0.1:targetPort (sent from 127.0.0.1:listenPort), dropping a
// share of them at random and holding each of the others a random while, so that they may
// overtake each other. The draws follow the seed. It forwards until destroyed or until its
// lifetime is over, whichever comes first.
class TImpairmentRelay
{
public:
    struct Impairment
    {
        double loss = 0;    // share of datagrams dropped, 0..1
        int minDelayMs = 0; // each forwarded datagram is held for a uniform draw between these
        int maxDelayMs = 0;
        unsigned seed = 1;
    };

    TImpairmentRelay(quint16 listenPort, quint16 targetPort, Impairment impairment,
                     int lifetimeMs = 60000);
    ~TImpairmentRelay();
    TImpairmentRelay(const TImpairmentRelay&) = delete;
    TImpairmentRelay& operator=(const TImpairmentRelay&) = delete;

    bool Ready() const { return fd_ >= 0; }
    quint64 Received() const { return received_.load(); }
    quint64 Dropped() const { return dropped_.load(); }
    quint64 Forwarded() const { return forwarded_.load(); }
    // Datagrams sent on before one that had come in earlier.
    quint64 Overtaken() const { return overtaken_.load(); }

private:
    void run(std::stop_token stop, quint16 targetPort, Impairment impairment, int lifetimeMs);

    int fd_ = -1;
    std::atomic<quint64> received_{0};
    std::atomic<quint64> dropped_{0};
    std::atomic<quint64> forwarded_{0};
    std::atomic<quint64> overtaken_{0};
    std::jthread thread_; // last: it stops and joins before the socket is closed
};
