#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QVariantMap>

class QMediaDevices;

// The process's audio session. On Linux there is nothing to configure: category, mode, options
// and activation are recorded and always succeed (unless a test asks for a failure). Interruptions
// and route changes arrive as signals carrying a user-info map, like system notifications; route
// changes follow the system's list of audio outputs once the session is active and a sound server
// is running, and tests can raise both.
class AudioSession : public QObject
{
    Q_OBJECT
public:
    enum class Category { SoloAmbient, Ambient, Playback, Record, PlayAndRecord };
    Q_ENUM(Category)
    enum class Mode { Default, Measurement, SpokenAudio };
    Q_ENUM(Mode)
    enum CategoryOption : unsigned { MixWithOthers = 0x1, DuckOthers = 0x2, AllowBluetooth = 0x4, DefaultToSpeaker = 0x8 };
    Q_DECLARE_FLAGS(CategoryOptions, CategoryOption)

    // Values of the user-info entries.
    enum InterruptionType : unsigned { InterruptionEnded = 0, InterruptionBegan = 1 };
    enum InterruptionOption : unsigned { InterruptionShouldResume = 1 };
    enum RouteChangeReason : unsigned {
        RouteChangeUnknown = 0,
        NewDeviceAvailable = 1,
        OldDeviceUnavailable = 2,
        CategoryChange = 3,
    };
    // User-info keys.
    static inline const QString InterruptionTypeKey = QStringLiteral("interruptionType");
    static inline const QString InterruptionOptionKey = QStringLiteral("interruptionOptions");
    static inline const QString RouteChangeReasonKey = QStringLiteral("routeChangeReason");

    static AudioSession &sharedInstance();

    // Each returns false and sets *error when it fails.
    bool setCategory(Category category, Mode mode = Mode::Default, CategoryOptions options = {},
                     QString *error = nullptr);
    bool setActive(bool active, QString *error = nullptr);

    Category category() const { return m_category; }
    Mode mode() const { return m_mode; }
    CategoryOptions categoryOptions() const { return m_options; }
    bool isActive() const { return m_active; }
    int activationCount() const { return m_activationCount; }

    // Raised by the system; tests call them too.
    void postInterruption(const QVariantMap &userInfo);
    void postRouteChange(const QVariantMap &userInfo);

    // Makes the next setCategory/setActive fail with `message` (tests of the error path).
    void failNextCall(const QString &message) { m_nextFailure = message; }

signals:
    void interruption(const QVariantMap &userInfo);
    void routeChange(const QVariantMap &userInfo);

private:
    explicit AudioSession(QObject *parent = nullptr);
    bool takeFailure(QString *error);
    void followOutputs();
    void outputsChanged();

    Category m_category = Category::SoloAmbient;
    Mode m_mode = Mode::Default;
    CategoryOptions m_options;
    bool m_active = false;
    int m_activationCount = 0;
    QString m_nextFailure;
    QMediaDevices *m_devices = nullptr;
    QList<QByteArray> m_outputIds;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(AudioSession::CategoryOptions)
