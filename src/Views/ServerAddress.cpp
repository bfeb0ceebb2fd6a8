#include "ServerAddress.h"

#include "Services/APIClient.h"

QUrl ServerAddress::absolute(const QVariant &path) const
{
    if (!path.isValid() || path.isNull() || !path.canConvert<QString>())
        return {};
    return APIClient::shared().absolute(path.toString()).value_or(QUrl());
}
