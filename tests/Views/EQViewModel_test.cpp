#include "EQViewModel.h"

#include "Services/Equalizer.h"

#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// The equaliser sheet's model over a real equaliser whose preferences live in a temporary file.

namespace {

class EQViewModelTest : public ::testing::Test
{
protected:
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(dir.filePath(QStringLiteral("prefs.ini")), QSettings::IniFormat);
    }
    QVariantList storedGains() const { return settings()->value(QStringLiteral("eq.gains")).toList(); }

    QTemporaryDir dir;
    EqSnapshotStore store;
    Equalizer eq{settings(), store};
    EQViewModel model{&eq};
};

} // namespace

TEST(EQViewTexts, GainsReadWithTheirSignRoundedToWholeNumbers)
{
    const std::pair<float, const char *> cases[] = {
        {0.0f, "+0"}, {-0.4f, "-0"}, {2.6f, "+3"}, {-1.0f, "-1"}, {12.0f, "+12"}, {-12.0f, "-12"}, {0.4f, "+0"},
    };
    for (const auto &[gain, text] : cases)
        EXPECT_EQ(EQViewModel::gainText(gain), QString::fromLatin1(text)) << gain;
}

TEST(EQViewTexts, FooterAndTitlesAreFixed)
{
    EXPECT_EQ(EQViewModel::footerText(),
              QStringLiteral("از 80hrtz تا 10000 — بهصورت زنده روی پخش اعمال میشود؛ دامنه از \u221212 تا +12 دسیبل"));
    EXPECT_EQ(EQViewModel::bandTitles(),
              (QStringList{"بیس", "میانپایین", "میان", "میانبالا", "تربل"}));
    EXPECT_EQ(EqConstants::bandFreqs, (std::array<double, 5>{80, 300, 1000, 3500, 10000}));
    EXPECT_EQ(EQViewModel::presetNames(),
              (QStringList{"تخت", "پاپ", "راک", "جاز", "کلاسیک", "تقویت بیس", "صدای انسانی", "دیسکو"}));
}

TEST_F(EQViewModelTest, ControlsWriteStraightIntoTheStoredSettings)
{
    QSignalSpy presetChanged(&model, &EQViewModel::selectedPresetChanged);
    QSignalSpy gainsChanged(&model, &EQViewModel::gainsChanged);
    EXPECT_FALSE(model.enabled());
    EXPECT_EQ(model.presetLabel(), QStringLiteral("حالت: تخت"));

    // A preset switches the equaliser on.
    model.applyPreset(QStringLiteral("پاپ"));
    EXPECT_TRUE(model.enabled());
    EXPECT_EQ(model.presetLabel(), QStringLiteral("حالت: پاپ"));
    EXPECT_EQ(model.gainTexts(), (QStringList{"-1", "+2", "+4", "+2", "-1"}));
    EXPECT_EQ(settings()->value(QStringLiteral("eq.preset")).toString(), QStringLiteral("پاپ"));
    EXPECT_EQ(storedGains(), (QVariantList{-1.0, 2.0, 4.0, 2.0, -1.0}));
    EXPECT_TRUE(settings()->value(QStringLiteral("eq.enabled")).toBool());

    // A band: clamped, stored, and the preset is custom.
    model.setGain(2, 30.0);
    model.setGain(0, -2.6);
    EXPECT_EQ(model.presetLabel(), QStringLiteral("حالت: سفارشی"));
    EXPECT_EQ(model.gainTexts(), (QStringList{"-3", "+2", "+12", "+2", "-1"}));
    EXPECT_EQ(storedGains()[2].toDouble(), 12.0);
    EXPECT_NEAR(storedGains()[0].toDouble(), -2.6, 1e-6);
    EXPECT_EQ(settings()->value(QStringLiteral("eq.preset")).toString(), QStringLiteral("سفارشی"));

    // Off: stored, and what the audio reads.
    model.setEnabled(false);
    EXPECT_FALSE(settings()->value(QStringLiteral("eq.enabled")).toBool());
    {
        std::lock_guard guard(store.lock);
        EXPECT_FALSE(store.value.enabled);
        EXPECT_EQ(store.value.gains[2], 12.0f);
    }
    EXPECT_GE(presetChanged.size(), 3);
    EXPECT_GE(gainsChanged.size(), 3);

    // Opening the sheet again shows the stored settings.
    Equalizer reopened(settings(), store);
    EQViewModel again(&reopened);
    EXPECT_FALSE(again.enabled());
    EXPECT_EQ(again.presetLabel(), QStringLiteral("حالت: سفارشی"));
    EXPECT_EQ(again.gainTexts(), model.gainTexts());
}
