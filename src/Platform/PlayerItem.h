#pragma once

#include "Platform/AudioProcessingTap.h"

#include <QCoroTask>
#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <memory>
#include <optional>

class AudioPlayer;
class PlayerItem;
using PlayerItemPtr = std::shared_ptr<PlayerItem>;

// One audio track of an item, as its loaded tracks report it.
struct AudioTrack {
    int trackID = 0;
    bool operator==(const AudioTrack &) const = default;
};

// What to do with one track's audio: for now, the tap that processes it.
struct AudioMixInputParameters {
    int trackID = 0;
    AudioProcessingTapPtr audioTapProcessor;
};

struct AudioMix {
    QList<AudioMixInputParameters> inputParameters;
};

// One playable address (http, https or file) and what is known about it. Items are shared:
// the player holds its current item, and anyone may keep one after it has been replaced.
// Everything here runs on the GUI thread.
class PlayerItem : public QObject, public std::enable_shared_from_this<PlayerItem>
{
    Q_OBJECT
public:
    enum class Status { Unknown, ReadyToPlay, Failed };
    Q_ENUM(Status)
    // Why an item failed, as far as a listener can be told: whether waiting and trying again may
    // help depends on it.
    enum class Failure {
        None,
        Unreachable,    // no answer from the server (refused, unknown host, no headers in time)
        NotFound,       // the server answered that the address holds nothing (404, a missing file)
        NotAllowed,     // the server refused the listener (401, 403)
        ServerError,    // any other error answer of the server
        ConnectionLost, // the server answered, then the connection broke
        Stalled,        // the connection stayed open but no data came
        Unplayable,     // what came is no audio GStreamer can decode
        Other,
    };
    Q_ENUM(Failure)

    static PlayerItemPtr create(const QUrl &url);
    ~PlayerItem() override;

    QUrl url() const { return m_url; }
    Status status() const { return m_status; }
    // The failure's text; empty unless the status is Failed.
    QString errorString() const { return m_errorString; }
    Failure failure() const { return m_failure; }
    // The status of the server's answer (HTTP items); 0 until one came.
    int httpStatus() const { return m_httpStatus; }
    // The server sent no length: a stream without an end, such as a live radio station's.
    bool isEndless() const { return m_endless; }
    // In seconds; 0 while unknown and for streams without an end.
    double duration() const { return m_duration; }

    AudioMix audioMix() const { return m_audioMix; }
    void setAudioMix(const AudioMix &mix);

    // Completes once the item, playing in a player, has been opened far enough to know its
    // streams: with its audio tracks (possibly none), or nullopt when it failed or left the
    // player first.
    QCoro::Task<std::optional<QList<AudioTrack>>> loadAudioTracks();
    bool audioTracksLoaded() const { return m_tracksState == TracksState::Loaded; }

signals:
    void statusChanged();
    void durationChanged();
    void audioMixChanged();
    void audioTracksLoadFinished();

private:
    friend class AudioPlayer;
    explicit PlayerItem(const QUrl &url);

    enum class TracksState { Pending, Loaded, Failed };
    void markReady();
    void markFailed(const QString &error, Failure failure);
    void setDuration(double seconds);
    void finishTracks(std::optional<QList<AudioTrack>> tracks);

    QUrl m_url;
    Status m_status = Status::Unknown;
    QString m_errorString;
    Failure m_failure = Failure::None;
    int m_httpStatus = 0;
    bool m_endless = false;
    double m_duration = 0;
    AudioMix m_audioMix;
    TracksState m_tracksState = TracksState::Pending;
    QList<AudioTrack> m_audioTracks;
    AudioPlayer *m_player = nullptr;
};

Q_DECLARE_METATYPE(PlayerItemPtr)
