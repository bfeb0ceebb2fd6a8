#include "Platform/PlayerItem.h"

#include <QCoroSignal>

#include <cmath>

PlayerItemPtr PlayerItem::create(const QUrl &url)
{
    return PlayerItemPtr(new PlayerItem(url));
}

PlayerItem::PlayerItem(const QUrl &url)
    : m_url(url)
{
}

PlayerItem::~PlayerItem() = default;

void PlayerItem::setAudioMix(const AudioMix &mix)
{
    m_audioMix = mix;
    emit audioMixChanged();
}

QCoro::Task<std::optional<QList<AudioTrack>>> PlayerItem::loadAudioTracks()
{
    // Keeps the item alive for as long as someone waits on it.
    const PlayerItemPtr self = shared_from_this();
    if (m_tracksState == TracksState::Pending)
        co_await qCoro(this, &PlayerItem::audioTracksLoadFinished);
    if (m_tracksState == TracksState::Loaded)
        co_return m_audioTracks;
    co_return std::nullopt;
}

void PlayerItem::markReady()
{
    if (m_status != Status::Unknown)
        return;
    m_status = Status::ReadyToPlay;
    emit statusChanged();
}

void PlayerItem::markFailed(const QString &error, Failure failure)
{
    if (m_status == Status::Failed)
        return;
    m_status = Status::Failed;
    m_errorString = error;
    m_failure = failure;
    emit statusChanged();
    finishTracks(std::nullopt);
}

void PlayerItem::setDuration(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        seconds = 0;
    if (seconds == m_duration)
        return;
    m_duration = seconds;
    emit durationChanged();
}

void PlayerItem::finishTracks(std::optional<QList<AudioTrack>> tracks)
{
    if (m_tracksState != TracksState::Pending)
        return;
    m_tracksState = tracks ? TracksState::Loaded : TracksState::Failed;
    if (tracks)
        m_audioTracks = *tracks;
    emit audioTracksLoadFinished();
}
