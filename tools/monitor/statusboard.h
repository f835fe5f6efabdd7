// What the fleet's status page, /api/cameras and /metrics show: every camera
// with its detectors' current trigger and level, when each last changed, and
// the camera's connection health as the library's log lines tell it.
//
// The library reports failed exchanges only through its log, once per outage
// ("Request to HOST:PORT/path failed: ...", "Stream HOST:PORT: broken
// framing.", "Cam[N]: Failed to pulling event ..."). A line is given to the
// camera whose address or camera id it names; every such line counts as a
// reconnect (the detector goes on with a new connection), framing and
// malformed-answer lines also as parse failures. A camera is "error" while its
// last such line is younger than kErrorHoldMs, "ok" once it has reported a
// status and is not in error, "starting" before that.
//
// Nothing here ever holds a password or user name: lines are scrubbed of the
// camera's credentials when they arrive. Thread-safe.
#ifndef TOOLS_MONITOR_STATUSBOARD_H
#define TOOLS_MONITOR_STATUSBOARD_H

#include <stdint.h>

#include <condition_variable>
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
    std::string address;            // "host:port", for display and log attribution
    std::vector<std::string> alsoAddresses;  // more "host:port" its lines may name (ONVIF device)
    int camId = 0;
    std::vector<std::string> secrets;  // scrubbed from every stored line
    std::vector<BoardDetector> detectors;
};

class StatusBoard {
public:
    static const int kErrorHoldMs = 30000;

    // Adds (or replaces) a camera.
    void AddCamera(const BoardCamera& cam);
    void RemoveCamera(const std::string& name);
    // A detector's change as the monitor printed it.
    void Status(const std::string& camera, int kind, int port, bool trig, int level, const std::string& isoTime);
    // One line of the library's log (its time stamp may still be in front).
    void LogLine(const std::string& line);
    // Re-evaluates the time-based states; call about once a second.
    void Tick();
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
        bool reported = false;
        uint64_t reconnects = 0;
        uint64_t parseFailures = 0;
        std::string lastError;
        std::string lastErrorTime;
        int64_t lastErrorMs = -1;  // monotonic
        std::string state = "starting";
        uint64_t version = 0;
        size_t order = 0;
    };

    void Touch(Cam& c);  // m_Mutex held
    std::string StateOf(const Cam& c, int64_t nowMs) const;
    std::string CameraJson(const Cam& c) const;
    Cam* ForLine(const std::string& line);  // m_Mutex held
    std::string ScopeFields() const;        // m_Mutex held

    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::map<std::string, Cam> m_Cams;
    std::map<std::string, uint64_t> m_Removed;  // name -> version of removal
    uint64_t m_Version = 0;
    size_t m_NextOrder = 0;
    int m_Shard = 0, m_Shards = 0;
    size_t m_FileCameras = 0;
    uint64_t m_ScopeVersion = 0;
};

#endif  // TOOLS_MONITOR_STATUSBOARD_H
