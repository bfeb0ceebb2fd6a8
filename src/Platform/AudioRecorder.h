#pragma once

#include <QString>

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
// record() and waitUntilFinished() may block (opening the device, the muxer's last write): call
// them off the GUI thread. stop() only posts an event. One recorder records once.
class AudioRecorder
{
public:
    struct Settings {
        int sampleRate = 44100;
        int channels = 1;
        int bitRate = 128000; // bits per second
    };

    static constexpr const char *SourceVariable = "MELODRIFT_RECORDING_SOURCE";
    // The source description: MELODRIFT_RECORDING_SOURCE, else the default microphone.
    static QString defaultSource();

    AudioRecorder(QString filePath, Settings settings, QString source = defaultSource());
    ~AudioRecorder();
    AudioRecorder(const AudioRecorder &) = delete;
    AudioRecorder &operator=(const AudioRecorder &) = delete;

    // Starts recording into the file (created, or emptied). False, with the reason, when the
    // pipeline cannot be built or the source does not start.
    bool record(QString *error = nullptr);
    // Ends the recording: the source sends end-of-stream and the muxer finishes the file.
    void stop();
    // Waits until the file is finished (true) or the recording failed or took longer than
    // `timeoutMs` (false, with the reason), then releases the pipeline.
    bool waitUntilFinished(int timeoutMs, QString *error = nullptr);
    // Abandons the recording: a start under way on another thread is waited for and undone, a
    // later record() does nothing. The file is left as it is.
    void cancel();

    const QString &filePath() const { return m_filePath; }
    const QString &source() const { return m_source; }

private:
    void release();
    void releaseLocked();

    QString m_filePath;
    Settings m_settings;
    QString m_source;
    std::mutex m_mutex; // guards m_pipeline between the threads that start, stop and wait
    GstElement *m_pipeline = nullptr;
    bool m_cancelled = false;
};
