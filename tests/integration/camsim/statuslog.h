// The status lines of camdet-monitor --json, collected from a pipe by a reader
// thread so that a test can wait for "this detector now reports that" instead
// of sleeping. A fleet's lines name their camera; a single camera's name none.
#ifndef TESTS_INTEGRATION_CAMSIM_STATUSLOG_H
#define TESTS_INTEGRATION_CAMSIM_STATUSLOG_H

#include <json/json.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

namespace camtest {

// Hands each line read from fd (without its newline) to onLine until EOF.
inline void ForEachLine(int fd, const std::function<void(const std::string&)>& onLine) {
    std::string pending;
    char buf[4096];
    ssize_t n;
    while ((n = read(fd, buf, sizeof(buf))) > 0) {
        pending.append(buf, (size_t)n);
        for (size_t nl; (nl = pending.find('\n')) != std::string::npos; pending.erase(0, nl + 1)) {
            onLine(pending.substr(0, nl));
        }
    }
}

// A text as JSON (null when it is none).
inline Json::Value ParseJson(const std::string& text) {
    Json::Value v;
    std::istringstream in(text);
    Json::parseFromStream(Json::CharReaderBuilder(), in, &v, nullptr);
    return v;
}

struct StatusEvent {
    std::string kind;  // "md", "di", "td", "ad"
    int port;          // -1 when the line has none
    bool trig;
    int level;
};

class StatusLog {
public:
    // Reads JSON lines from fd until EOF; owns and closes fd.
    explicit StatusLog(int fd) : m_Fd(fd), m_Reader([this] { Read(); }) {}
    ~StatusLog() {
        if (m_Reader.joinable()) m_Reader.join();
        if (m_Fd >= 0) close(m_Fd);
    }

    // True once the latest status of (kind, port) is `trig` (and `level`,
    // unless it is negative); waits at most `ms`.
    bool WaitState(const std::string& kind, int port, bool trig, int level, int ms,
                   const std::string& camera = std::string()) {
        return Wait(ms, [&] {
            auto it = m_Latest.find(std::make_tuple(camera, kind, port));
            return it != m_Latest.end() && it->second.trig == trig && (level < 0 || it->second.level == level);
        });
    }
    // True once the reader has seen EOF; waits at most `ms`.
    bool WaitEof(int ms) {
        return Wait(ms, [&] { return m_Eof; });
    }
    // Class name per kind from the "detector" lines ("" for none).
    std::map<std::string, std::string> Classes() { return Locked(m_Classes); }
    bool WaitClasses(size_t n, int ms) {
        return Wait(ms, [&] { return m_Classes.size() >= n || m_Eof; });
    }
    std::vector<StatusEvent> Events() { return Locked(m_Events); }
    // Events of (kind, port) with trig set.
    int CountTriggered(const std::string& kind, int port) {
        std::lock_guard<std::mutex> g(m_Mutex);
        int n = 0;
        for (const StatusEvent& e : m_Events) n += (e.kind == kind && e.port == port && e.trig) ? 1 : 0;
        return n;
    }
    // Every health state of the camera ("camera" lines; "": of every camera), in order.
    std::vector<std::string> Health(const std::string& camera = std::string()) {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Health[camera];
    }
    // True once the camera's latest health state is `state`; waits at most `ms`.
    bool WaitHealth(const std::string& state, int ms, const std::string& camera = std::string()) {
        return Wait(ms, [&] { return !m_Health[camera].empty() && m_Health[camera].back() == state; });
    }
    // The "detector" lines of a camera (one per kind each time it is made).
    int Detectors(const std::string& camera) {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Detectors[camera];
    }
    bool WaitDetectors(const std::string& camera, int n, int ms) {
        return Wait(ms, [&] { return m_Detectors[camera] >= n; });
    }
    // The "camera" and "status" lines in the order they came.
    std::vector<std::string> Order() { return Locked(m_Order); }
    std::vector<std::string> BadLines() { return Locked(m_Bad); }
    std::string Text() { return Locked(m_Text); }

    void Line(const std::string& line) {
        Json::Value v = ParseJson(line);
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Text += line + "\n";
        if (!v.isObject()) {
            m_Bad.push_back(line);
            return;
        }
        const std::string camera = v["camera"].asString();
        if (v["event"].asString() == "detector") {
            m_Classes[v["kind"].asString()] = v["class"].isString() ? v["class"].asString() : std::string();
            m_Detectors[camera]++;
        } else if (v["event"].asString() == "status") {
            StatusEvent e;
            e.kind = v["kind"].asString();
            e.port = v["port"].isInt() ? v["port"].asInt() : -1;
            e.trig = v["trig"].asBool();
            e.level = v["level"].asInt();
            m_Events.push_back(e);
            m_Latest[std::make_tuple(camera, e.kind, e.port)] = e;
            m_Order.push_back(line);
        } else if (v["event"].asString() == "camera" && v["state"].isString()) {
            m_Health[camera].push_back(v["state"].asString());
            if (!camera.empty()) m_Health[""].push_back(v["state"].asString());
            m_Order.push_back(line);
        } else {
            m_Bad.push_back(line);
        }
        m_Cond.notify_all();
    }

private:
    // A copy of a member taken under the lock (the reader thread writes them).
    template <typename T>
    T Locked(const T& member) {
        std::lock_guard<std::mutex> g(m_Mutex);
        return member;
    }
    // True once cond (called under the lock) holds; waits at most `ms`.
    template <typename C>
    bool Wait(int ms, C cond) {
        std::unique_lock<std::mutex> lk(m_Mutex);
        return m_Cond.wait_for(lk, std::chrono::milliseconds(ms), cond);
    }
    void Read() {
        ForEachLine(m_Fd, [this](const std::string& line) { Line(line); });
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Eof = true;
        m_Cond.notify_all();
    }

    int m_Fd = -1;
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::vector<StatusEvent> m_Events;
    std::map<std::tuple<std::string, std::string, int>, StatusEvent> m_Latest;  // camera, kind, port
    std::map<std::string, std::string> m_Classes;
    std::map<std::string, std::vector<std::string> > m_Health;
    std::map<std::string, int> m_Detectors;
    std::vector<std::string> m_Order;
    std::vector<std::string> m_Bad;
    std::string m_Text;
    bool m_Eof = false;
    std::thread m_Reader;  // last: starts after the members above exist
};

}  // namespace camtest

#endif  // TESTS_INTEGRATION_CAMSIM_STATUSLOG_H
