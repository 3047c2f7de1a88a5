#include "widgets/TLevelAccessible.h"

#include "widgets/TTrackBar.h"

#include <algorithm>
#include <cmath>

TLevelAccessible::TLevelAccessible(TTrackBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}

QAccessibleInterface* TLevelAccessible::Factory(const QString& className, QObject* object)
{
    if (className == QLatin1String("TTrackBar") && object && object->isWidgetType())
        return new TLevelAccessible(static_cast<TTrackBar*>(object));
    return nullptr;
}

TTrackBar* TLevelAccessible::Bar() const
{
    return static_cast<TTrackBar*>(widget());
}

void* TLevelAccessible::interface_cast(QAccessible::InterfaceType type)
{
    if (type == QAccessible::ValueInterface)
        return static_cast<QAccessibleValueInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
}

QString TLevelAccessible::text(QAccessible::Text t) const
{
    if (t == QAccessible::Value)
        return QString::number(currentValue().toInt());
    return QAccessibleWidget::text(t);
}

QVariant TLevelAccessible::currentValue() const
{
    const TTrackBar* bar = Bar();
    const int span = bar->maximum() - bar->minimum();
    if (span <= 0)
        return 0;
    return int(std::lround((bar->value() - bar->minimum()) * 100.0 / span));
}

void TLevelAccessible::setCurrentValue(const QVariant& value)
{
    TTrackBar* bar = Bar();
    const double percent = std::clamp(value.toDouble(), 0.0, 100.0);
    const int span = bar->maximum() - bar->minimum();
    bar->SetPosition(bar->minimum() + int(std::lround(percent * span / 100.0)));
}
