#include "WebBannerStream.h"

#include <QUrl>

#include <cstring>
#include <limits>

using namespace Qt::StringLiterals;

bool WebBannerStream::feed(QByteArrayView bytes, QList<Message> &messages)
{
    feedSome(bytes, messages, std::numeric_limits<qsizetype>::max());
    return !broken();
}

qsizetype WebBannerStream::feedSome(QByteArrayView bytes, QList<Message> &messages, qsizetype maxMessages)
{
    const qsizetype total = bytes.size();
    const qsizetype limit = maxMessages > std::numeric_limits<qsizetype>::max() - messages.size()
        ? std::numeric_limits<qsizetype>::max() : messages.size() + maxMessages;
    while (!bytes.isEmpty() && !broken() && messages.size() < limit) {
        if (m_state == State::Line) {
            const qsizetype end = bytes.indexOf('\n');
            const qsizetype take = end < 0 ? bytes.size() : end;
            if (m_line.size() + take > MaxLineBytes) {
                m_error = u"a line longer than %1 bytes"_s.arg(MaxLineBytes);
                break;
            }
            m_line.append(bytes.first(take));
            if (end < 0) {
                bytes = {};
                break;
            }
            bytes = bytes.sliced(end + 1);
            const QByteArray line = std::exchange(m_line, QByteArray());
            if (!takeLine(line, messages))
                break;
            continue;
        }
        const qint64 take = qMin<qint64>(m_remaining, bytes.size());
        if (m_state == State::Frame) {
            std::memcpy(m_frame.bits() + m_filled, bytes.data(), size_t(take));
            m_filled += take;
        }
        m_remaining -= take;
        bytes = bytes.sliced(take);
        if (m_remaining == 0) {
            if (m_state == State::Frame)
                messages.append({Message::Frame, std::exchange(m_frame, QImage()), {}, false});
            m_state = State::Line;
        }
    }
    return total - bytes.size();
}

qint64 WebBannerStream::bufferedBytes() const
{
    return m_line.size() + (m_state == State::Frame ? m_frame.sizeInBytes() : 0);
}

bool WebBannerStream::takeLine(const QByteArray &line, QList<Message> &messages)
{
    const qsizetype space = line.indexOf(' ');
    const QByteArrayView word = space < 0 ? QByteArrayView(line) : QByteArrayView(line).first(space);
    const QByteArrayView rest = space < 0 ? QByteArrayView() : QByteArrayView(line).sliced(space + 1);
    if (word == "frame")
        return beginFrame(rest);
    if (word == "link")
        messages.append({Message::Link, {}, QUrl::fromPercentEncoding(rest.toByteArray()), false});
    else if (word == "loaded")
        messages.append({Message::Loaded, {}, {}, rest == "ok"});
    else if (word == "focusout")
        messages.append({Message::FocusOut, {}, {}, rest == "next"});
    else
        messages.append({Message::Log, {}, QString::fromUtf8(line), false});
    return true;
}

bool WebBannerStream::beginFrame(QByteArrayView arguments)
{
    const QList<QByteArray> parts = arguments.toByteArray().split(' ');
    bool wOk = false;
    bool hOk = false;
    const int width = parts.size() == 2 ? parts[0].toInt(&wOk) : 0;
    const int height = parts.size() == 2 ? parts[1].toInt(&hOk) : 0;
    if (!wOk || !hOk || width <= 0 || height <= 0 || width > MaxSide || height > MaxSide
        || qint64(width) * height * 4 > MaxFrameBytes) {
        m_error = u"a malformed frame header: %1"_s.arg(QString::fromUtf8(arguments.first(qMin<qsizetype>(64, arguments.size())).toByteArray()));
        return false;
    }
    m_remaining = qint64(width) * height * 4;
    if (QSize(width, height) != m_expected) {
        // A frame drawn before the last resize arrived: its bytes are passed over.
        m_state = State::Skip;
        return true;
    }
    m_frame = QImage(width, height, QImage::Format_ARGB32_Premultiplied);
    if (m_frame.isNull()) {
        m_error = u"no memory for a %1 x %2 frame"_s.arg(width).arg(height);
        return false;
    }
    m_filled = 0;
    m_state = State::Frame;
    return true;
}
