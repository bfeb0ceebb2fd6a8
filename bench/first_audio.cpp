// Time to first audio from a real radio server (icecast2 on loopback, ffmpeg as its source):
// from the press on a live station (RadioPlayer::select) to the first buffer the audio output
// renders, against GStreamer alone (a bare playbin into the same output, buffering handled the
// way gst-launch does). Each press opens a new connection, as a listener's does. Target: this
// application takes at most 1.1 times GStreamer alone (median of the repetitions).
//     build/bench/bench_first_audio [--benchmark_repetitions=N]

#include "Services/GstPlaybackEngine.h"
#include "Services/RadioPlayer.h"
#include "support/IcecastServer.h"
#include "support/PlaybackTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <atomic>
#include <cstdio>
#include <iostream>
#include <map>

namespace {

testsupport::IcecastServer *server = nullptr;

const std::map<int, QString> Mounts{{0, QStringLiteral("/bench.mp3")}, {1, QStringLiteral("/bench.ogg")}};

// The output both sides play into: a fake audio sink that consumes in real time and tells when
// it renders its first buffer (not the preroll: that one is held back until playing starts).
struct RenderWatch {
    std::atomic<qint64> firstRenderNs{0};
    QElapsedTimer *clock = nullptr;

    GstElement *makeSink()
    {
        GstElement *sink = testsupport::makeFakeAudioSink(true);
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer data) {
            auto *watch = static_cast<RenderWatch *>(data);
            qint64 none = 0;
            watch->firstRenderNs.compare_exchange_strong(none, watch->clock->nsecsElapsed());
        }), this);
        return sink;
    }
    void reset() { firstRenderNs = 0; }
};

// A catalogue of one live station whose stream is the mount; the catalogue poll gets it back.
class OneStation : public StationSource
{
public:
    explicit OneStation(Station station) : m_station(std::move(station)) {}
    QCoro::Task<QList<Station>> fetchStations() override { co_return QList<Station>{m_station}; }
    QCoro::Task<Station> hydrateSongsara(QString) override { co_return m_station; }
    std::optional<QUrl> absolute(const std::optional<QString> &path) const override
    {
        return path ? std::optional<QUrl>(QUrl(*path)) : std::nullopt;
    }
    QCoro::Task<QByteArray> download(QUrl) override
    {
        throw std::runtime_error("no artwork");
        co_return {};
    }
    Station m_station;
};

class NothingOffline : public OfflineLookup
{
public:
    std::optional<QUrl> audioURL(const PlaylistTrack &) const override { return std::nullopt; }
    bool isDownloaded(const PlaylistTrack &) const override { return false; }
    std::optional<QString> currentTrackArtworkURL(const Station &) const override { return std::nullopt; }
};

Station liveStation(const QUrl &url)
{
    Station s;
    s.genre = QStringLiteral("bench-live");
    s.serverName = QStringLiteral("Bench");
    s.streamURL = url.toString();
    return s;
}

constexpr int TimeoutMs = 15000;

void BM_GStreamerAlone(benchmark::State &state)
{
    const QUrl url = server->url(Mounts.at(int(state.range(0))));
    QElapsedTimer clock;
    RenderWatch watch;
    watch.clock = &clock;
    for (auto _ : state) {
        GstElement *playbin = gst_element_factory_make("playbin", nullptr);
        g_object_set(playbin, "uri", url.toString().toUtf8().constData(), "audio-sink", watch.makeSink(), nullptr);
        GstBus *bus = gst_element_get_bus(playbin);
        watch.reset();
        clock.start();
        gst_element_set_state(playbin, GST_STATE_PLAYING);
        bool failed = false;
        while (!watch.firstRenderNs && !failed && clock.elapsed() < TimeoutMs) {
            GstMessage *message = gst_bus_timed_pop_filtered(
                bus, 2 * GST_MSECOND, GstMessageType(GST_MESSAGE_BUFFERING | GST_MESSAGE_ERROR));
            if (!message)
                continue;
            if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR) {
                failed = true;
            } else {
                gint percent = 100;
                gst_message_parse_buffering(message, &percent);
                gst_element_set_state(playbin, percent < 100 ? GST_STATE_PAUSED : GST_STATE_PLAYING);
            }
            gst_message_unref(message);
        }
        const qint64 ns = watch.firstRenderNs;
        gst_element_set_state(playbin, GST_STATE_NULL);
        gst_object_unref(bus);
        gst_object_unref(playbin);
        if (!ns) {
            state.SkipWithError("no audio from GStreamer alone");
            return;
        }
        state.SetIterationTime(double(ns) / 1e9);
    }
}

void BM_ThisApplication(benchmark::State &state)
{
    const QUrl url = server->url(Mounts.at(int(state.range(0))));
    QElapsedTimer clock;
    RenderWatch watch;
    watch.clock = &clock;
    // The player exists before the press, as it does in the running application.
    GstPlaybackEngine engine(nullptr, watch.makeSink());
    OneStation stations(liveStation(url));
    NothingOffline offline;
    RadioPlayer::Dependencies deps;
    deps.engine = &engine;
    deps.stations = &stations;
    deps.offline = &offline;
    RadioPlayer player(deps);
    for (auto _ : state) {
        watch.reset();
        clock.start();
        player.select(stations.m_station);
        testsupport::waitUntil([&] { return watch.firstRenderNs != 0; }, TimeoutMs);
        const qint64 ns = watch.firstRenderNs;
        player.togglePlayPause();
        testsupport::waitUntil([&] { return !player.isPlaying(); }, TimeoutMs);
        if (!ns) {
            state.SkipWithError("no audio from the application");
            return;
        }
        state.SetIterationTime(double(ns) / 1e9);
    }
}

void mounts(benchmark::internal::Benchmark *b)
{
    b->ArgName("ogg")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(7);
}

BENCHMARK(BM_GStreamerAlone)->Apply(mounts);
BENCHMARK(BM_ThisApplication)->Apply(mounts);

// Prints each median beside GStreamer alone's on the same mount.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.aggregate_name != "median")
                continue;
            const std::string name = run.benchmark_name();
            const std::string mount = name.substr(name.find('/'));
            const double ms = run.GetAdjustedRealTime();
            if (name.rfind("BM_GStreamerAlone", 0) == 0)
                m_floor[mount] = ms;
            else if (m_floor.count(mount))
                std::fprintf(stderr, "first audio %s: %.0f ms, GStreamer alone %.0f ms, ratio %.2f (target <= 1.10)\n",
                             mount.c_str(), ms, m_floor[mount], ms / m_floor[mount]);
        }
    }

private:
    std::map<std::string, double> m_floor;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication app(argc, argv);
    gst_init(&argc, &argv);
    benchmark::Initialize(&argc, argv);
    const QString missing = testsupport::IcecastServer::missingTools();
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "bench_first_audio: %s\n", qPrintable(missing));
        return 1;
    }
    testsupport::IcecastServer icecast;
    if (!icecast.start() || !icecast.startSource(Mounts.at(0), testsupport::MountFormat::Mp3)
        || !icecast.startSource(Mounts.at(1), testsupport::MountFormat::OggVorbis)) {
        std::fprintf(stderr, "bench_first_audio: icecast2 did not start\n%s\n", qPrintable(icecast.log()));
        return 1;
    }
    server = &icecast;
    // The player's console lines go to standard output; the results to standard error.
    std::fflush(stdout);
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;
    RatioReporter reporter;
    reporter.SetOutputStream(&std::cerr);
    reporter.SetErrorStream(&std::cerr);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
