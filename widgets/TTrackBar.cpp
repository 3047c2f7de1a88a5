#include "widgets/TTrackBar.h"

#include "widgets/TLevelAccessible.h"

#include <QAccessible>

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Vertical, parent)
{
    setInvertedAppearance(true);
    setInvertedControls(true);
    setTickPosition(QSlider::TicksBothSides);
    // A screen reader hears per cent, not the raw position.
    static const bool factory = [] {
        QAccessible::installFactory(TLevelAccessible::Factory);
        return true;
    }();
    Q_UNUSED(factory);
    connect(this, &QSlider::valueChanged, this, &TTrackBar::Changed);
}

void TTrackBar::SetPosition(int position)
{
    const int clamped = std::clamp(position, minimum(), maximum());
    if (clamped == value())
        emit Changed();
    else
        setValue(clamped);
}
