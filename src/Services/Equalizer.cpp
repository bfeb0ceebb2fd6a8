#include "Services/Equalizer.h"

#include <QCoreApplication>
#include <QSettings>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

namespace {

const QString EnabledKey = QStringLiteral("eq.enabled");
const QString PresetKey = QStringLiteral("eq.preset");
const QString GainsKey = QStringLiteral("eq.gains");

float clampGain(float value)
{
    if (std::isnan(value))
        return 0.0f;
    return std::clamp(value, Equalizer::MinGain, Equalizer::MaxGain);
}

// The stored gains when they read as exactly five numbers; otherwise none.
std::optional<QList<float>> storedGains(const QVariant &stored)
{
    if (!stored.isValid())
        return std::nullopt;
    const QVariantList list = stored.toList();
    if (list.size() != 5)
        return std::nullopt;
    QList<float> gains;
    for (const QVariant &entry : list) {
        bool ok = false;
        const double value = entry.toDouble(&ok);
        if (!ok || !std::isfinite(value))
            return std::nullopt;
        // A hand-edited file must not be able to push the filters far beyond the sheet's range.
        gains.append(clampGain(float(value)));
    }
    return gains;
}

} // namespace

const QList<EQPreset> &EQPreset::all()
{
    static const QList<EQPreset> presets{
        {QStringLiteral("تخت"), {0, 0, 0, 0, 0}},
        {QStringLiteral("پاپ"), {-1, 2, 4, 2, -1}},
        {QStringLiteral("راک"), {4, 2, -2, 3, 4}},
        {QStringLiteral("جاز"), {3, 2, 1, 2, 3}},
        {QStringLiteral("کلاسیک"), {3, 1, 0, 1, 3}},
        {QStringLiteral("تقویت بیس"), {6, 4, 1, 0, 0}},
        {QStringLiteral("صدای انسانی"), {-3, 1, 4, 2, -2}},
        {QStringLiteral("دیسکو"), {5, 2, 0, 2, 5}},
    };
    return presets;
}

EqSnapshotStore &eqSnapshotStore()
{
    static EqSnapshotStore store;
    return store;
}

Equalizer &Equalizer::shared()
{
    static Equalizer *equalizer =
        new Equalizer(std::make_unique<QSettings>(), eqSnapshotStore(), QCoreApplication::instance());
    return *equalizer;
}

Equalizer::Equalizer(std::unique_ptr<QSettings> settings, EqSnapshotStore &store, QObject *parent)
    : QObject(parent)
    , m_settings(std::move(settings))
    , m_store(store)
{
    m_enabled = m_settings->contains(EnabledKey) ? m_settings->value(EnabledKey).toBool() : false;
    const QVariant preset = m_settings->value(PresetKey);
    m_selectedPreset = preset.isValid() ? preset.toString() : FlatPresetName;
    m_gains = storedGains(m_settings->value(GainsKey)).value_or(QList<float>(5, 0.0f));

    {
        std::lock_guard guard(m_store.lock);
        m_store.value = SnapshotBox{m_enabled, std::vector<float>(m_gains.cbegin(), m_gains.cend())};
    }
    m_store.enabled = m_enabled;
}

Equalizer::~Equalizer() = default;

void Equalizer::setEnabled(bool enabled)
{
    m_enabled = enabled;
    emit enabledChanged();
    persist();
}

void Equalizer::setSelectedPreset(const QString &name)
{
    m_selectedPreset = name;
    emit selectedPresetChanged();
    persist();
}

void Equalizer::setGains(const QList<float> &gains)
{
    QList<float> clamped(5, 0.0f);
    for (qsizetype i = 0; i < std::min<qsizetype>(5, gains.size()); ++i)
        clamped[i] = clampGain(gains[i]);
    m_gains = clamped;
    emit gainsChanged();
    persist();
}

void Equalizer::setGain(int index, float value)
{
    if (index < 0 || index >= 5)
        return;
    m_gains[index] = clampGain(value);
    emit gainsChanged();
    persist();
    setSelectedPreset(CustomPresetName);
}

void Equalizer::applyPreset(const EQPreset &preset)
{
    setSelectedPreset(preset.name);
    setGains(QList<float>(preset.gains.cbegin(), preset.gains.cend()));
    setEnabled(true);
}

void Equalizer::applyPreset(const QString &name)
{
    for (const EQPreset &preset : EQPreset::all()) {
        if (preset.name == name) {
            applyPreset(preset);
            return;
        }
    }
}

QVariantList Equalizer::presets() const
{
    QVariantList list;
    for (const EQPreset &preset : EQPreset::all()) {
        QVariantList gains;
        for (float g : preset.gains)
            gains.append(double(g));
        list.append(QVariantMap{{QStringLiteral("name"), preset.name}, {QStringLiteral("gains"), gains}});
    }
    return list;
}

QStringList Equalizer::bandTitles()
{
    return {QStringLiteral("بیس"), QStringLiteral("میانپایین"), QStringLiteral("میان"),
            QStringLiteral("میانبالا"), QStringLiteral("تربل")};
}

void Equalizer::persist()
{
    QVariantList gains;
    for (float g : std::as_const(m_gains))
        gains.append(double(g));
    m_settings->setValue(EnabledKey, m_enabled);
    m_settings->setValue(PresetKey, m_selectedPreset);
    m_settings->setValue(GainsKey, gains);

    SnapshotBox box{m_enabled, std::vector<float>(m_gains.cbegin(), m_gains.cend())};
    {
        std::lock_guard guard(m_store.lock);
        m_store.value = std::move(box);
    }
    m_store.enabled = m_enabled;
}
