#include "Models/JsonCoding.h"

#include <QJsonParseError>

#include <cmath>
#include <limits>

namespace json {

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double: return QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

QJsonDocument parse(const QByteArray &bytes)
{
    QJsonParseError error;
    QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || document.isNull()) {
        throw DecodingError(QStringLiteral("not valid JSON (%1 at offset %2)")
                                .arg(error.errorString())
                                .arg(error.offset));
    }
    return document;
}

QJsonValue root(const QJsonDocument &document)
{
    if (document.isArray())
        return document.array();
    return document.object();
}

QJsonObject object(const QJsonValue &value, QStringView what)
{
    if (!value.isObject())
        throw DecodingError(QStringLiteral("%1: expected an object, found %2").arg(what, typeName(value)));
    return value.toObject();
}

std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d) || d != std::trunc(d))
        return std::nullopt;
    // toInteger() gives the default when the value does not fit in 64 bits.
    const qint64 i = value.toInteger(0);
    if (i == 0 && d != 0)
        return std::nullopt;
    return i;
}

std::optional<qint64> parseInteger(QStringView text)
{
    qsizetype pos = 0;
    bool negative = false;
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-')) {
        negative = text.front() == u'-';
        pos = 1;
    }
    if (pos == text.size())
        return std::nullopt;
    // Accumulate as a negative number so that the minimum fits.
    constexpr qint64 lowest = std::numeric_limits<qint64>::min();
    qint64 acc = 0;
    for (; pos < text.size(); ++pos) {
        const char16_t c = text[pos].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (acc < (lowest + digit) / 10)
            return std::nullopt;
        acc = acc * 10 - digit;
    }
    if (negative)
        return acc;
    if (acc == lowest)
        return std::nullopt;
    return -acc;
}

void throwWrongType(QLatin1StringView key, const char *expected, const QJsonValue &found)
{
    throw DecodingError(QStringLiteral("%1: expected %2, found %3")
                            .arg(key, QLatin1StringView(expected), typeName(found)));
}

std::optional<QString> optionalString(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    if (!it->isString())
        throwWrongType(key, "a string", *it);
    return it->toString();
}

std::optional<qint64> optionalInteger(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    const auto value = integerValue(*it);
    if (!value)
        throwWrongType(key, "an integer", *it);
    return value;
}

std::optional<double> optionalDouble(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    if (!it->isDouble())
        throwWrongType(key, "a number", *it);
    return it->toDouble();
}

std::optional<bool> optionalBool(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd() || it->isNull())
        return std::nullopt;
    if (!it->isBool())
        throwWrongType(key, "a boolean", *it);
    return it->toBool();
}

QString requiredString(const QJsonObject &object, QLatin1StringView key)
{
    const auto it = object.constFind(key);
    if (it == object.constEnd())
        throw DecodingError(QStringLiteral("%1: required key is missing").arg(key));
    if (!it->isString())
        throwWrongType(key, "a string", *it);
    return it->toString();
}

void rethrowInside(const DecodingError &error, QLatin1StringView key, qsizetype index)
{
    const QString prefix = index < 0 ? QString(key) : QStringLiteral("%1[%2]").arg(key).arg(index);
    const QString &detail = error.detail();
    // Keep "data[3].genre" readable: no dot before an index of the inner detail.
    const bool joined = detail.startsWith(u'[') || detail.startsWith(u':');
    throw DecodingError(prefix + (joined ? QString() : QStringLiteral(".")) + detail);
}

} // namespace json
