#include "Platform/MprisService.h"

#include "Platform/AtomicFile.h"
#include "Platform/Console.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

#include <cmath>

namespace {

constexpr const char *PlayerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char *RefusedError = "org.mpris.MediaPlayer2.melodrift.Error.CommandFailed";
constexpr const char *NoTrackPath = "/org/mpris/MediaPlayer2/TrackList/NoTrack";
// A position that differs from the extrapolated one by more than this was a seek (the player's
// own position is sampled every half second).
constexpr double SeekTolerance = 1.0;
// Artwork files this process keeps in its cache folder.
constexpr int MaxArtworkFiles = 8;

QString artworkFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation)
           + QStringLiteral("/mpris-artwork");
}

// Written off the GUI thread: the bytes as downloaded when they are a known picture format,
// else the decoded picture as PNG. Returns the file's path, empty on failure.
QString writeArtwork(const QString &key, const QImage &image, const QByteArray &data)
{
    const QString folder = artworkFolder();
    if (!QDir().mkpath(folder))
        return {};
    QByteArray format;
    if (!data.isEmpty()) {
        QBuffer buffer;
        buffer.setData(data);
        buffer.open(QIODevice::ReadOnly);
        format = QImageReader::imageFormat(&buffer);
    }
    const QString hash = QString::fromLatin1(
        QCryptographicHash::hash(key.toUtf8(), QCryptographicHash::Sha1).toHex());
    const QString path = folder + QLatin1Char('/') + hash + QLatin1Char('.')
                         + (format.isEmpty() ? QStringLiteral("png") : QString::fromLatin1(format));
    if (QFileInfo::exists(path))
        return path;
    QByteArray bytes = format.isEmpty() ? QByteArray() : data;
    if (format.isEmpty()) {
        QBuffer png(&bytes);
        if (image.isNull() || !png.open(QIODevice::WriteOnly) || !image.save(&png, "PNG"))
            return {};
    }
    // A full disk leaves no empty picture behind for the desktop to show.
    return AtomicFile::writeWhole(path, bytes) ? path : QString();
}

bool sessionBusReachable()
{
    if (!qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        return true;
    // Without the address libdbus would try the per-user socket and then start a bus of its own;
    // only the socket is acceptable.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    return !runtime.isEmpty() && QFileInfo::exists(runtime + QStringLiteral("/bus"));
}

} // namespace

MprisService::MprisService(RemoteCommandCenter *commands, NowPlayingInfoCenter *info, QObject *parent)
    : QObject(parent)
    , m_commands(commands)
    , m_info(info)
    , m_bus(QString())
{
    m_exported = new QObject(this);
    new MprisRootAdaptor(m_exported, this);
    m_player = new MprisPlayerAdaptor(m_exported, this);
    m_sinceInfo.start();
    if (m_info) {
        m_lastInfo = m_info->nowPlayingInfo();
        connect(m_info, &NowPlayingInfoCenter::nowPlayingInfoChanged, this, &MprisService::onInfoChanged);
    }
    connect(m_commands, &RemoteCommandCenter::availabilityChanged, this, &MprisService::refresh);
    connect(m_commands, &RemoteCommandCenter::volumeChanged, this, &MprisService::refresh);
    m_lastSent = playerProperties();
}

MprisService::~MprisService()
{
    if (isRegistered()) {
        m_bus.unregisterService(m_serviceName);
        m_bus.unregisterObject(QString::fromLatin1(ObjectPath));
    }
}

bool MprisService::registerOn(const QDBusConnection &bus, const QString &baseName)
{
    if (!bus.isConnected() || isRegistered())
        return false;
    QDBusConnection connection = bus;
    if (!connection.registerObject(QString::fromLatin1(ObjectPath), m_exported,
                                   QDBusConnection::ExportAdaptors))
        return false;
    const QString base = baseName;
    const QString instance = base + QStringLiteral(".instance") + QString::number(QCoreApplication::applicationPid());
    QStringList candidates{base, instance};
    for (int i = 2; i < 100; ++i)
        candidates << instance + QLatin1Char('_') + QString::number(i);
    for (const QString &name : std::as_const(candidates)) {
        if (connection.registerService(name)) {
            m_serviceName = name;
            break;
        }
    }
    if (m_serviceName.isEmpty()) {
        connection.unregisterObject(QString::fromLatin1(ObjectPath));
        return false;
    }
    m_bus = connection;
    m_lastSent = playerProperties();
    return true;
}

MprisService *MprisService::startShared()
{
    static MprisService *instance = [] () -> MprisService * {
        if (sessionBusReachable()) {
            QDBusConnection bus = QDBusConnection::sessionBus();
            if (bus.isConnected()) {
                auto *service = new MprisService(RemoteCommandCenter::shared(), NowPlayingInfoCenter::shared());
                if (service->registerOn(bus))
                    return service;
                delete service;
                Console::line(QStringLiteral("[MPRIS] system media controls are off: the player could not be registered"));
                return nullptr;
            }
        }
        Console::line(QStringLiteral("[MPRIS] system media controls are off: no D-Bus session bus"));
        return nullptr;
    }();
    return instance;
}

void MprisService::setRaiseHandler(std::function<void()> raise)
{
    const bool had = bool(m_raise);
    m_raise = std::move(raise);
    if (had != bool(m_raise) && isRegistered())
        sendPropertiesChanged(QStringLiteral("org.mpris.MediaPlayer2"),
                              {{QStringLiteral("CanRaise"), bool(m_raise)}});
}

QDBusObjectPath MprisService::trackPath(const QString &identifier)
{
    if (identifier.isEmpty())
        return QDBusObjectPath(QString::fromLatin1(NoTrackPath));
    // Identifiers hold any text (genres, titles); a hash keeps the path valid and stable.
    const QByteArray hash = QCryptographicHash::hash(identifier.toUtf8(), QCryptographicHash::Sha1).toHex();
    return QDBusObjectPath(QStringLiteral("/org/melodrift/Radio/Track/t") + QString::fromLatin1(hash));
}

QDBusObjectPath MprisService::currentTrackPath() const
{
    return trackPath(m_info ? m_info->nowPlayingInfo().identifier : QString());
}

QVariantMap MprisService::metadata() const
{
    QVariantMap map;
    if (!m_info)
        return map;
    const NowPlayingInfo &info = m_info->nowPlayingInfo();
    map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(currentTrackPath()));
    map.insert(QStringLiteral("xesam:title"), info.title);
    if (info.artist)
        map.insert(QStringLiteral("xesam:artist"), QStringList{*info.artist});
    if (info.albumTitle)
        map.insert(QStringLiteral("xesam:album"), *info.albumTitle);
    if (!info.isLiveStream && info.playbackDuration && *info.playbackDuration > 0)
        map.insert(QStringLiteral("mpris:length"), qlonglong(std::llround(*info.playbackDuration * 1e6)));
    if (!m_artUrl.isEmpty())
        map.insert(QStringLiteral("mpris:artUrl"), m_artUrl);
    return map;
}

QString MprisService::playbackStatus() const
{
    if (!m_info)
        return QStringLiteral("Stopped");
    const NowPlayingInfo &info = m_info->nowPlayingInfo();
    switch (info.state) {
    case NowPlayingState::Playing:
        return QStringLiteral("Playing");
    case NowPlayingState::Paused:
        return QStringLiteral("Paused");
    case NowPlayingState::Stopped:
        return QStringLiteral("Stopped");
    case NowPlayingState::FromRate:
        break;
    }
    if (info.playbackRate > 0)
        return QStringLiteral("Playing");
    return info.identifier.isEmpty() ? QStringLiteral("Stopped") : QStringLiteral("Paused");
}

double MprisService::rate() const
{
    // The bus forbids a rate of 0; a paused player says so through its status instead.
    const double r = m_info ? m_info->nowPlayingInfo().playbackRate : 0.0;
    return r > 0 ? r : 1.0;
}

double MprisService::extrapolatedElapsed(const NowPlayingInfo &info, qint64 msSinceSet) const
{
    if (!info.elapsedPlaybackTime)
        return 0.0;
    double e = *info.elapsedPlaybackTime + info.playbackRate * double(msSinceSet) / 1000.0;
    if (info.playbackDuration && *info.playbackDuration > 0)
        e = std::min(e, *info.playbackDuration);
    return std::max(e, 0.0);
}

qlonglong MprisService::position() const
{
    if (!m_info)
        return 0;
    return qlonglong(std::llround(extrapolatedElapsed(m_info->nowPlayingInfo(), m_sinceInfo.elapsed()) * 1e6));
}

QVariantMap MprisService::playerProperties() const
{
    return {
        {QStringLiteral("PlaybackStatus"), playbackStatus()},
        {QStringLiteral("Rate"), rate()},
        {QStringLiteral("Metadata"), metadata()},
        {QStringLiteral("Volume"), volume()},
        {QStringLiteral("CanGoNext"), canGoNext()},
        {QStringLiteral("CanGoPrevious"), canGoPrevious()},
        {QStringLiteral("CanPlay"), canPlay()},
        {QStringLiteral("CanPause"), canPause()},
        {QStringLiteral("CanSeek"), canSeek()},
    };
}

void MprisService::onInfoChanged()
{
    const NowPlayingInfo &info = m_info->nowPlayingInfo();
    bool jumped = false;
    if (info.elapsedPlaybackTime && m_lastInfo.elapsedPlaybackTime && info.identifier == m_lastInfo.identifier
        && !info.identifier.isEmpty()) {
        const double expected = extrapolatedElapsed(m_lastInfo, m_sinceInfo.elapsed());
        jumped = std::abs(*info.elapsedPlaybackTime - expected) > SeekTolerance;
    }
    m_lastInfo = info;
    m_sinceInfo.restart();
    updateArtwork(info);
    refresh();
    if (jumped) {
        const qlonglong us = position();
        if (isRegistered())
            emit m_player->Seeked(us);
        emit seeked(us);
    }
}

void MprisService::refresh()
{
    const QVariantMap now = playerProperties();
    QVariantMap changed;
    for (auto it = now.cbegin(); it != now.cend(); ++it) {
        if (m_lastSent.value(it.key()) != it.value())
            changed.insert(it.key(), it.value());
    }
    m_lastSent = now;
    if (changed.isEmpty())
        return;
    if (isRegistered())
        sendPropertiesChanged(QString::fromLatin1(PlayerInterface), changed);
    emit propertiesSent(changed);
}

void MprisService::sendPropertiesChanged(const QString &interface, const QVariantMap &changed)
{
    QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(ObjectPath),
                                                     QStringLiteral("org.freedesktop.DBus.Properties"),
                                                     QStringLiteral("PropertiesChanged"));
    signal << interface << changed << QStringList();
    m_bus.send(signal);
}

void MprisService::updateArtwork(const NowPlayingInfo &info)
{
    if (!info.artwork || (info.artwork->image.isNull() && info.artwork->data.isEmpty())) {
        m_artKey.clear();
        m_artUrl.clear();
        return;
    }
    const NowPlayingArtwork art = *info.artwork;
    if (art.key == m_artKey)
        return;
    m_artKey.clear();
    m_artUrl.clear();
    if (art.key == m_artPending)
        return;
    m_artPending = art.key;
    QPointer<MprisService> self(this);
    QThreadPool::globalInstance()->start([self, art] {
        const QString path = writeArtwork(art.key, art.image, art.data);
        QMetaObject::invokeMethod(QCoreApplication::instance(), [self, key = art.key, path] {
            if (self)
                self->artworkWritten(key, path);
        }, Qt::QueuedConnection);
    });
}

void MprisService::artworkWritten(const QString &key, const QString &path)
{
    if (m_artPending == key)
        m_artPending.clear();
    if (path.isEmpty() || !m_info)
        return;
    m_artFiles.removeAll(path);
    m_artFiles.append(path);
    while (m_artFiles.size() > MaxArtworkFiles)
        QFile::remove(m_artFiles.takeFirst());
    const NowPlayingInfo &info = m_info->nowPlayingInfo();
    if (!info.artwork || info.artwork->key != key)
        return;
    m_artKey = key;
    m_artUrl = QUrl::fromLocalFile(path).toString();
    refresh();
}

bool MprisService::command(const RemoteCommandEvent &event)
{
    if (!m_commands)
        return false;
    return m_commands->dispatch(event) == RemoteCommandStatus::Success;
}

void MprisService::raise()
{
    if (m_raise)
        m_raise();
}

void MprisService::setVolumeFromBus(double volume)
{
    RemoteCommandEvent event;
    event.command = RemoteCommand::ChangeVolume;
    event.volume = std::clamp(volume, 0.0, 1.0);
    command(event);
}

bool MprisService::setPositionFromBus(const QDBusObjectPath &track, qlonglong positionUs)
{
    // A request for another item than the current one, or before its start, is ignored.
    if (track != currentTrackPath() || positionUs < 0)
        return true;
    RemoteCommandEvent event;
    event.command = RemoteCommand::ChangePlaybackPosition;
    event.positionTime = double(positionUs) / 1e6;
    return command(event);
}

bool MprisService::seekFromBus(qlonglong offsetUs)
{
    RemoteCommandEvent event;
    event.command = offsetUs < 0 ? RemoteCommand::SkipBackward : RemoteCommand::SkipForward;
    event.interval = std::abs(double(offsetUs)) / 1e6;
    return command(event);
}

MprisRootAdaptor::MprisRootAdaptor(QObject *exported, MprisService *service)
    : QDBusAbstractAdaptor(exported)
    , m_service(service)
{
    setAutoRelaySignals(false);
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject *exported, MprisService *service)
    : QDBusAbstractAdaptor(exported)
    , m_service(service)
{
    setAutoRelaySignals(false);
}

void MprisPlayerAdaptor::answer(bool accepted, const QDBusMessage &message)
{
    if (accepted)
        return;
    message.setDelayedReply(true);
    QDBusConnection bus = m_service->connection();
    bus.send(message.createErrorReply(QString::fromLatin1(RefusedError),
                                      QStringLiteral("The player refused the command")));
}

void MprisPlayerAdaptor::Next(const QDBusMessage &message)
{
    answer(m_service->command({RemoteCommand::NextTrack, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::Previous(const QDBusMessage &message)
{
    answer(m_service->command({RemoteCommand::PreviousTrack, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::Pause(const QDBusMessage &message)
{
    answer(m_service->command({RemoteCommand::Pause, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::PlayPause(const QDBusMessage &message)
{
    answer(m_service->command({RemoteCommand::TogglePlayPause, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::Stop(const QDBusMessage &message)
{
    // A radio has nothing to rewind to: stopping pauses.
    answer(m_service->command({RemoteCommand::Pause, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::Play(const QDBusMessage &message)
{
    answer(m_service->command({RemoteCommand::Play, {}, {}, {}}), message);
}

void MprisPlayerAdaptor::Seek(qlonglong Offset, const QDBusMessage &message)
{
    answer(m_service->seekFromBus(Offset), message);
}

void MprisPlayerAdaptor::SetPosition(const QDBusObjectPath &TrackId, qlonglong Position,
                                     const QDBusMessage &message)
{
    answer(m_service->setPositionFromBus(TrackId, Position), message);
}

void MprisPlayerAdaptor::OpenUri(const QString &, const QDBusMessage &message)
{
    answer(false, message);
}
