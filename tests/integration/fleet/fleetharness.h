// The fleet tests' pieces: camdet-monitor --config as a child process whose
// --json lines are collected per camera, its stderr kept in a file, and the
// helpers to wait for "this camera's detector now reports that".
#ifndef TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
#define TESTS_INTEGRATION_FLEET_FLEETHARNESS_H

#include <arpa/inet.h>
#include <json/json.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "tests/fixtures/testutil.h"

namespace fleettest {

using camtest::ReadFile;
using camtest::WriteFile;

inline std::string TempPath(const std::string& name) {
    return std::string(CAMDET_BINARY_DIR) + "/fleet-" + std::to_string(getpid()) + "-" + name;
}

// A child process: argv[0] is the program; stdout is read line by line into
// `onLine`, stderr goes to a file.
class Child {
public:
    Child(const std::vector<std::string>& argv, const std::string& errPath, bool pipeStdout = true) {
        int fds[2] = {-1, -1};
        if (pipeStdout && pipe(fds) != 0) return;
        m_Pid = fork();
        if (m_Pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a killed test
            FILE* err = fopen(errPath.c_str(), "w");
            if (err) dup2(fileno(err), 2);
            if (pipeStdout) {
                dup2(fds[1], 1);
                close(fds[0]);
                close(fds[1]);
            } else {
                dup2(2, 1);
            }
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        if (pipeStdout) {
            close(fds[1]);
            m_Fd = fds[0];
        }
    }
    ~Child() {
        Kill(SIGKILL);
        Wait();
        if (m_Reader.joinable()) m_Reader.join();
        if (m_Fd >= 0) close(m_Fd);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    void Read(std::function<void(const std::string&)> onLine) {
        m_Reader = std::thread([this, onLine] {
            std::string pending;
            char buf[4096];
            ssize_t n;
            while ((n = read(m_Fd, buf, sizeof(buf))) > 0) {
                pending.append(buf, (size_t)n);
                size_t nl;
                while ((nl = pending.find('\n')) != std::string::npos) {
                    onLine(pending.substr(0, nl));
                    pending.erase(0, nl + 1);
                }
            }
        });
    }
    pid_t Pid() const { return m_Pid; }
    bool Running() const { return m_Pid > 0 && !m_Reaped; }
    void Kill(int sig) {
        if (m_Pid > 0 && !m_Reaped) kill(m_Pid, sig);
    }
    // Exit status; -1 when it did not exit normally.
    int Wait() {
        if (m_Pid <= 0) return -1;
        if (!m_Reaped) {
            waitpid(m_Pid, &m_Status, 0);
            m_Reaped = true;
        }
        return WIFEXITED(m_Status) ? WEXITSTATUS(m_Status) : -1;
    }

private:
    pid_t m_Pid = -1;
    int m_Fd = -1;
    int m_Status = 0;
    bool m_Reaped = false;
    std::thread m_Reader;
};

// The monitor's --json lines by camera.
class FleetLog {
public:
    void Line(const std::string& line) {
        Json::Value v;
        Json::CharReaderBuilder b;
        std::unique_ptr<Json::CharReader> r(b.newCharReader());
        std::string err;
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Text += line + "\n";
        if (!r->parse(line.data(), line.data() + line.size(), &v, &err) || !v.isObject() || !v["camera"].isString()) {
            m_Bad.push_back(line);
        } else if (v["event"].asString() == "detector") {
            m_Detectors[v["camera"].asString()]++;
        } else if (v["event"].asString() == "camera") {
            m_Health[v["camera"].asString()].push_back(v["state"].asString());
            m_Order.push_back(line);
        } else if (v["event"].asString() == "status") {
            m_Order.push_back(line);
            const int port = v["port"].isInt() ? v["port"].asInt() : -1;
            m_Latest[std::make_tuple(v["camera"].asString(), v["kind"].asString(), port)] =
                std::make_pair(v["trig"].asBool(), v["level"].asInt());
        } else {
            m_Bad.push_back(line);
        }
        m_Cond.notify_all();
    }
    bool WaitState(const std::string& cam, const std::string& kind, int port, bool trig, int ms) {
        std::unique_lock<std::mutex> lk(m_Mutex);
        return m_Cond.wait_for(lk, std::chrono::milliseconds(ms), [&] {
            auto it = m_Latest.find(std::make_tuple(cam, kind, port));
            return it != m_Latest.end() && it->second.first == trig;
        });
    }
    // Waits until the camera's health (its last "camera" line) is `state`.
    bool WaitHealth(const std::string& cam, const std::string& state, int ms) {
        std::unique_lock<std::mutex> lk(m_Mutex);
        return m_Cond.wait_for(lk, std::chrono::milliseconds(ms),
                               [&] { return m_Health.count(cam) && m_Health[cam].back() == state; });
    }
    // Every health state the camera went through, in order.
    std::vector<std::string> Health(const std::string& cam) {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Health.count(cam) ? m_Health[cam] : std::vector<std::string>();
    }
    // The "camera" and "status" lines in the order they came.
    std::vector<std::string> Order() {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Order;
    }
    // Number of "detector" lines of a camera (one per kind each time it is created).
    int Detectors(const std::string& cam) {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Detectors.count(cam) ? m_Detectors[cam] : 0;
    }
    bool WaitDetectors(const std::string& cam, int n, int ms) {
        std::unique_lock<std::mutex> lk(m_Mutex);
        return m_Cond.wait_for(lk, std::chrono::milliseconds(ms),
                               [&] { return m_Detectors.count(cam) && m_Detectors[cam] >= n; });
    }
    std::vector<std::string> Bad() {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Bad;
    }
    std::string Text() {
        std::lock_guard<std::mutex> g(m_Mutex);
        return m_Text;
    }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::map<std::tuple<std::string, std::string, int>, std::pair<bool, int> > m_Latest;
    std::map<std::string, int> m_Detectors;
    std::map<std::string, std::vector<std::string> > m_Health;
    std::vector<std::string> m_Order;
    std::vector<std::string> m_Bad;
    std::string m_Text;
};

// The body of GET http://127.0.0.1:port/path ("" when it fails).
inline std::string HttpGet(int port, const std::string& path) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    struct sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    struct timeval tv = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    std::string out;
    if (connect(fd, reinterpret_cast<struct sockaddr*>(&a), sizeof(a)) == 0) {
        const std::string req = "GET " + path + " HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n";
        if (write(fd, req.data(), req.size()) == (ssize_t)req.size()) {
            char buf[8192];
            ssize_t n;
            while ((n = read(fd, buf, sizeof(buf))) > 0) out.append(buf, (size_t)n);
        }
    }
    close(fd);
    const size_t body = out.find("\r\n\r\n");
    return body == std::string::npos ? std::string() : out.substr(body + 4);
}

// Polls `cond` every 50 ms until it holds or `ms` passed.
template <class F>
bool Eventually(int ms, F cond) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}

}  // namespace fleettest

#endif  // TESTS_INTEGRATION_FLEET_FLEETHARNESS_H
