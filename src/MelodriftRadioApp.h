#pragma once

#include <QColor>
#include <QGuiApplication>
#include <QQmlApplicationEngine>

// The application object: sets up the platform, creates the stores, shows the main window.
class MelodriftRadioApp : public QGuiApplication
{
    Q_OBJECT
public:
    // Must run before the application object exists (GStreamer, Qt Quick style, fonts).
    static void preparePlatform(int &argc, char **argv);

    MelodriftRadioApp(int &argc, char **argv);
    int run();

    // The two application colours; screens and the library read them through Theme.
    static QColor accent();
    static QColor background();

private:
    QQmlApplicationEngine m_engine;
};
