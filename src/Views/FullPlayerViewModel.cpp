#include "FullPlayerViewModel.h"

#include "HomeViewModel.h"
#include "Services/AuthStore.h"
#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

#include <algorithm>
#include <cmath>

using namespace Qt::StringLiterals;

const QString FullPlayerViewModel::PlayingName = u"مکث"_s;
const QString FullPlayerViewModel::PausedName = u"پخش"_s;

FullPlayerViewModel::FullPlayerViewModel(QObject *parent)
    : FullPlayerViewModel(RadioPlayer::shared(), &AuthStore::shared(), OfflineStore::shared(), parent)
{
}

FullPlayerViewModel::FullPlayerViewModel(RadioPlayer *player, AuthStore *auth, OfflineStore *offline,
                                         QObject *parent)
    : QObject(parent), m_player(player), m_auth(auth), m_offline(offline)
{
    Q_ASSERT(player && auth && offline);
    m_lastIsPlaying = player->isPlaying();
    m_layout = layoutFor(m_contentSize);

    connect(player, &RadioPlayer::currentStationChanged, this, [this] {
        emit stationChanged();
        emit favoriteChanged();
    });
    // The player announces every assignment; the record follows real changes only.
    connect(player, &RadioPlayer::isPlayingChanged, this, [this] {
        const bool playing = m_player->isPlaying();
        if (playing != m_lastIsPlaying) {
            m_lastIsPlaying = playing;
            setRotating(playing);
        }
        emit transportChanged();
    });
    connect(player, &RadioPlayer::isBufferingChanged, this, &FullPlayerViewModel::transportChanged);
    connect(player, &RadioPlayer::recoveryChanged, this, &FullPlayerViewModel::transportChanged);
    connect(player, &RadioPlayer::isLiveChanged, this, &FullPlayerViewModel::transportChanged);
    connect(player, &RadioPlayer::durationChanged, this, [this] {
        emit timeChanged();
        emit transportChanged();
    });
    connect(player, &RadioPlayer::currentTimeChanged, this, &FullPlayerViewModel::timeChanged);
    connect(auth, &AuthStore::favoriteIDsChanged, this, &FullPlayerViewModel::favoriteChanged);
    // A finished or removed download changes which artwork file the current track has.
    connect(offline, &OfflineStore::entriesChanged, this, &FullPlayerViewModel::stationChanged);
    connect(offline, &OfflineStore::lastErrorChanged, this, &FullPlayerViewModel::offlineErrorChanged);
}

// ------------------------------------------------------------------ rules

FullPlayerViewModel::Layout FullPlayerViewModel::layoutFor(QSizeF size)
{
    Layout layout;
    layout.compact = size.height() < CompactBelowHeight;
    const double cap = layout.compact ? 240 : 300;
    const double factor = layout.compact ? 0.34 : 0.30;
    layout.recordSide = std::max(0.0, std::min({size.width() * 0.72, cap, size.height() * factor}));
    layout.playSize = layout.compact ? 66 : 78;
    layout.sideMargin = layout.compact ? 20 : 28;
    return layout;
}

QString FullPlayerViewModel::format(double seconds)
{
    if (!std::isfinite(seconds) || seconds <= 0)
        return u"0:00"_s;
    // The largest whole number of seconds below 2^63, so that the rounding below stays defined.
    constexpr double largest = 9223372036854774784.0;
    const long long s = std::llround(std::min(seconds, largest));
    return QString::asprintf("%lld:%02lld", s / 60, s % 60);
}

// ------------------------------------------------------------------ layout and state

void FullPlayerViewModel::setContentSize(QSizeF size)
{
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    m_layout = layoutFor(size);
    emit layoutChanged();
}

void FullPlayerViewModel::appear()
{
    setRotating(true);
}

void FullPlayerViewModel::setRotating(bool rotating)
{
    if (rotating == m_isRotating)
        return;
    m_isRotating = rotating;
    if (rotating)
        m_rotation += 360;
    emit rotationChanged();
}

void FullPlayerViewModel::dragChanged(double dx, double dy)
{
    if (dy > 0 && std::abs(dx) < dy)
        setDragOffset(dy);
}

bool FullPlayerViewModel::dragEnded(double dx, double dy)
{
    if (dy > DismissDistance && std::abs(dx) < dy)
        return true;
    setDragOffset(0);
    return false;
}

void FullPlayerViewModel::setDragOffset(double offset)
{
    if (offset == m_dragOffset)
        return;
    m_dragOffset = offset;
    emit dragOffsetChanged();
}

void FullPlayerViewModel::setFlag(bool &flag, bool value)
{
    if (flag == value)
        return;
    flag = value;
    emit sheetsChanged();
}

void FullPlayerViewModel::setFavAnimating(bool animating)
{
    if (animating == m_favAnimating)
        return;
    m_favAnimating = animating;
    emit favAnimatingChanged();
}

// ------------------------------------------------------------------ what the pieces show

QString FullPlayerViewModel::headerTitle() const
{
    const auto &station = m_player->currentStation();
    return station ? station->displayName() : RadioPlayer::DefaultTitle;
}

QString FullPlayerViewModel::trackTitle() const
{
    const auto &station = m_player->currentStation();
    return station ? station->displayTrackTitle() : QString();
}

QString FullPlayerViewModel::artistLine() const
{
    const auto &station = m_player->currentStation();
    if (!station)
        return {};
    const QString artist = station->displayArtist();
    return artist.isEmpty() ? station->displayName() : artist;
}

QVariant FullPlayerViewModel::artworkURL() const
{
    const auto &station = m_player->currentStation();
    if (!station)
        return {};
    const std::optional<QString> url = currentTrackArtworkURL(*station, *m_offline);
    return url ? QVariant(*url) : QVariant();
}

bool FullPlayerViewModel::isFavorite() const
{
    const auto &station = m_player->currentStation();
    return station && m_auth->favoriteIDs().contains(station->currentTrackID());
}

QString FullPlayerViewModel::elapsedText() const
{
    return format(m_player->currentTime());
}

QString FullPlayerViewModel::totalText() const
{
    return format(m_player->duration());
}

double FullPlayerViewModel::seekMaximum() const
{
    return m_player->duration() > 0 ? m_player->duration() : 1.0;
}

bool FullPlayerViewModel::canSkipSeconds() const
{
    return !m_player->isLive() && m_player->duration() > 0;
}

bool FullPlayerViewModel::canSkipTracks() const
{
    return m_player->canSkipTracks();
}

bool FullPlayerViewModel::showsSpinner() const
{
    return m_player->isBuffering() && !m_player->isPlaying();
}

QString FullPlayerViewModel::playSymbol() const
{
    return m_player->isPlaying() ? u"pause.fill"_s : u"play.fill"_s;
}

QString FullPlayerViewModel::playPauseName() const
{
    return m_player->isPlaying() ? PlayingName : PausedName;
}

QString FullPlayerViewModel::recoveryText() const
{
    return m_player->recoveryText();
}

bool FullPlayerViewModel::playbackFailed() const
{
    return m_player->recovery() == RadioPlayer::Recovery::GaveUp;
}

QString FullPlayerViewModel::statusText() const
{
    if (const QString recovery = recoveryText(); !recovery.isEmpty())
        return recovery;
    if (!showsSpinner() && !m_player->isPlaying())
        return {};
    return HomeViewModel::statusLabel(showsSpinner(), m_player->isPlaying(), false, 0);
}

QString FullPlayerViewModel::offlineError() const
{
    return m_offline->lastError().value_or(QString());
}

// ------------------------------------------------------------------ actions

void FullPlayerViewModel::handleFavoriteTap()
{
    const std::optional<Station> &station = m_player->currentStation();
    if (!station)
        return;
    if (!m_auth->isAuthed()) {
        setShowLogin(true);
        return;
    }
    setFavAnimating(true);
    // The copy decides which track is toggled, even if playback moves on meanwhile.
    toggleFavorite(this, m_auth, *station);
}

QCoro::Task<> FullPlayerViewModel::toggleFavorite(QPointer<FullPlayerViewModel> screen, QPointer<AuthStore> auth,
                                                  Station station)
{
    // The store reloads the liked tracks on success, which redraws the heart; the answer itself
    // is not needed. A closed screen is left alone.
    if (auth)
        co_await auth->toggleFavorite(std::move(station));
    if (screen)
        screen->setFavAnimating(false);
}

void FullPlayerViewModel::handleAddTap()
{
    if (m_auth->isAuthed())
        setShowAddToPlaylist(true);
    else
        setShowLogin(true);
}

QVariant FullPlayerViewModel::stationCopy() const
{
    const auto &station = m_player->currentStation();
    return station ? station->toVariant() : QVariant();
}
