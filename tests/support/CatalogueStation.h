#pragma once

#include <QString>

namespace testsupport {

// Loads the stand-in's catalogue into the shared station store and has the shared player select
// the station of `genre`. Returns whether the catalogue came and held that station.
bool selectCatalogueStation(const QString &genre, int timeoutMs = 10000);

} // namespace testsupport
