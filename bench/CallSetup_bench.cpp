// Call set-up over loopback, from the caller's request to its hearing the callee's "Accept":
// plain (one datagram each way) against the secure channel (a TLS 1.3 handshake to the callee's
// file port, the hello, the commitments, then the same two texts), in turn in one run, with a
// fresh channel for every call as the phone opens one. Reported: the medians of each and their
// difference, the time the secure channel adds before anything rings.
// Usage: CallSetup_bench [calls]   (default 30 of each)
#include "calls/TSecureSignalling.h"
#include "calls/TUdpDatagramSender.h"
#include "platform/crypto/IPeerKeys.h"
#include "platform/crypto/TIdentity.h"
#include "platform/crypto/TTlsContext.h"
#include "transfer/TStrmServer.h"
#include "transfer/TStrmSocket.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkDatagram>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

const QHostAddress Loopback(QHostAddress::LocalHost);

// Every peer takes a channel (or, plain, none does), with any key.
class TAnyKey : public IPeerKeys
{
public:
    bool secure = true;
    TExpected Expected(const QHostAddress&) const override { return {secure, {}, "peer"}; }
    TState Seen(const QHostAddress&, const QByteArray&, bool) override { return TState::New; }
};

// One copy's signalling: its key, its plain port and what reaches it either way.
struct TEnd
{
    QTemporaryDir dir;
    TIdentity identity = TIdentity::Load(dir.filePath(QStringLiteral("Identity.key")));
    std::shared_ptr<const TTlsContext> tls = TTlsContext::Make(identity, nullptr);
    TAnyKey keys;
    QUdpSocket udp;
    std::unique_ptr<TSecureSignalling> signalling;
    std::function<void(const QByteArray&)> heard;

    TEnd() { udp.bind(Loopback, 0); }

    void Aim(quint16 peerUdp, quint16 channelPort)
    {
        signalling = std::make_unique<TSecureSignalling>(
            std::make_unique<TUdpDatagramSender>(peerUdp), channelPort);
        signalling->SetSecurity(tls, &keys);
        QObject::connect(signalling.get(), &TSecureSignalling::Text, signalling.get(),
                         [this](const QByteArray& text, const QHostAddress&) { heard(text); });
        QObject::connect(&udp, &QUdpSocket::readyRead, &udp, [this] {
            while (udp.hasPendingDatagrams()) {
                const QNetworkDatagram d = udp.receiveDatagram();
                if (signalling->AdmitPlain(d.senderAddress()))
                    heard(d.data());
            }
        });
    }
};

bool RunUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    return done();
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty()      ? 0
           : v.size() % 2 ? v[v.size() / 2]
                          : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int calls = argc > 1 ? std::max(1, atoi(argv[1])) : 30;
    TEnd a, b;
    if (!a.tls || !b.tls) {
        std::fprintf(stderr, "no keys could be made\n");
        return 1;
    }
    // B's file port answers secure channels and hands a call's to B's signalling.
    TStrmServer server;
    server.Port = 0;
    server.SetSecure(b.tls, [&b](TStrmSocket* socket, const QByteArray& callId) {
        QMetaObject::invokeMethod(b.signalling.get(),
                                  [&b, socket, callId] { b.signalling->Take(socket, callId); });
    });
    if (!server.Listen()) {
        std::fprintf(stderr, "no port to listen on\n");
        return 1;
    }
    a.Aim(b.udp.localPort(), server.LocalPort());
    b.Aim(a.udp.localPort(), 0);
    b.heard = [&b](const QByteArray& text) {
        if (text.startsWith("Calling|"))
            b.signalling->SendTo("Accept", Loopback);
    };

    auto call = [&](bool secure) -> double {
        a.keys.secure = secure;
        bool accepted = false;
        a.heard = [&](const QByteArray& text) { accepted = accepted || text == "Accept"; };
        QElapsedTimer clock;
        clock.start();
        a.signalling->SendTo("Calling|Anna", Loopback);
        if (!RunUntil([&] { return accepted; }, 5000))
            return -1;
        const double ms = clock.nsecsElapsed() / 1e6;
        // The call ends on both sides, and with it its channel.
        a.signalling->Settle(false, {});
        b.signalling->Settle(false, {});
        RunUntil([&] { return !b.signalling->Encrypted(Loopback); }, 2000);
        return ms;
    };
    call(true); // the first handshake loads what OpenSSL loads once
    std::vector<double> plain, secure;
    for (int i = 0; i < calls; ++i) {
        for (const bool encrypted : {false, true}) {
            const double ms = call(encrypted);
            if (ms < 0) {
                std::fprintf(stderr, "a %s call was not accepted within 5 s\n",
                             encrypted ? "secure" : "plain");
                return 1;
            }
            (encrypted ? secure : plain).push_back(ms);
        }
    }
    const double p = Median(plain), s = Median(secure);
    std::printf("call set-up over loopback, request to Accept, medians of %d calls each:\n"
                "  plain  %.2f ms\n  secure %.2f ms (slowest %.2f ms)\n"
                "  the secure channel adds %.2f ms (goal: at most 50 ms)\n",
                calls, p, s, *std::max_element(secure.begin(), secure.end()), s - p);
    return s - p <= 50 ? 0 : 2;
}
