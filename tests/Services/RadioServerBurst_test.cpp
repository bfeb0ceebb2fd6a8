#include "support/IcecastServer.h"
#include "support/PlaybackTestSupport.h"

#include <QTcpSocket>
#include <gtest/gtest.h>

using testsupport::IcecastServer;
using testsupport::MountFormat;
using testsupport::waitUntil;

// The radio server the live tests and the first-audio bench play from: what it says it took
// from a source, and the wait for the burst a long-running station gives a new listener.

namespace {

const QByteArray TwoMounts = R"(<?xml version="1.0"?>
<icestats><admin>test@localhost</admin><sources>2</sources>
<source mount="/a.mp3"><audio_bitrate>128000</audio_bitrate><total_bytes_read>500</total_bytes_read></source>
<source mount="/b.ogg"><listeners>0</listeners><total_bytes_read>81234</total_bytes_read></source>
</icestats>)";

struct StatsRow {
    const char *name;
    QByteArray page;
    const char *mount;
    qint64 bytes;
};

} // namespace

TEST(RadioServerBurst, ReadsWhatTheSourceOfTheMountSent)
{
    const StatsRow rows[] = {
        {"first mount", TwoMounts, "/a.mp3", 500},
        {"second mount", TwoMounts, "/b.ogg", 81234},
        {"mount not there", TwoMounts, "/c.ogg", -1},
        {"a mount's prefix is another mount", TwoMounts, "/b", -1},
        {"error page", "<html><body><b>400 - Source does not exist</b></body></html>", "/b.ogg", -1},
        {"no answer", QByteArray(), "/b.ogg", -1},
        {"count not a number", R"(<icestats><source mount="/b.ogg"><total_bytes_read>lots</total_bytes_read></source></icestats>)",
         "/b.ogg", -1},
        {"count elsewhere", R"(<icestats><total_bytes_read>9</total_bytes_read><source mount="/b.ogg"/></icestats>)",
         "/b.ogg", -1},
    };
    for (const StatsRow &row : rows)
        EXPECT_EQ(IcecastServer::bytesFromSource(row.page, QString::fromLatin1(row.mount)), row.bytes) << row.name;
}

// A quiet Vorbis tone comes at about 2.6 KB/s: what a listener has within a few seconds of
// coming is mostly the burst, which holds at most what the source sent before.
TEST(RadioServerBurst, ListenerAfterTheWaitGetsAFullBurst)
{
    const QString missing = IcecastServer::missingTools();
    ASSERT_TRUE(missing.isEmpty()) << qPrintable(missing);
    IcecastServer icecast;
    const QString mount = QStringLiteral("/burst.ogg");
    ASSERT_TRUE(icecast.start()) << qPrintable(icecast.log());
    ASSERT_TRUE(icecast.startSource(mount, MountFormat::OggVorbis)) << qPrintable(icecast.log());
    EXPECT_FALSE(icecast.waitForFullBurst(QStringLiteral("/elsewhere.ogg"), 5000));
    ASSERT_TRUE(icecast.waitForFullBurst(mount)) << qPrintable(icecast.log());
    EXPECT_GE(icecast.bytesFromSource(mount), 65536);

    QTcpSocket listener;
    listener.connectToHost(QHostAddress::LocalHost, icecast.port());
    ASSERT_TRUE(listener.waitForConnected(5000));
    listener.write("GET " + mount.toLatin1() + " HTTP/1.0\r\n\r\n");
    QByteArray received;
    QObject::connect(&listener, &QTcpSocket::readyRead, [&] { received += listener.readAll(); });
    const auto body = [&] {
        const qsizetype end = received.indexOf("\r\n\r\n");
        return end < 0 ? 0 : received.size() - end - 4;
    };
    // Without the burst this much takes the stream itself some 25 s.
    EXPECT_TRUE(waitUntil([&] { return body() >= 60000; }, 10000)) << body() << " bytes";
}
