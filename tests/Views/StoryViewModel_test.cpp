#include "ActivitySharer.h"
#include "Platform/PhotoLibrary.h"
#include "Services/StoryVideoRenderer.h"
#include "StoryViewModel.h"
#include "ShellFixture.h"
#include "support/SmallDisk.h"
#include "support/TaskOutcome.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMediaPlayer>
#include <QUrlQuery>

#include <sys/stat.h>

// The story sheet's rules and its screen model over the stand-in backend (real HTTP), with a real
// render into a temporary folder.

using Content = StoryViewModel::Content;
using quickhost::waitFor;

namespace {

LyricsLine line(std::optional<double> time, QString text = QStringLiteral("x"))
{
    return LyricsLine{time, std::move(text), std::nullopt};
}

QList<LyricsLine> timed(std::initializer_list<double> times)
{
    QList<LyricsLine> lines;
    for (double t : times)
        lines.append(line(t, QStringLiteral("line at %1").arg(t)));
    return lines;
}

Station rotationStation(std::optional<qint64> duration)
{
    PlaylistTrack track;
    track.title = QStringLiteral("Night Drive");
    track.artist = QStringLiteral("Aria Sky");
    track.streamURL = QStringLiteral("/audio/night.mp3");
    track.duration = duration;
    Station s;
    s.genre = QStringLiteral("pop");
    s.tracks = QList<PlaylistTrack>{track};
    return s;
}

Station liveStation()
{
    Station s;
    s.genre = QStringLiteral("live");
    s.title = QStringLiteral("Song");
    s.artist = QStringLiteral("Artist");
    s.streamURL = QStringLiteral("/live/live");
    return s;
}

class StorySheet : public ShellFixture
{
protected:
    std::unique_ptr<StoryViewModel> sheet(const Station &station)
    {
        auto model = std::make_unique<StoryViewModel>(player.get(), offline.get(), client.get());
        model->setStationValue(station.toVariant());
        return model;
    }
    QUrlQuery lastLyricsQuery()
    {
        const auto requests = server.requestsTo(QStringLiteral("/api/lyrics"));
        return requests.isEmpty() ? QUrlQuery() : requests.last().queryItems();
    }
    void scriptLyrics(const QByteArray &data)
    {
        server.script("GET", QStringLiteral("/api/lyrics"), standin::Reply::json("{\"data\":" + data + "}"));
    }
};

} // namespace

TEST(StoryRules, SortRangeMenusLengthAndTexts)
{
    const QList<LyricsLine> sorted = StoryViewModel::sortedLines(
        {line(5.0, "a"), line(std::nullopt, "b"), line(2.0, "c"), line(std::nullopt, "d"), line(-1.0, "e")});
    QStringList order;
    for (const LyricsLine &l : sorted)
        order << *l.text;
    EXPECT_EQ(order, (QStringList{"e", "b", "d", "c", "a"}));

    EXPECT_EQ(StoryViewModel::initialRange(9), std::make_pair(0, 5));
    EXPECT_EQ(StoryViewModel::initialRange(4), std::make_pair(0, 3));
    EXPECT_EQ(StoryViewModel::initialRange(1), std::make_pair(0, 0));

    // Menu items cut at 27 user-perceived characters: a Persian letter with a vowel mark is one.
    const QString cluster = QStringLiteral("بِ");
    const QString exactly26 = cluster.repeated(26);
    const QList<LyricsLine> texts{line(1.0, exactly26), line(2.0, exactly26 + cluster), line(3.0, QString())};
    EXPECT_EQ(StoryViewModel::menuItemText(texts, 0), QStringLiteral("1. ") + exactly26);
    EXPECT_EQ(StoryViewModel::menuItemText(texts, 1), QStringLiteral("2. ") + exactly26 + QStringLiteral("…"));
    EXPECT_EQ(StoryViewModel::menuItemText(texts, 2), QStringLiteral("3. "));
    EXPECT_EQ(StoryViewModel::numberText(timed({1, 2, 3}), 2), QStringLiteral("#3 — line at 3"));
    EXPECT_EQ(StoryViewModel::numberText(timed({1}), 4), QStringLiteral("#5 — "));
    EXPECT_EQ(StoryViewModel::numberText({}, 0), QString());

    const struct {
        QList<LyricsLine> lines;
        int start, end;
        double seconds;
    } lengths[] = {{timed({10, 25.5}), 0, 1, 16.5}, {timed({10, 11}), 0, 1, 3},  {timed({0, 100}), 0, 1, 60},
                   {timed({10, 20}), 1, 1, 15},     {timed({10, 10}), 0, 1, 15}, {{line(1.0), line(std::nullopt)}, 0, 1, 15},
                   {timed({10, 20}), 1, 0, 11},     {timed({10, 20}), 0, 5, 15}};
    for (const auto &row : lengths)
        EXPECT_DOUBLE_EQ(StoryViewModel::smartDuration(row.lines, row.start, row.end), row.seconds) << row.start;
    EXPECT_EQ(StoryViewModel::durationText(15), QStringLiteral("مدت ویدیو: 15 ثانیه"));
    EXPECT_EQ(StoryViewModel::durationText(16.7), QStringLiteral("مدت ویدیو: 17 ثانیه"));
    // Halves round up (printf rounds 14.5 to even, 14).
    EXPECT_EQ(StoryViewModel::durationText(14.5), QStringLiteral("مدت ویدیو: 15 ثانیه"));
    EXPECT_EQ(StoryViewModel::durationText(3.5), QStringLiteral("مدت ویدیو: 4 ثانیه"));
    EXPECT_EQ(StoryViewModel::progressText(0.999), QStringLiteral("99٪"));
    EXPECT_EQ(StoryViewModel::progressText(1), QStringLiteral("100٪"));
}

TEST(StoryRules, SavedNamesNeverOverwrite)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QDateTime when(QDate(2026, 12, 9), QTime(10, 5, 7));
    EXPECT_EQ(PhotoLibrary::freeFileName(folder, when), QStringLiteral("story-2026-12-09-100507.mp4"));
    QFile(folder.filePath(QStringLiteral("story-2026-12-09-100507.mp4"))).open(QIODevice::WriteOnly);
    QFile(folder.filePath(QStringLiteral("story-2026-12-09-100507-2.mp4"))).open(QIODevice::WriteOnly);
    EXPECT_EQ(PhotoLibrary::freeFileName(folder, when), QStringLiteral("story-2026-12-09-100507-3.mp4"));
}

TEST(StoryRules, ShareItemsAreFixedAtCreation)
{
    const QUrl first = QUrl::fromLocalFile(QStringLiteral("/tmp/a/story-final.mp4"));
    ActivitySharer sharer({first});
    sharer.setItems({QUrl::fromLocalFile(QStringLiteral("/tmp/b/other.mp4"))});
    EXPECT_EQ(sharer.file(), first);
    // As QML creates it: the items given at creation stay.
    ActivitySharer created;
    created.classBegin();
    created.setItems({first});
    created.componentComplete();
    created.setItems({QUrl::fromLocalFile(QStringLiteral("/tmp/b/other.mp4"))});
    EXPECT_EQ(created.file(), first);
    EXPECT_EQ(created.fileName(), QStringLiteral("story-final.mp4"));
}

TEST(StoryRules, SavedCopiesTakeTheUsersModeAndFailuresSayWhy)
{
    QTemporaryDir dir;
    const QDir folder(dir.path());
    const QString source = folder.filePath(QStringLiteral("story-final.mp4"));
    QFile video(source);
    ASSERT_TRUE(video.open(QIODevice::WriteOnly));
    video.write(QByteArray(100'000, 'v'));
    video.close();
    ASSERT_TRUE(video.setPermissions(QFile::ReadOwner | QFile::WriteOwner)); // as the render leaves it
    QFile old(folder.filePath(QStringLiteral("old.mp4")));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older story");
    old.close();

    const mode_t previous = ::umask(022);
    const QString gone = folder.filePath(QStringLiteral("gone"));
    // Every failure names its real cause: the destination, never the video while it is there.
    const struct {
        const char *name;
        QString source;
        QString target;
        mode_t umask;
        QString failure; // empty: saved
    } table[] = {
        {"new file", source, folder.filePath(QStringLiteral("copy.mp4")), 022, {}},
        {"replaces the chosen file", source, folder.filePath(QStringLiteral("old.mp4")), 027, {}},
        {"a name of the listener's, in another folder", source, folder.filePath(QStringLiteral("sub/kb story.mp4")), 022, {}},
        {"a long name that fits", source, folder.filePath(QString(246, u'n') + QStringLiteral(".mp4")), 022, {}},
        {"a name too long for the file system", source, folder.filePath(QString(300, QChar(0x0628)) + QStringLiteral(".mp4")),
         022, QStringLiteral("نام فایل بیش از حد بلند است")},
        {"folder not there", source, gone + QStringLiteral("/copy.mp4"), 022,
         QStringLiteral("پوشهٔ مقصد پیدا نشد: «") + PhotoLibrary::isolated(gone) + QStringLiteral("»")},
        {"onto a folder", source, folder.filePath(QStringLiteral("sub")), 022, QStringLiteral("به این نام پوشه‌ای هست: ") + PhotoLibrary::isolated(QStringLiteral("sub"))},
        {"no destination", source, {}, 022, QStringLiteral("جای ذخیره انتخاب نشده است")},
        {"the video gone", folder.filePath(QStringLiteral("removed.mp4")), folder.filePath(QStringLiteral("x.mp4")), 022,
         QStringLiteral("فایل ویدیو پیدا نشد")},
        {"no video", {}, folder.filePath(QStringLiteral("x.mp4")), 022, QStringLiteral("فایل ویدیو پیدا نشد")},
    };
    ASSERT_TRUE(folder.mkdir(QStringLiteral("sub")));
    for (const auto &row : table) {
        ::umask(row.umask);
        std::optional<QString> failure;
        try {
            PhotoLibrary::saveCopy(row.source, row.target);
        } catch (const AppError &error) {
            failure = error.errorDescription();
        }
        EXPECT_EQ(failure.value_or(QString()), row.failure) << row.name;
        if (!row.failure.isEmpty())
            continue;
        QFile copy(row.target);
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << row.name;
        EXPECT_EQ(copy.readAll(), QByteArray(100'000, 'v')) << row.name;
        struct stat st {};
        ASSERT_EQ(::stat(QFile::encodeName(row.target).constData(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0666 & ~row.umask) << row.name;
    }
    // No half-written copy is left beside the targets.
    EXPECT_TRUE(folder.entryList({QStringLiteral("*.part")}, QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_TRUE(QFileInfo(folder.filePath(QStringLiteral("sub"))).isDir());
    EXPECT_FALSE(QFileInfo::exists(gone));

    // The Videos folder copy too.
    ::umask(027);
    const auto saved = testing_support::runTask(PhotoLibrary::saveVideo(source));
    ::umask(previous);
    ASSERT_TRUE(saved.ok());
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(*saved.value).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_TRUE(QFile::remove(*saved.value));
}

// A destination on a small disk that the video does not fit: the disk is named as the cause, and
// nothing of the copy, nor of an older file under the name, is lost.
TEST(StoryRules, ACopyToAFullDiskSaysSoAndLeavesTheOldFile)
{
    QTemporaryDir dir;
    testing_support::SmallDisk disk(dir.filePath(QStringLiteral("disk")), 64 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    const QString source = dir.filePath(QStringLiteral("story-final.mp4"));
    QFile video(source);
    ASSERT_TRUE(video.open(QIODevice::WriteOnly));
    video.write(QByteArray(200'000, 'v'));
    video.close();
    const QString target = QDir(disk.path()).filePath(QStringLiteral("story.mp4"));
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("an older story");
    old.close();

    for (const qint64 spare : {qint64(0), qint64(32 * 1024)}) {
        SCOPED_TRACE(spare);
        ASSERT_TRUE(disk.fill(spare));
        QString failure;
        try {
            PhotoLibrary::saveCopy(source, target);
        } catch (const AppError &error) {
            failure = error.errorDescription();
        }
        EXPECT_EQ(failure, QStringLiteral("فضای خالی دیسک کافی نیست"));
        QFile kept(target);
        ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
        EXPECT_EQ(kept.readAll(), "an older story");
        EXPECT_EQ(QDir(disk.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{".filler", "story.mp4"}));
        disk.release();
    }
}

TEST_F(StorySheet, LyricsQueryAndContentStates)
{
    scriptLyrics(R"({"found":true,"lines":[{"time":5,"text":"five"},{"text":"u1"},{"time":2,"text":"two"},{"text":"u2"}],"elapsed_seconds":-4})");
    auto model = sheet(rotationStation(213));
    model->load();
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::Picker; }));
    QUrlQuery query = lastLyricsQuery();
    EXPECT_EQ(query.toString(QUrl::FullyDecoded),
              QStringLiteral("genre=pop&title=Night Drive&artist=Aria Sky&duration=213"));
    QStringList items;
    for (int row = 0; row < model->lineItems()->rowCount(); ++row)
        items << model->lineItems()->index(row).data(StoryLineItems::TextRole).toString();
    EXPECT_EQ(items, (QStringList{"1. u1", "2. u2", "3. two", "4. five"}));
    EXPECT_EQ(model->startLine(), 0);
    EXPECT_EQ(model->endLine(), 3);

    // Menu rules: the start drags the end along, the end drags the start.
    model->chooseEnd(1);
    model->chooseStart(3);
    EXPECT_EQ(std::make_pair(model->startLine(), model->endLine()), std::make_pair(3, 3));
    model->chooseEnd(1);
    EXPECT_EQ(std::make_pair(model->startLine(), model->endLine()), std::make_pair(1, 1));

    // The config: the sheet's station, audio from its stream, an untimed start line taking the
    // elapsed seconds raised to 0.
    StoryConfig config = model->makeConfig({});
    EXPECT_EQ(config.title, QStringLiteral("Night Drive"));
    EXPECT_EQ(config.artist, QStringLiteral("Aria Sky"));
    EXPECT_EQ(config.audioURL, server.baseUrl().resolved(QUrl(QStringLiteral("/audio/night.mp3"))));
    EXPECT_EQ(config.audioStart, 0.0);
    EXPECT_EQ(config.lines.size(), 4);
    model->chooseEnd(3);
    model->chooseStart(2);
    EXPECT_EQ(model->makeConfig({}).audioStart, 2.0);
    EXPECT_DOUBLE_EQ(model->makeConfig({}).duration, 4.0); // 5 − 2 + 1

    const struct {
        QByteArray reply;
        Content content;
    } states[] = {{R"({"found":false})", Content::NoLyrics}, {R"({"found":true,"lines":[]})", Content::NoLyrics},
                  {"null", Content::Failure}};
    for (const auto &row : states) {
        scriptLyrics(row.reply);
        auto other = sheet(liveStation());
        other->load();
        EXPECT_TRUE(waitFor([&] { return other->content() == row.content; })) << row.reply.toStdString();
    }
    // A failed request: the failure state; a live station sends an empty duration and gets no audio.
    server.script("GET", QStringLiteral("/api/lyrics"), standin::Reply::withStatus(500));
    auto failing = sheet(liveStation());
    server.clearRequests();
    failing->load();
    EXPECT_EQ(failing->content(), Content::NoLyrics); // while the request runs
    ASSERT_TRUE(waitFor([&] { return failing->content() == Content::Failure; }));
    EXPECT_GE(server.countRequests(QStringLiteral("/api/lyrics")), 1);
    EXPECT_EQ(lastLyricsQuery().queryItemValue(QStringLiteral("duration")), QString());
    EXPECT_TRUE(lastLyricsQuery().hasQueryItem(QStringLiteral("duration")));
    const StoryConfig live = failing->makeConfig({});
    EXPECT_FALSE(live.audioURL.has_value());
    EXPECT_FALSE(live.audioStart.has_value());
    EXPECT_EQ(live.artist, QStringLiteral("Artist"));
}

TEST_F(StorySheet, OnePreviewPlayerAndNoFilesLeftByAClosedSheet)
{
    QTemporaryDir temp;
    qputenv("TMPDIR", QFile::encodeName(temp.path()));
    scriptLyrics(R"({"found":true,"lines":[{"time":1,"text":"one"},{"time":3,"text":"two"}]})");
    auto model = sheet(liveStation());
    model->load();
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::Picker; }));
    EXPECT_EQ(model->durationText(), QStringLiteral("مدت ویدیو: 3 ثانیه"));

    model->generate();
    EXPECT_TRUE(model->isRendering());
    model->generate(); // a second press while rendering starts nothing
    ASSERT_TRUE(waitFor([&] { return !model->isRendering(); }, 120000));
    EXPECT_EQ(model->errorText(), QString());
    EXPECT_EQ(QFileInfo(model->videoURL().toLocalFile()).fileName(), QStringLiteral("story-silent.mp4"));
    EXPECT_EQ(model->renderProgress(), 1.0);
    auto *preview = qobject_cast<QMediaPlayer *>(model->previewPlayer());
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->source(), model->videoURL());
    EXPECT_TRUE(model->previewWanted());
    EXPECT_EQ(model->previewPlayer(), preview); // always the same one

    // Saving copies the video into the Videos folder once; the mark then stays.
    const QDir videos = PhotoLibrary::folder();
    const qsizetype before = videos.entryList(QDir::Files).size();
    model->save();
    ASSERT_TRUE(waitFor([&] { return model->savedToLibrary(); }));
    EXPECT_EQ(videos.entryList(QDir::Files).size(), before + 1);
    model->save();
    QCoreApplication::processEvents();
    EXPECT_EQ(videos.entryList(QDir::Files).size(), before + 1);
    EXPECT_TRUE(model->noticeText().startsWith(QStringLiteral("ذخیره شد: ") + PhotoLibrary::isolated(videos.path()).chopped(1)))
        << model->noticeText().toStdString();

    // Save as: a failure says why (the destination); a success then takes its place, and the copy
    // holds the video's bytes.
    const QString missing = temp.filePath(QStringLiteral("no such folder"));
    model->saveCopy(QUrl::fromLocalFile(missing + QStringLiteral("/copy.mp4")));
    ASSERT_TRUE(waitFor([&] { return !model->errorText().isEmpty(); }));
    EXPECT_EQ(model->errorText(),
              QStringLiteral("خطا در ذخیره: پوشهٔ مقصد پیدا نشد: «") + PhotoLibrary::isolated(missing) + QStringLiteral("»"));
    EXPECT_TRUE(model->noticeText().isEmpty());
    const QString copy = temp.filePath(QStringLiteral("my story.mp4"));
    model->saveCopy(QUrl::fromLocalFile(copy));
    ASSERT_TRUE(waitFor([&] { return model->errorText().isEmpty(); }));
    EXPECT_EQ(model->noticeText(), QStringLiteral("ذخیره شد: ") + PhotoLibrary::isolated(copy));
    QFile original(model->videoURL().toLocalFile()), saved(copy);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly) && saved.open(QIODevice::ReadOnly));
    EXPECT_EQ(saved.readAll(), original.readAll());
    EXPECT_TRUE(QFile::remove(copy));

    // Starting over pauses it and clears the result.
    model->regenerate();
    EXPECT_FALSE(model->previewWanted());
    ASSERT_TRUE(waitFor([&] { return model->content() == Content::Picker && model->videoURL().isEmpty(); }));

    // A sheet closed during a render, and a new sheet rendering at once: the first render's end
    // removes only its own files; the second video stays whole and saves.
    const auto storyFolders = [&] {
        return QDir(temp.path()).entryList({QStringLiteral("story-*")}, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot);
    };
    EXPECT_TRUE(storyFolders().isEmpty()); // starting over removed the first video
    model->generate();
    ASSERT_TRUE(waitFor([&] { return !storyFolders().isEmpty(); }, 120000));
    model->close();
    EXPECT_FALSE(model->previewWanted());
    auto reopened = sheet(liveStation());
    reopened->load();
    ASSERT_TRUE(waitFor([&] { return reopened->content() == Content::Picker; }));
    reopened->generate();
    ASSERT_TRUE(waitFor([&] { return !reopened->isRendering(); }, 120000));
    ASSERT_TRUE(waitFor([&] { return storyFolders().size() == 1; }, 120000)); // the closed sheet's render ended
    EXPECT_TRUE(model->videoURL().isEmpty());
    EXPECT_EQ(reopened->errorText(), QString());
    EXPECT_TRUE(QFileInfo(reopened->videoURL().toLocalFile()).size() > 0);
    reopened->save();
    ASSERT_TRUE(waitFor([&] { return reopened->savedToLibrary() || !reopened->errorText().isEmpty(); }));
    EXPECT_EQ(reopened->errorText(), QString());
    // The last video outlives its sheet (it may have been shared) until another one takes its place.
    const QUrl shared = reopened->videoURL();
    reopened->close();
    EXPECT_TRUE(QFile::exists(shared.toLocalFile()));
    reopened = sheet(liveStation());
    reopened->load();
    ASSERT_TRUE(waitFor([&] { return reopened->content() == Content::Picker; }));
    reopened->generate();
    ASSERT_TRUE(waitFor([&] { return !reopened->isRendering(); }, 120000));
    reopened.reset();
    EXPECT_FALSE(QFile::exists(shared.toLocalFile()));
    EXPECT_EQ(storyFolders().size(), 1);
    qunsetenv("TMPDIR");
}

TEST_F(StorySheet, CoverOnlyFromADownloadedArtworkFile)
{
    // The offline folder holds a cover, a link to a private picture and a pipe; a private picture
    // lies outside. Only the cover is taken, and nothing waits on the pipe.
    QTemporaryDir outside;
    const QDir downloads(offline->downloadsFolder());
    ASSERT_TRUE(downloads.mkpath(QStringLiteral(".")));
    QImage picture(40, 40, QImage::Format_RGB32);
    picture.fill(Qt::red);
    ASSERT_TRUE(picture.save(downloads.filePath(QStringLiteral("cover.png"))));
    const QString privatePicture = QDir(outside.path()).filePath(QStringLiteral("private.png"));
    ASSERT_TRUE(picture.save(privatePicture));
    ASSERT_TRUE(QFile::link(privatePicture, downloads.filePath(QStringLiteral("link.png"))));
    ASSERT_EQ(mkfifo(QFile::encodeName(downloads.filePath(QStringLiteral("pipe.png"))).constData(), 0600), 0);
    const struct {
        QString path;
        bool taken;
    } table[] = {{downloads.filePath(QStringLiteral("cover.png")), true},
                 {privatePicture, false},
                 {downloads.filePath(QStringLiteral("link.png")), false},
                 {downloads.filePath(QStringLiteral("pipe.png")), false}};
    for (const auto &row : table) {
        Station station = liveStation();
        station.artworkURL = QUrl::fromLocalFile(row.path).toString();
        auto model = sheet(station);
        const auto cover = testing_support::runTask(model->fetchCover());
        ASSERT_TRUE(cover.ok()) << row.path.toStdString();
        EXPECT_EQ(!cover.value->isNull(), row.taken) << row.path.toStdString();
    }
}
