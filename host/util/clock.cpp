// The real clock, the wake-ups and the waits on them.
#include "interface/clock.h"

#include <errno.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>

namespace BrellinOwned {

int64_t MonotonicMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

WakeUp::~WakeUp() {
    if (m_Fd >= 0) close(m_Fd);
}

void WakeUp::Signal() {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        if (!m_blSignalled && m_Fd >= 0) {
            const uint64_t one = 1;
            ssize_t n = write(m_Fd, &one, sizeof(one));
            (void)n;  // an eventfd counter this small cannot overflow
        }
        m_blSignalled.store(true, std::memory_order_release);
        // Lock order: this wake-up's mutex, then the waiter's.
        if (m_pWaiterMutex) {
            std::lock_guard<std::mutex> w(*m_pWaiterMutex);
            m_pWaiterCond->notify_all();
        }
    }
    m_Cond.notify_all();
}

void WakeUp::Reset() {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_blSignalled && m_Fd >= 0) {
        uint64_t v;
        ssize_t n = read(m_Fd, &v, sizeof(v));
        (void)n;
    }
    m_blSignalled.store(false, std::memory_order_release);
}

bool WakeUp::WaitRealMs(int64_t ms) {
    std::unique_lock<std::mutex> g(m_Mutex);
    if (ms > 0) m_Cond.wait_for(g, std::chrono::milliseconds(ms), [this] { return IsSignalled(); });
    return IsSignalled();
}

void WakeUp::AttachWaiter(std::mutex* m, std::condition_variable* cond) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_pWaiterMutex = m;
    m_pWaiterCond = cond;
}

void WakeUp::DetachWaiter() {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_pWaiterMutex = nullptr;
    m_pWaiterCond = nullptr;
}

int WakeUp::Fd() {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_Fd < 0) {
        m_Fd = eventfd(m_blSignalled ? 1 : 0, EFD_CLOEXEC | EFD_NONBLOCK);
    }
    return m_Fd;
}

namespace {

// Waits until fd has one of events, deadlineMs (MonotonicMs) passes, or the
// thread's wake-up is signalled: 1 ready, 0 time-out, -1 error, -2 woken.
int WaitFdOrWake(int fd, short events, int64_t deadlineMs);

class RealClockImpl : public Clock {
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
    int WaitFd(int fd, short events, int64_t deadlineMs) override { return WaitFdOrWake(fd, events, deadlineMs); }
    void WaitCond(std::unique_lock<std::mutex>& lk, std::condition_variable& cond, int64_t deadlineMs) override {
        // Slices of a second at most: a caller looks at its wake-up between them.
        const int64_t left = std::min<int64_t>(deadlineMs - MonotonicMs(), 1000);
        if (left > 0) cond.wait_for(lk, std::chrono::milliseconds(left));
    }
};


thread_local WakeUp* t_Wake = nullptr;
thread_local int64_t t_GraceUntil = 0;

}  // namespace

Clock& RealClock() {
    // Never destroyed: detector threads may outlive any static object's destructor.
    static Clock* clock = new RealClockImpl();
    return *clock;
}

WakeUp* CurrentWakeUp() { return t_Wake; }

void SetCurrentWakeUp(WakeUp* wake) { t_Wake = wake; }

bool IsWakeSignalled() { return t_Wake && t_GraceUntil == 0 && t_Wake->IsSignalled(); }

WakeGrace::WakeGrace(int ms) : m_PrevUntil(t_GraceUntil) {
    const int64_t until = MonotonicMs() + (ms > 0 ? ms : 0);
    t_GraceUntil = m_PrevUntil ? std::min(m_PrevUntil, until) : until;
}

WakeGrace::~WakeGrace() { t_GraceUntil = m_PrevUntil; }

int64_t WakeGrace::Until() { return t_GraceUntil; }

namespace {

int WaitFdOrWake(int fd, short events, int64_t deadlineMs) {
    WakeUp* wake = t_Wake;
    for (;;) {
        bool useWake = wake != nullptr;
        if (wake && wake->IsSignalled()) {
            if (t_GraceUntil == 0) return -2;
            // On the way out: the last exchange may take the grace, no more.
            deadlineMs = std::min(deadlineMs, t_GraceUntil);
            useWake = false;
        }
        const int64_t left = deadlineMs - MonotonicMs();
        if (left <= 0) return 0;
        struct pollfd pfd[2] = {{fd, events, 0}, {-1, POLLIN, 0}};
        nfds_t n = 1;
        int64_t slice = 60000;
        if (useWake) {
            pfd[1].fd = wake->Fd();
            if (pfd[1].fd >= 0) n = 2;
            else slice = 100;  // out of descriptors: look at the wake-up now and then
        }
        const int rc = poll(pfd, n, (int)std::min(left, slice));
        if (rc < 0 && errno != EINTR) return -1;
        if (rc > 0 && pfd[0].revents != 0) return 1;
        // Woken, interrupted or a slice over: look again.
    }
}

}  // namespace

}  // namespace BrellinOwned
