#include "Platform/Console.h"
#include "support/PlaybackTestSupport.h"

#include <QList>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <cstdio>
#include <thread>
#include <vector>

// The tap writes its lines on an audio thread while the GUI thread writes others; each line
// must come out whole, also next to output that does not go through the console.
TEST(Console, LinesOfManyThreadsComeOutWhole)
{
    constexpr int Lines = 3000;
    QList<QByteArray> lines;
    {
        testsupport::StdoutCapture capture;
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < Lines; ++i)
                    Console::line(QStringLiteral("[EqTap] thread %1 line %2").arg(t).arg(i));
            });
        }
        threads.emplace_back([] {
            for (int i = 0; i < Lines; ++i) {
                std::fputs("[other] plain line\n", stdout);
                std::fflush(stdout);
            }
        });
        for (std::thread &thread : threads)
            thread.join();
        lines = capture.text().split('\n');
    }
    const QRegularExpression consoleLine(QStringLiteral("^\\[EqTap\\] thread [0-2] line [0-9]+$"));
    int console = 0;
    int other = 0;
    QList<QByteArray> broken;
    for (const QByteArray &line : std::as_const(lines)) {
        if (line == "[other] plain line")
            ++other;
        else if (consoleLine.match(QString::fromUtf8(line)).hasMatch())
            ++console;
        else if (!line.isEmpty())
            broken.append(line);
    }
    EXPECT_TRUE(broken.isEmpty()) << broken.size() << " broken lines, e.g. " << broken.value(0).toStdString();
    EXPECT_EQ(console, 3 * Lines);
    EXPECT_EQ(other, Lines);
}

// Titles come from the server: none may forge a console line or drive the terminal.
TEST(Console, ControlCharactersAreWrittenEscaped)
{
    const struct {
        QString in;
        QString out;
    } cases[] = {
        {QStringLiteral("plain آهنگ"), QStringLiteral("plain آهنگ")},
        {QStringLiteral("a\n[RadioPlayer] forged"), QStringLiteral("a\\n[RadioPlayer] forged")},
        {QStringLiteral("over\rwrite"), QStringLiteral("over\\rwrite")},
        {QStringLiteral("\x1b[31mred\x1b[0m"), QStringLiteral("\\x1b[31mred\\x1b[0m")},
        {QString(QChar(0)) + u'z', QStringLiteral("\\x00z")},
        {QStringLiteral("tab\tdel\x7f"), QStringLiteral("tab\\tdel\\x7f")},
        {QString(QChar(0x9b)) + QChar(0x2028), QStringLiteral("\\u{009b}\\u{2028}")},
    };
    for (const auto &c : cases)
        EXPECT_EQ(Console::safeText(c.in), c.out) << c.out.toStdString();

    QByteArray written;
    {
        testsupport::StdoutCapture capture;
        Console::line(QStringLiteral("[RadioPlayer] live metadata: x\n[RadioPlayer] item failed: y\r"));
        written = capture.text();
    }
    EXPECT_EQ(written, "[RadioPlayer] live metadata: x\\n[RadioPlayer] item failed: y\\r\n");
}
