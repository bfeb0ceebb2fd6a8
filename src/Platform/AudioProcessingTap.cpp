#include "Platform/AudioProcessingTap.h"

#include <gst/audio/audio.h>
#include <gst/gst.h>

#include <cstring>

namespace {

std::atomic<int> g_nextCreationFailure{AudioProcessingTap::NoError};

bool elementsAvailable()
{
    for (const char *name : {"audioconvert", "capsfilter"}) {
        GstElementFactory *factory = gst_element_factory_find(name);
        if (!factory)
            return false;
        gst_object_unref(factory);
    }
    return true;
}

GstCaps *floatCaps()
{
    return gst_caps_from_string("audio/x-raw,format=F32LE,layout=interleaved");
}

// What one attach of a tap to the sink's pad owns. Freed by the probe's destroy notify only.
struct ProbeState {
    AudioProcessingTapPtr tap;
    GstElement *filter = nullptr; // the filter whose way out the probe is on
    std::atomic<bool> startOfStream{false};
    bool formatKnown = false;
    bool isFloat = false; // what passes the pad now
    bool floatAsked = false;
    int channels = 0;
    int rate = 0;
    long maxFrames = 4096;
};

// Float is asked of the stream only while the tap works on it: otherwise the decoder's own format
// goes through to the sink untouched (the sink's format stays pinned, see PinState).
void askFloat(GstElement *filter, bool on)
{
    GstCaps *caps = on ? floatCaps() : gst_caps_new_any();
    g_object_set(filter, "caps", caps, nullptr);
    gst_caps_unref(caps);
}

void setFloatAsked(ProbeState *state, bool on)
{
    if (on == state->floatAsked)
        return;
    state->floatAsked = on;
    askFloat(state->filter, on);
}

// The tap is told of the stream as it will see it: float, interleaved, at the stream's rate and
// channels, whatever passes the pad while nothing asks for float.
bool readCaps(ProbeState *state, GstCaps *caps)
{
    GstAudioInfo info;
    if (!caps || !gst_audio_info_from_caps(&info, caps))
        return false;
    state->formatKnown = true;
    state->isFloat = GST_AUDIO_INFO_FORMAT(&info) == GST_AUDIO_FORMAT_F32LE
                     && GST_AUDIO_INFO_LAYOUT(&info) == GST_AUDIO_LAYOUT_INTERLEAVED;
    const int rate = GST_AUDIO_INFO_RATE(&info);
    const int channels = GST_AUDIO_INFO_CHANNELS(&info);
    if (state->tap->isPrepared() && rate == state->rate && channels == state->channels)
        return true;
    AudioStreamDescription d;
    d.sampleRate = rate;
    d.channelsPerFrame = uint32_t(channels);
    d.bitsPerChannel = 32;
    d.formatFlags = AudioFormatFlag::IsPacked | AudioFormatFlag::IsFloat;
    d.bytesPerFrame = uint32_t(channels) * sizeof(float);
    d.bytesPerPacket = d.bytesPerFrame;
    d.framesPerPacket = 1;
    state->rate = rate;
    state->channels = channels;
    state->tap->prepare(state->maxFrames, d);
    return true;
}

// A tap attached after the caps went by is prepared at its first buffer.
bool ensurePrepared(GstPad *pad, ProbeState *state)
{
    if (state->formatKnown && state->tap->isPrepared())
        return true;
    GstCaps *caps = gst_pad_get_current_caps(pad);
    const bool prepared = readCaps(state, caps);
    if (caps)
        gst_caps_unref(caps);
    return prepared;
}

void processBuffer(GstPad *pad, ProbeState *state, GstBuffer *buffer)
{
    if (!ensurePrepared(pad, state))
        return;
    // Float reaches the pad from the buffer after the one that asked for it.
    if (state->channels <= 0 || !state->isFloat)
        return;
    GstMapInfo map;
    if (!gst_buffer_map(buffer, &map, GST_MAP_READWRITE))
        return;
    const long frames = long(map.size / (sizeof(float) * size_t(state->channels)));
    const uint32_t flags = state->startOfStream.exchange(false) ? AudioTapFlag::StartOfStream : 0;
    if (frames > 0)
        state->tap->process(reinterpret_cast<float *>(map.data), frames, state->channels, flags);
    gst_buffer_unmap(buffer, &map);
}

GstPadProbeReturn onProbe(GstPad *pad, GstPadProbeInfo *info, gpointer data)
{
    auto *state = static_cast<ProbeState *>(data);
    if (GST_PAD_PROBE_INFO_TYPE(info) & (GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH)) {
        GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
        switch (GST_EVENT_TYPE(event)) {
        case GST_EVENT_CAPS: {
            GstCaps *caps = nullptr;
            gst_event_parse_caps(event, &caps);
            readCaps(state, caps);
            break;
        }
        case GST_EVENT_STREAM_START:
        case GST_EVENT_FLUSH_STOP:
            state->startOfStream = true;
            break;
        default:
            break;
        }
        return GST_PAD_PROBE_OK;
    }
    const bool idle = state->tap->isIdle();
    setFloatAsked(state, !idle);
    if (idle) {
        ensurePrepared(pad, state);
        return GST_PAD_PROBE_OK;
    }
    if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER) {
        GstBuffer *buffer = gst_buffer_make_writable(GST_PAD_PROBE_INFO_BUFFER(info));
        GST_PAD_PROBE_INFO_DATA(info) = buffer;
        processBuffer(pad, state, buffer);
    } else if (GST_PAD_PROBE_INFO_TYPE(info) & GST_PAD_PROBE_TYPE_BUFFER_LIST) {
        GstBufferList *list = gst_buffer_list_make_writable(GST_PAD_PROBE_INFO_BUFFER_LIST(info));
        GST_PAD_PROBE_INFO_DATA(info) = list;
        for (guint i = 0; i < gst_buffer_list_length(list); ++i)
            processBuffer(pad, state, gst_buffer_list_get_writable(list, i));
    }
    return GST_PAD_PROBE_OK;
}

void destroyProbeState(gpointer data)
{
    delete static_cast<ProbeState *>(data);
}

} // namespace

// The sink keeps the sample format it first took for a stream: a new format would make it drop
// the audio it holds (heard as a skip) each time the tap starts or stops asking for float.
struct PinState {
    GstElement *filter = nullptr;
    std::atomic<bool> pinned{false};
};

namespace {

GstPadProbeReturn onSinkCaps(GstPad *, GstPadProbeInfo *info, gpointer data)
{
    auto *pin = static_cast<PinState *>(data);
    GstEvent *event = GST_PAD_PROBE_INFO_EVENT(info);
    if (GST_EVENT_TYPE(event) != GST_EVENT_CAPS || pin->pinned.load())
        return GST_PAD_PROBE_OK;
    GstCaps *caps = nullptr;
    gst_event_parse_caps(event, &caps);
    const GstStructure *structure = caps ? gst_caps_get_structure(caps, 0) : nullptr;
    const char *format = structure ? gst_structure_get_string(structure, "format") : nullptr;
    if (!format)
        return GST_PAD_PROBE_OK;
    GstCaps *pinned = gst_caps_new_simple("audio/x-raw", "format", G_TYPE_STRING, format, nullptr);
    g_object_set(pin->filter, "caps", pinned, nullptr);
    gst_caps_unref(pinned);
    pin->pinned = true;
    return GST_PAD_PROBE_OK;
}

void destroyPinState(gpointer data)
{
    delete static_cast<PinState *>(data);
}

} // namespace

// --- AudioProcessingTap -------------------------------------------------------------------------

int AudioProcessingTap::create(const AudioProcessingTapCallbacks &callbacks, AudioTapCreationFlag flags,
                               AudioProcessingTapPtr *tapOut)
{
    if (!tapOut)
        return ParamError;
    *tapOut = nullptr;
    if (const int failure = g_nextCreationFailure.exchange(NoError); failure != NoError)
        return failure;
    if (callbacks.version != 0 || !callbacks.process)
        return ParamError;
    if (!elementsAvailable())
        return Unavailable;
    AudioProcessingTapPtr tap(new AudioProcessingTap(callbacks, flags));
    if (callbacks.init)
        callbacks.init(tap.get(), callbacks.clientInfo, &tap->m_storage);
    *tapOut = std::move(tap);
    return NoError;
}

void AudioProcessingTap::failNextCreation(int status)
{
    g_nextCreationFailure = status;
}

AudioProcessingTap::AudioProcessingTap(const AudioProcessingTapCallbacks &callbacks, AudioTapCreationFlag flags)
    : m_callbacks(callbacks)
    , m_flags(flags)
{
}

AudioProcessingTap::~AudioProcessingTap()
{
    unprepare();
    if (m_callbacks.finalize)
        m_callbacks.finalize(this);
}

void AudioProcessingTap::prepare(long maxFrames, const AudioStreamDescription &format)
{
    unprepare();
    m_prepared = true;
    if (m_callbacks.prepare)
        m_callbacks.prepare(this, maxFrames, &format);
}

void AudioProcessingTap::unprepare()
{
    if (m_prepared.exchange(false) && m_callbacks.unprepare)
        m_callbacks.unprepare(this);
}

void AudioProcessingTap::process(float *samples, long frames, int channels, uint32_t sourceFlags)
{
    if (!samples || frames <= 0 || channels <= 0)
        return;
    m_source = samples;
    m_sourceFrames = frames;
    m_sourceChannels = channels;
    m_sourceFlags = sourceFlags;
    m_inProcess = true;

    AudioBufferList list;
    list.numberBuffers = 1;
    list.buffers[0].numberChannels = uint32_t(channels);
    list.buffers[0].dataByteSize = uint32_t(size_t(frames) * size_t(channels) * sizeof(float));
    list.buffers[0].data = samples;
    long framesOut = frames;
    uint32_t flagsOut = 0;
    m_callbacks.process(this, frames, 0, &list, &framesOut, &flagsOut);

    m_inProcess = false;
    m_source = nullptr;
    if (framesOut >= 0 && framesOut < frames) {
        std::memset(samples + size_t(framesOut) * size_t(channels), 0,
                    size_t(frames - framesOut) * size_t(channels) * sizeof(float));
    }
}

int AudioProcessingTap::getSourceAudio(long numberFrames, AudioBufferList *bufferListInOut, uint32_t *flagsOut,
                                       long *numberFramesOut)
{
    if (!m_inProcess || !bufferListInOut || numberFrames < 0)
        return ParamError;
    const long frames = std::min(numberFrames, m_sourceFrames);
    const size_t bytes = size_t(frames) * size_t(m_sourceChannels) * sizeof(float);
    AudioBuffer &out = bufferListInOut->buffers[0];
    if (out.data && out.data != m_source)
        std::memcpy(out.data, m_source, std::min<size_t>(bytes, out.dataByteSize));
    else
        out.data = m_source;
    out.numberChannels = uint32_t(m_sourceChannels);
    out.dataByteSize = uint32_t(bytes);
    bufferListInOut->numberBuffers = 1;
    if (flagsOut)
        *flagsOut = m_sourceFlags;
    if (numberFramesOut)
        *numberFramesOut = frames;
    return NoError;
}

// --- AudioTapSink -------------------------------------------------------------------------------

AudioTapSink::AudioTapSink(GstElement *sink)
{
    if (!sink)
        sink = gst_element_factory_make("autoaudiosink", nullptr);
    GstElement *convertIn = gst_element_factory_make("audioconvert", nullptr);
    GstElement *filter = gst_element_factory_make("capsfilter", nullptr);
    GstElement *convertOut = gst_element_factory_make("audioconvert", nullptr);
    GstElement *pinFilter = gst_element_factory_make("capsfilter", nullptr);
    if (!sink || !convertIn || !filter || !convertOut || !pinFilter) {
        for (GstElement *e : {sink, convertIn, filter, convertOut, pinFilter}) {
            if (e)
                gst_object_unref(gst_object_ref_sink(e));
        }
        return;
    }

    m_bin = gst_bin_new("melodrift-audio-sink");
    gst_object_ref_sink(m_bin);
    gst_bin_add_many(GST_BIN(m_bin), convertIn, filter, convertOut, pinFilter, sink, nullptr);
    if (!gst_element_link_many(convertIn, filter, convertOut, pinFilter, sink, nullptr)) {
        gst_object_unref(m_bin);
        m_bin = nullptr;
        return;
    }
    GstPad *target = gst_element_get_static_pad(convertIn, "sink");
    gst_element_add_pad(m_bin, gst_ghost_pad_new("sink", target));
    gst_object_unref(target);
    m_sink = sink;
    m_filter = filter;
    // The tap sits on the filter's way out, where the samples are float while it works (an
    // element of its own there would cost a push per buffer for nothing).
    m_tapPad = gst_element_get_static_pad(filter, "src");
    m_pin = new PinState;
    m_pin->filter = pinFilter;
    GstPad *pinPad = gst_element_get_static_pad(pinFilter, "src");
    gst_pad_add_probe(pinPad, GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM, onSinkCaps, m_pin, destroyPinState);
    gst_object_unref(pinPad);
}

AudioTapSink::~AudioTapSink()
{
    detach();
    if (m_tapPad)
        gst_object_unref(m_tapPad);
    if (m_bin)
        gst_object_unref(m_bin);
}

void AudioTapSink::attach(AudioProcessingTapPtr tap)
{
    detach();
    if (!tap || !m_tapPad)
        return;
    auto *state = new ProbeState;
    state->tap = tap;
    state->filter = m_filter;
    // The format is settled before the first buffer where it can be: a stream then starts in
    // the format the tap wants.
    state->floatAsked = !tap->isIdle();
    askFloat(m_filter, state->floatAsked);
    m_tap = std::move(tap);
    m_probeId = gst_pad_add_probe(
        m_tapPad,
        GstPadProbeType(GST_PAD_PROBE_TYPE_BUFFER | GST_PAD_PROBE_TYPE_BUFFER_LIST
                        | GST_PAD_PROBE_TYPE_EVENT_DOWNSTREAM | GST_PAD_PROBE_TYPE_EVENT_FLUSH),
        onProbe, state, destroyProbeState);
}

void AudioTapSink::detach()
{
    if (m_probeId && m_tapPad)
        gst_pad_remove_probe(m_tapPad, m_probeId);
    m_probeId = 0;
    m_tap.reset();
}

void AudioTapSink::streamStopped()
{
    if (m_tap)
        m_tap->unprepare();
    // The next stream's sink takes whatever format it comes in.
    if (m_pin && m_pin->pinned.exchange(false)) {
        GstCaps *any = gst_caps_new_any();
        g_object_set(m_pin->filter, "caps", any, nullptr);
        gst_caps_unref(any);
    }
}
