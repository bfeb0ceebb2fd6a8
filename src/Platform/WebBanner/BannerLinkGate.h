#pragma once

#include <QtCore/qnamespace.h>
#include <QtGlobal>

// Whether a link the banner's page asks to open may be opened: only in answer to the listener,
// one link per click or key press given to the banner, and only within a second of the last
// input of that gesture (a click's link follows its release). Everything else an ad asks for is
// refused. Plain Qt Core, so that the banner's web host and the application keep the same rule.
// Times are milliseconds of one monotonic clock, chosen by the caller.
//     gate.gestureBegan(now);   // a button press, or Enter/Return/Space pressed
//     gate.gestureGoesOn(now);  // its release
//     if (gate.take(now)) open(link);
class BannerLinkGate
{
public:
    static constexpr qint64 DefaultWindowMs = 1000;

    explicit BannerLinkGate(qint64 windowMs = DefaultWindowMs)
        : m_windowMs(windowMs)
    {
    }

    // A new gesture: it grants one link.
    void gestureBegan(qint64 nowMs)
    {
        m_granted = true;
        m_lastInputMs = nowMs;
    }
    // The same gesture goes on (a release): the window restarts while its link is still unused.
    void gestureGoesOn(qint64 nowMs)
    {
        if (m_granted)
            m_lastInputMs = nowMs;
    }
    // True at most once per gesture, and only within the window.
    bool take(qint64 nowMs)
    {
        const bool allowed = m_granted && nowMs >= m_lastInputMs && nowMs - m_lastInputMs <= m_windowMs;
        m_granted = false;
        return allowed;
    }
    void reset() { m_granted = false; }

    // Whether Qt's `key` follows a focused link or presses a focused button in a page.
    static bool activatesLinks(int key)
    {
        return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space;
    }

private:
    qint64 m_windowMs;
    qint64 m_lastInputMs = 0;
    bool m_granted = false;
};
