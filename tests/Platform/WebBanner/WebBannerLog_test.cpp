#include "Platform/WebBanner/WebBannerLog.h"

#include <QStringList>

#include <gtest/gtest.h>

// The banner web host's log lines on their way to the application's log.

namespace {

struct Recorder {
    QStringList lines;
    qint64 now = 0;
    WebBannerLog log{[this](const QString &line) { lines.append(line); }, [this] { return now; }};
};

} // namespace

TEST(WebBannerLog, LinesAreEscapedCutAndKeptWhole)
{
    Recorder r;
    // In pieces, as a pipe delivers them; a control sequence cannot reach the terminal.
    r.log.appendBytes("first \x1b[31mred");
    r.log.appendBytes("\x1b[0m line\r\nsecond\n");
    r.log.appendBytes("unfinished");
    ASSERT_EQ(r.lines.size(), 2);
    EXPECT_EQ(r.lines[0], QStringLiteral("web host: first \\x1b[31mred\\x1b[0m line\\r"));
    EXPECT_EQ(r.lines[1], QStringLiteral("web host: second"));

    // A line longer than the limit is written once, shortened, however long it goes on.
    r.lines.clear();
    r.log.appendBytes("\n");
    r.lines.clear();
    const QByteArray endless(WebBannerLog::MaxLineChars * 4 + 100, 'x');
    for (int i = 0; i < 50; ++i)
        r.log.appendBytes(endless);
    r.log.appendBytes("tail\nafter\n");
    ASSERT_EQ(r.lines.size(), 2);
    EXPECT_LE(r.lines[0].size(), WebBannerLog::MaxLineChars + 1);
    EXPECT_EQ(r.lines[1], QStringLiteral("web host: after"));
}

TEST(WebBannerLog, AFloodIsCutToTheLimitAndCounted)
{
    Recorder r;
    for (int i = 0; i < 1000; ++i)
        r.log.line(QStringLiteral("line %1").arg(i));
    ASSERT_EQ(r.lines.size(), WebBannerLog::LinesPerWindow);
    EXPECT_EQ(r.lines.last(), QStringLiteral("line %1").arg(WebBannerLog::LinesPerWindow - 1));
    EXPECT_EQ(r.log.linesLeftOut(), 1000 - WebBannerLog::LinesPerWindow);

    // The next window says how many were left out, then lets lines through again.
    r.now += WebBannerLog::WindowMs;
    r.log.line(QStringLiteral("later"));
    ASSERT_EQ(r.lines.size(), WebBannerLog::LinesPerWindow + 2);
    EXPECT_TRUE(r.lines[WebBannerLog::LinesPerWindow].contains(QString::number(1000 - WebBannerLog::LinesPerWindow)));
    EXPECT_EQ(r.lines.last(), QStringLiteral("later"));
}
