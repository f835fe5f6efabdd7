#include "tools/monitor/monitor.h"

#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>

#include <string>

#include "camdet/factory/detfactory.h"
#include "tools/common/waitend.h"
#include "tools/monitor/demo.h"
#include "tools/monitor/fleet.h"
#include "tools/monitor/librarylog.h"
#include "tools/monitor/options.h"
#include "tools/monitor/probe.h"
#include "tools/monitor/recorder.h"
#include "tools/monitor/shard.h"

namespace {

// The library's last lines get this long to reach stderr at the end.
const int kLogFlushMs = 200;

// Raises the soft open-files limit to the hard limit (one descriptor per
// camera connection adds up).
void RaiseOpenFilesLimit() {
    struct rlimit rl;
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        setrlimit(RLIMIT_NOFILE, &rl);
    }
}

bool KnownApiKey(const std::string& api) {
    int rows = 0;
    const DispatchRow* t = GetDispatchTable(rows);
    for (int r = 0; r < rows; ++r) {
        for (const char* const* k = t[r].keys; *k; ++k) {
            if (api == *k) return true;
        }
    }
    return false;
}

// --check-config: the file as a start or a reload would read it, plus the
// camera API keys, which the monitor would only find wrong camera by camera.
// The cameras (of the shard) go to stdout, one line each, never a login.
int CheckConfig(const MonitorOptions& opt) {
    std::vector<FleetCamera> cams;
    std::string error;
    if (!LoadFleetConfig(opt.checkConfig, cams, error)) {
        fprintf(stderr, "camdet-monitor: %s\n", error.c_str());
        return 2;
    }
    for (const FleetCamera& c : cams) {
        if (!KnownApiKey(c.opt.api)) {
            fprintf(stderr, "camdet-monitor: %s:%d: camera '%s': unknown camera API key '%s'\n",
                    opt.checkConfig.c_str(), c.line, c.name.c_str(), c.opt.api.c_str());
            return 2;
        }
    }
    const size_t inFile = cams.size();
    if (opt.shards) cams = CamerasOfShard(cams, opt.shard, opt.shards);
    for (const FleetCamera& c : cams) {
        std::string kinds;
        for (int k : c.opt.kinds) kinds += std::string(kinds.empty() ? "" : ",") + KindName(k);
        printf("%s %s %s %s\n", c.name.c_str(), c.opt.api.c_str(), CameraAddress(c.opt).c_str(), kinds.c_str());
    }
    if (opt.shards) {
        printf("%s: %zu of %zu cameras in shard %d/%d\n", opt.checkConfig.c_str(), cams.size(), inFile, opt.shard,
               opt.shards);
    } else {
        printf("%s: %zu cameras\n", opt.checkConfig.c_str(), cams.size());
    }
    return 0;
}

}  // namespace

int RunMonitor(int argc, const char* const* argv) {
    MonitorOptions opt;
    std::string error;
    if (!ParseMonitorOptions(argc, argv, opt, error)) {
        fprintf(stderr, "camdet-monitor: %s (see --help)\n", error.c_str());
        return 2;
    }
    if (opt.help) {
        fputs(MonitorUsage(), stdout);
        return 0;
    }
    if (opt.version) {
        printf("camdet-monitor %s\n", CAMDET_VERSION);
        return 0;
    }
    if (!opt.checkConfig.empty()) return CheckConfig(opt);
    RaiseOpenFilesLimit();
    if (!opt.config.empty()) return RunFleet(opt);
    if (!opt.logFile.empty()) UseLibraryLog(opt.logFile);
    else if (!opt.dryRun && !opt.demo) CheckDefaultLibraryLog();
    struct FlushAtEnd {
        ~FlushAtEnd() { FlushLibraryLog(kLogFlushMs); }
    } flushAtEnd;

    // Signals go to sigtimedwait only; the detector threads inherit the mask.
    sigset_t set;
    BlockEndSignals(set);

    StatusPrinter printer(stdout, opt.json);
    printer.SayFailures();
    if (opt.demo) return RunDemo(opt, printer, set);
    if (opt.probe) {
        EndSignalWatch watch(set);
        BrellinOwned::SetCurrentWakeUp(watch.Wake());
        const int rc = RunProbe(opt);
        BrellinOwned::SetCurrentWakeUp(nullptr);
        return watch.Finish() ? 0 : rc;
    }

    // The camera's set-up and the detectors' creation may talk to a silent
    // camera for a long time: an end signal meanwhile makes them give up.
    EndSignalWatch watch(set);
    BrellinOwned::SetCurrentWakeUp(watch.Wake());
    MiniRecorder rec(opt, printer);
    rec.CreateDetectors();
    BrellinOwned::SetCurrentWakeUp(nullptr);
    if (watch.Finish() || opt.dryRun) {
        rec.ReleaseAll();
        return 0;
    }
    if (rec.DetectorCount() == 0) {
        fprintf(stderr, "camdet-monitor: no detector for camera API key '%s'\n", opt.api.c_str());
        return 1;
    }
    rec.StartAll();
    WaitForEnd(set, opt.duration);
    rec.ReleaseAll();
    return 0;
}
