#pragma once

#include <QString>
#include <QStringList>

#include <exception>

// Rules for what the listener types into the account forms.
namespace typedtext {

// `text` without the spaces (of every width) and tabs at either end; line breaks stay.
QString trimmed(const QString &text);
// The user-perceived characters (grapheme clusters) of `text`, in order.
QStringList characters(const QString &text);
// How many user-perceived characters `text` has.
int characterCount(const QString &text);
// Keeps the characters that are numbers (any script's digits, fractions, Roman numerals) as
// typed, at most `limit` of them.
QString numericPrefix(const QString &text, int limit);
// The text an error shows the listener.
QString describe(const std::exception_ptr &error);

} // namespace typedtext
