#include "OfflineTestSupport.h"

#include "Services/APIClient.h"
#include "Services/OfflineStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include <sys/file.h>

using namespace offline_test;

namespace {

PlaylistTrack trackWith(std::optional<QString> type, std::optional<QString> trackID, std::optional<qint64> id = {},
                        std::optional<QString> title = {})
{
    PlaylistTrack t;
    t.trackType = std::move(type);
    t.trackID = std::move(trackID);
    t.id = id;
    t.title = std::move(title);
    return t;
}

OfflineTrackEntry entryFor(const QString &trackID, const QString &audioFile, const QDateTime &at,
                           std::optional<QString> artworkFile = {}, qint64 size = 100)
{
    OfflineTrackEntry e;
    e.trackType = QStringLiteral("songsara");
    e.trackID = trackID;
    e.key = QStringLiteral("songsara|") + trackID;
    e.title = QStringLiteral("آهنگ ") + trackID;
    e.artist = QStringLiteral("خواننده");
    e.artworkRemoteURL = QStringLiteral("/artwork/") + trackID + QStringLiteral(".jpg");
    e.artworkFileName = std::move(artworkFile);
    e.audioFileName = audioFile;
    e.duration = 200;
    e.sizeBytes = size;
    e.downloadedAt = at;
    return e;
}

class OfflineStoreTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(downloads()));
        APIClient::Options options;
        options.baseURL = QUrl(QStringLiteral("http://127.0.0.1:9"));
        m_client = std::make_unique<APIClient>(options);
    }

    QString support() const { return m_dir.path(); }
    QString downloads() const { return m_dir.filePath(QStringLiteral("OfflineTracks")); }
    QString indexPath() const { return m_dir.filePath(QStringLiteral("offline_index.json")); }
    QString downloadPath(const QString &name) const { return QDir(downloads()).filePath(name); }

    void writeIndexFile(const QList<OfflineTrackEntry> &entries)
    {
        ASSERT_TRUE(writeFile(indexPath(), OfflineIndex::encode(entries)));
    }

    std::unique_ptr<OfflineStore> makeStore()
    {
        return std::make_unique<OfflineStore>(support(), m_client.get());
    }

    QTemporaryDir m_dir;
    std::unique_ptr<APIClient> m_client;
};

} // namespace

TEST(OfflineKey, TypeOrTrackThenTheFirstPresentOfTrackIdIdTitle)
{
    EXPECT_EQ(offlineKey(trackWith(std::nullopt, std::nullopt, 42)), "track|42");
    EXPECT_EQ(offlineKey(trackWith(std::nullopt, QString(""), 42)), "track|");
    EXPECT_EQ(offlineKey(trackWith(QStringLiteral("songsara"), QStringLiteral("7"), 42)), "songsara|7");
    EXPECT_EQ(offlineKey(trackWith(QString(""), std::nullopt, -3)), "|-3");
    EXPECT_EQ(offlineKey(trackWith(QStringLiteral("sc"), std::nullopt, std::nullopt, QStringLiteral("شب"))), "sc|شب");
    EXPECT_EQ(offlineKey(trackWith(std::nullopt, std::nullopt, std::nullopt, QString(""))), "track|");

    // Nothing to go by: a fresh key on every call, so it is never found as downloaded.
    const PlaylistTrack anonymous;
    const QString first = offlineKey(anonymous);
    EXPECT_TRUE(first.startsWith("track|"));
    EXPECT_EQ(first.size(), 6 + 36);
    EXPECT_EQ(first, first.toUpper().replace("TRACK|", "track|"));
    EXPECT_NE(offlineKey(anonymous), first);
}

TEST(OfflineStoreSniffing, TellsTheTypeFromTheFirstBytes)
{
    EXPECT_EQ(OfflineStore::sniffAudioExtension("RIFF\0\0\0\0WAVE"), "mp3"); // 12 bytes: too short
    EXPECT_EQ(OfflineStore::sniffAudioExtension(QByteArray("RIFF\0\0\0\0WAVEf", 13)), "wav");
    EXPECT_EQ(OfflineStore::sniffAudioExtension(QByteArray("\0\0\0\x20" "ftypM4A \0", 13)), "m4a");
    EXPECT_EQ(OfflineStore::sniffAudioExtension(QByteArray("ID3\x04\0\0\0\0\0\0\0\0\0", 13)), "mp3");
    EXPECT_EQ(OfflineStore::sniffAudioExtension(QByteArray(64, '\xff')), "mp3");
    EXPECT_EQ(OfflineStore::sniffAudioExtension({}), "mp3");
}

TEST_F(OfflineStoreTest, WithoutAnIndexFileItStartsEmptyAndWritesNothing)
{
    QDir(downloads()).removeRecursively();
    auto store = makeStore();
    EXPECT_TRUE(QFileInfo(downloads()).isDir());
    EXPECT_TRUE(store->entries().isEmpty());
    EXPECT_FALSE(store->offlineStation().has_value());
    EXPECT_EQ(store->totalSizeBytes(), 0);
    store->waitForIndexWrites();
    EXPECT_FALSE(QFile::exists(indexPath()));

    // An index that does not decode is left alone too, until the next write replaces it.
    ASSERT_TRUE(writeFile(indexPath(), "[{\"key\": 1}]"));
    store = makeStore();
    EXPECT_TRUE(store->entries().isEmpty());
    store->waitForIndexWrites();
    EXPECT_EQ(readFile(indexPath()), "[{\"key\": 1}]");
}

// Left by crashes and kills: temporary files, and files stored just before the index would have
// named them, go at start, however recent; what a running download holds (of this process or of
// another one sharing the folder) stays.
TEST_F(OfflineStoreTest, ClearsLeftoversButNotWhatARunningDownloadHolds)
{
    struct File {
        const char *name;
        bool held;
        bool stays;
    };
    const File files[] = {
        {"CUT.part", false, false},    // a download cut short by a kill a moment ago
        {"RUNNING.part", true, true},  // another instance's running download
        {"ORPHAN.mp3", false, false},  // stored, never indexed
        {"ORPHAN.art", false, false},
        {"STORING.mp3", true, true},   // stored, its index write still to come
        {"KEPT.mp3", false, true},
        {"KEPT.art", false, true},
    };
    writeIndexFile({entryFor("1", "KEPT.mp3", utc(2024, 1, 1), QStringLiteral("KEPT.art"))});
    std::vector<std::unique_ptr<QFile>> holders;
    QStringList staying;
    for (const File &file : files) {
        ASSERT_TRUE(writeFile(downloadPath(file.name), file.name));
        if (file.held) {
            holders.push_back(std::make_unique<QFile>(downloadPath(file.name)));
            ASSERT_TRUE(holders.back()->open(QIODevice::ReadWrite));
            ASSERT_EQ(::flock(holders.back()->handle(), LOCK_EX | LOCK_NB), 0);
        }
        if (file.stays)
            staying << file.name;
    }
    staying.sort();

    auto store = makeStore();
    EXPECT_EQ(filesIn(downloads()), staying);
    EXPECT_EQ(store->entries().size(), 1);

    // Their downloads gone (a kill), the next start clears them too.
    holders.clear();
    store = makeStore();
    EXPECT_EQ(filesIn(downloads()), (QStringList{"KEPT.art", "KEPT.mp3"}));
}

TEST_F(OfflineStoreTest, DropsEntriesWhoseAudioIsGoneAndKeepsThemInTheFileUntilTheNextWrite)
{
    ASSERT_TRUE(writeFile(downloadPath("A.mp3"), QByteArray(100, 'a')));
    ASSERT_TRUE(writeFile(downloadPath("C.mp3"), QByteArray(300, 'c')));
    const QList<OfflineTrackEntry> onDisk{entryFor("1", "A.mp3", utc(2024, 1, 1), std::nullopt, 100),
                                          entryFor("2", "B-missing.mp3", utc(2024, 1, 2)),
                                          entryFor("3", "C.mp3", utc(2024, 1, 3), std::nullopt, 300)};
    writeIndexFile(onDisk);
    const QByteArray before = readFile(indexPath());

    auto store = makeStore();
    ASSERT_EQ(store->entries().size(), 2);
    EXPECT_EQ(store->entries().at(0).key, "songsara|3"); // newest first
    EXPECT_EQ(store->entries().at(1).key, "songsara|1");
    EXPECT_EQ(store->totalSizeBytes(), 400);
    store->waitForIndexWrites();
    EXPECT_EQ(readFile(indexPath()), before);

    // The next write lists only what is in memory.
    store->remove(store->entries().at(1));
    store->waitForIndexWrites();
    const auto written = readIndex(indexPath());
    ASSERT_EQ(written.size(), 1);
    EXPECT_EQ(written.first().key, "songsara|3");
    EXPECT_FALSE(QFile::exists(downloadPath("A.mp3")));
}

TEST_F(OfflineStoreTest, RenamesLegacyAudioFilesByTheirFirstBytesAndRewritesTheIndex)
{
    ASSERT_TRUE(writeFile(downloadPath("one.audio"), "ID3\x04 some mp3 frames"));
    ASSERT_TRUE(writeFile(downloadPath("two.audio"), QByteArray("\0\0\0\x18" "ftypM4A mp42isom", 20)));
    ASSERT_TRUE(writeFile(downloadPath("three.audio"), QByteArray("RIFF\x24\0\0\0WAVEfmt ", 16)));
    // Its new name is taken already: it keeps the old one and stays indexed.
    ASSERT_TRUE(writeFile(downloadPath("four.audio"), "ID3 and more bytes"));
    ASSERT_TRUE(writeFile(downloadPath("four.mp3"), "someone else's"));
    writeIndexFile({entryFor("1", "one.audio", utc(2024, 1, 1)), entryFor("2", "two.audio", utc(2024, 1, 2)),
                    entryFor("3", "three.audio", utc(2024, 1, 3)), entryFor("4", "four.audio", utc(2024, 1, 4))});

    auto store = makeStore();
    PlaylistTrack t1 = trackWith(QStringLiteral("songsara"), QStringLiteral("1"));
    PlaylistTrack t2 = trackWith(QStringLiteral("songsara"), QStringLiteral("2"));
    PlaylistTrack t3 = trackWith(QStringLiteral("songsara"), QStringLiteral("3"));
    PlaylistTrack t4 = trackWith(QStringLiteral("songsara"), QStringLiteral("4"));
    EXPECT_EQ(store->entry(t1)->audioFileName, "one.mp3");
    EXPECT_EQ(store->entry(t2)->audioFileName, "two.m4a");
    EXPECT_EQ(store->entry(t3)->audioFileName, "three.wav");
    EXPECT_EQ(store->entry(t4)->audioFileName, "four.audio");
    EXPECT_EQ(store->audioURL(t1), QUrl::fromLocalFile(downloadPath("one.mp3")));
    EXPECT_FALSE(QFile::exists(downloadPath("one.audio")));
    // No entry names the file that was in the way: it goes like any leftover.
    EXPECT_FALSE(QFile::exists(downloadPath("four.mp3")));

    store->waitForIndexWrites();
    auto written = readIndex(indexPath());
    OfflineIndex::sortNewestFirst(written);
    EXPECT_EQ(written, store->entries());
}

TEST_F(OfflineStoreTest, LookupsAnswerFromTheIndexAndCheckFilesWhereTheySay)
{
    ASSERT_TRUE(writeFile(downloadPath("A.mp3"), "audio"));
    ASSERT_TRUE(writeFile(downloadPath("A.art"), "art"));
    writeIndexFile({entryFor("1", "A.mp3", utc(2024, 1, 1), QStringLiteral("A.art"))});
    auto store = makeStore();
    const PlaylistTrack track = trackWith(QStringLiteral("songsara"), QStringLiteral("1"));
    const PlaylistTrack other = trackWith(QStringLiteral("songsara"), QStringLiteral("2"));

    EXPECT_TRUE(store->isDownloaded(track));
    EXPECT_FALSE(store->isDownloaded(other));
    EXPECT_FALSE(store->isDownloaded(std::optional<PlaylistTrack>()));
    EXPECT_TRUE(store->isDownloaded(QVariant::fromValue(track)));
    EXPECT_FALSE(store->isDownloaded(QVariant(QStringLiteral("songsara|1"))));
    EXPECT_EQ(store->audioURL(track), QUrl::fromLocalFile(downloadPath("A.mp3")));
    EXPECT_EQ(store->artworkPathString(track), QUrl::fromLocalFile(downloadPath("A.art")).toString());
    EXPECT_TRUE(store->artworkPathString(track)->startsWith("file:///"));
    EXPECT_EQ(store->artworkURLString("X.art"), QUrl::fromLocalFile(downloadPath("X.art")).toString());
    EXPECT_FALSE(store->audioURL(other).has_value());

    // Files deleted behind the store's back: still indexed, but no file to offer.
    QFile::remove(downloadPath("A.mp3"));
    QFile::remove(downloadPath("A.art"));
    EXPECT_TRUE(store->isDownloaded(track));
    EXPECT_FALSE(store->audioURL(track).has_value());
    EXPECT_FALSE(store->artworkPathString(track).has_value());

    // Removing an entry whose files are gone still drops it and rewrites the index.
    QSignalSpy entriesChanged(store.get(), &OfflineStore::entriesChanged);
    store->remove(*store->entry(track));
    EXPECT_FALSE(store->isDownloaded(track));
    EXPECT_TRUE(waitUntil([&] { return store->entries().isEmpty(); }));
    EXPECT_GE(entriesChanged.count(), 1);
    store->waitForIndexWrites();
    EXPECT_EQ(readFile(indexPath()), "[]");
}

TEST_F(OfflineStoreTest, NamesFromTheIndexFileNeverReachOutsideTheFolder)
{
    ASSERT_TRUE(writeFile(m_dir.filePath("precious.mp3"), "keep me"));
    ASSERT_TRUE(writeFile(downloadPath("B.mp3"), "audio"));
    writeIndexFile({entryFor("1", "../precious.mp3", utc(2024, 1, 1)),
                    entryFor("2", "B.mp3", utc(2024, 1, 2), QStringLiteral("../precious.mp3"))});
    auto store = makeStore();
    ASSERT_EQ(store->entries().size(), 1);
    EXPECT_FALSE(store->entries().first().artworkFileName.has_value());

    OfflineTrackEntry hostile = store->entries().first();
    hostile.audioFileName = QStringLiteral("../precious.mp3");
    hostile.artworkFileName = QStringLiteral("../precious.mp3");
    store->remove(hostile);
    store->removeAll();
    EXPECT_EQ(readFile(m_dir.filePath("precious.mp3")), "keep me");
}

TEST_F(OfflineStoreTest, TheOfflineStationPlaysEveryDownloadOldestFirst)
{
    ASSERT_TRUE(writeFile(downloadPath("old.mp3"), "a"));
    ASSERT_TRUE(writeFile(downloadPath("new.m4a"), "b"));
    OfflineTrackEntry older = entryFor("1", "old.mp3", utc(2023, 5, 1), QStringLiteral("old.art"));
    OfflineTrackEntry newer = entryFor("2", "new.m4a", utc(2024, 5, 1));
    newer.trackType.reset();
    newer.key = QStringLiteral("track|2");
    newer.artworkRemoteURL.reset();
    newer.duration.reset();
    writeIndexFile({newer, older});
    auto store = makeStore();

    const auto station = store->offlineStation();
    ASSERT_TRUE(station.has_value());
    EXPECT_EQ(station->genre, "offline-library");
    EXPECT_EQ(station->title, QStringLiteral("دانلود شدهها"));
    EXPECT_EQ(station->serverName, QStringLiteral("دانلود شدهها"));
    EXPECT_EQ(station->source, "custom");
    EXPECT_EQ(station->category, "playlists");
    EXPECT_EQ(station->trackIndex, 0);
    EXPECT_EQ(station->trackCount, 2);
    EXPECT_FALSE(station->artist || station->streamURL || station->artworkURL || station->displayGenre
                 || station->elapsedSeconds);
    ASSERT_TRUE(station->tracks && station->tracks->size() == 2);

    const PlaylistTrack &first = station->tracks->at(0);
    EXPECT_FALSE(first.id.has_value());
    EXPECT_EQ(first.trackType, "songsara");
    EXPECT_EQ(first.trackID, "1");
    EXPECT_EQ(first.title, older.title);
    EXPECT_EQ(first.artist, older.artist);
    EXPECT_EQ(first.duration, 200);
    // An artwork file name wins (no existence check); the audio is the local file.
    EXPECT_EQ(first.artworkURL, QUrl::fromLocalFile(downloadPath("old.art")).toString());
    EXPECT_EQ(first.streamURL, QUrl::fromLocalFile(downloadPath("old.mp3")).toString());
    // The track keeps its key, so the store still knows it as downloaded.
    EXPECT_TRUE(store->isDownloaded(first));

    const PlaylistTrack &second = station->tracks->at(1);
    EXPECT_FALSE(second.trackType.has_value());
    EXPECT_FALSE(second.artworkURL.has_value());
    EXPECT_FALSE(second.duration.has_value());
    EXPECT_EQ(second.streamURL, QUrl::fromLocalFile(downloadPath("new.m4a")).toString());
    EXPECT_TRUE(store->isDownloaded(second));
}

TEST_F(OfflineStoreTest, CurrentArtworkPrefersTheDownloadedFileAndBustsCachesForLiveStations)
{
    ASSERT_TRUE(writeFile(downloadPath("A.mp3"), "audio"));
    ASSERT_TRUE(writeFile(downloadPath("A.art"), "art"));
    writeIndexFile({entryFor("1", "A.mp3", utc(2024, 1, 1), QStringLiteral("A.art"))});
    auto store = makeStore();

    Station live;
    live.genre = QStringLiteral("jazz");
    live.title = QStringLiteral("X - Y Z");
    live.artworkURL = QStringLiteral("/artwork/jazz.jpg");
    EXPECT_EQ(currentTrackArtworkURL(live, *store), "/artwork/jazz.jpg?v=Y%20Z");
    live.artworkURL = QStringLiteral("https://cdn.example/a.jpg?size=2");
    EXPECT_EQ(currentTrackArtworkURL(live, *store), "https://cdn.example/a.jpg?size=2&v=Y%20Z");
    live.title = QStringLiteral("خواننده - ترانه & شب");
    EXPECT_EQ(currentTrackArtworkURL(live, *store),
              "https://cdn.example/a.jpg?size=2&v=" + QString::fromLatin1(QUrl::toPercentEncoding("ترانه")) + "%20&%20"
                  + QString::fromLatin1(QUrl::toPercentEncoding("شب")));
    live.tracks = QList<PlaylistTrack>(); // an empty list is live too
    EXPECT_TRUE(currentTrackArtworkURL(live, *store)->contains("&v="));
    live.artworkURL = QString();
    EXPECT_FALSE(currentTrackArtworkURL(live, *store).has_value());

    Station rotation;
    rotation.genre = QStringLiteral("pop");
    rotation.artworkURL = QStringLiteral("/artwork/pop.jpg");
    PlaylistTrack downloaded = trackWith(QStringLiteral("songsara"), QStringLiteral("1"));
    downloaded.artworkURL = QStringLiteral("/artwork/remote-1.jpg");
    PlaylistTrack plain = trackWith(QStringLiteral("songsara"), QStringLiteral("2"));
    plain.artworkURL = QStringLiteral("/artwork/remote-2.jpg");
    PlaylistTrack bare = trackWith(QStringLiteral("songsara"), QStringLiteral("3"));
    bare.artworkURL = QString();
    rotation.tracks = QList<PlaylistTrack>{downloaded, plain, bare};

    rotation.trackIndex = 0;
    EXPECT_EQ(currentTrackArtworkURL(rotation, *store), QUrl::fromLocalFile(downloadPath("A.art")).toString());
    rotation.trackIndex = 1;
    EXPECT_EQ(currentTrackArtworkURL(rotation, *store), "/artwork/remote-2.jpg");
    rotation.trackIndex = -1; // wraps to the third
    EXPECT_EQ(currentTrackArtworkURL(rotation, *store), "/artwork/pop.jpg");

    // The downloaded artwork file is gone: the track's own address is next.
    QFile::remove(downloadPath("A.art"));
    rotation.trackIndex = 0;
    EXPECT_EQ(currentTrackArtworkURL(rotation, *store), "/artwork/remote-1.jpg");
}

TEST_F(OfflineStoreTest, TheIndexFileEndsEqualToMemoryAfterManyQuickChanges)
{
    QList<OfflineTrackEntry> initial;
    for (int i = 0; i < 300; ++i) {
        const QString name = QStringLiteral("F%1.mp3").arg(i);
        ASSERT_TRUE(writeFile(downloadPath(name), "x"));
        initial.append(entryFor(QString::number(i), name, utc(2024, 1, 1).addSecs(i)));
    }
    writeIndexFile(initial);
    auto store = makeStore();
    ASSERT_EQ(store->entries().size(), 300);

    // Removals in a tight loop: each hands the writer a snapshot while earlier ones are still
    // being encoded and written.
    for (int i = 0; i < 300; i += 2)
        store->remove(*store->entry(QStringLiteral("songsara|%1").arg(i)));
    store->waitForIndexWrites();
    EXPECT_EQ(store->entries().size(), 150);
    EXPECT_EQ(readIndex(indexPath()), store->entries());

    for (int i = 1; i < 300; i += 4)
        store->remove(*store->entry(QStringLiteral("songsara|%1").arg(i)));
    store->removeAll();
    store->waitForIndexWrites();
    EXPECT_TRUE(store->entries().isEmpty());
    EXPECT_EQ(readFile(indexPath()), "[]");
    // Only the index and the (now empty) downloads folder are left.
    EXPECT_TRUE(filesIn(downloads()).isEmpty());
    EXPECT_EQ(filesIn(support()), QStringList{"offline_index.json"});
}
