#pragma once

#include "platform/camera/v4l2/IV4l2Device.h"
#include "platform/ui/IPropertyPage.h"

#include <memory>

// The tuner of a TV capture card as a settings page: the video standard (norm) to receive and
// the frequency to tune to, in MHz.
class TV4l2TunerPage final : public IPropertyPage
{
public:
    static inline const QString NormKey = QStringLiteral("norm");
    static inline const QString FrequencyKey = QStringLiteral("frequency");
    static constexpr int MaxStandards = 64;

    explicit TV4l2TunerPage(std::shared_ptr<IV4l2Device> device);

    // Whether the device has a tuner at all.
    static bool HasTuner(IV4l2Device& device);

    QString Title() override;
    std::vector<TPropertyControl> Controls() override;
    QVariant Value(const QString& key) override;
    bool SetValue(const QString& key, const QVariant& value) override;

private:
    // MHz per frequency unit: 62.5 kHz, or 62.5 Hz for a tuner that counts low.
    double UnitMHz(const v4l2_tuner& tuner) const;
    std::vector<v4l2_standard> Standards() const;

    std::shared_ptr<IV4l2Device> device_;
};
