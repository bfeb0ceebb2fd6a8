#pragma once

#include <QImage>
#include <QString>

#include <atomic>
#include <functional>

typedef struct _GstElement GstElement;
typedef struct _GstBus GstBus;
typedef struct _GstBufferPool GstBufferPool;
typedef struct _GstMessage GstMessage;

// The encoder of a story's frames: frames drawn as 720 × 1280 premultiplied BGRA, converted to
// I420 by the drawing threads themselves, encoded in order by x264 (H.264 High 4:2:0) into an
// MPEG-4 file. Used by StoryVideoRenderer::renderSilent on one worker thread.
class StoryFrameWriter
{
public:
    using Draw = std::function<void(QImage &frame, int index)>;

    // Throws StoryError when the pipeline cannot be built. With a `mediaPath`, the file is written
    // index first: the media waits in that file meanwhile (the caller removes it). `sink` is the
    // element that writes the file, given a "location" (tests hand in one that fails).
    explicit StoryFrameWriter(const QString &path, const QString &mediaPath = {}, const char *sink = "filesink");
    ~StoryFrameWriter();
    StoryFrameWriter(const StoryFrameWriter &) = delete;
    StoryFrameWriter &operator=(const StoryFrameWriter &) = delete;

    // Throws StoryError when the pipeline does not start (the file cannot be written, or -1).
    void start();
    // Draws frames 0 … count − 1 with `draw` on several threads at once (each thread into an
    // image of its own, which `draw` overwrites whole) and hands them to the encoder in order;
    // `onAppended(i)` runs on the calling thread once frame i is with the encoder. Returns early
    // when the encoder fails or `stop` is set.
    void writeFrames(int count, const Draw &draw, const std::function<void(int)> &onAppended,
                     const std::atomic<bool> *stop);
    // Ends the stream and waits until the file is complete. Throws the encoder's error, or -4.
    void finish();

    // How many threads draw at once.
    static int drawingThreads();

private:
    bool failed();
    void waitUntilReady();

    GstElement *m_pipeline = nullptr;
    GstElement *m_source = nullptr;
    GstBus *m_bus = nullptr;
    GstBufferPool *m_pool = nullptr;
    GstMessage *m_error = nullptr;
};
