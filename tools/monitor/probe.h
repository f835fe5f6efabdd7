// camdet-monitor --probe: what an ONVIF device lists and which topic key each
// kind gets from it.
#ifndef TOOLS_MONITOR_PROBE_H
#define TOOLS_MONITOR_PROBE_H

#include <string>

#include "host/onvif/onvifsetup.h"
#include "tools/monitor/options.h"

// Asks the device (--onvif-device) for its services and topics, prints the
// topics with their items and the key chosen per kind, and returns the exit
// status: 1 when the device answered nothing.
int RunProbe(const MonitorOptions& opt);

// The line for a given topic key the device does not list (empty when it
// lists it): "--onvif-topic md=KEY: the device does not list it; it lists ...".
std::string OnvifTopicWarning(int kind, const OnvifSetupReport::Choice& choice);

#endif  // TOOLS_MONITOR_PROBE_H
