#include "widgets/TToggleToolButton.h"

#include <QStyleOptionToolButton>
#include <QStylePainter>

TToggleToolButton::TToggleToolButton(QWidget* parent) : QToolButton(parent) {}

void TToggleToolButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionToolButton option;
    initStyleOption(&option);
    // Checked draws as pressed in every style; only a press in progress should.
    option.state &= ~QStyle::State_On;
    if (!isDown())
        option.state &= ~QStyle::State_Sunken;
    p.drawComplexControl(QStyle::CC_ToolButton, option);
}
