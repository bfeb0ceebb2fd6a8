#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

typedef struct _GstElement GstElement;
typedef struct _GstPad GstPad;

// Format flags of an AudioStreamDescription.
namespace AudioFormatFlag {
constexpr uint32_t IsFloat = 1u << 0;
constexpr uint32_t IsBigEndian = 1u << 1;
constexpr uint32_t IsSignedInteger = 1u << 2;
constexpr uint32_t IsPacked = 1u << 3;
constexpr uint32_t IsNonInterleaved = 1u << 5;
} // namespace AudioFormatFlag

// Describes linear PCM as a tap sees it.
struct AudioStreamDescription {
    double sampleRate = 0;
    uint32_t formatFlags = 0;
    uint32_t bytesPerPacket = 0;
    uint32_t framesPerPacket = 0;
    uint32_t bytesPerFrame = 0;
    uint32_t channelsPerFrame = 0;
    uint32_t bitsPerChannel = 0;
};

struct AudioBuffer {
    uint32_t numberChannels = 0;
    uint32_t dataByteSize = 0;
    void *data = nullptr;
};

// A fixed-size list so that the render path never allocates.
struct AudioBufferList {
    static constexpr uint32_t MaxBuffers = 8;
    uint32_t numberBuffers = 0;
    AudioBuffer buffers[MaxBuffers];
};

// Flags passed to and returned from the process callback.
namespace AudioTapFlag {
constexpr uint32_t StartOfStream = 0x100;
constexpr uint32_t EndOfStream = 0x200;
} // namespace AudioTapFlag

class AudioProcessingTap;

struct AudioProcessingTapCallbacks {
    int version = 0;
    void *clientInfo = nullptr;
    void (*init)(AudioProcessingTap *tap, void *clientInfo, void **tapStorageOut) = nullptr;
    void (*finalize)(AudioProcessingTap *tap) = nullptr;
    void (*prepare)(AudioProcessingTap *tap, long maxFrames, const AudioStreamDescription *format) = nullptr;
    void (*unprepare)(AudioProcessingTap *tap) = nullptr;
    void (*process)(AudioProcessingTap *tap, long numberFrames, uint32_t flags,
                    AudioBufferList *bufferListInOut, long *numberFramesOut, uint32_t *flagsOut) = nullptr;
    // Optional, asked on the streaming thread before each buffer: true lets the buffer pass
    // untouched, without the process callback (nor a writable copy or a mapping of it).
    bool (*idle)(AudioProcessingTap *tap) = nullptr;
};

enum class AudioTapCreationFlag { PreEffects = 1, PostEffects = 2 };

using AudioProcessingTapPtr = std::shared_ptr<AudioProcessingTap>;

// An audio processing tap: five callbacks run on the audio threads around each buffer of one
// item's audio, which it sees as 32-bit float, interleaved. init runs in create(), finalize when the last
// reference goes away (normally in the destroy notify of the pad probe that held it), prepare
// when the stream's format is known, unprepare when the stream stops, process for every buffer.
class AudioProcessingTap
{
public:
    static constexpr int NoError = 0;
    static constexpr int ParamError = -50;
    static constexpr int Unavailable = -12782;

    // Creates a tap and runs its init callback. Returns NoError and sets *tapOut, or a status.
    static int create(const AudioProcessingTapCallbacks &callbacks, AudioTapCreationFlag flags,
                      AudioProcessingTapPtr *tapOut);
    // Makes the next create() fail with `status` (tests of the no-equaliser path).
    static void failNextCreation(int status);

    ~AudioProcessingTap();
    AudioProcessingTap(const AudioProcessingTap &) = delete;
    AudioProcessingTap &operator=(const AudioProcessingTap &) = delete;

    void *storage() const { return m_storage; }
    AudioTapCreationFlag creationFlags() const { return m_flags; }

    // Only inside the process callback: fills the buffer list with the source audio for up to
    // numberFrames frames (in place: the list then points at the buffer being played).
    int getSourceAudio(long numberFrames, AudioBufferList *bufferListInOut, uint32_t *flagsOut,
                       long *numberFramesOut);

    // Driven by the sink (streaming thread; unprepare also by the owner once streaming stopped).
    void prepare(long maxFrames, const AudioStreamDescription &format);
    void unprepare();
    bool isPrepared() const { return m_prepared.load(); }
    // Whether the next buffer may pass untouched (the idle callback says so).
    bool isIdle() { return m_callbacks.idle && m_callbacks.idle(this); }
    // Runs the process callback over interleaved float samples, in place. Frames that the
    // callback does not report as produced are silenced.
    void process(float *samples, long frames, int channels, uint32_t sourceFlags);

private:
    AudioProcessingTap(const AudioProcessingTapCallbacks &callbacks, AudioTapCreationFlag flags);

    AudioProcessingTapCallbacks m_callbacks;
    AudioTapCreationFlag m_flags;
    void *m_storage = nullptr;
    std::atomic<bool> m_prepared{false};
    // The buffer of the process call in progress (streaming thread only).
    float *m_source = nullptr;
    long m_sourceFrames = 0;
    int m_sourceChannels = 0;
    uint32_t m_sourceFlags = 0;
    bool m_inProcess = false;
};

struct PinState;

// The audio sink a tap runs in: audioconvert ! capsfilter ! audioconvert ! capsfilter ! <sink>,
// as one bin. A tap is a buffer probe on the first capsfilter's source pad; it sits right in
// front of the device (after any queue of the pipeline), so a settings change is heard at once.
// That filter asks for F32LE, interleaved, only while a tap works on the audio (not idle); the
// second keeps the sample format the sink took first for the stream, so that the sink never
// renegotiates when the tap starts or stops. One tap at a time; each attach gets its own probe
// state, freed only by the probe's destroy notify (a probe being removed may still be running on
// the streaming thread).
class AudioTapSink
{
public:
    // Takes the (floating) sink; nullptr means the system's default audio sink.
    explicit AudioTapSink(GstElement *sink = nullptr);
    ~AudioTapSink();
    AudioTapSink(const AudioTapSink &) = delete;
    AudioTapSink &operator=(const AudioTapSink &) = delete;

    bool isValid() const { return m_bin != nullptr; }
    GstElement *bin() const { return m_bin; } // the bin, or nullptr when an element is missing
    GstElement *sink() const { return m_sink; }

    void attach(AudioProcessingTapPtr tap);
    void detach();
    AudioProcessingTapPtr attachedTap() const { return m_tap; }
    // The owner calls this after taking the stream to READY or NULL: the tap is unprepared.
    void streamStopped();

private:
    GstElement *m_bin = nullptr;
    GstElement *m_sink = nullptr;
    GstElement *m_filter = nullptr;
    GstPad *m_tapPad = nullptr;
    PinState *m_pin = nullptr; // owned by its probe on the second filter's way out
    unsigned long m_probeId = 0;
    AudioProcessingTapPtr m_tap;
};
