#include "Models/UrlEncoding.h"

#include <QUrl>

namespace url {

QString pathSegment(const QString &value)
{
    // "." and ".." would be read as "this folder" and "the folder above"; spelled as escapes they
    // stay recognisable as data, and the client refuses to send them (APIClient::endpoint()).
    if (!value.isEmpty() && value.count(u'.') == value.size())
        return QStringLiteral("%2E").repeated(value.size());
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

QString queryComponent(const QString &value)
{
    // RFC 3986 query characters, less the ones that servers read as delimiters.
    static const QByteArray keep = QByteArrayLiteral("!$'()*,;:@/?");
    return QString::fromLatin1(QUrl::toPercentEncoding(value, keep));
}

} // namespace url
