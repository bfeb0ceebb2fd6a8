#include "Platform/WebBanner/WebBannerProcess.h"
#include "support/PlaybackTestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

// The application's side of the banner's web host, against a host that floods its output: 300
// links and 300 log lines with escape sequences at once, again after each click it is sent.

namespace {

const char *FloodingHost = R"SH(#!/bin/sh
burst() {
  awk 'BEGIN { for (i = 0; i < 300; i++) { printf "link https%%3A%%2F%%2Fexample.org%%2F%d\n", i; printf "\033[2J stray %d\n", i }; print "loaded ok" }'
}
burst
while read -r word action rest; do
  if [ "$word $action" = "mouse release" ]; then burst; fi
done
)SH";

class WebBannerFlood : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        QFile script(dir.filePath(QStringLiteral("flooding-host")));
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write(FloodingHost);
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WebBannerProcess::setHostProgramForTesting(script.fileName());
    }
    void TearDown() override { WebBannerProcess::setHostProgramForTesting({}); }

    QTemporaryDir dir;
};

} // namespace

TEST_F(WebBannerFlood, IsReadInBoundedBatchesAndOpensOnlyOneLinkPerClick)
{
    WebBannerProcess process;
    // A slow machine may take its time; the window itself is the gate's own test.
    process.setLinkWindowForTesting(60'000);
    QStringList links;
    int loads = 0;
    QObject::connect(&process, &WebBannerProcess::linkRequested, [&](const QString &a) { links.append(a); });
    QObject::connect(&process, &WebBannerProcess::loadFinished, [&](bool) { ++loads; });

    // Sampled at every turn of the event loop: how many links were handled since the last turn.
    auto handled = [&] { return links.size() + process.refusedLinks(); };
    qint64 seen = 0;
    qint64 largestStep = 0;
    int turnsWithLinks = 0;
    QTimer sampler;
    sampler.setInterval(0);
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        const qint64 now = handled();
        largestStep = qMax(largestStep, now - seen);
        turnsWithLinks += now > seen ? 1 : 0;
        seen = now;
    });
    sampler.start();

    process.start({});
    ASSERT_TRUE(process.isRunning());
    ASSERT_TRUE(testsupport::waitUntil([&] { return loads == 1; }, 30000));
    // Nobody clicked: nothing is opened.
    EXPECT_TRUE(links.isEmpty());
    EXPECT_EQ(process.refusedLinks(), 300);
    // Links and log lines together, a batch at a time (two may meet between two samples).
    EXPECT_LE(largestStep, 2 * WebBannerProcess::BatchMessages);
    EXPECT_GE(turnsWithLinks, 600 / (2 * WebBannerProcess::BatchMessages));

    // One click: one link of the next burst.
    process.sendMouse(WebBannerProcess::MouseAction::Press, QPointF(5, 5), Qt::LeftButton, Qt::LeftButton);
    process.sendMouse(WebBannerProcess::MouseAction::Release, QPointF(5, 5), Qt::LeftButton, Qt::NoButton);
    ASSERT_TRUE(testsupport::waitUntil([&] { return loads == 2; }, 30000));
    ASSERT_EQ(links.size(), 1);
    EXPECT_EQ(links.first(), QStringLiteral("https://example.org/0"));
    EXPECT_EQ(process.refusedLinks(), 599);
    EXPECT_TRUE(process.isRunning());
    process.stop();
}
