#pragma once

#include "Models/Station.h"

#include <QVariant>

#include <optional>

// The station a screen is given from QML: a Station record (as the stores and the player hand
// them out), or a plain object in the backend's JSON form ({genre: "jazz", server_name: ...}),
// which previews and screenshots use. Anything else, or JSON that does not decode, gives none.
std::optional<Station> stationFromQml(const QVariant &value);
