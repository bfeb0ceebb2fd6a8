// The equaliser tap's process callback on 1,024-frame stereo float buffers at 44.1 kHz with
// non-zero gains, against a bare loop of five Direct-Form-I biquads per channel on the same data
// (the floor). Target: the callback costs at most 1.25 times the floor per frame.

#include "Services/EqTap.h"
#include "Services/Equalizer.h"

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <cstdio>
#include <iostream>
#include <map>
#include <unistd.h>
#include <vector>

namespace {

constexpr long Frames = 1024;
constexpr int Channels = 2;
constexpr double Rate = 44100;
const std::vector<float> Gains{5, 2, -3, 2, 5};

std::vector<float> testSignal()
{
    std::vector<float> data(Frames * Channels);
    unsigned seed = 12345;
    for (float &x : data) {
        seed = seed * 1664525u + 1013904223u;
        x = float(int(seed >> 9) % 2000 - 1000) / 4000.0f;
    }
    return data;
}

void BM_TapProcess(benchmark::State &state)
{
    {
        EqSnapshotStore &store = eqSnapshotStore();
        std::lock_guard guard(store.lock);
        store.value = SnapshotBox{true, Gains};
    }
    const AudioProcessingTapPtr tap = EqTap::makeTap();
    if (!tap) {
        state.SkipWithError("no tap");
        return;
    }
    AudioStreamDescription format;
    format.sampleRate = Rate;
    format.channelsPerFrame = Channels;
    format.bitsPerChannel = 32;
    format.formatFlags = AudioFormatFlag::IsFloat | AudioFormatFlag::IsPacked;
    tap->prepare(4096, format);
    const std::vector<float> source = testSignal();
    std::vector<float> buffer = source;
    for (auto _ : state) {
        tap->process(buffer.data(), Frames, Channels, 0);
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
        // The gains lift the level on every pass: start again from the source now and then
        // (the same 8 KB copy in both benchmarks).
        if ((state.iterations() & 15) == 0)
            buffer = source;
    }
    state.SetItemsProcessed(state.iterations() * Frames);
}

struct FloorBiquad {
    float b0, b1, b2, a1, a2;
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
};

inline float step(FloorBiquad &b, float x)
{
    const float y = b.b0 * x + b.b1 * b.x1 + b.b2 * b.x2 - b.a1 * b.y1 - b.a2 * b.y2;
    b.x2 = b.x1;
    b.x1 = x;
    b.y2 = b.y1;
    b.y1 = y;
    return y;
}

void BM_BareBiquadFloor(benchmark::State &state)
{
    FloorBiquad filters[Channels][5];
    for (int c = 0; c < Channels; ++c) {
        for (int i = 0; i < 5; ++i) {
            const EqTap::Biquad f = EqTap::peakingFilter(EqTap::BandFrequencies[size_t(i)], Gains[size_t(i)], Rate);
            filters[c][i] = FloorBiquad{f.b0, f.b1, f.b2, f.a1, f.a2};
        }
    }
    const std::vector<float> source = testSignal();
    std::vector<float> buffer = source;
    for (auto _ : state) {
        float *data = buffer.data();
        // Channel by channel, each filter in its own local so its state stays in registers:
        // the tightest plain loop.
        for (int c = 0; c < Channels; ++c) {
            FloorBiquad q0 = filters[c][0], q1 = filters[c][1], q2 = filters[c][2], q3 = filters[c][3],
                        q4 = filters[c][4];
            for (long f = 0; f < Frames; ++f) {
                float x = data[f * Channels + c];
                x = step(q0, x);
                x = step(q1, x);
                x = step(q2, x);
                x = step(q3, x);
                x = step(q4, x);
                data[f * Channels + c] = x;
            }
            const FloorBiquad q[5] = {q0, q1, q2, q3, q4};
            for (int i = 0; i < 5; ++i)
                filters[c][i] = q[i];
        }
        benchmark::DoNotOptimize(buffer.data());
        benchmark::ClobberMemory();
        if ((state.iterations() & 15) == 0)
            buffer = source;
    }
    state.SetItemsProcessed(state.iterations() * Frames);
}

BENCHMARK(BM_TapProcess)->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK(BM_BareBiquadFloor)->Repetitions(5)->ReportAggregatesOnly(true);

// Prints the usual table and, at the end, the tap's cost per frame relative to the floor.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &run : runs) {
            if (run.aggregate_name == "median")
                m_nsPerFrame[run.run_name.function_name] = run.GetAdjustedCPUTime() / double(Frames);
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        const double tap = m_nsPerFrame["BM_TapProcess"];
        const double floor = m_nsPerFrame["BM_BareBiquadFloor"];
        if (tap > 0 && floor > 0) {
            GetOutputStream() << "tap " << tap << " ns/frame, floor " << floor << " ns/frame, ratio "
                              << tap / floor << " (target <= 1.25)\n";
        }
    }

private:
    std::map<std::string, double> m_nsPerFrame;
};

} // namespace

int main(int argc, char **argv)
{
    gst_init(&argc, &argv);
    benchmark::Initialize(&argc, argv);
    // The tap logs every 256th buffer to standard output; the results go to standard error.
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
