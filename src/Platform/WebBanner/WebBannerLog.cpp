#include "WebBannerLog.h"

#include "Platform/Console.h"

#include <QElapsedTimer>
#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcBanner)

WebBannerLog::WebBannerLog(Writer writer, Clock clock)
    : m_writer(std::move(writer))
    , m_clock(std::move(clock))
{
    if (!m_writer)
        m_writer = [](const QString &text) { qCInfo(lcBanner, "%s", qPrintable(text)); };
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->elapsed(); };
    }
}

void WebBannerLog::appendBytes(const QByteArray &bytes)
{
    qsizetype from = 0;
    while (from < bytes.size()) {
        const qsizetype end = bytes.indexOf('\n', from);
        const qsizetype stop = end < 0 ? bytes.size() : end;
        // A line is kept only up to its limit (in bytes of UTF-8, a few more than characters).
        if (!m_skippingLongLine)
            m_partial.append(bytes.constData() + from, qMin<qsizetype>(stop - from, MaxLineChars * 4 - m_partial.size()));
        if (end < 0) {
            if (m_partial.size() >= MaxLineChars * 4 && !m_skippingLongLine) {
                line(QStringLiteral("web host: ") + QString::fromUtf8(m_partial));
                m_partial.clear();
                m_skippingLongLine = true;
            }
            break;
        }
        if (!m_skippingLongLine)
            line(QStringLiteral("web host: ") + QString::fromUtf8(m_partial));
        m_partial.clear();
        m_skippingLongLine = false;
        from = end + 1;
    }
}

void WebBannerLog::line(const QString &text)
{
    const qint64 now = m_clock();
    if (m_windowStart < 0 || now - m_windowStart >= WindowMs) {
        m_windowStart = now;
        m_linesInWindow = 0;
        if (m_leftOut > 0) {
            ++m_linesInWindow;
            write(QStringLiteral("banner: %1 more lines from the web host left out").arg(std::exchange(m_leftOut, 0)));
        }
    }
    if (m_linesInWindow >= LinesPerWindow) {
        ++m_leftOut;
        ++m_leftOutTotal;
        return;
    }
    ++m_linesInWindow;
    const QString shown = text.size() > MaxLineChars ? text.left(MaxLineChars) + QStringLiteral("…") : text;
    write(shown);
}

void WebBannerLog::write(const QString &text)
{
    m_writer(Console::safeText(text));
}
