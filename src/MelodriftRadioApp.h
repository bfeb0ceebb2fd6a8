#pragma once

#include "Platform/SingleInstance.h"

#include <QColor>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QStringList>

class QQuickWindow;

// The application object: sets up the platform, makes sure it is the only running instance,
// creates the stores, shows the main window and answers the addresses it is asked to open.
class MelodriftRadioApp : public QGuiApplication
{
    Q_OBJECT
public:
    // Must run before the application object exists (GStreamer, Qt Quick style, the web engine).
    static void preparePlatform(int &argc, char **argv);

    MelodriftRadioApp(int &argc, char **argv);
    int run();

    // The two application colours; screens and the library read them through Theme.
    static QColor accent();
    static QColor background();

private:
    // The shared stores, in the order the application holds them.
    static void createStores();
    QQuickWindow *window() const;
    // For start-up measurements: prints when the first frame showing the catalogue is on screen.
    void reportFirstCatalogueFrame();
    void raiseWindow(const QString &activationToken);
    // What the application does each time it becomes active (the window's scene does it).
    void becameActive();
    // --intent NAME (or --intent=NAME) was given.
    static bool hasIntentArgument();
    // The URL handler: every address the application is asked to open.
    void openURLs(const QStringList &urls);

    SingleInstance m_instance;
    QQmlApplicationEngine m_engine;
};
