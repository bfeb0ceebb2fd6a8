#include "Services/ShazamManager.h"

#include "Platform/AppGroupSuite.h"
#include "Platform/AudioRecorder.h"
#include "Platform/AudioSession.h"
#include "Platform/MicrophonePermission.h"
#include "Services/APIClient.h"
#include "Services/RadioPlayer.h"

#include <QCoroFuture>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QPointer>
#include <QPromise>
#include <QThreadPool>
#include <QTimer>
#include <QVariantMap>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcShazam, "shazam")

const QString ShazamManager::MicrophoneRefusedText = u"دسترسی به میکروفون برای شناسایی آهنگ ضروری است."_s;
const QString ShazamManager::RecordingStartText = u"خطا در آغاز ضبط صدا"_s;
const QString ShazamManager::NoMatchText = u"متاسفانه آهنگی شناسایی نشد. در محیط خلوتتر دوباره امتحان کنید."_s;

namespace {

// A failure of the recording itself (not finished, unreadable, too large). It carries no text
// meant for the listener, so the no-match text is shown for it.
class RecordingReadError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// What a read on the thread pool ended with: the bytes, or the exception it threw.
struct ReadOutcome {
    QByteArray data;
    std::exception_ptr error;
};

// Waits for the muxer to finish the file, then reads it whole. Off the GUI thread.
QByteArray finishAndRead(const std::shared_ptr<AudioRecorder> &recorder, const QString &path)
{
    QString reason;
    if (recorder && !recorder->waitUntilFinished(ShazamManager::FinishTimeoutMs, &reason))
        throw RecordingReadError("the recording did not finish: " + reason.toStdString());
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw RecordingReadError("cannot open the recording: " + file.errorString().toStdString());
    if (file.size() > ShazamManager::MaxRecordingBytes)
        throw RecordingReadError("the recording is too large");
    QByteArray data = file.read(ShazamManager::MaxRecordingBytes + 1);
    if (data.size() > ShazamManager::MaxRecordingBytes)
        throw RecordingReadError("the recording is too large");
    return data;
}

// Finishes and reads the recording on the thread pool. (A plain function handing out a future:
// a temporary passed to a coroutine inside a co_await expression is not safe with every compiler.)
QFuture<ReadOutcome> finishAndReadOffThread(std::shared_ptr<AudioRecorder> recorder, QString path)
{
    auto promise = std::make_shared<QPromise<ReadOutcome>>();
    QFuture<ReadOutcome> future = promise->future();
    promise->start();
    QThreadPool::globalInstance()->start([promise, recorder = std::move(recorder), path = std::move(path)] {
        ReadOutcome outcome;
        try {
            outcome.data = finishAndRead(recorder, path);
        } catch (...) {
            outcome.error = std::current_exception();
        }
        promise->addResult(std::move(outcome));
        promise->finish();
    });
    return future;
}

// A private folder for a recording whose name is taken in the temporary folder.
constexpr auto PrivateFolderPrefix = "melodrift-recording-";

// Creates the recording file `name` in `folder`, exclusively. When the name is taken there (a file
// left behind, or a link someone planted in the shared folder), the same name goes into a folder
// of the manager's own (mode 0700) instead: a taken name never fails a recording. The descriptor
// and the file's path, or -1 with the reason.
int createSnippetFile(const QString &folder, const QString &name, QString *path, QString *error)
{
    *path = QDir(folder).filePath(name);
    bool taken = false;
    const int fd = AudioRecorder::createExclusively(*path, error, &taken);
    if (fd >= 0 || !taken)
        return fd;
    qCInfo(lcShazam, "%s is taken: recording into a private folder", qPrintable(*path));
    QByteArray privateFolder = QFile::encodeName(QDir(folder).filePath(QLatin1String(PrivateFolderPrefix) + u"XXXXXX"_s));
    if (!::mkdtemp(privateFolder.data())) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        path->clear();
        return -1;
    }
    *path = QDir(QFile::decodeName(privateFolder)).filePath(name);
    return AudioRecorder::createExclusively(*path, error);
}

// Removes a recording file, and the private folder it may be in.
void removeSnippetFile(const QString &path)
{
    if (path.isEmpty())
        return;
    QFile::remove(path);
    const QFileInfo folder(QFileInfo(path).absolutePath());
    if (folder.fileName().startsWith(QLatin1String(PrivateFolderPrefix)))
        QDir().rmdir(folder.filePath());
}

QVariant optionalText(const std::optional<QString> &value)
{
    return value ? QVariant(*value) : QVariant();
}

} // namespace

// ------------------------------------------------------------------ construction

ShazamManager &ShazamManager::shared()
{
    static ShazamManager *manager = new ShazamManager; // lives until the process ends
    return *manager;
}

ShazamManager::ShazamManager()
    : ShazamManager(Dependencies())
{
}

ShazamManager::ShazamManager(Dependencies dependencies, QObject *parent)
    : QObject(parent), m_deps(std::move(dependencies))
{
    if (!m_deps.client)
        m_deps.client = &APIClient::shared();
    if (!m_deps.session)
        m_deps.session = &AudioSession::sharedInstance();
    if (!m_deps.permission)
        m_deps.permission = &MicrophonePermission::desktop();
    if (!m_deps.restorePlayerSession)
        m_deps.restorePlayerSession = [] { RadioPlayer::shared()->configureAudioSession(); };
    if (m_deps.temporaryDirectory.isEmpty())
        m_deps.temporaryDirectory = QDir::tempPath();
    // A recognition under way when the application quits leaves no recording behind.
    if (QCoreApplication *app = QCoreApplication::instance())
        connect(app, &QCoreApplication::aboutToQuit, this, &ShazamManager::removeSnippet);
}

ShazamManager::~ShazamManager()
{
    removeSnippet();
}

void ShazamManager::removeSnippet()
{
    // A recorder still starting would otherwise make the file again after it is gone.
    if (m_audioRecorder)
        m_audioRecorder->cancel();
    m_audioRecorder.reset();
    removeSnippetFile(m_snippetPath);
    m_snippetPath.clear();
}

// ------------------------------------------------------------------ published state

void ShazamManager::setOpenRequest(bool value)
{
    // Every assignment is published, as the home screen relies on noticing each request.
    m_openRequest = value;
    emit openRequestChanged();
}

void ShazamManager::setAutoStartOnOpen(bool value)
{
    m_autoStartOnOpen = value;
    emit autoStartOnOpenChanged();
}

void ShazamManager::setStarting(bool value)
{
    if (m_starting == value)
        return;
    m_starting = value;
    emit isStartingChanged();
}

void ShazamManager::setListening(bool value)
{
    m_isListening = value;
    emit isListeningChanged();
}

void ShazamManager::setProcessing(bool value)
{
    m_isProcessing = value;
    emit isProcessingChanged();
}

void ShazamManager::setRecognizedTrack(std::optional<ShazamData> value)
{
    m_recognizedTrack = std::move(value);
    emit recognizedTrackChanged();
}

void ShazamManager::setErrorMessage(std::optional<QString> value)
{
    m_errorMessage = std::move(value);
    emit errorMessageChanged();
}

QVariant ShazamManager::recognizedTrackValue() const
{
    if (!m_recognizedTrack)
        return {};
    const ShazamData &t = *m_recognizedTrack;
    return QVariantMap{{u"title"_s, optionalText(t.title)},
                       {u"artist"_s, optionalText(t.artist)},
                       {u"genre"_s, optionalText(t.genre)},
                       {u"artworkURL"_s, optionalText(t.artworkURL)},
                       {u"streamURL"_s, optionalText(t.streamURL)},
                       {u"duration"_s, t.duration ? QVariant(*t.duration) : QVariant()}};
}

QVariant ShazamManager::errorMessageValue() const
{
    return optionalText(m_errorMessage);
}

// ------------------------------------------------------------------ the open request

void ShazamManager::requestOpen(bool autoStart)
{
    qCInfo(lcShazam, "requestOpen called, autoStart=%s", autoStart ? "true" : "false");
    setAutoStartOnOpen(autoStart);
    setOpenRequest(true);
}

void ShazamManager::checkPendingExternalRequest()
{
    const std::unique_ptr<QSettings> suite = AppGroupSuite::open();
    if (!suite) {
        qCWarning(lcShazam, "checkPendingExternalRequest: suite is nil");
        return;
    }
    const double ts = suite->value(QLatin1String(RequestAtKey), 0.0).toDouble();
    qCInfo(lcShazam, "checkPendingExternalRequest: timestamp=%f", ts);
    if (!(ts > 0))
        return;
    // A stamp from the future (a clock set back) gives a negative age and counts as pending.
    if (now() - ts < PendingWindowSeconds) {
        suite->remove(QLatin1String(RequestAtKey));
        suite->sync();
        qCInfo(lcShazam, "checkPendingExternalRequest: opening shazam sheet");
        requestOpen(true);
    }
}

// ------------------------------------------------------------------ one recognition

QString ShazamManager::snippetFileName(double secondsSince1970)
{
    return u"shazam_snippet_%1.m4a"_s.arg(qint64(std::trunc(secondsSince1970)));
}

void ShazamManager::startRecognition()
{
    if (m_isListening || m_isProcessing || m_starting)
        return;
    setStarting(true);
    QPointer<ShazamManager> self(this);
    m_deps.permission->requestRecordPermission([self](bool granted) {
        if (!self)
            return;
        if (granted) {
            self->recordAndSend();
            return;
        }
        qCInfo(lcShazam, "microphone permission refused");
        self->setStarting(false);
        self->setErrorMessage(MicrophoneRefusedText);
    });
}

void ShazamManager::recordAndSend()
{
    const QString name = snippetFileName(now());
    QString reason;
    if (!m_deps.session->setCategory(AudioSession::Category::PlayAndRecord, AudioSession::Mode::Default,
                                     AudioSession::AllowBluetooth | AudioSession::DefaultToSpeaker, &reason)
        || !m_deps.session->setActive(true, &reason)) {
        recordingFailedToStart(QString(), reason);
        return;
    }
    QString path;
    const int fd = createSnippetFile(m_deps.temporaryDirectory, name, &path, &reason);
    if (fd < 0) {
        // Whatever is under the name is not the manager's: it stays.
        recordingFailedToStart(QString(), u"cannot create %1: %2"_s.arg(path, reason));
        return;
    }
    m_snippetPath = path;
    AudioRecorder::Settings settings;
    settings.startTimeoutMs = m_deps.recordingStartTimeoutMs;
    auto recorder = std::make_shared<AudioRecorder>(
        fd, path, settings,
        m_deps.recordingSource.isEmpty() ? AudioRecorder::defaultSource() : m_deps.recordingSource);
    m_audioRecorder = recorder;
    qCInfo(lcShazam, "recording from %s", qPrintable(recorder->source()));
    // Opening the device may take a moment: off the GUI thread.
    QPointer<ShazamManager> self(this);
    QThreadPool::globalInstance()->start([self, recorder, path] {
        QString failure;
        const bool started = recorder->record(&failure);
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [self, recorder, path, started, failure] {
                if (!self) {
                    removeSnippetFile(path);
                    return;
                }
                if (started)
                    self->recordingStarted(path, recorder);
                else
                    self->recordingFailedToStart(path, failure);
            },
            Qt::QueuedConnection);
    });
}

void ShazamManager::recordingStarted(const QString &path, std::shared_ptr<AudioRecorder> recorder)
{
    m_audioRecorder = std::move(recorder);
    setListening(true);
    setStarting(false);
    setProcessing(false);
    setErrorMessage(std::nullopt);
    setRecognizedTrack(std::nullopt);
    // The recording's length is set by this timer alone.
    QTimer::singleShot(m_deps.recordingMs, this, [this, path] { finishRecording(path); });
}

void ShazamManager::recordingFailedToStart(const QString &path, const QString &reason)
{
    qCWarning(lcShazam, "the recording does not start: %s", qPrintable(reason));
    m_audioRecorder.reset();
    // A source that failed leaves an empty file.
    removeSnippetFile(path);
    if (m_snippetPath == path)
        m_snippetPath.clear();
    cleanupAudioSession();
    setListening(false);
    setErrorMessage(RecordingStartText);
    setStarting(false);
}

void ShazamManager::finishRecording(const QString &path)
{
    if (!m_isListening)
        return;
    std::shared_ptr<AudioRecorder> recorder = std::move(m_audioRecorder);
    if (recorder)
        recorder->stop();
    setListening(false);
    setProcessing(true);
    uploadSample(path, std::move(recorder));
}

QCoro::Task<> ShazamManager::uploadSample(QString path, std::shared_ptr<AudioRecorder> recorder)
{
    // The manager outlives the upload (the shared one lives until the process ends; a test's
    // lives until its recognition has ended).
    std::optional<ShazamData> result;
    std::exception_ptr failure;
    try {
        const QFuture<ReadOutcome> reading = finishAndReadOffThread(recorder, path);
        ReadOutcome read = co_await reading;
        if (read.error)
            std::rethrow_exception(read.error);
        QByteArray data = std::move(read.data);
        recorder.reset();
        qCInfo(lcShazam, "uploading %lld bytes", qlonglong(data.size()));
        result = co_await m_deps.client->recognize(std::move(data));
    } catch (const RecordingReadError &error) {
        qCWarning(lcShazam, "the recording cannot be read: %s", error.what());
        failure = std::current_exception();
    } catch (...) {
        failure = std::current_exception();
    }

    // The file goes whatever happened, before the outcome shows.
    recorder.reset();
    removeSnippetFile(path);
    if (m_snippetPath == path)
        m_snippetPath.clear();
    cleanupAudioSession();

    setProcessing(false);
    if (result) {
        qCInfo(lcShazam, "recognised: %s", qPrintable(result->title.value_or(QString())));
        setRecognizedTrack(std::move(result));
    } else {
        const QString text = failureText(failure);
        qCInfo(lcShazam, "recognition failed: %s", qPrintable(text));
        setErrorMessage(text);
    }
}

QString ShazamManager::failureText(std::exception_ptr error)
{
    try {
        if (error)
            std::rethrow_exception(error);
    } catch (const DecodingError &) {
        // The platform's wording for unreadable data is not meant for the listener.
    } catch (const AppError &e) {
        return e.errorDescription();
    } catch (...) {
    }
    return NoMatchText;
}

void ShazamManager::cleanupAudioSession()
{
    m_deps.session->setActive(false); // a failure is of no consequence
    m_deps.restorePlayerSession();
}

// ------------------------------------------------------------------ clock

void ShazamManager::setClockForTesting(std::function<double()> clock)
{
    m_clock = std::move(clock);
}

double ShazamManager::now() const
{
    if (m_clock)
        return m_clock();
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}
