#pragma once

#include "support/StandInServer.h"

#include <QColor>

namespace standin {

// A stand-in for the ad network:
//   GET /ads/test-loader.js  a loader script that puts one solid block (TestAdColor) over the
//                            whole page, a link to TestAdAddress opening in a new window
void installAdRoutes(StandInServer &server);

inline constexpr const char *TestAdPath = "/ads/test-loader.js";
inline constexpr const char *TestAdAddress = "https://example.org/offer?id=7";
inline const QColor TestAdColor = QColor(0x2a, 0x9d, 0x8f);

} // namespace standin
