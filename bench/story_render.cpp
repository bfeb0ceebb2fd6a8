// A 60 s story with artwork and ten lyric lines, rendered from its config to "story-final.mp4"
// (frames, encoding, audio) through StoryVideoRenderer, against the floor: the same frames, drawn
// and converted beforehand, encoded by x264enc alone with the same settings. Targets: the render
// costs at most 1.25 times the floor (x_floor, the median of three runs) and at most 10 s; the GUI
// thread stays free meanwhile (max_gui_gap_ms: the longest pause between its 10 ms ticks during
// the render, at most 50).

#include "Services/StoryFrameDrawing.h"
#include "Services/StoryVideoRenderer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QCoroTask>
#include <benchmark/benchmark.h>
#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>
#include <gst/gst.h>

#include <vector>

namespace {

constexpr double Seconds = 60;
// Distinct frames prepared for the floor (cycled): memory stays near 170 MB.
constexpr int FloorDistinctFrames = 120;
double g_floorSeconds = 0;

QImage makeCover()
{
    QImage cover(1000, 1000, QImage::Format_RGB32);
    QPainter p(&cover);
    QLinearGradient g(0, 0, 1000, 1000);
    g.setColorAt(0, QColor(0xe0, 0x5a, 0x47));
    g.setColorAt(1, QColor(0x2b, 0x3a, 0x8f));
    p.fillRect(cover.rect(), g);
    p.setPen(QPen(Qt::white, 18));
    for (int i = 0; i < 8; ++i)
        p.drawEllipse(QPointF(500, 500), 60.0 + 55 * i, 60.0 + 55 * i);
    return cover;
}

// A minute and a half of tone, as an MP3 file.
bool writeAudio(const QString &path)
{
    const QString description = QStringLiteral(
        "audiotestsrc num-buffers=3900 samplesperbuffer=1024 freq=440 volume=0.3 ! audio/x-raw,rate=44100,channels=2 "
        "! audioconvert ! lamemp3enc target=bitrate bitrate=128 cbr=true ! filesink location=\"%1\"").arg(path);
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!pipeline)
        return false;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    GstBus *bus = gst_element_get_bus(pipeline);
    GstMessage *end = gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
    const bool ok = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
    if (end)
        gst_message_unref(end);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    return ok;
}

StoryConfig makeConfig(const QString &audioPath)
{
    StoryConfig config;
    config.title = QStringLiteral("شب‌های تهران");
    config.artist = QStringLiteral("آوا آسمان");
    config.coverImage = makeCover();
    config.themeColor = QColor(0xc8, 0x4b, 0x6a);
    config.accentColor = QColor(0xff, 0x6b, 0x4a);
    for (int i = 0; i < 10; ++i)
        config.lines.append(LyricsLine{30.0 + 6 * i, QStringLiteral("این خط شماره %1 از ترانه است").arg(i + 1),
                                       i % 2 ? std::optional<QString>() : QStringLiteral("This is line %1").arg(i + 1)});
    config.startLine = 0;
    config.endLine = 9;
    config.audioURL = QUrl::fromLocalFile(audioPath);
    config.audioStart = 30;
    config.duration = Seconds;
    return config;
}

// The frames of the render, drawn and converted to I420 by the same conversion the writer uses.
std::vector<GstBuffer *> preparedFrames(const StoryConfig &config)
{
    GstElement *pipeline = gst_parse_launch(
        "appsrc name=in format=time caps=video/x-raw,format=BGRA,width=720,height=1280,framerate=24/1 "
        "! videoconvert n-threads=2 ! video/x-raw,format=I420 ! appsink name=out sync=false", nullptr);
    GstElement *in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
    GstElement *out = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    const StoryFrame::ReadyAssets assets(config);
    const auto timings = StoryVideoRenderer::computeLineTimings(config);
    std::vector<GstBuffer *> frames;
    for (int i = 0; i < FloorDistinctFrames; ++i) {
        // Spread over the whole minute, so that the floor sees every line and the card's motion.
        const double t = double(i) * Seconds / FloorDistinctFrames;
        QImage image(720, 1280, QImage::Format_ARGB32_Premultiplied);
        StoryFrame::drawFrame(image, config, assets, timings, t);
        GstBuffer *buffer = gst_buffer_new_memdup(image.constBits(), gsize(image.sizeInBytes()));
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(i), GST_SECOND, 24);
        gst_app_src_push_buffer(GST_APP_SRC(in), buffer);
        GstSample *sample = gst_app_sink_pull_sample(GST_APP_SINK(out));
        frames.push_back(gst_buffer_ref(gst_sample_get_buffer(sample)));
        gst_sample_unref(sample);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(in));
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(in);
    gst_object_unref(out);
    gst_object_unref(pipeline);
    return frames;
}

// One frame drawn into a recycled image: the drawing's share of the render.
void BM_DrawFrame(benchmark::State &state)
{
    const StoryConfig config = makeConfig(QString());
    const StoryFrame::ReadyAssets assets(config);
    const auto timings = StoryVideoRenderer::computeLineTimings(config);
    QImage image(720, 1280, QImage::Format_ARGB32_Premultiplied);
    int i = 0;
    for (auto _ : state) {
        StoryFrame::drawFrame(image, config, assets, timings, double(i++ % 1440) / 24);
    }
}

void BM_FloorX264Alone(benchmark::State &state)
{
    QTemporaryDir dir;
    const StoryConfig config = makeConfig(QString());
    std::vector<GstBuffer *> frames = preparedFrames(config);
    const int count = StoryVideoRenderer::frameCount(Seconds);
    for (auto _ : state) {
        GstElement *pipeline = gst_parse_launch(
            "appsrc name=in format=time block=true max-buffers=6 "
            "caps=video/x-raw,format=I420,width=720,height=1280,framerate=24/1,pixel-aspect-ratio=1/1 "
            "! x264enc speed-preset=veryfast pass=qual quantizer=20 key-int-max=48 ! video/x-h264,profile=high "
            "! fakesink sync=false", nullptr);
        GstElement *in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
        QElapsedTimer clock;
        clock.start();
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        for (int i = 0; i < count; ++i) {
            GstBuffer *buffer = gst_buffer_copy(frames[size_t(i % FloorDistinctFrames)]);
            GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(guint64(i), GST_SECOND, 24);
            GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, 24);
            gst_app_src_push_buffer(GST_APP_SRC(in), buffer);
        }
        gst_app_src_end_of_stream(GST_APP_SRC(in));
        GstBus *bus = gst_element_get_bus(pipeline);
        GstMessage *end = gst_bus_timed_pop_filtered(bus, GST_CLOCK_TIME_NONE,
                                                     GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        state.SetIterationTime(seconds);
        g_floorSeconds = seconds;
        if (end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_ERROR)
            state.SkipWithError("encoding failed");
        if (end)
            gst_message_unref(end);
        gst_object_unref(bus);
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(in);
        gst_object_unref(pipeline);
    }
    for (GstBuffer *b : frames)
        gst_buffer_unref(b);
}

void BM_StoryRender(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString audio = dir.filePath(QStringLiteral("track.mp3"));
    if (!writeAudio(audio)) {
        state.SkipWithError("no audio");
        return;
    }
    qputenv("TMPDIR", QFile::encodeName(dir.path()));
    const StoryConfig config = makeConfig(audio);
    for (auto _ : state) {
        // The GUI thread's heartbeat: a 10 ms timer whose longest pause is the longest block.
        QElapsedTimer beat;
        qint64 longestGap = 0;
        QTimer heart;
        heart.setInterval(10);
        QObject::connect(&heart, &QTimer::timeout, [&] {
            longestGap = std::max(longestGap, beat.restart());
        });
        QElapsedTimer clock;
        clock.start();
        beat.start();
        heart.start();
        const QUrl result = QCoro::waitFor(StoryVideoRenderer::render(config, [](double) {}));
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        heart.stop();
        state.SetIterationTime(seconds);
        state.counters["max_gui_gap_ms"] = double(longestGap);
        if (g_floorSeconds > 0)
            state.counters["x_floor"] = seconds / g_floorSeconds;
        if (!result.toLocalFile().endsWith(QStringLiteral("story-final.mp4")))
            state.SkipWithError("no audio in the result");
        StoryVideoRenderer::discard(result);
    }
    qunsetenv("TMPDIR");
}

} // namespace

BENCHMARK(BM_DrawFrame)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FloorX264Alone)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_StoryRender)->Iterations(1)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    gst_init(&argc, &argv);
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
