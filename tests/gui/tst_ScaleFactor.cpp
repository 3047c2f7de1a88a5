// At a device pixel ratio of 2 (QT_SCALE_FACTOR=2) the main window keeps its logical layout and
// draws everything at twice the pixels: its picture is the 1x picture enlarged. The scale factor
// is read when the application is made, so each scale is grabbed by a run of this binary of its
// own (--grab-into <folder>), and the test compares what the two runs left there.
#include "app/TPhone.h"
#include "app/TfrmMain.h"
#include "platform/ui/TApplication.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/ImageCompare.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TGuiTestEnvironment.h"
#include "tests/support/TScriptedUi.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>

namespace {

constexpr int GrabTimeoutMs = 120000;
constexpr int MaxLines = 1000;

// What a run at one scale leaves in its folder: the window's picture, and a text with its
// device pixel ratio, where each named control stands in the window (logical pixels), whether
// it shows a text, and the pixel ratio of each button's icon as it is drawn there.
const QString ShotFile = QStringLiteral("shot.png");
const QString NotesFile = QStringLiteral("notes.txt");

// What the child run does: start the window at whatever scale the environment says, grab it, write
// the notes, and end. Returns the process status.
int GrabInto(int argc, char** argv, const QString& folder)
{
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    TGuiTestEnvironment env;
    TScriptedUiScope script;
    std::unique_ptr<TPhone> phone = StartPhone(MakeFakeCamera());
    if (!phone) {
        QTextStream(stderr) << "the main window did not come up\n";
        return 2;
    }
    const QImage shot = ComparableShot(phone->Window());
    QFile notes(QDir(folder).filePath(NotesFile));
    if (!shot.save(QDir(folder).filePath(ShotFile)) ||
        !notes.open(QIODevice::WriteOnly | QIODevice::Text)) {
        QTextStream(stderr) << "cannot write into " << folder << '\n';
        return 3;
    }
    QTextStream out(&notes);
    out << "dpr " << shot.devicePixelRatio() << '\n';
    for (const QWidget* w : phone->Window().findChildren<QWidget*>()) {
        const QString name = w->objectName();
        if (name.isEmpty() || name.startsWith(QLatin1String("qt_")) ||
            !w->isVisibleTo(&phone->Window()))
            continue;
        const QRect g(w->mapTo(&phone->Window(), QPoint(0, 0)), w->size());
        const auto* label = qobject_cast<const QLabel*>(w);
        const bool text = (label && !label->text().isEmpty()) || qobject_cast<const QLineEdit*>(w);
        out << "place " << name << ' ' << g.x() << ' ' << g.y() << ' ' << g.width() << ' '
            << g.height() << ' ' << int(text) << '\n';
        if (const auto* button = qobject_cast<const QAbstractButton*>(w);
            button && !button->icon().isNull())
            out << "icon " << name << ' '
                << button->icon()
                       .pixmap(button->iconSize(), w->devicePixelRatioF())
                       .devicePixelRatio()
                << '\n';
    }
    for (const TScriptedUi::Shown& shown : script.ui.shown)
        QTextStream(stderr) << "shown: " << shown.kind << ": " << shown.text << '\n';
    return 0;
}

struct TRun
{
    QImage shot;
    qreal dpr = 0;
    QMap<QString, QRect> places;
    QSet<QString> texts; // the controls that show a text
    QMap<QString, qreal> iconRatios;
};

} // namespace

class ScaleFactorTest : public QObject
{
    Q_OBJECT

    TRun one, two;
    // The 2x picture brought down to the 1x size by averaging each 2 x 2 block.
    QImage twoReduced;

    // Places closer than this (red, green and blue summed) count as the same colour.
    static constexpr int Tolerance = 48;
    // A place counts as drawn on when it is this far from the control's background colour;
    // lower than Tolerance, so faint tick marks are ink too.
    static constexpr int InkTolerance = 24;

    static void Grab(double scale, TRun& run)
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
        env.remove(QStringLiteral("QT_SCREEN_SCALE_FACTORS"));
        env.remove(QStringLiteral("QT_ENABLE_HIGHDPI_SCALING"));
        child.setProcessEnvironment(env);
        child.start(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("tst_ScaleFactor"), QStringLiteral("--grab-into"), folder.path()});
        QVERIFY2(child.waitForFinished(GrabTimeoutMs), "the grabbing run did not end");
        const QString errors = QString::fromLocal8Bit(child.readAllStandardError());
        QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 qPrintable(QStringLiteral("the run at scale %1 failed (%2): %3")
                                .arg(scale)
                                .arg(child.exitCode())
                                .arg(errors)));
        QVERIFY2(!errors.contains(QLatin1String("shown: ")), qPrintable(errors));
        run.shot = QImage(folder.filePath(ShotFile)).convertToFormat(QImage::Format_RGB32);
        QVERIFY(!run.shot.isNull());
        QFile notes(folder.filePath(NotesFile));
        QVERIFY(notes.open(QIODevice::ReadOnly | QIODevice::Text));
        QTextStream in(&notes);
        for (int i = 0; i < MaxLines && !in.atEnd(); ++i) {
            QTextStream line(in.readLine().toUtf8());
            QString tag, name;
            line >> tag;
            if (tag == QLatin1String("dpr")) {
                line >> run.dpr;
            } else if (tag == QLatin1String("place")) {
                int x = 0, y = 0, w = 0, h = 0, text = 0;
                line >> name >> x >> y >> w >> h >> text;
                run.places.insert(name, QRect(x, y, w, h));
                if (text)
                    run.texts.insert(name);
            } else if (tag == QLatin1String("icon")) {
                qreal ratio = 0;
                line >> name >> ratio;
                run.iconRatios.insert(name, ratio);
            }
        }
    }

    static void SaveForLooking(const QImage& image, const QString& name)
    {
        image.save(QDir::temp().filePath(name));
    }

private slots:
    void initTestCase()
    {
        // A failure here skips every comparison.
        Grab(1, one);
        if (QTest::currentTestFailed())
            return;
        Grab(2, two);
        if (QTest::currentTestFailed())
            return;
        twoReduced =
            two.shot.scaled(one.shot.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }

    void windowHasTwiceThePixelsAtTheSameLogicalSize()
    {
        QCOMPARE(one.dpr, 1.0);
        QCOMPARE(one.shot.size(), QSize(1000, 650));
        QCOMPARE(two.dpr, 2.0);
        QCOMPARE(two.shot.size(), QSize(2000, 1300));
    }

    void sameControlsAtTheSameLogicalPlaces()
    {
        // The controls a user meets first must be among those compared.
        for (const char* name : {"Panel1", "Panel2", "Image1", "Image4", "Image5", "edtHostName",
                                 "Label1", "lblIPAddress", "TrbMic", "TrbVoice", "btnPreview",
                                 "btnTransfer", "btnVideoSource", "btnSidebar", "cap"})
            QVERIFY2(one.places.contains(QLatin1String(name)), name);
        QCOMPARE(two.places.keys(), one.places.keys());
        for (auto it = one.places.cbegin(); it != one.places.cend(); ++it)
            QVERIFY2(two.places.value(it.key()) == it.value(), qPrintable(it.key()));
    }

    void fixedColoursStandAtDoubledPlaces_data()
    {
        QTest::addColumn<QPoint>("place");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("sidebar") << QPoint(990, 300) << QColor(0x00, 0x6F, 0xA4);
        QTest::newRow("video area") << QPoint(790, 30) << QColor(Qt::black);
    }
    void fixedColoursStandAtDoubledPlaces()
    {
        QFETCH(QPoint, place);
        QFETCH(QColor, colour);
        QCOMPARE(one.shot.pixelColor(place), colour);
        // All four device pixels of the logical pixel.
        for (const QPoint d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)})
            QCOMPARE(two.shot.pixelColor(place * 2 + d), colour);
    }

    // A control at logical geometry G is drawn in the 2x picture at 2 G: brought down to 1x,
    // what it draws covers the same bounds (to a pixel) and looks the same, but for edges that
    // hinting and smoothing move.
    void controlAppearsAtTwiceItsPlace_data()
    {
        QTest::addColumn<QString>("name");
        for (auto it = one.places.cbegin(); it != one.places.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key();
    }
    void controlAppearsAtTwiceItsPlace()
    {
        QFETCH(QString, name);
        const QRect g = one.places.value(name);
        QVERIFY(!g.isEmpty());
        const QImage expected = one.shot.copy(g);
        const QImage actual = twoReduced.copy(g);
        auto keep = [&] {
            SaveForLooking(expected, QStringLiteral("scale-%1-1x.png").arg(name));
            SaveForLooking(two.shot.copy(QRect(g.topLeft() * 2, g.size() * 2)),
                           QStringLiteral("scale-%1-2x.png").arg(name));
        };

        const QRgb background = MostCommonColour(expected);
        const TInk inkOne = FindInk(expected, background, InkTolerance);
        const TInk inkTwo = FindInk(actual, background, InkTolerance);
        const QRect a = inkOne.bounds, b = inkTwo.bounds;
        const bool sameBounds =
            a.isNull() == b.isNull() &&
            (a.isNull() ||
             (std::abs(a.left() - b.left()) <= 1 && std::abs(a.top() - b.top()) <= 1 &&
              std::abs(a.right() - b.right()) <= 1 && std::abs(a.bottom() - b.bottom()) <= 1));
        if (!sameBounds)
            keep();
        QVERIFY2(sameBounds, qPrintable(QStringLiteral("%1 draws within (%2,%3 %4x%5) at 1x but "
                                                       "(%6,%7 %8x%9) at 2x")
                                            .arg(name)
                                            .arg(a.x())
                                            .arg(a.y())
                                            .arg(a.width())
                                            .arg(a.height())
                                            .arg(b.x())
                                            .arg(b.y())
                                            .arg(b.width())
                                            .arg(b.height())));

        // Edges move by a pixel with smoothing, glyph edges by up to two with hinting, so a
        // place matches what lies within two pixels in the other picture. In a text a third of
        // what is drawn may still land elsewhere; in the rest, nearly nothing.
        const qsizetype different = CountDifferentPixels(actual, expected, Tolerance, 2);
        const qsizetype allowed = std::max<qsizetype>(AllowedDifferentPixels(g.size()), 12) +
                                  (one.texts.contains(name) ? inkOne.count / 3 : 0);
        if (different > allowed)
            keep();
        QVERIFY2(different <= allowed,
                 qPrintable(QStringLiteral("%1 of %2 places of %3 differ at scale 2 (%4 allowed)")
                                .arg(different)
                                .arg(qsizetype(g.width()) * g.height())
                                .arg(name)
                                .arg(allowed)));
    }

    void wholeWindowIsTheOneTimesPictureEnlarged()
    {
        const qsizetype different = CountDifferentPixels(twoReduced, one.shot, Tolerance, 1);
        const qsizetype allowed = AllowedDifferentPixels(one.shot.size());
        if (different > allowed) {
            SaveForLooking(one.shot, QStringLiteral("scale-window-1x.png"));
            SaveForLooking(two.shot, QStringLiteral("scale-window-2x.png"));
        }
        QVERIFY2(different <= allowed,
                 qPrintable(QStringLiteral("%1 places differ at scale 2 (%2 allowed)")
                                .arg(different)
                                .arg(allowed)));
    }

    // An icon drawn from a 1x pixmap is enlarged, blurred, in the 2x window.
    void iconsAreDrawnAtTheWindowsPixelRatio_data()
    {
        QTest::addColumn<QString>("name");
        for (auto it = two.iconRatios.cbegin(); it != two.iconRatios.cend(); ++it)
            QTest::newRow(qPrintable(it.key())) << it.key();
    }
    void iconsAreDrawnAtTheWindowsPixelRatio()
    {
        QFETCH(QString, name);
        QCOMPARE(two.iconRatios.value(name), two.dpr);
    }
};

PARLAVUE_TEST_ENTRY([](int argc, char** argv) {
    for (int i = 1; i + 1 < argc; ++i)
        if (qstrcmp(argv[i], "--grab-into") == 0)
            return GrabInto(argc, argv, QString::fromLocal8Bit(argv[i + 1]));
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("parlavue"));
    ScaleFactorTest test;
    return QTest::qExec(&test, argc, argv);
});

#include "tst_ScaleFactor.moc"
