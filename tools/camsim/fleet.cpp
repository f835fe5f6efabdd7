#include "tools/camsim/fleet.h"
#include "tools/common/isotime.h"
#include "tools/common/waittable.h"

#include <errno.h>
#include <stdlib.h>
#include <sys/time.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>

namespace camsim {

namespace {

}  // namespace

bool ParseFleetRow(const std::string& text, FleetRow& row, std::string& error) {
    size_t colon = text.rfind(':');
    const std::string key = text.substr(0, colon);
    if (colon == std::string::npos || key.empty()) {
        error = "expected KEY:COUNT, got '" + text + "'";
        return false;
    }
    if (!FindFamily(key)) {
        error = "no simulated camera for API key '" + key + "' (see --list)";
        return false;
    }
    const std::string n = text.substr(colon + 1);
    char* end = nullptr;
    errno = 0;
    long v = strtol(n.c_str(), &end, 10);
    if (n.empty() || errno || *end || v < 1 || v > 5000) {
        error = "bad camera count '" + n + "' for '" + key + "' (1-5000)";
        return false;
    }
    row.api = key;
    row.count = (int)v;
    return true;
}

bool LoadFleetFile(const std::string& path, std::vector<FleetRow>& rows, std::string& error) {
    std::ifstream f(path.c_str());
    if (!f) {
        error = path + ": cannot read the fleet file";
        return false;
    }
    std::string line;
    int no = 0;
    while (std::getline(f, line)) {
        ++no;
        line = line.substr(0, line.find('#'));
        std::istringstream ws(line);
        std::string key, count, extra;
        if (!(ws >> key)) continue;
        FleetRow row;
        std::string why;
        if (!(ws >> count) || (ws >> extra) || !ParseFleetRow(key + ":" + count, row, why)) {
            error = path + ":" + std::to_string(no) + ": " + (why.empty() ? "expected 'KEY COUNT'" : why);
            return false;
        }
        rows.push_back(row);
    }
    return true;
}

bool Fleet::Start(const FleetOptions& opt, std::string& error) {
    m_Opt = opt;
    m_EventRng.seed(opt.seed);
    m_FaultRng.seed(opt.seed * 2654435761u + 1);
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Stop = false;
    }
    size_t cameras = 0;
    for (const FleetRow& row : opt.rows) cameras += (size_t)std::max(0, row.count);
    // A stream costs two threads, each waiting on its own condition variable.
    SizeWaitTable(4 * cameras + 64);
    int index = 0;
    const std::vector<std::string> families = OnvifTopicFamilies();
    for (const FleetRow& row : opt.rows) {
        for (int n = 1; n <= row.count; ++n, ++index) {
            Config cfg;
            cfg.api = row.api;
            cfg.user = opt.user;
            cfg.password = opt.password;
            cfg.auth = opt.auth;
            cfg.inputs = opt.inputs;
            cfg.port = opt.basePort > 0 ? opt.basePort + index : 0;
            // ONVIF cameras take the topic families in turn, so that a fleet
            // has every one of them for the monitor to choose from.
            cfg.onvifTopics = families[(size_t)(n - 1) % families.size()];
            m_Sims.emplace_back(new CamSim(cfg));
            m_Names.push_back(row.api + "-" + std::to_string(n));
            std::string why;
            if (!m_Sims.back()->Start(why)) {
                error = "camera " + m_Names.back() + ": " + why;
                Stop();
                return false;
            }
        }
    }
    if (opt.eventEvery > 0) m_EventThread = std::thread([this] { Events(); });
    if (opt.faultEvery > 0) m_FaultThread = std::thread([this] { Faults(); });
    return true;
}

void Fleet::Stop() {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Stop = true;
    }
    m_Cond.notify_all();
    if (m_EventThread.joinable()) m_EventThread.join();
    if (m_FaultThread.joinable()) m_FaultThread.join();
    for (auto& s : m_Sims) s->Stop();
    m_Sims.clear();
    m_Names.clear();
}

bool Fleet::Sleep(double seconds) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return !m_Cond.wait_for(lk, std::chrono::microseconds((long long)(seconds * 1e6)), [&] { return m_Stop; });
}

void Fleet::Log(const std::string& camera, const std::string& what, bool on) {
    if (!m_Opt.eventLog) return;
    std::lock_guard<std::mutex> g(m_Mutex);
    fprintf(m_Opt.eventLog, "%s %s %s %s\n", NowIso().c_str(), camera.c_str(), what.c_str(), on ? "on" : "off");
    fflush(m_Opt.eventLog);
}

void Fleet::Events() {
    while (Sleep(m_Opt.eventEvery)) {
        const size_t i = m_EventRng() % m_Sims.size();
        CamSim& s = *m_Sims[i];
        const AlarmState st = s.State();
        switch (m_EventRng() % 4) {
        case 0:
            s.SetMotion(!st.motion);
            Log(m_Names[i], "motion", !st.motion);
            break;
        case 1:
            if (!st.inputs.empty()) {
                const int n = 1 + (int)(m_EventRng() % st.inputs.size());
                s.SetInput(n, !st.Input(n));
                Log(m_Names[i], "input" + std::to_string(n), !st.Input(n));
            }
            break;
        case 2:
            s.SetTamper(!st.tamper);
            Log(m_Names[i], "tamper", !st.tamper);
            break;
        default:
            s.SetAudio(!st.audio);
            Log(m_Names[i], "audio", !st.audio);
            break;
        }
    }
}

void Fleet::Faults() {
    struct Active {
        size_t cam;
        Fault f;
        std::chrono::steady_clock::time_point until;
    };
    std::vector<Active> active;
    std::chrono::steady_clock::time_point next = std::chrono::steady_clock::now();
    while (Sleep(0.1)) {
        const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
        for (size_t k = 0; k < active.size();) {
            if (active[k].until > now) {
                ++k;
                continue;
            }
            m_Sims[active[k].cam]->SetFault(active[k].f, false);
            Log(m_Names[active[k].cam], std::string("fault-") + FaultName(active[k].f), false);
            active.erase(active.begin() + (long)k);
        }
        if (now < next) continue;
        next = now + std::chrono::microseconds((long long)(m_Opt.faultEvery * 1e6));
        Active a;
        a.cam = m_FaultRng() % m_Sims.size();
        a.f = (Fault)(m_FaultRng() % kFaultCount);
        if (m_Sims[a.cam]->GetFault(a.f)) continue;
        const double span = 1.0 + (m_Opt.faultMaxSec > 1 ? (m_FaultRng() % 1000) / 1000.0 * (m_Opt.faultMaxSec - 1) : 0);
        a.until = now + std::chrono::microseconds((long long)(span * 1e6));
        m_Sims[a.cam]->SetFault(a.f, true);
        Log(m_Names[a.cam], std::string("fault-") + FaultName(a.f), true);
        active.push_back(a);
    }
    for (const Active& a : active) m_Sims[a.cam]->SetFault(a.f, false);
}

std::string Fleet::MonitorConfig() const {
    std::string y = "# Written by camdet-camsim: every camera of its fleet.\ncameras:\n";
    for (size_t i = 0; i < m_Sims.size(); ++i) {
        const Config& c = m_Sims[i]->GetConfig();
        const int port = m_Sims[i]->Port();
        y += "  " + m_Names[i] + ":\n    api: " + c.api + "\n";
        if (c.api == "onvif" || c.api == "geovision") {
            y += "    onvif-device: http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service\n";
        } else {
            y += "    host: 127.0.0.1\n    port: " + std::to_string(port) + "\n";
        }
        if (!c.user.empty()) y += "    user: " + c.user + "\n    password: " + c.password + "\n";
        y += "    di-count: " + std::to_string(c.inputs) + "\n";
    }
    return y;
}

}  // namespace camsim
