#include "Services/EqTap.h"
#include "support/PlaybackTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace EqTap;

namespace {

AudioStreamDescription floatFormat(double rate, uint32_t channels, bool interleaved = true)
{
    AudioStreamDescription d;
    d.sampleRate = rate;
    d.channelsPerFrame = channels;
    d.bitsPerChannel = 32;
    d.formatFlags = AudioFormatFlag::IsFloat | AudioFormatFlag::IsPacked
                    | (interleaved ? 0 : AudioFormatFlag::IsNonInterleaved);
    return d;
}

SnapshotBox box(bool enabled, std::vector<float> gains)
{
    return SnapshotBox{enabled, std::move(gains)};
}

std::vector<float> sine(double frequency, double rate, size_t frames, size_t channels = 1, double amplitude = 0.25)
{
    std::vector<float> out(frames * channels);
    for (size_t f = 0; f < frames; ++f) {
        for (size_t c = 0; c < channels; ++c)
            out[f * channels + c] = float(amplitude * std::sin(2 * M_PI * frequency * double(f) / rate + double(c)));
    }
    return out;
}

std::vector<float> noise(size_t count, unsigned seed)
{
    std::vector<float> out(count);
    for (size_t i = 0; i < count; ++i) {
        seed = seed * 1664525u + 1013904223u;
        out[i] = float(int(seed >> 9) % 2000 - 1000) / 4000.0f;
    }
    return out;
}

double rmsOf(const float *data, size_t count, size_t stride = 1)
{
    double sum = 0;
    size_t n = 0;
    for (size_t i = 0; i < count; i += stride, ++n)
        sum += double(data[i]) * data[i];
    return std::sqrt(sum / double(n));
}

// One interleaved buffer through a context, as the process callback hands it over.
void run(Ctx &ctx, std::vector<float> &samples, int channels, uint32_t sourceFlags = 0)
{
    AudioBufferList list;
    list.numberBuffers = 1;
    list.buffers[0] = {uint32_t(channels), uint32_t(samples.size() * sizeof(float)), samples.data()};
    testsupport::StdoutCapture quiet; // buffer 1 is logged
    ctx.processFetched(long(samples.size() / size_t(channels)), sourceFlags, list);
}

Ctx preparedCtx(const AudioStreamDescription &format, const SnapshotBox &settings)
{
    Ctx ctx;
    ctx.setup(format);
    ctx.sync(settings);
    return ctx;
}

} // namespace

TEST(EqTapCore, PassesAudioUnchangedWhenOffOrNotFloat)
{
    const std::vector<float> input = noise(2048, 7);

    Ctx off = preparedCtx(floatFormat(44100, 2), box(false, {12, -12, 12, -12, 12}));
    std::vector<float> samples = input;
    run(off, samples, 2);
    EXPECT_EQ(std::memcmp(samples.data(), input.data(), input.size() * sizeof(float)), 0);
    EXPECT_EQ(off.dbgCounter, 0);

    // A 16-bit integer stream is never filtered, even when on.
    AudioStreamDescription s16;
    s16.sampleRate = 44100;
    s16.channelsPerFrame = 2;
    s16.bitsPerChannel = 16;
    s16.formatFlags = AudioFormatFlag::IsSignedInteger | AudioFormatFlag::IsPacked;
    Ctx integer = preparedCtx(s16, box(true, {12, -12, 12, -12, 12}));
    EXPECT_FALSE(integer.floatFormat);
    EXPECT_EQ(integer.bitsPerSample, 16);
    std::vector<int16_t> pcm(2048);
    for (size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = int16_t(int(i * 7919) % 30000 - 15000);
    const std::vector<int16_t> pcmIn = pcm;
    AudioBufferList list;
    list.numberBuffers = 1;
    list.buffers[0] = {2, uint32_t(pcm.size() * sizeof(int16_t)), pcm.data()};
    integer.processFetched(long(pcm.size() / 2), 0, list);
    EXPECT_EQ(pcm, pcmIn);
    EXPECT_EQ(integer.dbgCounter, 0);
}

TEST(EqTapCore, FlatGainsGiveTheInputBack)
{
    const Biquad flat = peakingFilter(1000, 0, 44100);
    EXPECT_FLOAT_EQ(flat.b0, 1.0f);
    EXPECT_FLOAT_EQ(flat.b1, flat.a1);
    EXPECT_FLOAT_EQ(flat.b2, flat.a2);

    Ctx ctx = preparedCtx(floatFormat(48000, 2), box(true, {0, 0, 0, 0, 0}));
    const std::vector<float> input = noise(4096, 3);
    std::vector<float> samples = input;
    run(ctx, samples, 2);
    for (size_t i = 0; i < input.size(); ++i)
        ASSERT_NEAR(samples[i], input[i], 1e-4) << i; // float rounding recirculates in the filters
}

TEST(EqTapCore, SixDecibelsAtEachBandCentre)
{
    const double rate = 44100;
    for (size_t band = 0; band < BandFrequencies.size(); ++band) {
        std::vector<float> gains(5, 0.0f);
        gains[band] = 6;
        Ctx ctx = preparedCtx(floatFormat(rate, 1), box(true, gains));
        const size_t frames = size_t(rate); // one second: the filters settle in the first part
        const std::vector<float> input = sine(BandFrequencies[band], rate, frames);
        std::vector<float> samples = input;
        run(ctx, samples, 1);
        const size_t settled = frames / 2;
        const double db = 20 * std::log10(rmsOf(samples.data() + settled, frames - settled)
                                          / rmsOf(input.data() + settled, frames - settled));
        EXPECT_NEAR(db, 6.0, 0.1) << "band " << band;
    }
}

TEST(EqTapCore, SampleRateBelow8000IsTreatedAs8000)
{
    Ctx low = preparedCtx(floatFormat(4000, 1), box(true, {3, -4, 5, 2, 1}));
    EXPECT_EQ(low.sampleRate, 4000);
    ASSERT_EQ(low.cascades.size(), 1u);
    for (size_t i = 0; i < 5; ++i) {
        const Biquad expected = peakingFilter(BandFrequencies[i], low.gains[i], 8000);
        EXPECT_FLOAT_EQ(low.cascades[0][i].b0, expected.b0);
        EXPECT_FLOAT_EQ(low.cascades[0][i].a1, expected.a1);
        EXPECT_FLOAT_EQ(low.cascades[0][i].a2, expected.a2);
    }
    const Biquad at4000 = peakingFilter(1000, 5, 4000);
    const Biquad at8000 = peakingFilter(1000, 5, 8000);
    EXPECT_EQ(at4000.b0, at8000.b0);
}

TEST(EqTapCore, ChannelsMapToTheirOwnCascades)
{
    testsupport::StdoutCapture quiet;
    const std::vector<float> gains{6, -3, 4, 2, -5};
    const double rate = 44100;
    const size_t frames = 1024;
    const std::vector<float> left = noise(frames, 11);
    const std::vector<float> right = noise(frames, 12);

    // Reference: each channel alone through a fresh mono cascade.
    auto mono = [&](const std::vector<float> &in) {
        Ctx ctx = preparedCtx(floatFormat(rate, 1), box(true, gains));
        std::vector<float> out = in;
        run(ctx, out, 1);
        return out;
    };
    const std::vector<float> leftOut = mono(left);
    const std::vector<float> rightOut = mono(right);

    // Interleaved stereo: sample f*2+k goes through cascade k.
    Ctx interleaved = preparedCtx(floatFormat(rate, 2), box(true, gains));
    ASSERT_EQ(interleaved.cascades.size(), 2u);
    std::vector<float> frame(frames * 2);
    for (size_t f = 0; f < frames; ++f) {
        frame[2 * f] = left[f];
        frame[2 * f + 1] = right[f];
    }
    run(interleaved, frame, 2);
    for (size_t f = 0; f < frames; ++f) {
        ASSERT_FLOAT_EQ(frame[2 * f], leftOut[f]);
        ASSERT_FLOAT_EQ(frame[2 * f + 1], rightOut[f]);
    }

    // Non-interleaved stereo in two buffers: buffer b uses cascade b.
    Ctx planar = preparedCtx(floatFormat(rate, 2, false), box(true, gains));
    EXPECT_FALSE(planar.interleaved);
    std::vector<float> l = left, r = right;
    AudioBufferList list;
    list.numberBuffers = 2;
    list.buffers[0] = {1, uint32_t(frames * sizeof(float)), l.data()};
    list.buffers[1] = {1, uint32_t(frames * sizeof(float)), r.data()};
    planar.processFetched(long(frames), 0, list);
    EXPECT_EQ(l, leftOut);
    EXPECT_EQ(r, rightOut);

    // Mono non-interleaved in one buffer uses cascade 0; a buffer without a cascade, or one
    // too small for the frame count, passes unchanged.
    Ctx monoPlanar = preparedCtx(floatFormat(rate, 1, false), box(true, gains));
    std::vector<float> m = left, extra = right, tooSmall = right;
    list.numberBuffers = 2;
    list.buffers[0] = {1, uint32_t(frames * sizeof(float)), m.data()};
    list.buffers[1] = {1, uint32_t(frames * sizeof(float)), extra.data()};
    monoPlanar.processFetched(long(frames), 0, list);
    EXPECT_EQ(m, leftOut);
    EXPECT_EQ(extra, right);
    list.numberBuffers = 1;
    list.buffers[0] = {1, uint32_t((frames - 1) * sizeof(float)), tooSmall.data()};
    monoPlanar.processFetched(long(frames), 0, list);
    EXPECT_EQ(tooSmall, right);
}

TEST(EqTapCore, StartOfStreamAndGainChangesClearFilterMemory)
{
    const double rate = 44100;
    const std::vector<float> first = noise(2048, 5);
    const std::vector<float> second = noise(2048, 6);
    auto fresh = [&](const std::vector<float> &gains, const std::vector<float> &in) {
        Ctx ctx = preparedCtx(floatFormat(rate, 2), box(true, gains));
        std::vector<float> out = in;
        run(ctx, out, 2);
        return out;
    };

    // Without a start of stream the memory carries over; with one it does not.
    Ctx ctx = preparedCtx(floatFormat(rate, 2), box(true, {6, 6, 6, 6, 6}));
    std::vector<float> a = first;
    run(ctx, a, 2);
    std::vector<float> carried = second;
    Ctx copy = ctx;
    run(copy, carried, 2);
    EXPECT_NE(carried, fresh({6, 6, 6, 6, 6}, second));
    std::vector<float> b = second;
    run(ctx, b, 2, AudioTapFlag::StartOfStream);
    EXPECT_EQ(b, fresh({6, 6, 6, 6, 6}, second));

    // New gains rebuild the filters and keep nothing of the old memory.
    ctx.sync(box(true, {-4, 2, 0, 3, 9}));
    std::vector<float> c = second;
    run(ctx, c, 2);
    EXPECT_EQ(c, fresh({-4, 2, 0, 3, 9}, second));

    // Unchanged gains keep the filters (and their memory); prepare forces a rebuild.
    const float y1 = ctx.cascades[0][4].y1;
    ctx.sync(box(true, {-4, 2, 0, 3, 9}));
    EXPECT_EQ(ctx.cascades[0][4].y1, y1);
    ctx.setup(floatFormat(rate, 2));
    EXPECT_EQ(ctx.applied, std::vector<float>{-1.0f});
    EXPECT_TRUE(ctx.cascades.empty());
}

TEST(EqTapGlue, PrintsTheConsoleLinesWordForWord)
{
    {
        EqSnapshotStore &store = eqSnapshotStore();
        std::lock_guard guard(store.lock);
        store.value = box(true, {5, 2, -0.4f, 2, 5});
    }
    const AudioProcessingTapPtr tap = makeTap();
    ASSERT_TRUE(tap);
    const AudioProcessingTap *identity = tap.get();
    ASSERT_TRUE(contextFor(identity));

    QByteArray printed;
    {
        testsupport::StdoutCapture capture;
        tap->prepare(4096, floatFormat(44100, 2));
        std::vector<float> samples(2048, 0.5f); // 1,024 stereo frames
        for (int i = 0; i < 256; ++i)
            tap->process(samples.data(), 1024, 2, i == 0 ? AudioTapFlag::StartOfStream : 0);
        printed = capture.text();
    }
    const QList<QByteArray> lines = printed.split('\n');
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], "[EqTap] prepare: sr=44100.0 ch=2 bits=32 fmt=float interleaved=true");
    // The same first buffer through a bare context gives the expected output level.
    Ctx reference = preparedCtx(floatFormat(44100, 2), box(true, {5, 2, -0.4f, 2, 5}));
    std::vector<float> expected(2048, 0.5f);
    AudioBufferList list;
    list.numberBuffers = 1;
    list.buffers[0] = {2, 8192, expected.data()};
    {
        testsupport::StdoutCapture quiet;
        reference.processFetched(1024, AudioTapFlag::StartOfStream, list);
    }
    const QByteArray rmsOut = QByteArray::number(rmsOf(expected.data(), expected.size()), 'f', 3);
    EXPECT_EQ(lines[1], "[EqTap] process #1 bufs=1 ch/buf=2 bytes=8192 rms_in=0.500 rms_out=" + rmsOut
                            + " enabled=true gains=[5,2,-0,2,5]");
    EXPECT_TRUE(lines[2].startsWith("[EqTap] process #256 bufs=1 ch/buf=2 bytes=8192 rms_in=")) << lines[2].constData();
    EXPECT_EQ(lines.size(), 4); // and the empty rest after the last newline

    const std::shared_ptr<Ctx> ctx = contextFor(identity);
    EXPECT_EQ(ctx->dbgCounter, 256);
    tap->unprepare();
    EXPECT_TRUE(ctx->cascades.empty());
}

TEST(EqTapGlue, ContextLivesFromInitToFinalizeAndCreationFailureIsPrinted)
{
    AudioProcessingTapPtr tap = makeTap();
    ASSERT_TRUE(tap);
    const AudioProcessingTap *identity = tap.get();
    EXPECT_TRUE(contextFor(identity));
    tap.reset();
    EXPECT_FALSE(contextFor(identity));

    QByteArray printed;
    AudioProcessingTapPtr failed;
    {
        testsupport::StdoutCapture capture;
        AudioProcessingTap::failNextCreation(-50);
        failed = makeTap();
        printed = capture.text();
    }
    EXPECT_EQ(failed, nullptr);
    EXPECT_EQ(printed, "[EqTap] create failed -50\n");
    EXPECT_TRUE(makeTap());
}

TEST(EqTapGlue, ProcessWithoutContextOutputsNoFrames)
{
    AudioProcessingTapCallbacks callbacks;
    callbacks.process = tapProcess; // no init: no context
    AudioProcessingTapPtr tap;
    ASSERT_EQ(AudioProcessingTap::create(callbacks, AudioTapCreationFlag::PostEffects, &tap), 0);
    std::vector<float> samples(512, 0.25f);
    tap->process(samples.data(), 256, 2, 0);
    EXPECT_EQ(samples, std::vector<float>(512, 0.0f)); // zero frames out: silence
}
