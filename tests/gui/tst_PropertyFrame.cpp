#include "platform/ui/IPropertyPage.h"
#include "platform/ui/TApplication.h"
#include "platform/ui/TPropertyFrame.h"
#include "tests/support/TGuiTestEnvironment.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyle>
#include <QTabWidget>
#include <QTest>

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace {
using TKind = TPropertyControl::TKind;

TPropertyControl Control(const QString& key, const QString& name, TKind kind, double minimum = 0,
                         double maximum = 0, double step = 1, double defaultValue = 0)
{
    TPropertyControl c;
    c.key = key;
    c.name = name;
    c.kind = kind;
    c.minimum = minimum;
    c.maximum = maximum;
    c.step = step;
    c.defaultValue = defaultValue;
    return c;
}

// A page kept in memory: values by key, every SetValue logged, a switch that refuses all
// changes, and one control that another one (a switch) makes inactive while it is on.
class TMemoryPage : public IPropertyPage
{
    QString title_;
    std::vector<TPropertyControl> controls_;

public:
    TMemoryPage(QString title, std::vector<TPropertyControl> controls,
                std::map<QString, QVariant> values)
        : title_(std::move(title)), controls_(std::move(controls)), values(std::move(values))
    {}

    QString Title() override { return title_; }
    std::vector<TPropertyControl> Controls() override
    {
        ++controlsAsked;
        std::vector<TPropertyControl> now = controls_;
        for (TPropertyControl& c : now)
            if (!ruler.isEmpty() && c.key == ruled)
                c.inactive = values[ruler].toLongLong() != 0;
        return now;
    }
    QVariant Value(const QString& key) override
    {
        ++valueAsked[key];
        const auto it = values.find(key);
        return it == values.end() ? QVariant() : it->second;
    }
    bool SetValue(const QString& key, const QVariant& value) override
    {
        calls.emplace_back(key, value);
        if (refuse)
            return false;
        if (snapTo > 0 && key == snapKey)
            values[key] = qint64(value.toLongLong() / snapTo * snapTo);
        else
            values[key] = value;
        if (key == ruler && value.toLongLong() != 0 && !ruledValueWhenOn.isNull())
            values[ruled] = ruledValueWhenOn;
        return true;
    }

    std::map<QString, QVariant> values;
    std::vector<std::pair<QString, QVariant>> calls;
    std::map<QString, int> valueAsked;
    int controlsAsked = 0;
    bool refuse = false;
    QString ruler, ruled;      // ruled is inactive while ruler is non-zero
    QVariant ruledValueWhenOn; // what turning ruler on puts into ruled, when set
    QString snapKey;           // a key whose values the object rounds down to snapTo
    qint64 snapTo = 0;
};

// The camera-like page most cases use: one control of every kind, a read-only one, and an
// automatic switch that rules the gain.
std::shared_ptr<TMemoryPage> CameraPage()
{
    TPropertyControl mode = Control("mode", "Power line", TKind::Menu);
    mode.menu = {{0, "Off"}, {1, "50 Hz"}, {3, "60 Hz"}};
    TPropertyControl level = Control("level", "Level", TKind::Integer, 0, 255, 1, 0);
    level.readOnly = true;
    auto page = std::make_shared<TMemoryPage>(
        "Camera",
        std::vector<TPropertyControl>{
            Control("brightness", "Brightness", TKind::Integer, -64, 64, 2, 0),
            Control("gamma", "Gamma", TKind::Double, 0.5, 2.5, 0.25, 1),
            Control("auto", "Automatic gain", TKind::Boolean, 0, 1, 1, 1),
            Control("gain", "Gain", TKind::Integer, 0, 100, 1, 50), mode,
            Control("reset", "Reset to defaults", TKind::Button, 0, 0, 1, 0),
            Control("label", "Label", TKind::Text), level},
        std::map<QString, QVariant>{{"brightness", qint64(10)},
                                    {"gamma", 1.5},
                                    {"auto", qint64(0)},
                                    {"gain", qint64(30)},
                                    {"mode", qint64(1)},
                                    {"label", QString("desk")},
                                    {"level", qint64(7)}});
    page->ruler = "auto";
    page->ruled = "gain";
    return page;
}

template <class T> T* Find(QWidget* editor)
{
    if (auto* direct = qobject_cast<T*>(editor))
        return direct;
    return editor ? editor->findChild<T*>() : nullptr;
}

QString RowLabel(QWidget* editor)
{
    auto* form = qobject_cast<QFormLayout*>(editor->parentWidget()->layout());
    if (!form)
        return "<no form>";
    auto* label = qobject_cast<QLabel*>(form->labelForField(editor));
    return label ? label->text() : QString();
}
} // namespace

class PropertyFrameTest : public QObject
{
    Q_OBJECT

    std::unique_ptr<TGuiTestEnvironment> env;
    std::shared_ptr<TMemoryPage> page;
    std::unique_ptr<TPropertyFrame> frame;

    void Open(std::vector<PropertyPagePtr> pages)
    {
        frame = std::make_unique<TPropertyFrame>("Test camera", std::move(pages));
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        frame->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(frame.get()));
    }
    QWidget* Editor(const QString& key) { return frame->Editor(page->Title(), key); }
    // Types into a box that has the focus, replacing what it held, and presses Return.
    void TypeAndReturn(QWidget* box, const QString& text)
    {
        box->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY_WITH_TIMEOUT(box->hasFocus(), 2000);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, text);
        QTest::keyClick(box, Qt::Key_Return);
        // Return belongs to the box: it neither presses a button nor closes the dialog.
        QVERIFY(frame->isVisible());
    }
    // Clicks a check box on its box, as the row is wider than box and text.
    void ClickCheck(QCheckBox* check)
    {
        const int indicator =
            check->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, check);
        QTest::mouseClick(check, Qt::LeftButton, {},
                          QPoint(indicator / 2 + 1, check->height() / 2));
    }
    // Moves the focus elsewhere, as the user tabbing away does.
    void LeaveEditor()
    {
        QWidget* away = frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
        away->setFocus(Qt::TabFocusReason);
        QTRY_VERIFY_WITH_TIMEOUT(away->hasFocus(), 2000);
    }

private slots:
    void init()
    {
        env = std::make_unique<TGuiTestEnvironment>();
        page = CameraPage();
    }
    void cleanup()
    {
        frame.reset();
        page.reset();
        env.reset();
    }

    // One tab per page in the order given, titled by the page; a missing page is left out;
    // Close ends the dialog.
    void tabsArePagesWithTheirTitles()
    {
        auto second = std::make_shared<TMemoryPage>(
            "Encoder",
            std::vector<TPropertyControl>{
                Control("bitrate", "Bit rate", TKind::Integer, 100, 5000, 100, 1000)},
            std::map<QString, QVariant>{{"bitrate", qint64(800)}});
        Open({page, nullptr, second});
        QCOMPARE(frame->windowTitle(), QString("Test camera"));
        QCOMPARE(frame->Tabs()->count(), 2);
        QCOMPARE(frame->Tabs()->tabText(0), QString("Camera"));
        QCOMPARE(frame->Tabs()->tabText(1), QString("Encoder"));
        QVERIFY(frame->Editor("Encoder", "bitrate"));
        QVERIFY(frame->Tabs()->widget(1)->isAncestorOf(frame->Editor("Encoder", "bitrate")));
        QVERIFY(frame->Tabs()->widget(0)->isAncestorOf(Editor("brightness")));
        QVERIFY(!frame->Editor("Encoder", "brightness"));
        QVERIFY(!frame->Editor("Camera", "bitrate"));
        QVERIFY(page->calls.empty());
        QVERIFY(second->calls.empty());

        QPushButton* close = frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close);
        QVERIFY(close);
        QTest::mouseClick(close, Qt::LeftButton);
        QVERIFY(!frame->isVisible());
    }

    // Each kind gets its editor, named by the key, labelled by the name, holding the page's
    // range, step, entries and current value.
    void editorsFollowTheControls()
    {
        Open({page});
        for (const QString key :
             {"brightness", "gamma", "auto", "gain", "mode", "reset", "label", "level"}) {
            QWidget* editor = Editor(key);
            QVERIFY2(editor, qPrintable(key));
            QCOMPARE(editor->objectName(), key);
        }

        QWidget* brightness = Editor("brightness");
        QCOMPARE(RowLabel(brightness), QString("Brightness"));
        auto* bSpin = Find<QSpinBox>(brightness);
        auto* bSlider = Find<QSlider>(brightness);
        QVERIFY(bSpin && bSlider);
        QVERIFY(!Find<QDoubleSpinBox>(brightness));
        QCOMPARE(bSpin->minimum(), -64);
        QCOMPARE(bSpin->maximum(), 64);
        QCOMPARE(bSpin->singleStep(), 2);
        QCOMPARE(bSpin->value(), 10);
        QCOMPARE(bSlider->minimum(), 0);
        QCOMPARE(bSlider->maximum(), 64); // 128 / 2 steps
        QCOMPARE(bSlider->value(), 37);   // (10 + 64) / 2

        QWidget* gamma = Editor("gamma");
        QCOMPARE(RowLabel(gamma), QString("Gamma"));
        auto* gSpin = Find<QDoubleSpinBox>(gamma);
        auto* gSlider = Find<QSlider>(gamma);
        QVERIFY(gSpin && gSlider);
        QCOMPARE(gSpin->minimum(), 0.5);
        QCOMPARE(gSpin->maximum(), 2.5);
        QCOMPARE(gSpin->singleStep(), 0.25);
        QCOMPARE(gSpin->value(), 1.5);
        QCOMPARE(gSlider->maximum(), 8);
        QCOMPARE(gSlider->value(), 4);

        auto* check = qobject_cast<QCheckBox*>(Editor("auto"));
        QVERIFY(check);
        QCOMPARE(check->text(), QString("Automatic gain"));
        QVERIFY(!check->isChecked());

        auto* combo = qobject_cast<QComboBox*>(Editor("mode"));
        QVERIFY(combo);
        QCOMPARE(RowLabel(combo), QString("Power line"));
        QCOMPARE(combo->count(), 3);
        QCOMPARE(combo->itemText(0), QString("Off"));
        QCOMPARE(combo->itemText(1), QString("50 Hz"));
        QCOMPARE(combo->itemText(2), QString("60 Hz"));
        QCOMPARE(combo->itemData(2).toLongLong(), 3);
        QCOMPARE(combo->currentIndex(), 1);

        auto* button = qobject_cast<QPushButton*>(Editor("reset"));
        QVERIFY(button);
        QCOMPARE(button->text(), QString("Reset to defaults"));
        QVERIFY(button->isEnabled());
        QCOMPARE(page->valueAsked["reset"], 0); // a button has no value to read

        auto* edit = qobject_cast<QLineEdit*>(Editor("label"));
        QVERIFY(edit);
        QCOMPARE(RowLabel(edit), QString("Label"));
        QCOMPARE(edit->text(), QString("desk"));

        QCOMPARE(Find<QSpinBox>(Editor("level"))->value(), 7);
        QVERIFY(page->calls.empty());
    }

    // A range of more than 100000 steps gets the number box alone; one that fits keeps the
    // slider even when its ends do not fit an int.
    void sliderOnlyForRangesOfFewSteps()
    {
        page = std::make_shared<TMemoryPage>(
            "Encoder",
            std::vector<TPropertyControl>{
                Control("fine", "Fine", TKind::Integer, 0, 100001, 1, 0),
                Control("limit", "Limit", TKind::Integer, 0, 100000, 1, 0),
                Control("ratio", "Ratio", TKind::Double, 0, 1000, 0.001, 0)},
            std::map<QString, QVariant>{{"fine", qint64(5)}, {"limit", qint64(6)}, {"ratio", 2.5}});
        Open({page});
        QVERIFY(!Find<QSlider>(Editor("fine")));
        QCOMPARE(Find<QSpinBox>(Editor("fine"))->value(), 5);
        QVERIFY(Find<QSlider>(Editor("limit")));
        QCOMPARE(Find<QSlider>(Editor("limit"))->maximum(), 100000);
        QVERIFY(!Find<QSlider>(Editor("ratio")));
        QCOMPARE(Find<QDoubleSpinBox>(Editor("ratio"))->value(), 2.5);
    }

    // Moving a slider sends the value it stands for, typed as the kind wants, once per move,
    // and the number box follows.
    void slidersSendTypedValues()
    {
        Open({page});
        auto* bSlider = Find<QSlider>(Editor("brightness"));
        bSlider->setFocus();
        QTest::keyClick(bSlider, Qt::Key_Right);
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].first, QString("brightness"));
        QCOMPARE(page->calls[0].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[0].second.toLongLong(), 12);
        QCOMPARE(Find<QSpinBox>(Editor("brightness"))->value(), 12);

        auto* gSlider = Find<QSlider>(Editor("gamma"));
        gSlider->setFocus();
        QTest::keyClick(gSlider, Qt::Key_Left);
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].first, QString("gamma"));
        QCOMPARE(page->calls[1].second.typeId(), QMetaType::Double);
        QCOMPARE(page->calls[1].second.toDouble(), 1.25);
        QCOMPARE(Find<QDoubleSpinBox>(Editor("gamma"))->value(), 1.25);
        QCOMPARE(page->values["gamma"].toDouble(), 1.25);
    }

    // Finishing an edit in a number box or the text line sends its value once, typed; leaving
    // the box afterwards, or passing through one without editing, sends nothing.
    void finishedEditsSendOnce()
    {
        Open({page});
        TypeAndReturn(Find<QSpinBox>(Editor("brightness")), "-20");
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].first, QString("brightness"));
        QCOMPARE(page->calls[0].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[0].second.toLongLong(), -20);
        QCOMPARE(Find<QSlider>(Editor("brightness"))->value(), 22); // (-20 + 64) / 2
        LeaveEditor();
        QCOMPARE(page->calls.size(), std::size_t(1));

        TypeAndReturn(Find<QDoubleSpinBox>(Editor("gamma")), "2");
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].first, QString("gamma"));
        QCOMPARE(page->calls[1].second.typeId(), QMetaType::Double);
        QCOMPARE(page->calls[1].second.toDouble(), 2.0);
        QCOMPARE(Find<QSlider>(Editor("gamma"))->value(), 6);
        LeaveEditor();
        QCOMPARE(page->calls.size(), std::size_t(2));

        auto* edit = qobject_cast<QLineEdit*>(Editor("label"));
        TypeAndReturn(edit, "window");
        QCOMPARE(page->calls.size(), std::size_t(3));
        QCOMPARE(page->calls[2].first, QString("label"));
        QCOMPARE(page->calls[2].second.typeId(), QMetaType::QString);
        QCOMPARE(page->calls[2].second.toString(), QString("window"));
        LeaveEditor();
        QCOMPARE(page->calls.size(), std::size_t(3));

        // Tabbing through a box the user did not edit changes nothing.
        for (QWidget* box : {static_cast<QWidget*>(Find<QSpinBox>(Editor("gain"))),
                             static_cast<QWidget*>(Find<QDoubleSpinBox>(Editor("gamma"))),
                             static_cast<QWidget*>(edit)}) {
            box->setFocus(Qt::TabFocusReason);
            QTRY_VERIFY_WITH_TIMEOUT(box->hasFocus(), 2000);
            LeaveEditor();
        }
        QCOMPARE(page->calls.size(), std::size_t(3));
        QCOMPARE(page->values["brightness"].toLongLong(), -20);
        QCOMPARE(page->values["gamma"].toDouble(), 2.0);
        QCOMPARE(page->values["label"].toString(), QString("window"));
    }

    // An edit still open when the dialog goes is finished then: by Close, and by destroying
    // the dialog while it is shown; each sends once.
    void closingFinishesAnOpenEdit()
    {
        Open({page});
        auto* box = Find<QSpinBox>(Editor("gain"));
        box->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY_WITH_TIMEOUT(box->hasFocus(), 2000);
        QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(box, "64");
        QVERIFY(page->calls.empty());
        QTest::mouseClick(frame->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Close),
                          Qt::LeftButton);
        QVERIFY(!frame->isVisible());
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].first, QString("gain"));
        QCOMPARE(page->calls[0].second.toLongLong(), 64);

        Open({page});
        auto* edit = qobject_cast<QLineEdit*>(Editor("label"));
        edit->setFocus(Qt::OtherFocusReason);
        QTRY_VERIFY_WITH_TIMEOUT(edit->hasFocus(), 2000);
        QTest::keyClicks(edit, "s");
        frame.reset();
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].first, QString("label"));
        QCOMPARE(page->calls[1].second.toString(), QString("desks"));
    }

    // A check box sends 1 and 0, a choice its entry's value, a button one 1 per press.
    void switchesChoicesAndButtons()
    {
        Open({page});
        auto* check = qobject_cast<QCheckBox*>(Editor("auto"));
        ClickCheck(check);
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].first, QString("auto"));
        QCOMPARE(page->calls[0].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[0].second.toLongLong(), 1);
        ClickCheck(check);
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].second.toLongLong(), 0);
        QVERIFY(!check->isChecked());

        auto* combo = qobject_cast<QComboBox*>(Editor("mode"));
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Down);
        QCOMPARE(page->calls.size(), std::size_t(3));
        QCOMPARE(page->calls[2].first, QString("mode"));
        QCOMPARE(page->calls[2].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[2].second.toLongLong(), 3); // the entry's value, not its index
        QCOMPARE(combo->currentIndex(), 2);

        auto* button = qobject_cast<QPushButton*>(Editor("reset"));
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(page->calls.size(), std::size_t(4));
        QCOMPARE(page->calls[3].first, QString("reset"));
        QCOMPARE(page->calls[3].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[3].second.toLongLong(), 1);
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(page->calls.size(), std::size_t(5));
        QCOMPARE(page->calls[4].first, QString("reset"));
        QCOMPARE(page->valueAsked["reset"], 0);
    }

    // When the object refuses, every kind of editor shows the object's value again.
    void refusedValuesAreTakenBack()
    {
        Open({page});
        page->refuse = true;

        auto* bSlider = Find<QSlider>(Editor("brightness"));
        bSlider->setFocus();
        QTest::keyClick(bSlider, Qt::Key_Right);
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].second.toLongLong(), 12);
        QCOMPARE(bSlider->value(), 37);
        QCOMPARE(Find<QSpinBox>(Editor("brightness"))->value(), 10);

        TypeAndReturn(Find<QDoubleSpinBox>(Editor("gamma")), QLocale().toString(2.25));
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].second.toDouble(), 2.25);
        QCOMPARE(Find<QDoubleSpinBox>(Editor("gamma"))->value(), 1.5);
        QCOMPARE(Find<QSlider>(Editor("gamma"))->value(), 4);

        auto* check = qobject_cast<QCheckBox*>(Editor("auto"));
        ClickCheck(check);
        QCOMPARE(page->calls.size(), std::size_t(3));
        QVERIFY(!check->isChecked());

        auto* combo = qobject_cast<QComboBox*>(Editor("mode"));
        combo->setFocus();
        QTest::keyClick(combo, Qt::Key_Up);
        QCOMPARE(page->calls.size(), std::size_t(4));
        QCOMPARE(page->calls[3].second.toLongLong(), 0);
        QCOMPARE(combo->currentIndex(), 1);

        auto* edit = qobject_cast<QLineEdit*>(Editor("label"));
        TypeAndReturn(edit, "hall");
        QCOMPARE(page->calls.size(), std::size_t(5));
        QCOMPARE(page->calls[4].second.toString(), QString("hall"));
        QCOMPARE(edit->text(), QString("desk"));

        // Nothing was kept, and no editor's restoring went back to the object as a change.
        QCOMPARE(page->values["brightness"].toLongLong(), 10);
        QCOMPARE(page->values["gamma"].toDouble(), 1.5);
        QCOMPARE(page->values["auto"].toLongLong(), 0);
        QCOMPARE(page->values["mode"].toLongLong(), 1);
        QCOMPARE(page->values["label"].toString(), QString("desk"));
        LeaveEditor();
        QCOMPARE(page->calls.size(), std::size_t(5));
    }

    // Read-only and inactive controls are disabled; a change that rules another control
    // disables it at once, and undoing the change enables it again.
    void disabledWhileReadOnlyOrInactive()
    {
        page->values["auto"] = qint64(1);
        Open({page});
        QVERIFY(!Editor("level")->isEnabled());
        QVERIFY(!Editor("gain")->isEnabled());
        QVERIFY(!Editor("gain")->toolTip().isEmpty());
        QVERIFY(Editor("brightness")->isEnabled());
        QVERIFY(Editor("auto")->isEnabled());

        auto* check = qobject_cast<QCheckBox*>(Editor("auto"));
        ClickCheck(check); // automatic gain off: gain rules again
        QCOMPARE(page->calls.size(), std::size_t(1));
        QVERIFY(Editor("gain")->isEnabled());
        QVERIFY(Editor("gain")->toolTip().isEmpty());
        QVERIFY(!Editor("level")->isEnabled());

        ClickCheck(check);
        QCOMPARE(page->calls.size(), std::size_t(2));
        QVERIFY(!Editor("gain")->isEnabled());
        QVERIFY(!Editor("level")->isEnabled());

        // A refused change leaves the states as the object reports them.
        page->refuse = true;
        ClickCheck(check);
        QCOMPARE(page->calls.size(), std::size_t(3));
        QVERIFY(check->isChecked());
        QVERIFY(!Editor("gain")->isEnabled());
    }

    // The refresh after a change shows what the object made of it and what it did to other
    // controls, and never sends those back: exactly one SetValue per user change.
    void refreshNeverEchoes()
    {
        page->snapKey = "gain";
        page->snapTo = 10;
        page->ruledValueWhenOn = qint64(80);
        Open({page});
        const int controlsBefore = page->controlsAsked;

        auto* gSlider = Find<QSlider>(Editor("gain"));
        gSlider->setFocus();
        QTest::keyClick(gSlider, Qt::Key_PageUp); // 30 + 10 = 40, kept as is
        QTest::keyClick(gSlider, Qt::Key_Right);  // 41, rounded down to 40 by the object
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].second.toLongLong(), 41);
        QCOMPARE(gSlider->value(), 40);
        QCOMPARE(Find<QSpinBox>(Editor("gain"))->value(), 40);

        TypeAndReturn(Find<QSpinBox>(Editor("gain")), "57");
        QCOMPARE(page->calls.size(), std::size_t(3));
        QCOMPARE(page->calls[2].second.toLongLong(), 57);
        QCOMPARE(Find<QSpinBox>(Editor("gain"))->value(), 50);
        QCOMPARE(gSlider->value(), 50);

        // Turning automatic gain on moves the gain as well; only the switch is sent.
        ClickCheck(qobject_cast<QCheckBox*>(Editor("auto")));
        QCOMPARE(page->calls.size(), std::size_t(4));
        QCOMPARE(page->calls[3].first, QString("auto"));
        QCOMPARE(gSlider->value(), 80);
        QCOMPARE(Find<QSpinBox>(Editor("gain"))->value(), 80);
        QVERIFY(!Editor("gain")->isEnabled());
        QCOMPARE(page->values["gain"].toLongLong(), 80);
        // Every change read the controls again, once.
        QCOMPARE(page->controlsAsked, controlsBefore + 4);
        LeaveEditor();
        QCOMPARE(page->calls.size(), std::size_t(4));
    }

    // A page without controls says so and has no editor.
    void emptyPageShowsANote()
    {
        auto empty = std::make_shared<TMemoryPage>("Audio", std::vector<TPropertyControl>{},
                                                   std::map<QString, QVariant>{});
        Open({empty, page});
        QWidget* tab = frame->Tabs()->widget(0);
        QCOMPARE(frame->Tabs()->tabText(0), QString("Audio"));
        const QList<QLabel*> labels = tab->findChildren<QLabel*>();
        QCOMPARE(labels.size(), 1);
        QVERIFY(!labels[0]->text().isEmpty());
        QVERIFY(tab->findChildren<QAbstractSpinBox*>().isEmpty());
        QVERIFY(tab->findChildren<QAbstractButton*>().isEmpty());
        QVERIFY(tab->findChildren<QComboBox*>().isEmpty());
        QVERIFY(tab->findChildren<QLineEdit*>().isEmpty());
        QVERIFY(tab->findChildren<QSlider*>().isEmpty());
        QVERIFY(!frame->Editor("Audio", "brightness"));
        // The other page is not touched by the empty one.
        QVERIFY(frame->Tabs()->widget(1)->isAncestorOf(Editor("brightness")));
    }

    // An Integer range wider than an int works through a whole-number double box, and its
    // slider (when the steps are few) still sends 64-bit integers.
    void integersWiderThanAnInt()
    {
        page = std::make_shared<TMemoryPage>(
            "Encoder",
            std::vector<TPropertyControl>{
                Control("bytes", "Bytes", TKind::Integer, 0, 1e12, 1, 0),
                Control("offset", "Offset", TKind::Integer, -3e9, 3e9, 1e6, 0)},
            std::map<QString, QVariant>{{"bytes", qint64(5000000000)},
                                        {"offset", qint64(-2000000000)}});
        Open({page});
        QVERIFY(!Find<QSpinBox>(Editor("bytes")));
        QVERIFY(!Find<QSlider>(Editor("bytes")));
        auto* box = Find<QDoubleSpinBox>(Editor("bytes"));
        QVERIFY(box);
        QCOMPARE(box->decimals(), 0);
        QCOMPARE(box->maximum(), 1e12);
        QCOMPARE(box->value(), 5e9);
        TypeAndReturn(box, "7000000001");
        QCOMPARE(page->calls.size(), std::size_t(1));
        QCOMPARE(page->calls[0].first, QString("bytes"));
        QCOMPARE(page->calls[0].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[0].second.toLongLong(), qint64(7000000001));
        QCOMPARE(box->value(), 7000000001.0);

        auto* slider = Find<QSlider>(Editor("offset"));
        QVERIFY(slider);
        QCOMPARE(slider->maximum(), 6000);
        QCOMPARE(slider->value(), 1000);
        QCOMPARE(Find<QDoubleSpinBox>(Editor("offset"))->value(), -2e9);
        slider->setFocus();
        QTest::keyClick(slider, Qt::Key_Right);
        QCOMPARE(page->calls.size(), std::size_t(2));
        QCOMPARE(page->calls[1].second.typeId(), QMetaType::LongLong);
        QCOMPARE(page->calls[1].second.toLongLong(), qint64(-1999000000));
        QCOMPARE(Find<QDoubleSpinBox>(Editor("offset"))->value(), -1999000000.0);
    }
};

PARLAVUE_GUI_TEST_MAIN(PropertyFrameTest)

#include "tst_PropertyFrame.moc"
