#pragma once

#include <QLocale>
#include <QString>

class QCoreApplication;
class QTranslator;

// Qt's own texts in Persian: transport errors, the controls' built-in texts, the media framework's
// messages. They come from the distribution's Qt translations (qt_fa.qm and the catalogues it
// names: qtbase, qtdeclarative, qtmultimedia); without them Qt's texts stay in English.
namespace PlatformTranslations {

// The language the listener reads.
QLocale locale();

// Loads Qt's catalogues for locale() from `folder` (Qt's translations folder unless given) and
// installs them into the application. Returns the installed translator (owned by the application),
// or null, installing nothing, when none is found.
QTranslator *install(QCoreApplication &app, const QString &folder = QString());

} // namespace PlatformTranslations
