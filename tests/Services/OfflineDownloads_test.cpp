#include "OfflineTestSupport.h"

#include "Services/APIClient.h"
#include "Services/OfflineStore.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

using namespace offline_test;
using standin::RecordedRequest;
using standin::Reply;
using standin::StandInServer;

namespace {

const QString kFailurePrefix = QStringLiteral("خطا در دانلود: ");

QByteArray pngBytes()
{
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class OfflineDownloadsTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_NE(m_server.listen(), 0);
        m_client = clientOf(m_server);
        m_store = std::make_unique<OfflineStore>(m_dir.path(), m_client.get());
    }

    QString downloads() const { return m_dir.filePath(QStringLiteral("OfflineTracks")); }
    QString indexPath() const { return m_dir.filePath(QStringLiteral("offline_index.json")); }
    QString downloadPath(const QString &name) const { return QDir(downloads()).filePath(name); }

    // Runs a download to its end (the key leaves the progress map).
    bool downloadToEnd(const PlaylistTrack &t)
    {
        m_store->download(t);
        const QString key = offlineKey(t);
        return waitUntil([&] { return !m_store->activeProgress().contains(key) && !m_store->pendingMeta().contains(key); });
    }

    QTemporaryDir m_dir;
    StandInServer m_server;
    std::unique_ptr<APIClient> m_client;
    std::unique_ptr<OfflineStore> m_store;
};

} // namespace

TEST_F(OfflineDownloadsTest, StoresTheAudioAndArtworkUnderOurOwnNamesAndWritesTheIndex)
{
    const QByteArray audio = audioBytes(300'000);
    const QByteArray art = pngBytes();
    m_server.script("GET", "/audio/7.mp3", audioReply(audio));
    m_server.script("GET", "/artwork/7.png", Reply::text(art, 200, "image/png"));
    const PlaylistTrack t = track("7", "/audio/7.mp3", QStringLiteral("/artwork/7.png"));

    QSignalSpy pending(m_store.get(), &OfflineStore::pendingMetaChanged);
    m_store->download(t);
    // Running at once: progress starts at 0 and the track is known.
    EXPECT_EQ(m_store->activeProgress().value(offlineKey(t), -1.0), 0.0);
    EXPECT_EQ(m_store->pendingMeta().value(offlineKey(t)), t);
    ASSERT_TRUE(waitUntil([&] { return m_store->isDownloaded(t) && m_store->activeProgress().isEmpty(); }));
    EXPECT_TRUE(m_store->pendingMeta().isEmpty());
    EXPECT_GE(pending.count(), 2);
    EXPECT_FALSE(m_store->lastError().has_value());

    ASSERT_EQ(m_store->entries().size(), 1);
    const OfflineTrackEntry entry = m_store->entries().first();
    EXPECT_EQ(entry.key, "songsara|7");
    EXPECT_EQ(entry.trackType, "songsara");
    EXPECT_EQ(entry.trackID, "7");
    EXPECT_EQ(entry.title, t.title);
    EXPECT_EQ(entry.artist, t.artist);
    EXPECT_EQ(entry.duration, 187);
    EXPECT_EQ(entry.artworkRemoteURL, "/artwork/7.png"); // as the track gave it
    EXPECT_EQ(entry.sizeBytes, audio.size());
    EXPECT_LE(qAbs(entry.downloadedAt.secsTo(QDateTime::currentDateTimeUtc())), 60);
    EXPECT_TRUE(QRegularExpression("^[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}\\.mp3$")
                    .match(entry.audioFileName).hasMatch())
        << entry.audioFileName.toStdString();
    ASSERT_TRUE(entry.artworkFileName.has_value());
    EXPECT_TRUE(entry.artworkFileName->endsWith(".art"));
    EXPECT_EQ(readFile(downloadPath(entry.audioFileName)), audio);
    EXPECT_EQ(readFile(downloadPath(*entry.artworkFileName)), art); // as fetched
    EXPECT_EQ(filesIn(downloads()).size(), 2); // no temporary file left
    EXPECT_EQ(m_store->audioURL(t), QUrl::fromLocalFile(downloadPath(entry.audioFileName)));

    m_store->waitForIndexWrites();
    EXPECT_EQ(readIndex(indexPath()), m_store->entries());

    // A second store reading the same folder finds the download.
    OfflineStore reopened(m_dir.path(), m_client.get());
    EXPECT_TRUE(reopened.isDownloaded(t));
    EXPECT_EQ(reopened.entries(), m_store->entries());
}

TEST_F(OfflineDownloadsTest, StoresTheStandInsEncodedTracksAndRefusesItsLiveStream)
{
    standin::installAudioRoutes(m_server);
    const PlaylistTrack rotation = track("r", "/stream/pop?track=2&seconds=2");
    const PlaylistTrack single = track("s", "/audio/abc.mp3?seconds=3");
    const PlaylistTrack live = track("l", "/live/jazz");
    ASSERT_TRUE(downloadToEnd(rotation));
    ASSERT_TRUE(downloadToEnd(single));

    const auto stored = m_store->entry(single);
    ASSERT_TRUE(stored.has_value());
    EXPECT_TRUE(stored->audioFileName.endsWith(".mp3"));
    const QByteArray expected =
        standin::toneAudio(standin::AudioFormat::Mp3, standin::toneFrequency(QStringLiteral("abc")), 3);
    ASSERT_FALSE(expected.isEmpty());
    EXPECT_EQ(readFile(downloadPath(stored->audioFileName)), expected);
    EXPECT_EQ(stored->sizeBytes, expected.size());
    ASSERT_TRUE(m_store->entry(rotation).has_value());
    EXPECT_EQ(m_store->entry(rotation)->sizeBytes,
              standin::toneAudio(standin::AudioFormat::Mp3, standin::toneFrequency(QStringLiteral("pop"), 2), 2).size());

    // An endless stream announces no length: it cannot be stored.
    ASSERT_TRUE(downloadToEnd(live));
    EXPECT_FALSE(m_store->isDownloaded(live));
    EXPECT_EQ(m_store->lastError(), kFailurePrefix + QStringLiteral("این آهنگ قابل ذخیره آفلاین نیست"));
    EXPECT_EQ(filesIn(downloads()).size(), 2);
}

TEST_F(OfflineDownloadsTest, TwoQuickCallsMakeOneRequestAndAStoredTrackIsLeftAlone)
{
    Reply slow = audioReply(audioBytes(5000));
    slow.delayMs = 300;
    m_server.script("GET", "/audio/1.mp3", slow);
    const PlaylistTrack t = track("1", "/audio/1.mp3");

    m_store->download(t);
    m_store->download(t);
    ASSERT_TRUE(waitUntil([&] { return m_store->isDownloaded(t) && m_store->activeProgress().isEmpty(); }));
    EXPECT_EQ(m_server.countRequests("/audio/1.mp3"), 1);

    // Already stored: nothing happens, no error appears.
    QSignalSpy progress(m_store.get(), &OfflineStore::activeProgressChanged);
    m_store->download(t);
    QCoreApplication::processEvents();
    EXPECT_EQ(progress.count(), 0);
    EXPECT_FALSE(m_store->lastError().has_value());
    EXPECT_EQ(m_server.countRequests("/audio/1.mp3"), 1);
}

TEST_F(OfflineDownloadsTest, ATrackWithoutAUsableAddressOnlySetsTheError)
{
    PlaylistTrack none = track("1", QString());
    none.streamURL.reset();
    m_store->download(none);
    EXPECT_EQ(m_store->lastError(), QStringLiteral("این آهنگ لینک دانلود معتبری ندارد"));
    EXPECT_TRUE(m_store->activeProgress().isEmpty());
    EXPECT_TRUE(m_store->pendingMeta().isEmpty());

    m_store->download(track("2", QString("")));
    EXPECT_EQ(m_store->lastError(), QStringLiteral("این آهنگ لینک دانلود معتبری ندارد"));

    // Only the web is downloaded from: no local file or other scheme taken from a record.
    for (const char *address : {"file:///etc/hosts", "ftp://127.0.0.1/a.mp3", "tg://resolve?domain=x"}) {
        m_store->download(track(QString::fromLatin1(address), QString::fromLatin1(address)));
        EXPECT_EQ(m_store->lastError(), QStringLiteral("این آهنگ لینک دانلود معتبری ندارد")) << address;
        EXPECT_TRUE(m_store->pendingMeta().isEmpty());
    }
    EXPECT_TRUE(m_server.requests().isEmpty());
    EXPECT_TRUE(filesIn(downloads()).isEmpty());
}

TEST_F(OfflineDownloadsTest, RefusedRepliesFailWithTheirTextAndLeaveNothingBehind)
{
    const auto lastErrorAfter = [&](const PlaylistTrack &t) {
        EXPECT_TRUE(downloadToEnd(t));
        EXPECT_FALSE(m_store->isDownloaded(t));
        return m_store->lastError().value_or(QStringLiteral("(none)"));
    };

    // No Content-Length (the body ends when the connection closes).
    m_server.script("GET", "/audio/nolength.mp3", slowAudioReply(audioBytes(4000), 1000, 10, false));
    EXPECT_EQ(lastErrorAfter(track("1", "/audio/nolength.mp3")),
              kFailurePrefix + QStringLiteral("این آهنگ قابل ذخیره آفلاین نیست"));

    // Not found: the status decides, whatever the body.
    m_server.script("GET", "/audio/missing.mp3", Reply::text("no such track", 404));
    EXPECT_EQ(lastErrorAfter(track("2", "/audio/missing.mp3")), kFailurePrefix + QStringLiteral("خطای سرور (404)"));
    m_server.script("GET", "/audio/broken.mp3", Reply::text(audioBytes(500), 500, "audio/mpeg"));
    EXPECT_EQ(lastErrorAfter(track("3", "/audio/broken.mp3")), kFailurePrefix + QStringLiteral("خطای سرور (500)"));

    // A body shorter than its Content-Length.
    Reply shortBody = audioReply(audioBytes(10'000));
    shortBody.declaredLength = 50'000;
    m_server.script("GET", "/audio/short.mp3", shortBody);
    EXPECT_EQ(lastErrorAfter(track("4", "/audio/short.mp3")), kFailurePrefix + QStringLiteral("خطا در پردازش پاسخ سرور"));

    // An empty body with an honest length of 0.
    m_server.script("GET", "/audio/empty.mp3", audioReply(QByteArray()));
    EXPECT_EQ(lastErrorAfter(track("5", "/audio/empty.mp3")),
              kFailurePrefix + QStringLiteral("این آهنگ قابل ذخیره آفلاین نیست"));

    // Nobody listening.
    PlaylistTrack unreachable = track("6", QStringLiteral("http://127.0.0.1:9/audio/6.mp3"));
    EXPECT_EQ(lastErrorAfter(unreachable), kFailurePrefix + QStringLiteral("Connection refused"));

    EXPECT_TRUE(filesIn(downloads()).isEmpty());
    EXPECT_TRUE(m_store->entries().isEmpty());
    m_store->waitForIndexWrites();
    EXPECT_FALSE(QFile::exists(indexPath()));

    // The next download clears the error as it starts.
    m_server.script("GET", "/audio/ok.mp3", audioReply(audioBytes(1000)));
    ASSERT_TRUE(downloadToEnd(track("7", "/audio/ok.mp3")));
    EXPECT_FALSE(m_store->lastError().has_value());
}

TEST_F(OfflineDownloadsTest, CancellingEndsSilentlyAndLeavesNoFile)
{
    const QByteArray body = audioBytes(400'000);
    m_server.script("GET", "/audio/slow.mp3", slowAudioReply(body, 4000, 20));
    const PlaylistTrack t = track("1", "/audio/slow.mp3");
    QSignalSpy errors(m_store.get(), &OfflineStore::lastErrorChanged);

    m_store->download(t);
    ASSERT_TRUE(waitUntil([&] { return m_store->activeProgress().value(offlineKey(t)) > 0.0; }));
    ASSERT_FALSE(filesIn(downloads()).isEmpty()); // the temporary file is being written
    const int errorChangesBefore = errors.count();

    m_store->cancelDownload(t);
    ASSERT_TRUE(waitUntil([&] { return m_store->activeProgress().isEmpty() && m_store->pendingMeta().isEmpty(); }));
    EXPECT_EQ(errors.count(), errorChangesBefore);
    EXPECT_FALSE(m_store->lastError().has_value());
    EXPECT_FALSE(m_store->isDownloaded(t));
    EXPECT_TRUE(filesIn(downloads()).isEmpty());

    // Cancelling what does not run is ignored; the track can be downloaded again.
    m_store->cancelDownload(t);
    m_server.script("GET", "/audio/slow.mp3", audioReply(body));
    ASSERT_TRUE(downloadToEnd(t));
    EXPECT_TRUE(m_store->isDownloaded(t));
}

TEST_F(OfflineDownloadsTest, QuittingDuringADownloadLeavesNoTemporaryFile)
{
    m_server.script("GET", "/audio/slow.mp3", slowAudioReply(audioBytes(400'000), 4000, 20));
    const PlaylistTrack t = track("1", "/audio/slow.mp3");
    m_store->download(t);
    ASSERT_TRUE(waitUntil([&] { return m_store->activeProgress().value(offlineKey(t)) > 0.0; }));
    ASSERT_FALSE(filesIn(downloads()).isEmpty());

    m_store->endDownloads();
    EXPECT_TRUE(filesIn(downloads()).isEmpty());
    EXPECT_FALSE(m_store->isDownloaded(t));
}

TEST_F(OfflineDownloadsTest, ProgressIsPublishedAtMostEveryFifthOfASecondAndStaysBelowOne)
{
    // About 1.2 s of bytes arriving every 10 ms.
    const QByteArray body = audioBytes(120 * 1000);
    m_server.script("GET", "/audio/steady.mp3", slowAudioReply(body, 1000, 10));
    const PlaylistTrack t = track("1", "/audio/steady.mp3");
    const QString key = offlineKey(t);

    QList<qint64> times;
    QList<double> values;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(m_store.get(), &OfflineStore::activeProgressChanged, m_store.get(), [&] {
        if (m_store->activeProgress().contains(key)) {
            times.append(clock.elapsed());
            values.append(m_store->activeProgress().value(key));
        }
    });
    ASSERT_TRUE(downloadToEnd(t));
    ASSERT_TRUE(m_store->isDownloaded(t));

    ASSERT_GE(values.size(), 3) << "a 1.2 s download publishes several times";
    EXPECT_EQ(values.first(), 0.0);
    for (qsizetype i = 1; i < values.size(); ++i) {
        EXPECT_LE(values.at(i), 0.99);
        EXPECT_GE(values.at(i), values.at(i - 1));
        // The first fraction follows the start at once; after it, 0.2 s between publications.
        if (i >= 2) {
            EXPECT_GE(times.at(i) - times.at(i - 1), 195) << "publication " << i;
        }
    }
    // Fewer publications than chunks: 120 chunks over about 1.2 s.
    EXPECT_LE(values.size(), 2 + 1 + times.last() / 200);
}

TEST_F(OfflineDownloadsTest, RemoveAllDuringADownloadEmptiesTheListAndTheRunningTrackComesBack)
{
    m_server.script("GET", "/audio/done.mp3", audioReply(audioBytes(2000)));
    const PlaylistTrack stored = track("1", "/audio/done.mp3");
    ASSERT_TRUE(downloadToEnd(stored));
    ASSERT_TRUE(m_store->isDownloaded(stored));
    const OfflineTrackEntry storedEntry = m_store->entries().first();

    m_server.script("GET", "/audio/running.mp3", slowAudioReply(audioBytes(60'000), 2000, 20));
    const PlaylistTrack running = track("2", "/audio/running.mp3");
    m_store->download(running);
    ASSERT_TRUE(waitUntil([&] { return m_store->activeProgress().value(offlineKey(running)) > 0.0; }));

    m_store->removeAll();
    EXPECT_FALSE(m_store->isDownloaded(stored));
    EXPECT_TRUE(waitUntil([&] { return m_store->entries().isEmpty(); }));
    EXPECT_FALSE(QFile::exists(downloadPath(storedEntry.audioFileName)));
    EXPECT_TRUE(m_store->pendingMeta().contains(offlineKey(running)));

    ASSERT_TRUE(waitUntil([&] { return m_store->isDownloaded(running) && m_store->pendingMeta().isEmpty(); }));
    ASSERT_EQ(m_store->entries().size(), 1);
    EXPECT_EQ(m_store->entries().first().key, offlineKey(running));
    m_store->waitForIndexWrites();
    EXPECT_EQ(readIndex(indexPath()), m_store->entries());
}

TEST_F(OfflineDownloadsTest, ArtworkIsBestEffort)
{
    const QByteArray audio = audioBytes(3000);
    for (const char *path : {"/audio/a.mp3", "/audio/b.mp3", "/audio/c.mp3", "/audio/d.mp3"})
        m_server.script("GET", path, audioReply(audio));
    m_server.script("GET", "/artwork/missing.png", Reply::text(pngBytes(), 404, "image/png"));
    m_server.script("GET", "/artwork/text.png", Reply::text("<html>not an image</html>", 200, "image/png"));

    // Missing, not an image, no address at all: stored without an artwork file.
    const PlaylistTrack a = track("a", "/audio/a.mp3", QStringLiteral("/artwork/missing.png"));
    const PlaylistTrack b = track("b", "/audio/b.mp3", QStringLiteral("/artwork/text.png"));
    PlaylistTrack c = track("c", "/audio/c.mp3");
    c.title.reset();
    c.artist.reset();
    c.duration.reset();
    // An address that does not answer at all.
    const PlaylistTrack d = track("d", "/audio/d.mp3", QStringLiteral("http://127.0.0.1:9/artwork/d.png"));
    for (const PlaylistTrack &t : {a, b, c, d})
        ASSERT_TRUE(downloadToEnd(t));

    for (const PlaylistTrack &t : {a, b, c, d}) {
        const auto entry = m_store->entry(t);
        ASSERT_TRUE(entry.has_value()) << qPrintable(*t.trackID);
        EXPECT_FALSE(entry->artworkFileName.has_value()) << qPrintable(*t.trackID);
        EXPECT_EQ(readFile(downloadPath(entry->audioFileName)), audio);
    }
    EXPECT_FALSE(m_store->lastError().has_value());
    EXPECT_EQ(filesIn(downloads()).size(), 4); // four audio files, nothing else

    // Without title and artwork: "بدون عنوان", no remote address, no artwork on the station.
    const auto entryC = m_store->entry(c);
    EXPECT_EQ(entryC->title, QStringLiteral("بدون عنوان"));
    EXPECT_EQ(entryC->artist, QString(""));
    EXPECT_FALSE(entryC->artworkRemoteURL.has_value());
    EXPECT_FALSE(entryC->duration.has_value());
    const auto station = m_store->offlineStation();
    ASSERT_TRUE(station.has_value());
    for (const PlaylistTrack &played : *station->tracks) {
        if (played.trackID == "c") {
            EXPECT_FALSE(played.artworkURL.has_value());
        }
        if (played.trackID == "a") {
            EXPECT_EQ(played.artworkURL, "/artwork/missing.png");
        }
    }
}

TEST_F(OfflineDownloadsTest, AStalledDownloadTimesOut)
{
    OfflineDownload::Limits limits;
    limits.idleTimeoutMs = 400;
    m_store->setDownloadLimits(limits);
    // Announces 10 kB, sends 1 kB, then nothing more for a long while.
    Reply stalled = slowAudioReply(audioBytes(10'000), 1000, 60'000);
    m_server.script("GET", "/audio/stalled.mp3", stalled);
    const PlaylistTrack t = track("1", "/audio/stalled.mp3");
    ASSERT_TRUE(downloadToEnd(t));
    EXPECT_FALSE(m_store->isDownloaded(t));
    EXPECT_EQ(m_store->lastError(), kFailurePrefix + QStringLiteral("Operation timed out"));
    EXPECT_TRUE(filesIn(downloads()).isEmpty());
}

TEST_F(OfflineDownloadsTest, ManyDownloadsAndRemovalsLeaveTheIndexEqualToMemory)
{
    m_server.route("GET", "/audio/(\\d+)\\.mp3", [](const RecordedRequest &request) {
        Reply reply = Reply::text(audioBytes(2000 + request.captures.value(0).toInt()), 200, "audio/mpeg");
        reply.delayMs = request.captures.value(0).toInt() % 5 * 15;
        return reply;
    });
    QList<PlaylistTrack> tracks;
    for (int i = 0; i < 24; ++i)
        tracks.append(track(QString::number(i), QStringLiteral("/audio/%1.mp3").arg(i)));
    for (const auto &t : tracks)
        m_store->download(t);
    int removed = 0;
    ASSERT_TRUE(waitUntil([&] {
        // Remove every third track as soon as it lands, while others still complete.
        for (int i = 0; i < tracks.size(); i += 3) {
            if (const auto entry = m_store->entry(tracks.at(i))) {
                m_store->remove(*entry);
                ++removed;
            }
        }
        return m_store->pendingMeta().isEmpty() && removed == 8;
    }));
    EXPECT_EQ(m_store->entries().size(), 16);
    m_store->waitForIndexWrites();
    EXPECT_EQ(readIndex(indexPath()), m_store->entries());
    EXPECT_EQ(filesIn(downloads()).size(), 16);
}
