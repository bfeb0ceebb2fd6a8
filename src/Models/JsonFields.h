#pragma once

#include "Models/AppError.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <optional>
#include <type_traits>

// Strict reading of backend JSON. Every record decoder goes through these helpers, so the rules are
// the same everywhere: an absent key or a JSON null gives none; a present value of the wrong JSON
// type throws DecodingError naming the place ("data.playlists[2].id: expected an integer, found a
// string"); integers must be whole numbers inside the 64-bit range (12.0 is 12, 12.5 and 1e30 are
// not integers); a floating-point field also takes an integer. Keys a record does not ask for are
// ignored.
namespace JsonFields {

// Parses a whole reply body. Any JSON value is accepted at the top level (object, array, string,
// number, true/false, null); anything else (empty body, HTML, truncated or invalid UTF-8 text, a
// document nested too deeply) throws DecodingError.
QJsonValue parse(const QByteArray &body);

// The JSON type of a value as a word for error details: "an object", "a string", "null", ...
QString typeName(const QJsonValue &value);

// Conversions of one value that is known to be present. They return none for a value of the
// wrong type instead of throwing, so callers can build lenient decoders on them too.
std::optional<qint64> integerValue(const QJsonValue &value);
std::optional<double> numberValue(const QJsonValue &value);

[[noreturn]] void fail(const QString &where, const QString &expected, const QJsonValue &found);

// A decoder of one element: T(const QJsonValue &value, const QString &where), throwing
// DecodingError. Records provide theirs as a static fromJson with that signature.
template <typename Decode>
using DecodedType = std::invoke_result_t<Decode, const QJsonValue &, const QString &>;

// Reads the fields of one JSON object.
class Reader
{
public:
    // Throws DecodingError unless `value` is an object. `where` names it in error details; empty
    // for the top level of a reply.
    Reader(const QJsonValue &value, QString where);

    const QJsonObject &object() const { return m_object; }
    const QString &where() const { return m_where; }
    QString where(const QString &key) const;

    // True when the key is there with a value other than null.
    bool has(const QString &key) const;

    std::optional<QString> string(const QString &key) const;
    std::optional<qint64> integer(const QString &key) const;
    std::optional<double> number(const QString &key) const;
    std::optional<bool> boolean(const QString &key) const;
    std::optional<QJsonObject> object(const QString &key) const;
    std::optional<QJsonArray> array(const QString &key) const;

    // Required fields: absent and null fail like a wrong type.
    qint64 requiredInteger(const QString &key) const;
    QString requiredString(const QString &key) const;

    // A string that never fails the record: a value of any other type gives none.
    std::optional<QString> lenientString(const QString &key) const;

    // A nested record, decoded with `decode` (see DecodedType).
    template <typename Decode>
    auto record(const QString &key, Decode decode) const -> std::optional<DecodedType<Decode>>
    {
        if (!has(key))
            return std::nullopt;
        return decode(m_object.value(key), where(key));
    }

    // An array whose every element is decoded with `decode`; one bad element fails the whole.
    template <typename Decode>
    auto list(const QString &key, Decode decode) const -> std::optional<QList<DecodedType<Decode>>>
    {
        const std::optional<QJsonArray> items = array(key);
        if (!items)
            return std::nullopt;
        return listOf(*items, where(key), decode);
    }

    template <typename Decode>
    static auto listOf(const QJsonArray &items, const QString &where, Decode decode)
        -> QList<DecodedType<Decode>>
    {
        QList<DecodedType<Decode>> out;
        out.reserve(items.size());
        for (qsizetype i = 0; i < items.size(); ++i)
            out.append(decode(items.at(i), where + QLatin1Char('[') + QString::number(i) + QLatin1Char(']')));
        return out;
    }

private:
    QJsonObject m_object;
    QString m_where;
};

// Decodes a whole reply body into a record type that has
// `static T fromJson(const QJsonValue &, const QString &where)`.
template <typename T>
T decodeReply(const QByteArray &body)
{
    return T::fromJson(parse(body), QString());
}

} // namespace JsonFields
