// Shared by the benchmarks: clocks, this process's CPU and resident memory,
// and simulated cameras kept in a child process so that their CPU and memory
// are not counted.
#pragma once

#include <errno.h>
#include <pthread.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/select.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "camdet/core/eventdetector.h"
#include "tools/camsim/camsim.h"

namespace bench {

// Reads "--NAME VALUE" options into the numbers named in `opts`; a value must
// be a positive number. An unknown option, a missing or bad value: one line
// on stderr naming it, and false.
struct NumberOption {
    const char* name;  // with the dashes
    double* value;
};
inline bool ParseNumberOptions(int argc, char** argv, const std::vector<NumberOption>& opts) {
    const char* prog = argc > 0 ? argv[0] : "bench";
    for (int i = 1; i < argc; i += 2) {
        const NumberOption* hit = nullptr;
        for (const NumberOption& o : opts) {
            if (std::string(argv[i]) == o.name) hit = &o;
        }
        if (!hit) {
            fprintf(stderr, "%s: unknown option '%s'\n", prog, argv[i]);
            return false;
        }
        char* end = nullptr;
        const double v = i + 1 < argc ? strtod(argv[i + 1], &end) : 0;
        if (i + 1 >= argc || end == argv[i + 1] || *end != '\0' || !(v > 0)) {
            fprintf(stderr, "%s: option %s expects a positive number\n", prog, argv[i]);
            return false;
        }
        *hit->value = v;
    }
    return true;
}

inline double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Sleeps in short steps until Now() reaches `until`.
inline void SleepUntil(double until) {
    while (Now() < until) usleep(100 * 1000);
}

inline double CpuSeconds() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
}

inline long RssKib() {
    FILE* f = fopen("/proc/self/statm", "r");
    long pages = 0, rss = 0;
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        fclose(f);
    }
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

inline bool ReadAll(int fd, void* buf, size_t n) {
    char* p = static_cast<char*>(buf);
    while (n > 0) {
        ssize_t r = read(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= (size_t)r;
    }
    return true;
}

inline bool WriteAll(int fd, const void* buf, size_t n) {
    const char* p = static_cast<const char*>(buf);
    while (n > 0) {
        ssize_t r = write(fd, p, n);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        p += r;
        n -= (size_t)r;
    }
    return true;
}

// A recorder runs one process per camera and the connection-sharing registry
// is per process: emptying it before each camera gives every detector its
// own connection, as with many cameras.
inline void ResetSharing() {
    pthread_mutex_lock(&CamDetector::m_Lock);
    CamDetector::m_SharedDets.clear();
    pthread_mutex_unlock(&CamDetector::m_Lock);
}

// What a measured window saw: the cameras' counter, this process's CPU and
// the wall time it advanced by, and the resident memory at its end.
struct Window {
    uint64_t count = 0;
    double cpu = 0;
    double seconds = 0;
    long rssKib = 0;
};

// N simulated cameras, all with one configuration, in a child process. The
// child answers 'c' with the sum of `count` over its cameras and ends on 'q'
// or when the parent goes away.
class CameraChild {
public:
    using Counter = uint64_t (*)(const camsim::CamSim&);

    CameraChild() = default;
    CameraChild(const CameraChild&) = delete;
    CameraChild& operator=(const CameraChild&) = delete;
    ~CameraChild() { Stop(); }

    // `toggleMs` > 0 flips every camera's motion that often. False (after a
    // message naming `prog`) when the child or one of its cameras failed.
    bool Start(const char* prog, const camsim::Config& cfg, int n, Counter count, int toggleMs) {
        int cmd[2], reply[2];
        if (pipe(cmd) != 0) return false;
        if (pipe(reply) != 0) {
            close(cmd[0]);
            close(cmd[1]);
            return false;
        }
        m_Pid = fork();
        if (m_Pid < 0) return false;
        if (m_Pid == 0) {
            close(cmd[1]);
            close(reply[0]);
            Run(prog, cfg, n, count, toggleMs, cmd[0], reply[1]);
        }
        close(cmd[0]);
        close(reply[1]);
        m_Cmd = cmd[1];
        m_Reply = reply[0];
        m_Ports.assign(n, 0);
        for (int i = 0; i < n; ++i) {
            if (!ReadAll(m_Reply, &m_Ports[i], sizeof(int)) || m_Ports[i] == 0) {
                fprintf(stderr, "%s: the camera process failed to start camera %d\n", prog, i);
                Stop();
                return false;
            }
        }
        return true;
    }

    const std::vector<int>& Ports() const { return m_Ports; }

    // The cameras' counter summed; 0 once the child is gone.
    uint64_t Count() {
        uint64_t v = 0;
        char c = 'c';
        if (m_Cmd < 0 || !WriteAll(m_Cmd, &c, 1) || !ReadAll(m_Reply, &v, sizeof(v))) return 0;
        return v;
    }

    // Waits `warmSeconds` (connections, logins, first answers), then measures
    // a window of `seconds`.
    Window Measure(double warmSeconds, double seconds) {
        SleepUntil(Now() + warmSeconds);
        const uint64_t count0 = Count();
        const double cpu0 = CpuSeconds();
        const double t0 = Now();
        SleepUntil(t0 + seconds);
        Window w;
        w.count = Count() - count0;
        w.cpu = CpuSeconds() - cpu0;
        w.seconds = Now() - t0;
        w.rssKib = RssKib();
        return w;
    }

    void Stop() {
        if (m_Cmd >= 0) {
            char q = 'q';
            WriteAll(m_Cmd, &q, 1);
            close(m_Cmd);
            m_Cmd = -1;
        }
        if (m_Reply >= 0) {
            close(m_Reply);
            m_Reply = -1;
        }
        if (m_Pid > 0) {
            waitpid(m_Pid, nullptr, 0);
            m_Pid = -1;
        }
    }

private:
    [[noreturn]] static void Run(const char* prog, const camsim::Config& cfg, int n, Counter count, int toggleMs,
                                 int cmdFd, int replyFd) {
        std::vector<std::unique_ptr<camsim::CamSim> > sims;
        for (int i = 0; i < n; ++i) {
            sims.emplace_back(new camsim::CamSim(cfg));
            std::string err;
            int port = 0;
            if (sims.back()->Start(err)) port = sims.back()->Port();
            else fprintf(stderr, "%s: camera %d: %s\n", prog, i, err.c_str());
            WriteAll(replyFd, &port, sizeof(port));
        }
        bool on = false;
        while (true) {
            fd_set rd;
            FD_ZERO(&rd);
            FD_SET(cmdFd, &rd);
            struct timeval tv = {toggleMs / 1000, (toggleMs % 1000) * 1000};
            int r = select(cmdFd + 1, &rd, nullptr, nullptr, toggleMs > 0 ? &tv : nullptr);
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) break;
            if (r > 0) {
                char cmd;
                if (!ReadAll(cmdFd, &cmd, 1) || cmd != 'c') break;
                uint64_t total = 0;
                if (count)
                    for (auto& s : sims) total += count(*s);
                WriteAll(replyFd, &total, sizeof(total));
                continue;
            }
            on = !on;
            for (auto& s : sims) s->SetMotion(on);
        }
        for (auto& s : sims) s->Stop();
        _exit(0);
    }

    pid_t m_Pid = -1;
    int m_Cmd = -1;
    int m_Reply = -1;
    std::vector<int> m_Ports;
};

}  // namespace bench
