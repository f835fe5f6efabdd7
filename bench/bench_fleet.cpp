// A fleet in one monitor process: N simulated cameras of mixed transports in
// one camdet-camsim fleet (a child process of this one), watched by one
// camdet-monitor --config --json at every family's default pacing, while the
// simulator changes one camera's motion, input, tampering or audio at a steady
// rate. Prints the monitor's CPU and the simulator's as a percentage of one
// core, the monitor's resident memory (total and per detector), descriptors
// and threads, the cameras that never became "ok", and per family the changes,
// the missed ones and the event latency (p50/p99) from the simulator's change
// to the monitor's printed line. For a polled family the latency is the part
// beyond its poll interval (a change waits up to one interval for the next
// poll by design). Numbers only; nothing is asserted.
//
//   bench_fleet [--cameras 1000] [--seconds 60] [--warm 20] [--events 20]
//
// The camera mix is the table kMix: a new transport family is one more row.
#include <json/json.h>
#include <poll.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <map>
#include <set>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "bench/benchutil.h"
#include "tools/camsim/fleet.h"

namespace {

struct MixRow {
    const char* api;
    const char* transport;
    double share;       // of the cameras
    const char* kinds;  // the kinds the family has, as the monitor's --kinds
    int pollMs;         // the family's poll interval; 0 for event streams
};

// Polling, multipart, line-stream and ONVIF families at their default pacing.
const MixRow kMix[] = {
    {"truen", "polling", 0.35, "md,di", 1000},
    {"hikvisionv3", "multipart", 0.30, "md,di,td,ad", 0},
    {"dahua", "line stream", 0.15, "md,di,td", 0},
    {"onvif", "onvif", 0.20, "md,di,td,ad", 0},
};

const size_t kRows = sizeof(kMix) / sizeof(kMix[0]);

// The mix row of a fleet camera ("API-N"); kRows when none.
size_t RowOf(const std::string& camera) {
    const std::string api = camera.substr(0, camera.rfind('-'));
    for (size_t r = 0; r < kRows; ++r) {
        if (api == kMix[r].api) return r;
    }
    return kRows;
}

// Whether the monitor watches `kind` of a fleet camera.
bool Watched(const std::string& camera, const std::string& kind) {
    const size_t r = RowOf(camera);
    return r == kRows || ("," + std::string(kMix[r].kinds) + ",").find("," + kind + ",") != std::string::npos;
}

const char kUser[] = "bench";
const char kPassword[] = "bench-pass";

struct Change {
    double at;  // monotonic seconds
    std::string camera;
    std::string kind;
    int port;
    bool trig;
};

long ProcField(pid_t pid, const char* file, const char* key) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/" + file);
    std::string line;
    while (std::getline(f, line)) {
        if (line.compare(0, strlen(key), key) == 0) return atol(line.c_str() + strlen(key));
    }
    return -1;
}

double ProcCpuSeconds(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/stat");
    std::string s((std::istreambuf_iterator<char>(f)), std::istreambuf_iterator<char>());
    size_t close = s.rfind(')');
    if (close == std::string::npos) return 0;
    std::istringstream in(s.substr(close + 2));
    std::string field;
    unsigned long long ut = 0, st = 0;
    for (int i = 3; i <= 15 && in >> field; ++i) {
        if (i == 14) ut = strtoull(field.c_str(), nullptr, 10);
        if (i == 15) st = strtoull(field.c_str(), nullptr, 10);
    }
    return (double)(ut + st) / sysconf(_SC_CLK_TCK);
}

int CountFds(pid_t pid) {
    DIR* d = opendir(("/proc/" + std::to_string(pid) + "/fd").c_str());
    if (!d) return -1;
    int n = 0;
    while (struct dirent* e = readdir(d)) n += e->d_name[0] != '.';
    closedir(d);
    return n;
}

int Usage(const char* why) {
    fprintf(stderr, "bench_fleet: %s\nusage: bench_fleet [--cameras 1000] [--seconds 60] [--warm 20] [--events 20]\n",
            why);
    return 2;
}

double Percentile(std::vector<double> v, double p) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    size_t i = (size_t)(p * (v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

}  // namespace

int main(int argc, char** argv) {
    int n = 1000;
    double seconds = 60, warm = 20, eventsPerSec = 20;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (i + 1 >= argc) return Usage(("option " + a + " needs a value").c_str());
        double v = atof(argv[++i]);
        if (a == "--cameras" && v >= 1 && v <= 5000) n = (int)v;
        else if (a == "--seconds" && v > 0) seconds = v;
        else if (a == "--warm" && v >= 0) warm = v;
        else if (a == "--events" && v > 0) eventsPerSec = v;
        else return Usage(("bad option or value '" + a + "'").c_str());
    }
    signal(SIGPIPE, SIG_IGN);
    const std::string dir = "/tmp/bench_fleet." + std::to_string(getpid());
    if (system(("mkdir -p " + dir).c_str()) != 0) return 1;
    const std::string config = dir + "/fleet.yaml";

    // The camera mix, rounded so that the rows add up to n.
    camsim::FleetOptions fo;
    int left = n;
    for (size_t r = 0; r < kRows; ++r) {
        int c = r + 1 == kRows ? left : (int)(n * kMix[r].share + 0.5);
        c = std::min(c, left);
        if (c > 0) fo.rows.push_back({kMix[r].api, c});
        left -= c;
    }
    fo.user = kUser;
    fo.password = kPassword;
    fo.inputs = 1;

    // The simulator child: starts the fleet, writes the monitor's
    // configuration, says "ready", then changes one camera at a time and
    // reports each change as "<monotonic> <camera> <kind> <port> <0|1>".
    int up[2], down[2];
    if (pipe(up) != 0 || pipe(down) != 0) return 1;
    pid_t sim = fork();
    if (sim == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        close(up[0]);
        close(down[1]);
        camsim::Fleet fleet;
        std::string err;
        if (!fleet.Start(fo, err)) {
            fprintf(stderr, "bench_fleet: simulator: %s\n", err.c_str());
            _exit(1);
        }
        std::string y = fleet.MonitorConfig();
        // Only the kinds each family has.
        std::string out;
        std::istringstream in(y);
        std::string line;
        while (std::getline(in, line)) {
            out += line + "\n";
            if (line.compare(0, 9, "    api: ") == 0) {
                for (const MixRow& m : kMix)
                    if (line.substr(9) == m.api) out += std::string("    kinds: [") + m.kinds + "]\n";
            }
        }
        std::ofstream(config) << out;
        FILE* w = fdopen(up[1], "w");
        fprintf(w, "ready\n");
        fflush(w);
        char c;
        if (read(down[0], &c, 1) != 1) _exit(0);  // "go": the monitor has warmed up
        const double step = 1.0 / eventsPerSec;
        double next = bench::Now();
        size_t k = 0;
        while (true) {
            struct pollfd p = {down[0], POLLIN, 0};
            double wait = next - bench::Now();
            if (poll(&p, 1, wait > 0 ? (int)(wait * 1000) : 0) > 0) break;  // "stop" or parent gone
            if (bench::Now() < next) continue;
            next += step;
            // Walk the cameras with a stride so that one camera changes
            // rarely and no change is folded into the previous one.
            const size_t i = (k * 7919) % fleet.Size();
            const size_t row = k / fleet.Size();
            ++k;
            camsim::CamSim& s = fleet.At(i);
            const camsim::AlarmState st = s.State();
            const std::string& api = s.GetConfig().api;
            const bool full = api != "truen";
            const int what = (int)((row + i) % (full ? 4 : 2));
            std::string kind = "md";
            int port = -1;
            bool on = false;
            const double at = bench::Now();  // before the change: a fast line can beat a later reading
            switch (what) {
            case 0: on = !st.motion; s.SetMotion(on); break;
            case 1: on = !st.Input(1); s.SetInput(1, on); kind = "di"; port = 0; break;
            case 2: on = !st.tamper; s.SetTamper(on); kind = "td"; break;
            default: on = !st.audio; s.SetAudio(on); kind = "ad"; break;
            }
            fprintf(w, "%.6f %s %s %d %d\n", at, fleet.Name(i).c_str(), kind.c_str(), port, on ? 1 : 0);
            fflush(w);
        }
        fleet.Stop();
        _exit(0);
    }
    close(up[1]);
    close(down[0]);
    FILE* fromSim = fdopen(up[0], "r");
    char line[512];
    if (!fgets(line, sizeof(line), fromSim) || strcmp(line, "ready\n") != 0) {
        fprintf(stderr, "bench_fleet: the simulator did not start\n");
        return 1;
    }

    // The monitor, its --json lines time-stamped on arrival.
    int mo[2];
    if (pipe(mo) != 0) return 1;
    pid_t mon = fork();
    if (mon == 0) {
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        dup2(mo[1], 1);
        close(mo[0]);
        close(mo[1]);
        execl(CAMDET_MONITOR, CAMDET_MONITOR, "--config", config.c_str(), "--json", "--log", "/dev/null",
              (char*)nullptr);
        _exit(127);
    }
    close(mo[1]);
    std::mutex mu;
    std::map<std::tuple<std::string, std::string, int>, std::vector<std::pair<double, bool> > > lines;
    size_t detectors = 0;
    std::set<std::string> seen;  // cameras that were "ok" at least once
    std::thread reader([&] {
        FILE* f = fdopen(mo[0], "r");
        char buf[1024];
        Json::CharReaderBuilder b;
        std::unique_ptr<Json::CharReader> r(b.newCharReader());
        while (fgets(buf, sizeof(buf), f)) {
            const double t = bench::Now();
            Json::Value v;
            if (!r->parse(buf, buf + strlen(buf), &v, nullptr)) continue;
            std::lock_guard<std::mutex> g(mu);
            if (v["event"].asString() == "detector") {
                if (v["class"].isString()) detectors++;
                continue;
            }
            if (v["event"].asString() == "camera") {
                if (v["state"].asString() == "ok") seen.insert(v["camera"].asString());
                continue;
            }
            lines[std::make_tuple(v["camera"].asString(), v["kind"].asString(),
                                  v["port"].isInt() ? v["port"].asInt() : -1)]
                .push_back(std::make_pair(t, v["trig"].asBool()));
        }
        fclose(f);
    });

    bench::SleepUntil(bench::Now() + warm);
    if (write(down[1], "g", 1) != 1) return 1;
    const double cpu0 = ProcCpuSeconds(mon), simCpu0 = ProcCpuSeconds(sim), t0 = bench::Now();
    std::vector<Change> changes;
    std::thread simReader([&] {
        char l[512];
        while (fgets(l, sizeof(l), fromSim)) {
            Change c;
            char cam[128], kind[8];
            int port, trig;
            if (sscanf(l, "%lf %127s %7s %d %d", &c.at, cam, kind, &port, &trig) != 5) continue;
            c.camera = cam;
            c.kind = kind;
            c.port = port;
            c.trig = trig != 0;
            std::lock_guard<std::mutex> g(mu);
            changes.push_back(c);
        }
    });
    bench::SleepUntil(t0 + seconds);
    const double cpu1 = ProcCpuSeconds(mon), simCpu1 = ProcCpuSeconds(sim), t1 = bench::Now();
    const long rss = ProcField(mon, "status", "VmRSS:");
    const long threads = ProcField(mon, "status", "Threads:");
    const int fds = CountFds(mon);
    if (write(down[1], "s", 1) != 1) {}
    close(down[1]);
    // A few seconds for the last changes' lines.
    bench::SleepUntil(bench::Now() + 5);
    kill(mon, SIGTERM);
    waitpid(mon, nullptr, 0);
    reader.join();
    waitpid(sim, nullptr, 0);
    simReader.join();
    fclose(fromSim);

    std::vector<double> lat, rowLat[kRows];
    size_t missed = 0, rowMissed[kRows] = {};
    for (const Change& c : changes) {
        if (c.at > t1 - 5) continue;  // too late in the window to judge
        if (!Watched(c.camera, c.kind)) continue;  // the simulator also changes kinds a family is not watched for
        const auto& v = lines[std::make_tuple(c.camera, c.kind, c.port)];
        double found = -1;
        for (const auto& l : v) {
            if (l.first >= c.at && l.second == c.trig) {
                found = l.first;
                break;
            }
        }
        const size_t r = RowOf(c.camera);
        if (found < 0) {
            missed++;
            if (r < kRows) rowMissed[r]++;
            continue;
        }
        const double ms = (found - c.at) * 1000;
        lat.push_back(ms);
        if (r < kRows) rowLat[r].push_back(std::max(0.0, ms - kMix[r].pollMs));
    }
    if (system(("rm -rf " + dir).c_str()) != 0) {}

    printf("cameras %d (", n);
    for (size_t r = 0; r < fo.rows.size(); ++r)
        printf("%s%d %s", r ? ", " : "", fo.rows[r].count, kMix[r].transport);
    printf("), detectors %zu, window %.0f s after %.0f s warm-up\n", detectors, t1 - t0, warm);
    printf("%-10s %-10s %-10s %-14s %-6s %-8s %-10s %-10s %-8s %-7s %s\n", "cpu_%core", "sim_%core", "rss_mib",
           "rss_kib/det", "fds", "threads", "p50_ms", "p99_ms", "changes", "missed", "never_ok");
    printf("%-10.1f %-10.1f %-10.1f %-14.1f %-6d %-8ld %-10.0f %-10.0f %-8zu %-7zu %zu\n",
           100.0 * (cpu1 - cpu0) / (t1 - t0), 100.0 * (simCpu1 - simCpu0) / (t1 - t0), rss / 1024.0,
           detectors ? (double)rss / detectors : 0.0, fds, threads, Percentile(lat, 0.5), Percentile(lat, 0.99),
           lat.size() + missed, missed, (size_t)n - std::min((size_t)n, seen.size()));
    printf("per family (polled: latency beyond the poll interval)\n");
    printf("%-12s %-12s %-8s %-7s %-10s %s\n", "family", "transport", "changes", "missed", "p50_ms", "p99_ms");
    for (size_t r = 0; r < kRows; ++r)
        printf("%-12s %-12s %-8zu %-7zu %-10.0f %.0f\n", kMix[r].api, kMix[r].transport,
               rowLat[r].size() + rowMissed[r], rowMissed[r], Percentile(rowLat[r], 0.5), Percentile(rowLat[r], 0.99));
    printf("rss, descriptors and threads are the monitor process's; never_ok counts cameras never seen \"ok\"\n");
    return 0;
}
