#include "RenderBackend.h"

#include "Platform/Console.h"

#include <QDir>
#include <QQuickWindow>
#include <QSGRendererInterface>

namespace RenderBackend {

namespace {
bool glIntegrationTurnedOff = false;
}

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
    Console::line(QStringLiteral("[App] no GPU here: Qt Quick draws with its software renderer"));
    return true;
}

void restoreEnvironment()
{
    if (glIntegrationTurnedOff)
        qunsetenv("QT_XCB_GL_INTEGRATION");
    glIntegrationTurnedOff = false;
}

} // namespace RenderBackend
