// The reference a window of the application is measured against: a bare Qt Quick window with one
// rotating rectangle (the least any window that moves costs), drawn by the renderer the
// application picks on this machine (RenderBackend), so that both are compared on the same one.
// With --still the rectangle stands still; --size WxH sets the window's size (480x960 by
// default). Prints the renderer and the wall-clock time of its first frame, as the application
// does with MELODRIFT_REPORT_FIRST_FRAME set, so a script can compare start-up times.
#include "RenderBackend.h"

#include <QDateTime>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QSize>

#include <cstdio>

namespace {

QSize sizeArgument(const QStringList &arguments)
{
    const qsizetype at = arguments.indexOf(QStringLiteral("--size"));
    if (at >= 0 && at + 1 < arguments.size()) {
        const QStringList parts = arguments.at(at + 1).split(QLatin1Char('x'));
        if (parts.size() == 2) {
            const QSize size(parts.at(0).toInt(), parts.at(1).toInt());
            if (size.width() > 0 && size.height() > 0)
                return size;
        }
    }
    return QSize(480, 960);
}

const char *apiName(QSGRendererInterface::GraphicsApi api)
{
    switch (api) {
    case QSGRendererInterface::Software:
        return "software";
    case QSGRendererInterface::OpenGL:
        return "opengl";
    case QSGRendererInterface::Vulkan:
        return "vulkan";
    default:
        return "other";
    }
}

} // namespace

int main(int argc, char **argv)
{
    RenderBackend::chooseForThisMachine();
    QGuiApplication app(argc, argv);
    RenderBackend::restoreEnvironment();
    const bool still = app.arguments().contains(QStringLiteral("--still"));
    const QSize size = sizeArgument(app.arguments());
    QQmlApplicationEngine engine;
    engine.loadData(QByteArrayLiteral(R"(
import QtQuick
Window {
    width: 480; height: 960; visible: true; color: "#0b0b0d"
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
    window->resize(size);
    QObject::connect(window, &QQuickWindow::frameSwapped, window, [window] {
        static bool reported = false;
        if (reported)
            return;
        reported = true;
        std::printf("[startup] first frame %lld\n", QDateTime::currentMSecsSinceEpoch());
        std::printf("[bare] renderer %s\n", apiName(window->rendererInterface()->graphicsApi()));
        std::fflush(stdout);
    }, Qt::DirectConnection);
    return app.exec();
}
