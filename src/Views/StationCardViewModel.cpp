#include "StationCardViewModel.h"

#include "Services/RadioPlayer.h"
#include "NumberTexts.h"
#include "StationValue.h"

StationCardViewModel::StationCardViewModel(QObject *parent)
    : StationCardViewModel(RadioPlayer::shared(), parent)
{
}

StationCardViewModel::StationCardViewModel(RadioPlayer *player, QObject *parent)
    : QObject(parent), m_player(player)
{
    Q_ASSERT(m_player);
    connect(m_player, &RadioPlayer::currentStationChanged, this, &StationCardViewModel::updateSelection);
    connect(m_player, &RadioPlayer::isPlayingChanged, this, &StationCardViewModel::isPlayingChanged);
}

void StationCardViewModel::setStation(const Station &station)
{
    m_station = station;
    emit stationChanged();
    updateSelection();
}

void StationCardViewModel::setStationValue(const QVariant &station)
{
    if (auto value = stationFromQml(station))
        setStation(*value);
}

QVariant StationCardViewModel::artworkURL() const
{
    return m_station.artworkURL ? QVariant(*m_station.artworkURL) : QVariant();
}

bool StationCardViewModel::showsTrackCount() const
{
    // The count needs both a list and an announced count; the number shown is the list's.
    return m_station.hasTracks() && m_station.trackCount.value_or(0) != 0;
}

QString StationCardViewModel::trackCountText() const
{
    return showsTrackCount() ? NumberTexts::trackCount(m_station.tracks->size()) : QString();
}

bool StationCardViewModel::isSelected() const
{
    const std::optional<Station> &current = m_player->currentStation();
    return current && current->genre == m_station.genre;
}

bool StationCardViewModel::isPlaying() const
{
    return m_player->isPlaying();
}

void StationCardViewModel::updateSelection()
{
    const bool selected = isSelected();
    if (selected == m_isSelected)
        return;
    m_isSelected = selected;
    emit isSelectedChanged();
}
