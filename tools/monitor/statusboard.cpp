#include "tools/monitor/statusboard.h"

#include <ctype.h>
#include <time.h>

#include <algorithm>
#include <chrono>

#include "tools/common/isotime.h"
#include "tools/common/jsonstring.h"
#include "tools/monitor/options.h"

namespace {

std::string LabelValue(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

}  // namespace

void StatusBoard::Touch(Cam& c) {
    c.version = ++m_Version;
    m_Cond.notify_all();
}

void StatusBoard::AddCamera(const BoardCamera& cfg) {
    std::lock_guard<std::mutex> g(m_Mutex);
    Cam c;
    c.cfg = cfg;
    for (const BoardDetector& d : cfg.detectors) {
        Det det;
        det.d = d;
        c.dets.push_back(det);
    }
    auto old = m_Cams.find(cfg.name);
    c.order = old != m_Cams.end() ? old->second.order : m_NextOrder++;
    m_Removed.erase(cfg.name);
    Cam& slot = m_Cams[cfg.name] = c;
    Touch(slot);
}

void StatusBoard::RemoveCamera(const std::string& name) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (!m_Cams.erase(name)) return;
    m_Removed[name] = ++m_Version;
    m_Cond.notify_all();
}

void StatusBoard::Status(const std::string& camera, int kind, int port, bool trig, int level,
                         const std::string& isoTime) {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Cams.find(camera);
    if (it == m_Cams.end()) return;
    Cam& c = it->second;
    for (Det& d : c.dets) {
        if (d.d.kind != kind || d.d.port != port) continue;
        if (d.known && d.trig == trig && d.level == level) return;
        if (trig && (!d.known || !d.trig)) d.triggers++;
        d.known = true;
        d.trig = trig;
        d.level = level;
        d.changed = isoTime;
        d.changes++;
        Touch(c);
        return;
    }
}

void StatusBoard::Health(const std::string& camera, const std::string& state, const std::string& error,
                         const std::string& errorTime) {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Cams.find(camera);
    if (it == m_Cams.end()) return;
    Cam& c = it->second;
    if (state != "ok" && state != "connecting" && state != c.state) c.failures[state]++;
    c.state = state;
    if (!error.empty()) {
        c.lastError = error.size() > 300 ? error.substr(0, 300) + "..." : error;
        c.lastErrorTime = errorTime;
    }
    // What the detectors said before is not what a camera we cannot see does now.
    if (state != "ok") {
        for (Det& d : c.dets) d.known = false;
    }
    Touch(c);
}

void StatusBoard::SetMoreMetrics(std::function<std::string()> fn) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_MoreMetrics = std::move(fn);
}

uint64_t StatusBoard::Failures(const Cam& c) {
    uint64_t n = 0;
    for (const auto& kv : c.failures) n += kv.second;
    return n;
}

std::string StatusBoard::CameraJson(const Cam& c) const {
    std::string j = "{\"name\":" + JsonString(c.cfg.name) + ",\"api\":" + JsonString(c.cfg.api) +
                    ",\"address\":" + JsonString(c.cfg.address) + ",\"state\":" + JsonString(c.state) +
                    ",\"failures\":" + std::to_string(Failures(c)) + ",\"lastError\":" + (c.lastError.empty() ? "null" : JsonString(c.lastError)) +
                    ",\"lastErrorTime\":" + (c.lastErrorTime.empty() ? "null" : JsonString(c.lastErrorTime)) +
                    ",\"detectors\":[";
    for (size_t i = 0; i < c.dets.size(); ++i) {
        const Det& d = c.dets[i];
        if (i) j += ",";
        j += std::string("{\"kind\":\"") + KindName(d.d.kind) + "\",\"port\":" +
             (d.d.port < 0 ? std::string("null") : std::to_string(d.d.port)) + ",\"class\":" + JsonString(d.d.cls) +
             ",\"trig\":" + (d.known ? (d.trig ? "true" : "false") : "null") + ",\"level\":" +
             (d.known ? std::to_string(d.level) : std::string("null")) +
             ",\"changed\":" + (d.changed.empty() ? "null" : JsonString(d.changed)) +
             ",\"changes\":" + std::to_string(d.changes) + "}";
    }
    return j + "]}";
}

void StatusBoard::SetScope(int shard, int shards, size_t fileCameras) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (shard == m_Shard && shards == m_Shards && fileCameras == m_FileCameras) return;
    m_Shard = shard;
    m_Shards = shards;
    m_FileCameras = fileCameras;
    m_ScopeVersion = ++m_Version;
    m_Cond.notify_all();
}

std::string StatusBoard::ScopeFields() const {
    return "\"shard\":" +
           (m_Shards ? "{\"index\":" + std::to_string(m_Shard) + ",\"count\":" + std::to_string(m_Shards) + "}"
                     : std::string("null")) +
           ",\"fileCameras\":" + std::to_string(m_FileCameras);
}

std::string StatusBoard::ScopeJson() {
    std::lock_guard<std::mutex> g(m_Mutex);
    return "{" + ScopeFields() + "}";
}

uint64_t StatusBoard::ScopeVersion() {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_ScopeVersion;
}

std::string StatusBoard::CamerasJson() {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::vector<const Cam*> list;
    for (const auto& kv : m_Cams) list.push_back(&kv.second);
    std::sort(list.begin(), list.end(), [](const Cam* a, const Cam* b) { return a->order < b->order; });
    std::string j = "{\"version\":" + std::to_string(m_Version) + "," + ScopeFields() + ",\"cameras\":[";
    for (size_t i = 0; i < list.size(); ++i) j += (i ? "," : "") + CameraJson(*list[i]);
    return j + "]}";
}

uint64_t StatusBoard::Version() {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Version;
}

bool StatusBoard::WaitChanges(uint64_t& seen, int ms, std::vector<std::string>& changed,
                              std::vector<std::string>& removed) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    if (!m_Cond.wait_for(lk, std::chrono::milliseconds(ms), [&] { return m_Version != seen; })) return false;
    for (const auto& kv : m_Cams) {
        if (kv.second.version > seen) changed.push_back(CameraJson(kv.second));
    }
    for (const auto& kv : m_Removed) {
        if (kv.second > seen) removed.push_back(kv.first);
    }
    seen = m_Version;
    return true;
}

std::string StatusBoard::Metrics() {
    std::function<std::string()> more;
    std::string out;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        more = m_MoreMetrics;
        out = MetricsLocked();
    }
    return more ? out + more() : out;
}

std::string StatusBoard::MetricsLocked() const {
    static const char* const kStates[] = {"connecting", "ok", "unreachable", "unauthorized", "error"};
    std::string up, state, fail, changes, trigs, trig, level;
    for (const auto& kv : m_Cams) {
        const Cam& c = kv.second;
        const std::string cam = "camera=\"" + LabelValue(c.cfg.name) + "\"";
        up += "camdet_camera_up{" + cam + "} " + (c.state == "ok" ? "1" : "0") + "\n";
        for (const char* st : kStates) {
            state += "camdet_camera_state{" + cam + ",state=\"" + st + "\"} " + (c.state == st ? "1" : "0") + "\n";
            if (std::string(st) == "ok" || std::string(st) == "connecting") continue;
            auto f = c.failures.find(st);
            fail += "camdet_camera_failures_total{" + cam + ",state=\"" + st + "\"} " +
                    std::to_string(f == c.failures.end() ? 0 : f->second) + "\n";
        }
        for (const Det& d : c.dets) {
            const std::string l = "{" + cam + ",kind=\"" + KindName(d.d.kind) + "\",port=\"" +
                                  (d.d.port < 0 ? std::string() : std::to_string(d.d.port)) + "\"} ";
            changes += "camdet_detector_changes_total" + l + std::to_string(d.changes) + "\n";
            trigs += "camdet_detector_triggers_total" + l + std::to_string(d.triggers) + "\n";
            // A camera we cannot see has no trigger state: no sample rather than a 0.
            if (!d.known) continue;
            trig += "camdet_detector_triggered" + l + (d.trig ? "1" : "0") + "\n";
            level += "camdet_detector_level" + l + std::to_string(d.level) + "\n";
        }
    }
    std::string out;
    out += "# HELP camdet_cameras Cameras the monitor runs.\n# TYPE camdet_cameras gauge\ncamdet_cameras " +
           std::to_string(m_Cams.size()) + "\n";
    out += "# HELP camdet_camera_up 1 while the camera's state is ok.\n# TYPE camdet_camera_up gauge\n" + up;
    out += "# HELP camdet_camera_state 1 for the camera's current state.\n# TYPE camdet_camera_state gauge\n" +
           state;
    out += "# HELP camdet_camera_failures_total Times the camera went into a failed state.\n"
           "# TYPE camdet_camera_failures_total counter\n" +
           fail;
    out += "# HELP camdet_detector_changes_total Changes of trigger or level.\n"
           "# TYPE camdet_detector_changes_total counter\n" +
           changes;
    out += "# HELP camdet_detector_triggers_total Changes into the triggered state.\n"
           "# TYPE camdet_detector_triggers_total counter\n" +
           trigs;
    out += "# HELP camdet_detector_triggered 1 while the detector reports a trigger (none while the camera is "
           "not ok).\n# TYPE camdet_detector_triggered gauge\n" +
           trig;
    out += "# HELP camdet_detector_level The detector's current level.\n# TYPE camdet_detector_level gauge\n" + level;
    return out;
}
