// Polling cost: one process runs the real polling detectors for N simulated
// cameras at their own poll intervals for a fixed time and prints the CPU it
// spent per 1000 polls and the resident memory each detector added. The
// cameras live in a child process so that their CPU and memory are not
// counted. Each count runs over plain HTTP and over HTTPS (kept connections:
// a handshake per connection, not per poll; the certificate is not checked,
// as checking costs once per handshake). Numbers only; nothing is asserted.
//
//   bench_polling [--api KEY] [--cameras 50,200] [--seconds 20] [--kinds md,di] [--scheme http,https]
//
// A poll is one answer the camera gave after authentication.
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/benchutil.h"
#include "dupfromox/oxdebuglog.h"
#include "tools/camsim/camsim.h"
#include "tools/common/waittable.h"
#include "tools/monitor/recorder.h"

namespace {

const char kUser[] = "bench";
const char kPassword[] = "bench-pass";

struct Result {
    bool tls = false;
    int cameras = 0;
    int detectors = 0;
    uint64_t polls = 0;
    double cpu = 0;
    double seconds = 0;
    long rssPerDetectorKib = 0;
};

bool RunOnce(const std::string& api, const std::vector<int>& kinds, int n, double seconds, bool tls, Result& res) {
    camsim::Config cfg;
    cfg.api = api;
    cfg.tls = tls;
    cfg.user = kUser;
    cfg.password = kPassword;
    cfg.inputs = 1;
    bench::CameraChild cams;
    if (!cams.Start("bench_polling", cfg, n, [](const camsim::CamSim& s) { return s.AnswerCount(); }, 0))
        return false;
    const std::vector<int>& ports = cams.Ports();

    FILE* null = fopen("/dev/null", "w");
    StatusPrinter printer(null, true);
    const long rssBefore = bench::RssKib();
    std::vector<std::unique_ptr<MiniRecorder> > recs;
    int detectors = 0;
    // Each unchecked camera warns once on stderr: not for the bench's output.
    fflush(stderr);
    const int savedErr = dup(2);
    const int devNull = open("/dev/null", O_WRONLY);
    if (devNull >= 0) dup2(devNull, 2);
    SizeWaitTable(4 * (size_t)n + 64);  // as the monitor does for a fleet
    for (int i = 0; i < n; ++i) {
        MonitorOptions o;
        o.api = api;
        o.port = ports[i];
        o.user = kUser;
        o.password = kPassword;
        o.diCount = 1;
        o.camId = i + 1;
        o.kinds = kinds;
        o.https = tls;
        if (tls) o.tlsVerify = "none";
        recs.emplace_back(new MiniRecorder(o, printer));
        recs.back()->CreateDetectors();
        detectors += recs.back()->DetectorCount();
        recs.back()->StartAll();
    }
    fflush(stderr);
    if (savedErr >= 0) dup2(savedErr, 2);
    if (savedErr >= 0) close(savedErr);
    if (devNull >= 0) close(devNull);
    // Let every detector make its first poll (connections, authentication)
    // before measuring the steady state.
    const bench::Window w = cams.Measure(3.0, seconds);
    // Stopping joins each detector's thread after its current poll; done in
    // parallel so that 200 cameras do not take 200 poll intervals.
    std::vector<std::thread> stoppers;
    for (auto& r : recs) stoppers.emplace_back([&r] { r->ReleaseAll(); });
    for (std::thread& t : stoppers) t.join();
    recs.clear();
    fclose(null);
    cams.Stop();

    res.tls = tls;
    res.cameras = n;
    res.detectors = detectors;
    res.polls = w.count;
    res.cpu = w.cpu;
    res.seconds = w.seconds;
    res.rssPerDetectorKib = detectors > 0 ? (w.rssKib - rssBefore) / detectors : 0;
    return true;
}

std::vector<std::string> Split(const std::string& s, char sep) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos <= s.size()) {
        size_t e = s.find(sep, pos);
        out.push_back(s.substr(pos, e == std::string::npos ? std::string::npos : e - pos));
        if (e == std::string::npos) break;
        pos = e + 1;
    }
    return out;
}

int Usage(const char* why) {
    fprintf(stderr, "bench_polling: %s\nusage: bench_polling [--api KEY] [--cameras 50,200] [--seconds 20] "
                    "[--kinds md,di] [--scheme http,https]\n", why);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Brickcom: a Digest login, motion and input polled by separate detectors
    // every 500 ms. Families whose kinds share one poll share it per process,
    // so they do not fit a many-camera process.
    std::string api = "brickcom";
    std::vector<int> counts = {50, 200};
    std::vector<int> kinds = {1, 2};
    double seconds = 20;
    std::vector<bool> schemes = {false, true};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("option " + a + " needs a value").c_str());
        std::string v = argv[++i];
        if (a == "--api") {
            if (!camsim::FindFamily(v)) return Usage(("no simulated camera for API key '" + v + "'").c_str());
            api = v;
        } else if (a == "--cameras") {
            counts.clear();
            for (const std::string& c : Split(v, ',')) {
                int n = atoi(c.c_str());
                if (n < 1 || n > 1000) return Usage("--cameras expects numbers 1-1000");
                counts.push_back(n);
            }
        } else if (a == "--seconds") {
            seconds = atof(v.c_str());
            if (!(seconds > 0) || seconds > 3600) return Usage("--seconds expects 0-3600");
        } else if (a == "--kinds") {
            kinds.clear();
            for (const std::string& k : Split(v, ',')) {
                int kind = KindFromName(k);
                if (!kind) return Usage("--kinds expects md, di, td, ad");
                kinds.push_back(kind);
            }
        } else if (a == "--scheme") {
            schemes.clear();
            for (const std::string& k : Split(v, ',')) {
                if (k != "http" && k != "https") return Usage("--scheme expects http, https or both");
                schemes.push_back(k == "https");
            }
        } else {
            return Usage(("unknown option '" + a + "'").c_str());
        }
    }
    signal(SIGPIPE, SIG_IGN);
    BrellinOwned::OXSetLogPath("/dev/null");

    printf("%-6s %-8s %-9s %-10s %-8s %-9s %-12s %-10s %s\n", "scheme", "cameras", "detectors", "polls", "seconds",
           "polls/s", "cpu_s", "cpu_s/1000", "rss_kib/detector");
    for (int n : counts) {
        for (bool tls : schemes) {
            Result r;
            if (!RunOnce(api, kinds, n, seconds, tls, r)) return 1;
            printf("%-6s %-8d %-9d %-10llu %-8.1f %-9.1f %-12.3f %-10.4f %ld\n", r.tls ? "https" : "http", r.cameras,
                   r.detectors, (unsigned long long)r.polls, r.seconds, r.polls / r.seconds, r.cpu,
                   r.polls ? r.cpu / (r.polls / 1000.0) : 0.0, r.rssPerDetectorKib);
            fflush(stdout);
        }
    }
    printf("api %s, kinds", api.c_str());
    for (int k : kinds) printf(" %s", KindName(k));
    printf("; cpu is this process only (the cameras run in a child)\n");
    return 0;
}
