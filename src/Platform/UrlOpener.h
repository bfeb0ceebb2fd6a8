#pragma once

#include <QCoroTask>
#include <QString>
#include <QUrl>

#include <functional>

// Opens addresses outside the application (the desktop's browser or a registered handler).
// Only the schemes of the allow-list are ever opened: http, https and tg. Addresses that come
// from the backend pass through isAllowed() before anything else looks at them.
//
// GUI thread only.
class UrlOpener
{
public:
    // Whether `url` is valid and its scheme is on the allow-list.
    static bool isAllowed(const QUrl &url);
    // Whether something on this desktop can open `url`: false off the allow-list; true at once
    // for http and https (the browser); for another allowed scheme, whether a handler is
    // registered for it. That question goes to xdg-mime in the background, at most once per
    // scheme and process (a handler installed later is seen after a restart); the GUI thread
    // never waits for it.
    static QCoro::Task<bool> canOpen(QUrl url);
    // The same answer without waiting, for code that cannot wait: while the handler of the
    // address's scheme has not been asked about yet, false (the question is then started in the
    // background, so that a later call knows).
    static bool canOpenNow(const QUrl &url);
    // Starts asking about the handler of `scheme` in the background, ahead of a canOpenNow().
    static void prefetchHandler(const QString &scheme);
    // Hands an allowed `url` to the desktop; false when refused or when nothing could open it.
    static bool open(const QUrl &url);

    // Tests see what would be opened instead of starting a browser; nullptr restores the desktop.
    static void setHandlerForTesting(std::function<bool(const QUrl &)> handler);
    // Forgets the handlers found so far (tests that change the desktop's answer).
    static void forgetHandlers();
    // How long xdg-mime may take before the scheme counts as having no handler.
    static constexpr int HandlerQueryTimeoutMs = 2000;
};
