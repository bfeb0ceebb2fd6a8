// Catalogue decoding: 2,000 stations with 100 tracks each, decoded into [Station], against
// QJsonDocument::fromJson alone on the same bytes. Target: the full decode costs at most 3x the
// parse. The ratio is printed after the runs.
#include "Models/Station.h"
#include "Models/StationCompaction.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

QByteArray makeCatalogue(int stations, int tracksPerStation)
{
    QJsonArray list;
    for (int s = 0; s < stations; ++s) {
        QJsonArray tracks;
        for (int t = 0; t < tracksPerStation; ++t) {
            QJsonObject track{
                {"id", s * 1000 + t},
                {"track_type", "music"},
                {"track_id", QStringLiteral("g%1-%2").arg(s).arg(t)},
                {"title", QStringLiteral("آهنگ شماره %1").arg(t)},
                {"artist", QStringLiteral("Artist %1").arg(t % 17)},
                {"artwork_url", QStringLiteral("/artwork/g%1-%2.jpg").arg(s).arg(t)},
                {"duration", 180 + t},
            };
            // Some backends write numbers as strings; the lenient decoder takes both.
            if (t % 10 == 0)
                track.insert("duration", QString::number(180 + t));
            if (t % 2 == 0)
                track.insert("stream_url", QStringLiteral("/audio/g%1-%2.mp3").arg(s).arg(t));
            tracks.append(track);
        }
        list.append(QJsonObject{
            {"genre", QStringLiteral("genre-%1").arg(s)},
            {"title", "Artist - Song"},
            {"server_name", QStringLiteral("ایستگاه %1").arg(s)},
            {"artwork_url", QStringLiteral("/artwork/genre-%1.jpg").arg(s)},
            {"category", s % 2 ? "iranian" : "international"},
            {"display_genre", "Pop"},
            {"track_index", s % tracksPerStation},
            {"track_count", tracksPerStation},
            {"elapsed_seconds", 12.5},
            {"tracks", tracks},
        });
    }
    return QJsonDocument(QJsonObject{{"code", 200}, {"message", "ok"}, {"data", list}})
        .toJson(QJsonDocument::Compact);
}

const QByteArray &catalogue()
{
    static const QByteArray bytes = makeCatalogue(2000, 100);
    return bytes;
}

double parseSeconds = 0;
double decodeSeconds = 0;

void BM_ParseOnly(benchmark::State &state)
{
    const QByteArray &bytes = catalogue();
    for (auto _ : state) {
        QJsonDocument document = QJsonDocument::fromJson(bytes);
        benchmark::DoNotOptimize(document);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_ParseOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_DecodeStations(benchmark::State &state)
{
    const QByteArray &bytes = catalogue();
    for (auto _ : state) {
        StationsResponse response = json::decode<StationsResponse>(bytes);
        if (!response.data || response.data->size() != 2000)
            state.SkipWithError("catalogue did not decode");
        benchmark::DoNotOptimize(response);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * bytes.size());
}
BENCHMARK(BM_DecodeStations)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The copy a large catalogue gets after decoding (on the worker, before it is handed over).
void BM_CompactStations(benchmark::State &state)
{
    const QList<Station> stations = *json::decode<StationsResponse>(catalogue()).data;
    for (auto _ : state) {
        QList<Station> compact = compactStations(stations);
        benchmark::DoNotOptimize(compact);
    }
}
BENCHMARK(BM_CompactStations)->Unit(benchmark::kMillisecond)->MinTime(2.0);

class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            // With repetitions, compare medians.
            if (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median")
                continue;
            const double perIteration = run.GetAdjustedRealTime();
            if (run.benchmark_name().find("BM_ParseOnly") == 0)
                parseSeconds = perIteration;
            else if (run.benchmark_name().find("BM_DecodeStations") == 0)
                decodeSeconds = perIteration;
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

} // namespace

int main(int argc, char **argv)
{
    benchmark::Initialize(&argc, argv);
    std::printf("catalogue: %.1f MiB of JSON\n", catalogue().size() / 1048576.0);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    if (parseSeconds > 0 && decodeSeconds > 0) {
        const double ratio = decodeSeconds / parseSeconds;
        std::printf("full decode / parse alone = %.2f (target <= 3.00): %s\n", ratio,
                    ratio <= 3.0 ? "met" : "NOT met");
    }
    benchmark::Shutdown();
    return 0;
}
