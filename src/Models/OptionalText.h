#pragma once

#include <QString>

#include <optional>
#include <stdexcept>

// A text that may be absent, as std::optional<QString> is, in the space of one QString: absence
// is the null string, and a present text is never null (an empty one is the shared empty text).
// Catalogue records hold many of these; the plain optional spends eight more bytes on each.
// Reads like std::optional<QString> and converts to and from it.
class OptionalText
{
public:
    OptionalText() = default;
    OptionalText(std::nullopt_t) {}
    OptionalText(const QString &text) : m_text(present(text)) {}
    OptionalText(QString &&text) : m_text(present(std::move(text))) {}
    OptionalText(const std::optional<QString> &text)
        : m_text(text ? present(*text) : QString())
    {
    }
    OptionalText(std::optional<QString> &&text)
        : m_text(text ? present(std::move(*text)) : QString())
    {
    }

    operator std::optional<QString>() const
    {
        return has_value() ? std::optional<QString>(m_text) : std::nullopt;
    }

    bool has_value() const { return !m_text.isNull(); }
    explicit operator bool() const { return has_value(); }
    // Present texts only, as with std::optional.
    const QString &operator*() const { return m_text; }
    const QString *operator->() const { return &m_text; }
    const QString &value() const
    {
        if (!has_value())
            throw std::bad_optional_access();
        return m_text;
    }
    QString value_or(const QString &fallback) const { return has_value() ? m_text : fallback; }
    void reset() { m_text = QString(); }

    friend bool operator==(const OptionalText &a, const OptionalText &b)
    {
        return a.has_value() == b.has_value() && a.m_text == b.m_text;
    }
    friend bool operator==(const OptionalText &a, const QString &b) { return a.has_value() && a.m_text == b; }
    friend bool operator==(const OptionalText &a, const char *b) { return a == QString::fromUtf8(b); }
    friend bool operator==(const OptionalText &a, std::nullopt_t) { return !a.has_value(); }
    friend bool operator==(const OptionalText &a, const std::optional<QString> &b)
    {
        return b ? a == *b : !a.has_value();
    }

private:
    static QString present(QString text)
    {
        if (text.isNull())
            return QStringLiteral("");
        return text;
    }

    QString m_text;
};
