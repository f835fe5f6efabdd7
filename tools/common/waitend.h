// Shared by the tools' programs: run until SIGINT/SIGTERM or a given time.
#ifndef TOOLS_COMMON_WAITEND_H
#define TOOLS_COMMON_WAITEND_H

#include <pthread.h>
#include <signal.h>
#include <time.h>

#include <atomic>
#include <thread>

#include "interface/clock.h"

// Blocks SIGINT and SIGTERM, collected in `set`, so that they reach
// WaitForEnd only (threads started later inherit the mask); ignores SIGPIPE.
inline void BlockEndSignals(sigset_t& set) {
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    signal(SIGPIPE, SIG_IGN);
}

// Waits for SIGINT/SIGTERM (blocked in `set`), or until `seconds` have
// passed (< 0: no limit).
inline void WaitForEnd(const sigset_t& set, double seconds) {
    struct timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (true) {
        struct timespec ts = {1, 0};
        if (seconds >= 0) {
            struct timespec now;
            clock_gettime(CLOCK_MONOTONIC, &now);
            double left = seconds - ((now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) / 1e9);
            if (left <= 0) return;
            if (left < 1) {
                ts.tv_sec = 0;
                ts.tv_nsec = (long)(left * 1e9);
            }
        }
        int sig = sigtimedwait(&set, nullptr, &ts);
        if (sig == SIGINT || sig == SIGTERM) return;
    }
}

// Watches for SIGINT/SIGTERM (blocked in `set`) on a thread of its own while
// the program does something long that cannot wait on signals itself
// (creating detectors that talk to silent cameras): an end signal signals
// Wake(), which the recorder's clients on every thread that installed it
// (BrellinOwned::SetCurrentWakeUp) take as "stop waiting".
class EndSignalWatch {
public:
    explicit EndSignalWatch(const sigset_t& set) : m_Set(set), m_Thread([this] { Run(); }) {}
    ~EndSignalWatch() { Finish(); }
    EndSignalWatch(const EndSignalWatch&) = delete;
    EndSignalWatch& operator=(const EndSignalWatch&) = delete;

    BrellinOwned::WakeUp* Wake() { return &m_Wake; }
    // Stops watching; true when an end signal came meanwhile.
    bool Finish() {
        m_Done = true;
        if (m_Thread.joinable()) m_Thread.join();
        return m_Wake.IsSignalled();
    }

private:
    void Run() {
        while (!m_Done) {
            struct timespec ts = {0, 100 * 1000 * 1000};
            int sig = sigtimedwait(&m_Set, nullptr, &ts);
            if (sig == SIGINT || sig == SIGTERM) {
                m_Wake.Signal();
                return;
            }
        }
    }

    sigset_t m_Set;
    BrellinOwned::WakeUp m_Wake;
    std::atomic<bool> m_Done{false};
    std::thread m_Thread;
};

#endif  // TOOLS_COMMON_WAITEND_H
