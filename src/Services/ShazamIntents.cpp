#include "Services/ShazamIntents.h"

#include "Platform/AppGroupSuite.h"
#include "Services/ShazamManager.h"

#include <QDateTime>

using namespace Qt::StringLiterals;

QString MelodriftDestination::typeDisplayName()
{
    return u"ملودریفت"_s;
}

QString MelodriftDestination::displayTitle() const
{
    return u"ملودریفت"_s;
}

QString MelodriftDestination::urlRepresentation() const
{
    return u"melodrift://shazam"_s;
}

QList<MelodriftDestination> MelodriftDestinationQuery::entities(const QStringList &) const
{
    return {MelodriftDestination{}};
}

QList<MelodriftDestination> MelodriftDestinationQuery::suggestedEntities() const
{
    return {MelodriftDestination{}};
}

void performShazamRequest()
{
    const std::unique_ptr<QSettings> suite = AppGroupSuite::open();
    if (!suite)
        return;
    suite->setValue(QLatin1String(ShazamManager::RequestAtKey),
                    double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    // The application reads the suite from its own process.
    suite->sync();
}

QString ShazamAppIntent::title()
{
    return u"تشخیص آهنگ با ملودریفت"_s;
}

QString ShazamOpenIntent::title()
{
    return u"تشخیص آهنگ با ملودریفت"_s;
}

QStringList ShazamIntents::names()
{
    return {QLatin1String(ShazamAppIntent::name), QLatin1String(ShazamOpenIntent::name)};
}

bool ShazamIntents::perform(const QString &name)
{
    if (name == QLatin1String(ShazamAppIntent::name)) {
        ShazamAppIntent().perform();
        return true;
    }
    if (name == QLatin1String(ShazamOpenIntent::name)) {
        ShazamOpenIntent().perform();
        return true;
    }
    return false;
}
