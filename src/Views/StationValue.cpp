#include "StationValue.h"

#include "Models/AppError.h"

#include <QJSValue>
#include <QJsonObject>

std::optional<Station> stationFromQml(const QVariant &value)
{
    if (std::optional<Station> station = Station::fromVariant(value))
        return station;
    QVariant plain = value;
    if (plain.metaType() == QMetaType::fromType<QJSValue>())
        plain = plain.value<QJSValue>().toVariant();
    if (plain.metaType() != QMetaType::fromType<QVariantMap>())
        return std::nullopt;
    try {
        return Station::fromJson(QJsonObject::fromVariantMap(plain.toMap()));
    } catch (const AppError &) {
        return std::nullopt;
    }
}
