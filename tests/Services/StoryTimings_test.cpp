#include "Services/StoryVideoRenderer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Renderer = StoryVideoRenderer;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

LyricsLine line(std::optional<double> time, std::optional<QString> text = QStringLiteral("x"),
                std::optional<QString> translation = std::nullopt)
{
    return LyricsLine{time, std::move(text), std::move(translation)};
}

StoryConfig config(QList<LyricsLine> lines, int start, int end, double duration = 15)
{
    StoryConfig c;
    c.lines = std::move(lines);
    c.startLine = start;
    c.endLine = end;
    c.duration = duration;
    return c;
}

QList<LyricsLine> timedLines(int count)
{
    QList<LyricsLine> lines;
    for (int i = 0; i < count; ++i)
        lines.append(line(10.0 + i, QStringLiteral("line %1").arg(i)));
    return lines;
}

} // namespace

TEST(StoryTimings, FrameCountFollowsTheClampedDuration)
{
    const struct {
        double duration;
        int frames;
    } table[] = {{15, 360}, {2.5, 72}, {NaN, 72}, {75, 1440}, {Inf, 1440}, {3.01, 72}, {3, 72}, {60, 1440},
                 {-1, 72}, {10.99, 263}};
    for (const auto &row : table)
        EXPECT_EQ(Renderer::frameCount(row.duration), row.frames) << row.duration;
    EXPECT_DOUBLE_EQ(Renderer::clampedDuration(1), 3);
    EXPECT_DOUBLE_EQ(Renderer::clampedDuration(NaN), 3);
    EXPECT_DOUBLE_EQ(Renderer::clampedDuration(90), 60);
    EXPECT_DOUBLE_EQ(Renderer::clampedDuration(16.5), 16.5);
}

TEST(StoryTimings, RangeIsClampedIntoTheLines)
{
    const struct {
        int start, end;
        int first;
        qsizetype count;
    } table[] = {{-2, 99, 0, 10}, {5, 3, 5, 1}, {12, 20, 9, 1}, {2, 4, 2, 3}, {0, 0, 0, 1}};
    for (const auto &row : table) {
        const auto timings = Renderer::computeLineTimings(config(timedLines(10), row.start, row.end));
        EXPECT_EQ(timings.firstLineIndex, row.first) << row.start << ".." << row.end;
        EXPECT_EQ(timings.starts.size(), row.count) << row.start << ".." << row.end;
    }
    EXPECT_TRUE(Renderer::computeLineTimings(config({}, 0, 3)).starts.isEmpty());
}

TEST(StoryTimings, TimedLinesStartAtTheirOffsetFromTheFirst)
{
    auto timings = Renderer::computeLineTimings(config({line(30.0), line(33.5), line(31.0)}, 0, 2));
    EXPECT_EQ(timings.starts, (QList<double>{0, 3.5, 1.0}));
    timings = Renderer::computeLineTimings(config({line(30.0), line(25.0)}, 0, 1));
    EXPECT_EQ(timings.starts, (QList<double>{0, 0}));
    // Offsets are not scaled to the video: a range longer than the video keeps its times.
    timings = Renderer::computeLineTimings(config({line(0.0), line(100.0)}, 0, 1, 10));
    EXPECT_EQ(timings.starts, (QList<double>{0, 100}));
}

TEST(StoryTimings, UntimedRangesShareTheVideoByTheirWeights)
{
    // Weights: 2 characters → 6; 10 + 5 → 15; no text → 6. Total 27 over 10 s.
    const QList<LyricsLine> lines{line(std::nullopt, QStringLiteral("ab")),
                                  line(3.0, QStringLiteral("abcdefghij"), QStringLiteral("vwxyz")),
                                  line(std::nullopt, std::nullopt)};
    auto timings = Renderer::computeLineTimings(config(lines, 0, 2, 10));
    ASSERT_EQ(timings.starts.size(), 3);
    EXPECT_DOUBLE_EQ(timings.starts[0], 0);
    EXPECT_DOUBLE_EQ(timings.starts[1], 10.0 * 6 / 27);
    EXPECT_DOUBLE_EQ(timings.starts[2], 10.0 * 21 / 27);
    // Grapheme clusters count once: an e with a combining accent and a family emoji are two.
    const QList<LyricsLine> clusters{line(std::nullopt, QStringLiteral("e\u0301abcde") + QString::fromUtf8("👨‍👩‍👧")),
                                     line(std::nullopt, QStringLiteral("x"))};
    timings = Renderer::computeLineTimings(config(clusters, 0, 1, NaN));
    EXPECT_DOUBLE_EQ(timings.starts[1], 3.0 * 7 / 13); // 7 clusters of 13, over the 3 s a NaN gives
}

TEST(StoryTimings, CurrentLineAtItsBoundaries)
{
    const QList<LyricsLine> lines{line(1.0, QStringLiteral("zero")), line(5.0, QStringLiteral("one"), QStringLiteral("tr")),
                                  line(8.0, std::nullopt, QStringLiteral("only translation"))};
    const StoryConfig c = config(lines, 0, 2);
    const auto timings = Renderer::computeLineTimings(c);
    const struct {
        double t;
        std::optional<QString> text;
    } table[] = {{0, QStringLiteral("zero")}, {3.999, QStringLiteral("zero")}, {4.0, QStringLiteral("one")},
                 {6.99, QStringLiteral("one")}, {7.0, QString()}, {500, QString()}, {-0.1, std::nullopt},
                 {NaN, std::nullopt}, {Inf, QString()}};
    for (const auto &row : table) {
        const auto current = Renderer::currentLine(timings, c, row.t);
        ASSERT_EQ(current.has_value(), row.text.has_value()) << row.t;
        if (current) {
            EXPECT_EQ(current->text, *row.text) << row.t;
        }
    }
    const auto last = Renderer::currentLine(timings, c, 7.5);
    EXPECT_DOUBLE_EQ(last->start, 7.0);
    EXPECT_EQ(last->translation, QStringLiteral("only translation"));
    // A range further down: entries map to lines from the range's first index.
    const StoryConfig later = config(timedLines(10), 4, 6);
    EXPECT_EQ(Renderer::currentLine(Renderer::computeLineTimings(later), later, 1.5)->text, QStringLiteral("line 5"));
}
