#include "StepClock.h"

#include <QJSEngine>

StepClock &StepClock::shared()
{
    static StepClock *clock = new StepClock;
    return *clock;
}

StepClock *StepClock::create(QQmlEngine *, QJSEngine *)
{
    StepClock *clock = &shared();
    QJSEngine::setObjectOwnership(clock, QJSEngine::CppOwnership);
    return clock;
}

StepClock::StepClock()
{
    m_clock.start();
    m_timer.setInterval(StepMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_now = double(m_clock.elapsed());
        emit stepped();
    });
}

void StepClock::hold(QObject *holder, bool on)
{
    if (!holder)
        return;
    if (on && !m_holders.contains(holder)) {
        m_holders.insert(holder);
        connect(holder, &QObject::destroyed, this, [this, holder] {
            m_holders.remove(holder);
            update();
        });
    } else if (!on && m_holders.remove(holder)) {
        disconnect(holder, &QObject::destroyed, this, nullptr);
    }
    update();
}

void StepClock::update()
{
    const bool run = !m_holders.isEmpty();
    if (run == m_timer.isActive())
        return;
    if (run) {
        m_now = double(m_clock.elapsed());
        m_timer.start();
    } else {
        m_timer.stop();
    }
    emit runningChanged();
}
