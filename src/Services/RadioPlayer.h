#pragma once

#include "Models/Station.h"
#include "Services/PlaybackEngine.h"
#include "Services/RadioPlayerServices.h"
#include "Services/ReconnectSchedule.h"

#include <QByteArray>
#include <QColor>
#include <QCoroTask>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QStringList>
#include <QTimer>
#include <QVariant>

#include <functional>
#include <optional>

class AudioSession;
class NowPlayingInfoCenter;
class RemoteCommandCenter;

// The one object that plays audio. It owns one platform player for the life of the process and
// replaces its item whenever a station or a track changes. A station is live (no track list: its
// stream address plays as is) or a rotation (one track of its list at a time, chosen by its track
// index). It follows the server's rotation and live titles while playing, answers the system media
// controls and publishes what the screens show.
//
// A stream that fails, stalls or (live) ends while the listener wants sound is tried again by
// itself on a new item, with a bounded backoff (ReconnectSchedule), until it plays again or the
// player gives up and says why; a press of play after a failure always tries again at once.
//
// Published state changes only on the GUI thread; every NOTIFY signal is emitted on every
// assignment (a station that compares equal may still carry a new track list).
class RadioPlayer : public QObject
{
    Q_OBJECT
    // The station or rotation being played (a Station record, see Models/Station.h); undefined
    // while there is none.
    Q_PROPERTY(QVariant currentStation READ currentStationValue NOTIFY currentStationChanged)
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)
    Q_PROPERTY(bool isBuffering READ isBuffering NOTIFY isBufferingChanged)
    Q_PROPERTY(bool isLive READ isLive NOTIFY isLiveChanged)
    Q_PROPERTY(double currentTime READ currentTime NOTIFY currentTimeChanged)
    Q_PROPERTY(double duration READ duration NOTIFY durationChanged)
    Q_PROPERTY(float volume READ volume WRITE setVolume NOTIFY volumeChanged)
    Q_PROPERTY(QString statusText READ statusText NOTIFY statusTextChanged)
    // Animate changes in the screens (the player sets the new colour at once).
    Q_PROPERTY(QColor themeColor READ themeColor NOTIFY themeColorChanged)
    Q_PROPERTY(bool isFullPlayerPresented READ isFullPlayerPresented WRITE setFullPlayerPresented
                   NOTIFY isFullPlayerPresentedChanged)
    Q_PROPERTY(bool canSkipTracks READ canSkipTracks NOTIFY currentStationChanged)
    // Whether a dropped stream is being tried again, or was given up; `statusText` says why.
    Q_PROPERTY(Recovery recovery READ recovery NOTIFY recoveryChanged)
    // The status text while there is a recovery (reconnecting, or given up), else empty.
    Q_PROPERTY(QString recoveryText READ recoveryText NOTIFY recoveryChanged)

public:
    enum class Recovery { None, Reconnecting, GaveUp };
    Q_ENUM(Recovery)

    // The texts the player shows in `statusText`.
    static const QString ConnectingText;   // "در حال اتصال…"
    static const QString FetchingTracksText; // "در حال دریافت لیست آهنگها…"
    static const QString InvalidAddressText; // "آدرس پخش نامعتبر"
    static const QString DefaultTitle;      // "ملودریفت رادیو", the now-playing title without a station
    // While a dropped stream is tried again: its cause, then that it reconnects.
    static QString reconnectingText(PlaybackEngine::Failure failure);
    // Once it was given up: that it could not play, the cause, and how to try again.
    static QString gaveUpText(PlaybackEngine::Failure failure);
    static constexpr int ArtworkCacheLimit = 32;
    // The now-playing picture's longest side, and the largest file kept as it came.
    static constexpr int NowPlayingArtworkSide = 512;
    static constexpr qsizetype MaxKeptArtworkBytes = 1024 * 1024;

    struct Dependencies {
        PlaybackEngine *engine = nullptr;
        StationSource *stations = nullptr;
        OfflineLookup *offline = nullptr;
        AudioSession *audioSession = nullptr;   // optional
        RemoteCommandCenter *commands = nullptr;
        NowPlayingInfoCenter *nowPlaying = nullptr;
        // A new equaliser tap per item; none: items play without the equaliser.
        std::function<AudioProcessingTapPtr()> makeTap;
        // The picture's theme colour; none: the theme colour stays.
        std::function<std::optional<QColor>(const QImage &)> vibrantColor;
        int metadataPollIntervalMs = 15'000;
        ReconnectSchedule::Options reconnect;
    };

    // The collaborators must outlive the player.
    explicit RadioPlayer(Dependencies dependencies, QObject *parent = nullptr);
    ~RadioPlayer() override;

    // The process's player over GStreamer, the shared backend client and offline store, with the
    // system media controls on the session bus. Created on first use; lives until the process ends.
    static RadioPlayer *shared();

    // --- published state
    const std::optional<Station> &currentStation() const { return m_currentStation; }
    QVariant currentStationValue() const;
    bool isPlaying() const { return m_isPlaying; }
    bool isBuffering() const { return m_isBuffering; }
    bool isLive() const { return m_isLive; }
    double currentTime() const { return m_currentTime; }
    double duration() const { return m_duration; }
    float volume() const { return m_volume; }
    void setVolume(float volume);
    QString statusText() const { return m_statusText; }
    QColor themeColor() const { return m_themeColor; }
    bool isFullPlayerPresented() const { return m_isFullPlayerPresented; }
    void setFullPlayerPresented(bool presented);
    // Whether a window shows the time (false while none is on screen): unseen, `currentTime`
    // is not followed every half second but read from the platform player when it is needed
    // (a skip, the system controls' position, a reconnect), and caught up once shown again.
    void setTimeShown(bool shown);
    // A station is current and has more than one track.
    bool canSkipTracks() const;
    Recovery recovery() const { return m_recovery; }
    QString recoveryText() const { return m_recovery == Recovery::None ? QString() : m_statusText; }

    // --- operations
    // Starts selecting the station and returns at once. From QML pass a Station record.
    void select(const Station &station);
    Q_INVOKABLE void select(const QVariant &station);
    QCoro::Task<> selectStation(Station station);
    Q_INVOKABLE void play();
    Q_INVOKABLE void togglePlayPause();
    Q_INVOKABLE void seek(double seconds);
    Q_INVOKABLE void skip(double seconds);
    Q_INVOKABLE void nextTrack();
    Q_INVOKABLE void previousTrack();
    // Puts the audio session in the playback category; also run after the microphone was used.
    Q_INVOKABLE void configureAudioSession();

    // --- internals exposed for tests
    bool wantsPlayback() const { return m_wantsPlayback; }
    bool localTrackOverride() const { return m_localTrackOverride; }
    std::optional<QString> pendingHydrationGenre() const { return m_pendingHydrationGenre; }
    bool isMetadataPolling() const { return m_metadataTimer != nullptr; }
    // The next try of a dropped stream is due (the wait of the backoff runs).
    bool isReconnectPending() const;
    // The platform player it plays through (a bench watches the shared player's output).
    PlaybackEngine *engine() const { return m_deps.engine; }
    int artworkCacheSize() const { return int(m_artworkCache.size()); }
    bool artworkCached(const QString &key) const { return m_artworkCache.contains(key); }
    QString artworkKey() const; // the current station's artwork key; empty without a station
    QCoro::Task<> refreshLiveMetadata();
    void handleTimeUpdate(double seconds);
    // The waiting state while playback is wanted (a stalled or failed item).
    void enterWaiting();
    // Interruption type 1 began, 0 ended; options bit 1 (value 1) asks to resume.
    void handleInterruption(std::optional<uint> type, uint options);
    // Reason 2: the old output device went away.
    void handleRouteChange(std::optional<uint> reason);

signals:
    void currentStationChanged();
    void isPlayingChanged();
    void isBufferingChanged();
    void isLiveChanged();
    void currentTimeChanged();
    void durationChanged();
    void volumeChanged();
    void statusTextChanged();
    void themeColorChanged();
    void isFullPlayerPresentedChanged();
    void recoveryChanged();

private:
    struct Artwork {
        QImage image;
        QByteArray data;
    };

    void setCurrentStation(std::optional<Station> station);
    void setIsPlaying(bool value);
    void setIsBuffering(bool value);
    void setIsLive(bool value);
    void setCurrentTime(double value);
    // The platform player's time, taken into `currentTime` first.
    double freshCurrentTime();
    void setDuration(double value);
    void setStatusText(const QString &value);
    void setThemeColor(const QColor &value);

    void playStation(const Station &station);
    void shiftTrack(int delta);
    QCoro::Task<> bindEqualiser(PlaybackEngine::ItemId item);
    void setupTimeObserver();
    void setupNotifications();
    void setupRemoteCommands();
    void startMetadataPolling();
    void stopMetadataPolling();
    void handleEndOfItem(PlaybackEngine::ItemId item);
    void handleItemFailed(PlaybackEngine::ItemId item);
    // The current stream broke while sound is wanted: try again after the backoff, or give up.
    void handleTrouble(PlaybackEngine::Failure failure, const QString &error);
    void reconnect();
    void giveUp(PlaybackEngine::Failure failure);
    void endRecovery();
    void setRecovery(Recovery recovery);
    // A new item for the current station; a track goes on where it was.
    void playCurrentAgain();
    void pauseByListener();
    void updateNowPlayingInfo();
    void loadArtworkIfNeeded();
    QCoro::Task<> loadArtwork(QString key, QUrl url);
    void cacheArtwork(const QString &key, Artwork artwork);
    std::optional<QString> currentTrackArtworkURL(const Station &station) const;

    Dependencies m_deps;

    std::optional<Station> m_currentStation;
    bool m_isPlaying = false;
    bool m_isBuffering = false;
    bool m_isLive = true;
    double m_currentTime = 0;
    double m_duration = 0;
    float m_volume = 0.85f;
    QString m_statusText;
    QColor m_themeColor;
    bool m_isFullPlayerPresented = false;

    QTimer *m_metadataTimer = nullptr;
    bool m_wantsPlayback = false;
    std::optional<QString> m_pendingHydrationGenre;
    bool m_localTrackOverride = false;
    // Artwork by key, least recently used first in m_artworkOrder.
    QHash<QString, Artwork> m_artworkCache;
    QStringList m_artworkOrder;
    QSet<QString> m_artworkInFlight;

    ReconnectSchedule m_schedule;
    Recovery m_recovery = Recovery::None;
    QTimer *m_reconnectTimer = nullptr;
    int m_reconnectAttempt = 0;
    QElapsedTimer m_outage; // since the stream first broke; invalid while it plays

    // Every selection gets a number; a track-list fetch or catalogue poll that finishes after a
    // newer selection is dropped.
    quint64 m_selectionCount = 0;
    quint64 m_lastJoinedSelection = 0; // a repeat selection that waits for a running fetch
    QString m_lastJoinedGenre;
};
