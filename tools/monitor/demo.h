// camdet-monitor --demo: a simulated camera in-process, watched by the real
// detectors over loopback.
#ifndef TOOLS_MONITOR_DEMO_H
#define TOOLS_MONITOR_DEMO_H

#include <signal.h>

#include "tools/monitor/recorder.h"

// Runs the scripted demo; returns the exit status.
int RunDemo(const MonitorOptions& opt, StatusPrinter& printer, const sigset_t& signals);

#endif  // TOOLS_MONITOR_DEMO_H
