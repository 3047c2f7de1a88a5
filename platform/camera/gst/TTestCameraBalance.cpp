#include "platform/camera/gst/TTestCameraBalance.h"

#include <cmath>

namespace {
struct TBalanceControl
{
    const char* key; // the videobalance property
    const char* name;
    double minimum;
    double maximum;
    double neutral;
};

constexpr std::array<TBalanceControl, 4> Balance{{
    {"brightness", "Brightness", -1, 1, 0},
    {"contrast", "Contrast", 0, 2, 1},
    {"saturation", "Saturation", 0, 2, 1},
    {"hue", "Hue", -1, 1, 0},
}};
} // namespace

TTestCameraBalance::TTestCameraBalance()
{
    for (size_t i = 0; i < Balance.size(); ++i)
        values_[i] = Balance[i].neutral;
    g_weak_ref_init(&element_, nullptr);
}

TTestCameraBalance::~TTestCameraBalance()
{
    g_weak_ref_clear(&element_);
}

void TTestCameraBalance::Attach(GstElement* balance)
{
    g_weak_ref_set(&element_, balance);
    for (size_t i = 0; i < Balance.size(); ++i)
        g_object_set(balance, Balance[i].key, values_[i], nullptr);
}

int TTestCameraBalance::IndexOf(const QString& key) const
{
    for (size_t i = 0; i < Balance.size(); ++i)
        if (key == QLatin1String(Balance[i].key))
            return int(i);
    return -1;
}

std::vector<TPropertyControl> TTestCameraBalance::Controls()
{
    std::vector<TPropertyControl> controls;
    for (const TBalanceControl& b : Balance) {
        TPropertyControl c;
        c.key = QString::fromLatin1(b.key);
        c.name = QString::fromLatin1(b.name);
        c.kind = TPropertyControl::TKind::Double;
        c.minimum = b.minimum;
        c.maximum = b.maximum;
        c.step = (b.maximum - b.minimum) / 200;
        c.defaultValue = b.neutral;
        controls.push_back(c);
    }
    return controls;
}

QVariant TTestCameraBalance::Value(const QString& key)
{
    const int i = IndexOf(key);
    return i < 0 ? QVariant() : QVariant(values_[size_t(i)]);
}

bool TTestCameraBalance::SetValue(const QString& key, const QVariant& value)
{
    const int i = IndexOf(key);
    bool isNumber = false;
    const double v = value.toDouble(&isNumber);
    if (i < 0 || !isNumber || !std::isfinite(v) || v < Balance[size_t(i)].minimum ||
        v > Balance[size_t(i)].maximum)
        return false;
    values_[size_t(i)] = v;
    if (auto* live = static_cast<GstElement*>(g_weak_ref_get(&element_))) {
        g_object_set(live, Balance[size_t(i)].key, v, nullptr);
        gst_object_unref(live);
    }
    return true;
}
