#include "SecureFieldModel.h"

#include <QClipboard>
#include <QGuiApplication>

#include <algorithm>

SecureFieldModel::SecureFieldModel(QObject *parent)
    : QObject(parent)
{
}

void SecureFieldModel::setPassword(const QString &password)
{
    if (m_password == password)
        return;
    m_password = password;
    emit passwordChanged();
}

int SecureFieldModel::replace(int start, int end, const QString &text)
{
    const int size = length();
    const int from = std::clamp(std::min(start, end), 0, size);
    const int to = std::clamp(std::max(start, end), 0, size);
    QString clean;
    clean.reserve(text.size());
    for (QChar c : text) {
        if (!c.isNull() && c.category() != QChar::Other_Control && c != QChar::LineSeparator
            && c != QChar::ParagraphSeparator)
            clean.append(c);
    }
    if (from == to && clean.isEmpty())
        return from;
    QString next = m_password;
    next.replace(from, to - from, clean);
    setPassword(next);
    return from + int(clean.size());
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
