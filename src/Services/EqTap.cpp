#include "Services/EqTap.h"

#include "Platform/Console.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <mutex>
#include <unordered_map>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#define MELODRIFT_HAVE_MXCSR 1
#endif

namespace EqTap {

namespace {

struct CtxStore {
    std::mutex lock;
    std::unordered_map<const AudioProcessingTap *, std::shared_ptr<Ctx>> map;
};

CtxStore &ctxStore()
{
    static CtxStore store;
    return store;
}

// The snapshot as the audio thread copies it, per tap, so that copying never allocates.
struct ProcessScratch {
    SnapshotBox box{false, std::vector<float>(8, 0.0f)};
};

// A Double as the log prints it: integral values keep one decimal ("44100.0").
QString doubleText(double value)
{
    if (std::isfinite(value) && std::floor(value) == value && std::fabs(value) < 1e16)
        return QString::number(value, 'f', 1);
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

inline float step(Biquad &f, float x)
{
    const float y = f.b0 * x + f.b1 * f.x1 + f.b2 * f.x2 - f.a1 * f.y1 - f.a2 * f.y2;
    f.x2 = f.x1;
    f.x1 = x;
    f.y2 = f.y1;
    f.y1 = y;
    return y;
}

// Runs `frames` samples, `stride` apart, through the five filters. The filters are copied into
// locals for the loop so that their state stays in registers.
void runCascade(Cascade &cascade, float *data, long frames, long stride)
{
    Biquad f0 = cascade[0], f1 = cascade[1], f2 = cascade[2], f3 = cascade[3], f4 = cascade[4];
    for (long i = 0; i < frames; ++i) {
        float x = data[i * stride];
        x = step(f0, x);
        x = step(f1, x);
        x = step(f2, x);
        x = step(f3, x);
        x = step(f4, x);
        data[i * stride] = x;
    }
    cascade = {f0, f1, f2, f3, f4};
}

double rms(const float *data, size_t count)
{
    if (count == 0)
        return 0;
    double sum = 0;
    for (size_t i = 0; i < count; ++i)
        sum += double(data[i]) * double(data[i]);
    return std::sqrt(sum / double(count));
}

// Decaying filter memory turns into denormals on silence, which are very slow on x86.
class FlushDenormals
{
public:
#ifdef MELODRIFT_HAVE_MXCSR
    FlushDenormals() : m_saved(_mm_getcsr()) { _mm_setcsr(m_saved | 0x8040); }
    ~FlushDenormals() { _mm_setcsr(m_saved); }

private:
    unsigned m_saved;
#endif
};

} // namespace

Biquad peakingFilter(double f0, double gainDb, double sampleRate)
{
    const double A = std::pow(10.0, gainDb / 40.0);
    const double w0 = 2.0 * M_PI * f0 / std::max(sampleRate, 8000.0);
    const double alpha = std::sin(w0) / 1.7;
    const double a0 = 1.0 + alpha / A;
    Biquad f;
    f.b0 = float((1.0 + alpha * A) / a0);
    f.b1 = float(-2.0 * std::cos(w0) / a0);
    f.b2 = float((1.0 - alpha * A) / a0);
    f.a1 = float(-2.0 * std::cos(w0) / a0);
    f.a2 = float((1.0 - alpha / A) / a0);
    return f;
}

void Ctx::setup(const AudioStreamDescription &format)
{
    floatFormat = (format.formatFlags & AudioFormatFlag::IsFloat) != 0;
    bitsPerSample = int(format.bitsPerChannel);
    interleaved = (format.formatFlags & AudioFormatFlag::IsNonInterleaved) == 0;
    sampleRate = format.sampleRate;
    channels = format.channelsPerFrame == 0 ? 1 : int(format.channelsPerFrame);
    applied = {-1.0f};
    cascades.clear();
}

void Ctx::sync(const SnapshotBox &box)
{
    enabled = box.enabled;
    gains.assign(box.gains.cbegin(), box.gains.cend());
    if (applied == gains && !cascades.empty() && cascades.size() == size_t(channels))
        return;
    std::vector<Cascade> rebuilt(size_t(std::max(channels, 0)));
    for (Cascade &cascade : rebuilt) {
        for (size_t i = 0; i < cascade.size(); ++i) {
            // A short gains list (never written by the settings object) counts as flat bands.
            const double gain = i < gains.size() && std::isfinite(gains[i]) ? gains[i] : 0.0;
            cascade[i] = peakingFilter(BandFrequencies[i], gain, sampleRate);
        }
    }
    cascades = std::move(rebuilt);
    applied = gains;
}

void Ctx::resetCascadeState()
{
    for (Cascade &cascade : cascades) {
        for (Biquad &f : cascade)
            f.x1 = f.x2 = f.y1 = f.y2 = 0;
    }
}

void Ctx::processFetched(long framesFetched, uint32_t sourceFlags, AudioBufferList &buffers)
{
    if (sourceFlags & AudioTapFlag::StartOfStream)
        resetCascadeState();
    if (!enabled || !floatFormat)
        return;

    ++dbgCounter;
    const bool logging = dbgCounter == 1 || dbgCounter % 256 == 0;
    const long frames = std::max(framesFetched, 0L);
    const uint32_t bufferCount = std::min(buffers.numberBuffers, AudioBufferList::MaxBuffers);
    double rmsIn = 0, rmsOut = 0;
    FlushDenormals flush;

    for (uint32_t b = 0; b < bufferCount; ++b) {
        AudioBuffer &buffer = buffers.buffers[b];
        if (!buffer.data)
            continue;
        auto *samples = static_cast<float *>(buffer.data);
        const long c = buffer.numberChannels == 0 ? 1 : long(buffer.numberChannels);
        const size_t sampleCapacity = buffer.dataByteSize / sizeof(float);
        if (logging && b == 0)
            rmsIn = rms(samples, sampleCapacity);
        const bool fits = size_t(buffer.dataByteSize) >= size_t(frames) * size_t(c) * sizeof(float);
        if (fits && !interleaved) {
            if (b < cascades.size())
                runCascade(cascades[b], samples, frames, 1);
        } else if (fits) {
            for (long k = 0; k < c; ++k) {
                if (size_t(k) < cascades.size())
                    runCascade(cascades[size_t(k)], samples + k, frames, c);
            }
        }
        if (logging && b == 0)
            rmsOut = rms(samples, std::min(size_t(frames) * size_t(c), sampleCapacity));
    }

    if (logging && bufferCount > 0) {
        const AudioBuffer &first = buffers.buffers[0];
        QStringList gainTexts;
        for (float g : gains)
            gainTexts.append(QString::asprintf("%.0f", double(g)));
        Console::line(QStringLiteral("[EqTap] process #%1 bufs=%2 ch/buf=%3 bytes=%4 rms_in=%5 rms_out=%6 "
                                     "enabled=%7 gains=[%8]")
                          .arg(dbgCounter)
                          .arg(buffers.numberBuffers)
                          .arg(first.numberChannels == 0 ? 1u : first.numberChannels)
                          .arg(first.dataByteSize)
                          .arg(QString::asprintf("%.3f", rmsIn), QString::asprintf("%.3f", rmsOut),
                               enabled ? QStringLiteral("true") : QStringLiteral("false"),
                               gainTexts.join(QLatin1Char(','))));
    }
}

std::shared_ptr<Ctx> contextFor(const AudioProcessingTap *tap)
{
    CtxStore &store = ctxStore();
    std::lock_guard guard(store.lock);
    const auto it = store.map.find(tap);
    return it == store.map.end() ? nullptr : it->second;
}

AudioProcessingTapPtr makeTap()
{
    AudioProcessingTapCallbacks callbacks;
    callbacks.version = 0;
    callbacks.clientInfo = nullptr;
    callbacks.init = tapInit;
    callbacks.finalize = tapFinalize;
    callbacks.prepare = tapPrepare;
    callbacks.unprepare = tapUnprepare;
    callbacks.process = tapProcess;
    // While the equaliser is off the audio passes as it is: no copy, no mapping, no snapshot.
    callbacks.idle = [](AudioProcessingTap *) { return !eqSnapshotStore().enabled.load(); };
    AudioProcessingTapPtr tap;
    const int status = AudioProcessingTap::create(callbacks, AudioTapCreationFlag::PostEffects, &tap);
    if (status != AudioProcessingTap::NoError) {
        Console::line(QStringLiteral("[EqTap] create failed ") + QString::number(int32_t(status)));
        return nullptr;
    }
    return tap;
}

void tapInit(AudioProcessingTap *tap, void *, void **tapStorageOut)
{
    auto ctx = std::make_shared<Ctx>();
    if (tapStorageOut)
        *tapStorageOut = new ProcessScratch;
    CtxStore &store = ctxStore();
    std::lock_guard guard(store.lock);
    store.map[tap] = std::move(ctx);
}

void tapFinalize(AudioProcessingTap *tap)
{
    delete static_cast<ProcessScratch *>(tap->storage());
    CtxStore &store = ctxStore();
    std::lock_guard guard(store.lock);
    store.map.erase(tap);
}

void tapPrepare(AudioProcessingTap *tap, long, const AudioStreamDescription *format)
{
    const std::shared_ptr<Ctx> ctx = contextFor(tap);
    if (!ctx || !format)
        return;
    ctx->setup(*format);
    Console::line(QStringLiteral("[EqTap] prepare: sr=%1 ch=%2 bits=%3 fmt=%4 interleaved=%5")
                      .arg(doubleText(format->sampleRate))
                      .arg(format->channelsPerFrame)
                      .arg(format->bitsPerChannel)
                      .arg(ctx->floatFormat ? QStringLiteral("float") : QStringLiteral("int"),
                           ctx->interleaved ? QStringLiteral("true") : QStringLiteral("false")));
}

void tapUnprepare(AudioProcessingTap *tap)
{
    if (const std::shared_ptr<Ctx> ctx = contextFor(tap))
        ctx->cascades.clear();
}

void tapProcess(AudioProcessingTap *tap, long numberFrames, uint32_t flags, AudioBufferList *bufferListInOut,
                long *numberFramesOut, uint32_t *flagsOut)
{
    const std::shared_ptr<Ctx> ctx = contextFor(tap);
    if (!ctx) {
        *numberFramesOut = 0;
        *flagsOut = flags;
        return;
    }
    auto *scratch = static_cast<ProcessScratch *>(tap->storage());
    {
        EqSnapshotStore &snapshots = eqSnapshotStore();
        std::lock_guard guard(snapshots.lock);
        scratch->box.enabled = snapshots.value.enabled;
        scratch->box.gains.assign(snapshots.value.gains.cbegin(), snapshots.value.gains.cend());
    }
    ctx->sync(scratch->box);

    uint32_t sourceFlags = 0;
    long framesFetched = 0;
    if (tap->getSourceAudio(numberFrames, bufferListInOut, &sourceFlags, &framesFetched)
        != AudioProcessingTap::NoError)
        return;
    *numberFramesOut = framesFetched;
    *flagsOut = flags | (sourceFlags & (AudioTapFlag::StartOfStream | AudioTapFlag::EndOfStream));
    ctx->processFetched(framesFetched, sourceFlags, *bufferListInOut);
}

} // namespace EqTap
