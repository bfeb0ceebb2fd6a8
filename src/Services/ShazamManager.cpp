#include "Services/ShazamManager.h"

#include "Platform/AppGroupSuite.h"

#include <QDateTime>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcShazam, "shazam")

ShazamManager &ShazamManager::shared()
{
    static ShazamManager *manager = new ShazamManager; // lives until the process ends
    return *manager;
}

void ShazamManager::setOpenRequest(bool value)
{
    // Every assignment is published, as the home screen relies on noticing each request.
    m_openRequest = value;
    emit openRequestChanged();
}

void ShazamManager::setAutoStartOnOpen(bool value)
{
    m_autoStartOnOpen = value;
    emit autoStartOnOpenChanged();
}

void ShazamManager::requestOpen(bool autoStart)
{
    qCInfo(lcShazam, "requestOpen called, autoStart=%s", autoStart ? "true" : "false");
    setAutoStartOnOpen(autoStart);
    setOpenRequest(true);
}

void ShazamManager::checkPendingExternalRequest()
{
    const std::unique_ptr<QSettings> suite = AppGroupSuite::open();
    if (!suite) {
        qCWarning(lcShazam, "checkPendingExternalRequest: suite is nil");
        return;
    }
    const double ts = suite->value(QLatin1String(RequestAtKey), 0.0).toDouble();
    qCInfo(lcShazam, "checkPendingExternalRequest: timestamp=%f", ts);
    if (!(ts > 0))
        return;
    // A stamp from the future (a clock set back) gives a negative age and counts as pending.
    if (now() - ts < PendingWindowSeconds) {
        suite->remove(QLatin1String(RequestAtKey));
        suite->sync();
        qCInfo(lcShazam, "checkPendingExternalRequest: opening shazam sheet");
        requestOpen(true);
    }
}

void ShazamManager::setClockForTesting(std::function<double()> clock)
{
    m_clock = std::move(clock);
}

double ShazamManager::now() const
{
    if (m_clock)
        return m_clock();
    return double(QDateTime::currentMSecsSinceEpoch()) / 1000.0;
}
