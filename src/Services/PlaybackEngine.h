#pragma once

#include "Platform/AudioPlayer.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <optional>

// What the radio player needs of the platform player: one player for the life of the process whose
// item is replaced per station or track. GstPlaybackEngine is the real one (one GStreamer
// playbin); tests drive a fake.
class PlaybackEngine : public QObject
{
    Q_OBJECT
public:
    using TimeControlStatus = AudioPlayer::TimeControlStatus;
    using Failure = PlayerItem::Failure;
    // Names one item for as long as the process runs; 0 is no item.
    using ItemId = quint64;

    using QObject::QObject;

    // Creates a new item for `url` and makes it the current one (the old one stops).
    virtual ItemId replaceCurrentItem(const QUrl &url) = 0;
    virtual ItemId currentItem() const = 0;
    // The current item's error when it has failed, and what kind of failure it was (None
    // otherwise).
    virtual std::optional<QString> currentItemError() const = 0;
    virtual Failure currentItemFailure() const = 0;
    // Seconds; not finite or not positive while unknown or for a stream without an end.
    virtual double currentItemDuration() const = 0;
    virtual TimeControlStatus timeControlStatus() const = 0;
    // Seconds into the current item, asked now (during a seek, its target).
    virtual double currentTime() const = 0;
    // While held, periodicTime comes only when playback starts or stops, the time jumps or the
    // item changes, not every 0.5 s; released, it comes at once and then every 0.5 s again.
    virtual void setPeriodicTimeHeld(bool held) = 0;

    virtual void play() = 0;
    virtual void pause() = 0;
    virtual void seek(double seconds) = 0;
    virtual void setVolume(float volume) = 0;

    // The numeric identifiers of the item's audio tracks once they are known; empty when the item
    // has none or loading failed.
    virtual QCoro::Task<QList<int>> loadAudioTracks(ItemId item) = 0;
    // Runs the item's audio track through the tap (the item's audio mix).
    virtual void setAudioTap(ItemId item, int trackID, AudioProcessingTapPtr tap) = 0;

signals:
    // The periodic time observer: every 0.5 s, with the playback position in seconds.
    void periodicTime(double seconds);
    // The item played to its end.
    void itemDidPlayToEnd(PlaybackEngine::ItemId item);
    // The item failed (it plays no more).
    void itemFailed(PlaybackEngine::ItemId item);
};
