#include "support/PlaybackTestSupport.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTemporaryDir>
#include <gst/pbutils/pbutils.h>
#include <gtest/gtest.h>

using namespace standin;

namespace {

struct Fetched {
    int status = 0;
    QByteArray body;
    QByteArray contentType;
    QByteArray contentRange;
};

Fetched fetch(const QUrl &url, const QByteArray &range = {})
{
    QNetworkAccessManager nam;
    QNetworkRequest request(url);
    if (!range.isEmpty())
        request.setRawHeader("Range", range);
    QNetworkReply *reply = nam.get(request);
    testsupport::waitUntil([&] { return reply->isFinished(); });
    Fetched f{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll(),
              reply->header(QNetworkRequest::ContentTypeHeader).toByteArray(), reply->rawHeader("Content-Range")};
    delete reply;
    return f;
}

// Duration and audio presence of a local file, as GStreamer's discoverer sees it.
double discoveredSeconds(const QString &path, QString *codec = nullptr)
{
    GstDiscoverer *discoverer = gst_discoverer_new(10 * GST_SECOND, nullptr);
    GstDiscovererInfo *info = gst_discoverer_discover_uri(
        discoverer, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded).toUtf8().constData(), nullptr);
    double seconds = -1;
    if (info && gst_discoverer_info_get_result(info) == GST_DISCOVERER_OK) {
        seconds = double(gst_discoverer_info_get_duration(info)) / GST_SECOND;
        GList *audio = gst_discoverer_info_get_audio_streams(info);
        if (audio && codec) {
            GstCaps *caps = gst_discoverer_stream_info_get_caps(GST_DISCOVERER_STREAM_INFO(audio->data));
            gchar *text = gst_caps_to_string(caps);
            *codec = QString::fromUtf8(text);
            g_free(text);
            gst_caps_unref(caps);
        }
        gst_discoverer_stream_info_list_free(audio);
    }
    if (info)
        g_object_unref(info);
    g_object_unref(discoverer);
    return seconds;
}

} // namespace

TEST(StandInAudio, ServesTracksWithRangesAndRealAudio)
{
    StandInServer server;
    ASSERT_NE(server.listen(), 0);
    installAudioRoutes(server);
    const QUrl base = server.baseUrl();

    const Fetched whole = fetch(base.resolved(QUrl("/stream/jazz?track=3")));
    EXPECT_EQ(whole.status, 200);
    EXPECT_EQ(whole.contentType, "audio/mpeg");
    EXPECT_NEAR(double(whole.body.size()), DefaultTrackSeconds * LiveBytesPerSecond, 2000.0);

    const Fetched part = fetch(base.resolved(QUrl("/stream/jazz?track=3")), "bytes=1000-1999");
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, whole.body.mid(1000, 1000));
    EXPECT_EQ(part.contentRange, "bytes 1000-1999/" + QByteArray::number(whole.body.size()));

    // Another track of the genre is another tone; the same track is the same bytes.
    EXPECT_NE(fetch(base.resolved(QUrl("/stream/jazz?track=4"))).body, whole.body);
    EXPECT_EQ(fetch(base.resolved(QUrl("/stream/jazz?track=3"))).body, whole.body);
    EXPECT_NE(toneFrequency("jazz", 3), toneFrequency("jazz", 4));

    QTemporaryDir dir;
    const Fetched ogg = fetch(base.resolved(QUrl("/audio/t-17.ogg?seconds=2")));
    EXPECT_EQ(ogg.contentType, "audio/ogg");
    QFile oggFile(dir.filePath("t.ogg"));
    ASSERT_TRUE(oggFile.open(QIODevice::WriteOnly));
    oggFile.write(ogg.body);
    oggFile.close();
    QString codec;
    EXPECT_NEAR(discoveredSeconds(oggFile.fileName(), &codec), 2.0, 0.1);
    EXPECT_TRUE(codec.startsWith("audio/x-vorbis")) << qPrintable(codec);

    const QString mp3 = dir.filePath("t.mp3");
    ASSERT_TRUE(writeToneFile(mp3, AudioFormat::Mp3, 330, 3.0));
    EXPECT_NEAR(discoveredSeconds(mp3, &codec), 3.0, 0.1);
    EXPECT_TRUE(codec.startsWith("audio/mpeg")) << qPrintable(codec);
    EXPECT_FALSE(writeToneFile(dir.filePath("no/such/dir/t.mp3"), AudioFormat::Mp3, 330, 1.0));
}

TEST(StandInAudio, LiveStreamKeepsComingAtItsBitRate)
{
    StandInServer server;
    ASSERT_NE(server.listen(), 0);
    QElapsedTimer setup;
    setup.start();
    installAudioRoutes(server);
    EXPECT_LT(setup.elapsed(), 2000); // generous on a loaded machine; about 0.2 s here

    QNetworkAccessManager nam;
    QNetworkReply *reply = nam.get(QNetworkRequest(server.baseUrl().resolved(QUrl("/live/persian"))));
    QByteArray received;
    QObject::connect(reply, &QNetworkReply::readyRead, [&] { received += reply->readAll(); });
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(testsupport::waitUntil([&] { return received.size() > 3 * LiveBytesPerSecond; }));
    const double seconds = clock.elapsed() / 1000.0;
    EXPECT_FALSE(reply->isFinished());
    // A burst of 1.5 s, then real time: 3 s of audio take about 1.5 s.
    EXPECT_GT(seconds, 1.0);
    EXPECT_TRUE(received.startsWith("\xff")); // an MPEG audio frame
    reply->abort();
    delete reply;
}
