#pragma once

#include "Platform/AtomicFile.h"
#include "Services/OfflineTrackEntry.h"

#include <QMutex>
#include <QString>
#include <QThreadPool>

#include <functional>
#include <optional>

// Writes snapshots of the offline index to disk on one background thread, one at a time.
// Each snapshot carries a generation number taken together with the snapshot (under the
// store's lock), so a write is skipped when a newer snapshot has been handed in or written
// already: the file always ends as the newest snapshot, never an older one. Writes are atomic
// (temporary file, flush, sync, rename): a write that fails leaves the previous file.
class OfflineIndexWriter
{
public:
    // Told, on the writer's thread, of each snapshot written (or not: `failure` says why); a
    // skipped snapshot is not told of, a newer one written in its place is.
    using Written = std::function<void(quint64 generation, AtomicFile::Failure failure)>;

    explicit OfflineIndexWriter(Written written = {});
    ~OfflineIndexWriter(); // waits for the write in progress and the pending one

    OfflineIndexWriter(const OfflineIndexWriter &) = delete;
    OfflineIndexWriter &operator=(const OfflineIndexWriter &) = delete;

    // Any thread. The entries are sorted newest first and encoded on the writer's thread.
    void submit(quint64 generation, const QString &path, QList<OfflineTrackEntry> snapshot);

    // Blocks until nothing is pending or being written.
    void waitForIdle();

    // The generation of the last snapshot written (successfully or not); 0 before the first.
    quint64 lastWrittenGeneration() const;

    // Encodes and writes one index file atomically; the failure, or None.
    static AtomicFile::Failure writeIndexFile(const QString &path, QList<OfflineTrackEntry> entries);

private:
    struct Job {
        quint64 generation = 0;
        QString path;
        QList<OfflineTrackEntry> entries;
    };
    void drain();

    const Written m_written;
    mutable QMutex m_mutex;
    std::optional<Job> m_pending;
    bool m_running = false;
    quint64 m_lastWritten = 0;
    QThreadPool m_pool;
};
