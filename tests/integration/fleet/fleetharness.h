// The fleet tests' pieces: camdet-monitor --config (or another program) as a
// child process whose stdout lines go to a callback (a camtest::StatusLog
// collects the --json lines per camera) and whose stderr is kept in a file.
#ifndef TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
#define TESTS_INTEGRATION_FLEET_FLEETHARNESS_H

#include <unistd.h>

#include <string>

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

}  // namespace fleettest

#endif  // TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
