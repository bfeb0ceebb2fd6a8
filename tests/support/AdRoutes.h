#pragma once

#include "support/StandInServer.h"

#include <QColor>

namespace standin {

// A stand-in for the ad network:
//   GET /ads/test-loader.js  a loader script that puts one solid block (TestAdColor) over the
//                            whole page, a link to TestAdAddress opening in a new window
//   GET /ads/pushy-loader.js the same block, from an ad that also opens windows by itself: five
//                            window.open() calls every 100 ms (TestPushyAddress + a count), and
//                            three more with each click on its link; after each burst it asks
//                            for GET /ads/pushed?n=<windows asked for so far> (204)
void installAdRoutes(StandInServer &server);

inline constexpr const char *TestAdPath = "/ads/test-loader.js";
inline constexpr const char *TestAdAddress = "https://example.org/offer?id=7";
inline constexpr const char *TestPushyAdPath = "/ads/pushy-loader.js";
inline constexpr const char *TestPushyAddress = "https://example.org/pushy?n=";
inline constexpr const char *TestPushedPath = "/ads/pushed";
inline const QColor TestAdColor = QColor(0x2a, 0x9d, 0x8f);

} // namespace standin
