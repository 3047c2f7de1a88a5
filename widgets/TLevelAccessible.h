#pragma once

#include <QAccessibleWidget>

class TTrackBar;

// A level bar as a screen reader reads it: a slider from 0 to 100 (per cent of its range),
// whatever range the bar keeps inside (the volume's is 0 to 65535).
class TLevelAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit TLevelAccessible(TTrackBar* bar);

    // Answers for TTrackBar; installed once, by the first bar made.
    static QAccessibleInterface* Factory(const QString& className, QObject* object);

    void* interface_cast(QAccessible::InterfaceType type) override;
    QString text(QAccessible::Text t) const override;

    QVariant currentValue() const override;
    void setCurrentValue(const QVariant& value) override;
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    TTrackBar* Bar() const;
};
