#pragma once

#include "Models/JsonCoding.h"

#include <optional>

// The common reply envelope of the backend: {"code": int?, "message": string?, "data": ...?}.
// `Data` is any type json::decodeValue() supports: a record (with fromJson/toJson), a scalar, or a
// QList of them. An envelope whose "data" is absent or null is valid; each operation decides what
// that means.
template<typename Data>
struct Envelope {
    std::optional<qint64> code;
    std::optional<QString> message;
    std::optional<Data> data;

    static Envelope fromJson(const QJsonValue &value)
    {
        const QJsonObject o = json::object(value, u"reply");
        Envelope e;
        e.code = json::optionalInteger(o, QLatin1StringView("code"));
        e.message = json::optionalString(o, QLatin1StringView("message"));
        e.data = json::optionalValue<Data>(o, QLatin1StringView("data"));
        return e;
    }

    QJsonObject toJson() const
    {
        QJsonObject o;
        json::put(o, QLatin1StringView("code"), code);
        json::put(o, QLatin1StringView("message"), message);
        if (data)
            o.insert(QLatin1StringView("data"), json::encodeValue(*data));
        return o;
    }
};
