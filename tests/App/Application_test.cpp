#include "AppTestFixture.h"

#include "support/DemoCatalogue.h"
#include "support/QuickHost.h"
#include "support/StandInAudio.h"
#include "support/StandInServer.h"

#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QUuid>
#include <gtest/gtest.h>

// The application binary end to end, offscreen, against the stand-in backend in this process.

using quickhost::waitFor;

namespace {

class Application : public AppTestFixture
{
protected:
    // Requests for `path` whose query is exactly `query`.
    int countRequests(const QString &path, const QString &query) const
    {
        int n = 0;
        for (const standin::RecordedRequest &r : server.requestsTo(path))
            n += r.query == query ? 1 : 0;
        return n;
    }
};

} // namespace

TEST_F(Application, DebugSyncPlaysThePersianStationAndPollsTheCatalogue)
{
    const QString stations = QStringLiteral("/api/stations");
    const QString stream = QStringLiteral("/stream/persian");
    // Tracks longer than the poll's period, so that no track ends (and asks for the catalogue
    // on the next one's start) while the test watches the polls.
    server.route("GET", stream, [](const standin::RecordedRequest &request) {
        const int track = request.queryItems().queryItemValue(QStringLiteral("track")).toInt();
        standin::Reply reply;
        reply.contentType = "audio/mpeg";
        reply.acceptRanges = true;
        reply.body = standin::toneAudio(standin::AudioFormat::Mp3,
                                        standin::toneFrequency(QStringLiteral("persian"), track), 60.0);
        return reply;
    });
    QElapsedTimer clock;
    clock.start();
    QList<qint64> catalogueTimes;
    QObject::connect(&server, &standin::StandInServer::requestReceived, &server,
                     [&](const standin::RecordedRequest &request) {
                         if (request.path == stations)
                             catalogueTimes.append(clock.elapsed());
                     });
    auto app = launch({QStringLiteral("--debug-sync")});

    // The start-up load, then the rotation at the server's track through the equaliser.
    ASSERT_TRUE(server.waitForRequest(stations, 60000)) << qPrintable(app->standardError());
    ASSERT_TRUE(waitFor([&] { return countRequests(stream, QStringLiteral("track=2")) > 0; }, 60000))
        << qPrintable(app->standardError());
    ASSERT_TRUE(app->waitForOutput(QStringLiteral("[RadioPlayer] EQ tap bound to track"), 30000))
        << qPrintable(app->standardOutput());

    // While it plays, the player asks for the catalogue as playback starts (and again whenever it
    // resumes after buffering) and every 15 s: two of its requests come a poll's period apart.
    const auto pollSeen = [&] {
        for (qsizetype i = 2; i < catalogueTimes.size(); ++i) {
            if (catalogueTimes.at(i) - catalogueTimes.at(i - 1) >= 14000)
                return true;
        }
        return false;
    };
    ASSERT_TRUE(waitFor(pollSeen, 60000)) << qPrintable(app->standardOutput());
    EXPECT_EQ(countRequests(stream, QStringLiteral("track=3")), 0);
    EXPECT_TRUE(app->isRunning());
}

TEST_F(Application, ASecondLaunchHandsTheRecognitionAddressToTheRunningInstance)
{
    if (!QDBusConnection::sessionBus().isConnected())
        GTEST_SKIP() << "no session bus (scripts/test.sh provides one)";
    auto first = launch({});
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/stations"), 60000)) << qPrintable(first->standardError());

    auto second = launch({QStringLiteral("melodrift://shazam")});
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0) << qPrintable(second->standardError());
    // It only handed over: no window, no catalogue of its own.
    EXPECT_EQ(server.countRequests(QStringLiteral("/api/stations")), 1);

    ASSERT_TRUE(first->waitForOutput(QStringLiteral("another launch asks for the window (1 addresses)"), 20000))
        << qPrintable(first->standardError());
    ASSERT_TRUE(first->waitForOutput(QStringLiteral("requestOpen called, autoStart=true"), 20000))
        << qPrintable(first->standardError());
    EXPECT_TRUE(first->waitForOutput(QStringLiteral("recognition requested: presenting its sheet"), 20000))
        << qPrintable(first->standardError());

    // A launch without an address only brings the window to the front; another address is ignored.
    auto third = launch({});
    ASSERT_TRUE(third->waitForFinished(30000));
    EXPECT_EQ(third->exitCode(), 0);
    EXPECT_TRUE(first->waitForOutput(QStringLiteral("(0 addresses)"), 20000));
    auto fourth = launch({QStringLiteral("MELODRIFT://shazam")});
    ASSERT_TRUE(fourth->waitForFinished(30000));
    EXPECT_EQ(fourth->exitCode(), 0);
    EXPECT_TRUE(first->waitForOutput(QStringLiteral("ignored address MELODRIFT://shazam"), 20000));
    EXPECT_EQ(first->standardError().count(QStringLiteral("requestOpen called")), 1);
    EXPECT_TRUE(first->isRunning());
}

TEST_F(Application, StartsWithTheRecognitionAddressItWasGiven)
{
    auto app = launch({QStringLiteral("melodrift://shazam")});
    ASSERT_TRUE(app->waitForOutput(QStringLiteral("recognition requested: presenting its sheet"), 60000))
        << qPrintable(app->standardError());
    ASSERT_TRUE(server.waitForRequest(QStringLiteral("/api/stations"), 60000));
}

// GStreamer starts on a thread of its own unless it is given options of its own; both starts play.
TEST_F(Application, PlaysWithGStreamersOwnOptionsToo)
{
    auto app = launch({QStringLiteral("--gst-debug-level"), QStringLiteral("1"), QStringLiteral("--debug-sync")});
    ASSERT_TRUE(app->waitForOutput(QStringLiteral("[RadioPlayer] EQ tap bound to track"), 60000))
        << qPrintable(app->standardOutput()) << qPrintable(app->standardError());
    EXPECT_TRUE(app->isRunning());
}
