#include "platform/camera/v4l2/TV4l2TunerPage.h"

#include <cmath>
#include <cstring>

#include <QCoreApplication>

namespace {
QString NameOf(const v4l2_standard& standard)
{
    // The driver's text, never read past its field.
    const char* name = reinterpret_cast<const char*>(standard.name);
    QString text = QString::fromLatin1(name, qsizetype(strnlen(name, sizeof standard.name)));
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = QChar(u' ');
    return text.trimmed();
}
} // namespace

TV4l2TunerPage::TV4l2TunerPage(std::shared_ptr<IV4l2Device> device) : device_(std::move(device)) {}

bool TV4l2TunerPage::HasTuner(IV4l2Device& device)
{
    v4l2_tuner tuner{};
    tuner.index = 0;
    return device.GetTuner(tuner) == 0 && tuner.type == V4L2_TUNER_ANALOG_TV &&
           tuner.rangehigh > tuner.rangelow;
}

double TV4l2TunerPage::UnitMHz(const v4l2_tuner& tuner) const
{
    return (tuner.capability & V4L2_TUNER_CAP_LOW) ? 62.5e-6 : 62.5e-3;
}

std::vector<v4l2_standard> TV4l2TunerPage::Standards() const
{
    std::vector<v4l2_standard> standards;
    for (int i = 0; device_ && i < MaxStandards; ++i) {
        v4l2_standard standard{};
        standard.index = quint32(i);
        if (device_->EnumStandard(standard) != 0)
            break;
        standards.push_back(standard);
    }
    return standards;
}

std::vector<TPropertyControl> TV4l2TunerPage::Controls()
{
    std::vector<TPropertyControl> controls;
    if (!device_)
        return controls;
    const std::vector<v4l2_standard> standards = Standards();
    if (!standards.empty()) {
        TPropertyControl norm;
        norm.key = NormKey;
        norm.name = QCoreApplication::translate("TV4l2TunerPage", "Video standard");
        norm.kind = TPropertyControl::TKind::Menu;
        for (std::size_t i = 0; i < standards.size(); ++i)
            norm.menu.emplace_back(qint64(i), NameOf(standards[i]));
        norm.maximum = double(standards.size() - 1);
        controls.push_back(norm);
    }
    v4l2_tuner tuner{};
    if (device_->GetTuner(tuner) == 0 && tuner.rangehigh > tuner.rangelow) {
        TPropertyControl frequency;
        frequency.key = FrequencyKey;
        frequency.name = QCoreApplication::translate("TV4l2TunerPage", "Frequency (MHz)");
        frequency.kind = TPropertyControl::TKind::Double;
        frequency.step = UnitMHz(tuner);
        frequency.minimum = tuner.rangelow * frequency.step;
        frequency.maximum = tuner.rangehigh * frequency.step;
        frequency.defaultValue = frequency.minimum;
        controls.push_back(frequency);
    }
    return controls;
}

QVariant TV4l2TunerPage::Value(const QString& key)
{
    if (!device_)
        return {};
    if (key == NormKey) {
        v4l2_std_id current = 0;
        if (device_->GetStandard(current) != 0)
            return {};
        const std::vector<v4l2_standard> standards = Standards();
        for (std::size_t i = 0; i < standards.size(); ++i)
            if (standards[i].id == current)
                return qint64(i);
        // A combined standard (say, every PAL): the first listed one it covers.
        for (std::size_t i = 0; i < standards.size(); ++i)
            if (standards[i].id & current)
                return qint64(i);
        return {};
    }
    if (key == FrequencyKey) {
        v4l2_tuner tuner{};
        v4l2_frequency frequency{};
        frequency.tuner = 0;
        if (device_->GetTuner(tuner) != 0 || device_->GetFrequency(frequency) != 0)
            return {};
        return frequency.frequency * UnitMHz(tuner);
    }
    return {};
}

bool TV4l2TunerPage::SetValue(const QString& key, const QVariant& value)
{
    if (!device_)
        return false;
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number))
        return false;
    if (key == NormKey) {
        const std::vector<v4l2_standard> standards = Standards();
        if (number != std::floor(number) || number < 0 || number >= double(standards.size()))
            return false;
        return device_->SetStandard(standards[std::size_t(number)].id) == 0;
    }
    if (key == FrequencyKey) {
        v4l2_tuner tuner{};
        if (device_->GetTuner(tuner) != 0)
            return false;
        const double units = std::round(number / UnitMHz(tuner));
        if (units < tuner.rangelow || units > tuner.rangehigh)
            return false;
        v4l2_frequency frequency{};
        frequency.tuner = 0;
        frequency.type = V4L2_TUNER_ANALOG_TV;
        frequency.frequency = quint32(units);
        return device_->SetFrequency(frequency) == 0;
    }
    return false;
}

QString TV4l2TunerPage::Title()
{
    return QCoreApplication::translate("TV4l2TunerPage", "TV Tuner");
}
