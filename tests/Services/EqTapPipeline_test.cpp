#include "Platform/AudioProcessingTap.h"
#include "Services/EqTap.h"
#include "Services/Equalizer.h"
#include "support/PlaybackTestSupport.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QStringList>
#include <gst/app/gstappsink.h>
#include <gst/audio/audio.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <mutex>
#include <string>
#include <complex>

namespace {

constexpr double Rate = 44100;

// Plays `seconds` of a sine through a tap sink into an appsink and returns what came out
// (interleaved stereo float).
std::vector<float> renderThroughTap(double frequency, double seconds, AudioProcessingTapPtr tap, QByteArray *printed)
{
    testsupport::StdoutCapture capture;
    GstElement *pipeline = gst_pipeline_new(nullptr);
    GstElement *source = gst_element_factory_make("audiotestsrc", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement *appsink = gst_element_factory_make("appsink", nullptr);
    g_object_set(source, "freq", frequency, "volume", 0.3, "samplesperbuffer", 1024, "num-buffers",
                 int(seconds * Rate / 1024), nullptr);
    GstCaps *caps = gst_caps_from_string("audio/x-raw,format=S16LE,rate=44100,channels=2");
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
    GstCaps *floatCaps = gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved");
    g_object_set(appsink, "caps", floatCaps, "sync", FALSE, nullptr);
    gst_caps_unref(floatCaps);

    auto sink = std::make_unique<AudioTapSink>(appsink);
    EXPECT_TRUE(sink->isValid());
    sink->attach(std::move(tap));
    gst_bin_add_many(GST_BIN(pipeline), source, filter, sink->bin(), nullptr);
    EXPECT_TRUE(gst_element_link_many(source, filter, sink->bin(), nullptr));

    std::vector<float> out;
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *data = reinterpret_cast<const float *>(map.data);
            out.insert(out.end(), data, data + map.size / sizeof(float));
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    EXPECT_TRUE(gst_app_sink_is_eos(GST_APP_SINK(appsink)));
    gst_element_set_state(pipeline, GST_STATE_NULL);
    sink->streamStopped();
    sink->detach();
    gst_object_unref(pipeline);
    *printed = capture.text();
    return out;
}

double settledRms(const std::vector<float> &samples)
{
    double sum = 0;
    const size_t from = samples.size() / 2;
    for (size_t i = from; i < samples.size(); ++i)
        sum += double(samples[i]) * samples[i];
    return std::sqrt(sum / double(samples.size() - from));
}

// The cascade's gain at `frequency`, from its transfer function.
double cascadeGainDb(const std::array<float, 5> &gains, double frequency)
{
    const std::complex<double> z = std::polar(1.0, -2 * M_PI * frequency / Rate); // z^-1
    std::complex<double> h = 1;
    for (size_t i = 0; i < 5; ++i) {
        const EqTap::Biquad f = EqTap::peakingFilter(EqTap::BandFrequencies[i], gains[i], Rate);
        h *= (double(f.b0) + double(f.b1) * z + double(f.b2) * z * z) / (1.0 + double(f.a1) * z + double(f.a2) * z * z);
    }
    return 20 * std::log10(std::abs(h));
}

// The level of one sample's audio, S16LE or F32LE, as a fraction of full scale.
double sampleRms(GstSample *sample)
{
    GstAudioInfo info;
    if (!gst_audio_info_from_caps(&info, gst_sample_get_caps(sample)))
        return -1;
    GstMapInfo map;
    GstBuffer *buffer = gst_sample_get_buffer(sample);
    if (!gst_buffer_map(buffer, &map, GST_MAP_READ))
        return -1;
    double sum = 0;
    size_t n = 0;
    if (GST_AUDIO_INFO_FORMAT(&info) == GST_AUDIO_FORMAT_S16LE) {
        const auto *data = reinterpret_cast<const int16_t *>(map.data);
        n = map.size / sizeof(int16_t);
        for (size_t k = 0; k < n; ++k)
            sum += (data[k] / 32768.0) * (data[k] / 32768.0);
    } else {
        const auto *data = reinterpret_cast<const float *>(map.data);
        n = map.size / sizeof(float);
        for (size_t k = 0; k < n; ++k)
            sum += double(data[k]) * data[k];
    }
    gst_buffer_unmap(buffer, &map);
    return n ? std::sqrt(sum / double(n)) : -1;
}

// A live 10 kHz tone at 0.3 of full scale in 10 ms buffers of `format` (channels and all), through
// an identity named "in" into a tap sink whose appsink keeps only the latest four buffers.
struct LiveTone {
    GstElement *pipeline = nullptr;
    GstElement *appsink = nullptr;
    std::unique_ptr<AudioTapSink> sink;

    explicit LiveTone(const char *format)
    {
        const std::string line = std::string("audiotestsrc is-live=true freq=10000 volume=0.3 samplesperbuffer=441 ! ")
                                 + format + " ! identity name=in";
        pipeline = gst_parse_launch(line.c_str(), nullptr);
        if (!pipeline)
            return;
        appsink = gst_element_factory_make("appsink", nullptr);
        g_object_set(appsink, "sync", FALSE, "max-buffers", 4, "drop", TRUE, nullptr);
        sink = std::make_unique<AudioTapSink>(appsink);
    }
    ~LiveTone()
    {
        if (pipeline) {
            gst_element_set_state(pipeline, GST_STATE_NULL);
            gst_object_unref(pipeline);
        }
    }

    // Puts the sink in the pipeline (after any tap is attached, as the player does).
    bool link()
    {
        gst_bin_add(GST_BIN(pipeline), sink->bin());
        GstElement *in = gst_bin_get_by_name(GST_BIN(pipeline), "in");
        const bool linked = gst_element_link(in, sink->bin());
        gst_object_unref(in);
        return linked;
    }

    // The level of the latest of eight buffers; -1 when one does not come.
    double level() const
    {
        double rms = -1;
        for (int i = 0; i < 8; ++i) {
            GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), 5 * GST_SECOND);
            if (!sample)
                return -1.0;
            rms = sampleRms(sample);
            gst_sample_unref(sample);
        }
        return rms;
    }
};

} // namespace

TEST(EqTapPipeline, PresetChangesTheLevelThatReachesTheSink)
{
    QTemporaryDir dir;
    Equalizer equalizer(std::make_unique<QSettings>(dir.filePath("eq.ini"), QSettings::IniFormat), eqSnapshotStore());
    const EQPreset bass = EQPreset::all().at(5);
    ASSERT_EQ(bass.name, QStringLiteral("تقویت بیس"));

    QByteArray printed;
    equalizer.setEnabled(false);
    const std::vector<float> off = renderThroughTap(80, 2.0, EqTap::makeTap(), &printed);
    EXPECT_TRUE(printed.startsWith("[EqTap] prepare: sr=44100.0 ch=2 bits=32 fmt=float interleaved=true\n"))
        << printed.constData();
    EXPECT_FALSE(printed.contains("process #")); // nothing is logged while off

    equalizer.applyPreset(bass);
    ASSERT_TRUE(equalizer.enabled());
    const std::vector<float> on = renderThroughTap(80, 2.0, EqTap::makeTap(), &printed);
    EXPECT_TRUE(printed.contains("[EqTap] process #1 bufs=1 ch/buf=2 bytes="));
    EXPECT_TRUE(printed.contains(" enabled=true gains=[6,4,1,0,0]\n"));

    ASSERT_GT(off.size(), size_t(Rate));
    ASSERT_EQ(on.size(), off.size());
    // Off: the S16 source's level exactly (0.3 of full scale, a sine).
    EXPECT_NEAR(settledRms(off), 0.3 / std::sqrt(2.0), 0.002);
    const double measuredDb = 20 * std::log10(settledRms(on) / settledRms(off));
    EXPECT_NEAR(measuredDb, cascadeGainDb(bass.gains, 80), 0.1);
    EXPECT_GT(measuredDb, 6.0);
}

TEST(EqTapPipeline, SettingsChangesReachARunningTapAndTheTapIsUnpreparedWhenStopped)
{
    QTemporaryDir dir;
    Equalizer equalizer(std::make_unique<QSettings>(dir.filePath("eq.ini"), QSettings::IniFormat), eqSnapshotStore());
    equalizer.setGains({0, 0, 0, 0, -12});
    equalizer.setEnabled(true);

    // A live source, changed while it plays.
    LiveTone tone("audio/x-raw,format=F32LE,rate=44100,channels=1");
    ASSERT_TRUE(tone.pipeline);
    AudioTapSink &sink = *tone.sink;
    AudioProcessingTapPtr tap = EqTap::makeTap();
    const AudioProcessingTap *identity = tap.get();
    sink.attach(tap);
    ASSERT_TRUE(tone.link());

    double cut = 0, flat = 0;
    {
        testsupport::StdoutCapture quiet;
        gst_element_set_state(tone.pipeline, GST_STATE_PLAYING);
        cut = tone.level();
        equalizer.setEnabled(false);
        tone.level(); // let the change through
        flat = tone.level();
        gst_element_set_state(tone.pipeline, GST_STATE_NULL);
        sink.streamStopped();
    }
    EXPECT_GT(flat, 0.2);
    EXPECT_NEAR(20 * std::log10(cut / flat), -12.0, 0.5);
    ASSERT_TRUE(EqTap::contextFor(identity));
    EXPECT_TRUE(EqTap::contextFor(identity)->cascades.empty()); // unprepared
    EXPECT_FALSE(tap->isPrepared());

    // The context goes when the last holder lets go: here the probe, once detached.
    tap.reset();
    EXPECT_TRUE(EqTap::contextFor(identity));
    sink.detach();
    EXPECT_FALSE(EqTap::contextFor(identity));
}

TEST(EqTapPipeline, AChangeReachesTheVeryNextBufferThatMeetsTheTap)
{
    QTemporaryDir dir;
    Equalizer equalizer(std::make_unique<QSettings>(dir.filePath("eq.ini"), QSettings::IniFormat), eqSnapshotStore());
    equalizer.setGains({0, 0, 0, 0, -12});
    equalizer.setEnabled(false);

    // 10 ms buffers of a 10 kHz tone; the gate holds buffer `ChangeAt` back until the change is made.
    constexpr int ChangeAt = 20;
    GstElement *pipeline = gst_parse_launch(
        "audiotestsrc num-buffers=40 freq=10000 volume=0.3 samplesperbuffer=441 ! "
        "audio/x-raw,format=F32LE,rate=44100,channels=1 ! identity name=gate", nullptr);
    ASSERT_TRUE(pipeline);
    GstElement *appsink = gst_element_factory_make("appsink", nullptr);
    g_object_set(appsink, "sync", FALSE, nullptr);
    AudioTapSink sink(appsink);
    sink.attach(EqTap::makeTap());
    gst_bin_add(GST_BIN(pipeline), sink.bin());
    GstElement *gate = gst_bin_get_by_name(GST_BIN(pipeline), "gate");
    ASSERT_TRUE(gst_element_link(gate, sink.bin()));

    struct Gate {
        std::mutex lock;
        std::condition_variable wake;
        int seen = 0;
        bool held = false;
        bool released = false;
    } state;
    GstPad *out = gst_element_get_static_pad(gate, "src");
    gst_pad_add_probe(out, GST_PAD_PROBE_TYPE_BUFFER, [](GstPad *, GstPadProbeInfo *, gpointer data) {
        auto *g = static_cast<Gate *>(data);
        std::unique_lock guard(g->lock);
        if (g->seen++ == ChangeAt) {
            g->held = true;
            g->wake.notify_all();
            g->wake.wait(guard, [g] { return g->released; });
        }
        return GST_PAD_PROBE_OK;
    }, &state, nullptr);
    gst_object_unref(out);
    gst_object_unref(gate);

    std::vector<double> levels;
    {
        testsupport::StdoutCapture quiet;
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
        {
            std::unique_lock guard(state.lock);
            ASSERT_TRUE(state.wake.wait_for(guard, std::chrono::seconds(10), [&] { return state.held; }));
        }
        equalizer.setEnabled(true);
        {
            std::lock_guard guard(state.lock);
            state.released = true;
        }
        state.wake.notify_all();
        while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(appsink), 10 * GST_SECOND)) {
            GstMapInfo map;
            GstBuffer *buffer = gst_sample_get_buffer(sample);
            gst_buffer_map(buffer, &map, GST_MAP_READ);
            const auto *data = reinterpret_cast<const float *>(map.data);
            const size_t n = map.size / sizeof(float);
            double sum = 0;
            for (size_t k = 0; k < n; ++k)
                sum += double(data[k]) * data[k];
            levels.push_back(std::sqrt(sum / double(n)));
            gst_buffer_unmap(buffer, &map);
            gst_sample_unref(sample);
        }
        gst_element_set_state(pipeline, GST_STATE_NULL);
        sink.streamStopped();
    }
    sink.detach();
    gst_object_unref(pipeline);

    ASSERT_EQ(levels.size(), 40u);
    const double flat = 0.3 / std::sqrt(2.0);
    for (int i = 1; i < ChangeAt; ++i)
        EXPECT_NEAR(levels[size_t(i)], flat, 0.01) << "buffer " << i;
    // The held buffer is the first the tap filters after the call: already about 12 dB down.
    for (int i = ChangeAt; i < 40; ++i)
        EXPECT_LT(20 * std::log10(levels[size_t(i)] / flat), -9.0) << "buffer " << i;
}


// The tap asks for float only while it works, yet the sink never sees a new format mid-stream
// (it would drop what it holds, a skip): it keeps the one it took first, until the stream stops.
TEST(EqTapPipeline, TheSinkKeepsItsFirstFormatWhileTheEqualiserIsSwitched)
{
    QTemporaryDir dir;
    Equalizer equalizer(std::make_unique<QSettings>(dir.filePath("eq.ini"), QSettings::IniFormat), eqSnapshotStore());
    equalizer.setGains({0, 0, 0, 0, -12});

    LiveTone tone("audio/x-raw,format=S16LE,rate=44100,channels=2");
    ASSERT_TRUE(tone.pipeline);
    AudioTapSink &sink = *tone.sink;
    ASSERT_TRUE(tone.link());

    struct Formats {
        std::mutex lock;
        QStringList seen;
    } formats;
    GstPad *sinkPad = gst_element_get_static_pad(tone.appsink, "sink");
    gst_pad_add_probe(sinkPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, [](GstPad *, GstPadProbeInfo *info, gpointer data) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        if (GST_EVENT_TYPE(event) == GST_EVENT_CAPS) {
            GstCaps *caps = nullptr;
            gst_event_parse_caps(event, &caps);
            auto *f = static_cast<Formats *>(data);
            std::lock_guard guard(f->lock);
            f->seen.append(QString::fromUtf8(gst_structure_get_string(gst_caps_get_structure(caps, 0), "format")));
        }
        return GST_PAD_PROBE_OK;
    }, &formats, nullptr);
    gst_object_unref(sinkPad);

    // Plays with the equaliser on or off at the start, switches it twice; the levels in dB of
    // the three stretches against the tone's own.
    const auto play = [&](bool onAtStart) {
        std::array<double, 3> db{};
        testsupport::StdoutCapture quiet;
        equalizer.setEnabled(onAtStart);
        sink.attach(EqTap::makeTap());
        gst_element_set_state(tone.pipeline, GST_STATE_PLAYING);
        const double flat = 0.3 / std::sqrt(2.0);
        for (double &stretch : db) {
            tone.level(); // let the change through
            stretch = 20 * std::log10(tone.level() / flat);
            equalizer.setEnabled(!equalizer.enabled());
        }
        gst_element_set_state(tone.pipeline, GST_STATE_READY);
        sink.streamStopped();
        sink.detach();
        return db;
    };

    const std::array<double, 3> offFirst = play(false);
    EXPECT_NEAR(offFirst[0], 0.0, 0.5);
    EXPECT_NEAR(offFirst[1], -12.0, 0.5);
    EXPECT_NEAR(offFirst[2], 0.0, 0.5);
    {
        std::lock_guard guard(formats.lock);
        EXPECT_EQ(formats.seen.join(u',').toStdString(), "S16LE"); // no float while off
        formats.seen.clear();
    }
    const std::array<double, 3> onFirst = play(true);
    EXPECT_NEAR(onFirst[0], -12.0, 0.5);
    EXPECT_NEAR(onFirst[1], 0.0, 0.5);
    EXPECT_NEAR(onFirst[2], -12.0, 0.5);
    {
        std::lock_guard guard(formats.lock);
        EXPECT_EQ(formats.seen.join(u',').toStdString(), "F32LE");
    }
}
