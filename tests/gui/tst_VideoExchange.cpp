#include "app/TForms.h"
#include "calls/TFrameDecoder.h"
#include "calls/TUdpDatagramSender.h"
#include "calls/TUdpListener.h"
#include "app/TfrmMain.h"
#include "platform/errors/ESockError.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/TFakeCamera.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"

#include <QClipboard>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPainter>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

// Refuses payloads above a size, as a network refuses datagrams that are too large.
class LimitedSender : public IDatagramSender
{
public:
    qsizetype limit = 0;
    QList<qsizetype> sent;
    QList<qsizetype> refused;
    void SendTo(const QByteArray& payload, const QHostAddress&) override
    {
        if (payload.size() > limit) {
            refused << payload.size();
            throw ESockError("Message too long");
        }
        sent << payload.size();
    }
};

QImage Pattern(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_BGR888);
    image.fill(colour);
    QPainter p(&image);
    p.fillRect(width / 4, height / 4, width / 2, height / 2, Qt::white);
    return image;
}

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

QByteArray Jpeg(const QImage& image)
{
    TJpegEncoder encoder;
    encoder.SetQuality(85);
    return encoder.Compress(image);
}

} // namespace

class VideoExchangeTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::unique_ptr<TScriptedUiScope> script;
    std::unique_ptr<TfrmMain> form;

    void Start()
    {
        TCallPorts ports;
        ports.signallingListen = 0;
        ports.videoListen = 0;
        form = std::make_unique<TfrmMain>(MakeFakeCamera(), ports);
        CreateSecondaryForms(*form, 0);
        form->ReadOutputVolume = [](quint16&, quint16&) { return false; };
        form->WriteOutputVolume = [](quint32) { return false; };
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    QImage Shown() const { return Control<TImage>(&*form, "Image1")->Picture(); }
    QImage Idle() const { return Control<TImage>(&*form, "Image12")->Picture(); }

    // The state a call with the peer leaves behind once it is up.
    void InCallWith(const QString& peer)
    {
        form->Connected = true;
        form->CallPeer = peer;
        form->SetVideoDestination(peer);
    }

    // Hands a datagram to the video listener and waits until its picture is handed back or it
    // is refused.
    void ReceiveAndWait(const QByteArray& datagram, const QString& from)
    {
        const TFrameDecoder* d = form->FrameDecoder;
        const quint64 before = d->Delivered() + d->Refused();
        form->UDPServer1UDPRead(datagram, from);
        QTRY_COMPARE(d->Delivered() + d->Refused(), before + 1);
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        script = std::make_unique<TScriptedUiScope>();
    }
    void cleanup()
    {
        form.reset();
        Forms() = TForms();
        script.reset();
        env.reset();
    }

    void framesBeforeACallOnlyNameTheSender()
    {
        Start();
        const QByteArray frame = Jpeg(Pattern(160, 120, Qt::red));
        form->UDPServer1UDPRead(frame, "192.0.2.3");
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.3"));
        QCOMPARE(Shown(), Idle());
        form->UDPServer1UDPRead(frame, "192.0.2.4"); // only the first sender of the run
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.3"));
        QCOMPARE(Shown(), Idle());
    }

    void framesDuringACallAreShownUntilEnd()
    {
        Start();
        InCallWith("192.0.2.3");
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QTRY_COMPARE(Shown().size(), QSize(160, 120));
        QVERIFY(qRed(Shown().pixel(5, 5)) > 200);
        QTest::mouseClick(Control<TImageButton>(&*form, "Image5"), Qt::LeftButton); // End
        QCOMPARE(Shown(), Idle());
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QCOMPARE(Shown(), Idle()); // the peer keeps sending: still idle
        QCOMPARE(form->FrameDecoder->Submitted(), 1u);
    }

    void hostileDatagramsLeaveTheLastGoodPicture()
    {
        Start();
        InCallWith("192.0.2.3");
        const QByteArray good = Jpeg(Pattern(64, 48, Qt::blue));
        ReceiveAndWait(good, "192.0.2.3");
        const QImage before = Shown();
        QCOMPARE(before.size(), QSize(64, 48));
        QByteArray huge = good;
        const qsizetype sof = huge.indexOf(QByteArray::fromHex("ffc0"));
        for (int i = 5; i <= 8; ++i)
            huge[sof + i] = char(0xff);
        for (const QByteArray& bad : {good.left(good.size() / 3), QByteArray(3000, 'x'), huge})
            ReceiveAndWait(bad, "192.0.2.3");
        QCOMPARE(form->FrameDecoder->Refused(), 3u);
        QCOMPARE(Shown(), before);
    }

    void strangersFramesDuringACallAreDropped()
    {
        Start();
        InCallWith("192.0.2.3");
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.66");
        QCOMPARE(form->FrameDecoder->Submitted(), 0u);
        // Not even the host field, which the first frame of a run would otherwise fill.
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), TfrmMain::HostNamePrompt);
        ReceiveAndWait(Jpeg(Pattern(80, 60, Qt::green)), "192.0.2.3");
        QCOMPARE(Shown().size(), QSize(80, 60));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("192.0.2.3"));
    }

    void aBurstOfFramesEndsOnTheNewest()
    {
        Start();
        InCallWith("192.0.2.3");
        const QByteArray red = Jpeg(Pattern(96, 64, Qt::red));
        const QByteArray green = Jpeg(Pattern(96, 64, Qt::green));
        // Faster than any decoder: everything arrives before the window's loop runs again.
        for (int i = 0; i < 49; ++i)
            form->UDPServer1UDPRead(i % 2 ? red : green, "192.0.2.3");
        form->UDPServer1UDPRead(Jpeg(Pattern(96, 64, Qt::blue)), "192.0.2.3");
        const TFrameDecoder* d = form->FrameDecoder;
        QCOMPARE(d->Submitted(), 50u);
        auto blue = [&] {
            const QRgb p = Shown().pixel(2, 2);
            return !Shown().isNull() && qBlue(p) > 200 && qRed(p) < 60 && qGreen(p) < 60;
        };
        QTRY_VERIFY(blue());
        QTest::qWait(100);
        QVERIFY2(blue(), "an older frame was shown after the newest");
        QVERIFY2(d->Decoded() < 50, "older frames waiting were decoded instead of dropped");
        QVERIFY(d->Delivered() <= d->Decoded());
        QCOMPARE(d->Refused(), 0u);
    }

    void aFrameDecodedAfterTheCallEndedIsNotShown()
    {
        Start();
        InCallWith("192.0.2.3");
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        form->EndCall(); // before the decoded picture is handed back
        QTRY_COMPARE(form->FrameDecoder->Decoded(), 1u);
        QTest::qWait(50);
        QCOMPARE(Shown(), Idle());
        // A new call does not show what was decoded for the last one either.
        InCallWith("192.0.2.3");
        QTest::qWait(50);
        QCOMPARE(Shown(), Idle());
    }

    void bigFramesAreScaledForTheVideoAreaOffTheWindowsThread()
    {
        Start();
        InCallWith("192.0.2.3");
        ReceiveAndWait(Jpeg(Pattern(1920, 1080, Qt::red)), "192.0.2.3");
        // The picture kept is the whole frame (the snapshot takes it), shown scaled to fit.
        QCOMPARE(Shown().size(), QSize(1920, 1080));
        const QRect fit = Control<TImage>(&*form, "Image1")->PictureRect();
        QVERIFY(fit.width() < 1920 && fit.width() > 0);
        const QImage screen = Control<TImage>(&*form, "Image1")->grab().toImage();
        const QPoint middle = fit.center();
        QVERIFY(qGreen(screen.pixel(middle)) > 200); // the white middle of the pattern
        QVERIFY(qRed(screen.pixel(fit.left() + 3, fit.top() + 3)) > 200);
    }

    void realDatagramsReachTheListener()
    {
        Start();
        InCallWith("127.0.0.1");
        QUdpSocket peer;
        peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, form->UDPServer1->localPort());
        peer.writeDatagram(Jpeg(Pattern(200, 100, Qt::green)), QHostAddress::LocalHost,
                           form->UDPServer1->localPort());
        QTRY_COMPARE(Shown().size(), QSize(200, 100));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("127.0.0.1"));
    }

    void tooLargeFramesStepTheQualityDownAndWarnOnce()
    {
        Start();
        auto sender = std::make_unique<LimitedSender>();
        LimitedSender* limited = sender.get();
        form->UDPClient1 = std::move(sender);
        InCallWith("192.0.2.3");
        form->JpegQuality = 3;
        const QImage frame = Noise(64, 64);
        for (int i = 0; i < 5; ++i)
            form->capBitmapGrabbed(frame);
        QCOMPARE(limited->refused.size(), 5);
        QCOMPARE(form->JpegQuality, -2);
        QCOMPARE(script->ui.Texts("information"),
                 QStringList{"Video Frame too large. Lower resolution on video camera."});
        QCOMPARE(form->FrameEncoder.Quality(), 1); // never below 1
        // Each step really lowered the quality: the frames shrank.
        QVERIFY(limited->refused[0] > limited->refused[2]);

        // Frames that fit are sent whole, as one datagram each.
        limited->limit = 1 << 20;
        form->JpegQuality = 100;
        form->capBitmapGrabbed(Pattern(320, 240, Qt::red));
        QCOMPARE(limited->sent.size(), 1);
        QCOMPARE(limited->sent.first(), form->FrameOutStream.size());
        form->Connected = false;
        form->capBitmapGrabbed(Pattern(320, 240, Qt::red));
        QCOMPARE(limited->sent.size(), 1); // nothing goes out without a call
    }

    void aFrameLargerThanAnyDatagramFailsOverTheRealNetwork()
    {
        Start();
        QUdpSocket receiver;
        QVERIFY(receiver.bind(QHostAddress::LocalHost, 0));
        form->UDPClient1 = std::make_unique<TUdpDatagramSender>(receiver.localPort());
        InCallWith("127.0.0.1");
        form->capBitmapGrabbed(Noise(640, 480)); // noise at quality 100: far above 64 KiB
        QVERIFY(form->FrameOutStream.size() > 65507);
        QCOMPARE(form->JpegQuality, 99);
        form->capBitmapGrabbed(Pattern(160, 120, Qt::red));
        QTRY_VERIFY(receiver.hasPendingDatagrams());
        const QByteArray got = receiver.receiveDatagram().data();
        QCOMPARE(got, form->FrameOutStream);
    }

    void framesWeSendDecodeWithGStreamer()
    {
        if (QStandardPaths::findExecutable("gst-launch-1.0").isEmpty())
            QSKIP("gst-launch-1.0 is not installed (gstreamer1.0-tools)");
        Start();
        auto sender = std::make_unique<LimitedSender>();
        sender->limit = 1 << 20;
        form->UDPClient1 = std::move(sender);
        InCallWith("192.0.2.3");
        form->capBitmapGrabbed(Pattern(320, 240, Qt::red));
        QTemporaryDir dir;
        const QString jpeg = dir.filePath("frame.jpg"), png = dir.filePath("frame.png");
        QFile f(jpeg);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(form->FrameOutStream);
        f.close();
        QProcess gst;
        gst.start("gst-launch-1.0",
                  {"-q", "filesrc", "location=" + jpeg, "!", "jpegdec", "!", "videoconvert", "!",
                   "pngenc", "!", "filesink", "location=" + png});
        QVERIFY(gst.waitForFinished(20000));
        QCOMPARE(gst.exitCode(), 0);
        const QImage decoded(png);
        QCOMPARE(decoded.size(), QSize(320, 240));
        QVERIFY(qRed(decoded.pixel(5, 5)) > 200 && qGreen(decoded.pixel(5, 5)) < 60);
        QVERIFY(qGreen(decoded.pixel(160, 120)) > 200); // the white middle
    }

    void framesFromAGStreamerSenderAreShownDuringACall()
    {
        if (QStandardPaths::findExecutable("gst-launch-1.0").isEmpty())
            QSKIP("gst-launch-1.0 is not installed (gstreamer1.0-tools)");
        Start();
        InCallWith("127.0.0.1");
        QProcess gst;
        gst.start("gst-launch-1.0", {"-q", "videotestsrc", "num-buffers=20", "pattern=smpte", "!",
                                     "video/x-raw,width=176,height=144,framerate=30/1", "!",
                                     "jpegenc", "!", "udpsink", "host=127.0.0.1",
                                     QString("port=%1").arg(form->UDPServer1->localPort())});
        QTRY_COMPARE_WITH_TIMEOUT(Shown().size(), QSize(176, 144), 10000);
        QVERIFY(gst.waitForFinished(20000));
        QCOMPARE(Control<QLineEdit>(&*form, "edtHostName")->text(), QString("127.0.0.1"));
    }

    void snapshotPutsTheShownPictureOnTheClipboard()
    {
        Start();
        QTest::mouseClick(Control<TImageButton>(&*form, "Image9"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->image().size(), Idle().size());
    }
};

PARLAVUE_GUI_TEST_MAIN(VideoExchangeTest)
#include "tst_VideoExchange.moc"
