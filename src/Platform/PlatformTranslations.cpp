#include "Platform/PlatformTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "melodrift.translations")

namespace PlatformTranslations {

QLocale locale()
{
    return QLocale(QLocale::Persian, QLocale::Iran);
}

QTranslator *install(QCoreApplication &app, const QString &folder)
{
    const QString from = folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : folder;
    // qt_fa.qm names qtbase_fa, qtdeclarative_fa and qtmultimedia_fa, which load with it.
    auto *translator = new QTranslator(&app);
    if (!translator->load(locale(), QStringLiteral("qt"), QStringLiteral("_"), from)) {
        qCWarning(lcTranslations, "Qt's Persian translations are not in %s", qPrintable(from));
        delete translator;
        return nullptr;
    }
    QCoreApplication::installTranslator(translator);
    return translator;
}

} // namespace PlatformTranslations
