#include "Services/RadioPlayer.h"

#include "Platform/Console.h"

// Streams that break while the listener wants sound: tried again on a new item after the
// backoff, until one plays (the time observer ends the outage) or the player gives up.

QString RadioPlayer::reconnectingText(PlaybackEngine::Failure failure)
{
    return ReconnectSchedule::causeText(failure) + QStringLiteral("؛ در حال اتصال دوباره…");
}

QString RadioPlayer::gaveUpText(PlaybackEngine::Failure failure)
{
    return QStringLiteral("پخش ممکن نشد: ") + ReconnectSchedule::causeText(failure)
           + QStringLiteral(". برای تلاش دوباره «پخش» را بزنید.");
}

bool RadioPlayer::isReconnectPending() const
{
    return m_reconnectTimer->isActive();
}

void RadioPlayer::setRecovery(Recovery recovery)
{
    if (recovery == m_recovery)
        return;
    m_recovery = recovery;
    emit recoveryChanged();
}

void RadioPlayer::handleItemFailed(PlaybackEngine::ItemId item)
{
    if (item != m_deps.engine->currentItem())
        return;
    handleTrouble(m_deps.engine->currentItemFailure(), m_deps.engine->currentItemError().value_or(QString()));
}

void RadioPlayer::handleTrouble(PlaybackEngine::Failure failure, const QString &error)
{
    if (!m_wantsPlayback || !m_currentStation || m_reconnectTimer->isActive())
        return;
    if (!m_outage.isValid())
        m_outage.start();
    const std::optional<int> delay = m_schedule.delayBefore(m_reconnectAttempt, m_outage.elapsed(), failure);
    if (!delay) {
        Console::line(QStringLiteral("[RadioPlayer] giving up: ") + error);
        giveUp(failure);
        return;
    }
    ++m_reconnectAttempt;
    Console::line(QStringLiteral("[RadioPlayer] reconnecting in %1 ms: ").arg(*delay) + error);
    setRecovery(Recovery::Reconnecting);
    setStatusText(reconnectingText(failure));
    enterWaiting();
    updateNowPlayingInfo();
    m_reconnectTimer->start(*delay);
}

void RadioPlayer::reconnect()
{
    if (!m_wantsPlayback || !m_currentStation)
        return;
    playCurrentAgain();
}

void RadioPlayer::playCurrentAgain()
{
    // A track goes on where it broke off; a live stream has nothing to go back to.
    const double resumeAt = m_isLive ? 0.0 : freshCurrentTime();
    playStation(*m_currentStation);
    if (resumeAt > 0)
        m_deps.engine->seek(resumeAt);
}

void RadioPlayer::giveUp(PlaybackEngine::Failure failure)
{
    endRecovery();
    m_wantsPlayback = false;
    m_deps.engine->pause();
    setRecovery(Recovery::GaveUp);
    setIsPlaying(false);
    setIsBuffering(false);
    stopMetadataPolling();
    setStatusText(gaveUpText(failure));
    updateNowPlayingInfo();
}

void RadioPlayer::endRecovery()
{
    m_reconnectTimer->stop();
    m_reconnectAttempt = 0;
    m_outage.invalidate();
    setRecovery(Recovery::None);
}
