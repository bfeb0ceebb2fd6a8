#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

typedef struct _GstElement GstElement;

namespace testsupport {

// Spins the event loop until `done` holds or the time is up; returns whether it held.
// Timeouts are generous: the tests run in parallel on a loaded machine.
// Sleeps between events (a 10 ms tick wakes it), so waiting costs no CPU.
inline bool waitUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer tick;
    tick.start(10);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Spins the event loop for `ms` (for checks that something does NOT happen).
inline void spin(int ms)
{
    QDeadlineTimer deadline(ms);
    waitUntil([&] { return deadline.hasExpired(); }, ms + 1000);
}

// A fake audio output that consumes in real time (sync) or as fast as it can.
GstElement *makeFakeAudioSink(bool sync = true);

// Collects what the code under test writes to standard output (Console lines) while alive.
class StdoutCapture
{
public:
    StdoutCapture();
    ~StdoutCapture();
    QByteArray text(); // what was written so far
private:
    int m_saved = -1;
    QByteArray m_path;
};

} // namespace testsupport
