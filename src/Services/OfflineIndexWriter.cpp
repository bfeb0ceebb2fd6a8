#include "Services/OfflineIndexWriter.h"

OfflineIndexWriter::OfflineIndexWriter(Written written)
    : m_written(std::move(written))
{
    m_pool.setMaxThreadCount(1);
    m_pool.setThreadPriority(QThread::LowPriority);
    // Keep the one thread around between bursts of writes.
    m_pool.setExpiryTimeout(30000);
}

OfflineIndexWriter::~OfflineIndexWriter()
{
    waitForIdle();
}

void OfflineIndexWriter::submit(quint64 generation, const QString &path, QList<OfflineTrackEntry> snapshot)
{
    QMutexLocker locker(&m_mutex);
    if (generation <= m_lastWritten || (m_pending && m_pending->generation >= generation))
        return;
    m_pending = Job{generation, path, std::move(snapshot)};
    if (m_running)
        return; // the running drain picks it up
    m_running = true;
    // Started under the lock so that waitForIdle() never misses a drain about to start.
    m_pool.start([this] { drain(); });
}

void OfflineIndexWriter::drain()
{
    for (;;) {
        QMutexLocker locker(&m_mutex);
        if (!m_pending) {
            m_running = false;
            return;
        }
        Job job = std::move(*m_pending);
        m_pending.reset();
        locker.unlock();

        // After a failure the next change writes the whole index again.
        const AtomicFile::Failure failure = writeIndexFile(job.path, std::move(job.entries));

        locker.relock();
        m_lastWritten = std::max(m_lastWritten, job.generation);
        locker.unlock();
        if (m_written)
            m_written(job.generation, failure);
    }
}

void OfflineIndexWriter::waitForIdle()
{
    m_pool.waitForDone();
}

quint64 OfflineIndexWriter::lastWrittenGeneration() const
{
    QMutexLocker locker(&m_mutex);
    return m_lastWritten;
}

AtomicFile::Failure OfflineIndexWriter::writeIndexFile(const QString &path, QList<OfflineTrackEntry> entries)
{
    OfflineIndex::sortNewestFirst(entries);
    AtomicFile::Failure failure = AtomicFile::Failure::None;
    AtomicFile::writeWhole(path, OfflineIndex::encode(entries), &failure);
    return failure;
}
