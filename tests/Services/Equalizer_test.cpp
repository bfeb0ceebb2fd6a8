#include "Services/Equalizer.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class EqualizerTest : public ::testing::Test
{
protected:
    std::unique_ptr<QSettings> settings() const
    {
        return std::make_unique<QSettings>(dir.filePath("prefs.ini"), QSettings::IniFormat);
    }
    std::unique_ptr<Equalizer> make() { return std::make_unique<Equalizer>(settings(), store); }
    SnapshotBox snapshot()
    {
        std::lock_guard guard(store.lock);
        return store.value;
    }

    QTemporaryDir dir;
    EqSnapshotStore store;
};

QList<float> list(std::initializer_list<float> values)
{
    return QList<float>(values);
}

} // namespace

TEST(EQPresetTable, EightPresetsInMenuOrder)
{
    const QList<EQPreset> &all = EQPreset::all();
    ASSERT_EQ(all.size(), 8);
    const QStringList names{"تخت", "پاپ", "راک", "جاز", "کلاسیک", "تقویت بیس", "صدای انسانی", "دیسکو"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(all[i].name, names[i]);
    EXPECT_EQ(all[1].gains, (std::array<float, 5>{-1, 2, 4, 2, -1}));
    EXPECT_EQ(all[2].gains, (std::array<float, 5>{4, 2, -2, 3, 4}));
    EXPECT_EQ(all[6].gains, (std::array<float, 5>{-3, 1, 4, 2, -2}));
    EXPECT_EQ(all[7].gains, (std::array<float, 5>{5, 2, 0, 2, 5}));
    EXPECT_EQ(EqSnapshotStore().value.gains, std::vector<float>(5, 0.0f));
    EXPECT_FALSE(EqSnapshotStore().value.enabled);
}

TEST_F(EqualizerTest, NoStoredSettingsGiveOffFlatAndZeros)
{
    const auto eq = make();
    EXPECT_FALSE(eq->enabled());
    EXPECT_EQ(eq->selectedPreset(), QStringLiteral("تخت"));
    EXPECT_EQ(eq->gains(), QList<float>(5, 0.0f));
    EXPECT_FALSE(snapshot().enabled);
    EXPECT_EQ(snapshot().gains, std::vector<float>(5, 0.0f));
    // Reading writes nothing.
    EXPECT_TRUE(settings()->allKeys().isEmpty());
}

TEST_F(EqualizerTest, StoredSettingsApplyAtConstructionAndBadGainsAreIgnored)
{
    {
        auto s = settings();
        s->setValue("eq.enabled", true);
        s->setValue("eq.preset", "جاز");
        s->setValue("eq.gains", QVariantList{3, 2, 1, 2, 3});
    }
    {
        const auto eq = make();
        EXPECT_TRUE(eq->enabled());
        EXPECT_EQ(eq->selectedPreset(), QStringLiteral("جاز"));
        EXPECT_EQ(eq->gains(), list({3, 2, 1, 2, 3}));
        EXPECT_TRUE(snapshot().enabled);
        EXPECT_EQ(snapshot().gains, (std::vector<float>{3, 2, 1, 2, 3}));
    }
    for (const QVariant &bad : {QVariant(QVariantList{1, 2, 3, 4}), QVariant(QVariantList{1, 2, 3, 4, 5, 6}),
                                QVariant(QVariantList{1, 2, "x", 4, 5}), QVariant("1,2,3,4,5")}) {
        settings()->setValue("eq.gains", bad);
        const auto eq = make();
        EXPECT_EQ(eq->gains(), QList<float>(5, 0.0f)) << qPrintable(bad.toString());
        EXPECT_TRUE(eq->enabled());
        EXPECT_EQ(eq->selectedPreset(), QStringLiteral("جاز"));
    }
    // Out of range values from a hand-edited file are clamped.
    settings()->setValue("eq.gains", QVariantList{40, -40, 0, 12, -12});
    EXPECT_EQ(make()->gains(), list({12, -12, 0, 12, -12}));
}

TEST_F(EqualizerTest, SetGainClampsStoresAndMakesThePresetCustom)
{
    const auto eq = make();
    QSignalSpy gainsSpy(eq.get(), &Equalizer::gainsChanged);
    QSignalSpy presetSpy(eq.get(), &Equalizer::selectedPresetChanged);
    eq->setGain(2, 20);
    eq->setGain(0, -15);
    eq->setGain(7, 5); // no such band
    EXPECT_EQ(eq->gains(), list({-12, 0, 12, 0, 0}));
    EXPECT_EQ(eq->selectedPreset(), QStringLiteral("سفارشی"));
    EXPECT_EQ(gainsSpy.count(), 2);
    EXPECT_EQ(presetSpy.count(), 2);
    EXPECT_EQ(snapshot().gains, (std::vector<float>{-12, 0, 12, 0, 0}));
    EXPECT_FALSE(snapshot().enabled);

    const auto reread = make();
    EXPECT_EQ(reread->gains(), list({-12, 0, 12, 0, 0}));
    EXPECT_EQ(reread->selectedPreset(), QStringLiteral("سفارشی"));
    EXPECT_FALSE(reread->enabled());
}

TEST_F(EqualizerTest, ApplyingAPresetSwitchesTheEqualiserOnAndSurvivesARestart)
{
    {
        const auto eq = make();
        QSignalSpy enabledSpy(eq.get(), &Equalizer::enabledChanged);
        eq->applyPreset(QStringLiteral("دیسکو"));
        EXPECT_TRUE(eq->enabled());
        EXPECT_EQ(enabledSpy.count(), 1);
        EXPECT_EQ(eq->selectedPreset(), QStringLiteral("دیسکو"));
        EXPECT_EQ(eq->gains(), list({5, 2, 0, 2, 5}));
        EXPECT_TRUE(snapshot().enabled);
        EXPECT_EQ(snapshot().gains, (std::vector<float>{5, 2, 0, 2, 5}));
        eq->applyPreset(QStringLiteral("no such preset"));
        EXPECT_EQ(eq->selectedPreset(), QStringLiteral("دیسکو"));
    }
    // A new run: a fresh snapshot store gets the stored settings at construction.
    EqSnapshotStore fresh;
    Equalizer restarted(settings(), fresh);
    EXPECT_TRUE(restarted.enabled());
    EXPECT_EQ(restarted.gains(), list({5, 2, 0, 2, 5}));
    std::lock_guard guard(fresh.lock);
    EXPECT_TRUE(fresh.value.enabled);
    EXPECT_EQ(fresh.value.gains, (std::vector<float>{5, 2, 0, 2, 5}));
}

TEST_F(EqualizerTest, SettersFromScreensPersistAndKeepFiveClampedGains)
{
    const auto eq = make();
    eq->setEnabled(true);
    eq->setSelectedPreset(QStringLiteral("پاپ"));
    eq->setGains(list({1, 2, 3}));
    EXPECT_EQ(eq->gains(), list({1, 2, 3, 0, 0}));
    eq->setGains(list({30, -30, 1, 2, 3, 4}));
    EXPECT_EQ(eq->gains(), list({12, -12, 1, 2, 3}));
    const auto reread = make();
    EXPECT_TRUE(reread->enabled());
    EXPECT_EQ(reread->selectedPreset(), QStringLiteral("پاپ"));
    EXPECT_EQ(reread->gains(), list({12, -12, 1, 2, 3}));
    EXPECT_EQ(eq->presets().size(), 8);
}

TEST_F(EqualizerTest, ScreensCanReadAndChangeItFromQml)
{
    const auto eq = make();
    QQmlEngine engine;
    engine.rootContext()->setContextProperty("equalizer", eq.get());
    QQmlComponent component(&engine);
    component.setData("import QtQml\n"
                      "QtObject {\n"
                      "  property real third: equalizer.gains[2]\n"
                      "  property int presetCount: equalizer.presets.length\n"
                      "  Component.onCompleted: { equalizer.setGain(2, 7.5); equalizer.applyPreset(\"پاپ\") }\n"
                      "}\n",
                      QUrl("qrc:/eq-test.qml"));
    std::unique_ptr<QObject> object(component.create());
    ASSERT_TRUE(object) << qPrintable(component.errorString());
    EXPECT_EQ(object->property("presetCount").toInt(), 8);
    EXPECT_EQ(eq->selectedPreset(), QStringLiteral("پاپ"));
    EXPECT_DOUBLE_EQ(object->property("third").toDouble(), 4.0); // bound: follows the preset
}
