#pragma once

#include "platform/camera/v4l2/IV4l2Device.h"
#include "platform/ui/IPropertyPage.h"

#include <QString>

#include <memory>
#include <optional>

// The camera's own controls as the driver lists them, one page entry per control. The key of an
// entry is the V4L2 control id in decimal. Nothing is cached: every call asks the driver, so
// flags that change with other settings (inactive, grabbed) are always current.
class TV4l2ControlPage final : public IPropertyPage
{
public:
    // Bounds on what one Controls() call asks the driver, against drivers that never say "end".
    static constexpr int MaxControls = 256;
    static constexpr int MaxMenuEntries = 256;

    explicit TV4l2ControlPage(std::shared_ptr<IV4l2Device> device,
                              QString title = QStringLiteral("Video Capture Filter"));

    QString Title() override;
    std::vector<TPropertyControl> Controls() override;
    // The control's value as a qint64; invalid for buttons, unknown keys and failed reads.
    QVariant Value(const QString& key) override;
    // Values are refused, never clamped: out of range, off the step, not in the menu, read-only
    // or grabbed controls and unknown keys give false without reaching the driver. Any value
    // presses a button.
    bool SetValue(const QString& key, const QVariant& value) override;

private:
    std::optional<v4l2_queryctrl> QueryShown(const QString& key);
    bool Accepts(const v4l2_queryctrl& query, qint64 value);
    std::vector<std::pair<qint64, QString>> MenuOf(const v4l2_queryctrl& query);

    std::shared_ptr<IV4l2Device> Device;
    QString PageTitle;
};
