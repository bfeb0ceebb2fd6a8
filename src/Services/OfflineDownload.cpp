#include "Services/OfflineDownload.h"

#include "Services/APIClient.h"
#include "Services/ArtworkFile.h"
#include "Services/OfflineFolder.h"
#include "Services/OfflineTrackEntry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStorageInfo>
#include <QThreadPool>
#include <QUuid>

#include <algorithm>
#include <cerrno>

#include <unistd.h>

namespace {

constexpr qint64 kProgressIntervalMs = 200;
constexpr double kMaxPublishedFraction = 0.99;
// Enough to tell the file type (fewer than 13 bytes always count as mp3).
constexpr qsizetype kHeadBytes = 13;
// How much the network layer may hold unread, and how often free space is looked at.
constexpr qint64 kReadBufferBytes = 1024 * 1024;
constexpr qint64 kSpaceCheckBytes = 8 * 1024 * 1024;

// Runs `work` on the thread pool and hands its result to `done` on the GUI thread, unless
// `receiver` is gone by then. The worker never touches `receiver` itself.
template<typename Work, typename Done>
void runOffThread(QObject *receiver, Work work, Done done)
{
    QPointer<QObject> guard(receiver);
    QThreadPool::globalInstance()->start([guard, work = std::move(work), done = std::move(done)]() mutable {
        auto result = work();
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [guard, done = std::move(done), result = std::move(result)]() mutable {
                if (guard)
                    done(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

QString newUuidText()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
}

QString timeoutText()
{
    return QStringLiteral("Operation timed out");
}

bool isHttp(const QUrl &url)
{
    return url.scheme() == QLatin1String("http") || url.scheme() == QLatin1String("https");
}

} // namespace

OfflineDownload::OfflineDownload(QNetworkAccessManager *network, QUrl audioURL, std::optional<QUrl> artworkURL,
                                 QString folder, Limits limits, QObject *parent)
    : QObject(parent)
    , m_network(network)
    , m_audioURL(std::move(audioURL))
    , m_artworkURL(std::move(artworkURL))
    , m_folder(std::move(folder))
    , m_limits(limits)
    , m_uuid(newUuidText())
{
    m_idleTimer.setSingleShot(true);
    m_idleTimer.setInterval(m_limits.idleTimeoutMs);
    m_totalTimer.setSingleShot(true);
    m_totalTimer.setInterval(m_limits.totalTimeoutMs);
    connect(&m_idleTimer, &QTimer::timeout, this, &OfflineDownload::onTimeout);
    connect(&m_totalTimer, &QTimer::timeout, this, &OfflineDownload::onTimeout);
}

OfflineDownload::~OfflineDownload()
{
    // Only reached before the end when the store itself goes away.
    dropReply(m_audioReply);
    dropReply(m_artworkReply);
    if (!m_finished && !m_workerBusy)
        removeFiles();
}

QString OfflineDownload::notStorableText()
{
    return QStringLiteral("این آهنگ قابل ذخیره آفلاین نیست");
}

QString OfflineDownload::tooLargeText()
{
    return QStringLiteral("حجم فایل بیش از حد مجاز است");
}

QString OfflineDownload::diskFullText()
{
    return QStringLiteral("فضای کافی روی دیسک نیست");
}

QString OfflineDownload::writeFailureText(AtomicFile::Failure failure)
{
    switch (failure) {
    case AtomicFile::Failure::DiskFull:
        return diskFullText();
    case AtomicFile::Failure::TooLarge:
        return tooLargeText();
    case AtomicFile::Failure::NotAllowed:
        return QStringLiteral("اجازهٔ نوشتن در پوشهٔ دانلودها نیست");
    default:
        return QStringLiteral("نوشتن فایل روی دیسک ممکن نشد");
    }
}

QString OfflineDownload::partFileName() const
{
    return m_partPath.isEmpty() ? QString() : QFileInfo(m_partPath).fileName();
}

bool OfflineDownload::openPartFile()
{
    const QString name = m_uuid + QStringLiteral(".part");
    const int fd = OfflineFolder::createLocked(m_folder, name);
    if (fd < 0) {
        fail(writeFailureText(AtomicFile::failureOf(errno)));
        return false;
    }
    if (!m_partFile.open(fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        QFile::remove(pathOf(name));
        fail(writeFailureText(AtomicFile::Failure::Other));
        return false;
    }
    m_partPath = pathOf(name);
    return true;
}

bool OfflineDownload::writeToPart(const QByteArray &chunk)
{
    qsizetype done = 0;
    // A short write carries no error of its own: the next one tells why.
    while (done < chunk.size()) {
        errno = 0;
        const qint64 written = m_partFile.write(chunk.constData() + done, chunk.size() - done);
        if (written <= 0) {
            fail(writeFailureText(AtomicFile::failureOf(errno, m_partFile.error())));
            return false;
        }
        done += written;
    }
    return true;
}

bool OfflineDownload::hasRoomFor(qint64 bytes) const
{
    const QStorageInfo storage(m_folder);
    // Unknown free space (no such volume) does not stop a download: the writes fail by themselves.
    if (!storage.isValid())
        return true;
    return storage.bytesAvailable() - bytes >= m_limits.minFreeDiskBytes;
}

QString OfflineDownload::pathOf(const QString &fileName) const
{
    return QDir(m_folder).filePath(fileName);
}

void OfflineDownload::start()
{
    QNetworkRequest request(m_audioURL);
    // The body is counted against Content-Length: no transparent decompression.
    request.setRawHeader("Accept-Encoding", "identity");
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    m_audioReply = m_network->get(request);
    m_audioReply->setReadBufferSize(kReadBufferBytes);
    connect(m_audioReply, &QNetworkReply::metaDataChanged, this, &OfflineDownload::onAudioHeaders);
    connect(m_audioReply, &QNetworkReply::readyRead, this, &OfflineDownload::onAudioReadyRead);
    connect(m_audioReply, &QNetworkReply::finished, this, &OfflineDownload::onAudioFinished);
    m_idleTimer.start();
    m_totalTimer.start();
}

void OfflineDownload::cancel()
{
    if (m_finished || m_cancelled)
        return;
    m_cancelled = true;
    if (m_workerBusy)
        return; // the file step's result ends the download
    finish(Result{Result::Status::Cancelled, {}, {}, 0, std::nullopt});
}

void OfflineDownload::onTimeout()
{
    // A file step on the thread pool is never cut short: it ends the download by itself.
    if (m_finished || m_workerBusy)
        return;
    if (m_artworkReply) {
        // The artwork is best effort: a slow one is dropped and the audio kept.
        dropReply(m_artworkReply);
        finish(Result{Result::Status::Stored, {}, m_audioFileName, m_received, std::nullopt});
        return;
    }
    if (m_audioReply)
        fail(timeoutText());
}

bool OfflineDownload::checkAudioHeaders()
{
    if (m_headersChecked)
        return true;
    const QVariant statusAttribute = m_audioReply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    if (isHttp(m_audioReply->url())) {
        if (!statusAttribute.isValid())
            return true; // no reply head yet
        const int status = statusAttribute.toInt();
        if (status >= 300 && status < 400 && m_audioReply->hasRawHeader("Location"))
            return true; // a redirection being followed; the final reply comes next
        if (status < 200 || status > 299) {
            fail(APIError::http(status).errorDescription());
            return false;
        }
    }
    const QVariant length = m_audioReply->header(QNetworkRequest::ContentLengthHeader);
    m_expectedLength = length.isValid() ? length.toLongLong() : -1;
    if (m_expectedLength < 1) {
        fail(notStorableText());
        return false;
    }
    if (m_expectedLength > m_limits.maxAudioBytes) {
        fail(tooLargeText());
        return false;
    }
    if (!hasRoomFor(m_expectedLength)) {
        fail(diskFullText());
        return false;
    }
    m_nextSpaceCheck = kSpaceCheckBytes;
    if (!openPartFile())
        return false;
    m_headersChecked = true;
    return true;
}

void OfflineDownload::onAudioHeaders()
{
    if (m_finished)
        return;
    m_idleTimer.start();
    checkAudioHeaders();
}

void OfflineDownload::onAudioReadyRead()
{
    if (m_finished || !m_audioReply)
        return;
    m_idleTimer.start();
    if (!checkAudioHeaders() || !m_headersChecked)
        return;
    const QByteArray chunk = m_audioReply->readAll();
    if (chunk.isEmpty())
        return;
    if (m_received + chunk.size() > std::min(m_expectedLength, m_limits.maxAudioBytes)) {
        fail(tooLargeText());
        return;
    }
    if (m_received + chunk.size() >= m_nextSpaceCheck) {
        m_nextSpaceCheck += kSpaceCheckBytes;
        if (!hasRoomFor(m_expectedLength - m_received)) {
            fail(diskFullText());
            return;
        }
    }
    if (m_head.size() < kHeadBytes)
        m_head += chunk.first(std::min(chunk.size(), kHeadBytes - m_head.size()));
    if (!writeToPart(chunk))
        return;
    m_received += chunk.size();
    if (!m_lastPublication.isValid() || m_lastPublication.elapsed() > kProgressIntervalMs) {
        m_lastPublication.start();
        emit progress(std::min(double(m_received) / double(m_expectedLength), kMaxPublishedFraction));
    }
}

void OfflineDownload::onAudioFinished()
{
    if (m_finished || !m_audioReply)
        return;
    if (m_audioReply->bytesAvailable() > 0)
        onAudioReadyRead();
    if (m_finished)
        return;
    const QNetworkReply::NetworkError error = m_audioReply->error();
    const QString errorText = m_audioReply->errorString();
    const bool headersOk = checkAudioHeaders();
    if (m_finished)
        return;
    dropReply(m_audioReply);
    m_idleTimer.stop();

    // A body cut short of its announced length ends as the connection drops; Qt may or may
    // not report that as an error.
    const bool shortBody = headersOk && m_headersChecked && m_received < m_expectedLength
        && (error == QNetworkReply::NoError || error == QNetworkReply::RemoteHostClosedError);
    if (shortBody || (m_headersChecked && m_received == 0 && error == QNetworkReply::NoError)) {
        fail(APIError::decoding().errorDescription());
        return;
    }
    if (error != QNetworkReply::NoError) {
        fail(errorText);
        return;
    }
    if (!headersOk || !m_headersChecked) {
        fail(notStorableText());
        return;
    }

    m_audioFileName = m_uuid + QLatin1Char('.') + OfflineIndex::sniffAudioExtension(m_head);
    const QString partPath = m_partPath;
    const QString finalPath = pathOf(m_audioFileName);
    // The worker syncs through a second descriptor of the same open file: the lock stays with
    // m_partFile, which stays open.
    const int syncFd = ::dup(m_partFile.handle());
    m_workerBusy = true;
    runOffThread(
        this,
        [partPath, finalPath, syncFd]() -> QString {
            // On disk before it is named: the index never lists a file that a crash emptied.
            QFile synced;
            AtomicFile::Failure failure = AtomicFile::Failure::Other;
            if (syncFd < 0 || !synced.open(syncFd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
                || !AtomicFile::syncToDisk(synced, &failure)) {
                if (syncFd >= 0 && !synced.isOpen())
                    ::close(syncFd);
                QFile::remove(partPath);
                return writeFailureText(failure);
            }
            if (::rename(QFile::encodeName(partPath).constData(), QFile::encodeName(finalPath).constData()) != 0) {
                failure = AtomicFile::failureOf(errno);
                QFile::remove(partPath);
                return writeFailureText(failure);
            }
            return {};
        },
        [this](QString error) { onAudioStored(std::move(error)); });
}

void OfflineDownload::onAudioStored(QString error)
{
    m_workerBusy = false;
    m_partPath.clear(); // renamed, or removed
    if (!error.isEmpty()) {
        m_audioFileName.clear();
        fail(error);
        return;
    }
    if (m_cancelled) {
        finish(Result{Result::Status::Cancelled, {}, {}, 0, std::nullopt});
        return;
    }
    startArtwork();
}

void OfflineDownload::startArtwork()
{
    if (!m_artworkURL) {
        finish(Result{Result::Status::Stored, {}, m_audioFileName, m_received, std::nullopt});
        return;
    }
    QNetworkRequest request(*m_artworkURL);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    m_artworkReply = m_network->get(request);
    // A trickling artwork never goes idle: it has a deadline of its own, so the stored audio
    // does not wait for it past that.
    const int remaining = m_totalTimer.isActive() ? m_totalTimer.remainingTime() : m_limits.artworkTimeoutMs;
    m_totalTimer.start(std::min(remaining, m_limits.artworkTimeoutMs));
    connect(m_artworkReply, &QNetworkReply::finished, this, &OfflineDownload::onArtworkFinished);
    connect(m_artworkReply, &QNetworkReply::downloadProgress, this, [this](qint64 received, qint64 total) {
        m_idleTimer.start();
        if (std::max(received, total) > m_limits.maxArtworkBytes && m_artworkReply)
            m_artworkReply->abort();
    });
    m_idleTimer.start();
}

void OfflineDownload::onArtworkFinished()
{
    if (m_finished || !m_artworkReply)
        return;
    m_idleTimer.stop();
    const int status = m_artworkReply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    const bool ok = m_artworkReply->error() == QNetworkReply::NoError
        && (!isHttp(m_artworkReply->url()) || (status >= 200 && status <= 299));
    const QByteArray bytes = ok ? m_artworkReply->readAll() : QByteArray();
    dropReply(m_artworkReply);
    if (bytes.isEmpty() || bytes.size() > m_limits.maxArtworkBytes) {
        finish(Result{Result::Status::Stored, {}, m_audioFileName, m_received, std::nullopt});
        return;
    }
    const QString fileName = newUuidText() + QStringLiteral(".art");
    const QString path = pathOf(fileName);
    m_workerBusy = true;
    runOffThread(
        this,
        [bytes, path, fileName]() -> std::optional<QString> {
            // The header tells format and size; the pixels are not decoded just to check.
            if (!artwork::isDecodablePicture(bytes))
                return std::nullopt;
            // Stored as fetched, not re-encoded; one that could not be written is left out.
            if (!AtomicFile::writeWhole(path, bytes))
                return std::nullopt;
            return fileName;
        },
        [this](std::optional<QString> fileName) { onArtworkStored(std::move(fileName)); });
}

void OfflineDownload::onArtworkStored(std::optional<QString> fileName)
{
    m_workerBusy = false;
    m_artworkFileName = std::move(fileName);
    if (m_cancelled) {
        finish(Result{Result::Status::Cancelled, {}, {}, 0, std::nullopt});
        return;
    }
    finish(Result{Result::Status::Stored, {}, m_audioFileName, m_received, m_artworkFileName});
}

void OfflineDownload::fail(const QString &error)
{
    if (m_finished)
        return;
    if (m_cancelled) {
        finish(Result{Result::Status::Cancelled, {}, {}, 0, std::nullopt});
        return;
    }
    finish(Result{Result::Status::Failed, error, {}, 0, std::nullopt});
}

void OfflineDownload::finish(Result result)
{
    if (m_finished)
        return;
    m_finished = true;
    m_idleTimer.stop();
    m_totalTimer.stop();
    dropReply(m_audioReply);
    dropReply(m_artworkReply);
    if (result.status != Result::Status::Stored && !m_workerBusy)
        removeFiles();
    emit finished(result);
}

void OfflineDownload::dropReply(QPointer<QNetworkReply> &reply)
{
    if (!reply)
        return;
    QNetworkReply *r = reply;
    reply.clear();
    r->disconnect(this);
    // Aborted after what the reply has already queued (a refusal's error): aborting it from
    // within one of its own signals would report a second error.
    QMetaObject::invokeMethod(
        r,
        [r] {
            r->abort();
            r->deleteLater();
        },
        Qt::QueuedConnection);
}

void OfflineDownload::removeFiles()
{
    // Removed while still held, so that no other store sees them unheld first.
    if (!m_partPath.isEmpty())
        QFile::remove(m_partPath);
    m_partPath.clear();
    if (!m_audioFileName.isEmpty())
        QFile::remove(pathOf(m_audioFileName));
    if (m_artworkFileName)
        QFile::remove(pathOf(*m_artworkFileName));
    if (m_partFile.isOpen())
        m_partFile.close();
}
