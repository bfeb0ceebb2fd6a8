#include "Platform/UrlOpener.h"

#include <QDesktopServices>
#include <QHash>
#include <QPointer>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QCoroProcess>

namespace {

std::function<bool(const QUrl &)> &testHandler()
{
    static std::function<bool(const QUrl &)> handler;
    return handler;
}

// Scheme -> whether the desktop has a handler for it, as far as asked.
QHash<QString, bool> &knownHandlers()
{
    static QHash<QString, bool> known;
    return known;
}

// Schemes whose handler is being asked about.
QSet<QString> &pendingQueries()
{
    static QSet<QString> pending;
    return pending;
}

// Asks xdg-mime for the default handler of `scheme`, without blocking the caller's thread.
QCoro::Task<bool> queryHandler(QString scheme)
{
    const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (xdgMime.isEmpty())
        co_return false;
    QProcess query;
    query.setProgram(xdgMime);
    query.setArguments({QStringLiteral("query"), QStringLiteral("default"),
                        QStringLiteral("x-scheme-handler/") + scheme});
    query.setStandardInputFile(QProcess::nullDevice());
    if (!co_await qCoro(query).start(QIODevice::ReadOnly))
        co_return false;
    if (!co_await qCoro(query).waitForFinished(UrlOpener::HandlerQueryTimeoutMs)) {
        query.kill();
        co_await qCoro(query).waitForFinished(500);
        co_return false;
    }
    co_return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
        && !query.readAllStandardOutput().trimmed().isEmpty();
}

} // namespace

bool UrlOpener::isAllowed(const QUrl &url)
{
    const QString scheme = url.scheme();
    return url.isValid()
        && (scheme == QLatin1String("http") || scheme == QLatin1String("https") || scheme == QLatin1String("tg"));
}

QCoro::Task<bool> UrlOpener::canOpen(QUrl url)
{
    if (!isAllowed(url))
        co_return false;
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("tg"))
        co_return true;
    if (const auto it = knownHandlers().constFind(scheme); it != knownHandlers().constEnd())
        co_return *it;
    const bool found = co_await queryHandler(scheme);
    knownHandlers().insert(scheme, found);
    co_return found;
}

bool UrlOpener::canOpenNow(const QUrl &url)
{
    if (!isAllowed(url))
        return false;
    const QString scheme = url.scheme();
    if (scheme != QLatin1String("tg"))
        return true;
    if (const auto it = knownHandlers().constFind(scheme); it != knownHandlers().constEnd())
        return *it;
    prefetchHandler(scheme);
    return false;
}

void UrlOpener::prefetchHandler(const QString &scheme)
{
    if (knownHandlers().contains(scheme) || pendingQueries().contains(scheme))
        return;
    pendingQueries().insert(scheme);
    QUrl probe;
    probe.setScheme(scheme);
    probe.setPath(QStringLiteral("x"));
    [](QUrl url, QString scheme) -> QCoro::Task<> {
        co_await UrlOpener::canOpen(std::move(url));
        pendingQueries().remove(scheme);
    }(probe, scheme);
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

void UrlOpener::forgetHandlers()
{
    knownHandlers().clear();
    pendingQueries().clear();
}
