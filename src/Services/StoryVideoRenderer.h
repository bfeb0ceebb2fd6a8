#pragma once

#include "Models/AppError.h"
#include "Services/StoryConfig.h"

#include <QList>
#include <QString>
#include <QUrl>
#include <QCoroTask>

#include <atomic>
#include <functional>
#include <memory>
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
    static StoryError diskFull();        // -5: the disk is full
    static StoryError cannotWrite();     // -6: the video file cannot be written
    static StoryError sourceUnreadable(); // -7: a file the render reads cannot be read
    static StoryError stopped();         // -8: the application quit during the render

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
// Every operation is static and nothing is shared between two renders: each render writes its
// files ("story-silent.mp4", "story-final.mp4") into a folder of its own in the temporary folder.
// The frames are drawn on several worker threads while the encoder takes them in order, and the
// audio is encoded beside them; progress values are always posted to the GUI thread.
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
    // attached, else "story-silent.mp4", in the render's own folder (see discard()). Throws
    // StoryError only for failures of the frame writer; a failed render leaves no file behind.
    // Call on the GUI thread; the work runs on worker threads and never blocks the caller.
    static QCoro::Task<QUrl> render(StoryConfig config, Progress onProgress);

    // Removes a video that render() returned, together with its render's folder. Anything that is
    // not in a render folder of this process is left alone.
    static void discard(const QUrl &video);

    // ---- the render folders in the temporary folder
    //
    // Each render folder holds "owner.lock", locked (flock) by the process that made it for as long
    // as the folder is in use; the lock goes with the process, so a folder whose lock can be taken
    // has no running owner. Only a folder named as a render's ("story-" and six letters or digits)
    // whose lock is a regular file of its own (not a link) that can be taken is removed, and of
    // it only regular files of a render's own names; a folder without such a lock stays.

    // At start: removes on a worker thread the render folders no running instance owns, and at
    // quit removes every finished video of this process (a render still running removes its own
    // files once stopped).
    static void manageTemporaryFolders();
    // The render folders in the temporary folder without a living owner, older than `minimumAgeSecs`
    // (one just made may not hold its lock yet). Returns how many went.
    static int removeAbandonedFolders(int minimumAgeSecs = 60);
    // Every render folder this process made whose render has ended.
    static void removeOwnFolders();
    // Stops every running render: each ends soon with StoryError::stopped() and removes its
    // files. Called when the application quits, so that quitting does not wait for the frames.
    static void stopAll();

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

    // A new folder of one render, "story-XXXXXX" in the temporary folder, owned by this process
    // until discarded. Throws StoryError.
    static QString makeRenderFolder();
    static QString silentPath(const QString &folder);
    static QString finalPath(const QString &folder);
    // The story length in seconds: 3...60; below 3 and not-a-number give 3.
    static double clampedDuration(double duration);
    // Frames of a video of the requested length: 72...1440.
    static int frameCount(double duration);
    static Timings computeLineTimings(const StoryConfig &config);
    static std::optional<CurrentLine> currentLine(const Timings &timings, const StoryConfig &config, double t);

    // The frames alone into `path` ("story-silent.mp4" of a render folder), index first. A path
    // taken by anything but a regular file of a render folder is not touched: that ends with
    // StoryError::cannotWrite(). Synchronous: runs on a worker thread. Ends with
    // StoryError::stopped() once `stop` is set.
    static QUrl renderSilent(const StoryConfig &config, const Progress &onProgress, const QString &path,
                             const std::atomic<bool> *stop = nullptr);
    // The audio under the silent video into "story-final.mp4" beside it; every failure (and a
    // stop) returns `prerendered`. The stall limit covers opening the audio as well. Synchronous:
    // runs on a worker thread.
    static QUrl attachAudioIfPossible(const QUrl &prerendered, const StoryConfig &config,
                                      const Progress &onProgress, int stallLimitMs = StallLimitMs,
                                      const std::atomic<bool> *stop = nullptr);
    // The audio step in two halves: the chosen stretch of the audio encoded on its own into
    // "story-audio.m4a" in `folder` (a render runs this beside the frames; it never throws), then
    // put under the silent video with the silent file's fall-backs.
    struct PreparedAudio;
    static std::shared_ptr<PreparedAudio> prepareAudio(const StoryConfig &config, const QString &folder,
                                                       int stallLimitMs, const std::atomic<bool> *stop);
    static QUrl attachPreparedAudio(const QUrl &prerendered, const StoryConfig &config, const PreparedAudio &prepared,
                                    const Progress &onProgress, int stallLimitMs, const std::atomic<bool> *stop);
    // A Persian error for a media framework failure of the given kind (domain and code kept).
    static StoryError mediaError(quint32 domain, int code);

    // Removes `path` only when it is a regular file: never a link, device, pipe or folder.
    static bool removeRegularFile(const QString &path);

    // Posts one progress value to the GUI thread (never calls it on the current thread).
    static void post(const Progress &onProgress, double value);
};
