#pragma once

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// Whether any window of the application is on screen. A minimised window, or one the window
// system has unmapped or covered, is not exposed: nothing of it renders, and decorative motion
// (playing indicators, spinners) stops with it:
//     running: visible && WindowExposure.exposed
class WindowExposure : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool exposed READ exposed NOTIFY exposedChanged)

public:
    static WindowExposure &shared();
    static WindowExposure *create(QQmlEngine *, QJSEngine *);

    bool exposed() const { return m_exposed; }
    // Looks at every window again (also done on each expose, show and hide event).
    void refresh();

signals:
    void exposedChanged();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    WindowExposure();
    bool m_exposed = false;
};
