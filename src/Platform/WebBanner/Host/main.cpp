#include "BannerHost.h"
#include "Platform/WebBanner/BannerPage.h"

#include <QCommandLineParser>
#include <QGuiApplication>
#include <QQuickWindow>
#include <QtWebEngineQuick/qtwebenginequickglobal.h>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

// melodrift-web-banner: the advertisement banner's web engine, in a process of its own. Started
// by the application (WebBannerProcess) for one banner page; it draws the page offscreen and
// streams the frames back on its standard output, which carries nothing else: everything that
// anything in this process prints goes to standard error.
int main(int argc, char **argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    const int output = ::fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
    if (output < 0 || ::dup2(STDERR_FILENO, STDOUT_FILENO) < 0)
        return 1;

    // Drawn offscreen in software; the web engine needs a shared context even so (without it, it
    // fails at start). The window is never on screen, so it is nothing for assistive technology.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a display the offscreen platform makes no GLX context of its own: on a machine
    // without a GPU that would load Mesa's software rasteriser and LLVM (some 50 MB resident)
    // for a context the engine, with GL disabled, never draws with.
    qunsetenv("DISPLAY");
    qunsetenv("WAYLAND_DISPLAY");
    // Where the engine runs without its sandbox (as root), a renderer process of its own isolates
    // nothing this host does not already: the page is rendered in this process, which saves
    // the engine's two zygotes and a renderer (some 20 MB proportional, 150 MB summed resident).
    if (qEnvironmentVariableIntValue("QTWEBENGINE_DISABLE_SANDBOX") == 1) {
        QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
        if (!flags.contains("--single-process"))
            qputenv("QTWEBENGINE_CHROMIUM_FLAGS", (flags + " --single-process").trimmed());
    }
    qunsetenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON");
    qputenv("QT_ACCESSIBILITY", "0");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QtWebEngineQuick::initialize();
    // After the engine's set-up, which asks for OpenGL.
    QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
    QGuiApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("melodrift-web-banner"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Melodrift Radio's advertisement banner host"));
    parser.addHelpOption();
    const QCommandLineOption loader(QStringLiteral("loader"), QStringLiteral("The ad network's loader address."),
                                    QStringLiteral("address"));
    const QCommandLineOption slot(QStringLiteral("slot"), QStringLiteral("The ad slot's identifier."),
                                  QStringLiteral("identifier"));
    const QCommandLineOption base(QStringLiteral("base"), QStringLiteral("The page's base address."),
                                  QStringLiteral("address"));
    parser.addOptions({loader, slot, base});
    parser.process(app);
    if (parser.value(loader).isEmpty() || parser.value(slot).isEmpty()) {
        parser.showHelp(2);
    }

    BannerHost host(output);
    if (!host.load(BannerPage::pageHtml(parser.value(loader), parser.value(slot)),
                   QUrl(parser.value(base), QUrl::StrictMode), BannerPage::linkScript()))
        return 1;
    return app.exec();
}
