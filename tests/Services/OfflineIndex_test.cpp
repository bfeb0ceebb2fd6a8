#include "Services/OfflineIndexWriter.h"
#include "Services/OfflineTrackEntry.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QTemporaryDir>
#include <QThread>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <vector>

namespace {

QDateTime utc(int y, int m, int d, int h = 0, int min = 0, int s = 0, int ms = 0)
{
    return QDateTime(QDate(y, m, d), QTime(h, min, s, ms), QTimeZone::utc());
}

OfflineTrackEntry fullEntry()
{
    OfflineTrackEntry e;
    e.key = QStringLiteral("songsara|77");
    e.trackType = QStringLiteral("songsara");
    e.trackID = QStringLiteral("77");
    e.title = QStringLiteral("آهنگ \"نو\"\\\n");
    e.artist = QStringLiteral("هنرمند 🎵");
    e.artworkRemoteURL = QStringLiteral("/artwork/77.jpg");
    e.artworkFileName = QStringLiteral("A.art");
    e.audioFileName = QStringLiteral("B.mp3");
    e.duration = 215;
    e.sizeBytes = 5'000'000'000LL;
    e.downloadedAt = utc(2001, 1, 1, 0, 0, 12, 500);
    return e;
}

OfflineTrackEntry minimalEntry(const QString &key, const QDateTime &at)
{
    OfflineTrackEntry e;
    e.key = key;
    e.title = QStringLiteral("بدون عنوان");
    e.audioFileName = key + QStringLiteral(".mp3");
    e.sizeBytes = 10;
    e.downloadedAt = at;
    return e;
}

QList<OfflineTrackEntry> readIndex(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return OfflineIndex::decode(file.readAll()).value_or(QList<OfflineTrackEntry>{});
}

} // namespace

TEST(OfflineIndexFormat, WritesCompactJsonInFieldOrderWithDatesSince2001)
{
    const QByteArray json = OfflineIndex::encode({fullEntry()});
    EXPECT_EQ(json,
              QByteArray(R"([{"key":"songsara|77","trackType":"songsara","trackID":"77",)"
                         R"("title":"آهنگ \"نو\"\\\n","artist":"هنرمند 🎵",)"
                         R"("artworkRemoteURL":"/artwork/77.jpg","artworkFileName":"A.art",)"
                         R"("audioFileName":"B.mp3","duration":215,"sizeBytes":5000000000,)"
                         R"("downloadedAt":12.5}])"));

    // Absent optionals are omitted, and the first instant of 2001 UTC is a plain 0.
    const QByteArray minimal = OfflineIndex::encode({minimalEntry("track|", utc(2001, 1, 1))});
    EXPECT_EQ(minimal, QByteArray(R"([{"key":"track|","title":"بدون عنوان","artist":"",)"
                                  R"("audioFileName":"track|.mp3","sizeBytes":10,"downloadedAt":0}])"));

    // Before 2001 the number is negative; a control character is escaped as \u00XX.
    OfflineTrackEntry older = minimalEntry("k", utc(2000, 12, 31, 23, 59, 59, 750));
    older.title = QString(QChar(0x01));
    const QByteArray olderJson = OfflineIndex::encode({older});
    EXPECT_TRUE(olderJson.contains(R"("downloadedAt":-0.25})")) << olderJson.constData();
    EXPECT_TRUE(olderJson.contains(R"("title":"\u0001")")) << olderJson.constData();
    EXPECT_EQ(OfflineIndex::encode({}), "[]");
}

TEST(OfflineIndexFormat, RoundTripsAndReadsWhatOthersWrite)
{
    const QList<OfflineTrackEntry> entries{fullEntry(), minimalEntry("a|1", utc(2024, 5, 6, 7, 8, 9, 10))};
    const QByteArray json = OfflineIndex::encode(entries);
    // Valid JSON for any reader.
    QJsonParseError error{};
    QJsonDocument::fromJson(json, &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError);

    const auto decoded = OfflineIndex::decode(json);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(*decoded, entries);

    // Pretty-printed, other key order, nulls for absent optionals, sub-millisecond dates.
    const QByteArray foreign = R"([
      { "downloadedAt" : 736000000.1234, "sizeBytes" : 42, "audioFileName" : "X.audio",
        "artist" : "", "title" : "t", "key" : "track|9", "trackType" : null, "duration" : 180.0 }
    ])";
    const auto read = OfflineIndex::decode(foreign);
    ASSERT_TRUE(read.has_value());
    ASSERT_EQ(read->size(), 1);
    const OfflineTrackEntry &e = read->first();
    EXPECT_EQ(e.key, "track|9");
    EXPECT_FALSE(e.trackType.has_value());
    EXPECT_EQ(e.duration, 180);
    EXPECT_EQ(e.sizeBytes, 42);
    EXPECT_EQ(e.downloadedAt, utc(2024, 4, 28, 12, 26, 40, 123));
    EXPECT_DOUBLE_EQ(OfflineIndex::secondsSince2001(e.downloadedAt), 736000000.123);
}

TEST(OfflineIndexFormat, OneMalformedElementFailsTheWholeFile)
{
    const QByteArray good = R"({"key":"k","title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":0})";
    ASSERT_TRUE(OfflineIndex::decode("[" + good + "]").has_value());

    const QList<QByteArray> bad{
        "",
        "{}",
        "not json",
        "[" + good + ",1]",
        R"([{"title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":0}])",
        R"([{"key":"k","title":null,"artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":0}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":"1","downloadedAt":0}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1.5,"downloadedAt":0}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":"0"}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":1e300}])",
        R"([{"key":"k","trackID":7,"title":"t","artist":"","audioFileName":"a.mp3","sizeBytes":1,"downloadedAt":0}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","duration":1e30,"sizeBytes":1,"downloadedAt":0}])",
        R"([{"key":"k","title":"t","artist":"","audioFileName":"a.mp3","duration":"180","sizeBytes":1,"downloadedAt":0}])",
    };
    for (const QByteArray &json : bad)
        EXPECT_FALSE(OfflineIndex::decode(json).has_value()) << json.constData();
}

TEST(OfflineIndexFormat, SortsNewestFirstAndRefusesPathsAsFileNames)
{
    QList<OfflineTrackEntry> entries{minimalEntry("old", utc(2020, 1, 1)), minimalEntry("new", utc(2024, 1, 1)),
                                     minimalEntry("mid", utc(2022, 1, 1))};
    OfflineIndex::sortNewestFirst(entries);
    EXPECT_EQ(entries.at(0).key, "new");
    EXPECT_EQ(entries.at(1).key, "mid");
    EXPECT_EQ(entries.at(2).key, "old");

    EXPECT_TRUE(OfflineIndex::isPlainFileName("0F5A.mp3"));
    for (const char *name : {"", ".", "..", "../x.mp3", "a/b.mp3", "/etc/passwd", "a\\b"})
        EXPECT_FALSE(OfflineIndex::isPlainFileName(QString::fromLatin1(name))) << name;
}

TEST(OfflineIndexWriter, TheFileAlwaysEndsAsTheNewestSnapshot)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("offline_index.json");
    OfflineIndexWriter writer;

    // Several threads change a shared list and hand snapshots in, as the store does: the
    // generation is taken together with the snapshot, the hand-over happens later, unlocked,
    // so older snapshots often arrive after newer ones.
    QMutex lock;
    QList<OfflineTrackEntry> index;
    quint64 generation = 0;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            for (int i = 0; i < 100; ++i) {
                QMutexLocker locker(&lock);
                index.append(minimalEntry(QStringLiteral("t%1|%2").arg(t).arg(i), utc(2024, 1, 1).addSecs(t * 1000 + i)));
                if (i % 3 == 0)
                    index.removeFirst();
                const quint64 g = ++generation;
                const QList<OfflineTrackEntry> snapshot = index;
                locker.unlock();
                if (i % 7 == 0)
                    QThread::yieldCurrentThread();
                writer.submit(g, path, snapshot);
            }
        }));
        threads.back()->start();
    }
    for (auto &thread : threads)
        thread->wait();
    writer.waitForIdle();

    EXPECT_EQ(writer.lastWrittenGeneration(), generation);
    OfflineIndex::sortNewestFirst(index);
    EXPECT_EQ(readIndex(path), index);

    // A stale snapshot handed in after the newest was written changes nothing.
    writer.submit(1, path, {});
    writer.waitForIdle();
    EXPECT_EQ(readIndex(path), index);
    // No temporary file is left beside the index.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"offline_index.json"});
}
