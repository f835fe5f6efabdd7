// The fleet tests' pieces: camdet-monitor --config (or another program) as a
// child process whose stdout lines go to a callback (a camtest::StatusLog
// collects the --json lines per camera) and whose stderr is kept in a file;
// a monitor run to its end.
#ifndef TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
#define TESTS_INTEGRATION_FLEET_FLEETHARNESS_H

#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"

namespace fleettest {

using camtest::Child;
using camtest::Eventually;
using camtest::HttpGet;
using camtest::ReadFile;
using camtest::WriteFile;

inline std::string TempPath(const std::string& name) {
    return std::string(CAMDET_BINARY_DIR) + "/fleet-" + std::to_string(getpid()) + "-" + name;
}

// Runs the monitor to its end; stdout lines and the text of stderr.
inline int RunToEnd(const std::vector<std::string>& args, std::vector<std::string>& out, std::string& err,
                    const char* name = "cli") {
    std::vector<std::string> argv{CAMDET_MONITOR};
    argv.insert(argv.end(), args.begin(), args.end());
    const std::string errPath = TempPath(std::string(name) + ".err");
    std::mutex m;
    int rc;
    {
        Child mon(argv, errPath);
        mon.Read([&](const std::string& l) {
            std::lock_guard<std::mutex> g(m);
            out.push_back(l);
        });
        rc = mon.Wait();
    }
    err = ReadFile(errPath);
    return rc;
}

}  // namespace fleettest

#endif  // TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
