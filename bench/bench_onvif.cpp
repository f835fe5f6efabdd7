// ONVIF cost: one process runs N OnvifMD detectors (one simulated ONVIF
// camera each, WS-Security on) for a fixed time while the cameras' motion
// toggles every 250 ms, so that most pulls carry notifications. Prints the
// CPU this process spent per 1000 pulls and the resident memory each
// detector added. The cameras live in a child process so that their CPU and
// memory are not counted. Numbers only; nothing is asserted.
//
//   bench_onvif [--cameras 100] [--seconds 20]
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "camdet/eventdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

namespace {

const char kUser[] = "bench";
const char kPassword[] = "bench-pass";

double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double CpuSeconds() {
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_utime.tv_sec + ru.ru_utime.tv_usec / 1e6 + ru.ru_stime.tv_sec + ru.ru_stime.tv_usec / 1e6;
}

long RssKib() {
    FILE* f = fopen("/proc/self/statm", "r");
    long pages = 0, rss = 0;
    if (f) {
        if (fscanf(f, "%ld %ld", &pages, &rss) != 2) rss = 0;
        fclose(f);
    }
    return rss * (sysconf(_SC_PAGESIZE) / 1024);
}

bool ReadAll(int fd, void* buf, size_t n) {
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

bool WriteAll(int fd, const void* buf, size_t n) {
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

// The cameras' process: N ONVIF devices whose motion toggles every 250 ms;
// answers 'c' with the requests served so far, ends on 'q' or EOF.
[[noreturn]] void CameraProcess(int n, int cmdFd, int replyFd) {
    std::vector<std::unique_ptr<camsim::CamSim> > sims;
    for (int i = 0; i < n; ++i) {
        camsim::Config cfg;
        cfg.api = "onvif";
        cfg.user = kUser;
        cfg.password = kPassword;
        cfg.inputs = 1;
        sims.emplace_back(new camsim::CamSim(cfg));
        std::string err;
        int port = 0;
        if (sims.back()->Start(err)) port = sims.back()->Port();
        else fprintf(stderr, "bench_onvif: camera %d: %s\n", i, err.c_str());
        WriteAll(replyFd, &port, sizeof(port));
    }
    bool on = false;
    while (true) {
        fd_set rd;
        FD_ZERO(&rd);
        FD_SET(cmdFd, &rd);
        struct timeval tv = {0, 250 * 1000};
        int r = select(cmdFd + 1, &rd, nullptr, nullptr, &tv);
        if (r > 0) {
            char cmd;
            if (!ReadAll(cmdFd, &cmd, 1) || cmd != 'c') break;
            uint64_t total = 0;
            for (auto& s : sims) total += s->RequestCount();
            WriteAll(replyFd, &total, sizeof(total));
            continue;
        }
        on = !on;
        for (auto& s : sims) s->SetMotion(on);
    }
    for (auto& s : sims) s->Stop();
    _exit(0);
}

int Usage(const char* why) {
    fprintf(stderr, "bench_onvif: %s\nusage: bench_onvif [--cameras 100] [--seconds 20]\n", why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    int n = 100;
    double seconds = 20;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("option " + a + " needs a value").c_str());
        std::string v = argv[++i];
        if (a == "--cameras") {
            n = atoi(v.c_str());
            if (n < 1 || n > 1000) return Usage("--cameras expects 1-1000");
        } else if (a == "--seconds") {
            seconds = atof(v.c_str());
            if (!(seconds > 0) || seconds > 3600) return Usage("--seconds expects 0-3600");
        } else {
            return Usage(("unknown option '" + a + "'").c_str());
        }
    }
    signal(SIGPIPE, SIG_IGN);
    BrellinOwned::OXSetLogPath("/dev/null");

    int cmd[2], reply[2];
    if (pipe(cmd) != 0 || pipe(reply) != 0) return 1;
    pid_t pid = fork();
    if (pid < 0) return 1;
    if (pid == 0) {
        close(cmd[1]);
        close(reply[0]);
        CameraProcess(n, cmd[0], reply[1]);
    }
    close(cmd[0]);
    close(reply[1]);
    std::vector<int> ports(n);
    for (int i = 0; i < n; ++i) {
        if (!ReadAll(reply[0], &ports[i], sizeof(int)) || ports[i] == 0) {
            fprintf(stderr, "bench_onvif: the camera process failed to start camera %d\n", i);
            return 1;
        }
    }
    auto served = [&]() -> uint64_t {
        uint64_t v = 0;
        char c = 'c';
        if (!WriteAll(cmd[1], &c, 1) || !ReadAll(reply[0], &v, sizeof(v))) return 0;
        return v;
    };

    FILE* null = fopen("/dev/null", "w");
    StatusPrinter printer(null, true);
    const long rssBefore = RssKib();
    std::vector<std::unique_ptr<MiniRecorder> > recs;
    for (int i = 0; i < n; ++i) {
        MonitorOptions o;
        o.api = "onvif";
        o.user = kUser;
        o.password = kPassword;
        o.diCount = 1;
        o.camId = i + 1;
        o.kinds = {1};
        o.onvifDevice = "http://127.0.0.1:" + std::to_string(ports[i]) + "/onvif/device_service";
        // A recorder runs one process per camera and the connection-sharing
        // registry is per process: start each camera with an empty one so that
        // every detector talks to its own camera.
        pthread_mutex_lock(&CamDetector::m_Lock);
        CamDetector::m_SharedDetMap.clear();
        CamDetector::m_blShareEnabled = false;
        pthread_mutex_unlock(&CamDetector::m_Lock);
        recs.emplace_back(new MiniRecorder(o, printer));
        recs.back()->CreateDetectors();
        recs.back()->StartAll();
    }
    // Subscriptions and first pulls before measuring.
    const double warm = Now() + 3.0;
    while (Now() < warm) usleep(100 * 1000);
    const uint64_t req0 = served();
    const double cpu0 = CpuSeconds();
    const double t0 = Now();
    while (Now() < t0 + seconds) usleep(100 * 1000);
    const uint64_t req1 = served();
    const double cpu1 = CpuSeconds();
    const double t1 = Now();
    const long rssRunning = RssKib();
    for (auto& r : recs) r->ReleaseAll();
    recs.clear();
    fclose(null);
    char q = 'q';
    WriteAll(cmd[1], &q, 1);
    close(cmd[1]);
    close(reply[0]);
    waitpid(pid, nullptr, 0);

    const uint64_t pulls = req1 - req0;  // in the steady state nearly every request is a pull
    printf("%-8s %-10s %-8s %-9s %-10s %-12s %s\n", "cameras", "pulls", "seconds", "pulls/s", "cpu_s",
           "cpu_ms/pull", "rss_kib/detector");
    printf("%-8d %-10llu %-8.1f %-9.1f %-10.3f %-12.3f %ld\n", n, (unsigned long long)pulls, t1 - t0,
           pulls / (t1 - t0), cpu1 - cpu0, pulls ? (cpu1 - cpu0) * 1000.0 / pulls : 0.0,
           (rssRunning - rssBefore) / n);
    printf("OnvifMD per camera, WS-Security digest per request; cpu is this process only\n");
    return 0;
}
