// ONVIF cost: one process runs N OnvifMD detectors (one simulated ONVIF
// camera each, WS-Security on) for a fixed time while the cameras' motion
// toggles every 250 ms, so that most pulls carry notifications. Prints the
// CPU this process spent per 1000 pulls and the resident memory each
// detector added. The cameras live in a child process so that their CPU and
// memory are not counted. Numbers only; nothing is asserted.
//
//   bench_onvif [--cameras 100] [--seconds 20] [--rate 4]
//   bench_onvif --idle [--cameras 20] [--seconds 150] [--events 60]
//
// --rate: notifications per second each camera queues (every motion change
// is two: the rule engine's and the video source's); at 20 a camera queues
// more than one pull of at most 8 every 500 ms could take. Besides the CPU per
// pull it prints the CPU per notification and how many of the notifications
// the cameras queued in the window were delivered.
//
// --idle: the cost of a camera with nothing to say and the latency of its
// rare events, for the old pacing (a 2 s pull every 500 ms) and the long
// polls (up to 60 s, ended by a notification): requests per minute per
// camera over --seconds without events, then --events single motion
// changes at random moments, each timed from the change in the camera to
// the detector's report.
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "bench/benchutil.h"
#include "camdet/transport/onvifdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "interface/hostservices.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

namespace {

const char kUser[] = "bench";

struct NotifCounts {
    uint64_t queued = 0;
    uint64_t delivered = 0;
};

// The cameras' own counts, from their switch board (plain HTTP on loopback).
NotifCounts Notifications(const std::vector<int>& ports) {
    NotifCounts c;
    for (int port : ports) {
        BrellinOwned::OXHttpClient http("127.0.0.1", port, "/onvif/simctl", "", "", 5, false, false, HTTP_VER_DEF, "");
        if (http.SendRequest(OX_HTTP_GET, "") != 0) continue;
        std::string body;
        char buf[4096];
        int k;
        while ((k = http.ReadData(buf, sizeof(buf))) > 0) body.append(buf, (size_t)k);
        std::string v;
        if (BrellinOwned::FindKeyVal(body, "queued", v, "=", "\n", false) == 0) c.queued += strtoull(v.c_str(), 0, 10);
        if (BrellinOwned::FindKeyVal(body, "delivered", v, "=", "\n", false) == 0)
            c.delivered += strtoull(v.c_str(), 0, 10);
    }
    return c;
}
const char kPassword[] = "bench-pass";

int Usage(const char* why) {
    fprintf(stderr,
            "bench_onvif: %s\nusage: bench_onvif [--cameras 100] [--seconds 20] [--rate 4]\n"
            "       bench_onvif --idle [--cameras 20] [--seconds 150] [--events 60]\n",
            why);
    return 2;
}

// One GET on a camera's plain HTTP (its switch board); the body.
std::string Get(int port, const std::string& path) {
    BrellinOwned::OXHttpClient http("127.0.0.1", port, path, "", "", 5, false, false, HTTP_VER_DEF, "");
    if (http.SendRequest(OX_HTTP_GET, "") != 0) return std::string();
    std::string body;
    char buf[4096];
    int k;
    while ((k = http.ReadData(buf, sizeof(buf))) > 0) body.append(buf, (size_t)k);
    return body;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, (size_t)(p * (v.size() - 1) + 0.5))];
}

// Idle cost and event latency of one pacing (maxWaitSec: the longest pull).
void RunIdle(int n, double seconds, int events, int maxWaitSec, const char* name) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.user = kUser;
    cfg.password = kPassword;
    cfg.inputs = 1;
    bench::CameraChild cams;
    if (!cams.Start("bench_onvif", cfg, n, [](const camsim::CamSim& s) { return s.RequestCount(); }, 0)) return;
    const std::vector<int>& ports = cams.Ports();
    FILE* null = fopen("/dev/null", "w");
    // The time each camera's motion report last changed (monotonic seconds).
    std::vector<std::atomic<double> > seen(n);
    std::vector<std::unique_ptr<StatusPrinter> > printers;
    std::vector<std::unique_ptr<MiniRecorder> > recs;
    for (int i = 0; i < n; ++i) {
        seen[i] = 0;
        printers.emplace_back(new StatusPrinter(null, true));
        printers.back()->SetObserver([&seen, i](int kind, int, bool, int, const std::string&) {
            if (kind == 1) seen[i] = bench::Now();
        });
        MonitorOptions o;
        o.api = "onvif";
        o.user = kUser;
        o.password = kPassword;
        o.camId = i + 1;
        o.kinds = {1};
        o.onvifDevice = "http://127.0.0.1:" + std::to_string(ports[i]) + "/onvif/device_service";
        bench::ResetSharing();
        recs.emplace_back(new MiniRecorder(o, *printers.back()));
        recs.back()->CreateDetectors();
        OnvifPullPointDetector* d = dynamic_cast<OnvifPullPointDetector*>(recs.back()->Detector(1));
        if (d) d->SetMaxPullWaitSec(maxWaitSec);
        recs.back()->StartAll();
    }
    // The first minute holds the subscription and its first renewal.
    const bench::Window w = cams.Measure(65, seconds);
    std::vector<double> lat;
    int missed = 0;
    std::vector<bool> on(n, false);
    srand(7);
    for (int e = 0; e < events; ++e) {
        // At a random moment of the pull cycle.
        usleep((useconds_t)(100000 + rand() % 1900000));
        const int i = e % n;
        on[i] = !on[i];
        const double before = seen[i];
        const double t0 = bench::Now();
        Get(ports[i], std::string("/camsim/control?motion=") + (on[i] ? "1" : "0"));
        while (seen[i] == before && bench::Now() < t0 + 5) usleep(200);
        if (seen[i] == before) ++missed;
        else lat.push_back((seen[i] - t0) * 1000);
    }
    for (auto& r : recs) r->ReleaseAll();
    recs.clear();
    fclose(null);
    cams.Stop();
    printf("%-22s %-8d %-10.1f %-14.2f %-8.1f %-8.1f %d/%d\n", name, n, w.seconds,
           w.count / (double)n / (w.seconds / 60.0), Percentile(lat, 0.5), Percentile(lat, 0.99), missed, events);
}

}  // namespace

int main(int argc, char** argv) {
    int n = 100;
    double seconds = 20;
    int rate = 4;
    bool idle = false;
    int events = 60;
    bool nSet = false, secondsSet = false;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--idle") {
            idle = true;
            continue;
        }
        if (i + 1 >= argc) return Usage(("option " + a + " needs a value").c_str());
        std::string v = argv[++i];
        if (a == "--cameras") {
            n = atoi(v.c_str());
            nSet = true;
            if (n < 1 || n > 1000) return Usage("--cameras expects 1-1000");
        } else if (a == "--events") {
            events = atoi(v.c_str());
            if (events < 1 || events > 100000) return Usage("--events expects 1-100000");
        } else if (a == "--rate") {
            rate = atoi(v.c_str());
            if (rate < 2 || rate > 200) return Usage("--rate expects 2-200");
        } else if (a == "--seconds") {
            seconds = atof(v.c_str());
            secondsSet = true;
            if (!(seconds > 0) || seconds > 3600) return Usage("--seconds expects 0-3600");
        } else {
            return Usage(("unknown option '" + a + "'").c_str());
        }
    }
    signal(SIGPIPE, SIG_IGN);
    BrellinOwned::OXSetLogPath("/dev/null");
    if (idle) {
        if (!nSet) n = 20;
        if (!secondsSet) seconds = 150;
        printf("%-22s %-8s %-10s %-14s %-8s %-8s %s\n", "pacing", "cameras", "seconds", "requests/min", "p50_ms",
               "p99_ms", "missed");
        RunIdle(n, seconds, events, 2, "2 s pulls (old)");
        RunIdle(n, seconds, events, 60, "long polls up to 60 s");
        printf("requests/min: per camera, no events, after the first minute; latency: one motion change at a "
               "random moment to the detector's report\n");
        return 0;
    }

    // The cameras' motion toggles so that they queue `rate` notifications a
    // second (two per change).
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.user = kUser;
    cfg.password = kPassword;
    cfg.inputs = 1;
    bench::CameraChild cams;
    if (!cams.Start("bench_onvif", cfg, n, [](const camsim::CamSim& s) { return s.RequestCount(); }, 2000 / rate))
        return 1;
    const std::vector<int>& ports = cams.Ports();

    FILE* null = fopen("/dev/null", "w");
    StatusPrinter printer(null, true);
    const long rssBefore = bench::RssKib();
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
        bench::ResetSharing();  // every detector talks to its own camera
        recs.emplace_back(new MiniRecorder(o, printer));
        recs.back()->CreateDetectors();
        recs.back()->StartAll();
    }
    // Subscriptions and first pulls before measuring.
    bench::SleepUntil(bench::Now() + 3.0);
    const NotifCounts n0 = Notifications(ports);
    const bench::Window w = cams.Measure(0, seconds);
    const NotifCounts n1 = Notifications(ports);
    for (auto& r : recs) r->ReleaseAll();
    recs.clear();
    fclose(null);
    cams.Stop();

    const uint64_t pulls = w.count;  // in the steady state nearly every request is a pull
    printf("%-8s %-10s %-8s %-9s %-10s %-12s %s\n", "cameras", "pulls", "seconds", "pulls/s", "cpu_s",
           "cpu_ms/pull", "rss_kib/detector");
    printf("%-8d %-10llu %-8.1f %-9.1f %-10.3f %-12.3f %ld\n", n, (unsigned long long)pulls, w.seconds,
           pulls / w.seconds, w.cpu, pulls ? w.cpu * 1000.0 / pulls : 0.0, (w.rssKib - rssBefore) / n);
    const uint64_t queued = n1.queued - n0.queued, delivered = n1.delivered - n0.delivered;
    printf("%-6s %-10s %-10s %-14s %-14s\n", "rate", "queued", "delivered", "delivered/%", "cpu_us/notif");
    printf("%-6d %-10llu %-10llu %-14.1f %-14.1f\n", rate, (unsigned long long)queued, (unsigned long long)delivered,
           queued ? 100.0 * delivered / queued : 0.0, delivered ? w.cpu * 1e6 / delivered : 0.0);
    printf("OnvifMD per camera, WS-Security digest per request; cpu is this process only; still queued at the end: "
           "%lld\n", (long long)(n1.queued - n1.delivered));
    return 0;
}
