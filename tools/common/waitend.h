// Shared by the tools' programs: run until SIGINT/SIGTERM or a given time.
#ifndef TOOLS_COMMON_WAITEND_H
#define TOOLS_COMMON_WAITEND_H

#include <pthread.h>
#include <signal.h>
#include <time.h>

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

#endif  // TOOLS_COMMON_WAITEND_H
