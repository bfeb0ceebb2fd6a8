#pragma once

#include "Models/AppError.h"
#include "Models/OptionalText.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QList>
#include <QString>

#include <concepts>
#include <type_traits>
#include <optional>

// Strict JSON decoding shared by every backend record.
//
// A record decodes itself with `static T fromJson(const QJsonValue &)` and encodes with
// `QJsonObject toJson() const`. The rules: an absent or null optional key gives std::nullopt; a
// present value of the wrong JSON type throws DecodingError for the whole record. Integers are
// JSON numbers with an integral value inside the 64-bit signed range (3.0 counts, 3.5 and 1e30 do
// not). DecodingError::detail() names the key path, e.g. `data[3].track_index: expected an
// integer, found a string`.
namespace json {

template<typename T>
concept Decodable = requires(const QJsonValue &v) {
    { T::fromJson(v) } -> std::same_as<T>;
};

QString typeName(const QJsonValue &value);

// Parses a whole reply body. Anything but a JSON object or array (HTML, truncated text, invalid
// UTF-8, nesting deeper than the parser allows) throws DecodingError.
QJsonDocument parse(const QByteArray &bytes);

// The document's root as a value (object or array), for fromJson().
QJsonValue root(const QJsonDocument &document);

// `value` as an object, else DecodingError naming `what`.
QJsonObject object(const QJsonValue &value, QStringView what);

// Integer value of a number, when it has one (no string parsing).
std::optional<qint64> integerValue(const QJsonValue &value);
// Decimal text with an optional sign and ASCII digits only, within the 64-bit signed range.
std::optional<qint64> parseInteger(QStringView text);

[[noreturn]] void throwWrongType(QLatin1StringView key, const char *expected, const QJsonValue &found);

// Strict accessors: absent or null gives nullopt, a wrong type throws.
std::optional<QString> optionalString(const QJsonObject &object, QLatin1StringView key);
std::optional<qint64> optionalInteger(const QJsonObject &object, QLatin1StringView key);
std::optional<double> optionalDouble(const QJsonObject &object, QLatin1StringView key);
std::optional<bool> optionalBool(const QJsonObject &object, QLatin1StringView key);
QString requiredString(const QJsonObject &object, QLatin1StringView key);

// Re-throws a DecodingError raised inside `key` (or `key[index]`) with that prefix on its detail.
[[noreturn]] void rethrowInside(const DecodingError &error, QLatin1StringView key, qsizetype index = -1);

// An array of records: absent or null gives nullopt; not an array, or any element failing, throws.
template<Decodable T>
std::optional<QList<T>> optionalArray(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    if (!it->isArray())
        throwWrongType(key, "an array", *it);
    const QJsonArray array = it->toArray();
    QList<T> out;
    out.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        try {
            out.append(T::fromJson(array.at(i)));
        } catch (const DecodingError &e) {
            rethrowInside(e, key, i);
        }
    }
    return out;
}

// An optional record under `key`.
template<Decodable T>
std::optional<T> optionalRecord(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    try {
        return T::fromJson(*it);
    } catch (const DecodingError &e) {
        rethrowInside(e, key);
    }
}

template<typename T>
struct IsQList : std::false_type {};
template<typename E>
struct IsQList<QList<E>> : std::true_type {
    using Element = E;
};

// Any supported value type: QString, qint64, double, bool, QJsonValue/QJsonObject/QJsonArray (as
// is), a record, or a QList of any of these. `key` names the value in the error detail.
template<typename T>
T decodeValue(const QJsonValue &value, QLatin1StringView key)
{
    if constexpr (std::is_same_v<T, QString>) {
        if (!value.isString())
            throwWrongType(key, "a string", value);
        return value.toString();
    } else if constexpr (std::is_same_v<T, qint64>) {
        const auto i = integerValue(value);
        if (!i)
            throwWrongType(key, "an integer", value);
        return *i;
    } else if constexpr (std::is_same_v<T, double>) {
        if (!value.isDouble())
            throwWrongType(key, "a number", value);
        return value.toDouble();
    } else if constexpr (std::is_same_v<T, bool>) {
        if (!value.isBool())
            throwWrongType(key, "a boolean", value);
        return value.toBool();
    } else if constexpr (std::is_same_v<T, QJsonValue>) {
        return value;
    } else if constexpr (std::is_same_v<T, QJsonObject>) {
        if (!value.isObject())
            throwWrongType(key, "an object", value);
        return value.toObject();
    } else if constexpr (std::is_same_v<T, QJsonArray>) {
        if (!value.isArray())
            throwWrongType(key, "an array", value);
        return value.toArray();
    } else if constexpr (IsQList<T>::value) {
        if (!value.isArray())
            throwWrongType(key, "an array", value);
        const QJsonArray array = value.toArray();
        T out;
        out.reserve(array.size());
        for (qsizetype i = 0; i < array.size(); ++i) {
            try {
                out.append(decodeValue<typename IsQList<T>::Element>(array.at(i), QLatin1StringView()));
            } catch (const DecodingError &e) {
                rethrowInside(e, key, i);
            }
        }
        return out;
    } else {
        static_assert(Decodable<T>, "no JSON decoding for this type");
        try {
            return T::fromJson(value);
        } catch (const DecodingError &e) {
            if (key.isEmpty())
                throw;
            rethrowInside(e, key);
        }
    }
}

// The value under `key`: absent or null gives nullopt, a wrong type throws.
template<typename T>
std::optional<T> optionalValue(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    return decodeValue<T>(*it, key);
}

// Encodes any type decodeValue() supports.
template<typename T>
QJsonValue encodeValue(const T &value)
{
    if constexpr (std::is_same_v<T, QString> || std::is_same_v<T, qint64> || std::is_same_v<T, double>
                  || std::is_same_v<T, bool> || std::is_same_v<T, QJsonValue>
                  || std::is_same_v<T, QJsonObject> || std::is_same_v<T, QJsonArray>) {
        return QJsonValue(value);
    } else if constexpr (IsQList<T>::value) {
        QJsonArray array;
        for (const auto &element : value)
            array.append(encodeValue(element));
        return array;
    } else {
        return value.toJson();
    }
}

// Encoding: absent optionals are omitted.
inline void put(QJsonObject &object, QLatin1StringView key, const std::optional<QString> &value)
{
    if (value)
        object.insert(key, *value);
}
inline void put(QJsonObject &object, QLatin1StringView key, const OptionalText &value)
{
    if (value)
        object.insert(key, *value);
}
inline void put(QJsonObject &object, QLatin1StringView key, const std::optional<qint64> &value)
{
    if (value)
        object.insert(key, *value);
}
inline void put(QJsonObject &object, QLatin1StringView key, const std::optional<double> &value)
{
    if (value)
        object.insert(key, *value);
}
inline void put(QJsonObject &object, QLatin1StringView key, const std::optional<bool> &value)
{
    if (value)
        object.insert(key, *value);
}
template<typename T>
void put(QJsonObject &object, QLatin1StringView key, const std::optional<QList<T>> &values)
{
    if (!values)
        return;
    QJsonArray array;
    for (const T &v : *values)
        array.append(v.toJson());
    object.insert(key, array);
}

// Decodes a whole reply body into a record.
template<Decodable T>
T decode(const QByteArray &bytes)
{
    return T::fromJson(root(parse(bytes)));
}

} // namespace json
