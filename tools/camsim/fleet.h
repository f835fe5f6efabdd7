// Many simulated cameras in one process: rows of "this API key, so many
// cameras" on consecutive ports (or any free ones), with random state
// changes and random faults on time lines of their own, so that a benchmark
// or a soak needs one simulator process rather than one per camera. Each
// camera is an ordinary CamSim; this only creates, drives and names them.
#ifndef TOOLS_CAMSIM_FLEET_H
#define TOOLS_CAMSIM_FLEET_H

#include <stdint.h>
#include <stdio.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "tools/camsim/camsim.h"

namespace camsim {

struct FleetRow {
    std::string api;
    int count = 0;
};

struct FleetOptions {
    std::vector<FleetRow> rows;
    int basePort = 0;  // camera i listens on basePort + i; 0: any free ports
    std::string user;
    std::string password;
    Auth auth = Auth::kFamily;
    int inputs = 2;
    double eventEvery = 0;  // seconds between random state changes across the fleet; 0: none
    double faultEvery = 0;  // seconds between random faults across the fleet; 0: none
    double faultMaxSec = 5;  // a fault stays on 1 s to this long
    uint32_t seed = 1;
    FILE* eventLog = nullptr;  // one line per change: "<ISO time> <camera> <what> on|off"
};

// "KEY:COUNT" -> a row; false with a one-line error.
bool ParseFleetRow(const std::string& text, FleetRow& row, std::string& error);
// A file of "KEY COUNT" lines ("#" comments); false with "FILE:LINE: what".
bool LoadFleetFile(const std::string& path, std::vector<FleetRow>& rows, std::string& error);

class Fleet {
public:
    Fleet() = default;
    ~Fleet() { Stop(); }
    Fleet(const Fleet&) = delete;
    Fleet& operator=(const Fleet&) = delete;

    // Starts every camera, then the random time lines. False with `error`
    // (naming the camera and port) when one cannot start; the ones started are
    // stopped again.
    bool Start(const FleetOptions& opt, std::string& error);
    // Stops the time lines and every camera.
    void Stop();

    size_t Size() const { return m_Sims.size(); }
    CamSim& At(size_t i) { return *m_Sims[i]; }
    // "<api>-<n>", n counting from 1 within the row.
    const std::string& Name(size_t i) const { return m_Names[i]; }
    // A camdet-monitor --config file that watches every camera of the fleet.
    std::string MonitorConfig() const;

private:
    void Events();
    void Faults();
    void Log(const std::string& camera, const std::string& what, bool on);
    bool Sleep(double seconds);  // false once stopping

    FleetOptions m_Opt;
    std::vector<std::unique_ptr<CamSim> > m_Sims;
    std::vector<std::string> m_Names;
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_Stop = false;
    std::mt19937 m_EventRng, m_FaultRng;
    std::thread m_EventThread, m_FaultThread;
};

}  // namespace camsim

#endif  // TOOLS_CAMSIM_FLEET_H
