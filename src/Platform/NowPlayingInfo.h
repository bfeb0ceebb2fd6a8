#pragma once

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QString>

#include <optional>

// The picture shown with the playing item. `key` names it: the same key always means the same
// picture, so the desktop side writes it to disk once per key.
struct NowPlayingArtwork {
    QString key;
    QImage image;
    QByteArray data; // the bytes as downloaded, when known (saved without re-encoding)

    QSize boundsSize() const { return image.size(); }
};

// Whether the player plays, as the system media controls say it. Playing holds while the player
// means to play, also while it waits for data (the rate is 0 then, so the position stands still).
enum class NowPlayingState { FromRate, Playing, Paused, Stopped };

// What the system media controls show about the playing item.
struct NowPlayingInfo {
    // Stable identity of the item (the same track keeps the same identifier); empty when nothing
    // is current.
    QString identifier;
    QString title;
    std::optional<QString> artist;
    std::optional<QString> albumTitle;
    double playbackRate = 0.0;
    // FromRate: playing while the rate is above 0, else paused (stopped without an item).
    NowPlayingState state = NowPlayingState::FromRate;
    std::optional<double> playbackDuration;     // seconds
    std::optional<double> elapsedPlaybackTime;  // seconds, as of the moment the info was set
    std::optional<int> mediaType;               // 1: audio
    bool isLiveStream = false;
    std::optional<NowPlayingArtwork> artwork;
};

// Holds the now-playing information of the process. The player replaces it as a whole; the
// desktop media controls (MprisService) observe it.
class NowPlayingInfoCenter : public QObject
{
    Q_OBJECT
public:
    explicit NowPlayingInfoCenter(QObject *parent = nullptr);

    // The process-wide instance, the one exported on the session bus.
    static NowPlayingInfoCenter *shared();

    void setNowPlayingInfo(const NowPlayingInfo &info);
    const NowPlayingInfo &nowPlayingInfo() const { return m_info; }
    // How many times the information was set (tests use it to wait for an update).
    int updateCount() const { return m_updates; }

signals:
    void nowPlayingInfoChanged();

private:
    NowPlayingInfo m_info;
    int m_updates = 0;
};
