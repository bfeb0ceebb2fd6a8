#pragma once

#include "Models/APIModels.h"

#include <QCoroTask>
#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <optional>

class APIClient;
class AudioRecorder;
class AudioSession;
class MicrophonePermission;

// The song-recognition manager: records 4.5 s from the microphone into a temporary AAC file,
// sends the file to the backend's recognition operation and publishes the recognised track or an
// error text. Afterwards the file is deleted, whatever happened, and the audio session is handed
// back to the radio player (which is neither paused nor resumed here). The file is created
// exclusively, never through a link; when its name is taken in the shared temporary folder it goes
// into a private folder instead. A source that does not start within RecordingStartTimeoutMs fails
// the start, and quitting never waits for it.
//
// It also carries the open-request handshake: the custom URL "melodrift://shazam" and a pending
// request left by a shortcut become one published flag, `openRequest`, which the home screen
// watches, resets and answers by presenting the recognition sheet; `autoStartOnOpen` tells the
// sheet to start listening by itself.
//
// One recognition runs at a time: idle -> starting (the microphone asked for and opened) ->
// listening (the recording) -> processing (the upload) -> idle with a result or an error.
// Published state changes only on the GUI thread.
class ShazamManager : public QObject
{
    Q_OBJECT
    // A start is under way: the microphone is being asked for and opened (which a source may take
    // its time over); no other start is taken meanwhile.
    Q_PROPERTY(bool isStarting READ isStarting NOTIFY isStartingChanged)
    Q_PROPERTY(bool isListening READ isListening NOTIFY isListeningChanged)
    Q_PROPERTY(bool isProcessing READ isProcessing NOTIFY isProcessingChanged)
    // The last recognised track ({title, artist, genre, artworkURL, streamURL, duration}; absent
    // fields undefined), or null.
    Q_PROPERTY(QVariant recognizedTrack READ recognizedTrackValue NOTIFY recognizedTrackChanged)
    // The last error text, or null.
    Q_PROPERTY(QVariant errorMessage READ errorMessageValue NOTIFY errorMessageChanged)
    Q_PROPERTY(bool openRequest READ openRequest WRITE setOpenRequest NOTIFY openRequestChanged)
    Q_PROPERTY(bool autoStartOnOpen READ autoStartOnOpen WRITE setAutoStartOnOpen NOTIFY autoStartOnOpenChanged)

public:
    // Key of the shortcut's time stamp in the app-group suite (seconds since 1970, with fraction).
    static constexpr const char *RequestAtKey = "shazamRequestAt";
    // A shortcut's request is honoured for this long.
    static constexpr double PendingWindowSeconds = 120.0;
    // Length of a recording.
    static constexpr int RecordingMs = 4500;
    // A recording larger than this is not read (4.5 s of 128 kbit/s AAC is about 72 KB).
    static constexpr qint64 MaxRecordingBytes = 16 * 1024 * 1024;
    // How long the recording source may take to start (a microphone or sound server that does not
    // answer); then the start fails with the start text.
    static constexpr int RecordingStartTimeoutMs = 5000;
    // How long the muxer may take to finish the file after the recording stops.
    static constexpr int FinishTimeoutMs = 10'000;

    static const QString MicrophoneRefusedText; // "دسترسی به میکروفون برای شناسایی آهنگ ضروری است."
    static const QString RecordingStartText;    // "خطا در آغاز ضبط صدا"
    static const QString NoMatchText;           // "متاسفانه آهنگی شناسایی نشد. در محیط خلوتتر دوباره امتحان کنید."

    struct Dependencies {
        APIClient *client = nullptr;                // default: the shared backend client
        AudioSession *session = nullptr;            // default: the process's audio session
        MicrophonePermission *permission = nullptr; // default: the desktop's
        // Hands the audio session back to the player; default: the shared player's
        // configureAudioSession().
        std::function<void()> restorePlayerSession;
        QString temporaryDirectory;                 // default: the system's temporary folder
        QString recordingSource;                    // default: AudioRecorder::defaultSource()
        int recordingMs = RecordingMs;
        int recordingStartTimeoutMs = RecordingStartTimeoutMs;
    };

    static ShazamManager &shared();

    // Tests make their own; the shared one uses the defaults.
    explicit ShazamManager(Dependencies dependencies, QObject *parent = nullptr);
    ~ShazamManager() override;

    bool isStarting() const { return m_starting; }
    bool isListening() const { return m_isListening; }
    bool isProcessing() const { return m_isProcessing; }
    const std::optional<ShazamData> &recognizedTrack() const { return m_recognizedTrack; }
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }
    // The sheet clears both when it closes and before a retry.
    Q_INVOKABLE void clearRecognizedTrack() { setRecognizedTrack(std::nullopt); }
    Q_INVOKABLE void clearErrorMessage() { setErrorMessage(std::nullopt); }

    bool openRequest() const { return m_openRequest; }
    void setOpenRequest(bool value);
    bool autoStartOnOpen() const { return m_autoStartOnOpen; }
    void setAutoStartOnOpen(bool value);

    // Asks for the recognition sheet; `autoStart` says whether it starts listening by itself.
    Q_INVOKABLE void requestOpen(bool autoStart);
    // Consumes a shortcut's request from the app-group suite when it is less than 120 s old.
    Q_INVOKABLE void checkPendingExternalRequest();
    // Starts one recognition: asks for the microphone, records, uploads. Does nothing while one
    // is starting, listening or processing.
    Q_INVOKABLE void startRecognition();

    // "shazam_snippet_<whole seconds since 1970>.m4a" (the fraction cut off).
    static QString snippetFileName(double secondsSince1970);
    // The text shown for a failed read or upload: the error's own description where it has one
    // meant for the listener, else the no-match text.
    static QString failureText(std::exception_ptr error);

    // The clock, in seconds since 1970; tests replace it (nullptr restores the system clock).
    void setClockForTesting(std::function<double()> clock);

signals:
    void isStartingChanged();
    void isListeningChanged();
    void isProcessingChanged();
    void recognizedTrackChanged();
    void errorMessageChanged();
    void openRequestChanged();
    void autoStartOnOpenChanged();

private:
    ShazamManager();
    double now() const;

    void recordAndSend();
    void recordingStarted(const QString &path, std::shared_ptr<AudioRecorder> recorder);
    void recordingFailedToStart(const QString &path, const QString &reason);
    void finishRecording(const QString &path);
    QCoro::Task<> uploadSample(QString path, std::shared_ptr<AudioRecorder> recorder);
    void cleanupAudioSession();
    // Stops a recording under way and deletes the current recording file, if any.
    void removeSnippet();

    void setStarting(bool value);
    void setListening(bool value);
    void setProcessing(bool value);
    void setRecognizedTrack(std::optional<ShazamData> value);
    void setErrorMessage(std::optional<QString> value);
    QVariant recognizedTrackValue() const;
    QVariant errorMessageValue() const;

    Dependencies m_deps;
    bool m_isListening = false;
    bool m_isProcessing = false;
    std::optional<ShazamData> m_recognizedTrack;
    std::optional<QString> m_errorMessage;
    bool m_openRequest = false;
    bool m_autoStartOnOpen = false;
    // Set at once when a start is accepted, cleared when listening begins or the start fails: a
    // second start in between (a double click, the automatic start plus a click) does nothing.
    bool m_starting = false;
    std::shared_ptr<AudioRecorder> m_audioRecorder;
    QString m_snippetPath; // the recording file from the start of a recording to its deletion
    std::function<double()> m_clock;
};
