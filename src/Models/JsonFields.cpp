#include "Models/JsonFields.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QVariant>

#include <cmath>

namespace JsonFields {

QJsonValue parse(const QByteArray &body)
{
    // QJsonDocument only takes an object or an array at the top; wrapping the body in a one-element
    // array lets a bare null (which some replies are) or a scalar through with the same parser.
    QByteArray wrapped;
    wrapped.reserve(body.size() + 2);
    wrapped.append('[').append(body).append(']');
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(wrapped, &error);
    if (error.error != QJsonParseError::NoError)
        throw DecodingError(QStringLiteral("the reply is not valid JSON: ") + error.errorString());
    const QJsonArray top = document.array();
    if (top.size() != 1)
        throw DecodingError(QStringLiteral("the reply is not one JSON value"));
    return top.at(0);
}

QString typeName(const QJsonValue &value)
{
    switch (value.type()) {
    case QJsonValue::Null: return QStringLiteral("null");
    case QJsonValue::Bool: return QStringLiteral("a boolean");
    case QJsonValue::Double:
        return integerValue(value) ? QStringLiteral("an integer") : QStringLiteral("a number");
    case QJsonValue::String: return QStringLiteral("a string");
    case QJsonValue::Array: return QStringLiteral("an array");
    case QJsonValue::Object: return QStringLiteral("an object");
    case QJsonValue::Undefined: break;
    }
    return QStringLiteral("nothing");
}

std::optional<qint64> integerValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    // The parser keeps whole numbers that fit 64 bits as integers; everything else arrives as a
    // double, which is an integer here only when it is whole and inside the range.
    const QVariant variant = value.toVariant();
    if (variant.typeId() == QMetaType::LongLong)
        return variant.toLongLong();
    const double d = value.toDouble();
    constexpr double limit = 9223372036854775808.0; // 2^63
    if (!std::isfinite(d) || std::trunc(d) != d || d < -limit || d >= limit)
        return std::nullopt;
    return static_cast<qint64>(d);
}

std::optional<double> numberValue(const QJsonValue &value)
{
    if (!value.isDouble())
        return std::nullopt;
    const double d = value.toDouble();
    if (!std::isfinite(d))
        return std::nullopt;
    return d;
}

void fail(const QString &where, const QString &expected, const QJsonValue &found)
{
    const QString place = where.isEmpty() ? QStringLiteral("reply") : where;
    throw DecodingError(place + QStringLiteral(": expected ") + expected + QStringLiteral(", found ")
                        + typeName(found));
}

Reader::Reader(const QJsonValue &value, QString where) : m_where(std::move(where))
{
    if (!value.isObject())
        fail(m_where, QStringLiteral("an object"), value);
    m_object = value.toObject();
}

QString Reader::where(const QString &key) const
{
    return m_where.isEmpty() ? key : m_where + QLatin1Char('.') + key;
}

bool Reader::has(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    return !value.isUndefined() && !value.isNull();
}

std::optional<QString> Reader::string(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (!value.isString())
        fail(where(key), QStringLiteral("a string"), value);
    return value.toString();
}

std::optional<qint64> Reader::integer(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    const std::optional<qint64> n = integerValue(value);
    if (!n)
        fail(where(key), QStringLiteral("an integer"), value);
    return n;
}

std::optional<double> Reader::number(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    const std::optional<double> n = numberValue(value);
    if (!n)
        fail(where(key), QStringLiteral("a number"), value);
    return n;
}

std::optional<bool> Reader::boolean(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (!value.isBool())
        fail(where(key), QStringLiteral("a boolean"), value);
    return value.toBool();
}

std::optional<QJsonObject> Reader::object(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (!value.isObject())
        fail(where(key), QStringLiteral("an object"), value);
    return value.toObject();
}

std::optional<QJsonArray> Reader::array(const QString &key) const
{
    if (!has(key))
        return std::nullopt;
    const QJsonValue value = m_object.value(key);
    if (!value.isArray())
        fail(where(key), QStringLiteral("an array"), value);
    return value.toArray();
}

qint64 Reader::requiredInteger(const QString &key) const
{
    if (!has(key))
        fail(where(key), QStringLiteral("an integer"), m_object.value(key));
    return *integer(key);
}

QString Reader::requiredString(const QString &key) const
{
    if (!has(key))
        fail(where(key), QStringLiteral("a string"), m_object.value(key));
    return *string(key);
}

std::optional<QString> Reader::lenientString(const QString &key) const
{
    const QJsonValue value = m_object.value(key);
    if (!value.isString())
        return std::nullopt;
    return value.toString();
}

} // namespace JsonFields
