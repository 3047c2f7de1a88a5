// The call's video without a window: what is sent, what is shown, and that only the peer's
// datagrams are looked at during a call.
#include "calls/TFrameDecoder.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TVideoLink.h"
#include "platform/errors/ESockError.h"
#include "platform/jpeg/TJpegDecoder.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "tests/runner/TTestRunner.h"
#include "tests/support/TDatagramFlood.h"
#include "tests/support/TestPictures.h"

#include <QNetworkDatagram>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

using namespace std::chrono_literals;

namespace {

// Keeps what is sent; refuses payloads above a size, as a network refuses datagrams that are
// too large.
class LimitedSender : public IDatagramSender
{
public:
    qsizetype limit = 1 << 20;
    QList<QByteArray> sent;
    QList<qsizetype> refused;
    void SendTo(const QByteArray& payload, const QHostAddress&) override
    {
        if (payload.size() > limit) {
            refused << payload.size();
            throw ESockError("Message too long");
        }
        sent << QByteArray(payload.constData(), payload.size());
    }
};

QImage Noise(int width, int height)
{
    QImage image(width, height, QImage::Format_BGR888);
    QRandomGenerator rng(7);
    for (int y = 0; y < height; ++y) {
        uchar* row = image.scanLine(y);
        for (int x = 0; x < width * 3; ++x)
            row[x] = uchar(rng.bounded(256));
    }
    return image;
}

const QHostAddress Peer("192.0.2.3");

} // namespace

class VideoLinkTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TVideoLink> link;
    LimitedSender* sender = nullptr;
    QList<QImage> shown;
    QStringList firstSenders;
    int tooLarge = 0;

    void Start()
    {
        TCallPorts ports;
        ports.videoListen = 0;
        link = std::make_unique<TVideoLink>(ports);
        auto limited = std::make_unique<LimitedSender>();
        sender = limited.get();
        link->SetSender(std::move(limited));
        link->SetDisplaySize(QSize(320, 240));
        connect(link.get(), &TVideoLink::shown, this,
                [this](const QImage& picture, const QImage&) { shown << picture; });
        connect(link.get(), &TVideoLink::firstSender, this,
                [this](const QString& from) { firstSenders << from; });
        connect(link.get(), &TVideoLink::frameTooLarge, this, [this] { ++tooLarge; });
    }

    // Hands a datagram over and waits until its picture is handed back or it is refused.
    void ReceiveAndWait(const QByteArray& datagram, const QString& from)
    {
        const TFrameDecoder& d = link->Decoder();
        const quint64 before = d.Delivered() + d.Refused();
        link->Receive(datagram, from);
        QTRY_COMPARE(d.Delivered() + d.Refused(), before + 1);
    }

private slots:
    void init()
    {
        shown.clear();
        firstSenders.clear();
        tooLarge = 0;
    }
    void cleanup() { link.reset(); }

    void betweenCallsFramesAreNotShownAndOnlyTheFirstSenderIsNamed()
    {
        Start();
        const QByteArray frame = Jpeg(Pattern(160, 120, Qt::red));
        link->Receive(frame, "192.0.2.3");
        link->Receive(frame, "192.0.2.4");
        QCOMPARE(firstSenders, QStringList{"192.0.2.3"});
        QCOMPARE(link->Decoder().Submitted(), 0u);
        link->Send(Pattern(64, 48, Qt::red));
        QVERIFY(sender->sent.isEmpty()); // nothing goes out without a call
    }

    void duringACallOnlyThePeersFramesAreShown()
    {
        Start();
        link->Start(Peer);
        link->Receive(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.66");
        QCOMPARE(link->Decoder().Submitted(), 0u);
        QVERIFY(firstSenders.isEmpty()); // a stranger is not even named
        ReceiveAndWait(Jpeg(Pattern(80, 60, Qt::green)), "192.0.2.3");
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown.last().size(), QSize(80, 60));
        QCOMPARE(firstSenders, QStringList{"192.0.2.3"});
        link->Stop();
        link->Receive(Jpeg(Pattern(80, 60, Qt::green)), "192.0.2.3");
        QCOMPARE(link->Decoder().Submitted(), 1u);
    }

    void hostileDatagramsShowNothing()
    {
        Start();
        link->Start(Peer);
        const QByteArray good = Jpeg(Pattern(64, 48, Qt::blue));
        QByteArray huge = good;
        const qsizetype sof = huge.indexOf(QByteArray::fromHex("ffc0"));
        for (int i = 5; i <= 8; ++i)
            huge[sof + i] = char(0xff);
        for (const QByteArray& bad : {good.left(good.size() / 3), QByteArray(3000, 'x'), huge})
            ReceiveAndWait(bad, "192.0.2.3");
        QCOMPARE(link->Decoder().Refused(), 3u);
        QVERIFY(shown.isEmpty());
    }

    void aBurstEndsOnTheNewestAndLateFramesOfAnEndedCallAreDropped()
    {
        Start();
        link->Start(Peer);
        const QByteArray red = Jpeg(Pattern(96, 64, Qt::red));
        const QByteArray green = Jpeg(Pattern(96, 64, Qt::green));
        // Faster than any decoder: everything arrives before the loop runs again.
        for (int i = 0; i < 49; ++i)
            link->Receive(i % 2 ? red : green, "192.0.2.3");
        link->Receive(Jpeg(Pattern(96, 64, Qt::blue)), "192.0.2.3");
        auto blue = [&] {
            if (shown.isEmpty())
                return false;
            const QRgb p = shown.last().pixel(2, 2);
            return qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
        };
        QTRY_VERIFY(blue());
        QTest::qWait(100);
        QVERIFY2(blue(), "an older frame was shown after the newest");
        QVERIFY2(link->Decoder().Decoded() < 50, "older frames were decoded instead of dropped");

        const qsizetype before = shown.size();
        const quint64 decoded = link->Decoder().Decoded();
        link->Receive(red, "192.0.2.3");
        link->Stop();      // before the decoded picture is handed back
        link->Start(Peer); // nor does the next call show it
        QTRY_VERIFY(link->Decoder().Decoded() > decoded);
        QTest::qWait(50);
        QCOMPARE(shown.size(), before);
    }

    void framesThatDoNotFitLowerTheQualityAndAreToldOnce()
    {
        Start();
        link->Start(Peer);
        sender->limit = 0;
        const QImage frame = Noise(64, 64);
        for (int i = 0; i < 102; ++i)
            link->Send(frame);
        QCOMPARE(sender->refused.size(), 102);
        QCOMPARE(link->Quality(), -2);
        QCOMPARE(tooLarge, 1);
        // Each step really lowered the quality: the frames shrank, down to quality 1.
        QVERIFY(sender->refused[0] > sender->refused[60]);
        QCOMPARE(sender->refused[100], sender->refused[101]);
        QCOMPARE(link->Rates().framesSent, 0);
        // What goes once there is room again is shown at the quality it was made at.
        sender->limit = 1 << 20;
        link->Send(frame);
        QCOMPARE(link->SentQuality(), std::optional<int>(1));
    }

    void aFrameLargerThanAnyDatagramFailsOverTheRealNetwork()
    {
        Start();
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
        link->SetSender(std::make_unique<TUdpDatagramSender>(receiver.localPort()));
        link->Start(QHostAddress::LocalHost);
        link->Send(Noise(640, 480)); // noise at quality 100: far above 64 KiB
        QCOMPARE(link->Quality(), 99);
        const QImage small = Pattern(160, 120, Qt::red);
        link->Send(small);
        QTRY_VERIFY(receiver.hasPendingDatagrams());
        const QByteArray got = receiver.receiveDatagram().data();
        TJpegEncoder encoder;
        encoder.SetQuality(99);
        QCOMPARE(got, encoder.Compress(small)); // one whole JPEG picture per datagram
        QCOMPARE(link->Rates().framesSent, 1);
    }

    void aCameraPictureGoesAsItCameWhenItFitsAndThroughTheEncoderWhenNot()
    {
        Start();
        link->Start(Peer);
        sender->limit = TVideoLink::MaxSentDatagram;
        QCOMPARE(link->Source(), TVideoSource::None);
        const QImage scene = Pattern(640, 480, Qt::blue);
        const QByteArray camera = Jpeg(scene);
        // A driver's padding is cut off; the picture itself is not touched.
        link->Send(TCameraFrame{scene.scaled(160, 120), camera + QByteArray(512, '\0'), false});
        QCOMPARE(sender->sent.size(), 1);
        QCOMPARE(sender->sent.last(), camera);
        QCOMPARE(link->Source(), TVideoSource::Passthrough);
        // Its quality is the camera's, not the encoder's.
        TJpegEncoder camera40;
        camera40.SetQuality(40);
        link->Send(TCameraFrame{scene.scaled(160, 120), camera40.Compress(scene), false});
        QVERIFY(link->SentQuality() && qAbs(*link->SentQuality() - 40) <= 1);
        sender->sent.removeLast();

        // Bulked past a datagram (a large comment segment): decoded and encoded again, whole.
        QByteArray bulky = camera;
        bulky.insert(2, QByteArray("\xFF\xFE") + char(0xFF) + char(0xFF) + QByteArray(0xFFFD, 'x'));
        link->Send(TCameraFrame{scene.scaled(160, 120), bulky, false});
        QCOMPARE(sender->sent.size(), 2);
        QVERIFY(sender->sent.last() != camera);
        const std::optional<QImage> sent = TJpegDecoder::Decode(sender->sent.last());
        QVERIFY(sent);
        QCOMPARE(sent->size(), scene.size());
        QCOMPARE(link->Source(), TVideoSource::Camera);

        // A broken picture is dropped; it does not count against the quality.
        link->Send(TCameraFrame{scene.scaled(160, 120), camera.left(camera.size() / 2), false});
        link->Send(TCameraFrame{scene.scaled(160, 120), QByteArray("\xFF\xD8garbage"), false});
        QCOMPARE(sender->sent.size(), 2);
        QCOMPARE(link->Quality(), 100);
    }

    void aScreenIsScaledToFitOneDatagram()
    {
        Start();
        link->Start(Peer);
        sender->limit = TVideoLink::MaxSentDatagram;
        const QImage screen = Noise(2100, 800);
        for (int i = 0; i < 6; ++i)
            link->Send(TCameraFrame{screen, {}, true});
        QVERIFY(!sender->sent.isEmpty());
        QVERIFY(sender->refused.isEmpty());
        const std::optional<QImage> last = TJpegDecoder::Decode(sender->sent.last());
        QVERIFY(last);
        QVERIFY(last->width() < screen.width());
        QCOMPARE(link->Source(), TVideoSource::Screen);
    }

    void aFloodLeavesTheListenerShowingThePeerAfterwards()
    {
        Start();
        QVERIFY(link->Listen());
        link->Start(QHostAddress::LocalHost);
        QUdpSocket peer;
        for (int round = 0; round < 3; ++round) {
            {
                TDatagramFlood flood("127.0.0.2", link->ListenPort(), QByteArray(32, 'x'), 1s);
                QVERIFY(QTest::qWaitFor([&] { return flood.Done(); }, 20000));
                QVERIFY(flood.Sent() > 1000);
            }
            // A picture behind the flood is shown once what came before it is read; one that
            // comes after that is shown too.
            for (int n = 1; n <= 2; ++n) {
                peer.writeDatagram(Jpeg(Pattern(64, 48, Qt::red)), QHostAddress::LocalHost,
                                   link->ListenPort());
                QTRY_COMPARE_WITH_TIMEOUT(shown.size(), 2 * round + n, 10000);
            }
        }
    }

    void gstreamerReadsWhatWeSendAndWeShowWhatItSends()
    {
        if (QStandardPaths::findExecutable("gst-launch-1.0").isEmpty())
            QSKIP("gst-launch-1.0 is not installed (gstreamer1.0-tools)");
        Start();
        link->Start(QHostAddress::LocalHost);
        link->Send(Pattern(320, 240, Qt::red));
        QCOMPARE(sender->sent.size(), 1);
        QTemporaryDir dir;
        const QString jpeg = dir.filePath("frame.jpg"), png = dir.filePath("frame.png");
        QFile f(jpeg);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(sender->sent.first());
        f.close();
        QProcess decode;
        decode.start("gst-launch-1.0",
                     {"-q", "filesrc", "location=" + jpeg, "!", "jpegdec", "!", "videoconvert", "!",
                      "pngenc", "!", "filesink", "location=" + png});
        QVERIFY(decode.waitForFinished(20000));
        QCOMPARE(decode.exitCode(), 0);
        const QImage decoded(png);
        QCOMPARE(decoded.size(), QSize(320, 240));
        QVERIFY(qRed(decoded.pixel(5, 5)) > 200 && qGreen(decoded.pixel(5, 5)) < 60);
        QVERIFY(qGreen(decoded.pixel(160, 120)) > 200); // the white middle

        QVERIFY(link->Listen());
        QProcess send;
        send.start("gst-launch-1.0",
                   {"-q", "videotestsrc", "num-buffers=20", "pattern=smpte", "!",
                    "video/x-raw,width=176,height=144,framerate=30/1", "!", "jpegenc", "!",
                    "udpsink", "host=127.0.0.1", QString("port=%1").arg(link->ListenPort())});
        QTRY_VERIFY_WITH_TIMEOUT(!shown.isEmpty(), 10000);
        QCOMPARE(shown.last().size(), QSize(176, 144));
        QVERIFY(send.waitForFinished(20000));
    }
};

PARLAVUE_GUILESS_TEST_MAIN(VideoLinkTest);
#include "tst_VideoLink.moc"
