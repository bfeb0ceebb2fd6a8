#include "RenderBackend.h"

#include "Platform/Console.h"

#include <QDir>
#include <QEvent>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace RenderBackend {

namespace {
bool glIntegrationTurnedOff = false;
bool updateIdleTimeSet = false;

// Takes the idle time back out of the environment once the window's first update request has
// been delivered: Qt reads it once, at the first request.
class UpdateIdleTimeRestorer : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::UpdateRequest) {
            qunsetenv("QT_QPA_UPDATE_IDLE_TIME");
            updateIdleTimeSet = false;
            watched->removeEventFilter(this);
            deleteLater();
        }
        return false;
    }
};
} // namespace

Machine Machine::current()
{
    Machine machine;
    machine.quickBackend = qEnvironmentVariable("QT_QUICK_BACKEND");
    machine.rhiBackend = qEnvironmentVariable("QSG_RHI_BACKEND");
    machine.platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    const QString software = qEnvironmentVariable("LIBGL_ALWAYS_SOFTWARE");
    machine.mesaSoftware = !software.isEmpty() && software != QLatin1String("0")
                           && software.compare(QLatin1String("false"), Qt::CaseInsensitive) != 0;
    for (const QString &entry : QDir(QStringLiteral("/dev/dri")).entryList({QStringLiteral("renderD*")}, QDir::System))
        machine.gpuDevices << QStringLiteral("/dev/dri/") + entry;
    for (const QString &entry : QDir(QStringLiteral("/dev")).entryList({QStringLiteral("nvidia[0-9]*")}, QDir::System))
        machine.gpuDevices << QStringLiteral("/dev/") + entry;
    return machine;
}

bool prefersSoftware(const Machine &machine)
{
    if (!machine.quickBackend.isEmpty() || !machine.rhiBackend.isEmpty())
        return false;
    // Platforms without OpenGL windows draw in software already.
    const QString platform = machine.platform.section(QLatin1Char(':'), 0, 0);
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    return machine.mesaSoftware || machine.gpuDevices.isEmpty();
}

bool chooseForThisMachine()
{
    if (!prefersSoftware(Machine::current()))
        return false;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    // Otherwise the X11 platform sets up GLX at start, which loads the GL driver (with Mesa's
    // llvmpipe, LLVM: some 50 MB) for windows that never draw with it.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION")) {
        qputenv("QT_XCB_GL_INTEGRATION", "none");
        glIntegrationTurnedOff = true;
    }
    // A frame asked for is drawn at the event loop's next turn rather than 5 ms later. The software
    // renderer's frames are few and paced already (the playing indicators' step clock, the
    // record's turn), and the wait would be one more wake-up of the main thread for each of them.
    if (!qEnvironmentVariableIsSet("QT_QPA_UPDATE_IDLE_TIME")) {
        qputenv("QT_QPA_UPDATE_IDLE_TIME", "0");
        updateIdleTimeSet = true;
    }
    Console::line(QStringLiteral("[App] no GPU here: Qt Quick draws with its software renderer"));
    return true;
}

void restoreEnvironment()
{
    if (glIntegrationTurnedOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    glIntegrationTurnedOff = false;
}

void restoreEnvironmentOnceDrawing(QWindow *window)
{
    if (updateIdleTimeSet && window)
        window->installEventFilter(new UpdateIdleTimeRestorer(window));
}

} // namespace RenderBackend
