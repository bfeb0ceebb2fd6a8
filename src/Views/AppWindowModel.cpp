#include "AppWindowModel.h"

#include "Services/ShazamManager.h"
#include "Services/StationStore.h"

#include <QGuiApplication>
#include <QUrl>

AppWindowModel::AppWindowModel(QObject *parent)
    : AppWindowModel(StationStore::shared(), &ShazamManager::shared(), parent)
{
}

AppWindowModel::AppWindowModel(StationStore *store, ShazamManager *shazam, QObject *parent)
    : QObject(parent), m_store(store), m_shazam(shazam)
{
    Q_ASSERT(store && shazam);
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
        if (state == Qt::ApplicationActive)
            becameActive();
    });
}

bool AppWindowModel::isRecognitionURL(QStringView url)
{
    // QUrl lower-cases the scheme and the host, so the comparison is made on the text as given.
    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    if (colon <= 0 || url.left(colon) != QLatin1String("melodrift"))
        return false;
    const QStringView rest = url.mid(colon + 1);
    if (!rest.startsWith(QLatin1String("//")))
        return false;
    QStringView authority = rest.mid(2);
    for (const QChar end : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const qsizetype at = authority.indexOf(end);
        if (at >= 0)
            authority = authority.left(at);
    }
    const qsizetype userInfoEnd = authority.lastIndexOf(QLatin1Char('@'));
    QStringView host = userInfoEnd >= 0 ? authority.mid(userInfoEnd + 1) : authority;
    const qsizetype portStart = host.indexOf(QLatin1Char(':'));
    if (portStart >= 0)
        host = host.left(portStart);
    if (host != QLatin1String("shazam"))
        return false;
    // Text that is not an address at all is not acted on either.
    return QUrl(url.toString(), QUrl::StrictMode).isValid();
}

bool AppWindowModel::openURL(QStringView url, ShazamManager &shazam)
{
    if (!isRecognitionURL(url))
        return false;
    shazam.requestOpen(true);
    return true;
}

bool AppWindowModel::openURL(const QString &url)
{
    return m_shazam && openURL(url, *m_shazam);
}

void AppWindowModel::windowAppeared()
{
    if (m_started)
        return;
    m_started = true;
    m_store->requestLoad(false);
    if (QGuiApplication::applicationState() == Qt::ApplicationActive)
        becameActive();
}

void AppWindowModel::becameActive()
{
    if (m_store && m_store->stations().isEmpty())
        m_store->requestLoad(false);
    if (m_shazam)
        m_shazam->checkPendingExternalRequest();
}
