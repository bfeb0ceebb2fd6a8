#pragma once

#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"

#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QPointer>
#include <QStringList>
#include <QVariantMap>

#include <functional>

class QDBusMessage;

// The system media controls on Linux: exports a RemoteCommandCenter and a NowPlayingInfoCenter as
// an MPRIS2 player on a D-Bus connection, under "org.mpris.MediaPlayer2.melodrift" (or the same
// name with an instance suffix when another player holds it).
class MprisService : public QObject
{
    Q_OBJECT
public:
    static constexpr const char *ObjectPath = "/org/mpris/MediaPlayer2";
    static constexpr const char *BaseServiceName = "org.mpris.MediaPlayer2.melodrift";
    static constexpr const char *Identity = "Melodrift Radio";
    static constexpr const char *DesktopEntry = "melodrift-radio";

    MprisService(RemoteCommandCenter *commands, NowPlayingInfoCenter *info, QObject *parent = nullptr);
    ~MprisService() override;

    // Exports the object and takes the service name (`baseName`, or it with an instance suffix when
    // taken). False when the connection is not usable. Tests pass a name of their own.
    bool registerOn(const QDBusConnection &bus, const QString &baseName = QString::fromLatin1(BaseServiceName));
    bool isRegistered() const { return !m_serviceName.isEmpty(); }
    QString serviceName() const { return m_serviceName; }
    QDBusConnection connection() const { return m_bus; }

    // The shared centres on the session bus, started once. Without a session bus the player works
    // and one line says the controls are off; the result is then null.
    static MprisService *startShared();

    // When set, the desktop may ask to raise the application's window.
    void setRaiseHandler(std::function<void()> raise);

    // What the adaptors read.
    QVariantMap metadata() const;
    QString playbackStatus() const;
    double rate() const;
    qlonglong position() const; // microseconds
    bool canGoNext() const { return m_commands->isAvailable(RemoteCommand::NextTrack); }
    bool canGoPrevious() const { return m_commands->isAvailable(RemoteCommand::PreviousTrack); }
    bool canSeek() const { return m_commands->isAvailable(RemoteCommand::ChangePlaybackPosition); }
    bool canPlay() const { return m_commands->hasHandler(RemoteCommand::Play); }
    bool canPause() const { return m_commands->hasHandler(RemoteCommand::Pause); }
    bool canRaise() const { return bool(m_raise); }
    double volume() const { return m_commands->volume(); }

    // The object path that names the current item (a valid path even for odd identifiers).
    QDBusObjectPath currentTrackPath() const;
    static QDBusObjectPath trackPath(const QString &identifier);
    // File URL of the written artwork of the current item; empty while there is none.
    QString artworkUrl() const { return m_artUrl; }

    // Called by the adaptors; false when the command is refused.
    bool command(const RemoteCommandEvent &event);
    void raise();
    void setVolumeFromBus(double volume);
    bool setPositionFromBus(const QDBusObjectPath &track, qlonglong positionUs);
    bool seekFromBus(qlonglong offsetUs);

signals:
    // Emitted after the PropertiesChanged signals of one update have been sent.
    void propertiesSent(const QVariantMap &changed);
    void seeked(qlonglong positionUs);

private:
    void onInfoChanged();
    void refresh();
    QVariantMap playerProperties() const;
    void sendPropertiesChanged(const QString &interface, const QVariantMap &changed);
    void updateArtwork(const NowPlayingInfo &info);
    void artworkWritten(const QString &key, const QString &path);
    double extrapolatedElapsed(const NowPlayingInfo &info, qint64 msSinceSet) const;

    QPointer<RemoteCommandCenter> m_commands;
    QPointer<NowPlayingInfoCenter> m_info;
    QDBusConnection m_bus;
    QString m_serviceName;
    QObject *m_exported = nullptr;
    class MprisPlayerAdaptor *m_player = nullptr;
    std::function<void()> m_raise;

    QVariantMap m_lastSent;      // the Player properties as the bus last heard them
    NowPlayingInfo m_lastInfo;   // for extrapolating the position
    QElapsedTimer m_sinceInfo;

    QString m_artKey;            // key of the picture behind m_artUrl
    QString m_artUrl;
    QString m_artPending;        // key being written
    QStringList m_artFiles;      // files this process wrote, oldest first
};

// org.mpris.MediaPlayer2
class MprisRootAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
    Q_PROPERTY(bool CanQuit READ canQuit)
    Q_PROPERTY(bool CanRaise READ canRaise)
    Q_PROPERTY(bool HasTrackList READ hasTrackList)
    Q_PROPERTY(QString Identity READ identity)
    Q_PROPERTY(QString DesktopEntry READ desktopEntry)
    Q_PROPERTY(QStringList SupportedUriSchemes READ supportedUriSchemes)
    Q_PROPERTY(QStringList SupportedMimeTypes READ supportedMimeTypes)
public:
    MprisRootAdaptor(QObject *exported, MprisService *service);

    bool canQuit() const { return false; }
    bool canRaise() const { return m_service->canRaise(); }
    bool hasTrackList() const { return false; }
    QString identity() const { return QString::fromLatin1(MprisService::Identity); }
    QString desktopEntry() const { return QString::fromLatin1(MprisService::DesktopEntry); }
    QStringList supportedUriSchemes() const { return {}; }
    QStringList supportedMimeTypes() const { return {}; }

public slots:
    void Raise() { m_service->raise(); }
    void Quit() {}

private:
    MprisService *m_service;
};

// org.mpris.MediaPlayer2.Player
class MprisPlayerAdaptor : public QDBusAbstractAdaptor
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
    Q_PROPERTY(double Rate READ rate WRITE setRate)
    Q_PROPERTY(QVariantMap Metadata READ metadata)
    Q_PROPERTY(double Volume READ volume WRITE setVolume)
    Q_PROPERTY(qlonglong Position READ position)
    Q_PROPERTY(double MinimumRate READ minimumRate)
    Q_PROPERTY(double MaximumRate READ maximumRate)
    Q_PROPERTY(bool CanGoNext READ canGoNext)
    Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
    Q_PROPERTY(bool CanPlay READ canPlay)
    Q_PROPERTY(bool CanPause READ canPause)
    Q_PROPERTY(bool CanSeek READ canSeek)
    Q_PROPERTY(bool CanControl READ canControl)
public:
    MprisPlayerAdaptor(QObject *exported, MprisService *service);

    QString playbackStatus() const { return m_service->playbackStatus(); }
    double rate() const { return m_service->rate(); }
    void setRate(double) {} // one rate only
    QVariantMap metadata() const { return m_service->metadata(); }
    double volume() const { return m_service->volume(); }
    void setVolume(double v) { m_service->setVolumeFromBus(v); }
    qlonglong position() const { return m_service->position(); }
    double minimumRate() const { return 1.0; }
    double maximumRate() const { return 1.0; }
    bool canGoNext() const { return m_service->canGoNext(); }
    bool canGoPrevious() const { return m_service->canGoPrevious(); }
    bool canPlay() const { return m_service->canPlay(); }
    bool canPause() const { return m_service->canPause(); }
    bool canSeek() const { return m_service->canSeek(); }
    bool canControl() const { return true; }

public slots:
    void Next(const QDBusMessage &message);
    void Previous(const QDBusMessage &message);
    void Pause(const QDBusMessage &message);
    void PlayPause(const QDBusMessage &message);
    void Stop(const QDBusMessage &message);
    void Play(const QDBusMessage &message);
    void Seek(qlonglong Offset, const QDBusMessage &message);
    void SetPosition(const QDBusObjectPath &TrackId, qlonglong Position, const QDBusMessage &message);
    void OpenUri(const QString &Uri, const QDBusMessage &message);

signals:
    void Seeked(qlonglong Position);

private:
    void answer(bool accepted, const QDBusMessage &message);
    MprisService *m_service;
};
