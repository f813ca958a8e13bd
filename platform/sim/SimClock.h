#pragma once

#include <QElapsedTimer>
#include <QtGlobal>
#include <atomic>

namespace win::sim {

// The machine's clock. A machine that sleeps for real waits in sleep();
// one that does not only moves its clock on. Either way the clock is real
// elapsed time plus everything slept without waiting.
class SimClock
{
public:
    SimClock();

    void setRealSleep(bool realSleep) { m_realSleep = realSleep; }
    bool realSleep() const { return m_realSleep; }

    quint64 nowMs() const;
    void sleep(int milliseconds);
    void advance(qint64 milliseconds);

private:
    QElapsedTimer m_started;
    std::atomic<qint64> m_skippedMs{0};
    std::atomic<bool> m_realSleep{true};
};

} // namespace win::sim
