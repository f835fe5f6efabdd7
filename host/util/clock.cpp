// The real clock and the process clock seam.
#include "interface/clock.h"

#include <time.h>

#include <atomic>
#include <chrono>

namespace BrellinOwned {

int64_t MonotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

void WakeUp::Signal() {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_blSignalled = true;
    }
    m_Cond.notify_all();
}

void WakeUp::Reset() {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_blSignalled = false;
}

bool WakeUp::IsSignalled() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_blSignalled;
}

bool WakeUp::WaitRealMs(int64_t ms) {
    std::unique_lock<std::mutex> g(m_Mutex);
    if (ms > 0) m_Cond.wait_for(g, std::chrono::milliseconds(ms), [this] { return m_blSignalled; });
    return m_blSignalled;
}

namespace {

class RealClock : public Clock {
public:
    int64_t NowMs() override { return MonotonicMs(); }
    bool WaitMs(int64_t ms, WakeUp* wake) override {
        if (wake) return wake->WaitRealMs(ms);
        if (ms <= 0) return false;
        struct timespec ts;
        ts.tv_sec = (time_t)(ms / 1000);
        ts.tv_nsec = (long)(ms % 1000) * 1000000L;
        while (nanosleep(&ts, &ts) != 0) {
        }
        return false;
    }
};

RealClock g_RealClock;
std::atomic<Clock*> g_Clock{&g_RealClock};

}  // namespace

Clock& GetClock() { return *g_Clock.load(std::memory_order_acquire); }

void SetClock(Clock* clock) { g_Clock.store(clock ? clock : &g_RealClock, std::memory_order_release); }

}  // namespace BrellinOwned
