#pragma once

#include "platform/ui/IPropertyPage.h"

#include <QDialog>

#include <functional>
#include <vector>

class QTabWidget;
class QWidget;

// An object's settings, one tab per page, each control made from what the page reports: a
// slider with a number box for numbers, a check box, a choice list, a button, a text line.
// Every change goes to the object at once; a refused one shows the object's value again.
class TPropertyFrame : public QDialog
{
    Q_OBJECT
public:
    TPropertyFrame(const QString& caption, std::vector<PropertyPagePtr> pages,
                   QWidget* parent = nullptr);
    ~TPropertyFrame() override;

    QTabWidget* Tabs() const { return tabs_; }
    // The editor made for a control: found by its page title and key; null when none.
    QWidget* Editor(const QString& pageTitle, const QString& key) const;

private:
    struct TBound
    {
        PropertyPagePtr page;
        QString key;
        QWidget* editor = nullptr;
        std::function<void(const QVariant&)> show; // puts a value into the editor
        TPropertyControl control;
    };

    QWidget* MakePage(const PropertyPagePtr& page);
    void Add(const PropertyPagePtr& page, const TPropertyControl& control, QWidget* row,
             class QFormLayout* form);
    void Change(std::size_t index, const QVariant& value);
    // Values and enabled states again, after a change that may have touched other controls.
    void Refresh(const PropertyPagePtr& page);

    QTabWidget* tabs_ = nullptr;
    std::vector<TBound> bound_;
    bool refreshing_ = false;
};
