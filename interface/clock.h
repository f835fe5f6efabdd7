// Time as the detectors and the recorder's clients see it: one monotonic
// clock and the waits on it, behind one seam. The real clock is the default;
// tests install a fake one so that pacing, pauses and back-offs run without
// waiting. Network waits (poll on a socket) always run on real time, measured
// with MonotonicMs.
#ifndef INTERFACE_CLOCK_H
#define INTERFACE_CLOCK_H

#include <stdint.h>

#include <condition_variable>
#include <mutex>

namespace BrellinOwned {

// Milliseconds on the real monotonic clock (not wall-clock time).
int64_t MonotonicMs();

// A wake-up that ends waits early: a detector signals its own when it is
// stopped, so that no pause outlasts Stop. Thread-safe.
class WakeUp {
public:
    WakeUp() : m_blSignalled(false) {}
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    // Ends every wait on it, now and until Reset.
    void Signal();
    void Reset();
    bool IsSignalled() const;
    // Waits up to ms on the real clock; true when signalled.
    bool WaitRealMs(int64_t ms);

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_blSignalled;
};

class Clock {
public:
    virtual ~Clock() {}
    // Milliseconds on a monotonic scale.
    virtual int64_t NowMs() = 0;
    // Waits ms milliseconds (nothing for 0 or less), ending early when wake
    // (may be null) is signalled. True when it ended early.
    virtual bool WaitMs(int64_t ms, WakeUp* wake) = 0;
};

// The process clock: the real one unless a test installed another.
Clock& GetClock();
// Installs clock as the process clock (null: the real one again). For tests;
// call it while no detector or client is waiting.
void SetClock(Clock* clock);

}  // namespace BrellinOwned

#endif  // INTERFACE_CLOCK_H
