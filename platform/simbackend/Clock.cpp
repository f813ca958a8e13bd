#include "platform/Clock.h"

#include "platform/sim/SimMachine.h"

#include <QElapsedTimer>
#include <QThread>

namespace win {

// The machine's lock is not taken: a real sleep must not stop other threads.
void sleepMs(int milliseconds)
{
    if (sim::SimMachine* machine = sim::SimMachine::current())
        machine->clock().sleep(milliseconds);
    else if (milliseconds > 0)
        QThread::msleep(ulong(milliseconds));
}

quint64 tickCountMs()
{
    if (sim::SimMachine* machine = sim::SimMachine::current())
        return machine->clock().nowMs();
    static QElapsedTimer started = [] { QElapsedTimer t; t.start(); return t; }();
    return quint64(started.elapsed());
}

} // namespace win
