#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <utility>
#include <vector>

// One setting an object offers on a property page.
struct TPropertyControl
{
    enum class TKind
    {
        Integer, // a slider with a number box: minimum..maximum in steps of step
        Double,  // the same with a fractional number
        Boolean, // a check box
        Menu,    // a choice among menu entries (value, text)
        Button,  // an action: setting any value triggers it
        Text,    // a line of text
    };

    QString key;  // names the control within its page; never shown
    QString name; // shown beside the control
    TKind kind = TKind::Integer;
    double minimum = 0;
    double maximum = 0;
    double step = 1;
    double defaultValue = 0;
    std::vector<std::pair<qint64, QString>> menu;
    bool readOnly = false; // shown, never changed
    bool inactive = false; // has no effect now (another setting rules it), shown disabled

    bool operator==(const TPropertyControl&) const = default;
};

// A page of an object's settings, generated from what the object reports about itself.
// Every call is made on the UI thread; a change takes effect at once.
class IPropertyPage
{
public:
    virtual ~IPropertyPage() = default;

    virtual QString Title() = 0;
    // Asked again after every change: one setting can make another inactive.
    virtual std::vector<TPropertyControl> Controls() = 0;
    // The current value (a number for Integer, Double, Boolean and Menu, a string for Text);
    // invalid when it cannot be read.
    virtual QVariant Value(const QString& key) = 0;
    // False when the object refused the value; the control then shows Value() again.
    virtual bool SetValue(const QString& key, const QVariant& value) = 0;
};
using PropertyPagePtr = std::shared_ptr<IPropertyPage>;
