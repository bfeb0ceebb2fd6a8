#include "Platform/UrlOpener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

namespace {

std::function<bool(const QUrl &)> &testHandler()
{
    static std::function<bool(const QUrl &)> handler;
    return handler;
}

} // namespace

bool UrlOpener::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("tg"));
}

bool UrlOpener::canOpen(const QUrl &url)
{
    if (!isAllowed(url))
        return false;
    if (url.scheme() != QLatin1String("tg"))
        return true;
    // A scheme other than the web's is openable only when the desktop has a handler for it.
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        return false;
    QProcess query;
    query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"),
                          QStringLiteral("x-scheme-handler/") + url.scheme()});
    if (!query.waitForFinished(2000)) {
        query.kill();
        query.waitForFinished(500);
        return false;
    }
    return query.exitCode() == 0 && !query.readAllStandardOutput().trimmed().isEmpty();
}

bool UrlOpener::open(const QUrl &url)
{
    if (!isAllowed(url))
        return false;
    if (testHandler())
        return testHandler()(url);
    return QDesktopServices::openUrl(url);
}

void UrlOpener::setHandlerForTesting(std::function<bool(const QUrl &)> handler)
{
    testHandler() = std::move(handler);
}
