#pragma once

#include "Platform/PlayerItem.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <atomic>
#include <functional>
#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstMessage GstMessage;
class AudioTapSink;
class QTimer;

// The one audio player: a GStreamer playbin (audio only) whose current item can be replaced.
// It lives on the GUI thread; bus messages reach it there through a sync handler and a queued
// call, tagged with the item they belong to, so nothing of a replaced item reaches the new one.
//
// Network items pause while their buffer is below 100 % and resume at 100 % as long as playback
// is wanted (the rate is 1); meanwhile the time-control status is WaitingToPlay. So does an item
// whose position stops moving while it should play (a server that stops sending without the
// buffer noticing). A live stream (no end) that plays goes on through a brief dip of its
// buffer, as at each join of a chained stream. An item that waits for data longer than the
// stall limit fails like any other broken item (itemFailed); a stream without an end (a live
// station) waits 6 s at most.
//
// Network items are read through a bounded ring buffer, which lets demuxers that need random
// access (Ogg) find their length and seek by byte ranges, as they do on local files. An Ogg
// stream without a length (a live station) is read as it comes: through the buffer its demuxer
// looks for an end that never comes. An item whose server refuses ranges, or whose demuxer finds
// no length through the buffer, is opened again as a plain stream (playable, not seekable).
class AudioPlayer : public QObject
{
    Q_OBJECT
public:
    enum class TimeControlStatus { Paused, WaitingToPlay, Playing };
    Q_ENUM(TimeControlStatus)

    // `audioSink` (floating, taken) replaces the system's default audio output, e.g. a fake sink.
    explicit AudioPlayer(QObject *parent = nullptr, GstElement *audioSink = nullptr);
    ~AudioPlayer() override;

    PlayerItemPtr currentItem() const { return m_item; }
    // Stops the current item and makes `item` current (nullptr: none). A new item starts
    // playing when the rate is 1, else it is opened and waits paused.
    void replaceCurrentItem(PlayerItemPtr item);

    void play();
    void pause();
    float rate() const { return m_rate; }
    TimeControlStatus timeControlStatus() const { return m_status; }

    float volume() const { return m_volume; }
    void setVolume(float volume); // 0...1

    // Seconds into the current item; while a seek runs, its target.
    double currentTime() const;
    // Seeks the current item. The completion gets true when the seek finished, false when it
    // was refused, interrupted by another seek or by a new item.
    void seek(double seconds, std::function<void(bool finished)> completion = {});

    // Calls `block` with the current time every `intervalSeconds` while the rate is 1, and
    // once whenever playback starts or stops, the time jumps or the item changes. The observer
    // goes away with `context`. Returns a token for removeTimeObserver.
    int addPeriodicTimeObserver(double intervalSeconds, QObject *context, std::function<void(double)> block);
    void removeTimeObserver(int token);
    // While held (nothing on screen shows the time), the observers are not called at their
    // interval, only at those events; released, they are called at once and go on as before.
    void setPeriodicTimeHeld(bool held);

    // How long a started item may wait for data before it fails (default 30 s; a stream without
    // an end waits at most 6 s).
    void setStallFailureSeconds(int seconds) { m_stallFailureMs = seconds * 1000; }

    // The playbin, for diagnostics and tests.
    GstElement *pipeline() const { return m_playbin; }
    // True when the audio output could take a tap (the tap elements exist).
    bool supportsAudioTaps() const;

signals:
    void currentItemChanged();
    void timeControlStatusChanged();
    void rateChanged();
    void volumeChanged();
    // The item played to its end. Named so that a listener can ignore a replaced item.
    void itemDidPlayToEnd(PlayerItemPtr item);
    void itemFailed(PlayerItemPtr item);

private:
    struct Observer {
        QTimer *timer = nullptr;
        QPointer<QObject> context;
        std::function<void(double)> block;
    };

    friend struct AudioPlayerBus;
    void handleMessage(GstMessage *message, quint64 serial);
    void handleError(GstMessage *message);
    void handleEndOfStream();
    void handleBuffering(int percent);
    void handleAsyncDone();
    void handleStateChanged(GstMessage *message);
    void updateDuration();
    double outputPosition() const; // seconds; -1 when the output cannot tell
    void resolveAudioTracks();
    void applyState();
    void stopStream(bool reset = false);
    void updateStatus();
    void setRate(float rate);
    void finishSeek(bool finished);
    void startPendingSeek();
    void notifyObservers();
    void deliverTick();
    void updateObserverTimers();
    void restartAtEnd();
    void failCurrentItem(const QString &error, PlayerItem::Failure failure);
    void handleHttpAnswer(GstMessage *message);
    void attachTapOfCurrentItem();
    void updateProgressWatch();
    void checkProgress();
    void resetProgressWatch();
    void setRingBuffer(bool on);
    void reopenAsPlainStream();

    GstElement *m_playbin = nullptr;
    std::unique_ptr<AudioTapSink> m_sink;
    PlayerItemPtr m_item;
    // Increased on every item change; bus messages carry the value current when they were posted.
    std::atomic<quint64> m_serial{0};

    float m_rate = 0;
    float m_volume = 1;
    TimeControlStatus m_status = TimeControlStatus::Paused;
    int m_requestedState = 0;  // GstState last asked for
    int m_pipelineState = 0;   // GstState playbin reported last
    bool m_buffering = false;
    bool m_bufferLow = false; // the last buffering message was below 100 %
    QElapsedTimer m_bufferLowSince; // a live stream that plays: since its buffer went low
    bool m_live = false;
    bool m_atEnd = false;
    bool m_prerolled = false;
    bool m_ringBuffer = false;
    bool m_readsPlain = false; // this item's stream is read without the ring buffer
    mutable double m_lastPosition = 0;
    bool m_resumeRefused = false; // the server refused to resume this track where it stalled
    bool m_tickPending = false;

    bool m_seeking = false;      // a seek was sent and waits for its ASYNC_DONE
    bool m_seekQueued = false;   // a seek waits for the item to preroll
    double m_seekTarget = 0;
    std::function<void(bool)> m_seekCompletion;

    // Progress watch: runs once a second while an opened item should play.
    QTimer *m_progressWatch = nullptr;
    double m_watchedPosition = -1;
    int m_stillTicks = 0;
    bool m_stalled = false;
    qint64 m_waitingMs = 0;
    int m_stallFailureMs = 30'000;

    QHash<int, Observer> m_observers;
    int m_nextObserverToken = 1;
    bool m_periodicTimeHeld = false;
};
