// The --config file of camdet-monitor: a YAML map "cameras:" from a camera's
// name to its settings, whose keys are the monitor's long per-camera option
// names without the dashes and take the same values (lists as YAML lists):
//
//   cameras:
//     front-door:
//       api: hikvisionv3
//       host: 192.0.2.10
//       kinds: [md, di]
//       di-count: 2
//
// A setting is checked exactly as its command-line option is, so a file and a
// command line can never disagree on what a value means. In every value
// "${NAME}" is the environment variable NAME ("$${" a plain "${"), and
// "password-file: PATH" (relative to the file's directory) reads the password
// from a file, so that secrets need not sit in the file; a variable that is
// not set or a password file that cannot be read is an error of its line, and
// no message echoes a value taken from the environment.
#ifndef TOOLS_MONITOR_FLEETCONFIG_H
#define TOOLS_MONITOR_FLEETCONFIG_H

#include <string>
#include <vector>

#include "tools/monitor/options.h"

struct FleetCamera {
    std::string name;
    // The settings in command-line form ("--api", "hikvisionv3", ...), in file
    // order; two cameras with equal args are the same camera to a reload.
    std::vector<std::string> args;
    MonitorOptions opt;
    bool camIdGiven = false;  // "cam-id" set in the file
    int line = 0;             // of its name in the file
};

// Camera names: 1-64 letters, digits, '-' and '_' (they become MQTT topic
// levels, Home Assistant ids and metric labels).
bool ValidCameraName(const std::string& name);

// Parses the text of a configuration file called `fileName`. On the first
// problem returns false with `error` set to one line "FILE:LINE: what"
// (without LINE when the problem has no place in the file).
bool ParseFleetConfig(const std::string& text, const std::string& fileName, std::vector<FleetCamera>& out,
                      std::string& error);
// Reads and parses the file.
bool LoadFleetConfig(const std::string& path, std::vector<FleetCamera>& out, std::string& error);

#endif  // TOOLS_MONITOR_FLEETCONFIG_H
