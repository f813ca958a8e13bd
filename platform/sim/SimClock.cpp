#include "platform/sim/SimClock.h"

#include <QThread>

namespace win::sim {

SimClock::SimClock()
{
    m_started.start();
}

quint64 SimClock::nowMs() const
{
    return quint64(m_started.elapsed() + m_skippedMs);
}

void SimClock::sleep(int milliseconds)
{
    if (milliseconds <= 0)
        return;
    if (m_realSleep)
        QThread::msleep(ulong(milliseconds));
    else
        m_skippedMs += milliseconds;
}

void SimClock::advance(qint64 milliseconds)
{
    m_skippedMs += milliseconds;
}

} // namespace win::sim
