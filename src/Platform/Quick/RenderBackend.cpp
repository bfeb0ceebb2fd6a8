#include "RenderBackend.h"

#include "Platform/Console.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>

#include <memory>

namespace RenderBackend {

bool isSoftwareRasteriser(const QString &glRenderer)
{
    const QString name = glRenderer.toLower();
    return name.contains(QLatin1String("llvmpipe")) || name.contains(QLatin1String("softpipe"))
        || name.contains(QLatin1String("swrast")) || name.contains(QLatin1String("software rasterizer"));
}

QString openGLRenderer()
{
    // The web engine makes a context shared by the whole process as the application starts;
    // asking it costs nothing. Without it a small context is made just for the question.
    std::unique_ptr<QOpenGLContext> own;
    QOpenGLContext *context = QOpenGLContext::globalShareContext();
    if (!context) {
        own = std::make_unique<QOpenGLContext>();
        if (!own->create())
            return {};
        context = own.get();
    }
    QOffscreenSurface surface;
    surface.setFormat(context->format());
    surface.create();
    if (!surface.isValid())
        return {};
    QOpenGLContext *previous = QOpenGLContext::currentContext();
    QSurface *previousSurface = previous ? previous->surface() : nullptr;
    if (!context->makeCurrent(&surface))
        return {};
    const auto *name = reinterpret_cast<const char *>(context->functions()->glGetString(GL_RENDERER));
    const QString renderer = name ? QString::fromLatin1(name) : QString();
    context->doneCurrent();
    if (previous && previousSurface)
        previous->makeCurrent(previousSurface);
    return renderer;
}

bool chooseForThisMachine()
{
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return false;
    // Platforms without OpenGL windows (offscreen, minimal) already draw in software.
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return false;
    const QString renderer = openGLRenderer();
    if (!isSoftwareRasteriser(renderer))
        return false;
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    Console::line(QStringLiteral("[App] OpenGL draws on the CPU here (%1): using the software renderer")
                      .arg(renderer));
    return true;
}

} // namespace RenderBackend
