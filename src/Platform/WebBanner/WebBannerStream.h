#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <QList>
#include <QSize>
#include <QString>

// What the banner's web host (melodrift-web-banner) writes on its standard output, read
// incrementally. The stream is lines of text, each frame line followed by the frame's pixels:
//     frame <width> <height>\n<width * height * 4 bytes, premultiplied ARGB32 in native order>
//     link <address, percent-encoded>\n      a link the page wants opened in a new window
//     loaded ok\n | loaded failed\n          the page finished loading
//     focusout next\n | focusout previous\n  keyboard focus left the page's last or first link
// Anything else is a line for the log. Memory stays bounded: a line longer than MaxLineBytes or a
// frame header beyond MaxSide or MaxFrameBytes breaks the stream (the reader stops there); a
// frame of another size than the one asked for (a resize in flight) is skipped, not kept.
class WebBannerStream
{
public:
    static constexpr qsizetype MaxLineBytes = 16 * 1024;
    static constexpr int MaxSide = 8192;
    static constexpr qint64 MaxFrameBytes = 64 * 1024 * 1024;

    struct Message
    {
        enum Kind { Frame, Link, Loaded, FocusOut, Log };
        Kind kind = Log;
        QImage frame;     // Frame
        QString text;     // Link: the address; Log: the line
        bool flag = false; // Loaded: succeeded; FocusOut: forward (next)
    };

    // The size in device pixels that frames must have; frames of any other size are skipped.
    void setExpectedSize(QSize size) { m_expected = size; }
    QSize expectedSize() const { return m_expected; }

    // Reads the next bytes and appends the messages they complete. False once the stream is
    // broken (see error()); nothing more is read after that.
    bool feed(QByteArrayView bytes, QList<Message> &messages);
    // The same, stopping once `maxMessages` messages have been appended: returns how many of
    // the bytes were read (the rest is for a later call).
    qsizetype feedSome(QByteArrayView bytes, QList<Message> &messages, qsizetype maxMessages);
    bool broken() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Bytes held for an unfinished line or frame.
    qint64 bufferedBytes() const;

private:
    bool takeLine(const QByteArray &line, QList<Message> &messages);
    bool beginFrame(QByteArrayView arguments);

    enum class State { Line, Frame, Skip };
    State m_state = State::Line;
    QByteArray m_line;
    QImage m_frame;
    qint64 m_filled = 0;
    qint64 m_remaining = 0;
    QSize m_expected;
    QString m_error;
};
