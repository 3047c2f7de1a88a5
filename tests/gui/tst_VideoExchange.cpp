#include "app/TForms.h"
#include "app/TUdpDatagramSender.h"
#include "app/TUdpListener.h"
#include "app/TfrmMain.h"
#include "platform/errors/ESockError.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/ui/TApplication.h"
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
    void Send(const QByteArray& payload, const QString&) override
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
        CreateSecondaryForms(*form);
        form->ReadOutputVolume = [](quint16&, quint16&) { return false; };
        form->WriteOutputVolume = [](quint32) { return false; };
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form.get()));
    }

    QImage Shown() const { return form->Image1->Picture(); }
    QImage Idle() const { return form->Image12->Picture(); }

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
        QCOMPARE(form->edtHostName->text(), QString("192.0.2.3"));
        QCOMPARE(Shown(), Idle());
        form->UDPServer1UDPRead(frame, "192.0.2.4"); // only the first sender of the run
        QCOMPARE(form->edtHostName->text(), QString("192.0.2.3"));
        QCOMPARE(Shown(), Idle());
    }

    void framesDuringACallAreShownUntilEnd()
    {
        Start();
        form->Connected = true;
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QCOMPARE(Shown().size(), QSize(160, 120));
        QVERIFY(qRed(Shown().pixel(5, 5)) > 200);
        QTest::mouseClick(form->Image5, Qt::LeftButton); // End
        QCOMPARE(Shown(), Idle());
        form->UDPServer1UDPRead(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QCOMPARE(Shown(), Idle()); // the peer keeps sending: still idle
    }

    void hostileDatagramsLeaveTheLastGoodPicture()
    {
        Start();
        form->Connected = true;
        const QByteArray good = Jpeg(Pattern(64, 48, Qt::blue));
        form->UDPServer1UDPRead(good, "192.0.2.3");
        const QImage before = Shown();
        QByteArray huge = good;
        const qsizetype sof = huge.indexOf(QByteArray::fromHex("ffc0"));
        for (int i = 5; i <= 8; ++i)
            huge[sof + i] = char(0xff);
        for (const QByteArray& bad : {good.left(good.size() / 3), QByteArray(3000, 'x'), huge})
            form->UDPServer1UDPRead(bad, "192.0.2.3");
        QCOMPARE(Shown(), before);
    }

    void realDatagramsReachTheListener()
    {
        Start();
        form->Connected = true;
        QUdpSocket peer;
        peer.writeDatagram(QByteArray(), QHostAddress::LocalHost, form->UDPServer1->localPort());
        peer.writeDatagram(Jpeg(Pattern(200, 100, Qt::green)), QHostAddress::LocalHost,
                           form->UDPServer1->localPort());
        QTRY_COMPARE(Shown().size(), QSize(200, 100));
        QCOMPARE(form->edtHostName->text(), QString("127.0.0.1"));
    }

    void tooLargeFramesStepTheQualityDownAndWarnOnce()
    {
        Start();
        auto sender = std::make_unique<LimitedSender>();
        LimitedSender* limited = sender.get();
        form->UDPClient1 = std::move(sender);
        form->Connected = true;
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
        form->VideoHost = "127.0.0.1";
        form->Connected = true;
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
        form->Connected = true;
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
        form->Connected = true;
        QProcess gst;
        gst.start("gst-launch-1.0", {"-q", "videotestsrc", "num-buffers=20", "pattern=smpte", "!",
                                     "video/x-raw,width=176,height=144,framerate=30/1", "!",
                                     "jpegenc", "!", "udpsink", "host=127.0.0.1",
                                     QString("port=%1").arg(form->UDPServer1->localPort())});
        QTRY_COMPARE_WITH_TIMEOUT(Shown().size(), QSize(176, 144), 10000);
        QVERIFY(gst.waitForFinished(20000));
        QCOMPARE(form->edtHostName->text(), QString("127.0.0.1"));
    }

    void snapshotPutsTheShownPictureOnTheClipboard()
    {
        Start();
        QTest::mouseClick(form->Image9, Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->image().size(), Idle().size());
    }
};

PARLAVUE_GUI_TEST_MAIN(VideoExchangeTest)
#include "tst_VideoExchange.moc"
