#include "platform/ui/TPropertyFrame.h"

#include "platform/logging/Logging.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <memory>

namespace {
using TKind = TPropertyControl::TKind;

// Sliders count in whole steps; a range too wide for an int is shown by the number box alone.
constexpr double MaxSliderSteps = 100000;

bool Fits(double v)
{
    return v >= std::numeric_limits<int>::min() && v <= std::numeric_limits<int>::max();
}
} // namespace

TPropertyFrame::TPropertyFrame(const QString& caption, std::vector<PropertyPagePtr> pages,
                               QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(caption);
    auto* layout = new QVBoxLayout(this);
    tabs_ = new QTabWidget(this);
    layout->addWidget(tabs_);
    for (const PropertyPagePtr& page : pages)
        if (page)
            tabs_->addTab(MakePage(page), page->Title());
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)
        ->setAutoDefault(false); // Return in an editor must not close it either
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::accept);
    layout->addWidget(buttons);
    setMinimumWidth(420);
    // The keyboard starts at the first setting, not at the tabs.
    for (const TBound& b : bound_)
        if (b.editor->isEnabled()) {
            QWidget* target = b.editor;
            if (const auto boxes = b.editor->findChildren<QAbstractSpinBox*>(); !boxes.isEmpty())
                target = boxes.front();
            QMetaObject::invokeMethod(
                target, [target] { target->setFocus(Qt::OtherFocusReason); }, Qt::QueuedConnection);
            break;
        }
}

TPropertyFrame::~TPropertyFrame()
{
    // Hiding moves the focus out of an editor, which finishes its edit; that has to happen
    // while bound_ still exists, not in QDialog's destructor after it is gone.
    hide();
}

QWidget* TPropertyFrame::MakePage(const PropertyPagePtr& page)
{
    auto* widget = new QWidget(tabs_);
    auto* form = new QFormLayout(widget);
    const std::vector<TPropertyControl> controls = page->Controls();
    if (controls.empty())
        form->addRow(new QLabel(tr("This device offers no settings here."), widget));
    for (const TPropertyControl& control : controls)
        Add(page, control, widget, form);
    Refresh(page);
    return widget;
}

void TPropertyFrame::Add(const PropertyPagePtr& page, const TPropertyControl& control,
                         QWidget* parentWidget, QFormLayout* form)
{
    const std::size_t index = bound_.size();
    TBound bound{page, control.key, nullptr, {}, control};
    const auto change = [this, index](const QVariant& value) { Change(index, value); };
    switch (control.kind) {
    case TKind::Integer:
    case TKind::Double: {
        auto* row = new QWidget(parentWidget);
        auto* h = new QHBoxLayout(row);
        h->setContentsMargins(0, 0, 0, 0);
        const double step = control.step > 0 ? control.step : 1;
        const double steps = std::floor((control.maximum - control.minimum) / step);
        QSlider* slider = nullptr;
        if (steps >= 0 && steps <= MaxSliderSteps) {
            slider = new QSlider(Qt::Horizontal, row);
            slider->setRange(0, int(steps));
            h->addWidget(slider, 1);
        }
        QAbstractSpinBox* box = nullptr;
        std::function<void(double)> setBox;
        if (control.kind == TKind::Integer && Fits(control.minimum) && Fits(control.maximum)) {
            auto* spin = new QSpinBox(row);
            spin->setRange(int(control.minimum), int(control.maximum));
            spin->setSingleStep(int(std::max(1.0, step)));
            // A box finishes its edit on every focus loss too; only a new number is a change.
            auto shown = std::make_shared<int>(spin->value());
            connect(spin, &QSpinBox::editingFinished, this, [change, spin, shown] {
                if (spin->value() == *shown)
                    return;
                *shown = spin->value();
                change(qint64(spin->value()));
            });
            setBox = [spin, shown](double v) {
                spin->setValue(int(v));
                *shown = spin->value();
            };
            box = spin;
        } else {
            auto* spin = new QDoubleSpinBox(row);
            spin->setDecimals(control.kind == TKind::Integer ? 0 : 3);
            spin->setRange(control.minimum, control.maximum);
            spin->setSingleStep(step);
            // As above; comparing with what the box showed also keeps a value finer than its
            // decimals from being rounded by merely passing through.
            auto shown = std::make_shared<double>(spin->value());
            connect(spin, &QDoubleSpinBox::editingFinished, this, [change, spin, control, shown] {
                if (spin->value() == *shown)
                    return;
                *shown = spin->value();
                change(control.kind == TKind::Integer
                           ? QVariant(qint64(std::llround(spin->value())))
                           : QVariant(spin->value()));
            });
            setBox = [spin, shown](double v) {
                spin->setValue(v);
                *shown = spin->value();
            };
            box = spin;
        }
        h->addWidget(box);
        if (slider) {
            const double minimum = control.minimum;
            connect(slider, &QSlider::valueChanged, this, [=, this](int position) {
                const double v = minimum + position * step;
                if (refreshing_)
                    return;
                setBox(v);
                change(control.kind == TKind::Integer ? QVariant(qint64(std::llround(v)))
                                                      : QVariant(v));
            });
        }
        bound.editor = row;
        // The row's label names the row; the slider and the box inside it say so themselves.
        if (slider)
            slider->setAccessibleName(control.name);
        box->setAccessibleName(control.name);
        bound.show = [slider, setBox, control, step](const QVariant& value) {
            const double v = value.toDouble();
            setBox(v);
            if (slider)
                slider->setValue(int(std::lround((v - control.minimum) / step)));
        };
        form->addRow(control.name, row);
        break;
    }
    case TKind::Boolean: {
        auto* check = new QCheckBox(control.name, parentWidget);
        connect(check, &QCheckBox::toggled, this, [change, this](bool on) {
            if (!refreshing_)
                change(qint64(on ? 1 : 0));
        });
        bound.editor = check;
        bound.show = [check](const QVariant& v) { check->setChecked(v.toLongLong() != 0); };
        form->addRow(QString(), check);
        break;
    }
    case TKind::Menu: {
        auto* combo = new QComboBox(parentWidget);
        for (const auto& [value, text] : control.menu)
            combo->addItem(text, value);
        connect(combo, &QComboBox::activated, this,
                [change, combo](int i) { change(combo->itemData(i)); });
        bound.editor = combo;
        bound.show = [combo](const QVariant& v) {
            combo->setCurrentIndex(combo->findData(v.toLongLong()));
        };
        form->addRow(control.name, combo);
        break;
    }
    case TKind::Button: {
        auto* button = new QPushButton(control.name, parentWidget);
        // Return finishes an edit in a box; it must not press the object's action as well.
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [change] { change(qint64(1)); });
        bound.editor = button;
        bound.show = [](const QVariant&) {};
        form->addRow(QString(), button);
        break;
    }
    case TKind::Text: {
        auto* edit = new QLineEdit(parentWidget);
        // As with the number boxes: a focus loss after Return, or without typing, is no change.
        connect(edit, &QLineEdit::editingFinished, this, [change, edit] {
            if (!edit->isModified())
                return;
            edit->setModified(false);
            change(edit->text());
        });
        bound.editor = edit;
        bound.show = [edit](const QVariant& v) { edit->setText(v.toString()); };
        form->addRow(control.name, edit);
        break;
    }
    }
    bound.editor->setObjectName(control.key);
    bound_.push_back(std::move(bound));
}

void TPropertyFrame::Change(std::size_t index, const QVariant& value)
{
    if (refreshing_ || index >= bound_.size())
        return;
    const TBound& b = bound_[index];
    const bool ok = b.page->SetValue(b.key, value);
    qCDebug(lcUi) << "property" << b.page->Title() << b.control.name << value
                  << (ok ? "set" : "refused");
    Refresh(b.page);
}

void TPropertyFrame::Refresh(const PropertyPagePtr& page)
{
    refreshing_ = true;
    const std::vector<TPropertyControl> now = page->Controls();
    for (TBound& b : bound_) {
        if (b.page != page)
            continue;
        bool inactive = b.control.inactive, readOnly = b.control.readOnly;
        for (const TPropertyControl& c : now)
            if (c.key == b.key) {
                inactive = c.inactive;
                readOnly = c.readOnly;
            }
        b.editor->setEnabled(!inactive && !readOnly);
        b.editor->setToolTip(inactive ? tr("Not in use while another setting rules it")
                                      : QString());
        if (b.control.kind != TKind::Button) {
            const QVariant value = page->Value(b.key);
            if (value.isValid())
                b.show(value);
        }
    }
    refreshing_ = false;
}

QWidget* TPropertyFrame::Editor(const QString& pageTitle, const QString& key) const
{
    for (const TBound& b : bound_)
        if (b.key == key && b.page->Title() == pageTitle)
            return b.editor;
    return nullptr;
}
