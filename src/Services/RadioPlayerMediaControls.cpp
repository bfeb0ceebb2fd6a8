#include "Services/RadioPlayer.h"

#include "Platform/NowPlayingInfo.h"
#include "Platform/RemoteCommandCenter.h"
#include "Services/ArtworkFile.h"

#include <QCoroFuture>
#include <QPromise>
#include <QThreadPool>

// The system media controls: remote commands, now-playing information and its artwork.

namespace {

struct DecodedArtwork {
    QImage image;
    std::optional<QColor> color;
};

} // namespace

// ------------------------------------------------------------------ system media controls

void RadioPlayer::setupRemoteCommands()
{
    RemoteCommandCenter *commands = m_deps.commands;
    if (!commands)
        return;
    using Status = RemoteCommandStatus;
    // Each command does its work in a later turn of the event loop, like any other callback.
    auto later = [this](auto work) { QMetaObject::invokeMethod(this, work, Qt::QueuedConnection); };
    auto seekable = [this] { return !m_isLive && m_duration > 0; };
    auto skippable = [this] { return canSkipTracks(); };

    commands->setHandler(RemoteCommand::Play, [this, later](const RemoteCommandEvent &) {
        later([this] { play(); });
        return Status::Success;
    });
    commands->setHandler(RemoteCommand::Pause, [this, later](const RemoteCommandEvent &) {
        later([this] { pauseByListener(); });
        return Status::Success;
    });
    commands->setHandler(RemoteCommand::TogglePlayPause, [this, later](const RemoteCommandEvent &) {
        later([this] { togglePlayPause(); });
        return Status::Success;
    });
    commands->setHandler(RemoteCommand::NextTrack, [this, later](const RemoteCommandEvent &) {
        later([this] { nextTrack(); });
        return canSkipTracks() ? Status::Success : Status::CommandFailed;
    }, skippable);
    commands->setHandler(RemoteCommand::PreviousTrack, [this, later](const RemoteCommandEvent &) {
        later([this] { previousTrack(); });
        return canSkipTracks() ? Status::Success : Status::CommandFailed;
    }, skippable);
    for (const RemoteCommand command : {RemoteCommand::SkipForward, RemoteCommand::SkipBackward}) {
        const double sign = command == RemoteCommand::SkipForward ? 1.0 : -1.0;
        commands->setHandler(command, [this, later, seekable, sign](const RemoteCommandEvent &event) {
            if (!seekable())
                return Status::CommandFailed;
            const double interval = event.interval.value_or(10.0);
            later([this, interval, sign] { skip(sign * interval); });
            return Status::Success;
        }, seekable);
        commands->setPreferredIntervals(command, {10.0});
    }
    commands->setHandler(RemoteCommand::ChangePlaybackPosition, [this, later, seekable](const RemoteCommandEvent &event) {
        if (!seekable() || !event.positionTime)
            return Status::CommandFailed;
        const double position = *event.positionTime;
        later([this, position] { seek(position); });
        return Status::Success;
    }, seekable);
    commands->setHandler(RemoteCommand::ChangeVolume, [this, later](const RemoteCommandEvent &event) {
        if (!event.volume)
            return Status::CommandFailed;
        const float volume = float(*event.volume);
        later([this, volume] { setVolume(volume); });
        return Status::Success;
    });
}

std::optional<QString> RadioPlayer::currentTrackArtworkURL(const Station &station) const
{
    return m_deps.offline->currentTrackArtworkURL(station);
}

QString RadioPlayer::artworkKey() const
{
    if (!m_currentStation)
        return {};
    return currentTrackArtworkURL(*m_currentStation).value_or(m_currentStation->genre);
}

void RadioPlayer::updateNowPlayingInfo()
{
    if (m_deps.nowPlaying) {
        NowPlayingInfo info;
        info.title = DefaultTitle;
        if (m_currentStation) {
            const Station &s = *m_currentStation;
            info.identifier = s.currentTrackID();
            const QString title = s.displayTrackTitle();
            if (!title.isEmpty())
                info.title = title;
            const QString artist = s.displayArtist();
            info.artist = artist.isEmpty() ? s.displayName() : artist;
            info.albumTitle = s.displayName();
        }
        // Waiting for data is no playing: the controls would run the position on past the audio.
        info.playbackRate = m_isPlaying && !m_isBuffering ? 1.0 : 0.0;
        // Playing while sound is wanted and on its way (connecting, reconnecting); paused only
        // by the listener or an interruption; stopped once the stream was given up.
        if (!m_currentStation || m_recovery == Recovery::GaveUp)
            info.state = NowPlayingState::Stopped;
        else if (m_wantsPlayback && (m_isPlaying || m_isBuffering))
            info.state = NowPlayingState::Playing;
        else
            info.state = NowPlayingState::Paused;
        if (!m_isLive && m_duration > 0) {
            info.playbackDuration = m_duration;
            info.elapsedPlaybackTime = freshCurrentTime();
        }
        if (m_isLive) {
            info.mediaType = 1;
            info.isLiveStream = true;
        }
        if (m_currentStation) {
            const QString key = artworkKey();
            const auto cached = m_artworkCache.constFind(key);
            if (cached != m_artworkCache.constEnd()) {
                info.artwork = NowPlayingArtwork{key, cached->image, cached->data};
                m_artworkOrder.removeAll(key);
                m_artworkOrder.append(key);
            }
        }
        m_deps.nowPlaying->setNowPlayingInfo(info);
    }
    loadArtworkIfNeeded();
}

void RadioPlayer::loadArtworkIfNeeded()
{
    if (!m_currentStation)
        return;
    const QString key = artworkKey();
    if (m_artworkCache.contains(key) || m_artworkInFlight.contains(key))
        return;
    const std::optional<QUrl> url = m_deps.stations->absolute(currentTrackArtworkURL(*m_currentStation));
    if (!url || !url->isValid())
        return;
    m_artworkInFlight.insert(key);
    loadArtwork(key, *url);
}

QCoro::Task<> RadioPlayer::loadArtwork(QString key, QUrl url)
{
    QPointer<RadioPlayer> self(this);
    std::optional<DecodedArtwork> decoded;
    QByteArray data;
    try {
        data = co_await m_deps.stations->download(url);
        // Decoding and the colour's pixel work happen off the GUI thread.
        auto promise = std::make_shared<QPromise<DecodedArtwork>>();
        QFuture<DecodedArtwork> future = promise->future();
        promise->start();
        auto vibrant = m_deps.vibrantColor;
        QThreadPool::globalInstance()->start([promise, data, vibrant] {
            DecodedArtwork result;
            // Decoded at the size a now-playing picture is shown at, not the file's.
            result.image = artwork::decodeScaled(data, NowPlayingArtworkSide);
            if (!result.image.isNull() && vibrant)
                result.color = vibrant(result.image);
            promise->addResult(result);
            promise->finish();
        });
        DecodedArtwork result = co_await future;
        if (!result.image.isNull())
            decoded = std::move(result);
    } catch (...) {
        decoded.reset();
    }
    if (!self)
        co_return;
    if (decoded) {
        // Large files are not kept as they came: the decoded picture stands in for them.
        cacheArtwork(key, Artwork{decoded->image, data.size() <= MaxKeptArtworkBytes ? data : QByteArray()});
        if (decoded->color)
            setThemeColor(*decoded->color);
        updateNowPlayingInfo();
    }
    // Failed or not, a later call may try this key again once it has left the in-flight set.
    m_artworkInFlight.remove(key);
}

void RadioPlayer::cacheArtwork(const QString &key, Artwork artwork)
{
    m_artworkOrder.removeAll(key);
    m_artworkOrder.append(key);
    m_artworkCache.insert(key, std::move(artwork));
    while (m_artworkOrder.size() > ArtworkCacheLimit) {
        const QString oldest = m_artworkOrder.takeFirst();
        // The picture on screen now stays.
        if (oldest == artworkKey()) {
            m_artworkOrder.append(oldest);
            continue;
        }
        m_artworkCache.remove(oldest);
    }
}
