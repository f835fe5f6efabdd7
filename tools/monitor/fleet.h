// camdet-monitor --config: many cameras in one process. Each camera is a
// MiniRecorder of its own with a printer that names it; the fleet starts,
// restarts and releases them as the configuration file says, and hands every
// change to the status board and the MQTT publisher.
#ifndef TOOLS_MONITOR_FLEET_H
#define TOOLS_MONITOR_FLEET_H

#include <stdio.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "interface/clock.h"
#include "tools/monitor/fleetconfig.h"

class StatusBoard;
class MqttPublisher;

struct FleetSinks {
    FILE* out = stdout;  // status lines
    FILE* err = stderr;  // one line per camera that cannot be created, per reload
    bool json = false;
    StatusBoard* board = nullptr;  // optional
    MqttPublisher* mqtt = nullptr;  // optional
};

struct FleetChange {
    int started = 0;
    int released = 0;
    int restarted = 0;
    int unchanged = 0;
    int failed = 0;  // cameras that could not be created (reported, not running)
};

class Fleet {
public:
    explicit Fleet(const FleetSinks& sinks);
    // Releases every camera.
    ~Fleet();
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Brings the running cameras to `cams`: cameras no longer there are
    // released, new ones started, changed ones (other settings) restarted; the
    // others are not touched. Creation and release run on a few threads at
    // once, so that one slow camera does not hold up the rest.
    FleetChange Apply(const std::vector<FleetCamera>& cams);
    // While set, the creating threads give this wake-up to the recorder's
    // clients, and once it is signalled the cameras not created yet are left
    // out (the program is ending).
    void SetCreationWake(BrellinOwned::WakeUp* wake) { m_CreationWake = wake; }
    // Releases every camera (stopping first), a few at a time.
    void ReleaseAll();
    size_t Count() const;
    std::vector<std::string> Names() const;

private:
    struct Running;
    std::unique_ptr<Running> Create(const FleetCamera& cam, std::string& error);
    void Release(std::vector<std::unique_ptr<Running> >& cams);

    FleetSinks m_Sinks;
    std::mutex m_OutLock;  // shared by the cameras' printers
    std::map<std::string, std::unique_ptr<Running> > m_Cams;
    std::map<std::string, int> m_CamIds;  // kept for the process's life: a camera's id never changes
    int m_NextCamId = 1;
    BrellinOwned::WakeUp* m_CreationWake = nullptr;
};

// "host:port" of a camera as the page shows it (an ONVIF camera's device
// address, without a login).
std::string CameraAddress(const MonitorOptions& opt);

// The whole --config program; returns the exit status.
int RunFleet(const MonitorOptions& opt);

#endif  // TOOLS_MONITOR_FLEET_H
