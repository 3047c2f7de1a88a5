#include "widgets/TTrackBar.h"

TTrackBar::TTrackBar(QWidget* parent) : QSlider(Qt::Vertical, parent)
{
    setInvertedAppearance(true);
    setInvertedControls(true);
    setTickPosition(QSlider::TicksBothSides);
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
