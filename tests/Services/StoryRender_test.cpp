#include "Services/StoryFrameWriter.h"
#include "Services/StoryVideoRenderer.h"

#include "Platform/PhotoLibrary.h"

#include "support/PlaybackTestSupport.h"
#include "support/StandInServer.h"
#include "support/StoryAudioRoutes.h"
#include "support/TaskOutcome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtEndian>
#include <gst/app/gstappsink.h>
#include <gst/base/gstbasesink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

#include <cerrno>

#include <atomic>
#include <cmath>
#include <thread>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

using testsupport::StdoutCapture;
using testsupport::waitUntil;

namespace {

// What ffprobe says of a file's video and audio streams.
struct Probe {
    QJsonObject video;
    QJsonObject audio;
};

Probe probe(const QString &path)
{
    QProcess ffprobe;
    ffprobe.start(QStringLiteral("ffprobe"),
                  {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-count_frames"),
                   QStringLiteral("-show_entries"),
                   QStringLiteral("stream=codec_type,codec_name,profile,pix_fmt,width,height,r_frame_rate,"
                                  "nb_read_frames,duration"),
                   QStringLiteral("-of"), QStringLiteral("json"), path});
    Probe result;
    if (!ffprobe.waitForFinished(60000))
        return result;
    const QJsonArray streams =
        QJsonDocument::fromJson(ffprobe.readAllStandardOutput()).object().value(QStringLiteral("streams")).toArray();
    for (const QJsonValue &stream : streams) {
        const QJsonObject s = stream.toObject();
        (s.value(QStringLiteral("codec_type")).toString() == QStringLiteral("video") ? result.video : result.audio) = s;
    }
    return result;
}

// The top-level boxes of an MPEG-4 file, in order.
QStringList topLevelBoxes(const QString &path)
{
    QFile file(path);
    QStringList boxes;
    if (!file.open(QIODevice::ReadOnly))
        return boxes;
    const QByteArray data = file.readAll();
    qsizetype at = 0;
    while (at + 8 <= data.size()) {
        quint64 size = qFromBigEndian<quint32>(data.constData() + at);
        boxes.append(QString::fromLatin1(data.mid(at + 4, 4)));
        if (size == 1 && at + 16 <= data.size())
            size = qFromBigEndian<quint64>(data.constData() + at + 8);
        if (size < 8)
            break;
        at += qsizetype(size);
    }
    return boxes;
}

// Where the audio of a file first rises above a whisper, in seconds (-1 when it never does).
double audioOnset(const QString &path)
{
    const QString description =
        QStringLiteral("filesrc location=\"%1\" ! qtdemux name=d d.audio_0 ! decodebin ! audioconvert ! audioresample "
                       "! audio/x-raw,format=F32LE,channels=1,rate=44100 ! appsink name=out sync=false")
            .arg(path);
    GstElement *pipeline = gst_parse_launch(description.toUtf8().constData(), nullptr);
    if (!pipeline)
        return -1;
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "out");
    gst_element_set_state(pipeline, GST_STATE_PLAYING);
    double onset = -1;
    qint64 samples = 0;
    while (GstSample *sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND)) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        GstMapInfo map;
        if (onset < 0 && gst_buffer_map(buffer, &map, GST_MAP_READ)) {
            const auto *values = reinterpret_cast<const float *>(map.data);
            const qsizetype count = qsizetype(map.size / sizeof(float));
            for (qsizetype i = 0; i < count && onset < 0; ++i)
                if (std::abs(values[i]) > 0.1f)
                    onset = double(samples + i) / 44100;
            samples += count;
            gst_buffer_unmap(buffer, &map);
        }
        gst_sample_unref(sample);
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return onset;
}

// A file sink on a disk that is full: it takes a location as the file sink does and fails the
// first write as the file sink does when the disk says so.
struct FullDiskSink {
    GstBaseSink parent;
};
struct FullDiskSinkClass {
    GstBaseSinkClass parent;
};
G_DEFINE_TYPE(FullDiskSink, full_disk_sink, GST_TYPE_BASE_SINK)

void full_disk_sink_init(FullDiskSink *) {}

void full_disk_sink_class_init(FullDiskSinkClass *klass)
{
    static GstStaticPadTemplate sink = GST_STATIC_PAD_TEMPLATE("sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);
    auto *objects = G_OBJECT_CLASS(klass);
    objects->set_property = [](GObject *, guint, const GValue *, GParamSpec *) {};
    objects->get_property = [](GObject *, guint, GValue *value, GParamSpec *) { g_value_set_string(value, ""); };
    g_object_class_install_property(objects, 1, g_param_spec_string("location", "location", "file", nullptr,
                                                                     G_PARAM_READWRITE));
    gst_element_class_add_static_pad_template(GST_ELEMENT_CLASS(klass), &sink);
    gst_element_class_set_static_metadata(GST_ELEMENT_CLASS(klass), "Full disk", "Sink/File", "Fails every write",
                                          "tests");
    GST_BASE_SINK_CLASS(klass)->render = [](GstBaseSink *self, GstBuffer *) {
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("No space left on device"), (nullptr));
        return GST_FLOW_ERROR;
    };
}

bool setAge(const QString &path, int seconds)
{
    const timeval then{time(nullptr) - seconds, 0};
    const timeval times[2] = {then, then};
    return ::utimes(QFile::encodeName(path).constData(), times) == 0;
}

bool isFifo(const QString &path)
{
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && S_ISFIFO(st.st_mode);
}

StoryConfig storyConfig(double duration)
{
    StoryConfig config;
    config.title = QStringLiteral("عنوان");
    config.artist = QStringLiteral("خواننده");
    QImage cover(300, 300, QImage::Format_RGB32);
    cover.fill(QColor(40, 140, 200));
    config.coverImage = cover;
    config.themeColor = QColor(200, 60, 100);
    config.accentColor = QColor(255, 120, 60);
    config.lines = {LyricsLine{10.0, QStringLiteral("یک"), std::nullopt}, LyricsLine{12.0, QStringLiteral("دو"), QStringLiteral("two")}};
    config.endLine = 1;
    config.duration = duration;
    return config;
}

// Each test writes its files into its own temporary folder.
class StoryRenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        qputenv("TMPDIR", QFile::encodeName(dir.path()));
        ASSERT_EQ(QDir::tempPath(), QDir(dir.path()).canonicalPath());
        ASSERT_NE(server.listen(), 0);
        standin::installStoryAudioRoutes(server);
    }
    void TearDown() override { qunsetenv("TMPDIR"); }

    struct Result {
        testing_support::Outcome<QUrl> outcome;
        QList<double> progress;
    };
    Result render(const StoryConfig &config)
    {
        Result result;
        result.outcome = testing_support::runTask(
            StoryVideoRenderer::render(config, [&result](double value) { result.progress.append(value); }));
        // Progress calls are posted; let the last ones arrive.
        QCoreApplication::processEvents();
        return result;
    }
    // The story files in the render folders, by name; the folders themselves by count.
    QStringList storyFiles() const
    {
        QStringList names;
        for (const QString &folder : renderFolders())
            names += QDir(dir.filePath(folder)).entryList(QDir::Files | QDir::Hidden, QDir::Name);
        names.removeAll(QStringLiteral("owner.lock"));
        return names;
    }
    QStringList renderFolders() const
    {
        return QDir(dir.path()).entryList({QStringLiteral("story-*")}, QDir::Dirs | QDir::NoDotAndDotDot);
    }
    static QString fileName(const QUrl &url) { return QFileInfo(url.toLocalFile()).fileName(); }

    QTemporaryDir dir;
    standin::StandInServer server;
};

} // namespace

TEST_F(StoryRenderTest, SilentVideoWithoutAudioAddress)
{
    StdoutCapture out;
    const Result result = render(storyConfig(3));
    ASSERT_TRUE(result.outcome.ok());
    EXPECT_EQ(fileName(*result.outcome.value), QStringLiteral("story-silent.mp4"));
    EXPECT_EQ(result.progress, (QList<double>{0, 24.0 / 72 * 0.8, 48.0 / 72 * 0.8, 0.85}));
    EXPECT_EQ(out.text(), QByteArray()); // nothing printed without an address
    EXPECT_EQ(storyFiles(), QStringList{QStringLiteral("story-silent.mp4")});

    const Probe p = probe(result.outcome.value->toLocalFile());
    EXPECT_EQ(p.video.value(QStringLiteral("codec_name")).toString(), QStringLiteral("h264"));
    EXPECT_EQ(p.video.value(QStringLiteral("profile")).toString(), QStringLiteral("High"));
    EXPECT_EQ(p.video.value(QStringLiteral("pix_fmt")).toString(), QStringLiteral("yuv420p"));
    EXPECT_EQ(p.video.value(QStringLiteral("width")).toInt(), 720);
    EXPECT_EQ(p.video.value(QStringLiteral("height")).toInt(), 1280);
    EXPECT_EQ(p.video.value(QStringLiteral("r_frame_rate")).toString(), QStringLiteral("24/1"));
    EXPECT_EQ(p.video.value(QStringLiteral("nb_read_frames")).toString(), QStringLiteral("72"));
    EXPECT_TRUE(p.audio.isEmpty());
    // Ready to stream: the index comes before the media, as in the file with audio.
    const QStringList boxes = topLevelBoxes(result.outcome.value->toLocalFile());
    ASSERT_TRUE(boxes.contains(QStringLiteral("moov")) && boxes.contains(QStringLiteral("mdat"))) << boxes.join(u',').toStdString();
    EXPECT_EQ(boxes.first(), QStringLiteral("ftyp"));
    EXPECT_LT(boxes.indexOf(QStringLiteral("moov")), boxes.indexOf(QStringLiteral("mdat"))) << boxes.join(u',').toStdString();
}

TEST_F(StoryRenderTest, AudioFromTheChosenStartWithItsIndexFirst)
{
    // Silence until 12 s, then a tone; the story starts at 10 s, so the tone begins 2 s in.
    StoryConfig config = storyConfig(4);
    config.audioURL = server.baseUrl().resolved(QUrl(QStringLiteral("/story/onset.wav?silence=12&seconds=30")));
    config.audioStart = 10;
    StdoutCapture out;
    const Result result = render(config);
    ASSERT_TRUE(result.outcome.ok());
    const QString final = result.outcome.value->toLocalFile();
    EXPECT_EQ(fileName(*result.outcome.value), QStringLiteral("story-final.mp4"));
    EXPECT_EQ(storyFiles(), QStringList{QStringLiteral("story-final.mp4")}); // the silent file is gone
    ASSERT_FALSE(result.progress.isEmpty());
    EXPECT_EQ(result.progress.last(), 1.0);
    EXPECT_TRUE(result.progress.contains(0.85));
    EXPECT_TRUE(std::is_sorted(result.progress.cbegin(), result.progress.cend()));
    EXPECT_EQ(out.text(), QByteArray());

    const Probe p = probe(final);
    EXPECT_EQ(p.video.value(QStringLiteral("profile")).toString(), QStringLiteral("High"));
    EXPECT_EQ(p.video.value(QStringLiteral("nb_read_frames")).toString(), QStringLiteral("96"));
    EXPECT_EQ(p.audio.value(QStringLiteral("codec_name")).toString(), QStringLiteral("aac"));
    const double videoLength = p.video.value(QStringLiteral("duration")).toString().toDouble();
    const double audioLength = p.audio.value(QStringLiteral("duration")).toString().toDouble();
    EXPECT_NEAR(audioLength, videoLength, 1.0 / 24);
    const QStringList boxes = topLevelBoxes(final);
    ASSERT_TRUE(boxes.contains(QStringLiteral("moov")) && boxes.contains(QStringLiteral("mdat")));
    EXPECT_LT(boxes.indexOf(QStringLiteral("moov")), boxes.indexOf(QStringLiteral("mdat")));
    EXPECT_NEAR(audioOnset(final), 2.0, 0.06);
}

TEST_F(StoryRenderTest, AudioThatCannotBeHadLeavesTheSilentVideo)
{
    const struct {
        const char *path;
    } table[] = {{"/story/missing.mp3"}, {"/story/page.html"}};
    for (const auto &row : table) {
        StoryConfig config = storyConfig(3);
        config.audioURL = server.baseUrl().resolved(QUrl(QString::fromLatin1(row.path)));
        StdoutCapture out;
        const Result result = render(config);
        ASSERT_TRUE(result.outcome.ok()) << row.path;
        EXPECT_EQ(fileName(*result.outcome.value), QStringLiteral("story-silent.mp4")) << row.path;
        EXPECT_EQ(result.progress.last(), 0.85) << row.path; // nothing after the step's start
        EXPECT_EQ(QString::fromUtf8(out.text()),
                  QStringLiteral("[Story] no audio track found at ") + config.audioURL->toString(QUrl::FullyEncoded) + '\n');
        EXPECT_EQ(storyFiles(), QStringList{QStringLiteral("story-silent.mp4")}) << row.path;
        StoryVideoRenderer::discard(*result.outcome.value);
        EXPECT_TRUE(renderFolders().isEmpty()) << row.path;
    }
}

TEST_F(StoryRenderTest, AudioEndingBeforeOrWithinTheStory)
{
    // Ten seconds of audio: a story starting at 40 s has none of it and stays silent; one starting
    // at 8 s has its last 2 s. Either way the file returned plays.
    const struct {
        double start;
        const char *file;
        bool audio;
    } table[] = {{40, "story-silent.mp4", false}, {8, "story-final.mp4", true}};
    for (const auto &row : table) {
        StoryConfig config = storyConfig(4);
        config.audioURL = server.baseUrl().resolved(QUrl(QStringLiteral("/story/onset.wav?silence=1&seconds=10")));
        config.audioStart = row.start;
        const Result result = render(config);
        ASSERT_TRUE(result.outcome.ok()) << row.start;
        EXPECT_EQ(fileName(*result.outcome.value), QString::fromLatin1(row.file)) << row.start;
        EXPECT_EQ(storyFiles(), QStringList{QString::fromLatin1(row.file)}) << row.start;
        const Probe p = probe(result.outcome.value->toLocalFile());
        EXPECT_EQ(p.video.value(QStringLiteral("nb_read_frames")).toString(), QStringLiteral("96")) << row.start;
        EXPECT_EQ(p.audio.value(QStringLiteral("codec_name")).toString(), row.audio ? QStringLiteral("aac") : QString());
        StoryVideoRenderer::discard(*result.outcome.value);
    }
}

TEST_F(StoryRenderTest, OverlappingRendersKeepToTheirOwnFiles)
{
    // The first render ends and its video is discarded while the second one still writes.
    QCoro::Task<QUrl> first = StoryVideoRenderer::render(storyConfig(3), {});
    QCoro::Task<QUrl> second = StoryVideoRenderer::render(storyConfig(8), {});
    const auto a = testing_support::runTask(std::move(first));
    ASSERT_TRUE(a.ok());
    StoryVideoRenderer::discard(*a.value);
    EXPECT_FALSE(QFile::exists(a.value->toLocalFile()));
    const auto b = testing_support::runTask(std::move(second));
    ASSERT_TRUE(b.ok());
    EXPECT_NE(QFileInfo(a.value->toLocalFile()).path(), QFileInfo(b.value->toLocalFile()).path());
    EXPECT_EQ(probe(b.value->toLocalFile()).video.value(QStringLiteral("nb_read_frames")).toString(), QStringLiteral("192"));
    EXPECT_EQ(renderFolders().size(), 1);
}

TEST_F(StoryRenderTest, StoppedRenderEndsAtOnceAndLeavesNothing)
{
    // As when the application quits mid-render.
    StoryConfig config = storyConfig(60);
    config.audioURL = server.baseUrl().resolved(QUrl(QStringLiteral("/story/onset.wav?silence=1&seconds=90")));
    QList<double> progress;
    QCoro::Task<QUrl> task = StoryVideoRenderer::render(config, [&](double value) { progress.append(value); });
    ASSERT_TRUE(waitUntil([&] { return !progress.isEmpty() && progress.last() > 0; }, 60000));
    StoryVideoRenderer::stopAll();
    const auto outcome = testing_support::runTask(std::move(task));
    const auto error = outcome.errorAs<StoryError>();
    ASSERT_TRUE(error.has_value());
    EXPECT_EQ(error->code(), -8);
    EXPECT_EQ(error->errorDescription(), QStringLiteral("ساخت ویدیو متوقف شد"));
    EXPECT_TRUE(renderFolders().isEmpty());
}

TEST_F(StoryRenderTest, SourcesThatNeverDeliverEndByTheWatchdog)
{
    const QString folder = StoryVideoRenderer::makeRenderFolder();
    const QUrl silent = StoryVideoRenderer::renderSilent(storyConfig(3), {}, StoryVideoRenderer::silentPath(folder));
    standin::Reply never;
    never.contentType = "audio/mpeg";
    never.delayMs = 3'600'000; // not even the headers
    never.body = QByteArray(1, '\0');
    server.script("GET", QStringLiteral("/story/unanswered.mp3"), never);
    const QString fifo = dir.filePath(QStringLiteral("pipe.mp3"));
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QUrl table[] = {server.baseUrl().resolved(QUrl(QStringLiteral("/story/stalled.mp3"))),
                          server.baseUrl().resolved(QUrl(QStringLiteral("/story/unanswered.mp3"))),
                          QUrl::fromLocalFile(fifo)};
    for (const QUrl &audio : table) {
        StoryConfig config = storyConfig(3);
        config.audioURL = audio;
        StdoutCapture out;
        // The step blocks its thread; the stand-in answers on this one meanwhile.
        std::atomic<bool> done = false;
        QUrl result;
        std::thread worker([&] {
            result = StoryVideoRenderer::attachAudioIfPossible(silent, config, {}, 1000);
            done = true;
        });
        const bool finished = waitUntil([&] { return done.load(); }, 30000);
        worker.join();
        ASSERT_TRUE(finished) << audio.toString().toStdString();
        EXPECT_EQ(result, silent);
        EXPECT_TRUE(out.text().startsWith("[Story] no audio track found at ")) << audio.toString().toStdString();
        EXPECT_EQ(storyFiles(), QStringList{QStringLiteral("story-silent.mp4")}) << audio.toString().toStdString();
    }
    EXPECT_EQ(server.countRequests(QStringLiteral("/story/stalled.mp3")), 1);
}

TEST_F(StoryRenderTest, FailuresReadInPersian)
{
    const QString diskFull = QStringLiteral("فضای خالی دیسک کافی نیست");
    const QString cannotWrite = QStringLiteral("فایل ویدیو نوشته نشد");
    const struct {
        quint32 domain;
        int code;
        QString text;
    } kinds[] = {{GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_NO_SPACE_LEFT, diskFull},
                 {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_OPEN_WRITE, cannotWrite},
                 {GST_RESOURCE_ERROR, GST_RESOURCE_ERROR_READ, QStringLiteral("فایل منبع خوانده نشد")},
                 {GST_STREAM_ERROR, GST_STREAM_ERROR_FAILED, QStringLiteral("خطا در رندر ویدیو")}};
    for (const auto &row : kinds) {
        const StoryError error = StoryVideoRenderer::mediaError(row.domain, row.code);
        EXPECT_EQ(error.errorDescription(), row.text) << row.code;
        EXPECT_EQ(error.code(), row.code);
    }

    // Renders that cannot write: a folder that is not there; paths taken by what the renderer did
    // not make (a pipe, a folder, a link, a file outside a render folder), which stay as they were.
    const QString outside = dir.filePath(QStringLiteral("keep.txt"));
    QFile keep(outside);
    ASSERT_TRUE(keep.open(QIODevice::WriteOnly));
    keep.write("keep");
    keep.close();
    ASSERT_EQ(mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("pipe.mp4"))).constData(), 0600), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp4")));
    ASSERT_TRUE(QFile::link(outside, dir.filePath(QStringLiteral("link.mp4"))));
    const QString folder = StoryVideoRenderer::makeRenderFolder();
    ASSERT_TRUE(QFile::link(outside, StoryVideoRenderer::silentPath(folder)));
    const QString renders[] = {dir.filePath(QStringLiteral("gone/story-silent.mp4")), dir.filePath(QStringLiteral("pipe.mp4")),
                               dir.filePath(QStringLiteral("folder.mp4")), dir.filePath(QStringLiteral("link.mp4")),
                               outside, StoryVideoRenderer::silentPath(folder)};
    for (const QString &path : renders) {
        std::optional<StoryError> failure;
        try {
            StoryVideoRenderer::renderSilent(storyConfig(3), {}, path);
        } catch (const StoryError &error) {
            failure = error;
        }
        ASSERT_TRUE(failure.has_value()) << path.toStdString();
        EXPECT_EQ(failure->errorDescription(), cannotWrite) << path.toStdString();
    }
    EXPECT_TRUE(isFifo(dir.filePath(QStringLiteral("pipe.mp4"))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("folder.mp4"))).isDir());
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("link.mp4"))).isSymLink());
    EXPECT_TRUE(QFileInfo(StoryVideoRenderer::silentPath(folder)).isSymLink());
    ASSERT_TRUE(keep.open(QIODevice::ReadOnly));
    EXPECT_EQ(keep.readAll(), QByteArray("keep"));
    keep.close();
    StoryVideoRenderer::discard(QUrl::fromLocalFile(StoryVideoRenderer::silentPath(folder)));
    EXPECT_TRUE(QFile::exists(outside));

    // A disk that fills up while the frames are written.
    ASSERT_TRUE(gst_element_register(nullptr, "storyfulldisksink", GST_RANK_NONE, full_disk_sink_get_type()));
    std::optional<StoryError> full;
    try {
        StoryFrameWriter writer(dir.filePath(QStringLiteral("full.mp4")), {}, "storyfulldisksink");
        writer.start();
        writer.writeFrames(72, [](QImage &frame, int) { frame.fill(Qt::black); }, [](int) {}, nullptr);
        writer.finish();
    } catch (const StoryError &error) {
        full = error;
    }
    ASSERT_TRUE(full.has_value());
    EXPECT_EQ(full->errorDescription(), diskFull);

    // Saving: onto a full disk, into a file that takes no writing, from a video that cannot be read.
    QFile video(dir.filePath(QStringLiteral("video.mp4")));
    ASSERT_TRUE(video.open(QIODevice::ReadWrite));
    video.write(QByteArray(3 << 20, 'v'));
    QFile unreadable(dir.filePath(QStringLiteral("unreadable.mp4")));
    ASSERT_TRUE(unreadable.open(QIODevice::WriteOnly));
    unreadable.write(QByteArray(1024, 'u'));
    QFile target(dir.filePath(QStringLiteral("copy.mp4")));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    QFile readOnly(dir.filePath(QStringLiteral("copy.mp4")));
    ASSERT_TRUE(readOnly.open(QIODevice::ReadOnly));
    struct Save {
        QFile *source;
        QFile *target;
        QString text;
    };
    const Save saves[] = {{&video, &readOnly, QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد")},
                          {&unreadable, &target, QStringLiteral("فایل ویدیو خوانده نشد")}};
    for (const Save &row : saves) {
        if (row.source->isReadable())
            row.source->seek(0);
        std::optional<QString> failure;
        try {
            PhotoLibrary::copyContents(*row.source, *row.target);
        } catch (const AppError &error) {
            failure = error.errorDescription();
        }
        EXPECT_EQ(failure, row.text);
    }
    // How a failed write of a copy reads, from the system's error (and Qt's kind of it).
    const QString cannotCopy = QStringLiteral("نوشتن در پوشهٔ ویدیوها ممکن نشد");
    const struct {
        int errorNumber;
        QFileDevice::FileError kind;
        QString text;
    } writes[] = {{0, QFileDevice::ResourceError, diskFull},
                  {ENOSPC, QFileDevice::WriteError, diskFull},
                  {EDQUOT, QFileDevice::WriteError, diskFull},
                  {EFBIG, QFileDevice::WriteError, QStringLiteral("فایل برای این دیسک بیش از حد بزرگ است")},
                  {ENAMETOOLONG, QFileDevice::OpenError, QStringLiteral("نام فایل بیش از حد بلند است")},
                  {EIO, QFileDevice::WriteError, cannotCopy},
                  {EACCES, QFileDevice::PermissionsError, cannotCopy}};
    for (const auto &row : writes)
        EXPECT_EQ(PhotoLibrary::writeFailure(AtomicFile::failureOf(row.errorNumber, row.kind)).errorDescription(), row.text)
            << row.errorNumber;
}

TEST_F(StoryRenderTest, RenderFoldersGoWhenNoRunningInstanceOwnsThem)
{
    // Folders as earlier sessions, other running instances and this one leave them.
    const auto folderWith = [&](const QString &name, const QStringList &files) {
        const QString path = dir.filePath(name);
        EXPECT_TRUE(QDir(dir.path()).mkpath(name));
        for (const QString &file : files) {
            QFile f(QDir(path).filePath(file));
            EXPECT_TRUE(f.open(QIODevice::WriteOnly));
            f.write("mp4");
        }
        return path;
    };
    const QString own = StoryVideoRenderer::makeRenderFolder();
    folderWith(QFileInfo(own).fileName(), {QStringLiteral("story-final.mp4")});
    const QString crashed = folderWith(QStringLiteral("story-crashd"), {QStringLiteral("owner.lock"), QStringLiteral("story-final.mp4"),
                                                                         QStringLiteral("story-final.mp4.media"), QStringLiteral("story-audio.m4a")});
    const QString unlocked = folderWith(QStringLiteral("story-before"), {QStringLiteral("story-silent.mp4")});
    const QString beingMade = folderWith(QStringLiteral("story-justnw"), {});
    const QString other = folderWith(QStringLiteral("story-others"), {QStringLiteral("owner.lock"), QStringLiteral("story-final.mp4")});
    const QString notStory = folderWith(QStringLiteral("stories"), {QStringLiteral("story-final.mp4")});
    const QString foreign = folderWith(QStringLiteral("story-foreig"), {QStringLiteral("owner.lock"), QStringLiteral("story-final.mp4"),
                                                                         QStringLiteral("notes.txt")});
    // A listener's own folders: a name of another pattern (with or without a lock in it).
    const QString notes = folderWith(QStringLiteral("story-notes"), {QStringLiteral("story-final.mp4")});
    const QString longer = folderWith(QStringLiteral("story-drafts2"), {QStringLiteral("owner.lock"), QStringLiteral("story-final.mp4")});
    ASSERT_EQ(mkfifo(QFile::encodeName(QDir(foreign).filePath(QStringLiteral("story-silent.mp4"))).constData(), 0600), 0);
    QTemporaryDir elsewhere;
    QFile outsideVideo(QDir(elsewhere.path()).filePath(QStringLiteral("story-final.mp4")));
    ASSERT_TRUE(outsideVideo.open(QIODevice::WriteOnly));
    outsideVideo.close();
    ASSERT_TRUE(QFile::link(elsewhere.path(), dir.filePath(QStringLiteral("story-linked"))));

    // Another running instance holds its folder's lock (flock) for as long as it runs.
    QProcess instance;
    instance.start(QStringLiteral("flock"), {QStringLiteral("-o"), QDir(other).filePath(QStringLiteral("owner.lock")),
                                             QStringLiteral("cat")});
    ASSERT_TRUE(instance.waitForStarted());
    const int probe = ::open(QFile::encodeName(QDir(other).filePath(QStringLiteral("owner.lock"))).constData(), O_RDONLY);
    ASSERT_GE(probe, 0);
    ASSERT_TRUE(waitUntil([&] {
        if (::flock(probe, LOCK_EX | LOCK_NB) != 0)
            return true; // held by the other instance
        ::flock(probe, LOCK_UN);
        return false;
    }, 10000));
    ::close(probe);
    // A lock that is a link, to the file that other instance holds.
    const QString linkedLock = folderWith(QStringLiteral("story-lnklck"), {QStringLiteral("story-final.mp4")});
    ASSERT_TRUE(QFile::link(QDir(other).filePath(QStringLiteral("owner.lock")),
                            QDir(linkedLock).filePath(QStringLiteral("owner.lock"))));

    for (const QString &folder : {own, crashed, unlocked, other, notStory, foreign, longer, linkedLock})
        ASSERT_TRUE(setAge(folder, 3600));
    ASSERT_TRUE(setAge(notes, 600));
    EXPECT_EQ(StoryVideoRenderer::removeAbandonedFolders(), 1);
    // Only a folder named as the renderer names them, whose lock is a file of its own that nobody
    // holds, goes; without a lock nobody is known to have left it.
    const struct {
        QString folder;
        bool kept;
    } table[] = {{own, true}, {crashed, false}, {unlocked, true}, {beingMade, true}, {other, true}, {notStory, true},
                 {foreign, true}, {notes, true}, {longer, true}, {linkedLock, true}};
    for (const auto &row : table)
        EXPECT_EQ(QFileInfo::exists(row.folder), row.kept) << row.folder.toStdString();
    for (const QString &folder : {notes, longer, linkedLock})
        EXPECT_TRUE(QFile::exists(QDir(folder).filePath(QStringLiteral("story-final.mp4")))) << folder.toStdString();
    EXPECT_TRUE(QFile::exists(QDir(unlocked).filePath(QStringLiteral("story-silent.mp4"))));
    EXPECT_TRUE(QFileInfo(QDir(linkedLock).filePath(QStringLiteral("owner.lock"))).isSymLink());
    EXPECT_TRUE(QFile::exists(QDir(other).filePath(QStringLiteral("story-final.mp4"))));
    EXPECT_TRUE(QFile::exists(QDir(own).filePath(QStringLiteral("story-final.mp4"))));
    EXPECT_TRUE(QFile::exists(QDir(notStory).filePath(QStringLiteral("story-final.mp4"))));
    // What the renderer did not make stays: another file, a pipe, a linked folder's contents.
    EXPECT_EQ(QDir(foreign).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot),
              (QStringList{QStringLiteral("notes.txt"), QStringLiteral("story-silent.mp4")}));
    EXPECT_TRUE(isFifo(QDir(foreign).filePath(QStringLiteral("story-silent.mp4"))));
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("story-linked"))).isSymLink());
    EXPECT_TRUE(outsideVideo.exists());

    // The other instance ends: its folder has no owner any more.
    instance.closeWriteChannel();
    ASSERT_TRUE(instance.waitForFinished(10000));
    ASSERT_TRUE(setAge(other, 3600));
    EXPECT_EQ(StoryVideoRenderer::removeAbandonedFolders(), 1);
    EXPECT_FALSE(QFileInfo::exists(other));

    // Quitting removes this instance's finished videos.
    StoryVideoRenderer::removeOwnFolders();
    EXPECT_FALSE(QFileInfo::exists(own));
}
