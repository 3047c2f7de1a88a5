// What a screen reader and a keyboard-only user get from the windows: every window announced by
// its title with its role, every control named, the call keys, and Tab, Enter and Space reaching
// and pressing the picture buttons. (tests/a11y checks the same tree as AT-SPI publishes it from
// the running program, and the lines that change being announced, which needs a real bridge.)
#include "app/TPhone.h"
#include "app/TfrmCalling.h"
#include "app/TfrmMain.h"
#include "calls/TCallSession.h"
#include "capture/TFGraphConfig.h"
#include "contacts/TfrmExport.h"
#include "contacts/TfrmIP.h"
#include "contacts/TfrmNetworkClients.h"
#include "contacts/TfrmSettings.h"
#include "platform/ui/TApplication.h"
#include "platform/ui/TPropertyFrame.h"
#include "tests/calls/CallFakes.h"
#include "tests/support/Controls.h"
#include "tests/support/FakeCamera.h"
#include "tests/support/MainWindowSteps.h"
#include "tests/support/TWindowTest.h"
#include "transfer/TfrmTransfer.h"
#include "transfer/TfrmTxtMessage.h"
#include "widgets/TImageButton.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <map>

namespace {

bool NeedsName(QAccessible::Role role)
{
    switch (role) {
    case QAccessible::Button:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::Slider:
    case QAccessible::SpinBox:
    case QAccessible::EditableText:
    case QAccessible::List:
    case QAccessible::ListItem:
    case QAccessible::ComboBox:
    case QAccessible::ProgressBar:
    case QAccessible::PageTab:
        return true;
    default:
        return false;
    }
}

// The shown controls under iface that a user operates but a screen reader cannot name.
void CollectUnnamed(QAccessibleInterface* iface, QStringList& unnamed, int& controls)
{
    for (int i = 0; i < iface->childCount(); ++i) {
        QAccessibleInterface* child = iface->child(i);
        if (!child || child->state().invisible)
            continue;
        if (NeedsName(child->role())) {
            ++controls;
            if (child->text(QAccessible::Name).trimmed().isEmpty())
                unnamed << QStringLiteral("role %1 %2 in %3")
                               .arg(int(child->role()))
                               .arg(child->object() ? child->object()->objectName() : QString(),
                                    iface->object() ? iface->object()->objectName() : QString());
        }
        CollectUnnamed(child, unnamed, controls);
    }
}

// One page of every kind of setting a property frame shows.
class TEveryKindPage : public IPropertyPage
{
public:
    QString Title() override { return QStringLiteral("Camera"); }
    std::vector<TPropertyControl> Controls() override
    {
        using TKind = TPropertyControl::TKind;
        auto control = [](const char* key, const char* name, TKind kind) {
            TPropertyControl c;
            c.key = QString::fromLatin1(key);
            c.name = QString::fromLatin1(name);
            c.kind = kind;
            c.maximum = 255;
            return c;
        };
        std::vector<TPropertyControl> all{
            control("b", "Brightness", TKind::Integer),    control("g", "Gamma", TKind::Double),
            control("a", "Auto Exposure", TKind::Boolean), control("m", "Power Line", TKind::Menu),
            control("r", "Reset", TKind::Button),          control("t", "Label", TKind::Text)};
        all[3].menu = {{0, QStringLiteral("50 Hz")}, {1, QStringLiteral("60 Hz")}};
        return all;
    }
    QVariant Value(const QString& key) override { return values[key]; }
    bool SetValue(const QString& key, const QVariant& value) override
    {
        values[key] = value;
        return true;
    }
    std::map<QString, QVariant> values;
};

} // namespace

class AccessibilityTest : public TWindowTest
{
    Q_OBJECT

    std::unique_ptr<TPhone> phone;
    Journal journal;
    std::shared_ptr<TFakeVoiceLink> terminal;

    void Start()
    {
        env->WriteProgramFile("Settings.ini", "[Settings]\nCallerID=Anna\nMessage=Not now\n");
        phone = MakePhone(MakeFakeCamera());
        terminal = UseJournalFakes(phone->Session(), journal);
        QVERIFY(ShowMainWindow(phone->Window(), true));
    }

    QLineEdit* Field() const { return Control<QLineEdit>(&phone->Window(), "edtHostName"); }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QWidget* target =
            QApplication::focusWidget() ? QApplication::focusWidget() : &phone->Window();
        QTest::keyClick(target, Qt::Key(key), modifiers);
    }

    // Shows the window (not modally), checks how it is announced and that every control shown
    // in it has a name; returns how many controls it checked.
    int CheckWindow(QWidget* window, QAccessible::Role role)
    {
        window->show();
        if (!QTest::qWaitForWindowExposed(window))
            return -1;
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(window);
        const QString title = window->windowTitle();
        if (!iface || iface->role() != role || iface->text(QAccessible::Name) != title) {
            qWarning() << title << "is announced as role" << (iface ? int(iface->role()) : -1)
                       << "named" << (iface ? iface->text(QAccessible::Name) : QString());
            return -1;
        }
        QStringList unnamed;
        int controls = 0;
        CollectUnnamed(iface, unnamed, controls);
        window->hide();
        if (!unnamed.isEmpty()) {
            qWarning() << title << "has controls without a name:" << unnamed;
            return -1;
        }
        return controls;
    }

private slots:
    void init()
    {
        TWindowTest::init();
        journal = {};
    }
    void cleanup()
    {
        phone.reset();
        terminal.reset();
        TWindowTest::cleanup();
    }

    void everyWindowIsAnnouncedByItsTitleAndEveryControlByItsName()
    {
        Start();
        QVERIFY(CheckWindow(&phone->Window(), QAccessible::Window) > 15);
        const std::pair<QWidget*, int> windows[] = {{phone->Windows().calling, 1},
                                                    {phone->Windows().settings, 15},
                                                    {phone->Windows().addressBook, 9},
                                                    {phone->Windows().networkClients, 3},
                                                    {phone->Windows().networkClients->frmExport, 0},
                                                    {phone->Windows().transfer, 6},
                                                    {phone->Windows().message, 5},
                                                    {phone->Windows().videoOptions, 5}};
        for (const auto& [window, atLeast] : windows) {
            const int controls = CheckWindow(window, QAccessible::Dialog);
            QVERIFY2(controls >= atLeast, qPrintable(window->windowTitle()));
        }

        // The owner-drawn contact row reads as the line it shows.
        QAccessibleInterface* list =
            QAccessible::queryAccessibleInterface(phone->Windows().addressBook->ListBox1);
        phone->Windows().addressBook->show();
        QVERIFY(QTest::qWaitForWindowExposed(phone->Windows().addressBook));
        phone->Windows().addressBook->AddContact(QStringLiteral("Front Desk"),
                                                 QStringLiteral("192.0.2.5"));
        QStringList rows;
        for (int i = 0; i < list->childCount(); ++i)
            if (list->child(i)->role() == QAccessible::ListItem)
                rows << list->child(i)->text(QAccessible::Name);
        QCOMPARE(rows, QStringList{"Front Desk <192.0.2.5>"});
        QCOMPARE(list->text(QAccessible::Name), QString("Contacts"));
        phone->Windows().addressBook->hide();

        // A field is named by the label beside it.
        QCOMPARE(QAccessible::queryAccessibleInterface(
                     phone->Windows().settings->findChild<QWidget*>("edtCallerID"))
                     ->text(QAccessible::Name),
                 QString("Caller ID"));

        auto page = std::make_shared<TEveryKindPage>();
        TPropertyFrame frame(QStringLiteral("Video Capture Pin"), {page});
        QVERIFY(CheckWindow(&frame, QAccessible::Dialog) >= 8);
    }

    void theLevelBarsAndTheirFiguresSayWhatTheyAre()
    {
        Start();
        auto* bar = Control<QWidget>(&phone->Window(), "TrbMic");
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(bar);
        QCOMPARE(iface->text(QAccessible::Name), QString("Microphone Level"));
        QVERIFY(iface->valueInterface());
        iface->valueInterface()->setCurrentValue(40);
        QCOMPARE(Control<QLabel>(&phone->Window(), "Label6")->text(), QString("40"));
        QCOMPARE(QAccessible::queryAccessibleInterface(Control<QLabel>(&phone->Window(), "Label6"))
                     ->text(QAccessible::Name),
                 QString("Microphone Level 40"));
    }

    void enterTabAndSpaceReachAndPressTheSidebarButtons()
    {
        Start();
        QCOMPARE(QApplication::focusWidget(), Field());
        // Enter moves on to "Make / Answer Call"; Space presses it: with no host it says so
        // and sends the focus back to the field.
        auto* make = Control<TImageButton>(&phone->Window(), "Image4");
        const QImage unfocused = make->grab().toImage();
        Key(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), make);
        // The focus shows on the button.
        QVERIFY(make->grab().toImage() != unfocused);
        Key(Qt::Key_Space);
        QTRY_COMPARE(script->ui.Texts("information"),
                     QStringList{"Please enter a valid IP Address or Host Name First."});
        QTRY_COMPARE(QApplication::focusWidget(), Field());

        // Tab goes round every enabled button and both bars once, back to the field.
        QStringList visited;
        for (int i = 0; i < 40 && (visited.isEmpty() || QApplication::focusWidget() != Field());
             ++i) {
            Key(Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited.last(), QString("edtHostName"));
        QStringList reachable;
        for (auto* button : phone->Window().findChildren<TImageButton*>())
            if (button->isEnabled())
                reachable << button->objectName();
        for (auto* button : phone->Window().findChildren<QToolButton*>())
            if (button->window() == &phone->Window()) // the secondary windows are children too
                reachable << button->objectName();
        reachable << QStringLiteral("TrbMic") << QStringLiteral("TrbVoice")
                  << QStringLiteral("edtHostName");
        visited.sort();
        reachable.sort();
        QCOMPARE(visited, reachable);
    }

    void theCallKeysPlaceAnswerAndEndACall()
    {
        Start();
        Field()->setText(QStringLiteral("192.0.2.9"));
        // The key presses the button a moment later; the calling-status window then waits in
        // its own loop, where this watch answers for the called host.
        bool calling = false;
        QTimer watch;
        watch.setInterval(10);
        connect(&watch, &QTimer::timeout, this, [&] {
            if (calling || !phone->Windows().calling->isVisible() ||
                journal.Matching("send") != QStringList{"send Calling|Anna -> 192.0.2.9"})
                return;
            calling = true;
            phone->Session().Receive("Accept", "192.0.2.9");
        });
        watch.start();
        Key(Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(calling);
        QTRY_VERIFY(phone->Session().Connected());
        QVERIFY(!phone->Windows().calling->isVisible());
        // The offscreen platform leaves the hidden calling-status window active; a window
        // system gives the main window back.
        QApplication::setActiveWindow(&phone->Window());
        Key(Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY(!phone->Session().Connected());

        // Rung from elsewhere: the same key answers, wherever the focus is in the window.
        phone->Session().Receive("Calling|Bert", "192.0.2.7");
        QVERIFY(phone->Session().Ringing());
        Control<QWidget>(&phone->Window(), "TrbVoice")->setFocus();
        Key(Qt::Key_Return, Qt::ControlModifier);
        QTRY_VERIFY(phone->Session().Connected());
        QCOMPARE(journal.Matching("send Accept"), QStringList{"send Accept -> 192.0.2.7"});
        // Also from the host field, whose own editing keys would otherwise take Ctrl+E.
        Field()->setFocus();
        Key(Qt::Key_E, Qt::ControlModifier);
        QTRY_VERIFY(!phone->Session().Connected());
    }
};

PARLAVUE_GUI_TEST_MAIN(AccessibilityTest)
#include "tst_Accessibility.moc"
