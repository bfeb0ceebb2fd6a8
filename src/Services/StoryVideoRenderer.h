#pragma once

#include "Models/AppError.h"
#include "Services/StoryConfig.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QCoroTask>

#include <functional>
#include <optional>

// An error raised by the story renderer itself (domain "story", negative codes, Persian message),
// or one passed through from the media framework (its own domain, code and message).
class StoryError : public AppError
{
public:
    static constexpr const char *Domain = "story";

    StoryError(QString domain, int code, QString message)
        : m_domain(std::move(domain)), m_code(code), m_message(std::move(message)) {}
    static StoryError writerNotReady();  // -1: the writer refused to start
    static StoryError noResources();     // -3: no frame buffer could be had
    static StoryError renderFailed();    // -4: the file was not completed and no other error said why

    const QString &domain() const { return m_domain; }
    int code() const { return m_code; }
    QString errorDescription() const override { return m_message; }

private:
    QString m_domain;
    int m_code;
    QString m_message;
};

// Turns a StoryConfig into a vertical story video: 720 × 1280 at 24 frames per second, H.264 High
// 4:2:0 in MPEG-4, with the track's audio (AAC) from the chosen start when it can be had.
//
// Every operation is static and nothing is shared between two renders except the two fixed file
// names in the temporary folder ("story-silent.mp4", "story-final.mp4"). The frames are drawn and
// encoded on a worker thread; progress values are always posted to the GUI thread.
class StoryVideoRenderer
{
public:
    using Progress = std::function<void(double)>;

    static constexpr int Width = 720;
    static constexpr int Height = 1280;
    static constexpr int FramesPerSecond = 24;
    // The audio step gives up when its pipeline makes no progress for this long.
    static constexpr int StallLimitMs = 30'000;

    // Renders a story and returns the finished file: "story-final.mp4" when the audio could be
    // attached, else "story-silent.mp4". Throws StoryError only for failures of the frame writer.
    // Call on the GUI thread; the work runs on worker threads and never blocks the caller.
    static QCoro::Task<QUrl> render(StoryConfig config, Progress onProgress);

    // ---- the steps of a render (also used by the tests and the benchmark)

    // Which line of the chosen range becomes current at which second of the video.
    struct Timings {
        QList<double> starts;   // starts[i]: second at which range line i becomes current
        int firstLineIndex = 0; // index in config.lines of range line 0
    };
    struct CurrentLine {
        double start = 0;
        QString text;                       // empty when the line has none
        std::optional<QString> translation;
    };

    static QString silentPath();
    static QString finalPath();
    // The story length in seconds: 3...60; below 3 and not-a-number give 3.
    static double clampedDuration(double duration);
    // Frames of a video of the requested length: 72...1440.
    static int frameCount(double duration);
    static Timings computeLineTimings(const StoryConfig &config);
    static std::optional<CurrentLine> currentLine(const Timings &timings, const StoryConfig &config, double t);

    // The frames alone into "story-silent.mp4". Synchronous: runs on a worker thread.
    static QUrl renderSilent(const StoryConfig &config, const Progress &onProgress);
    // The audio under the silent video into "story-final.mp4"; every failure returns `prerendered`.
    // Synchronous: runs on a worker thread.
    static QUrl attachAudioIfPossible(const QUrl &prerendered, const StoryConfig &config,
                                      const Progress &onProgress, int stallLimitMs = StallLimitMs);

    // Posts one progress value to the GUI thread (never calls it on the current thread).
    static void post(const Progress &onProgress, double value);
};
