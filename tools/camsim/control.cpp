// The control endpoint's assignments, the state text it answers, and the
// scenario time line, all through the camera's state setters.
#include <stdlib.h>

#include <chrono>

#include "tools/camsim/camsim.h"

namespace camsim {

std::string CamSim::StateText() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::string s = "api=" + m_Cfg.api + "\n";
    s += "motion=" + std::to_string(m_State.motion ? 1 : 0) + "\n";
    s += "level=" + std::to_string(m_State.motionLevel) + "\n";
    s += "tamper=" + std::to_string(m_State.tamper ? 1 : 0) + "\n";
    s += "audio=" + std::to_string(m_State.audio ? 1 : 0) + "\n";
    for (size_t i = 0; i < m_State.inputs.size(); ++i)
        s += "input" + std::to_string(i + 1) + "=" + (m_State.inputs[i] ? "1" : "0") + "\n";
    for (int f = 0; f < kFaultCount; ++f)
        s += std::string("fault_") + FaultName((Fault)f) + "=" + (m_Faults[f] ? "1" : "0") + "\n";
    s += "version=" + std::to_string(m_State.version) + "\n";
    s += "requests=" + std::to_string(m_Requests.load()) + "\n";
    s += "refused_logins=" + std::to_string(m_RefusedLogins.load()) + "\n";
    return s;
}

bool CamSim::ApplyControl(const std::string& query, std::string& error) {
    struct Op {
        int what;  // 0 motion, 1 level, 2 tamper, 3 audio, 4 input, 5 fault
        int n;
        bool on;
    };
    std::vector<Op> ops;
    size_t pos = 0;
    while (pos < query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        pos = amp == std::string::npos ? query.size() : amp + 1;
        if (item.empty()) continue;
        size_t eq = item.find('=');
        std::string name = item.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        Op op = {0, 0, false};
        bool flag = value == "1" || value == "on";
        bool flagOk = flag || value == "0" || value == "off";
        if (name == "level") {
            char* end = nullptr;
            long v = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || v < 1 || v > 100) {
                error = "bad value for 'level' (1-100): '" + value + "'";
                return false;
            }
            op.what = 1;
            op.n = (int)v;
            ops.push_back(op);
            continue;
        }
        Fault f;
        if (name == "motion") op.what = 0;
        else if (name == "tamper") op.what = 2;
        else if (name == "audio") op.what = 3;
        else if (name.compare(0, 5, "input") == 0 && name.size() > 5) {
            char* end = nullptr;
            long n = strtol(name.c_str() + 5, &end, 10);
            if (*end || n < 1 || n > (long)m_Cfg.inputs) {
                error = "no input '" + name + "' (inputs are 1-" + std::to_string(m_Cfg.inputs) + ")";
                return false;
            }
            op.what = 4;
            op.n = (int)n;
        } else if (name.compare(0, 6, "fault_") == 0 && FaultFromName(name.substr(6), f)) {
            op.what = 5;
            op.n = f;
        } else {
            error = "unknown control '" + name + "'";
            return false;
        }
        if (!flagOk) {
            error = "bad value for '" + name + "' (0 or 1): '" + value + "'";
            return false;
        }
        op.on = flag;
        ops.push_back(op);
    }
    int level = -1;
    for (const Op& op : ops) {
        if (op.what == 1) level = op.n;
    }
    bool motionSet = false;
    for (const Op& op : ops) {
        switch (op.what) {
        case 0:
            SetMotion(op.on, level);
            motionSet = true;
            break;
        case 2: SetTamper(op.on); break;
        case 3: SetAudio(op.on); break;
        case 4: SetInput(op.n, op.on); break;
        case 5: SetFault((Fault)op.n, op.on); break;
        default: break;
        }
    }
    if (level > 0 && !motionSet && State().motion) SetMotion(true, level);
    return true;
}

void CamSim::Apply(const ScenarioStep& st) {
    switch (st.what) {
    case ScenarioStep::kMotion: SetMotion(st.on, st.on ? st.n : 0); break;
    case ScenarioStep::kInput: SetInput(st.n, st.on); break;
    case ScenarioStep::kTamper: SetTamper(st.on); break;
    case ScenarioStep::kAudio: SetAudio(st.on); break;
    case ScenarioStep::kFault: SetFault(st.fault, st.on); break;
    }
}

void CamSim::RunScenario(const Scenario& sc) {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = true;
        m_Cond.notify_all();
    }
    if (m_Scenario.joinable()) m_Scenario.join();
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = false;
        m_ScenarioDone = false;
    }
    m_Scenario = std::thread([this, sc]() {
        const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        for (const ScenarioStep& st : sc.steps) {
            std::chrono::steady_clock::time_point when =
                start + std::chrono::microseconds((long long)(st.at * 1e6));
            {
                std::unique_lock<std::mutex> lk(m_Mutex);
                m_Cond.wait_until(lk, when, [&] { return m_ScenarioStop; });
                if (m_ScenarioStop) break;
            }
            Apply(st);
        }
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioDone = true;
        m_Cond.notify_all();
    });
}

bool CamSim::WaitScenarioDone(int maxMs) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_ScenarioDone; });
}

}  // namespace camsim
