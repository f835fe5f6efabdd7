// What the fleet's status page, /api/cameras and /metrics show: every camera
// with its health (the recorder's clients report it in process: connecting,
// ok, unreachable, unauthorized, error, with the last failure's text and
// time) and its detectors' current trigger and level, when each last changed.
// A camera that is not ok shows no trigger state at all (null): what its
// detectors last said is not what the camera does now. Failure texts never
// hold a login. Thread-safe.
#ifndef TOOLS_MONITOR_STATUSBOARD_H
#define TOOLS_MONITOR_STATUSBOARD_H

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

struct BoardDetector {
    int kind = 0;    // DET_TYPE_*
    int port = -1;   // DI port from 0; -1 for the whole camera
    std::string cls;  // detector class
};

struct BoardCamera {
    std::string name;
    std::string api;
    std::string address;  // "host:port", for display
    int camId = 0;
    std::vector<BoardDetector> detectors;
};

class StatusBoard {
public:

    // Adds (or replaces) a camera.
    void AddCamera(const BoardCamera& cam);
    void RemoveCamera(const std::string& name);
    // A detector's change as the monitor printed it.
    void Status(const std::string& camera, int kind, int port, bool trig, int level, const std::string& isoTime);
    // The camera's health changed: state is a CamHealthName, error the last
    // failure's text and errorTime its ISO time ("" for none).
    void Health(const std::string& camera, const std::string& state, const std::string& error,
                const std::string& errorTime);
    // More metrics (the broker connection's) appended to Metrics(); called
    // without the board's lock.
    void SetMoreMetrics(std::function<std::string()> fn);
    // What part of its configuration file the process runs: shard `shard` of
    // `shards` (0 of 0: the whole file), and how many cameras the file has.
    void SetScope(int shard, int shards, size_t fileCameras);

    // {"shard":{"index":K,"count":N} or null,"fileCameras":M,"cameras":[...]},
    // the cameras in configuration order.
    std::string CamerasJson();
    // The scope alone, {"shard":...,"fileCameras":M}, and a number that
    // changes with it.
    std::string ScopeJson();
    uint64_t ScopeVersion();
    // Prometheus text exposition format.
    std::string Metrics();
    // Waits up to `ms` for a change after `seen`; fills `changed` with the JSON
    // object of every camera changed since and `removed` with names removed
    // since, then moves `seen` on. False when nothing changed.
    bool WaitChanges(uint64_t& seen, int ms, std::vector<std::string>& changed, std::vector<std::string>& removed);
    uint64_t Version();

private:
    struct Det {
        BoardDetector d;
        bool known = false;  // reported at least once
        bool trig = false;
        int level = 0;
        std::string changed;  // ISO time of the last change
        uint64_t changes = 0;
        uint64_t triggers = 0;  // changes into the triggered state
    };
    struct Cam {
        BoardCamera cfg;
        std::vector<Det> dets;
        std::string state = "connecting";
        std::map<std::string, uint64_t> failures;  // state -> times the camera went into it
        std::string lastError;
        std::string lastErrorTime;
        uint64_t version = 0;
        size_t order = 0;
    };

    void Touch(Cam& c);  // m_Mutex held
    std::string CameraJson(const Cam& c) const;
    static uint64_t Failures(const Cam& c);
    std::string MetricsLocked() const;  // m_Mutex held
    std::string ScopeFields() const;    // m_Mutex held

    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::map<std::string, Cam> m_Cams;
    std::map<std::string, uint64_t> m_Removed;  // name -> version of removal
    uint64_t m_Version = 0;
    size_t m_NextOrder = 0;
    int m_Shard = 0, m_Shards = 0;
    size_t m_FileCameras = 0;
    uint64_t m_ScopeVersion = 0;
    std::function<std::string()> m_MoreMetrics;
};

#endif  // TOOLS_MONITOR_STATUSBOARD_H
