#include "MiniPlayerBarModel.h"

#include "Services/OfflineStore.h"
#include "Services/RadioPlayer.h"

MiniPlayerBarModel::MiniPlayerBarModel(QObject *parent)
    : MiniPlayerBarModel(RadioPlayer::shared(), OfflineStore::shared(), parent)
{
}

MiniPlayerBarModel::MiniPlayerBarModel(RadioPlayer *player, OfflineStore *offline, QObject *parent)
    : QObject(parent), m_player(player), m_offline(offline)
{
    Q_ASSERT(m_player && m_offline);
    connect(m_player, &RadioPlayer::currentStationChanged, this, &MiniPlayerBarModel::stationChanged);
    // A finished or removed download changes which artwork file the current track has.
    connect(m_offline, &OfflineStore::entriesChanged, this, &MiniPlayerBarModel::stationChanged);
    connect(m_player, &RadioPlayer::isPlayingChanged, this, &MiniPlayerBarModel::playbackChanged);
    connect(m_player, &RadioPlayer::isBufferingChanged, this, &MiniPlayerBarModel::playbackChanged);
    connect(m_player, &RadioPlayer::recoveryChanged, this, &MiniPlayerBarModel::playbackChanged);
    connect(m_player, &RadioPlayer::themeColorChanged, this, &MiniPlayerBarModel::themeColorChanged);
}

QString MiniPlayerBarModel::stationName() const
{
    const auto &station = m_player->currentStation();
    return station ? station->displayName() : QString();
}

QString MiniPlayerBarModel::trackTitle() const
{
    const auto &station = m_player->currentStation();
    return station ? station->displayTrackTitle() : QString();
}

QVariant MiniPlayerBarModel::artworkURL() const
{
    const auto &station = m_player->currentStation();
    if (!station)
        return {};
    const std::optional<QString> url = currentTrackArtworkURL(*station, *m_offline);
    return url ? QVariant(*url) : QVariant();
}

bool MiniPlayerBarModel::isPlaying() const
{
    return m_player->isPlaying();
}

MiniPlayerBarModel::ButtonState MiniPlayerBarModel::buttonState(bool isPlaying, bool isBuffering)
{
    if (isBuffering && !isPlaying)
        return ButtonState::Spinner;
    return isPlaying ? ButtonState::Pause : ButtonState::Play;
}

MiniPlayerBarModel::ButtonState MiniPlayerBarModel::buttonState() const
{
    return buttonState(m_player->isPlaying(), m_player->isBuffering());
}

QString MiniPlayerBarModel::problemText() const
{
    return m_player->recoveryText();
}

bool MiniPlayerBarModel::playbackFailed() const
{
    return m_player->recovery() == RadioPlayer::Recovery::GaveUp;
}

QColor MiniPlayerBarModel::themeColor() const
{
    return m_player->themeColor();
}

void MiniPlayerBarModel::togglePlayPause()
{
    m_player->togglePlayPause();
}
