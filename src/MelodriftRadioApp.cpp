#include "MelodriftRadioApp.h"

#include "Platform/Theme.h"
#include "Services/Equalizer.h"
#include "Services/StationStore.h"

#include <QQuickStyle>
#include <QQuickWindow>
#include <gst/gst.h>

void MelodriftRadioApp::preparePlatform(int &argc, char **argv)
{
    gst_init(&argc, &argv);
    QQuickStyle::setStyle(QStringLiteral("Basic"));
}

MelodriftRadioApp::MelodriftRadioApp(int &argc, char **argv)
    : QGuiApplication(argc, argv)
{
    setOrganizationName(QStringLiteral("melodrift"));
    setApplicationName(QStringLiteral("melodrift-radio"));
    setApplicationDisplayName(QStringLiteral("Melodrift Radio"));
    setDesktopFileName(QStringLiteral("melodrift-radio"));
    setLayoutDirection(Qt::RightToLeft);
    setFont(Theme::body());
    // The equaliser's stored settings must reach the audio tap before anything plays.
    Equalizer::shared();
}

int MelodriftRadioApp::run()
{
    // The Melodrift module's qmldir lives at qrc:/Melodrift/.
    m_engine.addImportPath(QStringLiteral("qrc:/"));
    m_engine.load(QUrl(QStringLiteral("qrc:/Melodrift/AppWindow.qml")));
    if (m_engine.rootObjects().isEmpty())
        return 1;
    // The start-up load of the catalogue (not forced: a failure shows only while the list is empty).
    StationStore::shared()->requestLoad(false);
    return exec();
}

QColor MelodriftRadioApp::accent()
{
    return Theme::accent();
}

QColor MelodriftRadioApp::background()
{
    return Theme::background();
}
