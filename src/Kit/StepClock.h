#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QSet>
#include <QTimer>
#include <QtQml/qqmlregistration.h>

class QJSEngine;
class QQmlEngine;

// The one clock that stepped decorations (the playing indicators) move by. Every step of any of
// them is a frame of the window, so they all step on the same tick: two indicators on screen cost
// the frames of one. The clock runs only while some item holds it (from C++ as from QML):
//     onSwingingChanged: StepClock.hold(root, swinging)
//     property real elapsed: StepClock.now - startedAt
// An item that goes away lets go of it by itself.
class StepClock : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    // Milliseconds on a monotonic clock, as of the last step.
    Q_PROPERTY(double now READ now NOTIFY stepped)
    Q_PROPERTY(bool running READ isRunning NOTIFY runningChanged)

public:
    // Milliseconds between two steps, seven a second. The indicators swing 0.42 s each way with
    // their bars 0.14 s apart, both whole numbers of steps: every bar passes through the same
    // heights, a step behind its neighbour, so the bars move as one even wave. Each step is a
    // frame of the window.
    static constexpr int StepMs = 140;

    static StepClock &shared();
    static StepClock *create(QQmlEngine *, QJSEngine *);

    double now() const { return m_now; }
    bool isRunning() const { return m_timer.isActive(); }
    int holders() const { return int(m_holders.size()); }

    // Whether `holder` needs the clock to step; the clock runs while anyone does.
    Q_INVOKABLE void hold(QObject *holder, bool on);
    // Milliseconds on the clock right now (to start a swing from), between steps too.
    Q_INVOKABLE double current() const { return double(m_clock.elapsed()); }

signals:
    void stepped();
    void runningChanged();

private:
    StepClock();
    void update();

    QElapsedTimer m_clock;
    QTimer m_timer;
    QSet<QObject *> m_holders;
    double m_now = 0;
};
