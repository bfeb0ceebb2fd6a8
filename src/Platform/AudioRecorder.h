#pragma once

#include <QString>

#include <memory>
#include <mutex>

typedef struct _GstElement GstElement;

// Records from an audio source into an MPEG-4 audio file (AAC), through GStreamer:
//     <source> ! identity sync=true ! audioconvert ! audioresample ! <rate, channels>
//              ! avenc_aac ! mp4mux ! filesink
// The recording ends with stop(), which sends end-of-stream so that the muxer writes the file's
// index; waitUntilFinished() then waits for it. Until then the file is not a readable MP4.
//
// The source is a GStreamer description: MELODRIFT_RECORDING_SOURCE when set (a test tone such as
// "audiotestsrc is-live=true freq=440", or a file: "filesrc location=a.ogg ! decodebin"), else the
// desktop's default microphone (pulsesrc, which PipeWire serves too; autoaudiosrc without it).
// A source that is not live is paced to real time.
//
// The file is written through a descriptor the caller made (createExclusively(): never through a
// link, never over a file that was already there). The recorder owns it from construction on.
//
// record() and waitUntilFinished() may block (opening the device, the muxer's last write): call
// them off the GUI thread. A source may block while it opens (a microphone or sound server that
// never answers, a pipe nobody writes into): the start runs on a thread of its own, which record()
// waits for at most `startTimeoutMs`, and which cancel() never waits for. A start given up on is
// left to end by itself and then releases what it holds. stop() only posts an event. One recorder
// records once.
class AudioRecorder
{
public:
    struct Settings {
        int sampleRate = 44100;
        int channels = 1;
        int bitRate = 128000; // bits per second
        int startTimeoutMs = 5000; // how long the source may take to start
    };

    static constexpr const char *SourceVariable = "MELODRIFT_RECORDING_SOURCE";
    // The source description: MELODRIFT_RECORDING_SOURCE, else the default microphone.
    static QString defaultSource();

    // Creates `path` for writing only: fails when anything exists under that name (a file, a folder,
    // a symbolic link, even one pointing nowhere), so nothing is followed or replaced. The
    // descriptor (mode 0600, closed on exec), or -1 with the reason in `error`.
    static int createExclusively(const QString &path, QString *error = nullptr, bool *exists = nullptr);

    // Records into `fileDescriptor` (owned by the recorder from here on, closed when it is done),
    // the file at `filePath`.
    AudioRecorder(int fileDescriptor, QString filePath, Settings settings, QString source = defaultSource());
    ~AudioRecorder();
    AudioRecorder(const AudioRecorder &) = delete;
    AudioRecorder &operator=(const AudioRecorder &) = delete;

    // Starts recording into the file. False, with the reason, when the pipeline cannot be built,
    // the source does not start within the settings' time limit, or cancel() came first.
    bool record(QString *error = nullptr);
    // Ends the recording: the source sends end-of-stream and the muxer finishes the file.
    void stop();
    // Waits until the file is finished (true) or the recording failed or took longer than
    // `timeoutMs` (false, with the reason), then releases the pipeline.
    bool waitUntilFinished(int timeoutMs, QString *error = nullptr);
    // Abandons the recording at once: a start under way on another thread gives up (record()
    // returns false) without waiting for the source, a later record() does nothing. The file is
    // left as it is.
    void cancel();

    const QString &filePath() const { return m_filePath; }
    const QString &source() const { return m_source; }

    struct Start; // one start of the pipeline, shared with the thread that runs it

private:
    void release();
    void releaseLocked();

    QString m_filePath;
    Settings m_settings;
    QString m_source;
    std::mutex m_mutex; // guards what follows between the threads that start, stop and wait
    int m_fd = -1;      // handed to the start's thread with the pipeline
    GstElement *m_pipeline = nullptr;
    std::shared_ptr<Start> m_start; // the start under way, if any
    bool m_cancelled = false;
};
