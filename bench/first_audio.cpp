// Time to first audio from a real radio server (icecast2 on loopback, ffmpeg as its source):
// from the press on a live station to the first buffer the audio output renders, against
// GStreamer alone (a bare playbin into the same output, buffering handled the way gst-launch
// does). Two presses: the player's own (RadioPlayer::select), and a press on a live card of the
// home screen, which also brings the full player up in a real Qt Quick window (offscreen) with
// the application's shared player, its equaliser tap and its system media controls. Each press
// opens a new connection, as a listener's does; every mount holds a full burst and is played
// once before the clock runs, and the repetitions of the cases are interleaved, so no case pays
// for a cold server.
// Target: this application takes at most 1.1 times GStreamer alone (median of the repetitions).
//     build/bench/bench_first_audio [--benchmark_repetitions=N]

#include "HomeViewModel.h"
#include "Services/APIClient.h"
#include "Services/GstPlaybackEngine.h"
#include "Services/RadioPlayer.h"
#include "support/IcecastServer.h"
#include "support/PlaybackTestSupport.h"
#include "support/QuickHost.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QQuickWindow>
#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <algorithm>
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
        watch(sink);
        return sink;
    }
    // Notes the first buffer a fake audio sink renders.
    void watch(GstElement *sink)
    {
        g_object_set(sink, "signal-handoffs", TRUE, nullptr);
        g_signal_connect(sink, "handoff", G_CALLBACK(+[](GstElement *, GstBuffer *, GstPad *, gpointer data) {
            auto *watch = static_cast<RenderWatch *>(data);
            qint64 none = 0;
            watch->firstRenderNs.compare_exchange_strong(none, watch->clock->nsecsElapsed());
        }), this);
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

// One press of GStreamer alone: a new playbin to the first rendered buffer; 0 when none came.
qint64 gstreamerAloneOnce(const QUrl &url, RenderWatch &watch, QElapsedTimer &clock)
{
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
    return ns;
}

void BM_GStreamerAlone(benchmark::State &state)
{
    const QUrl url = server->url(Mounts.at(int(state.range(0))));
    QElapsedTimer clock;
    RenderWatch watch;
    watch.clock = &clock;
    for (auto _ : state) {
        const qint64 ns = gstreamerAloneOnce(url, watch, clock);
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

// The application's shared player renders into the default output, which the process has made
// the fake sink (see main): its first buffer is watched wherever the pipeline builds that sink.
void watchDefaultOutput(GstElement *pipeline, RenderWatch *watch)
{
    g_signal_connect(pipeline, "deep-element-added", G_CALLBACK(+[](GstBin *, GstBin *, GstElement *element, gpointer data) {
        GstElementFactory *factory = gst_element_get_factory(element);
        if (!factory || g_strcmp0(GST_OBJECT_NAME(factory), "fakeaudiosink") != 0)
            return;
        static_cast<RenderWatch *>(data)->watch(element);
    }), watch);
}

// What a press on a card needs before the clock runs: the window with its full-screen cover, the
// home screen's model, and the watch on the shared player's output.
struct CardScreen {
    QElapsedTimer clock;
    RenderWatch watch;
    std::unique_ptr<QQmlEngine> qml;
    quickhost::HostedScreen window;
    std::unique_ptr<HomeViewModel> home;
    QString error;

    CardScreen()
    {
        watch.clock = &clock;
        auto *engine = dynamic_cast<GstPlaybackEngine *>(RadioPlayer::shared()->engine());
        if (!engine || !engine->player().pipeline()) {
            error = QStringLiteral("the shared player has no pipeline");
            return;
        }
        watchDefaultOutput(engine->player().pipeline(), &watch);
        qml = quickhost::makeEngine();
        window = quickhost::HostedScreen::loadText(
            *qml, "import QtQuick\nimport Melodrift\n"
                  "Item { FullScreenCover { presenter: RadioPlayer; flag: \"isFullPlayerPresented\";"
                  " source: \"qrc:/Melodrift/FullPlayerView.qml\" } }",
            {}, QSize(480, 960));
        if (!window.isValid())
            error = window.error();
        home = std::make_unique<HomeViewModel>();
    }
};
CardScreen *cardScreen = nullptr;

void BM_PressOnLiveCard(benchmark::State &state)
{
    const QUrl url = server->url(Mounts.at(int(state.range(0))));
    if (!cardScreen->error.isEmpty()) {
        state.SkipWithError(qPrintable(cardScreen->error));
        return;
    }
    RadioPlayer *player = RadioPlayer::shared();
    RenderWatch &watch = cardScreen->watch;
    const Station station = liveStation(url);
    for (auto _ : state) {
        watch.reset();
        cardScreen->clock.start();
        cardScreen->home->open(QVariant::fromValue(station));
        testsupport::waitUntil([&] { return watch.firstRenderNs != 0; }, TimeoutMs);
        const qint64 ns = watch.firstRenderNs;
        player->togglePlayPause();
        player->setFullPlayerPresented(false);
        testsupport::waitUntil([&] { return !player->isPlaying(); }, TimeoutMs);
        quickhost::settle(400); // the cover slides away and unloads
        if (!ns) {
            state.SkipWithError("no audio from a press on the card");
            return;
        }
        state.SetIterationTime(double(ns) / 1e9);
    }
}

void mounts(benchmark::internal::Benchmark *b)
{
    b->ArgName("ogg")->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(9);
}

BENCHMARK(BM_GStreamerAlone)->Apply(mounts);
BENCHMARK(BM_ThisApplication)->Apply(mounts);
BENCHMARK(BM_PressOnLiveCard)->Apply(mounts);

// Prints each case's median and spread beside GStreamer alone's on the same mount, once every
// repetition is in (interleaved, they arrive in any order).
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            const std::string name = run.benchmark_name();
            const std::string mount = name.substr(name.find('/'), name.find('/', name.find('/') + 1) - name.find('/'));
            m_times[mount][name.substr(0, name.find('/'))].push_back(run.GetAdjustedRealTime());
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        for (auto &[mount, cases] : m_times) {
            const auto alone = cases.find("BM_GStreamerAlone");
            const double floor = alone == cases.end() ? 0 : median(alone->second);
            for (auto &[name, times] : cases) {
                std::sort(times.begin(), times.end());
                std::fprintf(stderr, "first audio %-20s %-10s: median %4.0f ms (%.0f-%.0f, n=%zu)", name.c_str(),
                             mount == "/ogg:1" ? "Ogg Vorbis" : "MP3", median(times), times.front(), times.back(), times.size());
                if (floor > 0 && name != "BM_GStreamerAlone")
                    std::fprintf(stderr, ", ratio %.2f to GStreamer alone (target <= 1.10)", median(times) / floor);
                std::fprintf(stderr, "\n");
            }
        }
    }

private:
    static double median(std::vector<double> times)
    {
        if (times.empty())
            return 0;
        std::sort(times.begin(), times.end());
        const size_t n = times.size();
        return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    }
    std::map<std::string, std::map<std::string, std::vector<double>>> m_times;
};

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application's own player plays into the default output: here the same fake sink.
    if (qEnvironmentVariableIsEmpty("GST_PLUGIN_FEATURE_RANK"))
        qputenv("GST_PLUGIN_FEATURE_RANK", "fakeaudiosink:MAX");
    QGuiApplication app(argc, argv);
    gst_init(&argc, &argv);
    // Repetitions of the cases take turns, so that none meets the server in a state of its own.
    std::vector<char *> args(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    args.insert(args.begin() + 1, interleave);
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
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
    // A mount whose source came only now gives a new listener only what it has sent so far, and
    // the player waits for the rest at the stream's pace: several seconds on the Ogg mount, for
    // whichever case came first. A station a listener presses has been on the air for long:
    // every mount holds a full burst, and plays once, before anything is timed.
    std::fprintf(stderr, "bench_first_audio: waiting until the server holds a full burst of each mount\n");
    for (const auto &mount : Mounts) {
        if (!icecast.waitForFullBurst(mount.second)) {
            std::fprintf(stderr, "bench_first_audio: %s never fills its burst\n", qPrintable(mount.second));
            return 1;
        }
    }
    for (const auto &mount : Mounts) {
        QElapsedTimer clock;
        RenderWatch watch;
        watch.clock = &clock;
        if (!gstreamerAloneOnce(icecast.url(mount.second), watch, clock)) {
            std::fprintf(stderr, "bench_first_audio: %s plays nothing\n", qPrintable(mount.second));
            return 1;
        }
    }
    // The shared player's catalogue poll and artwork stay on this machine (nothing answers).
    APIClient::shared().setBaseURL(QUrl(QStringLiteral("http://127.0.0.1:9/")));
    CardScreen screen;
    cardScreen = &screen;
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
