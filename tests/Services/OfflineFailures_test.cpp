// The offline store against real faults: a full disk, a file size limit, an index that cannot
// be read, and downloads cut short by a kill or still running in another instance.

#include "OfflineTestSupport.h"

#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "support/SmallDisk.h"
#include "support/StandInServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace offline_test;
using standin::StandInServer;
using testing_support::FileSizeLimit;
using testing_support::SmallDisk;

namespace {

const QString kDiskFull = QStringLiteral("خطا در دانلود: فضای کافی روی دیسک نیست");

OfflineTrackEntry storedEntry(const QString &id, const QString &audioFile, int day)
{
    OfflineTrackEntry e;
    e.key = QStringLiteral("songsara|") + id;
    e.trackType = QStringLiteral("songsara");
    e.trackID = id;
    e.title = QStringLiteral("آهنگ ") + id;
    e.artist = QStringLiteral("خواننده");
    e.audioFileName = audioFile;
    e.sizeBytes = 100;
    e.downloadedAt = utc(2024, 1, day);
    return e;
}

QStringList keysOf(const QList<OfflineTrackEntry> &entries)
{
    QStringList keys;
    for (const auto &e : entries)
        keys << e.key;
    keys.sort();
    return keys;
}

class OfflineFailuresTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_NE(m_server.listen(), 0);
        m_client = clientOf(m_server);
        m_server.route("GET", "/audio/(\\w+)\\.mp3", [](const standin::RecordedRequest &) {
            return audioReply(audioBytes(20'000));
        });
    }

    // The support folder: the temporary folder, or a small disk mounted in it.
    void useFolder(const QString &folder) { m_support = folder; }
    QString support() const { return m_support.isEmpty() ? m_dir.path() : m_support; }
    QString downloads() const { return QDir(support()).filePath(QStringLiteral("OfflineTracks")); }
    QString indexPath() const { return QDir(support()).filePath(QStringLiteral("offline_index.json")); }
    QString downloadPath(const QString &name) const { return QDir(downloads()).filePath(name); }

    std::unique_ptr<OfflineStore> makeStore(qint64 minFreeDiskBytes = 0)
    {
        auto store = std::make_unique<OfflineStore>(support(), m_client.get());
        OfflineDownload::Limits limits;
        limits.minFreeDiskBytes = minFreeDiskBytes;
        store->setDownloadLimits(limits);
        return store;
    }

    static bool downloadToEnd(OfflineStore &store, const PlaylistTrack &t)
    {
        store.download(t);
        const QString key = offlineKey(t);
        return waitUntil([&] { return !store.activeProgress().contains(key); });
    }

    QTemporaryDir m_dir;
    QString m_support;
    StandInServer m_server;
    std::unique_ptr<APIClient> m_client;
};

} // namespace

// The disk fills while the fourth download runs: its audio just fits, its index entry does not.
TEST_F(OfflineFailuresTest, AnIndexThatCannotBeWrittenFailsTheDownloadAndKeepsTheEarlierOnes)
{
    SmallDisk disk(m_dir.filePath("disk"), 1024 * 1024);
    if (!disk.isMounted())
        GTEST_SKIP() << "mounting a small file system needs root";
    useFolder(disk.path());
    auto store = makeStore();
    for (const char *id : {"1", "2", "3"})
        ASSERT_TRUE(downloadToEnd(*store, track(id, QStringLiteral("/audio/%1.mp3").arg(id))));
    store->waitForIndexWrites();
    const QByteArray threeListed = readFile(indexPath());
    ASSERT_EQ(readIndex(indexPath()).size(), 3);

    ASSERT_TRUE(disk.fill(20 * 1024)); // the audio's 20 000 bytes, and nothing more
    const PlaylistTrack fourth = track("4", "/audio/4.mp3");
    ASSERT_TRUE(downloadToEnd(*store, fourth));
    EXPECT_FALSE(store->isDownloaded(fourth));
    EXPECT_EQ(store->entries().size(), 3);
    EXPECT_EQ(store->lastError(), kDiskFull);
    EXPECT_EQ(store->downloadErrors().value(offlineKey(fourth)), kDiskFull);
    store->waitForIndexWrites();
    EXPECT_EQ(readFile(indexPath()), threeListed);
    EXPECT_EQ(filesIn(downloads()).size(), 3); // the fourth's audio went

    // The next start finds the three; with room again the fourth is stored, and its error goes.
    store = makeStore();
    EXPECT_EQ(store->entries().size(), 3);
    disk.release();
    ASSERT_TRUE(downloadToEnd(*store, fourth));
    EXPECT_TRUE(store->isDownloaded(fourth));
    EXPECT_TRUE(store->downloadErrors().isEmpty());
    store->waitForIndexWrites();
    EXPECT_EQ(readIndex(indexPath()).size(), 4);
}

// What `prlimit --fsize` does: the new index is larger than a file may grow. A removal is kept in
// memory, the failure is told, and the next change writes the whole index.
TEST_F(OfflineFailuresTest, AnIndexAboveTheFileSizeLimitKeepsTheOldFileAndIsWrittenAtTheNextChange)
{
    ASSERT_TRUE(QDir().mkpath(downloads()));
    QList<OfflineTrackEntry> many;
    for (int i = 0; i < 120; ++i) {
        const QString name = QStringLiteral("T%1.mp3").arg(i);
        ASSERT_TRUE(writeFile(downloadPath(name), "audio"));
        many.append(storedEntry(QString::number(i), name, 1 + i % 28));
    }
    ASSERT_TRUE(writeFile(indexPath(), OfflineIndex::encode(many)));
    const QByteArray before = readFile(indexPath());
    ASSERT_GT(before.size(), 16 * 1024);
    auto store = makeStore();
    ASSERT_EQ(store->entries().size(), 120);

    {
        FileSizeLimit limit(16 * 1024);
        ASSERT_TRUE(limit.isSet());
        store->remove(store->entries().first());
        store->waitForIndexWrites();
        ASSERT_TRUE(waitUntil([&] { return store->lastError().has_value(); }));
    }
    EXPECT_EQ(store->lastError(),
              QStringLiteral("فهرست دانلودها ذخیره نشد: حجم فایل بیش از حد مجاز است"));
    EXPECT_EQ(store->entries().size(), 119);
    EXPECT_EQ(readFile(indexPath()), before);

    store->remove(store->entries().first());
    store->waitForIndexWrites();
    EXPECT_EQ(readIndex(indexPath()), store->entries());
    EXPECT_EQ(store->entries().size(), 118);
}

// An index that cannot be read is not "nothing downloaded": every file stays, what can be read of
// the index is kept, the rest is listed by its file, and a readable index is written at once.
TEST_F(OfflineFailuresTest, AStartWithAnUnreadableIndexKeepsEveryDownload)
{
    const QList<OfflineTrackEntry> listed{storedEntry("1", "A.mp3", 3), storedEntry("2", "B.mp3", 2),
                                          storedEntry("3", "C.mp3", 1)};
    const QByteArray whole = OfflineIndex::encode(listed);
    const qsizetype secondEnds = whole.indexOf("},{", whole.indexOf("},{") + 1) + 1;
    struct Case {
        const char *what;
        std::optional<QByteArray> index; // none: no index file at all
        QStringList salvaged;            // keys read from what is left of it
    };
    const Case cases[] = {
        {"no index", std::nullopt, {}},
        {"empty", QByteArray(), {}},
        {"cut short after two entries", whole.left(secondEnds + 20), {"songsara|1", "songsara|2"}},
        {"one damaged element", QByteArray(whole).replace("\"title\":\"آهنگ 2\"", "\"title\":2"),
         {"songsara|1", "songsara|3"}},
        {"not JSON", QByteArray("\x00\x01garbage", 9), {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        QDir(support()).removeRecursively();
        ASSERT_TRUE(QDir().mkpath(downloads()));
        for (const char *name : {"A.mp3", "B.mp3", "C.mp3", "A.art"})
            ASSERT_TRUE(writeFile(downloadPath(name), name));
        if (c.index) {
            ASSERT_TRUE(writeFile(indexPath(), *c.index));
        }

        auto store = makeStore();
        EXPECT_EQ(filesIn(downloads()), (QStringList{"A.art", "A.mp3", "B.mp3", "C.mp3"}));
        ASSERT_EQ(store->entries().size(), 3);
        QStringList expected = c.salvaged;
        for (const char *name : {"A.mp3", "B.mp3", "C.mp3"}) {
            const auto salvaged = std::find_if(listed.cbegin(), listed.cend(),
                                               [&](const auto &e) { return e.audioFileName == name; });
            if (!c.salvaged.contains(salvaged->key))
                expected << QStringLiteral("file|") + name;
        }
        expected.sort();
        EXPECT_EQ(keysOf(store->entries()), expected);
        for (const OfflineTrackEntry &e : store->entries()) {
            if (e.key.startsWith("file|")) {
                EXPECT_EQ(e.title, QStringLiteral("بدون عنوان"));
            }
        }
        EXPECT_EQ(store->lastError(), OfflineStore::indexRebuiltText());
        EXPECT_EQ(QFile::exists(indexPath() + ".unreadable"), c.index.has_value());
        store->waitForIndexWrites();
        EXPECT_EQ(readIndex(indexPath()), store->entries());

        // The start after keeps them all, and says nothing.
        store = makeStore();
        EXPECT_EQ(store->entries().size(), 3);
        EXPECT_FALSE(store->lastError().has_value());
    }
}

// A ".part" belongs to a running download as long as it is held; "حذف همه" and a start of another
// store on the same folder leave that one alone and clear the others; quitting leaves none.
TEST_F(OfflineFailuresTest, PartialFilesGoUnlessARunningDownloadHoldsThem)
{
    m_server.script("GET", "/audio/slow.mp3", slowAudioReply(audioBytes(400'000), 4000, 20));
    auto store = makeStore();
    const PlaylistTrack running = track("slow", "/audio/slow.mp3");
    store->download(running);
    ASSERT_TRUE(waitUntil([&] { return store->activeProgress().value(offlineKey(running)) > 0.0; }));
    const QStringList runningPart = filesIn(downloads());
    ASSERT_EQ(runningPart.size(), 1);
    ASSERT_TRUE(runningPart.first().endsWith(".part"));

    ASSERT_TRUE(writeFile(downloadPath("KILLED-1.part"), "cut short"));
    auto second = makeStore(); // another instance starting meanwhile
    EXPECT_EQ(filesIn(downloads()), runningPart);

    ASSERT_TRUE(writeFile(downloadPath("KILLED-2.part"), "cut short"));
    store->removeAll();
    EXPECT_EQ(filesIn(downloads()), runningPart);
    EXPECT_TRUE(store->pendingMeta().contains(offlineKey(running)));

    store->endDownloads();
    EXPECT_TRUE(filesIn(downloads()).isEmpty());
}
