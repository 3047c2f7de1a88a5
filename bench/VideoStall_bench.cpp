// How a flood of costly video datagrams holds up the main window: 2,000 progressive
// 3840 x 2160 JPEG datagrams in 10 s reach the video listener of a window that is in a call,
// while a 50 Hz timer ticks on the window's event loop. Reported: the longest gap between
// ticks and the frames shown, beside two references from the same process: the same loop with
// nothing arriving, and the same flood handled the way frames were handled before, decoded in
// the listener's handler on the window's thread.
// Usage: VideoStall_bench [datagrams] [seconds]   (runs offscreen)
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TFrameDecoder.h"
#include "calls/TUdpListener.h"
#include "calls/TVideoLink.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/logging/Logging.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"
#include "tests/support/TTestJpeg.h"
#include "widgets/TImage.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <thread>

namespace {

struct TRun
{
    qint64 longestGapMs = 0;
    int ticks = 0;
};

// Runs the event loop for the time given, ticking at 50 Hz, while `load` runs on a thread.
TRun Measure(int ms, const std::function<void()>& load)
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
    std::atomic<bool> done{false};
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, [&] {
        if (done)
            loop.quit();
    });
    clock.start();
    ticker.start();
    std::thread sender([&] {
        if (load)
            load();
        done = true;
    });
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done && clock.elapsed() >= ms)
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    sender.join();
    return run;
}

// Sends the datagrams evenly over the time given, from a socket of the sending thread.
void Flood(const QList<QByteArray>& datagrams, int count, int ms, quint16 port)
{
    QUdpSocket socket;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < count; ++i) {
        while (clock.elapsed() < qint64(i) * ms / count)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        socket.writeDatagram(datagrams[i % datagrams.size()], QHostAddress::LocalHost, port);
    }
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    const int count = argc > 1 ? std::max(1, atoi(argv[1])) : 2000;
    const int ms = (argc > 2 ? std::max(1, atoi(argv[2])) : 10) * 1000;

    // Costly: the largest picture the decoder takes, progressive, each one a little different.
    QList<QByteArray> datagrams;
    for (int i = 0; i < 4; ++i)
        datagrams << TTestJpeg::Progressive(TTestJpeg::Smooth(3840, 2160).mirrored(i & 1, i & 2),
                                            50);
    QElapsedTimer decodeClock;
    decodeClock.start();
    int decodable = 0;
    for (const QByteArray& d : datagrams)
        decodable += TJpegDecoder::Decode(d).has_value();
    const double decodeMs = double(decodeClock.elapsed()) / datagrams.size();
    std::printf("datagram: progressive 3840x2160, %lld bytes, %d of %lld decodable, %.1f ms to "
                "decode each\n",
                static_cast<long long>(datagrams.first().size()), decodable,
                static_cast<long long>(datagrams.size()), decodeMs);

    TGuiTestEnvironment env;
    TScriptedUiScope script;
    std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
    if (!phone)
        return 1;
    TfrmMain& form = phone->Window();
    phone->Video().Start(QHostAddress::LocalHost);

    const TRun idle = Measure(3000, {});
    std::printf("idle loop:        longest gap %lld ms over %d ticks\n",
                static_cast<long long>(idle.longestGapMs), idle.ticks);

    const quint16 port = phone->Video().ListenPort();
    const TFrameDecoder& decoder = phone->Video().Decoder();
    const TRun flood = Measure(ms, [&] { Flood(datagrams, count, ms, port); });
    std::printf("flood, decoded off the window's thread: longest gap %lld ms over %d ticks; "
                "%llu datagrams taken, %llu decoded, %llu frames shown\n",
                static_cast<long long>(flood.longestGapMs), flood.ticks,
                static_cast<unsigned long long>(decoder.Submitted()),
                static_cast<unsigned long long>(decoder.Decoded()),
                static_cast<unsigned long long>(decoder.Delivered()));

    // The earlier way: each datagram decoded and shown inside the listener's handler.
    int shownInline = 0;
    TUdpListener inline_(
        QStringLiteral("video"), TVideoLink::MaxVideoDatagram, lcVideo,
        [&](const QByteArray& d, const QString&) {
            if (auto picture = TJpegDecoder::Decode(d)) {
                Control<TImage>(&form, "Image1")->SetPicture(*picture);
                ++shownInline;
            }
        },
        nullptr);
    if (!inline_.Activate(0))
        return 1;
    const quint16 inlinePort = inline_.localPort();
    const TRun reference = Measure(ms, [&] { Flood(datagrams, count, ms, inlinePort); });
    std::printf("flood, decoded in the handler (before): longest gap %lld ms over %d ticks; %d "
                "frames shown\n",
                static_cast<long long>(reference.longestGapMs), reference.ticks, shownInline);

    std::printf("longest gap: %.2f x the idle loop's, %.3f x the decode-in-handler reference's "
                "(goal: under 50 ms: %s)\n",
                double(flood.longestGapMs) / std::max<qint64>(1, idle.longestGapMs),
                double(flood.longestGapMs) / std::max<qint64>(1, reference.longestGapMs),
                flood.longestGapMs < 50 ? "met" : "missed");
    phone.reset();
    return 0;
}
