// The windows in other languages: a pseudo-language finds texts that are not translated or do
// not fit, and German, French and Spanish are loaded from the user's environment.
#include "app/TDesktopNotices.h"
#include "app/TPhone.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "capture/TFGraphConfig.h"
#include "contacts/TfrmExport.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "contacts/TfrmSettings.h"
#include "platform/ui/TApplication.h"
#include "platform/ui/TTranslations.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TWindowTest.h"
#include "transfer/TfrmTransfer.h"
#include "transfer/TfrmTxtMessage.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTest>
#include <QTranslator>

namespace {

// Every text of the program a third to a half longer, and bracketed, as a longer language
// would make it; Qt's own texts (contexts "Q...") stay as they are.
class TPseudoTranslator : public QTranslator
{
public:
    using QTranslator::QTranslator;
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* source, const char*, int) const override
    {
        if (!source || !*source || (context && context[0] == 'Q'))
            return {};
        const QString text = QString::fromUtf8(source);
        return QLatin1Char('[') + text + QString(text.size() / 2, QChar(0xB7)) + QLatin1Char(']');
    }
};

bool HasWords(const QString& text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
}

// The widgets that show what the user or the network wrote, not the program's own words.
bool ShowsData(const QWidget* w)
{
    static const QStringList names{"lblIPAddress", "lblCallerID", "edtHostName"};
    return names.contains(w->objectName());
}

// Where a single-line text has room in w, or -1 when the widget does not say.
int TextRoom(const QWidget* w)
{
    if (const auto* label = qobject_cast<const QLabel*>(w))
        return label->wordWrap() ? -1 : label->contentsRect().width() - 2 * label->margin();
    QStyleOptionButton option;
    option.initFrom(w);
    if (const auto* check = qobject_cast<const QCheckBox*>(w))
        return w->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, check).width();
    if (w->inherits("TGradientButton")) // it draws its text across its whole face
        return w->width();
    if (const auto* push = qobject_cast<const QPushButton*>(w))
        return w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, push).width();
    return w->contentsRect().width();
}

// The shown neighbour that lies over the line w's text takes (width pixels, from the left or
// around the centre, one line high where its alignment puts it), if any; one that holds all of
// w is its backdrop.
QString Covering(const QWidget* w, int width)
{
    const QRect box = w->geometry();
    const auto* label = qobject_cast<const QLabel*>(w);
    Qt::Alignment align = Qt::AlignVCenter | Qt::AlignLeft;
    if (label)
        align = label->alignment();
    else if (qobject_cast<const QGroupBox*>(w))
        align = Qt::AlignTop | Qt::AlignLeft; // the title, over the frame
    else if (qobject_cast<const QPushButton*>(w))
        align = Qt::AlignCenter;
    const int line = std::min(box.height(), w->fontMetrics().height());
    const int top = align & Qt::AlignTop      ? box.top()
                    : align & Qt::AlignBottom ? box.bottom() + 1 - line
                                              : box.top() + (box.height() - line) / 2;
    width = std::min(width, box.width());
    const int left = align & Qt::AlignHCenter ? box.center().x() - width / 2
                     : align & Qt::AlignRight ? box.right() + 1 - width
                                              : box.left();
    const QRect text(left, top, width, line);
    for (const QObject* o : w->parentWidget()->children()) {
        const auto* other = qobject_cast<const QWidget*>(o);
        if (other && other != w && !other->isWindow() && other->isVisibleTo(w->parentWidget()) &&
            !other->geometry().contains(box) && other->geometry().intersects(text))
            return other->objectName();
    }
    return {};
}

// What is wrong with the texts shown in window: clipped or covered ones, and in the
// pseudo-language untranslated (not bracketed) ones.
QStringList Problems(QWidget* window, bool pseudo)
{
    QStringList found;
    // Bracketed, or cut short by "…" once it found no more room.
    auto translated = [pseudo](const QString& t) {
        return !pseudo || !HasWords(t) ||
               (t.contains(QLatin1Char('[')) &&
                (t.contains(QLatin1Char(']')) || t.endsWith(QChar(0x2026))));
    };
    const QString where = window->objectName();
    if (!translated(window->windowTitle()))
        found << where + QStringLiteral(": title ") + window->windowTitle();
    QList<QWidget*> widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* w : widgets) {
        if (!w->isVisibleTo(window) || ShowsData(w))
            continue;
        const QString name = where + QLatin1Char('/') + w->objectName();
        for (const QString& said : {w->toolTip(), w->accessibleName(), w->accessibleDescription()})
            if (!translated(said))
                found << name + QStringLiteral(": said ") + said;
        QString text;
        if (const auto* label = qobject_cast<QLabel*>(w);
            label && label->textFormat() != Qt::RichText)
            text = label->text();
        else if (const auto* button = qobject_cast<QAbstractButton*>(w))
            text = button->text();
        else if (const auto* box = qobject_cast<QGroupBox*>(w))
            text = box->title();
        if (text.isEmpty())
            continue;
        if (!translated(text))
            found << name + QStringLiteral(": shows ") + text;
        const int room = TextRoom(w);
        const int needed = w->fontMetrics().horizontalAdvance(text);
        if (room < 0 || text.contains(QLatin1Char('\n')))
            continue;
        if (needed > room)
            found << QStringLiteral("%1: clipped, %2 of %3 pixels: %4")
                         .arg(name)
                         .arg(room)
                         .arg(needed)
                         .arg(text);
        else if (const QString under = Covering(w, needed + w->width() - room); !under.isEmpty())
            found << name + QStringLiteral(": under ") + under + QStringLiteral(": ") + text;
    }
    return found;
}

} // namespace

class TranslationsTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;

    void RemoveTranslators()
    {
        for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
            QCoreApplication::removeTranslator(t);
            t->deleteLater();
        }
    }

    // Shows each window of the phone in turn and checks its texts.
    QStringList ProblemsInEveryWindow(bool pseudo)
    {
        const TPhone::TWindows& w = phone->Windows();
        QStringList found;
        const QList<QWidget*> windows{
            w.calling,  w.settings, w.addressBook, w.networkClients, w.networkClients->frmExport,
            w.transfer, w.message,  w.videoOptions};
        for (QWidget* window : windows) {
            window->show();
            if (!QTest::qWaitForWindowExposed(window))
                found << window->objectName() + QStringLiteral(": never shown");
            found << Problems(window, pseudo);
            window->hide();
        }
        // The call's protection and the numbers' comparison show only in a call.
        TfrmMain& form = phone->Window();
        form.ShowCallSecurity(QCoreApplication::translate("TPhone", "Encrypted · Key changed · ") +
                                  QCoreApplication::translate("TPhone", "compare ") +
                                  QStringLiteral("4821 0937 5546 1208"),
                              true);
        form.OfferNumbers(true);
        return found << Problems(&form, pseudo);
    }

private slots:
    void cleanup()
    {
        phone.reset();
        RemoveTranslators();
        TWindowTest::cleanup();
    }

    void inAPseudoLanguageEveryTextIsTranslatedAndFitsItsPlace()
    {
        qApp->installTranslator(new TPseudoTranslator(qApp)); // removed in cleanup()
        phone = MakePhone(MakeFakeCamera());
        QVERIFY(ShowMainWindow(phone->Window()));
        const QStringList found = ProblemsInEveryWindow(true);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }

    void theWindowsSpeakTheUsersLanguage_data()
    {
        QTest::addColumn<QString>("label");  // "Your IP Address"
        QTest::addColumn<QString>("portal"); // "File Transfer Portal"
        QTest::addColumn<QString>("cancel"); // Qt's own standard button
        QTest::newRow("de") << "Ihre IP-Adresse"
                            << "Dateiübertragung"
                            << "Abbrechen";
        QTest::newRow("fr") << "Votre adresse IP"
                            << "Portail de transfert de fichiers"
                            << "Annuler";
        QTest::newRow("es") << "Su dirección IP"
                            << "Portal de transferencia de archivos"
                            << "Cancelar";
    }

    // LANGUAGE chooses the language, as for a user: a copy of this runner is started with it.
    // Nothing of the language's texts is clipped or covered.
    void theWindowsSpeakTheUsersLanguage()
    {
        const QString language = QString::fromLatin1(QTest::currentDataTag());
        if (qEnvironmentVariableIsEmpty("PARLAVUE_LANGUAGE_CHILD")) {
            QProcess child;
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(QStringLiteral("LANGUAGE"), language);
            environment.insert(QStringLiteral("PARLAVUE_LANGUAGE_CHILD"), QStringLiteral("1"));
            child.setProcessEnvironment(environment);
            child.setProcessChannelMode(QProcess::ForwardedChannels);
            child.start(QCoreApplication::applicationFilePath(),
                        {QStringLiteral("tst_Translations"),
                         QStringLiteral("theWindowsSpeakTheUsersLanguage:") + language});
            QVERIFY(child.waitForFinished(120000));
            QCOMPARE(child.exitStatus(), QProcess::NormalExit);
            QCOMPARE(child.exitCode(), 0);
            return;
        }
        QFETCH(QString, label);
        QFETCH(QString, portal);
        QFETCH(QString, cancel);
        QCOMPARE(TTranslations::Install(*qApp, QLocale::system().uiLanguages()), language);
        phone = MakePhone(MakeFakeCamera());
        QVERIFY(ShowMainWindow(phone->Window()));
        QCOMPARE(Control<QLabel>(&phone->Window(), "Label1")->text(), label);
        QCOMPARE(phone->Windows().transfer->windowTitle(), portal);
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
        if (language == QLatin1String("de")) {
            TfrmMain* form = &phone->Window();
            QCOMPARE(Control<QWidget>(form, "Image7")->toolTip(), QString("Anrufeinstellungen..."));
            QCOMPARE(Control<QWidget>(form, "Image4")->accessibleName(),
                     QString("Anrufen oder annehmen"));
            QCOMPARE(TDesktopNotices::CallSummary(), QString("Eingehender Anruf"));
        }
        const QStringList found = ProblemsInEveryWindow(false);
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

PARLAVUE_GUI_TEST_MAIN(TranslationsTest)
#include "tst_Translations.moc"
