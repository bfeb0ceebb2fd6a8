#include "Platform/AudioPlayer.h"

#include "Platform/AudioProcessingTap.h"
#include "Platform/StreamAnswer.h"

#include <QTimer>
#include <gst/gst.h>

#include <cmath>

using stream_answer::HttpAnswer;
using stream_answer::httpAnswer;
using stream_answer::isEndless;
using stream_answer::readsWithoutRingBuffer;

namespace {

// playbin's GstPlayFlags: audio only, volume applied in software.
constexpr guint PlayFlagAudio = 1u << 1;
constexpr guint PlayFlagSoftVolume = 1u << 4;
// Network items go through a ring buffer of this size (in memory, filled by range requests).
constexpr guint64 RingBufferBytes = 4 * 1024 * 1024;
constexpr int ProgressWatchMs = 1000;
// Ticks without progress while playing before the item counts as stalled.
constexpr int StalledAfterTicks = 2;
// How long a live stream that plays goes on with its buffer below 100 % before it pauses to fill it.
constexpr int BufferDipMs = 500;

// A stream without an end gives up after this long without data; a track after the player's
// stall limit.
constexpr int StreamStallFailureMs = 6000;

bool isPlayableAddress(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")
                             || scheme == QLatin1String("file"));
}

} // namespace

// Runs on whatever thread posts a message: hands the messages the player needs to the GUI
// thread, tagged with the item that was current when they were posted. A sync handler that
// answers GST_BUS_DROP owns the message: every one must be unreffed here or by the call it is
// handed to, or it stays alive with its source element, and with that a whole track's source,
// parser and decoder.
struct AudioPlayerBus {
    static bool wanted(const AudioPlayer *self, GstMessage *message)
    {
        switch (GST_MESSAGE_TYPE(message)) {
        case GST_MESSAGE_ERROR:
        case GST_MESSAGE_EOS:
        case GST_MESSAGE_BUFFERING:
        case GST_MESSAGE_ASYNC_DONE:
        case GST_MESSAGE_DURATION_CHANGED:
        case GST_MESSAGE_CLOCK_LOST:
            return true;
        case GST_MESSAGE_STATE_CHANGED:
            return GST_MESSAGE_SRC(message) == GST_OBJECT(self->m_playbin);
        case GST_MESSAGE_ELEMENT:
            return httpAnswer(message).has_value();
        default:
            return false;
        }
    }

    static GstBusSyncReply onSync(GstBus *, GstMessage *message, gpointer data)
    {
        auto *self = static_cast<AudioPlayer *>(data);
        if (!wanted(self, message)) {
            gst_message_unref(message);
            return GST_BUS_DROP;
        }
        if (const std::optional<HttpAnswer> answer = httpAnswer(message); answer && readsWithoutRingBuffer(*answer))
            readWithoutRingBuffer(message);
        const quint64 serial = self->m_serial.load();
        // The queued call takes the bus's reference over.
        std::shared_ptr<GstMessage> held(message, gst_message_unref);
        QMetaObject::invokeMethod(
            self, [self, held, serial] { self->handleMessage(held.get(), serial); }, Qt::QueuedConnection);
        return GST_BUS_DROP;
    }

    // The source's bin reads the ring buffer's size only once the stream's type is found, after
    // the answer's headers: set here, on the thread that posts them, it holds for this stream.
    static void readWithoutRingBuffer(GstMessage *message)
    {
        GstObject *bin = gst_object_get_parent(GST_MESSAGE_SRC(message));
        if (!bin)
            return;
        if (g_object_class_find_property(G_OBJECT_GET_CLASS(bin), "ring-buffer-max-size"))
            g_object_set(bin, "ring-buffer-max-size", guint64(0), nullptr);
        gst_object_unref(bin);
    }
};

AudioPlayer::AudioPlayer(QObject *parent, GstElement *audioSink)
    : QObject(parent)
{
    m_playbin = gst_element_factory_make("playbin", nullptr);
    if (!m_playbin) {
        if (audioSink)
            gst_object_unref(gst_object_ref_sink(audioSink));
        qWarning("AudioPlayer: GStreamer's playbin is missing; nothing can be played");
        return;
    }
    gst_object_ref_sink(m_playbin);
    g_object_set(m_playbin, "flags", PlayFlagAudio | PlayFlagSoftVolume, nullptr);
    // In plain streaming mode the queue after an HTTP source lets data only flow downstream, so
    // the Ogg demuxer works in push mode: its probe for the stream's end is lost, it reports the
    // time it has seen as the duration, and a seek past that starts the track over. The ring
    // buffer answers random-access reads (by range requests), as a local file does.
    setRingBuffer(true);
    m_sink = std::make_unique<AudioTapSink>(audioSink);
    if (m_sink->isValid())
        g_object_set(m_playbin, "audio-sink", m_sink->bin(), nullptr);
    g_object_set(m_playbin, "volume", double(m_volume), nullptr);

    GstBus *bus = gst_element_get_bus(m_playbin);
    gst_bus_set_sync_handler(bus, AudioPlayerBus::onSync, this, nullptr);
    gst_object_unref(bus);
    m_requestedState = GST_STATE_NULL;
    m_pipelineState = GST_STATE_NULL;
}

void AudioPlayer::resetProgressWatch()
{
    m_watchedPosition = -1;
    m_stillTicks = 0;
    m_stalled = false;
    m_waitingMs = 0;
}

void AudioPlayer::updateProgressWatch()
{
    const bool wanted = m_playbin && m_rate > 0 && m_item && m_prerolled && !m_atEnd
                        && m_item->status() != PlayerItem::Status::Failed;
    if (!wanted) {
        if (m_progressWatch)
            m_progressWatch->stop();
        resetProgressWatch();
        return;
    }
    if (!m_progressWatch) {
        m_progressWatch = new QTimer(this);
        m_progressWatch->setInterval(ProgressWatchMs);
        connect(m_progressWatch, &QTimer::timeout, this, &AudioPlayer::checkProgress);
    }
    if (!m_progressWatch->isActive())
        m_progressWatch->start();
}

void AudioPlayer::checkProgress()
{
    if (m_seeking || m_seekQueued) {
        resetProgressWatch();
        return;
    }
    if (m_bufferLow && !m_buffering && m_bufferLowSince.elapsed() >= BufferDipMs) {
        m_buffering = true;
        applyState();
        updateStatus();
    }
    if (m_pipelineState == GST_STATE_PLAYING && !m_buffering) {
        const double seconds = outputPosition();
        if (seconds > m_watchedPosition + 0.05) {
            m_stillTicks = 0;
            if (m_stalled) {
                m_stalled = false;
                updateStatus();
            }
        } else if (++m_stillTicks >= StalledAfterTicks && !m_stalled) {
            m_stalled = true;
            updateStatus();
        }
        m_watchedPosition = std::max(m_watchedPosition, seconds);
    }
    if (!m_buffering && !m_stalled) {
        m_waitingMs = 0;
        return;
    }
    m_waitingMs += ProgressWatchMs;
    const int limit = m_item->isEndless() ? std::min(m_stallFailureMs, StreamStallFailureMs) : m_stallFailureMs;
    if (m_waitingMs >= limit)
        failCurrentItem(QStringLiteral("The stream stopped sending data."), PlayerItem::Failure::Stalled);
}

AudioPlayer::~AudioPlayer()
{
    if (m_playbin) {
        // NULL joins every streaming thread, so no message can be posted from elsewhere after it.
        gst_element_set_state(m_playbin, GST_STATE_NULL);
        m_sink->streamStopped();
        GstBus *bus = gst_element_get_bus(m_playbin);
        gst_bus_set_sync_handler(bus, nullptr, nullptr, nullptr);
        gst_object_unref(bus);
    }
    if (m_item) {
        m_item->m_player = nullptr;
        disconnect(m_item.get(), nullptr, this, nullptr);
        m_item->finishTracks(std::nullopt);
    }
    if (m_seekCompletion)
        m_seekCompletion(false);
    if (m_sink)
        m_sink->detach();
    m_sink.reset();
    if (m_playbin)
        gst_object_unref(m_playbin);
}

bool AudioPlayer::supportsAudioTaps() const
{
    return m_sink && m_sink->isValid();
}

void AudioPlayer::replaceCurrentItem(PlayerItemPtr item)
{
    if (item == m_item || !m_playbin)
        return;
    if (item && item->m_player && item->m_player != this)
        item->m_player->replaceCurrentItem(nullptr);

    stopStream();
    if (m_sink)
        m_sink->detach();
    ++m_serial;

    const PlayerItemPtr old = std::move(m_item);
    m_item = item;
    if (old) {
        old->m_player = nullptr;
        disconnect(old.get(), nullptr, this, nullptr);
        old->finishTracks(std::nullopt);
    }
    m_buffering = false;
    m_live = false;
    m_atEnd = false;
    m_prerolled = false;
    m_readsPlain = false;
    m_lastPosition = 0;
    m_resumeRefused = false;
    resetProgressWatch();
    setRingBuffer(true);

    if (item) {
        item->m_player = this;
        connect(item.get(), &PlayerItem::audioMixChanged, this, &AudioPlayer::attachTapOfCurrentItem);
        if (item->status() != PlayerItem::Status::Failed) {
            if (isPlayableAddress(item->url())) {
                attachTapOfCurrentItem();
                if (m_playbin) {
                    g_object_set(m_playbin, "uri", item->url().toString(QUrl::FullyEncoded).toUtf8().constData(),
                                 nullptr);
                }
            } else {
                const quint64 serial = m_serial;
                QMetaObject::invokeMethod(
                    this,
                    [this, serial] {
                        if (serial == m_serial && m_item)
                            failCurrentItem(QStringLiteral("Unsupported address: ") + m_item->url().toString(),
                                            PlayerItem::Failure::Unplayable);
                    },
                    Qt::QueuedConnection);
            }
        }
    }
    applyState();
    updateStatus();
    emit currentItemChanged();
    notifyObservers();
}

void AudioPlayer::play()
{
    if (m_atEnd && m_rate <= 0)
        restartAtEnd();
    setRate(1);
}

void AudioPlayer::pause()
{
    setRate(0);
}

void AudioPlayer::setVolume(float volume)
{
    if (!std::isfinite(volume))
        return;
    m_volume = std::clamp(volume, 0.0f, 1.0f);
    if (m_playbin)
        g_object_set(m_playbin, "volume", double(m_volume), nullptr);
    emit volumeChanged();
}

double AudioPlayer::outputPosition() const
{
    // The output is the only sink there is (audio only), and what playbin would answer is its
    // position: asked directly, the query skips the walk through playbin's and playsink's bins,
    // which is most of what the two to three queries a second cost while playing.
    GstElement *output = m_sink && m_sink->isValid() ? m_sink->sink() : m_playbin;
    gint64 position = -1;
    if (!gst_element_query_position(output, GST_FORMAT_TIME, &position) || position < 0)
        return -1;
    return double(position) / GST_SECOND;
}

double AudioPlayer::currentTime() const
{
    if (!m_item)
        return 0;
    if (m_seeking || m_seekQueued)
        return m_seekTarget;
    if (m_playbin && m_pipelineState >= GST_STATE_PAUSED) {
        if (const double seconds = outputPosition(); seconds >= 0)
            m_lastPosition = seconds;
    }
    return m_lastPosition;
}

void AudioPlayer::seek(double seconds, std::function<void(bool)> completion)
{
    finishSeek(false);
    m_seekCompletion = std::move(completion);
    if (!m_item || m_item->status() == PlayerItem::Status::Failed || !std::isfinite(seconds)) {
        finishSeek(false);
        return;
    }
    m_seekTarget = std::max(0.0, seconds);
    if (m_atEnd) {
        m_atEnd = false;
        applyState();
    }
    if (!m_prerolled) {
        m_seekQueued = true;
        return;
    }
    startPendingSeek();
}

void AudioPlayer::startPendingSeek()
{
    m_seekQueued = false;
    GstQuery *query = gst_query_new_seeking(GST_FORMAT_TIME);
    gboolean seekable = TRUE;
    if (gst_element_query(m_playbin, query))
        gst_query_parse_seeking(query, nullptr, &seekable, nullptr, nullptr);
    gst_query_unref(query);
    if (!seekable || !gst_element_seek_simple(m_playbin, GST_FORMAT_TIME,
                                              GstSeekFlags(GST_SEEK_FLAG_FLUSH | GST_SEEK_FLAG_ACCURATE),
                                              gint64(m_seekTarget * GST_SECOND))) {
        finishSeek(false);
        return;
    }
    m_seeking = true;
    m_lastPosition = m_seekTarget;
    resetProgressWatch();
}

void AudioPlayer::finishSeek(bool finished)
{
    const bool wasRunning = m_seeking || m_seekQueued;
    m_seeking = false;
    m_seekQueued = false;
    if (m_seekCompletion) {
        auto completion = std::move(m_seekCompletion);
        m_seekCompletion = nullptr;
        QMetaObject::invokeMethod(this, [completion, finished] { completion(finished); }, Qt::QueuedConnection);
    }
    if (finished && wasRunning)
        notifyObservers();
}

int AudioPlayer::addPeriodicTimeObserver(double intervalSeconds, QObject *context, std::function<void(double)> block)
{
    const int token = m_nextObserverToken++;
    Observer observer;
    observer.timer = new QTimer(this);
    observer.timer->setInterval(std::max(1, int(std::lround(intervalSeconds * 1000))));
    observer.context = context;
    observer.block = std::move(block);
    connect(observer.timer, &QTimer::timeout, this, [this, token] {
        const auto it = m_observers.constFind(token);
        if (it == m_observers.cend())
            return;
        if (!it->context) {
            removeTimeObserver(token);
            return;
        }
        const auto block = it->block;
        block(currentTime());
    });
    if (context)
        connect(context, &QObject::destroyed, this, [this, token] { removeTimeObserver(token); });
    m_observers.insert(token, observer);
    updateObserverTimers();
    return token;
}

void AudioPlayer::removeTimeObserver(int token)
{
    const auto it = m_observers.find(token);
    if (it == m_observers.end())
        return;
    it->timer->deleteLater();
    m_observers.erase(it);
}

void AudioPlayer::notifyObservers()
{
    if (m_tickPending)
        return;
    m_tickPending = true;
    QMetaObject::invokeMethod(this, &AudioPlayer::deliverTick, Qt::QueuedConnection);
}

void AudioPlayer::deliverTick()
{
    m_tickPending = false;
    const double now = currentTime();
    for (const int token : m_observers.keys()) {
        const auto it = m_observers.constFind(token);
        if (it == m_observers.cend() || !it->context)
            continue;
        const auto block = it->block;
        block(now);
    }
}

void AudioPlayer::updateObserverTimers()
{
    const bool running = m_rate > 0 && !m_periodicTimeHeld;
    for (Observer &observer : m_observers) {
        if (running && !observer.timer->isActive())
            observer.timer->start();
        else if (!running)
            observer.timer->stop();
    }
}

void AudioPlayer::setPeriodicTimeHeld(bool held)
{
    if (held == m_periodicTimeHeld)
        return;
    m_periodicTimeHeld = held;
    updateObserverTimers();
    if (!held)
        notifyObservers();
}

void AudioPlayer::setRate(float rate)
{
    if (rate == m_rate)
        return;
    m_rate = rate;
    applyState();
    emit rateChanged();
    updateStatus();
    updateObserverTimers();
    notifyObservers();
}

void AudioPlayer::applyState()
{
    if (!m_playbin)
        return;
    GstState target = GST_STATE_READY;
    if (m_item && m_item->status() != PlayerItem::Status::Failed && isPlayableAddress(m_item->url()))
        target = (m_rate > 0 && !m_buffering && !m_atEnd) ? GST_STATE_PLAYING : GST_STATE_PAUSED;
    if (target == m_requestedState)
        return;
    // A state change still in progress is left to finish: playbin posts the state it reached,
    // and this runs again then. Asking for PAUSED or PLAYING while playbin is about to continue
    // from a finished preroll to PLAYING cancels that continuation and leaves playbin waiting
    // forever (PAUSED, pending PLAYING, with nothing left to do it). READY and NULL are safe.
    if (target >= GST_STATE_PAUSED
        && gst_element_get_state(m_playbin, nullptr, nullptr, 0) == GST_STATE_CHANGE_ASYNC)
        return;
    m_requestedState = target;
    const GstStateChangeReturn result = gst_element_set_state(m_playbin, target);
    if (result == GST_STATE_CHANGE_NO_PREROLL) {
        m_live = true;
        m_buffering = false;
    } else if (result == GST_STATE_CHANGE_FAILURE && m_item) {
        // The error message that explains the failure is queued before this check.
        const quint64 serial = m_serial;
        QMetaObject::invokeMethod(
            this,
            [this, serial] {
                if (serial == m_serial && m_item && m_item->status() != PlayerItem::Status::Failed)
                    failCurrentItem(QStringLiteral("The item could not be opened."), PlayerItem::Failure::Other);
            },
            Qt::QueuedConnection);
    }
}

void AudioPlayer::stopStream(bool reset)
{
    if (!m_playbin) {
        m_buffering = false;
        finishSeek(false);
        return;
    }
    const GstState target = reset ? GST_STATE_NULL : GST_STATE_READY;
    // Where the audio stopped, read while the output can still tell (a track goes on from there).
    currentTime();
    if (m_requestedState > target || m_pipelineState > target)
        gst_element_set_state(m_playbin, target);
    m_requestedState = target;
    m_pipelineState = std::min(m_pipelineState, int(target));
    m_sink->streamStopped();
    m_buffering = false;
    m_bufferLow = false;
    finishSeek(false);
}

void AudioPlayer::restartAtEnd()
{
    // Playing an item that has ended opens it again from its start (also for streams that
    // cannot seek).
    stopStream();
    ++m_serial;
    m_atEnd = false;
    m_prerolled = false;
    m_live = false;
    m_lastPosition = 0;
    m_resumeRefused = false;
}

void AudioPlayer::updateStatus()
{
    TimeControlStatus status = TimeControlStatus::WaitingToPlay;
    const bool playing = m_pipelineState == GST_STATE_PLAYING;
    if (m_rate <= 0)
        status = TimeControlStatus::Paused;
    else if (m_item && m_item->status() != PlayerItem::Status::Failed && playing && !m_buffering && !m_stalled
             && !m_atEnd)
        status = TimeControlStatus::Playing;
    updateProgressWatch();
    if (status == m_status)
        return;
    m_status = status;
    emit timeControlStatusChanged();
    notifyObservers();
}

void AudioPlayer::failCurrentItem(const QString &error, PlayerItem::Failure failure)
{
    const PlayerItemPtr item = m_item;
    if (!item || item->status() == PlayerItem::Status::Failed)
        return;
    // After an error, READY can leave playbin with sources of earlier items that start again
    // with the next one; NULL resets it.
    stopStream(true);
    item->markFailed(error, failure);
    m_rate = 0;
    applyState();
    emit rateChanged();
    updateStatus();
    updateObserverTimers();
    emit itemFailed(item);
    notifyObservers();
}

void AudioPlayer::attachTapOfCurrentItem()
{
    if (!m_item || !m_sink || !m_sink->isValid())
        return;
    AudioProcessingTapPtr tap;
    for (const AudioMixInputParameters &parameters : m_item->audioMix().inputParameters) {
        if (parameters.audioTapProcessor) {
            tap = parameters.audioTapProcessor;
            break;
        }
    }
    if (tap == m_sink->attachedTap())
        return;
    if (tap)
        m_sink->attach(tap);
    else
        m_sink->detach();
}

void AudioPlayer::handleMessage(GstMessage *message, quint64 serial)
{
    if (serial != m_serial || !m_item)
        return;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_ERROR:
        handleError(message);
        break;
    case GST_MESSAGE_EOS:
        handleEndOfStream();
        break;
    case GST_MESSAGE_BUFFERING: {
        gint percent = 100;
        gst_message_parse_buffering(message, &percent);
        handleBuffering(percent);
        break;
    }
    case GST_MESSAGE_ASYNC_DONE:
        handleAsyncDone();
        break;
    case GST_MESSAGE_DURATION_CHANGED:
        updateDuration();
        break;
    case GST_MESSAGE_STATE_CHANGED:
        handleStateChanged(message);
        break;
    case GST_MESSAGE_ELEMENT:
        handleHttpAnswer(message);
        break;
    case GST_MESSAGE_CLOCK_LOST:
        if (m_requestedState == GST_STATE_PLAYING) {
            gst_element_set_state(m_playbin, GST_STATE_PAUSED);
            gst_element_set_state(m_playbin, GST_STATE_PLAYING);
        }
        break;
    default:
        break;
    }
}

void AudioPlayer::handleError(GstMessage *message)
{
    // Only the first error of an item counts: a missing file, for one, posts several.
    if (m_item->status() == PlayerItem::Status::Failed)
        return;
    GError *error = nullptr;
    gst_message_parse_error(message, &error, nullptr);
    const QString text = error && error->message ? QString::fromUtf8(error->message)
                                                 : QStringLiteral("Playback failed.");
    const PlayerItem::Failure failure = stream_answer::failureOf(error, m_item->httpStatus());
    // The ring buffer reads by ranges; a server without them still plays from the start, as a
    // plain stream. So does a stream whose demuxer found no length through it.
    const bool rangesRefused = error && error->domain == GST_RESOURCE_ERROR && error->code == GST_RESOURCE_ERROR_SEEK;
    const bool lengthMissing = error && error->domain == GST_STREAM_ERROR && error->code == GST_STREAM_ERROR_DEMUX
                               && !m_readsPlain;
    if (error)
        g_error_free(error);
    // A server without ranges refuses the ring buffer's first reads as the track starts. Refused
    // once a second or more of a track has played, it is the source resuming after the server
    // went quiet mid-track: reopening would start the track over under the listener, so it waits
    // where the audio stopped and fails by the stall limit instead. (A live stream reopened just
    // joins the broadcast again.)
    // The time last asked for can be long gone (nothing asks while no window shows it), so where
    // the audio is comes from the sink, or from the stall watch's last look.
    const bool seeking = m_seeking || m_seekQueued;
    if (rangesRefused && m_ringBuffer && !m_item->isEndless() && !seeking
        && std::max(currentTime(), m_watchedPosition) >= 1.0) {
        m_resumeRefused = true;
        return;
    }
    // What follows a refused resumption (the source's loop stopping, the queue's end of stream)
    // is the same stall, not a new failure.
    if (m_resumeRefused && !seeking)
        return;
    if ((rangesRefused || lengthMissing) && m_ringBuffer && !seeking) {
        reopenAsPlainStream();
        return;
    }
    failCurrentItem(text, failure);
}

void AudioPlayer::handleHttpAnswer(GstMessage *message)
{
    const std::optional<HttpAnswer> answer = httpAnswer(message);
    if (!answer)
        return;
    m_item->m_httpStatus = answer->status;
    m_item->m_endless = isEndless(*answer);
    m_readsPlain = readsWithoutRingBuffer(*answer);
}

void AudioPlayer::setRingBuffer(bool on)
{
    if (on == m_ringBuffer || !m_playbin)
        return;
    m_ringBuffer = on;
    g_object_set(m_playbin, "ring-buffer-max-size", on ? RingBufferBytes : guint64(0), nullptr);
}

void AudioPlayer::reopenAsPlainStream()
{
    stopStream(true);
    ++m_serial;
    m_buffering = false;
    m_live = false;
    m_atEnd = false;
    m_prerolled = false;
    m_lastPosition = 0;
    m_resumeRefused = false;
    resetProgressWatch();
    setRingBuffer(false);
    g_object_set(m_playbin, "uri", m_item->url().toString(QUrl::FullyEncoded).toUtf8().constData(), nullptr);
    applyState();
    updateStatus();
}

void AudioPlayer::handleEndOfStream()
{
    // The track's data ran out where its server refused to resume: it waits there, and the stall
    // watch fails it by the limit.
    if (m_resumeRefused && !m_seeking && !m_seekQueued) {
        m_watchedPosition = std::max(m_watchedPosition, currentTime());
        if (!m_stalled) {
            m_stalled = true;
            updateStatus();
        }
        return;
    }
    const PlayerItemPtr item = m_item;
    updateDuration();
    m_atEnd = true;
    finishSeek(false);
    m_rate = 0;
    applyState();
    emit rateChanged();
    updateStatus();
    updateObserverTimers();
    notifyObservers();
    emit itemDidPlayToEnd(item);
}

void AudioPlayer::handleBuffering(int percent)
{
    if (m_live)
        return;
    const bool buffering = percent < 100;
    const bool wasLow = m_bufferLow;
    m_bufferLow = buffering;
    // A live stream that plays goes on through a short dip of its buffer: the level the queue
    // estimates drops to nothing at a join of a chained stream while its data still comes, and
    // is back within a moment. A dip that lasts pauses it (checkProgress).
    if (buffering && !m_buffering && m_item->isEndless() && m_pipelineState == GST_STATE_PLAYING) {
        if (!wasLow)
            m_bufferLowSince.start();
        return;
    }
    // Once its server has refused to resume, a track's queue is only full again at its end.
    if (buffering == m_buffering || (m_resumeRefused && !buffering))
        return;
    m_buffering = buffering;
    applyState();
    updateStatus();
}

void AudioPlayer::handleAsyncDone()
{
    if (!m_prerolled) {
        m_prerolled = true;
        m_item->markReady();
        resolveAudioTracks();
        updateDuration();
        if (m_seekQueued)
            startPendingSeek();
        return;
    }
    if (m_seeking) {
        m_seeking = false;
        finishSeek(true);
    }
    updateDuration();
}

void AudioPlayer::handleStateChanged(GstMessage *message)
{
    GstState oldState, newState, pending;
    gst_message_parse_state_changed(message, &oldState, &newState, &pending);
    m_pipelineState = newState;
    if (pending == GST_STATE_VOID_PENDING)
        applyState();
    updateStatus();
}

void AudioPlayer::updateDuration()
{
    if (!m_playbin)
        return;
    gint64 duration = -1;
    if (!gst_element_query_duration(m_playbin, GST_FORMAT_TIME, &duration) || duration <= 0)
        return;
    const double before = m_item->duration();
    m_item->setDuration(double(duration) / GST_SECOND);
    // Observers learn a new length at once, not only at their next interval.
    if (m_item->duration() != before)
        notifyObservers();
}

void AudioPlayer::resolveAudioTracks()
{
    gint count = 0;
    g_object_get(m_playbin, "n-audio", &count, nullptr);
    QList<AudioTrack> tracks;
    // Track ids count from 1, in the order the streams were found.
    for (int i = 0; i < count; ++i)
        tracks.append(AudioTrack{i + 1});
    m_item->finishTracks(tracks);
}
