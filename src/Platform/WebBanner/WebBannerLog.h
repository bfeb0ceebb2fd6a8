#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// What the banner's web host writes to the log (its standard error, and stray lines on its output)
// on its way to the application's log: cut into lines of at most MaxLineChars, control characters
// escaped (Console::safeText), and at most LinesPerWindow lines in each WindowMs; the lines left
// out are counted and the count is written once the next window opens. A page cannot flood the
// log or drive the terminal through it.
//
// GUI thread only.
class WebBannerLog
{
public:
    static constexpr int MaxLineChars = 300;
    static constexpr int LinesPerWindow = 20;
    static constexpr qint64 WindowMs = 10'000;

    using Writer = std::function<void(const QString &line)>;
    using Clock = std::function<qint64()>;
    // By default lines go to the "melodrift.banner" logging category, timed by a monotonic clock.
    explicit WebBannerLog(Writer writer = {}, Clock clock = {});

    // Bytes of the host's standard error, in any chunks: each finished line is logged as
    // "web host: <line>".
    void appendBytes(const QByteArray &bytes);
    // One whole line, as given (escaped, shortened and counted like the others).
    void line(const QString &text);

    qint64 linesLeftOut() const { return m_leftOutTotal; }

private:
    void write(const QString &text);

    Writer m_writer;
    Clock m_clock;
    QByteArray m_partial;
    bool m_skippingLongLine = false;
    qint64 m_windowStart = -1;
    int m_linesInWindow = 0;
    qint64 m_leftOut = 0;
    qint64 m_leftOutTotal = 0;
};
