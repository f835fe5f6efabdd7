// Time as the detectors and the recorder's clients see it: one monotonic
// clock and every wait on it (pauses, pacing, a socket, a condition another
// thread signals), behind one seam. Nothing reads a global clock: a detector
// takes its clock from its camera's services (interface/camservices.h), a
// recorder client from its construction, the real clock being the default.
// Tests hand in a fake one, so that pauses, back-offs and network time-outs
// are counted rather than waited. Every wait ends early when the calling
// thread's wake-up is signalled.
#ifndef INTERFACE_CLOCK_H
#define INTERFACE_CLOCK_H

#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

namespace BrellinOwned {

// Milliseconds on the real monotonic clock (not wall-clock time).
int64_t MonotonicMs();

// A wake-up that ends waits early: a detector signals its own when it is
// stopped, so that no pause and no network wait outlasts Stop. Thread-safe.
class WakeUp {
public:
    WakeUp() : m_blSignalled(false), m_Fd(-1), m_pWaiterMutex(nullptr), m_pWaiterCond(nullptr) {}
    ~WakeUp();
    WakeUp(const WakeUp&) = delete;
    WakeUp& operator=(const WakeUp&) = delete;

    // Ends every wait on it, now and until Reset.
    void Signal();
    void Reset();
    // Lock-free, so a waiter may ask while holding its own mutex.
    bool IsSignalled() const { return m_blSignalled.load(std::memory_order_acquire); }
    // Waits up to ms on the real clock; true when signalled.
    bool WaitRealMs(int64_t ms);
    // A descriptor that polls readable while signalled, for waits on sockets
    // (made on first use, so threads that never wait on the network need none).
    // -1 when none could be made.
    int Fd();
    // A condition-variable waiter elsewhere (one at a time): Signal locks its
    // mutex and notifies it. Attach and Detach without holding that mutex; the
    // waiter tests IsSignalled() under it before each wait.
    void AttachWaiter(std::mutex* m, std::condition_variable* cond);
    void DetachWaiter();

private:
    mutable std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::atomic<bool> m_blSignalled;
    int m_Fd;
    std::mutex* m_pWaiterMutex;
    std::condition_variable* m_pWaiterCond;
};

// The wake-up of the calling thread (a detector thread's stop wake-up, or
// whatever a recorder thread installed), or null. The recorder's clients
// (socket, HTTP client, fetchers, ONVIF exchanges) end their waits early, as
// failures, once it is signalled.
WakeUp* CurrentWakeUp();
void SetCurrentWakeUp(WakeUp* wake);
// True when the calling thread's wake-up is signalled (outside a grace).
bool IsWakeSignalled();

// While one lives on a thread, a signalled wake-up of that thread does not end
// its waits at once: they end by the grace's end at the latest. For one last
// short exchange on the way out (an unsubscribe), never for more.
class WakeGrace {
public:
    explicit WakeGrace(int ms);
    ~WakeGrace();
    WakeGrace(const WakeGrace&) = delete;
    WakeGrace& operator=(const WakeGrace&) = delete;
    // End of the calling thread's grace (MonotonicMs), or 0 when none.
    static int64_t Until();

private:
    int64_t m_PrevUntil;
};

class Clock {
public:
    virtual ~Clock() {}
    // Milliseconds on a monotonic scale.
    virtual int64_t NowMs() = 0;
    // Waits ms milliseconds (nothing for 0 or less), ending early when wake
    // (may be null) is signalled. True when it ended early.
    virtual bool WaitMs(int64_t ms, WakeUp* wake) = 0;
    // Waits until fd has one of events, deadlineMs (on this clock) passes or
    // the calling thread's wake-up is signalled (see WakeGrace): 1 ready,
    // 0 time-out, -1 error, -2 woken.
    virtual int WaitFd(int fd, short events, int64_t deadlineMs) = 0;
    // One bounded wait on cond (lk holds its mutex): returns when notified,
    // when deadlineMs (on this clock) passes, or spuriously. Callers test
    // their condition, the deadline and their wake-up around it in a loop.
    virtual void WaitCond(std::unique_lock<std::mutex>& lk, std::condition_variable& cond, int64_t deadlineMs) = 0;
};

// The real monotonic clock. Never destroyed.
Clock& RealClock();

}  // namespace BrellinOwned

#endif  // INTERFACE_CLOCK_H
