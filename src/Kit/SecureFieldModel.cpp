#include "SecureFieldModel.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QTextBoundaryFinder>

#include <algorithm>

SecureFieldModel::SecureFieldModel(QObject *parent)
    : QObject(parent)
{
}

namespace {

QList<int> graphemeBounds(const QString &text)
{
    QList<int> bounds{0};
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        bounds.append(int(at));
    return bounds;
}

// `text` without control characters, line and paragraph separators and unpaired surrogates.
QString cleaned(const QString &text)
{
    QString clean;
    clean.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            clean.append(c);
            clean.append(text[++i]);
        } else if (!c.isSurrogate() && !c.isNull() && c.category() != QChar::Other_Control
                   && c != QChar::LineSeparator && c != QChar::ParagraphSeparator) {
            clean.append(c);
        }
    }
    return clean;
}

} // namespace

void SecureFieldModel::setPassword(const QString &password)
{
    if (m_password == password)
        return;
    m_password = password;
    m_bounds = graphemeBounds(m_password);
    emit passwordChanged();
}

int SecureFieldModel::offsetOf(int index) const
{
    return m_bounds[std::clamp(index, 0, length())];
}

int SecureFieldModel::replace(int start, int end, const QString &text)
{
    const int size = length();
    const int from = std::clamp(std::min(start, end), 0, size);
    const int to = std::clamp(std::max(start, end), 0, size);
    const QString clean = cleaned(text);
    if (from == to && clean.isEmpty())
        return from;
    const int head = offsetOf(from);
    QString next = m_password;
    next.replace(head, offsetOf(to) - head, clean);
    setPassword(next);
    // What was typed may have joined the character before it (a combining mark): the cursor goes
    // after the character that holds the end of the insertion.
    const int inserted = head + int(clean.size());
    return int(std::lower_bound(m_bounds.cbegin(), m_bounds.cend(), inserted) - m_bounds.cbegin());
}

int SecureFieldModel::paste(int start, int end)
{
    const QClipboard *clipboard = QGuiApplication::clipboard();
    return replace(start, end, clipboard ? clipboard->text() : QString());
}

int SecureFieldModel::absorb(const QString &shown)
{
    const QString old = mask();
    // The unchanged head and tail; what lies between was replaced.
    qsizetype head = 0;
    const qsizetype common = std::min(old.size(), shown.size());
    while (head < common && old[head] == shown[head])
        ++head;
    qsizetype tail = 0;
    while (tail < common - head && old[old.size() - 1 - tail] == shown[shown.size() - 1 - tail])
        ++tail;
    const QString inserted = shown.mid(head, shown.size() - head - tail);
    return replace(int(head), int(old.size() - tail), inserted);
}
