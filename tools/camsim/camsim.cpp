// The simulated camera: its servers' start and stop, and its alarm state
// and fault switches, which every server reads.
#include "tools/camsim/camsim.h"

#include <chrono>

#include "tools/camsim/onvifsim.h"
#include "tools/camsim/rtspsim.h"

namespace camsim {

CamSim::CamSim(const Config& cfg) : m_Cfg(cfg), m_Family(FindFamily(cfg.api)) {
    for (bool& f : m_Faults) f = false;
    m_State.inputs.assign(cfg.inputs > 0 && cfg.inputs <= 64 ? cfg.inputs : 0, false);
}

CamSim::~CamSim() { Stop(); }

Auth CamSim::EffectiveAuth() const {
    if (m_Cfg.auth != Auth::kFamily) return m_Cfg.auth;
    return m_Family ? m_Family->auth : Auth::kNone;
}

bool CamSim::Start(std::string& error) {
    if (!m_Family) {
        error = "no simulated camera family for API key '" + m_Cfg.api + "'";
        return false;
    }
    if (m_Cfg.inputs < 0 || m_Cfg.inputs > 64) {
        error = "input count must be 0-64";
        return false;
    }
    if (m_Cfg.port < 0 || m_Cfg.port > 65535) {
        error = "port must be 0-65535";
        return false;
    }
    if (!m_Cfg.onvifTopics.empty() && !onvifsim::IsTopicFamily(m_Cfg.onvifTopics)) {
        error = "no ONVIF topic family '" + m_Cfg.onvifTopics + "' (" + onvifsim::TopicFamilyNames() + ")";
        return false;
    }
    if (m_Http) {
        error = "already started";
        return false;
    }
    m_Stopping = false;
    if (!StartHttp(error)) return false;
    if (m_Family->raw && !StartRaw(error)) {
        StopHttp();
        return false;
    }
    if (const RtpFamily* rtp = FindRtpFamily(m_Cfg.api)) {
        m_Rtsp.reset(new RtspSim(*this, *rtp));
        if (!m_Rtsp->Start(m_Cfg.rtspPort, error)) {
            m_Rtsp.reset();
            Stop();
            return false;
        }
    }
    return true;
}

int CamSim::RtspPort() const { return m_Rtsp ? m_Rtsp->Port() : 0; }
std::string CamSim::RtspUrl() const { return m_Rtsp ? m_Rtsp->Url() : std::string(); }
int CamSim::RtspConnections() const { return m_Rtsp ? m_Rtsp->Connections() : 0; }
int CamSim::RtspSessions() const { return m_Rtsp ? m_Rtsp->Sessions() : 0; }
uint64_t CamSim::RtpPacketsSent() const { return m_Rtsp ? m_Rtsp->PacketsSent() : 0; }

void CamSim::Stop() {
    m_Stopping = true;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = true;
        m_Cond.notify_all();
    }
    if (m_Scenario.joinable()) m_Scenario.join();
    StopRaw();
    if (m_Rtsp) m_Rtsp->Stop();
    StopHttp();
}

void CamSim::Changed() {
    m_State.version++;
    // Kept for families that report every change, not only the latest state.
    m_History.push_back(m_State);
    if (m_History.size() > kHistory) m_History.pop_front();
    m_Cond.notify_all();
}

std::vector<AlarmState> CamSim::StatesAfter(uint64_t version) const {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::vector<AlarmState> out;
    for (const AlarmState& st : m_History)
        if (st.version > version) out.push_back(st);
    return out;
}

void CamSim::SetMotion(bool on, int level) {
    std::lock_guard<std::mutex> g(m_Mutex);
    int lv = on ? (level < 0 ? 100 : (level < 1 ? 1 : (level > 100 ? 100 : level))) : 0;
    if (m_State.motion == on && m_State.motionLevel == lv) return;
    if (on && !m_State.motion) m_State.motionEvents++;
    m_State.motion = on;
    m_State.motionLevel = lv;
    Changed();
}

void CamSim::SetTamper(bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_State.tamper == on) return;
    m_State.tamper = on;
    Changed();
}

void CamSim::SetAudio(bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_State.audio == on) return;
    m_State.audio = on;
    Changed();
}

bool CamSim::SetInput(int n, bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (n < 1 || n > (int)m_State.inputs.size()) return false;
    if (m_State.inputs[n - 1] != on) {
        if (on) m_State.inputEvents++;
        m_State.inputs[n - 1] = on;
        Changed();
    }
    return true;
}

void CamSim::SetFault(Fault f, bool on) {
    if (f < 0 || f >= kFaultCount) return;
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_Faults[f] == on) return;
    m_Faults[f] = on;
    Changed();
}

bool CamSim::GetFault(Fault f) const {
    if (f < 0 || f >= kFaultCount) return false;
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Faults[f];
}

AlarmState CamSim::State() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_State;
}

uint64_t CamSim::WaitChange(uint64_t seen, int maxMs) const {
    std::unique_lock<std::mutex> lk(m_Mutex);
    if (maxMs > 0 && m_State.version == seen && !m_Stopping.load()) {
        m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs),
                        [&] { return m_State.version != seen || m_Stopping.load(); });
    }
    return m_State.version;
}

bool CamSim::WaitRequests(uint64_t n, int maxMs) const {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_Requests.load() >= n; });
}

bool CamSim::WaitRefusedLogins(uint64_t n, int maxMs) const {
    // Counted where the refusal is made, without the lock: looked at every 50 ms.
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    std::unique_lock<std::mutex> lk(m_Mutex);
    while (m_RefusedLogins.load() < n) {
        if (std::chrono::steady_clock::now() >= end) return false;
        m_Cond.wait_for(lk, std::chrono::milliseconds(50));
    }
    return true;
}

std::string CamSim::LastTarget() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_LastTarget;
}

}  // namespace camsim
