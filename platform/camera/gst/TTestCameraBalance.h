#pragma once

// The test camera's picture controls: the balance stage its picture goes through (brightness,
// contrast, saturation and hue), shown as a camera's controls are. The values outlive each run:
// each run's element takes them, and a change reaches the live element at once.

#include "platform/ui/IPropertyPage.h"

#include <gst/gst.h>

#include <array>

class TTestCameraBalance : public IPropertyPage
{
public:
    TTestCameraBalance();
    ~TTestCameraBalance() override;
    TTestCameraBalance(const TTestCameraBalance&) = delete;
    TTestCameraBalance& operator=(const TTestCameraBalance&) = delete;

    // The videobalance element of a new run; it is followed until it goes.
    void Attach(GstElement* balance);

    QString Title() override { return QStringLiteral("Video Capture Filter"); }
    std::vector<TPropertyControl> Controls() override;
    QVariant Value(const QString& key) override;
    // False for an unknown key, a value that is no number or one outside the control's range.
    bool SetValue(const QString& key, const QVariant& value) override;

private:
    int IndexOf(const QString& key) const;

    std::array<double, 4> values_;
    GWeakRef element_;
};
