#include "TypedText.h"

#include "Models/AppError.h"

#include <QTextBoundaryFinder>

namespace typedtext {

namespace {

bool isSpaceOrTab(QChar c)
{
    return c == QLatin1Char('\t') || c.category() == QChar::Separator_Space;
}

// Whether a character counts as a number: its first code point decides.
bool isNumber(const QString &character)
{
    if (character.isEmpty())
        return false;
    return QChar::isNumber(character.at(0).isHighSurrogate() && character.size() > 1
                               ? QChar::surrogateToUcs4(character.at(0), character.at(1))
                               : char32_t(character.at(0).unicode()));
}

} // namespace

QString trimmed(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isSpaceOrTab(text.at(begin)))
        ++begin;
    while (end > begin && isSpaceOrTab(text.at(end - 1)))
        --end;
    return text.mid(begin, end - begin);
}

QStringList characters(const QString &text)
{
    QStringList out;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype at = finder.position();
        if (at > start)
            out.append(text.mid(start, at - start));
        start = at;
    }
    return out;
}

int characterCount(const QString &text)
{
    return int(characters(text).size());
}

QString numericPrefix(const QString &text, int limit)
{
    QString out;
    int kept = 0;
    for (const QString &character : characters(text)) {
        if (kept >= limit)
            break;
        if (isNumber(character)) {
            out += character;
            ++kept;
        }
    }
    return out;
}

QString describe(const std::exception_ptr &error)
{
    try {
        std::rethrow_exception(error);
    } catch (const AppError &e) {
        return e.errorDescription();
    } catch (const std::exception &e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
    }
    return QStringLiteral("خطای ناشناخته");
}

} // namespace typedtext
