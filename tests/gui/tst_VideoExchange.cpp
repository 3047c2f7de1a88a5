#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TFrameDecoder.h"
#include "calls/TVideoLink.h"
#include "platform/errors/ESockError.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeVoiceLink.h"
#include "tests/support/TRawTcpClient.h"
#include "tests/support/TRecordingSender.h"
#include "tests/support/TWindowTest.h"
#include "tests/support/TestPictures.h"
#include "transfer/TStrmServer.h"
#include "transfer/TfrmTransfer.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"

#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTest>
#include <QUdpSocket>

namespace {

// Refuses every payload, as a network refuses datagrams that are too large.
class RefusingSender : public IDatagramSender
{
public:
    void SendTo(const QByteArray&, const QHostAddress&) override
    {
        throw ESockError("Message too long");
    }
};

} // namespace

class VideoExchangeTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;
    std::shared_ptr<TFakeVoiceLink> terminal;

    void Start()
    {
        phone = MakePhone(MakeFakeCamera());
        terminal = std::make_shared<TFakeVoiceLink>();
        phone->Session().SetVoiceLink(terminal);
        phone->Session().SetSender(std::make_unique<TRecordingSender>());
        QVERIFY(ShowMainWindow(phone->Window()));
    }

    QImage Shown() const { return Control<TImage>(&phone->Window(), "Image1")->Picture(); }
    QImage Idle() const { return Control<TImage>(&phone->Window(), "Image12")->Picture(); }
    QString Field() const { return Control<QLineEdit>(&phone->Window(), "edtHostName")->text(); }

    // A call the peer placed, answered with the button.
    void InCallWith(const QString& peer)
    {
        phone->Session().Receive("Calling|Bert", peer);
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image4"), Qt::LeftButton);
        QVERIFY(phone->Session().Connected());
        QVERIFY(phone->Video().Running());
    }

    // Hands a datagram to the video listener and waits until its picture is handed back or it
    // is refused.
    void ReceiveAndWait(const QByteArray& datagram, const QString& from)
    {
        const TFrameDecoder& d = phone->Video().Decoder();
        const quint64 before = d.Delivered() + d.Refused();
        phone->Video().Receive(datagram, from);
        QTRY_COMPARE(d.Delivered() + d.Refused(), before + 1);
    }

private slots:
    void cleanup()
    {
        phone.reset();
        terminal.reset();
        TWindowTest::cleanup();
    }

    void theFirstFrameOfARunNamesItsSenderOnlyWhereTheUserTypedNothing()
    {
        Start();
        const QByteArray frame = Jpeg(Pattern(160, 120, Qt::red));
        phone->Video().Receive(frame, "192.0.2.3");
        QCOMPARE(Field(), QString("192.0.2.3"));
        QCOMPARE(Shown(), Idle());
        phone->Video().Receive(frame, "192.0.2.4"); // only the first sender of the run
        QCOMPARE(Field(), QString("192.0.2.3"));

        // What the user typed stays: the network only offers an address.
        Control<QLineEdit>(&phone->Window(), "edtHostName")->setText("friend.example");
        QVERIFY(!phone->Window().OfferHostName("192.0.2.5"));
        QCOMPARE(Field(), QString("friend.example"));
        // The prompt, nothing, or what the network wrote before may be replaced.
        phone->Window().SetHostName(TfrmMain::HostNamePrompt());
        QVERIFY(phone->Window().OfferHostName("192.0.2.5"));
        QVERIFY(phone->Window().OfferHostName("192.0.2.6"));
        QCOMPARE(Field(), QString("192.0.2.6"));
    }

    void aStrangersContactDuringACallLeavesTheHostFieldAsItWas()
    {
        Start();
        phone->Session().Receive("Calling|Bert", "192.0.2.3");
        QCOMPARE(Field(), QString("192.0.2.3")); // a ringing call shows its caller
        // While it rings, neither a file nor a stranger's first video may replace it.
        QVERIFY(!phone->Window().OfferHostName("192.0.2.66"));
        phone->Video().Receive(Jpeg(Pattern(16, 16, Qt::red)), "192.0.2.66");
        QCOMPARE(Field(), QString("192.0.2.3"));
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image4"), Qt::LeftButton);
        QVERIFY(phone->Session().Connected());
        // Someone connects to the file transfer port during the call: the portal names it.
        TfrmTransfer* portal = phone->Windows().transfer;
        TRawTcpClient contact(portal->StrmRec1->LocalPort());
        QVERIFY(contact.IsConnected());
        QTRY_COMPARE(portal->lblCom->text(), QString("Incoming from 127.0.0.1..."));
        QCOMPARE(Field(), QString("192.0.2.3"));
        QCOMPARE(phone->Session().Peer(), QString("192.0.2.3"));
        contact.Close();
    }

    void framesDuringACallAreShownUntilEnd()
    {
        Start();
        InCallWith("192.0.2.3");
        ReceiveAndWait(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QCOMPARE(Shown().size(), QSize(160, 120));
        QVERIFY(qRed(Shown().pixel(5, 5)) > 200);
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image5"), Qt::LeftButton); // End
        QCOMPARE(Shown(), Idle());
        phone->Video().Receive(Jpeg(Pattern(160, 120, Qt::red)), "192.0.2.3");
        QTest::qWait(50);
        QCOMPARE(Shown(), Idle()); // the peer keeps sending: still idle
    }

    void bigFramesAreScaledForTheVideoAreaOffTheWindowsThread()
    {
        Start();
        InCallWith("192.0.2.3");
        ReceiveAndWait(Jpeg(Pattern(1920, 1080, Qt::red)), "192.0.2.3");
        // Decoded no larger than it takes to cover the area, and shown scaled to fit; the
        // snapshot still takes the whole frame.
        QVERIFY(Shown().width() < 1920);
        QVERIFY(Shown().width() >= Control<TImage>(&phone->Window(), "Image1")->width() ||
                Shown().height() >= Control<TImage>(&phone->Window(), "Image1")->height());
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image9"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->image().size(), QSize(1920, 1080));
        const QRect fit = Control<TImage>(&phone->Window(), "Image1")->PictureRect();
        QVERIFY(fit.width() < 1920 && fit.width() > 0);
        const QImage screen = Control<TImage>(&phone->Window(), "Image1")->grab().toImage();
        const QPoint middle = fit.center();
        QVERIFY(qGreen(screen.pixel(middle)) > 200); // the white middle of the pattern
        QVERIFY(qRed(screen.pixel(fit.left() + 3, fit.top() + 3)) > 200);
    }

    void framesThatNeverFitAreToldOnceInABox()
    {
        Start();
        phone->Video().SetSender(std::make_unique<RefusingSender>());
        InCallWith("192.0.2.3");
        for (int i = 0; i < 102; ++i)
            phone->Video().Send(Pattern(32, 32, Qt::red));
        QCOMPARE(script->ui.Texts("information"),
                 QStringList{"Video Frame too large. Lower resolution on video camera."});
    }

    void snapshotPutsTheShownPictureOnTheClipboard()
    {
        Start();
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image9"), Qt::LeftButton);
        QCOMPARE(QApplication::clipboard()->image().size(), Idle().size());
    }
};

PARLAVUE_GUI_TEST_MAIN(VideoExchangeTest)
#include "tst_VideoExchange.moc"
