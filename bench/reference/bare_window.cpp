// The reference a window of the application is measured against: a bare Qt Quick window of the
// same size with one rotating rectangle (the least any window that moves costs). With --still the
// rectangle stands still. Prints the wall-clock time of its first frame, as the application does
// with MELODRIFT_REPORT_FIRST_FRAME set, so a script can compare start-up times.
#include <QDateTime>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>

#include <cstdio>

int main(int argc, char **argv)
{
    QGuiApplication app(argc, argv);
    const bool still = app.arguments().contains(QStringLiteral("--still"));
    QQmlApplicationEngine engine;
    engine.loadData(QByteArrayLiteral(R"(
import QtQuick
Window {
    width: 430; height: 860; visible: true; color: "#0b0b0d"
    property bool moving: true
    Rectangle {
        anchors.centerIn: parent
        width: 120; height: 120; color: "#6366f2"
        RotationAnimation on rotation { running: moving; from: 0; to: 360; duration: 2000; loops: Animation.Infinite }
    }
}
)"));
    if (engine.rootObjects().isEmpty())
        return 1;
    auto *window = qobject_cast<QQuickWindow *>(engine.rootObjects().first());
    window->setProperty("moving", !still);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [window] {
        static bool reported = false;
        if (reported)
            return;
        reported = true;
        std::printf("[startup] first frame %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::fflush(stdout);
        Q_UNUSED(window);
    }, Qt::DirectConnection);
    return app.exec();
}
