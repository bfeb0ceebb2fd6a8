#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <memory>
#include <atomic>
#include <mutex>
#include <vector>

class QSettings;

// The equaliser's fixed figures.
namespace EqConstants {
// Centre frequencies (Hz) of the five band filters, in band order.
inline constexpr std::array<double, 5> bandFreqs{80.0, 300.0, 1000.0, 3500.0, 10000.0};
} // namespace EqConstants

// A named set of five band gains (dB), identified by its name.
struct EQPreset {
    QString name;
    std::array<float, 5> gains{};

    bool operator==(const EQPreset &other) const { return name == other.name; }
    // The eight presets in menu order.
    static const QList<EQPreset> &all();
};

// The settings the audio thread sees: copied out as a whole under the store's lock.
struct SnapshotBox {
    bool enabled = false;
    std::vector<float> gains;
};

struct EqSnapshotStore {
    std::mutex lock;
    SnapshotBox value{false, std::vector<float>(5, 0.0f)};
    // value.enabled, readable without the lock: set after the value it belongs to.
    std::atomic<bool> enabled{false};
};

// The process-wide snapshot store, created on first use (disabled, five zeros).
EqSnapshotStore &eqSnapshotStore();

// The equaliser's settings: an on/off switch, the chosen preset's name and five band gains
// (80, 300, 1000, 3500, 10000 Hz; -12...+12 dB). Every change is written to the preferences
// ("eq.enabled", "eq.preset", "eq.gains") and to the snapshot store the audio tap reads.
// Main thread only. The application creates it at start-up, so that stored settings apply
// from the first item played.
class Equalizer final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)
    Q_PROPERTY(QString selectedPreset READ selectedPreset WRITE setSelectedPreset NOTIFY selectedPresetChanged)
    Q_PROPERTY(QList<float> gains READ gains WRITE setGains NOTIFY gainsChanged)
    Q_PROPERTY(QVariantList presets READ presets CONSTANT)
    Q_PROPERTY(QStringList bandTitles READ bandTitles CONSTANT)

public:
    static inline const QString FlatPresetName = QStringLiteral("تخت");
    static inline const QString CustomPresetName = QStringLiteral("سفارشی");
    static constexpr float MinGain = -12.0f;
    static constexpr float MaxGain = 12.0f;

    static Equalizer &shared();

    // `settings` (taken) is the preferences store; `store` receives the snapshots.
    Equalizer(std::unique_ptr<QSettings> settings, EqSnapshotStore &store, QObject *parent = nullptr);
    ~Equalizer() override;

    bool enabled() const { return m_enabled; }
    void setEnabled(bool enabled);
    QString selectedPreset() const { return m_selectedPreset; }
    void setSelectedPreset(const QString &name);
    QList<float> gains() const { return m_gains; }
    // Each value is clamped to -12...+12; a list that is not five long is padded with zeros or cut.
    void setGains(const QList<float> &gains);

    // One band (index 0...4; others are ignored), clamped; the preset becomes "سفارشی".
    Q_INVOKABLE void setGain(int index, float value);
    void applyPreset(const EQPreset &preset);
    // By name, for screens; an unknown name changes nothing.
    Q_INVOKABLE void applyPreset(const QString &name);

    // [{name, gains}] in menu order, for screens.
    QVariantList presets() const;
    // The five band titles in band order: "بیس", "میانپایین", "میان", "میانبالا", "تربل".
    static QStringList bandTitles();

signals:
    void enabledChanged();
    void selectedPresetChanged();
    void gainsChanged();

private:
    void persist();

    std::unique_ptr<QSettings> m_settings;
    EqSnapshotStore &m_store;
    bool m_enabled = false;
    QString m_selectedPreset;
    QList<float> m_gains;
};
