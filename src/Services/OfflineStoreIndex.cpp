// The offline store's index: reading it at start (and making it again when it cannot be read),
// writing it after each change, and what a write that failed means for the downloads.

#include "Services/OfflineStore.h"

#include "Services/OfflineFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

namespace {

const QString kLegacyAudioSuffix = QStringLiteral(".audio");
// Beside the index: the last index that could not be read, kept when a new one is made.
const QString kUnreadableSuffix = QStringLiteral(".unreadable");

} // namespace

QString OfflineStore::indexNotSavedText(AtomicFile::Failure failure)
{
    return QStringLiteral("فهرست دانلودها ذخیره نشد: ") + OfflineDownload::writeFailureText(failure);
}

QString OfflineStore::indexRebuiltText()
{
    return QStringLiteral("فهرست دانلودها خوانده نشد و دوباره ساخته شد؛ هیچ دانلودی پاک نشد");
}

void OfflineStore::loadIndex()
{
    QFile file(indexFilePath());
    const bool exists = file.exists();
    QByteArray bytes;
    std::optional<QList<OfflineTrackEntry>> decoded;
    if (file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
        if (file.error() == QFileDevice::NoError)
            decoded = OfflineIndex::decode(bytes);
        file.close();
    }
    if (!decoded) {
        // Missing, unreadable, empty or cut short: what is on disk is not "nothing downloaded".
        rebuildIndex(exists, bytes);
        return;
    }

    bool renamed = false;
    QHash<QString, OfflineTrackEntry> index = acceptEntries(std::move(*decoded), &renamed);
    // Files that the index, read whole, does not name: stored just before a crash or a kill
    // could index them, never shown as downloaded.
    QSet<QString> named;
    for (const OfflineTrackEntry &entry : std::as_const(index)) {
        named.insert(entry.audioFileName);
        if (entry.artworkFileName)
            named.insert(*entry.artworkFileName);
    }
    OfflineFolder::removeUnnamedFiles(downloadsFolder(), named);
    {
        QMutexLocker locker(&m_lock);
        m_indexByKey = std::move(index);
    }
    republishEntries();
    if (renamed)
        persistIndex();
}

QHash<QString, OfflineTrackEntry> OfflineStore::acceptEntries(QList<OfflineTrackEntry> entries, bool *renamed) const
{
    const QDir folder(downloadsFolder());
    QHash<QString, OfflineTrackEntry> index;
    for (OfflineTrackEntry &entry : entries) {
        // Names come from a file on disk: never let one point outside the folder.
        if (!OfflineIndex::isPlainFileName(entry.audioFileName))
            continue;
        if (entry.artworkFileName && !OfflineIndex::isPlainFileName(*entry.artworkFileName))
            entry.artworkFileName.reset();
        const QString audioPath = folder.filePath(entry.audioFileName);
        if (!QFileInfo(audioPath).isFile())
            continue;
        if (entry.audioFileName.endsWith(kLegacyAudioSuffix)) {
            QFile audio(audioPath);
            if (audio.open(QIODevice::ReadOnly)) {
                const QByteArray head = audio.read(16);
                audio.close();
                QString newName = entry.audioFileName;
                newName.replace(kLegacyAudioSuffix, QLatin1Char('.') + sniffAudioExtension(head));
                if (OfflineIndex::isPlainFileName(newName) && QFile::rename(audioPath, folder.filePath(newName))) {
                    entry.audioFileName = newName;
                    *renamed = true;
                }
            }
        }
        index.insert(entry.key, entry);
    }
    return index;
}

void OfflineStore::rebuildIndex(bool fileExists, const QByteArray &unreadable)
{
    bool renamed = false;
    QHash<QString, OfflineTrackEntry> index = acceptEntries(OfflineIndex::salvage(unreadable), &renamed);
    QSet<QString> named;
    for (const OfflineTrackEntry &entry : std::as_const(index))
        named.insert(entry.audioFileName);
    // Audio that nothing readable names is listed by its file alone, to be played or removed.
    for (OfflineTrackEntry &entry : OfflineFolder::entriesFromFiles(downloadsFolder(), named))
        index.insert(entry.key, std::move(entry));
    if (index.isEmpty())
        return; // nothing was downloaded: start empty and write nothing
    if (fileExists) {
        // A copy, not the file itself: should the new index not be written either, the next
        // start reads what it can of the old one again.
        const QString kept = indexFilePath() + kUnreadableSuffix;
        QFile::remove(kept);
        QFile::copy(indexFilePath(), kept);
    }
    {
        QMutexLocker locker(&m_lock);
        m_indexByKey = std::move(index);
    }
    republishEntries();
    persistIndex();
    setLastError(indexRebuiltText());
}

void OfflineStore::persistIndex()
{
    QList<OfflineTrackEntry> snapshot;
    quint64 generation = 0;
    {
        QMutexLocker locker(&m_lock);
        generation = ++m_indexGeneration;
        snapshot = m_indexByKey.values();
        for (auto it = m_staged.begin(); it != m_staged.end(); ++it) {
            if (it->generation == 0)
                it->generation = generation;
            snapshot.append(it->entry);
        }
    }
    // Sorting and encoding happen on the writer's thread.
    m_writer.submit(generation, indexFilePath(), std::move(snapshot));
}

void OfflineStore::onIndexWritten(quint64 generation, AtomicFile::Failure failure)
{
    const bool written = failure == AtomicFile::Failure::None;
    QList<std::pair<QString, Staged>> resolved;
    {
        QMutexLocker locker(&m_lock);
        for (auto it = m_staged.begin(); it != m_staged.end();) {
            if (it->generation == 0 || it->generation > generation) {
                ++it;
                continue;
            }
            if (written)
                m_indexByKey.insert(it.key(), it->entry);
            m_downloadTasks.remove(it.key());
            resolved.append({it.key(), *it});
            it = m_staged.erase(it);
        }
    }
    for (const auto &[key, staged] : std::as_const(resolved)) {
        // The files go while the download still holds them; then the download and its lock.
        if (!written)
            removeStoredFiles(staged.entry);
        if (staged.job)
            staged.job->deleteLater();
        if (written)
            removeProgress(key);
        else
            finishFailed(key, OfflineDownload::writeFailureText(failure));
    }
    if (written) {
        if (!resolved.isEmpty())
            republishEntries();
        return;
    }
    // The next change writes the whole index again; until then memory is the truth.
    if (resolved.isEmpty())
        setLastError(indexNotSavedText(failure));
}

QSet<QString> OfflineStore::runningPartNames() const
{
    QSet<QString> names;
    QMutexLocker locker(&m_lock);
    for (const QPointer<OfflineDownload> &job : m_downloadTasks) {
        if (job && !job->partFileName().isEmpty())
            names.insert(job->partFileName());
    }
    return names;
}

void OfflineStore::waitForIndexWrites()
{
    m_writer.waitForIdle();
}

void OfflineStore::republishEntries()
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, &OfflineStore::republishEntries, Qt::QueuedConnection);
        return;
    }
    QList<OfflineTrackEntry> entries;
    {
        QMutexLocker locker(&m_lock);
        entries = m_indexByKey.values();
    }
    OfflineIndex::sortNewestFirst(entries);
    m_entries = std::move(entries);
    emit entriesChanged();
}
