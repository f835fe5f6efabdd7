#include "tools/monitor/statusboard.h"

#include <ctype.h>
#include <time.h>

#include <algorithm>
#include <chrono>

#include "tools/common/isotime.h"
#include "tools/common/jsonstring.h"
#include "tools/monitor/options.h"

namespace {

int64_t MonoMs() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (int64_t)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

// Lines that say an answer could not be understood (besides being a failure).
bool IsParseFailure(const std::string& line) {
    static const char* const kMarks[] = {"broken framing", "Weird server reply", "HTTP/0.9", "Unsupported HTTP",
                                         "Header without colon", "Invalid response header"};
    for (const char* m : kMarks) {
        if (line.find(m) != std::string::npos) return true;
    }
    return false;
}

// Log lines that report a failed exchange with a camera.
bool IsFailure(const std::string& line) {
    static const char* const kMarks[] = {" failed", "Failed to", "Stream ", "Cannot resolve", "Invalid address"};
    for (const char* m : kMarks) {
        if (line.find(m) != std::string::npos) return true;
    }
    return false;
}

// The writer puts "Mon dd hh:mm:ss " in front of every entry.
std::string WithoutStamp(const std::string& line) {
    if (line.size() > 16 && line[3] == ' ' && line[6] == ' ' && line[9] == ':' && line[12] == ':' && line[15] == ' ')
        return line.substr(16);
    return line;
}

void Scrub(std::string& s, const std::vector<std::string>& secrets) {
    for (const std::string& sec : secrets) {
        if (sec.size() < 2) continue;
        size_t pos = 0;
        while ((pos = s.find(sec, pos)) != std::string::npos) {
            s.replace(pos, sec.size(), "***");
            pos += 3;
        }
    }
}

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
    c.reported = true;
    for (Det& d : c.dets) {
        if (d.d.kind != kind || d.d.port != port) continue;
        if (d.known && d.trig == trig && d.level == level) return;
        if (trig && (!d.known || !d.trig)) d.triggers++;
        d.known = true;
        d.trig = trig;
        d.level = level;
        d.changed = isoTime;
        d.changes++;
        c.state = StateOf(c, MonoMs());
        Touch(c);
        return;
    }
}

StatusBoard::Cam* StatusBoard::ForLine(const std::string& line) {
    // "Cam[N]" first: it names the camera exactly within this process.
    size_t p = line.find("Cam[");
    if (p != std::string::npos) {
        int id = atoi(line.c_str() + p + 4);
        for (auto& kv : m_Cams) {
            if (kv.second.cfg.camId == id) return &kv.second;
        }
    }
    // Otherwise every "HOST:PORT" in the line.
    for (size_t colon = line.find(':'); colon != std::string::npos; colon = line.find(':', colon + 1)) {
        size_t end = colon + 1;
        while (end < line.size() && isdigit((unsigned char)line[end])) ++end;
        if (end == colon + 1) continue;
        size_t start = colon;
        while (start > 0 && (isalnum((unsigned char)line[start - 1]) || line[start - 1] == '.' ||
                             line[start - 1] == '-' || line[start - 1] == '[' || line[start - 1] == ']'))
            --start;
        if (start == colon) continue;
        const std::string addr = line.substr(start, end - start);
        for (auto& kv : m_Cams) {
            if (kv.second.cfg.address == addr) return &kv.second;
            for (const std::string& a : kv.second.cfg.alsoAddresses) {
                if (a == addr) return &kv.second;
            }
        }
    }
    return nullptr;
}

void StatusBoard::LogLine(const std::string& raw) {
    std::string line = WithoutStamp(raw);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    if (line.empty() || !IsFailure(line)) return;
    std::lock_guard<std::mutex> g(m_Mutex);
    Cam* c = ForLine(line);
    if (!c) return;
    Scrub(line, c->cfg.secrets);
    if (line.size() > 300) line = line.substr(0, 300) + "...";
    c->reconnects++;
    if (IsParseFailure(line)) c->parseFailures++;
    c->lastError = line;
    c->lastErrorTime = NowIso();
    c->lastErrorMs = MonoMs();
    c->state = StateOf(*c, c->lastErrorMs);
    Touch(*c);
}

std::string StatusBoard::StateOf(const Cam& c, int64_t nowMs) const {
    if (c.lastErrorMs >= 0 && nowMs - c.lastErrorMs < kErrorHoldMs) return "error";
    return c.reported ? "ok" : "starting";
}

void StatusBoard::Tick() {
    std::lock_guard<std::mutex> g(m_Mutex);
    const int64_t now = MonoMs();
    for (auto& kv : m_Cams) {
        std::string st = StateOf(kv.second, now);
        if (st != kv.second.state) {
            kv.second.state = st;
            Touch(kv.second);
        }
    }
}

std::string StatusBoard::CameraJson(const Cam& c) const {
    std::string j = "{\"name\":" + JsonString(c.cfg.name) + ",\"api\":" + JsonString(c.cfg.api) +
                    ",\"address\":" + JsonString(c.cfg.address) + ",\"state\":" + JsonString(c.state) +
                    ",\"reconnects\":" + std::to_string(c.reconnects) +
                    ",\"parseFailures\":" + std::to_string(c.parseFailures) +
                    ",\"lastError\":" + (c.lastError.empty() ? "null" : JsonString(c.lastError)) +
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
    std::lock_guard<std::mutex> g(m_Mutex);
    std::string up, rec, parse, changes, trigs, trig, level;
    for (const auto& kv : m_Cams) {
        const Cam& c = kv.second;
        const std::string cam = "camera=\"" + LabelValue(c.cfg.name) + "\"";
        up += "camdet_camera_up{" + cam + "} " + (c.state == "ok" ? "1" : "0") + "\n";
        rec += "camdet_camera_reconnects_total{" + cam + "} " + std::to_string(c.reconnects) + "\n";
        parse += "camdet_camera_parse_failures_total{" + cam + "} " + std::to_string(c.parseFailures) + "\n";
        for (const Det& d : c.dets) {
            const std::string l = "{" + cam + ",kind=\"" + KindName(d.d.kind) + "\",port=\"" +
                                  (d.d.port < 0 ? std::string() : std::to_string(d.d.port)) + "\"} ";
            changes += "camdet_detector_changes_total" + l + std::to_string(d.changes) + "\n";
            trigs += "camdet_detector_triggers_total" + l + std::to_string(d.triggers) + "\n";
            trig += "camdet_detector_triggered" + l + (d.trig ? "1" : "0") + "\n";
            level += "camdet_detector_level" + l + std::to_string(d.level) + "\n";
        }
    }
    std::string out;
    out += "# HELP camdet_cameras Cameras the monitor runs.\n# TYPE camdet_cameras gauge\ncamdet_cameras " +
           std::to_string(m_Cams.size()) + "\n";
    out += "# HELP camdet_camera_up 1 while the camera answers without errors.\n# TYPE camdet_camera_up gauge\n" + up;
    out += "# HELP camdet_camera_reconnects_total Failed exchanges after which the detector reconnected.\n"
           "# TYPE camdet_camera_reconnects_total counter\n" +
           rec;
    out += "# HELP camdet_camera_parse_failures_total Answers the detector could not understand.\n"
           "# TYPE camdet_camera_parse_failures_total counter\n" +
           parse;
    out += "# HELP camdet_detector_changes_total Changes of trigger or level.\n"
           "# TYPE camdet_detector_changes_total counter\n" +
           changes;
    out += "# HELP camdet_detector_triggers_total Changes into the triggered state.\n"
           "# TYPE camdet_detector_triggers_total counter\n" +
           trigs;
    out += "# HELP camdet_detector_triggered 1 while the detector reports a trigger.\n"
           "# TYPE camdet_detector_triggered gauge\n" +
           trig;
    out += "# HELP camdet_detector_level The detector's current level.\n# TYPE camdet_detector_level gauge\n" + level;
    return out;
}
