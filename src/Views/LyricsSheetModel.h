#pragma once

#include "LyricsLinesModel.h"
#include "Models/Station.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QtQml/qqmlregistration.h>

#include <functional>
#include <optional>

class APIClient;
class RadioPlayer;

// The synced-lyrics sheet's state and logic: the lyrics request for the track that plays, the
// four content states, the line being sung (moved on a 0.4 s tick, 0.2 s early) and the sheet's
// own clock for live streams, which starts at the backend's elapsed time (or at 0 from the start
// of the load), runs with the wall clock and stands still while playback is paused.
//
// QML (LyricsSheet.qml) creates one per presented sheet:
//     LyricsSheetModel { id: model; station: page.station; ticking: <list shown and window visible> }
//     Component.onCompleted: model.appear()
// It follows the player: when the playing track changes it loads again. A reply for a load that
// is no longer the latest (the track changed meanwhile) is dropped; a reply that arrives after the
// sheet went away changes nothing.
class LyricsSheetModel : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    // The station the sheet was opened for; shown only while the player has none.
    Q_PROPERTY(QVariant station READ stationValue WRITE setStationValue NOTIFY shownStationChanged)
    Q_PROPERTY(QString trackTitle READ trackTitle NOTIFY shownStationChanged)
    // The artist, else the station's name.
    Q_PROPERTY(QString subtitle READ subtitle NOTIFY shownStationChanged)
    Q_PROPERTY(Content content READ content NOTIFY contentChanged)
    Q_PROPERTY(bool showTranslation READ showTranslation WRITE setShowTranslation NOTIFY showTranslationChanged)
    Q_PROPERTY(LyricsLinesModel *lines READ lines CONSTANT)
    Q_PROPERTY(int activeIndex READ activeIndex NOTIFY activeIndexChanged)
    // Whether the highlight follows the clock: QML sets it while the list is shown in a visible
    // window, so nothing ticks unseen.
    Q_PROPERTY(bool ticking READ ticking WRITE setTicking NOTIFY tickingChanged)

public:
    enum class Content { Loading, List, NoLyrics, Failed };
    Q_ENUM(Content)

    // Milliseconds on a steady clock.
    using Clock = std::function<qint64()>;

    static constexpr int TickIntervalMs = 400;
    static constexpr double LeadSeconds = 0.2;

    explicit LyricsSheetModel(QObject *parent = nullptr);
    // Tests hand in their own player, client and clock; they must outlive the model.
    LyricsSheetModel(RadioPlayer *player, APIClient *client, Clock clock, QObject *parent = nullptr);
    ~LyricsSheetModel() override;

    void setStation(const Station &station);
    // The player's current station when it has one, else the one given.
    const Station &shownStation() const;
    QString trackTitle() const;
    QString subtitle() const;
    Content content() const;
    bool showTranslation() const { return m_showTranslation; }
    void setShowTranslation(bool show);
    LyricsLinesModel *lines() { return &m_lines; }
    int activeIndex() const { return m_lines.activeIndex(); }
    bool ticking() const { return m_ticking; }
    void setTicking(bool ticking);
    // The last lyrics answer (none while loading or after a failure).
    const std::optional<LyricsData> &lyrics() const { return m_lyrics; }

    // The sheet was shown: loads the lyrics of the shown station's track.
    Q_INVOKABLE void appear();
    // Resets the state and fetches the lyrics of the shown station; never throws.
    QCoro::Task<> load();
    // The position the highlight follows: the live clock for a live stream, else the player's.
    double currentPosition() const;
    // The live clock now; none when the player is not live.
    std::optional<double> livePosition() const;
    // One tick: moves the highlight to the line of the current position.
    Q_INVOKABLE void tick();
    // A tap on a line: seeks a rotation's track to the line's time.
    Q_INVOKABLE void seekTo(int index);
    // The translation toggle.
    Q_INVOKABLE void toggleTranslation() { setShowTranslation(!m_showTranslation); }

    static QString trackIdentity(const Station &station) { return station.currentTrackID(); }

signals:
    void shownStationChanged();
    void contentChanged();
    void showTranslationChanged();
    void activeIndexChanged();
    void tickingChanged();
    // The highlight moved to another line after it was first placed for the shown list: the view
    // centres that line (nothing to centre for -1).
    void activeLineMoved(int index);

private:
    QVariant stationValue() const { return m_station.toVariant(); }
    void setStationValue(const QVariant &station);
    void watchPlayer();
    void onPlayerStationChanged();
    void onPlayingChanged();
    void freezeIfPaused();
    void setContentState(std::optional<LyricsData> lyrics, bool failed);
    void updateTimer();

    RadioPlayer *m_player;
    APIClient *m_client;
    Clock m_clock;

    Station m_station;
    std::optional<LyricsData> m_lyrics;
    bool m_loadFailed = false;
    bool m_showTranslation = true;
    double m_baseElapsed = 0;
    qint64 m_anchorMs = 0;
    std::optional<double> m_frozenPosition;
    std::optional<QString> m_lastTrackID;
    // Every load gets a number; only the latest one's reply is taken.
    quint64 m_loadCount = 0;
    // The highlight was placed for the list now shown (later moves scroll the list).
    bool m_placed = false;
    bool m_ticking = false;
    QTimer m_timer;
    LyricsLinesModel m_lines;
};
