#pragma once

#include "Services/PlaybackEngine.h"

#include <QHash>

#include <memory>

class AudioPlayer;
class PlayerItem;
typedef struct _GstElement GstElement;

// The radio player's engine over the platform's one audio player (a GStreamer playbin).
class GstPlaybackEngine : public PlaybackEngine
{
    Q_OBJECT
public:
    // `audioSink` (floating, taken) replaces the system's audio output, e.g. a fake sink.
    explicit GstPlaybackEngine(QObject *parent = nullptr, GstElement *audioSink = nullptr);
    ~GstPlaybackEngine() override;

    ItemId replaceCurrentItem(const QUrl &url) override;
    ItemId currentItem() const override;
    std::optional<QString> currentItemError() const override;
    Failure currentItemFailure() const override;
    double currentItemDuration() const override;
    TimeControlStatus timeControlStatus() const override;
    double currentTime() const override;
    void setPeriodicTimeHeld(bool held) override;
    void play() override;
    void pause() override;
    void seek(double seconds) override;
    void setVolume(float volume) override;
    QCoro::Task<QList<int>> loadAudioTracks(ItemId item) override;
    void setAudioTap(ItemId item, int trackID, AudioProcessingTapPtr tap) override;

    AudioPlayer &player() const { return *m_player; }

private:
    ItemId idOf(const PlayerItem *item) const;
    std::shared_ptr<PlayerItem> itemFor(ItemId id) const;

    std::unique_ptr<AudioPlayer> m_player;
    ItemId m_lastId = 0;
    // Items still alive somewhere (the player's current one, a tap-binding task's).
    QHash<ItemId, std::weak_ptr<PlayerItem>> m_items;
};
