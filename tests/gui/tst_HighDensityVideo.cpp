// On a screen of two device pixels per widget pixel (QT_SCALE_FACTOR=2, set before the
// application is made) a received picture is decoded and scaled for the video area's device
// pixels: the peer's finest detail reaches the screen instead of being halved and blown up.
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TFrameDecoder.h"
#include "calls/TVideoLink.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeVoiceLink.h"
#include "tests/support/TRecordingSender.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"

#include <QTest>

namespace {

// One-pixel black and white columns: what a scaled-down copy turns to grey.
QImage Stripes(QSize size)
{
    QImage image(size, QImage::Format_RGB888);
    for (int y = 0; y < size.height(); ++y)
        for (int x = 0; x < size.width(); ++x)
            image.setPixelColor(x, y, x % 2 ? Qt::white : Qt::black);
    return image;
}

// How much neighbouring columns differ along the middle row of the area, 0..255.
double Contrast(const QImage& image, const QRect& area)
{
    const int y = area.center().y();
    double sum = 0;
    int count = 0;
    for (int x = area.left() + area.width() / 4; x < area.right() - area.width() / 4; ++x) {
        sum += std::abs(qGray(image.pixel(x, y)) - qGray(image.pixel(x + 1, y)));
        ++count;
    }
    return count ? sum / count : 0;
}

} // namespace

class HighDensityVideoTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;

private slots:
    void cleanup()
    {
        phone.reset();
        TWindowTest::cleanup();
    }
    void thePeersFinestDetailReachesTheScreen()
    {
        phone = MakePhone(MakeFakeCamera());
        phone->Session().SetVoiceLink(std::make_shared<TFakeVoiceLink>());
        phone->Session().SetSender(std::make_unique<TRecordingSender>());
        QVERIFY(ShowMainWindow(phone->Window()));
        auto* video = Control<TImage>(&phone->Window(), "Image1");
        QCOMPARE(video->devicePixelRatioF(), 2.0);

        phone->Session().Receive("Calling|Bert", "192.0.2.3");
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image4"), Qt::LeftButton);
        QVERIFY(phone->Video().Running());

        // A picture of exactly the area's device pixels.
        const QSize device = video->size() * 2;
        TJpegEncoder encoder;
        encoder.SetQuality(100);
        const TFrameDecoder& decoder = phone->Video().Decoder();
        // Scaled on the decoding thread for the screen's pixels, not on the window's thread.
        QImage display;
        connect(&phone->Video(), &TVideoLink::shown, this,
                [&](const QImage&, const QImage& made) { display = made; });
        phone->Video().Receive(encoder.Compress(Stripes(device)), "192.0.2.3");
        QTRY_COMPARE(decoder.Delivered(), quint64(1));
        QCOMPARE(video->PictureRect(), video->rect());
        QCOMPARE(display.size(), device);
        QCOMPARE(display.devicePixelRatio(), 2.0);

        const QImage screen = video->grab().toImage();
        QCOMPARE(screen.size(), device);
        const QRect all(QPoint(0, 0), device);
        // Blown up from a half-size copy the columns would be grey, differing by little.
        QVERIFY2(Contrast(screen, all) > 150, qPrintable(QString::number(Contrast(screen, all))));
    }
};

PARLAVUE_TEST_ENTRY([](int argc, char** argv) {
    qputenv("QT_SCALE_FACTOR", "2");
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    HighDensityVideoTest test;
    return QTest::qExec(&test, argc, argv);
});

#include "tst_HighDensityVideo.moc"
