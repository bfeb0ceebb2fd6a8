#pragma once

#include "Models/JsonCoding.h"

#include <optional>

// The common reply envelope of the backend: {"code": int?, "message": string?, "data": ...?}.
// `Data` is a record (with fromJson/toJson) or a QList of records. An envelope whose "data" is
// absent or null is valid; each operation decides what that means.
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
        e.data = decodeData(o);
        return e;
    }

    QJsonObject toJson() const
    {
        QJsonObject o;
        json::put(o, QLatin1StringView("code"), code);
        json::put(o, QLatin1StringView("message"), message);
        if (data)
            o.insert(QLatin1StringView("data"), encodeData(*data));
        return o;
    }

private:
    template<typename T>
    struct IsList : std::false_type {};
    template<typename T>
    struct IsList<QList<T>> : std::true_type {
        using Element = T;
    };

    static std::optional<Data> decodeData(const QJsonObject &o)
    {
        if constexpr (IsList<Data>::value)
            return json::optionalArray<typename IsList<Data>::Element>(o, QLatin1StringView("data"));
        else
            return json::optionalRecord<Data>(o, QLatin1StringView("data"));
    }

    static QJsonValue encodeData(const Data &d)
    {
        if constexpr (IsList<Data>::value) {
            QJsonArray array;
            for (const auto &element : d)
                array.append(element.toJson());
            return array;
        } else {
            return d.toJson();
        }
    }
};
