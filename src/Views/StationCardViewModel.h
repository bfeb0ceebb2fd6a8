#pragma once

#include "Models/Station.h"

#include <QObject>
#include <QString>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

class RadioPlayer;

// What a station card shows beyond the station's own fields: whether it is the player's current
// station (border, dimming and indicator), whether anything plays (indicator and live dot), and
// the count line or the live badge.
//     StationCardViewModel { id: model; station: card.station }
class StationCardViewModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The card's station (a Station record), fixed for the card's life.
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY stationChanged)
    Q_PROPERTY(QString displayName READ displayName NOTIFY stationChanged)
    Q_PROPERTY(QVariant artworkURL READ artworkURL NOTIFY stationChanged)
    // True: the count line ("<n> آهنگ"); false: the live badge.
    Q_PROPERTY(bool showsTrackCount READ showsTrackCount NOTIFY stationChanged)
    Q_PROPERTY(QString trackCountText READ trackCountText NOTIFY stationChanged)
    Q_PROPERTY(bool isSelected READ isSelected NOTIFY isSelectedChanged)
    // Whichever station plays.
    Q_PROPERTY(bool isPlaying READ isPlaying NOTIFY isPlayingChanged)

public:
    // Uses the shared player.
    explicit StationCardViewModel(QObject *parent = nullptr);
    // Tests hand in their own; it must outlive the model.
    explicit StationCardViewModel(RadioPlayer *player, QObject *parent = nullptr);

    const Station &station() const { return m_station; }
    void setStation(const Station &station);

    QString displayName() const { return m_station.displayName(); }
    QVariant artworkURL() const;
    bool showsTrackCount() const;
    QString trackCountText() const;
    bool isSelected() const;
    bool isPlaying() const;

signals:
    void stationChanged();
    void isSelectedChanged();
    void isPlayingChanged();

private:
    QVariant stationValue() const { return m_station.toVariant(); }
    void setStationValue(const QVariant &station);
    void updateSelection();

    RadioPlayer *m_player;
    Station m_station;
    bool m_isSelected = false;
};
