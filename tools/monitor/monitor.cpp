#include "tools/monitor/monitor.h"

#include <signal.h>
#include <stdio.h>
#include <sys/resource.h>

#include <string>

#include "dupfromox/oxdebuglog.h"
#include "tools/common/waitend.h"
#include "tools/monitor/demo.h"
#include "tools/monitor/fleet.h"
#include "tools/monitor/options.h"
#include "tools/monitor/probe.h"
#include "tools/monitor/recorder.h"

namespace {

// Raises the soft open-files limit to the hard limit (one descriptor per
// camera connection adds up).
void RaiseOpenFilesLimit() {
    struct rlimit rl;
    if (getrlimit(RLIMIT_NOFILE, &rl) == 0 && rl.rlim_cur < rl.rlim_max) {
        rl.rlim_cur = rl.rlim_max;
        setrlimit(RLIMIT_NOFILE, &rl);
    }
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
    RaiseOpenFilesLimit();
    if (!opt.config.empty()) return RunFleet(opt);
    if (!opt.logFile.empty()) BrellinOwned::OXSetLogPath(opt.logFile);

    // Signals go to sigtimedwait only; the detector threads inherit the mask.
    sigset_t set;
    BlockEndSignals(set);

    StatusPrinter printer(stdout, opt.json);
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
