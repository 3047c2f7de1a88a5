#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "calls/TVideoLink.h"
#include "platform/jpeg/TJpegEncoder.h"
#include "platform/ui/TApplication.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TFakeVoiceLink.h"
#include "tests/support/TWindowTest.h"
#include "widgets/TImage.h"
#include "widgets/TImageButton.h"
#include "widgets/TStatsOverlay.h"

#include <QLoggingCategory>
#include <QMutex>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <QToolButton>

using namespace std::chrono_literals;

namespace {

constexpr int Wait = 10000; // ms; the overlay and the log follow a one-second timer

// Counts what goes out; the signalling and the video both land here.
class CountingSender : public IDatagramSender
{
public:
    QList<qsizetype> sent;
    void SendTo(const QByteArray& payload, const QHostAddress&) override { sent << payload.size(); }
};

// The messages logged on parlavue.stats while it is installed.
class StatsLog
{
public:
    StatsLog()
    {
        Instance() = this;
        previous_ = qInstallMessageHandler(&StatsLog::Handle);
    }
    ~StatsLog()
    {
        qInstallMessageHandler(previous_);
        Instance() = nullptr;
    }
    QStringList Lines() const
    {
        QMutexLocker lock(&mutex_);
        return lines_;
    }

private:
    static StatsLog*& Instance()
    {
        static StatsLog* instance = nullptr;
        return instance;
    }
    static void Handle(QtMsgType type, const QMessageLogContext& context, const QString& text)
    {
        StatsLog* self = Instance();
        if (self && context.category && QLatin1String(context.category) == "parlavue.stats") {
            QMutexLocker lock(&self->mutex_);
            if (type == QtInfoMsg)
                self->lines_ << text;
            return;
        }
        if (self && self->previous_)
            self->previous_(type, context, text);
    }

    mutable QMutex mutex_;
    QStringList lines_;
    QtMessageHandler previous_ = nullptr;
};

QByteArray Jpeg(QColor colour)
{
    QImage image(64, 48, QImage::Format_BGR888);
    image.fill(colour);
    TJpegEncoder encoder;
    encoder.SetQuality(80);
    return encoder.Compress(image);
}

} // namespace

class CallStatsTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;
    std::shared_ptr<TFakeVoiceLink> terminal;
    CountingSender* video = nullptr;
    TRateWindow::TTime now = TRateWindow::TTime{} + 1000h;

    // A main window that answers calls by itself, on a fake terminal, senders and clock.
    void Start()
    {
        env->WriteProgramFile("Settings.ini", "[Settings]\nCallerID=Anna\nAutoAnswer=1\n");
        phone = MakePhone(MakeFakeCamera());
        terminal = std::make_shared<TFakeVoiceLink>();
        phone->Session().SetVoiceLink(terminal);
        phone->Session().SetSender(std::make_unique<CountingSender>());
        auto sender = std::make_unique<CountingSender>();
        video = sender.get();
        phone->Video().SetSender(std::move(sender));
        phone->Video().clock = [this] { return now; };
        QVERIFY(ShowMainWindow(phone->Window(), true));
    }

    void AnswerCallFrom(const QString& peer)
    {
        phone->Session().Receive("Calling|Bert", peer);
        QVERIFY(phone->Session().Connected());
        QVERIFY(phone->Session().HasVoice());
    }

    // Sends n grabbed frames to the peer.
    void SendFrames(int n)
    {
        const qsizetype before = video->sent.size();
        QImage picture(32, 24, QImage::Format_BGR888);
        picture.fill(Qt::green);
        for (int i = 0; i < n; ++i)
            phone->Video().Send(picture);
        QCOMPARE(video->sent.size(), before + n);
    }

    // Hands the peer's frames to the video listener and waits until each is shown.
    void ReceiveFrames(int n, const QString& from)
    {
        for (int i = 0; i < n; ++i) {
            const QByteArray frame = Jpeg(i % 2 ? Qt::red : Qt::blue);
            const QImage before = Control<TImage>(&phone->Window(), "Image1")->Picture();
            phone->Video().Receive(frame, from);
            QTRY_VERIFY(Control<TImage>(&phone->Window(), "Image1")->Picture() != before);
        }
    }

    bool Shows(const QString& line) const
    {
        return Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")->Lines().contains(line);
    }

private slots:
    void initTestCase() { QLoggingCategory::setFilterRules("parlavue.stats.info=true"); }
    void cleanup()
    {
        phone.reset();
        terminal.reset();
        TWindowTest::cleanup();
    }

    void overlayIsHiddenUntilF3AndLiesOverThePicture()
    {
        Start();
        TStatsOverlay* overlay = Control<TStatsOverlay>(&phone->Window(), "StatsOverlay");
        QVERIFY(overlay);
        QVERIFY(overlay->isHidden());
        QCOMPARE(overlay->parentWidget(), Control<TImage>(&phone->Window(), "Image1"));

        QTest::keyClick(&phone->Window(), Qt::Key_F3);
        QVERIFY(overlay->isVisible());
        QCOMPARE(overlay->Lines().value(0), QString("No call"));
        QVERIFY(Shows("Video:       0 fps sent, 0 fps shown"));
        QVERIFY(Shows("Video data:  0 B/s out, 0 B/s in"));
        QVERIFY(Shows("Quality:     \u2013 (JPEG)")); // nothing sent yet
        QCOMPARE(overlay->pos(), QPoint(TStatsOverlay::Margin, TStatsOverlay::Margin));
        // Large enough for its lines, and no more than a corner of the picture.
        QVERIFY(overlay->width() > 100 && overlay->height() > 30);
        QVERIFY(overlay->width() < Control<TImage>(&phone->Window(), "Image1")->width() / 2);
        // The mouse goes through it to the picture.
        QCOMPARE(Control<TImage>(&phone->Window(), "Image1")->childAt(overlay->geometry().center()),
                 nullptr);

        // It keeps to the picture's corner as the window changes.
        QTest::mouseClick(Control<QToolButton>(&phone->Window(), "btnSidebar"), Qt::LeftButton);
        QVERIFY(overlay->isVisible());
        QCOMPARE(
            overlay->mapTo(&phone->Window(), QPoint(0, 0)),
            Control<TImage>(&phone->Window(), "Image1")->mapTo(&phone->Window(), QPoint(0, 0)) +
                QPoint(TStatsOverlay::Margin, TStatsOverlay::Margin));

        QTest::keyClick(&phone->Window(), Qt::Key_F3);
        QVERIFY(overlay->isHidden());
        QTest::keyClick(&phone->Window(), Qt::Key_I, Qt::ControlModifier);
        QVERIFY(overlay->isVisible());
        QTest::keyClick(&phone->Window(), Qt::Key_I, Qt::ControlModifier);
        QVERIFY(overlay->isHidden());
    }

    void overlayFollowsTheCallSecondBySecond()
    {
        Start();
        QTest::keyClick(&phone->Window(), Qt::Key_F3);
        QVERIFY(Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")->isVisible());
        AnswerCallFrom("192.0.2.7");

        terminal->stats.packetsSent = 250;
        terminal->stats.packetsReceived = 249;
        terminal->stats.peerReports = true;
        terminal->stats.roundTripMs = 0.4;
        terminal->stats.peerLossPercent = 0;
        terminal->stats.jitterMs = 0.3;
        // Loss measured here is not known yet.
        SendFrames(3);
        ReceiveFrames(2, "192.0.2.7");
        const qint64 out = video->sent[0] + video->sent[1] + video->sent[2];
        QTRY_VERIFY_WITH_TIMEOUT(Shows("Round trip:  0.4 ms"), Wait);
        QVERIFY2(Shows("Video:       3 fps sent, 2 fps shown"),
                 qPrintable(
                     Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")->Lines().join('\n')));
        QVERIFY(Shows(QString("Video data:  %1 B/s out, %2 B/s in")
                          .arg(out)
                          .arg(Jpeg(Qt::blue).size() + Jpeg(Qt::red).size())));
        QVERIFY(Shows("Peer loss:   0.0 %"));
        QVERIFY(Shows("Jitter:      0.3 ms"));
        QVERIFY(Shows(QStringLiteral("Loss:        \u2013 %")));
        QVERIFY(Shows("Voice:       250 sent, 249 received"));
        QVERIFY(!Shows("No call"));

        // A second and a half later the old frames are out of the count; the voice has moved.
        now += 1500ms;
        terminal->stats.roundTripMs = 7.5;
        terminal->stats.lossPercent = 1.25;
        terminal->stats.packetsSent = 300;
        SendFrames(5);
        QTRY_VERIFY_WITH_TIMEOUT(Shows("Round trip:  7.5 ms"), Wait);
        QTRY_VERIFY_WITH_TIMEOUT(Shows("Video:       5 fps sent, 0 fps shown"), Wait);
        QVERIFY(Shows("Video data:  " + QString::number(5 * video->sent.last()) +
                      " B/s out, 0 B/s in"));
        QVERIFY(Shows("Voice:       300 sent, 249 received"));

        // Ended, it says so at the next tick, the video at 0.
        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image5"), Qt::LeftButton);
        QVERIFY(!phone->Session().Connected());
        QTRY_COMPARE_WITH_TIMEOUT(
            Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")->Lines().value(0),
            QString("No call"), Wait);
        QVERIFY(Shows("Video:       0 fps sent, 0 fps shown"));

        QTest::keyClick(&phone->Window(), Qt::Key_F3);
        QVERIFY(Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")->isHidden());
    }

    void aLineIsLoggedEachSecondOfACallOnly()
    {
        StatsLog log;
        Start();
        QCOMPARE(Control<QTimer>(&phone->Window(), "StatsTimer")->interval(), 1000);
        QVERIFY(Control<QTimer>(&phone->Window(), "StatsTimer")->isActive());
        // No call: a tick logs nothing.
        phone->Window().StatsTimerTimer();
        QVERIFY(log.Lines().isEmpty());

        AnswerCallFrom("192.0.2.7");
        QVERIFY(Control<TStatsOverlay>(&phone->Window(), "StatsOverlay")
                    ->isHidden()); // logged whether it is shown or not
        terminal->stats.roundTripMs = 2.5;
        terminal->stats.peerLossPercent = 12.5;
        SendFrames(2);
        phone->Window().StatsTimerTimer();
        QCOMPARE(log.Lines().size(), 1);
        const QString line = log.Lines().first();
        const QRegularExpression format(
            "^stats: rtt (\\S+) ms, peer loss (\\S+) %, loss (\\S+) %, jitter (\\S+) ms, voice "
            "sent (\\d+) received (\\d+), video sent (\\d+) fps shown (\\d+) fps, out (\\d+) B/s, "
            "in (\\d+) B/s, quality (\\d+), jitter buffer (\\S+) ms, mouth-to-ear ~(\\S+) ms, "
            "source (\\S+), encryption (\\S+), key (\\S+), auth failures (\\d+), replays "
            "(\\d+)$");
        const QRegularExpressionMatch m = format.match(line);
        QVERIFY2(m.hasMatch(), qPrintable(line));
        QCOMPARE(m.captured(1), QString("2.5"));
        QCOMPARE(m.captured(2), QString("12.5"));
        QCOMPARE(m.captured(3), QString("-"));
        QCOMPARE(m.captured(4), QString("-"));
        QCOMPARE(m.captured(7), QString("2"));
        QCOMPARE(m.captured(9), QString::number(video->sent[0] + video->sent[1]));
        QCOMPARE(m.captured(11), QString::number(phone->Video().SentQuality().value_or(0)));
        QCOMPARE(m.captured(14), QString("camera"));

        // The timer logs on its own, the terminal's figures as they change.
        terminal->stats.roundTripMs = 3;
        QTRY_VERIFY_WITH_TIMEOUT(log.Lines().size() >= 3, Wait);
        QVERIFY(log.Lines().last().startsWith("stats: rtt 3.0 ms, peer loss 12.5 %"));
        for (const QString& l : log.Lines())
            QVERIFY2(format.match(l).hasMatch(), qPrintable(l));

        QTest::mouseClick(Control<TImageButton>(&phone->Window(), "Image5"), Qt::LeftButton);
        const qsizetype logged = log.Lines().size();
        phone->Window().StatsTimerTimer();
        QCOMPARE(log.Lines().size(), logged);
    }
};

PARLAVUE_GUI_TEST_MAIN(CallStatsTest)
#include "tst_CallStats.moc"
