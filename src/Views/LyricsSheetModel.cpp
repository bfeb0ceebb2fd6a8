#include "LyricsSheetModel.h"
#include "StationValue.h"

#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"

#include <QElapsedTimer>
#include <QPointer>

namespace {

qint64 steadyNowMs()
{
    static const QElapsedTimer started = [] {
        QElapsedTimer timer;
        timer.start();
        return timer;
    }();
    return started.elapsed();
}

} // namespace

LyricsSheetModel::LyricsSheetModel(QObject *parent)
    : LyricsSheetModel(RadioPlayer::shared(), &APIClient::shared(), steadyNowMs, parent)
{
}

LyricsSheetModel::LyricsSheetModel(RadioPlayer *player, APIClient *client, Clock clock, QObject *parent)
    : QObject(parent), m_player(player), m_client(client), m_clock(std::move(clock))
{
    Q_ASSERT(m_player && m_client && m_clock);
    m_anchorMs = m_clock();
    m_timer.setInterval(TickIntervalMs);
    connect(&m_timer, &QTimer::timeout, this, &LyricsSheetModel::tick);
    watchPlayer();
}

LyricsSheetModel::~LyricsSheetModel() = default;

void LyricsSheetModel::watchPlayer()
{
    connect(m_player, &RadioPlayer::currentStationChanged, this, &LyricsSheetModel::onPlayerStationChanged);
    connect(m_player, &RadioPlayer::isPlayingChanged, this, &LyricsSheetModel::onPlayingChanged);
}

void LyricsSheetModel::setStation(const Station &station)
{
    m_station = station;
    emit shownStationChanged();
}

void LyricsSheetModel::setStationValue(const QVariant &station)
{
    if (auto value = stationFromQml(station))
        setStation(*value);
}

const Station &LyricsSheetModel::shownStation() const
{
    const std::optional<Station> &current = m_player->currentStation();
    return current ? *current : m_station;
}

QString LyricsSheetModel::trackTitle() const
{
    return shownStation().displayTrackTitle();
}

QString LyricsSheetModel::subtitle() const
{
    const Station &s = shownStation();
    const QString artist = s.displayArtist();
    return artist.isEmpty() ? s.displayName() : artist;
}

LyricsSheetModel::Content LyricsSheetModel::content() const
{
    if (m_loadFailed)
        return Content::Failed;
    if (!m_lyrics)
        return Content::Loading;
    if (m_lyrics->found.value_or(false) && m_lyrics->lines && !m_lyrics->lines->isEmpty())
        return Content::List;
    return Content::NoLyrics;
}

void LyricsSheetModel::setShowTranslation(bool show)
{
    if (show == m_showTranslation)
        return;
    m_showTranslation = show;
    emit showTranslationChanged();
}

void LyricsSheetModel::setTicking(bool ticking)
{
    if (ticking == m_ticking)
        return;
    m_ticking = ticking;
    emit tickingChanged();
    updateTimer();
    if (ticking)
        tick();
}

void LyricsSheetModel::updateTimer()
{
    const bool run = m_ticking && content() == Content::List;
    if (run && !m_timer.isActive())
        m_timer.start();
    else if (!run)
        m_timer.stop();
}

void LyricsSheetModel::appear()
{
    m_lastTrackID = trackIdentity(shownStation());
    load();
}

void LyricsSheetModel::onPlayerStationChanged()
{
    emit shownStationChanged();
    const QString id = trackIdentity(shownStation());
    if (m_lastTrackID && *m_lastTrackID == id)
        return;
    // Before the first load the sheet has not appeared yet: appear() takes the identity.
    if (!m_lastTrackID)
        return;
    m_lastTrackID = id;
    load();
}

void LyricsSheetModel::onPlayingChanged()
{
    if (!m_player->isPlaying()) {
        if (const std::optional<double> position = livePosition())
            m_frozenPosition = *position;
        return;
    }
    if (m_frozenPosition) {
        m_baseElapsed = *m_frozenPosition;
        m_anchorMs = m_clock();
        m_frozenPosition.reset();
    }
}

// A paused live stream's clock stands still from the moment it is (re)started.
void LyricsSheetModel::freezeIfPaused()
{
    if (!m_player->isPlaying() && !m_frozenPosition) {
        if (const std::optional<double> position = livePosition())
            m_frozenPosition = *position;
    }
}

void LyricsSheetModel::setContentState(std::optional<LyricsData> lyrics, bool failed)
{
    const Content before = content();
    m_lyrics = std::move(lyrics);
    m_loadFailed = failed;
    const Content now = content();
    m_placed = false;
    m_lines.setLines(now == Content::List ? *m_lyrics->lines : QList<LyricsLine>());
    emit activeIndexChanged();
    if (now != before)
        emit contentChanged();
    updateTimer();
    tick();
}

QCoro::Task<> LyricsSheetModel::load()
{
    const quint64 loadNumber = ++m_loadCount;
    m_baseElapsed = 0;
    m_frozenPosition.reset();
    m_anchorMs = m_clock();
    freezeIfPaused();
    setContentState(std::nullopt, false);

    const Station s = shownStation();
    std::optional<double> duration;
    if (const PlaylistTrack *track = s.currentTrack(); track && track->duration)
        duration = double(*track->duration);
    else if (m_player->duration() > 0)
        duration = double(qint64(m_player->duration()));

    QPointer<LyricsSheetModel> self(this);
    APIClient *client = m_client;
    std::optional<LyricsEnvelope> reply;
    try {
        reply = co_await client->lyrics(s.genre, s.displayTrackTitle(), s.displayArtist(), duration);
    } catch (...) {
        // The error placard shows; the error itself is not.
    }
    // The sheet went away, or a newer load (another track) started meanwhile.
    if (!self || loadNumber != m_loadCount)
        co_return;
    if (!reply) {
        setContentState(std::nullopt, true);
        co_return;
    }
    // A reply without data shows the no-lyrics placard rather than an endless spinner.
    LyricsData data = reply->data.value_or(LyricsData{});
    if (data.elapsedSeconds && *data.elapsedSeconds > 0) {
        m_baseElapsed = *data.elapsedSeconds;
        m_anchorMs = m_clock();
        if (m_frozenPosition)
            m_frozenPosition = m_baseElapsed;
    }
    setContentState(std::move(data), false);
}

std::optional<double> LyricsSheetModel::livePosition() const
{
    if (!m_player->isLive())
        return std::nullopt;
    if (m_frozenPosition)
        return m_frozenPosition;
    return m_baseElapsed + double(m_clock() - m_anchorMs) / 1000.0;
}

double LyricsSheetModel::currentPosition() const
{
    if (const std::optional<double> live = livePosition())
        return *live;
    return m_player->currentTime();
}

void LyricsSheetModel::tick()
{
    if (content() != Content::List)
        return;
    const int index = m_lines.activeIndexAt(currentPosition() + LeadSeconds);
    const bool moved = index != m_lines.activeIndex();
    m_lines.setActiveIndex(index);
    if (moved)
        emit activeIndexChanged();
    if (moved && m_placed)
        emit activeLineMoved(index);
    m_placed = true;
}

void LyricsSheetModel::seekTo(int index)
{
    if (m_player->isLive() || index < 0 || index >= m_lines.rowCount())
        return;
    const std::optional<double> time = m_lines.lines().at(index).time;
    if (!time)
        return;
    m_player->seek(*time);
    m_frozenPosition.reset();
    tick();
}
