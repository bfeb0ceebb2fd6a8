#pragma once

#include <QString>

// Percent-encoding of values that go into a backend address.
namespace url {

// A value put into a URL path as exactly one segment: everything but the unreserved characters
// (A-Z a-z 0-9 - . _ ~) is percent-encoded as UTF-8, so '/', '?', '#' and '%' in a server-given id
// never change which resource is addressed. A value made only of dots is escaped whole ("%2E"),
// so "." and ".." are never taken for relative steps.
QString pathSegment(const QString &value);

// A query name or value: the characters a query allows stay readable, but '+', '&', '=', '#',
// '%' and space are percent-encoded, so "C++" reaches the server as "C++" and not as "C  ".
QString queryComponent(const QString &value);

} // namespace url
