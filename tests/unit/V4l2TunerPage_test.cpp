#include "platform/camera/v4l2/TV4l2TunerPage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// A TV card's tuner in memory: three standards, a frequency range in 62.5 kHz units.
class TFakeTunerCard : public IV4l2Device
{
public:
    bool hasTuner = true;
    quint32 capability = V4L2_TUNER_CAP_NORM;
    quint32 low = 44 * 16, high = 958 * 16; // 44..958 MHz
    quint32 frequency = 0;
    v4l2_std_id standard = V4L2_STD_PAL_BG;
    std::vector<std::pair<v4l2_std_id, QByteArray>> standards{
        {V4L2_STD_PAL_BG, "PAL-BG"}, {V4L2_STD_NTSC_M, "NTSC-M"}, {V4L2_STD_SECAM_L, "SECAM-L"}};
    std::vector<quint32> setFrequencies;
    std::vector<v4l2_std_id> setStandards;

    int QueryControl(v4l2_queryctrl&) override { return EINVAL; }
    int QueryMenu(v4l2_querymenu&) override { return EINVAL; }
    int GetControl(v4l2_control&) override { return EINVAL; }
    int SetControl(v4l2_control&) override { return EINVAL; }
    int GetTuner(v4l2_tuner& t) override
    {
        if (!hasTuner || t.index != 0)
            return EINVAL;
        t.type = V4L2_TUNER_ANALOG_TV;
        t.capability = capability;
        t.rangelow = low;
        t.rangehigh = high;
        return 0;
    }
    int GetFrequency(v4l2_frequency& f) override
    {
        f.frequency = frequency;
        return hasTuner ? 0 : EINVAL;
    }
    int SetFrequency(const v4l2_frequency& f) override
    {
        setFrequencies.push_back(f.frequency);
        frequency = f.frequency;
        return 0;
    }
    int EnumStandard(v4l2_standard& s) override
    {
        if (s.index >= standards.size())
            return EINVAL;
        s.id = standards[s.index].first;
        const QByteArray& name = standards[s.index].second;
        std::memset(s.name, 'X', sizeof s.name); // no terminator when the name fills it
        std::memcpy(s.name, name.constData(), std::min<size_t>(name.size() + 1, sizeof s.name));
        return 0;
    }
    int GetStandard(v4l2_std_id& s) override
    {
        s = standard;
        return 0;
    }
    int SetStandard(v4l2_std_id s) override
    {
        setStandards.push_back(s);
        standard = s;
        return 0;
    }
};

TEST(V4l2TunerPage, OnlyACardWithATunerHasOne)
{
    TFakeTunerCard card;
    EXPECT_TRUE(TV4l2TunerPage::HasTuner(card));
    card.hasTuner = false;
    EXPECT_FALSE(TV4l2TunerPage::HasTuner(card));
    TFakeTunerCard empty;
    empty.high = empty.low;
    EXPECT_FALSE(TV4l2TunerPage::HasTuner(empty)) << "a tuner with no range tunes nothing";
}

TEST(V4l2TunerPage, OffersTheStandardsAndTheFrequencyRangeInMHz)
{
    auto card = std::make_shared<TFakeTunerCard>();
    card->standards.push_back({V4L2_STD_PAL_I, QByteArray(24, 'P')}); // fills the field
    TV4l2TunerPage page(card);
    EXPECT_EQ(page.Title(), "TV Tuner");
    const auto controls = page.Controls();
    ASSERT_EQ(controls.size(), 2u);
    EXPECT_EQ(controls[0].key, TV4l2TunerPage::NormKey);
    ASSERT_EQ(controls[0].menu.size(), 4u);
    EXPECT_EQ(controls[0].menu[1].second, "NTSC-M");
    EXPECT_EQ(controls[0].menu[3].second, QString(24, 'P')) << "never read past the name field";
    EXPECT_EQ(controls[1].key, TV4l2TunerPage::FrequencyKey);
    EXPECT_EQ(controls[1].kind, TPropertyControl::TKind::Double);
    EXPECT_DOUBLE_EQ(controls[1].minimum, 44.0);
    EXPECT_DOUBLE_EQ(controls[1].maximum, 958.0);
    EXPECT_DOUBLE_EQ(controls[1].step, 0.0625);
}

TEST(V4l2TunerPage, TuningSendsTheFrequencyInTheTunersUnits)
{
    auto card = std::make_shared<TFakeTunerCard>();
    TV4l2TunerPage page(card);
    EXPECT_TRUE(page.SetValue(TV4l2TunerPage::FrequencyKey, 479.25));
    ASSERT_EQ(card->setFrequencies.size(), 1u);
    EXPECT_EQ(card->setFrequencies[0], 7668u); // 479.25 MHz / 62.5 kHz
    EXPECT_DOUBLE_EQ(page.Value(TV4l2TunerPage::FrequencyKey).toDouble(), 479.25);
    EXPECT_FALSE(page.SetValue(TV4l2TunerPage::FrequencyKey, 30.0));
    EXPECT_FALSE(page.SetValue(TV4l2TunerPage::FrequencyKey, 2000.0));
    EXPECT_FALSE(page.SetValue(TV4l2TunerPage::FrequencyKey, "channel 5"));
    EXPECT_EQ(card->setFrequencies.size(), 1u) << "refused values never reach the card";

    // A tuner that counts in 62.5 Hz.
    card->capability |= V4L2_TUNER_CAP_LOW;
    card->low = 44'000'000 / 62;
    card->high = 958'000'000 / 62;
    EXPECT_TRUE(page.SetValue(TV4l2TunerPage::FrequencyKey, 100.0));
    EXPECT_EQ(card->setFrequencies.back(), 1'600'000u);
}

TEST(V4l2TunerPage, TheNormIsChosenByItsPlaceInTheList)
{
    auto card = std::make_shared<TFakeTunerCard>();
    TV4l2TunerPage page(card);
    EXPECT_EQ(page.Value(TV4l2TunerPage::NormKey).toLongLong(), 0);
    EXPECT_TRUE(page.SetValue(TV4l2TunerPage::NormKey, 2));
    ASSERT_EQ(card->setStandards.size(), 1u);
    EXPECT_EQ(card->setStandards[0], V4L2_STD_SECAM_L);
    EXPECT_EQ(page.Value(TV4l2TunerPage::NormKey).toLongLong(), 2);
    EXPECT_FALSE(page.SetValue(TV4l2TunerPage::NormKey, 3));
    EXPECT_FALSE(page.SetValue(TV4l2TunerPage::NormKey, 0.5));
    EXPECT_EQ(card->setStandards.size(), 1u);
    // A combined standard shows as the first listed one it covers.
    card->standard = V4L2_STD_NTSC;
    EXPECT_EQ(page.Value(TV4l2TunerPage::NormKey).toLongLong(), 1);
}

} // namespace
