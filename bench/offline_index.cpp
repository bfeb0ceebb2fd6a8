// Cost of the offline index file: encoding, atomic writes, reading back.
#include "Services/OfflineIndexWriter.h"
#include "Services/OfflineTrackEntry.h"

#include <QFile>
#include <QHash>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QUuid>

#include <benchmark/benchmark.h>

namespace {

QList<OfflineTrackEntry> makeEntries(int count)
{
    QList<OfflineTrackEntry> entries;
    entries.reserve(count);
    const QDateTime start(QDate(2024, 3, 1), QTime(12, 0), QTimeZone::utc());
    for (int i = 0; i < count; ++i) {
        OfflineTrackEntry e;
        e.trackType = QStringLiteral("songsara");
        e.trackID = QString::number(100000 + i);
        e.key = *e.trackType + QLatin1Char('|') + *e.trackID;
        e.title = QStringLiteral("ترانهٔ شمارهٔ %1").arg(i);
        e.artist = QStringLiteral("هنرمند %1").arg(i % 40);
        e.artworkRemoteURL = QStringLiteral("/artwork/track-%1.jpg").arg(i);
        e.artworkFileName = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".art");
        e.audioFileName = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper() + QStringLiteral(".mp3");
        e.duration = 180 + i % 120;
        e.sizeBytes = 4'000'000 + i * 1'337;
        e.downloadedAt = start.addMSecs(qint64(i) * 61'250);
        entries.append(e);
    }
    return entries;
}

void BM_EncodeIndex(benchmark::State &state)
{
    auto entries = makeEntries(int(state.range(0)));
    qint64 bytes = 0;
    for (auto _ : state) {
        auto copy = entries;
        OfflineIndex::sortNewestFirst(copy);
        const QByteArray json = OfflineIndex::encode(copy);
        bytes = json.size();
        benchmark::DoNotOptimize(json.constData());
    }
    state.counters["file_bytes"] = double(bytes);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EncodeIndex)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

// Encode + atomic write (temporary file, flush, fsync, rename), as the writer thread does.
void BM_WriteIndexFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("offline_index.json"));
    const auto entries = makeEntries(int(state.range(0)));
    for (auto _ : state) {
        if (OfflineIndexWriter::writeIndexFile(path, entries) != AtomicFile::Failure::None)
            state.SkipWithError("write failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_WriteIndexFile)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A burst of 50 changes handed to the serial writer: most snapshots are superseded before
// they are written, so the burst costs a few writes, not fifty.
void BM_WriterBurst(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("offline_index.json"));
    const auto entries = makeEntries(1000);
    quint64 generation = 0;
    OfflineIndexWriter writer;
    for (auto _ : state) {
        for (int i = 0; i < 50; ++i)
            writer.submit(++generation, path, entries.mid(0, 950 + i));
        writer.waitForIdle();
    }
    state.SetItemsProcessed(state.iterations() * 50);
}
BENCHMARK(BM_WriterBurst)->Unit(benchmark::kMillisecond)->UseRealTime();

// Handing a snapshot to the writer: what the caller's thread pays per change.
void BM_WriterSubmit(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("offline_index.json"));
    const auto entries = makeEntries(1000);
    quint64 generation = 0;
    OfflineIndexWriter writer;
    for (auto _ : state)
        writer.submit(++generation, path, entries);
    writer.waitForIdle();
}
BENCHMARK(BM_WriterSubmit)->Unit(benchmark::kMicrosecond);

// What a change costs the GUI thread before the writer takes over: copying the index's values
// out of the map (under the store's lock).
void BM_SnapshotIndex(benchmark::State &state)
{
    QHash<QString, OfflineTrackEntry> index;
    for (const auto &entry : makeEntries(int(state.range(0))))
        index.insert(entry.key, entry);
    for (auto _ : state) {
        QList<OfflineTrackEntry> snapshot = index.values();
        benchmark::DoNotOptimize(snapshot.constData());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_SnapshotIndex)->Arg(1000)->Unit(benchmark::kMicrosecond);

void BM_DecodeIndex(benchmark::State &state)
{
    const QByteArray json = OfflineIndex::encode(makeEntries(int(state.range(0))));
    for (auto _ : state) {
        auto decoded = OfflineIndex::decode(json);
        if (!decoded)
            state.SkipWithError("decode failed");
        benchmark::DoNotOptimize(decoded);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_DecodeIndex)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
