#pragma once

#include <QBasicMutex>
#include <atomic>
#include <thread>

namespace win::sim {

// The machine's lock. Recursive, since a call into the machine may make
// another on the same thread. Every platform call takes it and a file walk
// takes it twice for each file, so taking it costs one atomic operation and
// taking it again on the thread that holds it none.
class MachineLock
{
public:
    void lock()
    {
        if (ownedHere()) {
            ++m_depth;
            return;
        }
        m_mutex.lock();
        own();
    }

    bool tryLock()
    {
        if (ownedHere()) {
            ++m_depth;
            return true;
        }
        if (!m_mutex.tryLock())
            return false;
        own();
        return true;
    }

    void unlock()
    {
        if (--m_depth > 0)
            return;
        m_owner.store(std::thread::id(), std::memory_order_relaxed);
        m_mutex.unlock();
    }

private:
    // Only the holder ever stores its own id, so a thread reads its own id
    // here exactly while it holds the lock.
    bool ownedHere() const { return m_owner.load(std::memory_order_relaxed) == std::this_thread::get_id(); }
    void own()
    {
        m_owner.store(std::this_thread::get_id(), std::memory_order_relaxed);
        m_depth = 1;
    }

    QBasicMutex m_mutex;
    std::atomic<std::thread::id> m_owner{std::thread::id()};
    int m_depth = 0;
};

} // namespace win::sim
