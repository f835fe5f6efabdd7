#include "tools/monitor/demo.h"

// The simulated camera arrives with the polling detectors.
int RunDemo(const MonitorOptions&, StatusPrinter&, const sigset_t&) {
    fprintf(stderr, "camdet-monitor: --demo is not available in this build\n");
    return 2;
}
