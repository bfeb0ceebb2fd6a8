#pragma once

#include <QByteArray>
#include <QString>

#include <mutex>

#include <sys/types.h>

// Records from an audio source into an MPEG-4 audio file (AAC), through GStreamer, in a process
// of its own (melodrift-recorder, next to the application or in its libexec folder):
//     <source> ! identity sync=true ! audioconvert ! audioresample ! <rate, channels>
//              ! avenc_aac ! mp4mux ! fdsink
// The recording ends with stop(), which sends end-of-stream so that the muxer writes the file's
// index; waitUntilFinished() then waits for it. Until then the file is not a readable MP4.
//
// The source is a GStreamer description: MELODRIFT_RECORDING_SOURCE when set (a test tone such as
// "audiotestsrc is-live=true freq=440", or a file: "filesrc location=a.ogg ! decodebin"), else the
// desktop's default microphone (pulsesrc, which PipeWire serves too; autoaudiosrc without it).
// A source that is not live is paced to real time.
//
// The file is written through a descriptor the caller made (createExclusively(): never through a
// link, never over a file that was already there). The recorder owns it from construction on and
// hands it to its process.
//
// A source may block while it opens (a microphone or sound server that never answers, a pipe
// nobody writes into): record() waits for it at most `startTimeoutMs` (from the moment the process
// has built its pipeline; that may take up to SetUpTimeoutMs), then ends the process, and
// with it everything the start held (no thread, no descriptor stays behind). record() and
// waitUntilFinished() block: call them off the GUI thread. cancel() ends the process at once and
// never waits. stop() only sends a line. One recorder records once.
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
    static constexpr const char *HelperName = "melodrift-recorder";
    // How long the process may take to be ready to open the source (a busy machine).
    static constexpr int SetUpTimeoutMs = 30'000;
    // The source description: MELODRIFT_RECORDING_SOURCE, else the default microphone.
    static QString defaultSource();
    // The recording process's executable; empty when there is none.
    static QString helperProgram();
    // Tests start it from the build tree; an empty path restores the search.
    static void setHelperProgramForTesting(const QString &path);

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

    // Starts recording into the file. False, with the reason, when the process cannot be started,
    // the pipeline cannot be built, the source does not start within the settings' time limit, or
    // cancel() came first.
    bool record(QString *error = nullptr);
    // Ends the recording: the source sends end-of-stream and the muxer finishes the file.
    void stop();
    // Waits until the file is finished (true) or the recording failed or took longer than
    // `timeoutMs` (false, with the reason), then ends the process.
    bool waitUntilFinished(int timeoutMs, QString *error = nullptr);
    // Abandons the recording at once: the process ends, a start under way gives up (record()
    // returns false), a later record() does nothing. The file is left as it is.
    void cancel();

    const QString &filePath() const { return m_filePath; }
    const QString &source() const { return m_source; }
    // The recording process while it runs (for tests), else 0.
    pid_t processId() const;

private:
    // The next line the process writes within `timeoutMs`; empty at its end or on time-out.
    QString readLine(int timeoutMs, bool *timedOut);
    void release();
    void releaseLocked();

    QString m_filePath;
    Settings m_settings;
    QString m_source;
    mutable std::mutex m_mutex; // guards what follows between the threads that start, stop and wait
    int m_fd = -1;          // the file, until it is handed to the process
    pid_t m_pid = 0;        // the process, until it has been waited for
    int m_toProcess = -1;   // its standard input
    int m_fromProcess = -1; // its standard output
    QByteArray m_pending;   // what it wrote after the last line read
    bool m_cancelled = false;
};
