#include "Platform/AudioSession.h"

#include <QAudioDevice>
#include <QCoreApplication>
#include <QFileInfo>
#include <QMediaDevices>

namespace {

// Qt's device list needs a sound server; without one it only warns. PulseAudio and PipeWire
// both offer the pulse socket.
bool soundServerRunning()
{
    if (!qEnvironmentVariableIsEmpty("PULSE_SERVER"))
        return true;
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/pulse/native"));
}

QList<QByteArray> outputIds()
{
    QList<QByteArray> ids;
    for (const QAudioDevice &device : QMediaDevices::audioOutputs())
        ids.append(device.id());
    return ids;
}

} // namespace

AudioSession &AudioSession::sharedInstance()
{
    static AudioSession *session = new AudioSession(QCoreApplication::instance());
    return *session;
}

AudioSession::AudioSession(QObject *parent)
    : QObject(parent)
{
}

bool AudioSession::takeFailure(QString *error)
{
    if (m_nextFailure.isEmpty())
        return false;
    if (error)
        *error = m_nextFailure;
    m_nextFailure.clear();
    return true;
}

bool AudioSession::setCategory(Category category, Mode mode, CategoryOptions options, QString *error)
{
    if (takeFailure(error))
        return false;
    m_category = category;
    m_mode = mode;
    m_options = options;
    return true;
}

bool AudioSession::setActive(bool active, QString *error)
{
    if (takeFailure(error))
        return false;
    m_active = active;
    if (active) {
        ++m_activationCount;
        followOutputs();
    }
    return true;
}

void AudioSession::postInterruption(const QVariantMap &userInfo)
{
    emit interruption(userInfo);
}

void AudioSession::postRouteChange(const QVariantMap &userInfo)
{
    emit routeChange(userInfo);
}

void AudioSession::followOutputs()
{
    if (m_devices || !soundServerRunning())
        return;
    m_devices = new QMediaDevices(this);
    m_outputIds = outputIds();
    connect(m_devices, &QMediaDevices::audioOutputsChanged, this, &AudioSession::outputsChanged);
}

void AudioSession::outputsChanged()
{
    const QList<QByteArray> now = outputIds();
    bool removed = false;
    bool added = false;
    for (const QByteArray &id : std::as_const(m_outputIds))
        removed = removed || !now.contains(id);
    for (const QByteArray &id : now)
        added = added || !m_outputIds.contains(id);
    m_outputIds = now;
    if (removed)
        postRouteChange({{RouteChangeReasonKey, unsigned(OldDeviceUnavailable)}});
    else if (added)
        postRouteChange({{RouteChangeReasonKey, unsigned(NewDeviceAvailable)}});
}
