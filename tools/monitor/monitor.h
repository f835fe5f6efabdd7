// camdet-monitor's entry: reads the options and runs one camera, the demo or
// a fleet (--config).
#ifndef TOOLS_MONITOR_MONITOR_H
#define TOOLS_MONITOR_MONITOR_H

// Whole program; returns the exit status.
int RunMonitor(int argc, const char* const* argv);

#endif  // TOOLS_MONITOR_MONITOR_H
