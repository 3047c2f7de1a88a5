#pragma once

// A settings page generated from what an element type tells of its properties: numbers with their
// ranges, switches, choices and texts that can be changed after the element is made.

#include "platform/camera/gst/TGstElementSettings.h"
#include "platform/ui/IPropertyPage.h"

#include <gst/gst.h>

#include <QStringList>

#include <memory>

class TGstPropertyPage : public IPropertyPage
{
public:
    // only: the properties to offer, in this order; empty offers every suitable one.
    TGstPropertyPage(QString title, GType elementType,
                     std::shared_ptr<TGstElementSettings> settings, QStringList only = {});
    ~TGstPropertyPage() override;
    TGstPropertyPage(const TGstPropertyPage&) = delete;
    TGstPropertyPage& operator=(const TGstPropertyPage&) = delete;

    QString Title() override { return title_; }
    std::vector<TPropertyControl> Controls() override;
    QVariant Value(const QString& key) override;
    bool SetValue(const QString& key, const QVariant& value) override;

    // The page of an installed element factory's type; null when it cannot be loaded.
    static std::shared_ptr<TGstPropertyPage>
    ForFactory(QString title, GstElementFactory* factory,
               std::shared_ptr<TGstElementSettings> settings, QStringList only = {});

private:
    std::vector<GParamSpec*> Offered() const;
    GParamSpec* Find(const QString& key) const;

    QString title_;
    gpointer class_ = nullptr; // a reference on the element type's class
    std::shared_ptr<TGstElementSettings> settings_;
    QStringList only_;
};
