#pragma once

#include "Platform/AudioProcessingTap.h"
#include "Services/Equalizer.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

// The five-band equaliser as an audio processing tap: a new tap per player item, whose process
// callback reads the equaliser's snapshot and filters float samples in place through five
// peaking filters per channel. No instances: a namespace of the tap's callbacks and its DSP core.
namespace EqTap {

// Band centre frequencies (Hz), in band order.
inline constexpr const std::array<double, 5> &BandFrequencies = EqConstants::bandFreqs;

struct Biquad {
    float b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0; // normalised coefficients
    float x1 = 0, x2 = 0;                         // last two inputs
    float y1 = 0, y2 = 0;                         // last two outputs
};

using Cascade = std::array<Biquad, 5>;

// A peaking filter (Q 0.85) at f0 with `gainDb`, for a sample rate of at least 8000 Hz.
Biquad peakingFilter(double f0, double gainDb, double sampleRate);

// One tap's state. Used only by its own tap's callbacks, so it needs no lock.
class Ctx
{
public:
    std::vector<float> gains;
    std::vector<float> applied;
    double sampleRate = 44100;
    int channels = 2;
    bool interleaved = true;
    bool floatFormat = false;
    int bitsPerSample = 32;
    std::vector<Cascade> cascades;
    bool enabled = false;
    int dbgCounter = 0;

    // prepare: takes the stream's format and forces a rebuild on the next buffer.
    void setup(const AudioStreamDescription &format);
    // Takes the settings; rebuilds the filters when the gains or the channel count changed.
    void sync(const SnapshotBox &box);
    void resetCascadeState();
    // Everything after the source audio has been fetched: clears the filter memory at a start
    // of stream, filters (when enabled and float), logs buffer 1 and every 256th.
    void processFetched(long framesFetched, uint32_t sourceFlags, AudioBufferList &buffers);
};

// A new tap with the callbacks below, or nullptr (the failure is printed).
AudioProcessingTapPtr makeTap();

// The callbacks, as the platform calls them.
void tapInit(AudioProcessingTap *tap, void *clientInfo, void **tapStorageOut);
void tapFinalize(AudioProcessingTap *tap);
void tapPrepare(AudioProcessingTap *tap, long maxFrames, const AudioStreamDescription *format);
void tapUnprepare(AudioProcessingTap *tap);
void tapProcess(AudioProcessingTap *tap, long numberFrames, uint32_t flags, AudioBufferList *bufferListInOut,
                long *numberFramesOut, uint32_t *flagsOut);

// The context of a tap, while it exists (between init and finalize).
std::shared_ptr<Ctx> contextFor(const AudioProcessingTap *tap);

} // namespace EqTap
