#include "Services/RadioPlayer.h"

#include "Platform/AudioSession.h"
#include "Platform/Console.h"
#include "Platform/MprisService.h"
#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/ArtworkColorExtractor.h"
#include "Services/EqTap.h"
#include "Services/GstPlaybackEngine.h"

#include <cmath>

const QString RadioPlayer::ConnectingText = QStringLiteral("در حال اتصال…");
const QString RadioPlayer::FetchingTracksText = QStringLiteral("در حال دریافت لیست آهنگها…");
const QString RadioPlayer::InvalidAddressText = QStringLiteral("آدرس پخش نامعتبر");
const QString RadioPlayer::DefaultTitle = QStringLiteral("ملودریفت رادیو");

namespace {

// The application's accent colour, the theme colour until artwork gives another.
QColor accentColor()
{
    return QColor::fromRgbF(0.39f, 0.40f, 0.95f);
}

template<typename T>
bool sameOptional(const std::optional<T> &a, const std::optional<T> &b)
{
    return a.has_value() == b.has_value() && (!a || *a == *b);
}

qsizetype trackCount(const std::optional<Station> &station)
{
    return station && station->tracks ? station->tracks->size() : 0;
}

} // namespace

RadioPlayer::RadioPlayer(Dependencies dependencies, QObject *parent)
    : QObject(parent)
    , m_deps(std::move(dependencies))
    , m_themeColor(accentColor())
    , m_schedule(m_deps.reconnect)
{
    Q_ASSERT(m_deps.engine && m_deps.stations && m_deps.offline);
    m_reconnectTimer = new QTimer(this);
    m_reconnectTimer->setSingleShot(true);
    connect(m_reconnectTimer, &QTimer::timeout, this, &RadioPlayer::reconnect);
    configureAudioSession();
    setupTimeObserver();
    setupNotifications();
    setupRemoteCommands();
    m_deps.engine->setVolume(m_volume);
    if (m_deps.commands)
        m_deps.commands->setVolume(m_volume);
}

RadioPlayer::~RadioPlayer()
{
    // The command centre may outlive this player; its handlers must not call into it.
    if (m_deps.commands) {
        for (RemoteCommand c : {RemoteCommand::Play, RemoteCommand::Pause, RemoteCommand::TogglePlayPause,
                                RemoteCommand::NextTrack, RemoteCommand::PreviousTrack, RemoteCommand::SkipForward,
                                RemoteCommand::SkipBackward, RemoteCommand::ChangePlaybackPosition,
                                RemoteCommand::ChangeVolume})
            m_deps.commands->removeHandler(c);
    }
}

RadioPlayer *RadioPlayer::shared()
{
    // The player and its platform player are never torn down.
    static RadioPlayer *const instance = [] {
        Dependencies deps;
        deps.engine = new GstPlaybackEngine;
        deps.stations = new APIStationSource;
        deps.offline = new OfflineStoreLookup;
        deps.audioSession = &AudioSession::sharedInstance();
        deps.commands = RemoteCommandCenter::shared();
        deps.nowPlaying = NowPlayingInfoCenter::shared();
        deps.makeTap = [] { return EqTap::makeTap(); };
        deps.vibrantColor = [](const QImage &image) { return ArtworkColorExtractor::vibrantColor(image); };
        auto *player = new RadioPlayer(std::move(deps));
        MprisService::startShared();
        return player;
    }();
    return instance;
}

// ------------------------------------------------------------------ published state

QVariant RadioPlayer::currentStationValue() const
{
    return m_currentStation ? m_currentStation->toVariant() : QVariant();
}

void RadioPlayer::setCurrentStation(std::optional<Station> station)
{
    m_currentStation = std::move(station);
    emit currentStationChanged();
    if (m_deps.commands)
        m_deps.commands->notifyAvailabilityChanged();
}

void RadioPlayer::setIsPlaying(bool value)
{
    m_isPlaying = value;
    emit isPlayingChanged();
}

void RadioPlayer::setIsBuffering(bool value)
{
    m_isBuffering = value;
    emit isBufferingChanged();
}

void RadioPlayer::setIsLive(bool value)
{
    const bool changed = value != m_isLive;
    m_isLive = value;
    emit isLiveChanged();
    if (changed && m_deps.commands)
        m_deps.commands->notifyAvailabilityChanged();
}

void RadioPlayer::setCurrentTime(double value)
{
    m_currentTime = value;
    emit currentTimeChanged();
}

double RadioPlayer::freshCurrentTime()
{
    if (m_deps.engine->currentItem() != 0) {
        if (const double seconds = m_deps.engine->currentTime(); std::isfinite(seconds) && seconds > 0
                                                                 && seconds != m_currentTime)
            setCurrentTime(seconds);
    }
    return m_currentTime;
}

void RadioPlayer::setTimeShown(bool shown)
{
    m_deps.engine->setPeriodicTimeHeld(!shown);
}

void RadioPlayer::setDuration(double value)
{
    const bool changed = value != m_duration;
    m_duration = value;
    emit durationChanged();
    if (changed && m_deps.commands)
        m_deps.commands->notifyAvailabilityChanged();
}

void RadioPlayer::setVolume(float volume)
{
    m_volume = volume;
    emit volumeChanged();
    m_deps.engine->setVolume(m_volume);
    if (m_deps.commands)
        m_deps.commands->setVolume(m_volume);
}

void RadioPlayer::setStatusText(const QString &value)
{
    m_statusText = value;
    emit statusTextChanged();
    if (m_recovery != Recovery::None)
        emit recoveryChanged();
}

void RadioPlayer::setThemeColor(const QColor &value)
{
    m_themeColor = value;
    emit themeColorChanged();
}

void RadioPlayer::setFullPlayerPresented(bool presented)
{
    m_isFullPlayerPresented = presented;
    emit isFullPlayerPresentedChanged();
}

bool RadioPlayer::canSkipTracks() const
{
    return trackCount(m_currentStation) > 1;
}

// ------------------------------------------------------------------ selection

void RadioPlayer::select(const Station &station)
{
    selectStation(station);
}

void RadioPlayer::select(const QVariant &station)
{
    if (const std::optional<Station> s = Station::fromVariant(station))
        select(*s);
}

QCoro::Task<> RadioPlayer::selectStation(Station s)
{
    const quint64 selection = ++m_selectionCount;
    endRecovery();
    setCurrentStation(s);
    m_localTrackOverride = s.hasTracks() && s.trackIndex.has_value();
    m_wantsPlayback = true;
    setStatusText(ConnectingText);

    if (!s.needsHydration()) {
        playStation(s);
        co_return;
    }
    if (m_pendingHydrationGenre == s.genre) {
        // The running fetch will bring this station's track list.
        m_lastJoinedSelection = selection;
        m_lastJoinedGenre = s.genre;
        playStation(s);
        co_return;
    }

    m_pendingHydrationGenre = s.genre;
    setStatusText(FetchingTracksText);
    QPointer<RadioPlayer> self(this);
    std::optional<Station> hydrated;
    try {
        hydrated = co_await m_deps.stations->hydrateSongsara(s.genre);
    } catch (...) {
        hydrated.reset();
    }
    if (!self)
        co_return;
    if (m_pendingHydrationGenre == s.genre)
        m_pendingHydrationGenre.reset();
    // The listener chose something else meanwhile: this result is for a station no longer wanted.
    const bool current = m_selectionCount == selection
                         || (m_selectionCount == m_lastJoinedSelection && m_lastJoinedGenre == s.genre);
    if (!current)
        co_return;
    if (hydrated) {
        setCurrentStation(*hydrated);
        playStation(*hydrated);
    } else {
        playStation(s);
    }
}

void RadioPlayer::playStation(const Station &s)
{
    std::optional<QUrl> url;
    if (s.hasTracks()) {
        const PlaylistTrack &track = *s.currentTrack();
        url = m_deps.offline->audioURL(track);
        if (!url)
            url = m_deps.stations->absolute(s.currentStreamURL());
        if (url && m_deps.offline->isDownloaded(track))
            Console::line(QStringLiteral("[RadioPlayer] playing offline: ") + track.title.value_or(QStringLiteral("?")));
    } else {
        url = m_deps.stations->absolute(s.currentStreamURL());
    }
    if (!url || !url->isValid()) {
        setStatusText(InvalidAddressText);
        return;
    }

    setIsLive(!s.hasTracks());
    m_deps.engine->setVolume(m_volume);
    const PlaybackEngine::ItemId item = m_deps.engine->replaceCurrentItem(*url);
    bindEqualiser(item);
    if (m_wantsPlayback) {
        setIsBuffering(true);
        m_deps.engine->play();
    }
    // After the buffering flag: the system controls show a player that means to play.
    updateNowPlayingInfo();
}

QCoro::Task<> RadioPlayer::bindEqualiser(PlaybackEngine::ItemId item)
{
    QPointer<RadioPlayer> self(this);
    QPointer<PlaybackEngine> engine(m_deps.engine);
    QList<int> tracks;
    try {
        tracks = co_await engine->loadAudioTracks(item);
    } catch (...) {
        co_return;
    }
    if (!self || !engine || tracks.isEmpty() || !m_deps.makeTap)
        co_return;
    AudioProcessingTapPtr tap = m_deps.makeTap();
    if (!tap)
        co_return;
    // Bound to the item it was started for, even when another item has replaced it meanwhile.
    engine->setAudioTap(item, tracks.first(), std::move(tap));
    Console::line(QStringLiteral("[RadioPlayer] EQ tap bound to track ") + QString::number(tracks.first()));
}

// ------------------------------------------------------------------ transport

void RadioPlayer::play()
{
    // A live stream that the listener paused holds only what came before the pause: the station
    // has moved on, and its server may have closed the connection meanwhile.
    const bool resumesPausedLive = !m_wantsPlayback && m_isLive;
    m_wantsPlayback = true;
    if (m_deps.engine->currentItem() == 0 && m_currentStation) {
        selectStation(*m_currentStation);
        return;
    }
    // After a failure the old item plays no more: a press tries again at once, on a new one; so
    // does a press on a paused live stream, which starts from now.
    if (m_currentStation
        && (resumesPausedLive || m_recovery != Recovery::None || m_deps.engine->currentItemError())) {
        endRecovery();
        setStatusText(ConnectingText);
        configureAudioSession();
        playCurrentAgain();
        return;
    }
    configureAudioSession();
    setIsBuffering(true);
    m_deps.engine->play();
}

void RadioPlayer::pauseByListener()
{
    m_wantsPlayback = false;
    // A pause ends the tries: nothing is wanted any more.
    if (m_recovery != Recovery::None) {
        endRecovery();
        setStatusText(QString());
    }
    m_deps.engine->pause();
    setIsPlaying(false);
    setIsBuffering(false);
    updateNowPlayingInfo();
}

void RadioPlayer::togglePlayPause()
{
    if (m_isPlaying)
        pauseByListener();
    else
        play();
}

void RadioPlayer::seek(double seconds)
{
    double t = seconds;
    if (m_duration > 0)
        t = std::min(t, m_duration);
    if (!(t >= 0)) // a NaN too
        t = 0;
    m_deps.engine->seek(t);
    setCurrentTime(t);
    updateNowPlayingInfo();
}

void RadioPlayer::skip(double seconds)
{
    if (!m_isLive && m_duration > 0)
        seek(freshCurrentTime() + seconds);
}

void RadioPlayer::nextTrack()
{
    if (trackCount(m_currentStation) >= 2)
        shiftTrack(+1);
}

void RadioPlayer::previousTrack()
{
    if (trackCount(m_currentStation) < 2)
        return;
    if (freshCurrentTime() > 5.0)
        seek(0);
    else
        shiftTrack(-1);
}

void RadioPlayer::shiftTrack(int delta)
{
    if (!m_currentStation || !m_currentStation->hasTracks())
        return;
    Station s = *m_currentStation;
    const qint64 n = s.tracks->size();
    const qint64 index = (((s.trackIndex.value_or(0) % n) + delta) % n + n) % n;
    const PlaylistTrack &t = s.tracks->at(index);
    s.trackIndex = index;
    s.title = t.title;
    s.artist = t.artist;
    if (t.artworkURL && !t.artworkURL->isEmpty())
        s.artworkURL = t.artworkURL;
    s.elapsedSeconds.reset();
    endRecovery();
    setCurrentStation(s);
    m_localTrackOverride = true;
    m_wantsPlayback = true;
    playStation(s);
}

void RadioPlayer::configureAudioSession()
{
    AudioSession *session = m_deps.audioSession;
    if (!session)
        return;
    QString error;
    if (!session->setCategory(AudioSession::Category::Playback, AudioSession::Mode::Default, {}, &error)
        || !session->setActive(true, &error))
        Console::line(QStringLiteral("[RadioPlayer] Audio session error: ") + error);
}

// ------------------------------------------------------------------ timing

void RadioPlayer::setupTimeObserver()
{
    connect(m_deps.engine, &PlaybackEngine::periodicTime, this, &RadioPlayer::handleTimeUpdate);
}

void RadioPlayer::handleTimeUpdate(double seconds)
{
    PlaybackEngine &engine = *m_deps.engine;
    if (engine.currentItem() == 0)
        return;
    if (const std::optional<QString> error = engine.currentItemError())
        Console::line(QStringLiteral("[RadioPlayer] item failed: ") + *error);
    if (std::isfinite(seconds) && seconds > 0)
        setCurrentTime(seconds);
    const double d = engine.currentItemDuration();
    const double previousDuration = m_duration;
    setDuration(std::isfinite(d) && d > 0 ? d : 0);
    // A stream's length becomes known only after it started; the system controls show it then.
    const bool durationLearnt = m_duration != previousDuration;

    switch (engine.timeControlStatus()) {
    case PlaybackEngine::TimeControlStatus::Paused:
        if (m_isPlaying && !m_wantsPlayback) {
            setIsPlaying(false);
            stopMetadataPolling();
        } else if (m_wantsPlayback && engine.currentItemError()) {
            // A failed item leaves the player waiting for the next one, not playing on.
            enterWaiting();
        }
        break;
    case PlaybackEngine::TimeControlStatus::WaitingToPlay:
        if (!m_isPlaying && !m_wantsPlayback)
            break;
        enterWaiting();
        break;
    case PlaybackEngine::TimeControlStatus::Playing:
        if (m_isPlaying && !m_isBuffering) {
            if (durationLearnt)
                updateNowPlayingInfo();
            break;
        }
        setIsPlaying(true);
        setIsBuffering(false);
        endRecovery();
        setStatusText(QString());
        startMetadataPolling();
        updateNowPlayingInfo();
        refreshLiveMetadata();
        break;
    }
}

void RadioPlayer::enterWaiting()
{
    const bool wasWaiting = m_isBuffering;
    setIsBuffering(true);
    // The system controls stop their clock where the audio stopped.
    if (!wasWaiting && m_isPlaying)
        updateNowPlayingInfo();
}

void RadioPlayer::startMetadataPolling()
{
    if (m_metadataTimer)
        return;
    m_metadataTimer = new QTimer(this);
    m_metadataTimer->setInterval(m_deps.metadataPollIntervalMs);
    connect(m_metadataTimer, &QTimer::timeout, this, [this] { refreshLiveMetadata(); });
    m_metadataTimer->start();
}

void RadioPlayer::stopMetadataPolling()
{
    if (!m_metadataTimer)
        return;
    m_metadataTimer->stop();
    m_metadataTimer->deleteLater();
    m_metadataTimer = nullptr;
}

QCoro::Task<> RadioPlayer::refreshLiveMetadata()
{
    if (!m_currentStation || !m_isPlaying)
        co_return;
    const Station cur = *m_currentStation;
    const quint64 selection = m_selectionCount;
    QPointer<RadioPlayer> self(this);
    QList<Station> stations;
    try {
        stations = co_await m_deps.stations->fetchStations();
    } catch (...) {
        co_return;
    }
    if (!self)
        co_return;
    // A poll that started before the listener chose another station says nothing about it.
    if (selection != m_selectionCount || !m_currentStation || m_currentStation->genre != cur.genre)
        co_return;
    const auto found = std::find_if(stations.cbegin(), stations.cend(),
                                    [&](const Station &s) { return s.genre == cur.genre; });
    if (found == stations.cend())
        co_return;
    const Station fresh = *found;
    const bool metadataChanged =
        fresh.title != cur.title || fresh.artist != cur.artist || fresh.artworkURL != cur.artworkURL;
    const bool indexChanged = fresh.hasTracks() && !sameOptional(fresh.trackIndex, cur.trackIndex);

    if (cur.hasTracks()) {
        if (indexChanged && !m_localTrackOverride) {
            Console::line(QStringLiteral("[RadioPlayer] server rotation: ") + cur.displayTrackTitle()
                          + QStringLiteral(" -> ") + fresh.displayTrackTitle());
            setCurrentStation(fresh);
            updateNowPlayingInfo();
            playStation(fresh);
        }
        co_return;
    }
    if (metadataChanged) {
        Console::line(QStringLiteral("[RadioPlayer] live metadata: ") + cur.title.value_or(QStringLiteral("?"))
                      + QStringLiteral(" -> ") + fresh.title.value_or(QStringLiteral("?")));
        Station updated = fresh;
        updated.tracks = m_currentStation ? m_currentStation->tracks : std::nullopt;
        updated.trackIndex = m_currentStation ? m_currentStation->trackIndex : std::nullopt;
        setCurrentStation(updated);
        updateNowPlayingInfo();
    }
}

// ------------------------------------------------------------------ notifications

void RadioPlayer::setupNotifications()
{
    connect(m_deps.engine, &PlaybackEngine::itemDidPlayToEnd, this, &RadioPlayer::handleEndOfItem);
    connect(m_deps.engine, &PlaybackEngine::itemFailed, this, &RadioPlayer::handleItemFailed);
    AudioSession *session = m_deps.audioSession;
    if (!session)
        return;
    // The notifications' user info holds unsigned integers; anything else counts as missing.
    auto number = [](const QVariantMap &info, const QString &key) -> std::optional<uint> {
        bool ok = false;
        const uint value = info.value(key).toUInt(&ok);
        return ok ? std::optional<uint>(value) : std::nullopt;
    };
    connect(session, &AudioSession::interruption, this, [this, number](const QVariantMap &info) {
        handleInterruption(number(info, AudioSession::InterruptionTypeKey),
                           number(info, AudioSession::InterruptionOptionKey).value_or(0));
    }, Qt::QueuedConnection);
    connect(session, &AudioSession::routeChange, this, [this, number](const QVariantMap &info) {
        handleRouteChange(number(info, AudioSession::RouteChangeReasonKey));
    }, Qt::QueuedConnection);
}

void RadioPlayer::handleEndOfItem(PlaybackEngine::ItemId item)
{
    if (item != m_deps.engine->currentItem())
        return;
    if (canSkipTracks()) {
        shiftTrack(+1);
    } else if (m_isLive && m_wantsPlayback) {
        // A live stream has no end of its own: its server closed it.
        handleTrouble(PlaybackEngine::Failure::ConnectionLost, QStringLiteral("the stream ended"));
    } else {
        setIsPlaying(false);
        updateNowPlayingInfo();
    }
}

void RadioPlayer::handleInterruption(std::optional<uint> type, uint options)
{
    if (!type)
        return;
    if (*type == 1) {
        if (m_isPlaying) {
            m_deps.engine->pause();
            setIsPlaying(false);
            stopMetadataPolling();
            updateNowPlayingInfo();
        }
    } else if (*type == 0) {
        if (m_wantsPlayback && (options & 1u)) {
            m_deps.engine->play();
            setIsBuffering(true);
        }
    }
}

void RadioPlayer::handleRouteChange(std::optional<uint> reason)
{
    if (reason == 2u && m_wantsPlayback)
        m_deps.engine->play();
}
