#pragma once

#include <QUrl>

#include <functional>

// Opens addresses outside the application (the desktop's browser or a registered handler).
// Only the schemes of the allow-list are ever opened: http, https and tg.
class UrlOpener
{
public:
    // Whether `url`'s scheme is on the allow-list.
    static bool isAllowed(const QUrl &url);
    // Whether a handler is registered for `url` (http and https always have the browser).
    static bool canOpen(const QUrl &url);
    // Hands an allowed `url` to the desktop; false when refused or when nothing could open it.
    static bool open(const QUrl &url);

    // Tests see what would be opened instead of starting a browser; nullptr restores the desktop.
    static void setHandlerForTesting(std::function<bool(const QUrl &)> handler);
};
