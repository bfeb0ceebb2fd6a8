#include "Services/OfflineStore.h"

#include "Services/APIClient.h"
#include "Services/OfflineFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkAccessManager>
#include <QSet>
#include <QStandardPaths>
#include <QThread>
#include <QUuid>

#include <algorithm>

namespace {

const QString kDownloadsFolderName = QStringLiteral("OfflineTracks");
const QString kIndexFileName = QStringLiteral("offline_index.json");

// The key as the index file can hold it: a lone UTF-16 surrogate (possible in server JSON)
// cannot be written as UTF-8, so it becomes U+FFFD here already, where keys are made, and a key
// reads back from the index exactly as it was made.
QString storableKey(QString key)
{
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key.at(i);
        if (c.isHighSurrogate() && i + 1 < key.size() && key.at(i + 1).isLowSurrogate())
            ++i;
        else if (c.isSurrogate())
            key[i] = QChar(QChar::ReplacementCharacter);
    }
    return key;
}

bool isDownloadable(const std::optional<QUrl> &url)
{
    return url && url->isValid()
        && (url->scheme() == QLatin1String("http") || url->scheme() == QLatin1String("https"));
}

bool onGuiThread(const QObject *object)
{
    return QThread::currentThread() == object->thread();
}

} // namespace

// ------------------------------------------------------------------ keys and artwork addresses

QString offlineKey(const PlaylistTrack &track)
{
    QString key = track.trackType.value_or(QStringLiteral("track"));
    key += QLatin1Char('|');
    if (track.trackID)
        key += *track.trackID;
    else if (track.id)
        key += QString::number(*track.id);
    else if (track.title)
        key += *track.title;
    else
        key += QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
    return storableKey(std::move(key));
}

std::optional<QString> currentTrackArtworkURL(const Station &station)
{
    return currentTrackArtworkURL(station, *OfflineStore::shared());
}

std::optional<QString> currentTrackArtworkURL(const Station &station, const OfflineStore &store)
{
    if (const PlaylistTrack *track = station.currentTrack()) {
        if (store.isDownloaded(*track)) {
            if (auto path = store.artworkPathString(*track))
                return path;
        }
        if (track->artworkURL && !track->artworkURL->isEmpty())
            return track->artworkURL;
    }
    if (!station.artworkURL || station.artworkURL->isEmpty())
        return std::nullopt;
    if (station.hasTracks())
        return station.artworkURL;

    // Live: the title in the address makes image caches fetch the artwork again per song.
    // Encoded as a query component (RFC 3986 query characters stay as they are).
    const QByteArray title =
        QUrl::toPercentEncoding(station.displayTrackTitle(), QByteArrayLiteral("!$&'()*+,;=:@/?"));
    QString url = *station.artworkURL;
    url += station.artworkURL->contains(QLatin1Char('?')) ? QLatin1Char('&') : QLatin1Char('?');
    url += QStringLiteral("v=");
    url += QString::fromLatin1(title);
    return url;
}

// ------------------------------------------------------------------ construction and files

OfflineStore *OfflineStore::shared()
{
    static OfflineStore *instance = [] {
        auto *store = new OfflineStore();
        auto *app = QCoreApplication::instance();
        // Published state belongs to the GUI thread, whichever thread asked first.
        if (app && store->thread() != app->thread())
            store->moveToThread(app->thread());
        if (app)
            QObject::connect(app, &QCoreApplication::aboutToQuit, store, [store] {
                store->endDownloads();
                store->waitForIndexWrites();
            });
        return store;
    }();
    return instance;
}

OfflineStore::OfflineStore(QString supportFolder, APIClient *client, QObject *parent)
    : QObject(parent)
    , m_supportFolder(std::move(supportFolder))
    , m_client(client ? client : &APIClient::shared())
    , m_writer([this](quint64 generation, AtomicFile::Failure failure) {
        QMetaObject::invokeMethod(
            this, [this, generation, failure] { onIndexWritten(generation, failure); }, Qt::QueuedConnection);
    })
{
    qRegisterMetaType<OfflineDownload::Result>();
    const QString folder = downloadsFolder();
    // Failure (e.g. no permission) is not reported: every later file step fails on its own.
    QDir().mkpath(folder);
    // Left by a crash or a kill: no running download holds them.
    OfflineFolder::removeLeftoverParts(folder);
    loadIndex();
}

OfflineStore::~OfflineStore()
{
    endDownloads();
    delete m_session;
    m_session = nullptr;
    // m_writer's destructor waits for the last index write.
}

void OfflineStore::endDownloads()
{
    // Ending a download deletes its temporary files, unless a file step is running on a worker
    // (its part is gone or renamed by then, or left to the next start). A stored download
    // waiting for its index write keeps its files: the write is still done.
    QList<QPointer<OfflineDownload>> jobs;
    {
        QMutexLocker locker(&m_lock);
        jobs = m_downloadTasks.values();
        m_downloadTasks.clear();
    }
    for (const auto &job : jobs) {
        if (job) {
            job->disconnect(this);
            delete job.data();
        }
    }
}

QString OfflineStore::supportFolder() const
{
    if (!m_supportFolder.isEmpty())
        return m_supportFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
}

QString OfflineStore::downloadsFolder() const
{
    return QDir(supportFolder()).filePath(kDownloadsFolderName);
}

QString OfflineStore::indexFilePath() const
{
    return QDir(supportFolder()).filePath(kIndexFileName);
}

QString OfflineStore::fileURLString(const QString &fileName) const
{
    return QUrl::fromLocalFile(QDir(downloadsFolder()).filePath(fileName)).toString(QUrl::FullyEncoded);
}

QString OfflineStore::noDownloadLinkText()
{
    return QStringLiteral("این آهنگ لینک دانلود معتبری ندارد");
}

QString OfflineStore::downloadErrorPrefix()
{
    return QStringLiteral("خطا در دانلود: ");
}

QNetworkAccessManager *OfflineStore::session()
{
    if (!m_session) {
        m_session = new QNetworkAccessManager(this);
        m_session->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
    }
    return m_session;
}

// ------------------------------------------------------------------ lookups

bool OfflineStore::isDownloaded(const PlaylistTrack &track) const
{
    const QString key = offlineKey(track);
    QMutexLocker locker(&m_lock);
    return m_indexByKey.contains(key);
}

bool OfflineStore::isDownloaded(const std::optional<PlaylistTrack> &track) const
{
    return track && isDownloaded(*track);
}

bool OfflineStore::isDownloaded(const QVariant &track) const
{
    return track.metaType() == QMetaType::fromType<PlaylistTrack>()
        && isDownloaded(track.value<PlaylistTrack>());
}

std::optional<OfflineTrackEntry> OfflineStore::entry(const QString &key) const
{
    QMutexLocker locker(&m_lock);
    const auto it = m_indexByKey.constFind(key);
    if (it == m_indexByKey.cend())
        return std::nullopt;
    return *it;
}

std::optional<OfflineTrackEntry> OfflineStore::entry(const PlaylistTrack &track) const
{
    return entry(offlineKey(track));
}

QVariant OfflineStore::entryFor(const QVariant &track) const
{
    if (track.metaType() != QMetaType::fromType<PlaylistTrack>())
        return {};
    const auto found = entry(track.value<PlaylistTrack>());
    return found ? QVariant::fromValue(*found) : QVariant();
}

std::optional<QUrl> OfflineStore::audioURL(const PlaylistTrack &track) const
{
    const QString key = offlineKey(track);
    const QDir folder(downloadsFolder());
    QMutexLocker locker(&m_lock);
    const auto it = m_indexByKey.constFind(key);
    if (it == m_indexByKey.cend())
        return std::nullopt;
    const QString path = folder.filePath(it->audioFileName);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return QUrl::fromLocalFile(path);
}

std::optional<QString> OfflineStore::artworkPathString(const PlaylistTrack &track) const
{
    const QString key = offlineKey(track);
    const QDir folder(downloadsFolder());
    QMutexLocker locker(&m_lock);
    const auto it = m_indexByKey.constFind(key);
    if (it == m_indexByKey.cend() || !it->artworkFileName)
        return std::nullopt;
    const QString path = folder.filePath(*it->artworkFileName);
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString OfflineStore::artworkURLString(const QString &fileName) const
{
    return fileURLString(fileName);
}

qint64 OfflineStore::totalSizeBytes() const
{
    QMutexLocker locker(&m_lock);
    qint64 total = 0;
    for (const auto &entry : m_indexByKey)
        total += entry.sizeBytes;
    return total;
}

std::optional<Station> OfflineStore::offlineStation() const
{
    QList<OfflineTrackEntry> entries;
    {
        QMutexLocker locker(&m_lock);
        entries = m_indexByKey.values();
    }
    if (entries.isEmpty())
        return std::nullopt;
    OfflineIndex::sortNewestFirst(entries);
    std::reverse(entries.begin(), entries.end()); // oldest first

    QList<PlaylistTrack> tracks;
    tracks.reserve(entries.size());
    for (const OfflineTrackEntry &e : std::as_const(entries)) {
        PlaylistTrack t;
        t.trackType = e.trackType;
        t.trackID = e.trackID;
        t.title = e.title;
        t.artist = e.artist;
        t.duration = e.duration;
        t.artworkURL = e.artworkFileName ? std::optional<QString>(fileURLString(*e.artworkFileName))
                                         : e.artworkRemoteURL;
        t.streamURL = fileURLString(e.audioFileName);
        tracks.append(std::move(t));
    }
    Station station;
    station.genre = QStringLiteral("offline-library");
    station.title = QStringLiteral("دانلود شدهها");
    station.serverName = QStringLiteral("دانلود شدهها");
    station.source = QStringLiteral("custom");
    station.category = QStringLiteral("playlists");
    station.trackIndex = 0;
    station.trackCount = tracks.size();
    station.tracks = std::move(tracks);
    return station;
}

QVariant OfflineStore::offlineStationValue() const
{
    const auto station = offlineStation();
    return station ? QVariant::fromValue(*station) : QVariant();
}

QVariantList OfflineStore::entryList() const
{
    QVariantList list;
    list.reserve(m_entries.size());
    for (const auto &entry : m_entries)
        list.append(QVariant::fromValue(entry));
    return list;
}

QVariantMap OfflineStore::activeProgressMap() const
{
    QVariantMap map;
    for (auto it = m_activeProgress.cbegin(); it != m_activeProgress.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

QVariantMap OfflineStore::downloadErrorsMap() const
{
    QVariantMap map;
    for (auto it = m_downloadErrors.cbegin(); it != m_downloadErrors.cend(); ++it)
        map.insert(it.key(), it.value());
    return map;
}

QVariantMap OfflineStore::pendingMetaMap() const
{
    QVariantMap map;
    for (auto it = m_pendingMeta.cbegin(); it != m_pendingMeta.cend(); ++it)
        map.insert(it.key(), QVariant::fromValue(it.value()));
    return map;
}

// ------------------------------------------------------------------ downloads

void OfflineStore::download(const PlaylistTrack &track)
{
    Q_ASSERT(onGuiThread(this));
    const QString key = offlineKey(track);
    const std::optional<QUrl> audioURL = m_client->absolute(track.streamURL);
    std::optional<QUrl> artworkURL = m_client->absolute(track.artworkURL);
    if (!isDownloadable(artworkURL))
        artworkURL.reset();
    QNetworkAccessManager *network = session();
    const QString folder = downloadsFolder();

    OfflineDownload *job = nullptr;
    {
        // One section: two quick calls for one track can never both start a download.
        QMutexLocker locker(&m_lock);
        if (m_indexByKey.contains(key) || m_downloadTasks.contains(key))
            return;
        if (isDownloadable(audioURL)) {
            job = new OfflineDownload(network, *audioURL, artworkURL, folder, m_limits, this);
            m_downloadTasks.insert(key, job);
        }
    }
    if (!job) {
        setDownloadError(key, noDownloadLinkText());
        setLastError(noDownloadLinkText());
        return;
    }

    connect(job, &OfflineDownload::progress, this, [this, key](double fraction) { setProgress(key, fraction); });
    connect(job, &OfflineDownload::finished, this, [this, key, track, job](const OfflineDownload::Result &result) {
        onDownloadFinished(key, track, job, result);
    });
    setProgress(key, 0.0);
    m_pendingMeta.insert(key, track);
    emit pendingMetaChanged();
    setLastError(std::nullopt);
    setDownloadError(key, std::nullopt);
    job->start();
}

void OfflineStore::onDownloadFinished(const QString &key, const PlaylistTrack &track, OfflineDownload *job,
                                      const OfflineDownload::Result &result)
{
    switch (result.status) {
    case OfflineDownload::Result::Status::Cancelled:
        job->deleteLater();
        finishFailed(key, std::nullopt);
        return;
    case OfflineDownload::Result::Status::Failed:
        job->deleteLater();
        finishFailed(key, result.error);
        return;
    case OfflineDownload::Result::Status::Stored:
        break;
    }

    OfflineTrackEntry entry;
    entry.key = key;
    entry.trackType = track.trackType;
    entry.trackID = track.trackID;
    entry.title = track.title.value_or(QStringLiteral("بدون عنوان"));
    entry.artist = track.artist.value_or(QString());
    entry.artworkRemoteURL = track.artworkURL;
    entry.artworkFileName = result.artworkFileName;
    entry.audioFileName = result.audioFileName;
    entry.duration = track.duration;
    entry.sizeBytes = result.sizeBytes;
    entry.downloadedAt = QDateTime::currentDateTimeUtc();
    {
        // Still running (and holding its files) until the index that lists it is on disk.
        QMutexLocker locker(&m_lock);
        m_staged.insert(key, Staged{entry, 0, job});
    }
    persistIndex();
}

void OfflineStore::finishFailed(const QString &key, const std::optional<QString> &error)
{
    {
        QMutexLocker locker(&m_lock);
        m_downloadTasks.remove(key);
    }
    removeProgress(key);
    if (error) {
        setDownloadError(key, downloadErrorPrefix() + *error);
        setLastError(downloadErrorPrefix() + *error);
    }
}

void OfflineStore::cancelDownload(const PlaylistTrack &track)
{
    const QString key = offlineKey(track);
    QPointer<OfflineDownload> job;
    {
        QMutexLocker locker(&m_lock);
        job = m_downloadTasks.value(key);
    }
    if (!job)
        return;
    if (onGuiThread(this))
        job->cancel();
    else
        QMetaObject::invokeMethod(job, &OfflineDownload::cancel, Qt::QueuedConnection);
}

void OfflineStore::removeStoredFiles(const OfflineTrackEntry &entry) const
{
    const QDir folder(downloadsFolder());
    // The entry may come from QML: only ever delete inside the downloads folder.
    if (OfflineIndex::isPlainFileName(entry.audioFileName))
        QFile::remove(folder.filePath(entry.audioFileName));
    if (entry.artworkFileName && OfflineIndex::isPlainFileName(*entry.artworkFileName))
        QFile::remove(folder.filePath(*entry.artworkFileName));
}

void OfflineStore::remove(const OfflineTrackEntry &entry)
{
    removeStoredFiles(entry);
    {
        QMutexLocker locker(&m_lock);
        m_indexByKey.remove(entry.key);
    }
    republishEntries();
    persistIndex();
}

void OfflineStore::removeAll()
{
    QList<OfflineTrackEntry> removed;
    {
        QMutexLocker locker(&m_lock);
        removed = m_indexByKey.values();
        m_indexByKey.clear();
    }
    // Running downloads go on; each one that completes adds itself again.
    for (const auto &entry : std::as_const(removed))
        removeStoredFiles(entry);
    OfflineFolder::removeLeftoverParts(downloadsFolder(), runningPartNames());
    republishEntries();
    persistIndex();
}

void OfflineStore::download(const QVariant &track)
{
    if (track.metaType() == QMetaType::fromType<PlaylistTrack>())
        download(track.value<PlaylistTrack>());
}

void OfflineStore::cancelDownload(const QVariant &track)
{
    if (track.metaType() == QMetaType::fromType<PlaylistTrack>())
        cancelDownload(track.value<PlaylistTrack>());
}

void OfflineStore::remove(const QVariant &entry)
{
    if (entry.metaType() == QMetaType::fromType<OfflineTrackEntry>())
        remove(entry.value<OfflineTrackEntry>());
}

// ------------------------------------------------------------------ published state

void OfflineStore::setLastError(std::optional<QString> error)
{
    m_lastError = std::move(error);
    emit lastErrorChanged();
}

void OfflineStore::setDownloadError(const QString &key, std::optional<QString> error)
{
    if (error ? m_downloadErrors.value(key) == *error : !m_downloadErrors.contains(key))
        return;
    if (error)
        m_downloadErrors.insert(key, *error);
    else
        m_downloadErrors.remove(key);
    emit downloadErrorsChanged();
}

void OfflineStore::setProgress(const QString &key, double fraction)
{
    m_activeProgress.insert(key, fraction);
    emit activeProgressChanged();
}

void OfflineStore::removeProgress(const QString &key)
{
    if (m_activeProgress.remove(key))
        emit activeProgressChanged();
    if (m_pendingMeta.remove(key))
        emit pendingMetaChanged();
}
