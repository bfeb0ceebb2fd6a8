#include "WindowExposure.h"

#include <QGuiApplication>
#include <QJSEngine>
#include <QTimer>
#include <QWindow>

WindowExposure &WindowExposure::shared()
{
    static WindowExposure *exposure = new WindowExposure;
    return *exposure;
}

WindowExposure *WindowExposure::create(QQmlEngine *, QJSEngine *)
{
    WindowExposure *exposure = &shared();
    QJSEngine::setObjectOwnership(exposure, QJSEngine::CppOwnership);
    return exposure;
}

WindowExposure::WindowExposure()
{
    if (QCoreApplication *app = QCoreApplication::instance())
        app->installEventFilter(this);
    refresh();
}

void WindowExposure::refresh()
{
    bool exposed = false;
    for (QWindow *window : QGuiApplication::topLevelWindows())
        exposed = exposed || window->isExposed();
    if (exposed == m_exposed)
        return;
    m_exposed = exposed;
    emit exposedChanged();
}

bool WindowExposure::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Expose:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::WindowStateChange:
        if (watched->isWindowType()) {
            // The window's own handling of the event comes first: look once it is done.
            QTimer::singleShot(0, this, &WindowExposure::refresh);
        }
        break;
    default:
        break;
    }
    return false;
}
