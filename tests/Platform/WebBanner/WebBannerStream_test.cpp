#include "Platform/WebBanner/WebBannerStream.h"

#include <gtest/gtest.h>

// Reading the banner web host's output: frames, links and events, and what breaks the stream.

namespace {

using Message = WebBannerStream::Message;

QByteArray frameBytes(int width, int height, QRgb pixel)
{
    QByteArray bytes = "frame " + QByteArray::number(width) + ' ' + QByteArray::number(height) + '\n';
    for (int i = 0; i < width * height; ++i)
        bytes.append(reinterpret_cast<const char *>(&pixel), 4);
    return bytes;
}

} // namespace

TEST(WebBannerStream, ReadsFramesLinksAndEventsInAnyChunks)
{
    const QByteArray stream = "loaded ok\n" + frameBytes(3, 2, 0xff112233) + "link https%3A%2F%2Fexample.org%2Fa%0Ab\n"
        + frameBytes(5, 5, 0xff000000) + "focusout next\nsome log line\nloaded failed\n";
    for (const int chunk : {1, 7, 4096}) {
        SCOPED_TRACE(chunk);
        WebBannerStream reader;
        reader.setExpectedSize(QSize(3, 2));
        QList<Message> messages;
        for (qsizetype at = 0; at < stream.size(); at += chunk)
            ASSERT_TRUE(reader.feed(QByteArrayView(stream).sliced(at, qMin<qsizetype>(chunk, stream.size() - at)), messages));
        // The 5 x 5 frame (not the size asked for) is passed over.
        ASSERT_EQ(messages.size(), 6);
        EXPECT_TRUE(messages[0].kind == Message::Loaded && messages[0].flag);
        ASSERT_EQ(messages[1].kind, Message::Frame);
        EXPECT_EQ(messages[1].frame.size(), QSize(3, 2));
        EXPECT_EQ(messages[1].frame.pixel(2, 1), 0xff112233);
        // A line break in the address stays inside it.
        EXPECT_TRUE(messages[2].kind == Message::Link && messages[2].text == QStringLiteral("https://example.org/a\nb"));
        EXPECT_TRUE(messages[3].kind == Message::FocusOut && messages[3].flag);
        EXPECT_TRUE(messages[4].kind == Message::Log && messages[4].text == QStringLiteral("some log line"));
        EXPECT_TRUE(messages[5].kind == Message::Loaded && !messages[5].flag);
        EXPECT_EQ(reader.bufferedBytes(), 0);
    }
}

TEST(WebBannerStream, ABadHeaderOrAnEndlessLineBreaksTheStreamWithoutBuffering)
{
    const QByteArray endless(WebBannerStream::MaxLineBytes + 10, 'x');
    for (const QByteArray &bad : {QByteArray("frame 10\n"), QByteArray("frame ten 10\n"), QByteArray("frame -1 10\n"),
                                  QByteArray("frame 0 10\n"), QByteArray("frame 9000 1\n"),
                                  QByteArray("frame 8000 8000\n"), QByteArray("frame 99999999999 1\n"), endless}) {
        SCOPED_TRACE(bad.left(30).toStdString());
        WebBannerStream reader;
        reader.setExpectedSize(QSize(8000, 8000));
        QList<Message> messages;
        EXPECT_FALSE(reader.feed(bad + "link https://example.org/\n", messages));
        EXPECT_TRUE(reader.broken());
        EXPECT_TRUE(messages.isEmpty());
        EXPECT_LE(reader.bufferedBytes(), WebBannerStream::MaxLineBytes);
        // Nothing more is read.
        EXPECT_FALSE(reader.feed("loaded ok\n", messages));
        EXPECT_TRUE(messages.isEmpty());
    }
}

TEST(WebBannerStream, ReadsAtMostTheMessagesAskedForAndTheRestLater)
{
    QByteArray stream;
    for (int i = 0; i < 300; ++i)
        stream += "link https%3A%2F%2Fexample.org%2F" + QByteArray::number(i) + '\n';
    stream += frameBytes(2, 2, 0xff445566) + "loaded ok\n";
    WebBannerStream reader;
    reader.setExpectedSize(QSize(2, 2));
    QList<Message> all;
    QByteArrayView rest(stream);
    int batches = 0;
    while (!rest.isEmpty()) {
        QList<Message> batch;
        const qsizetype used = reader.feedSome(rest, batch, 64);
        ASSERT_GT(used, 0);
        ASSERT_LE(batch.size(), 64);
        rest = rest.sliced(used);
        all += batch;
        ++batches;
    }
    EXPECT_EQ(batches, 5);
    ASSERT_EQ(all.size(), 302);
    EXPECT_EQ(all[299].text, QStringLiteral("https://example.org/299"));
    EXPECT_EQ(all[300].kind, Message::Frame);
    EXPECT_EQ(all[301].kind, Message::Loaded);
    EXPECT_EQ(reader.bufferedBytes(), 0);
}
