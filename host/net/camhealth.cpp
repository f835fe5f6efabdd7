// One camera's health and login ration (interface/camhealth.h).
#include "interface/camhealth.h"

#include <sys/time.h>

#include "interface/clock.h"

namespace BrellinOwned {

namespace {

int64_t WallMs() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return (int64_t)tv.tv_sec * 1000 + tv.tv_usec / 1000;
}

}  // namespace

std::string HealthAddress(const std::string& host, int port, const std::string& path) {
    std::string h = host.find(':') != std::string::npos && (host.empty() || host[0] != '[') ? "[" + host + "]" : host;
    std::string p = path.substr(0, path.find('?'));
    if (!p.empty() && p[0] != '/') p.insert(0, "/");
    return h + ":" + std::to_string(port) + p;
}

const char* CamHealthName(int state) {
    switch (state) {
    case CAM_HEALTH_OK: return "ok";
    case CAM_HEALTH_UNREACHABLE: return "unreachable";
    case CAM_HEALTH_UNAUTHORIZED: return "unauthorized";
    case CAM_HEALTH_ERROR: return "error";
    default: return "connecting";
    }
}

CameraHealth::CameraHealth(Clock& clock, const LOGIN_RATION& ration) : m_Clock(clock), m_Ration(ration) {
    if (m_Ration.attempts < 1) m_Ration.attempts = 1;
    if (m_Ration.windowSec < 0) m_Ration.windowSec = 0;
}

void CameraHealth::SetListener(Listener l) {
    std::lock_guard<std::mutex> r(m_ReportMutex);
    m_Listener = std::move(l);
}

CAM_HEALTH_REPORT CameraHealth::Get() {
    std::lock_guard<std::mutex> g(m_Mutex);
    // What was told: a client that went away since changes nothing until the next report.
    CAM_HEALTH_REPORT rep = m_Told;
    rep.error = m_LastError;
    rep.errorTimeMs = m_LastErrorMs;
    return rep;
}

uint64_t CameraHealth::LoginsHeldBack() {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_HeldBack;
}

int CameraHealth::AddSource(const std::string& address, bool blJudge) {
    std::lock_guard<std::mutex> g(m_Mutex);
    const int id = m_NextId++;
    m_Sources[id].address = address;
    m_Sources[id].judge = blJudge;
    return id;
}

void CameraHealth::RemoveSource(int id) {
    // The state is not told here: a client that goes away (a detector being
    // released) changes nothing about the camera; the next report says it.
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Sources.erase(id);
    if (m_LoginHolder == id) {
        m_LoginHolder = 0;
        m_Cond.notify_all();
    }
}

void CameraHealth::SetSourceAddress(int id, const std::string& address) {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Sources.find(id);
    if (it != m_Sources.end()) it->second.address = address;
}

int CameraHealth::StateLocked() const {
    const Src* latest = nullptr;
    bool anyOk = false;
    bool judging = false;
    for (const auto& kv : m_Sources) {
        const Src& s = kv.second;
        if (s.vote == CAM_HEALTH_OK) anyOk = true;
        else if (s.vote != CAM_HEALTH_CONNECTING && (!latest || s.seq > latest->seq)) latest = &s;
        else if (s.vote == CAM_HEALTH_CONNECTING && s.judge) judging = true;
    }
    if (latest) return latest->vote;
    if (!anyOk) return CAM_HEALTH_CONNECTING;
    // An answer not yet judged changes nothing: it may be one nobody can read.
    return judging ? m_Told.state : CAM_HEALTH_OK;
}

void CameraHealth::PruneLocked(int64_t now) {
    const int64_t window = (int64_t)m_Ration.windowSec * 1000;
    while (!m_Logins.empty() && now - m_Logins.front() >= window) m_Logins.pop_front();
}

void CameraHealth::Report(int id, int outcome, const std::string& error, bool blLogin) {
    std::lock_guard<std::mutex> r(m_ReportMutex);
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        auto it = m_Sources.find(id);
        if (it == m_Sources.end()) return;
        Src& s = it->second;
        if (outcome == CAM_HEALTH_UNAUTHORIZED) {
            if (!s.counted) m_Logins.push_back(m_Clock.NowMs());
            m_blRefused = true;  // the camera's, not the client's: it outlives the client
        } else if (outcome == CAM_HEALTH_OK && blLogin) {
            m_blRefused = false;
        }
        s.counted = false;
        s.vote = outcome;
        s.seq = ++m_Seq;
        if (outcome == CAM_HEALTH_OK) {
            // What another client said before is stale once the camera
            // answers: a login it took clears every refusal, an answer at
            // the same address every "unreachable".
            for (auto& kv : m_Sources) {
                Src& o = kv.second;
                if ((blLogin && o.vote == CAM_HEALTH_UNAUTHORIZED) ||
                    (o.vote == CAM_HEALTH_UNREACHABLE && o.address == s.address))
                    o.vote = CAM_HEALTH_CONNECTING;
            }
        } else if (outcome != CAM_HEALTH_CONNECTING) {
            m_LastError = error;
            m_LastErrorMs = WallMs();
        }
        if (m_LoginHolder == id) m_LoginHolder = 0;
        m_Cond.notify_all();
    }
    NotifyIfChanged();
}

void CameraHealth::NotifyIfChanged() {
    CAM_HEALTH_REPORT rep;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        const int state = StateLocked();
        if (state == m_Told.state) return;
        m_Told.state = state;
        m_Told.error = m_LastError;
        m_Told.errorTimeMs = m_LastErrorMs;
        m_Told.changedMs = WallMs();
        rep = m_Told;
    }
    if (m_Listener) m_Listener(rep);
}

bool CameraHealth::BeginLogin(int id, int64_t deadlineMs) {
    WakeUp* wake = CurrentWakeUp();
    std::unique_lock<std::mutex> lk(m_Mutex);
    auto it = m_Sources.find(id);
    if (it == m_Sources.end()) return true;
    if (wake) {
        lk.unlock();
        wake->AttachWaiter(&m_Mutex, &m_Cond);
        lk.lock();
    }
    bool granted = false;
    for (;;) {
        it = m_Sources.find(id);
        if (it == m_Sources.end()) break;
        if (StateLocked() == CAM_HEALTH_OK) {
            granted = true;  // no pacing for a camera that takes the login
            break;
        }
        const int64_t now = m_Clock.NowMs();
        if (m_LoginHolder == 0 || m_LoginHolder == id) {
            PruneLocked(now);
            if (m_blRefused && (int)m_Logins.size() >= m_Ration.attempts) break;
            m_LoginHolder = id;
            m_Logins.push_back(now);
            it->second.counted = true;
            granted = true;
            break;
        }
        if (now >= deadlineMs || (wake && wake->IsSignalled())) break;
        m_Clock.WaitCond(lk, m_Cond, deadlineMs);
    }
    if (!granted) ++m_HeldBack;
    if (wake) {
        lk.unlock();
        wake->DetachWaiter();
        lk.lock();
    }
    return granted;
}

void CameraHealth::EndLogin(int id) {
    std::lock_guard<std::mutex> g(m_Mutex);
    auto it = m_Sources.find(id);
    if (it != m_Sources.end()) it->second.counted = false;
    if (m_LoginHolder == id) {
        m_LoginHolder = 0;
        m_Cond.notify_all();
    }
}

// ---------------------------------------------------------------- source

HealthSource::HealthSource(CameraHealth* health, const std::string& address, bool blJudge)
    : m_pHealth(nullptr), m_Id(0), m_Address(address), m_blJudge(blJudge) {
    Attach(health);
}

HealthSource::~HealthSource() { Attach(nullptr); }

void HealthSource::Attach(CameraHealth* health) {
    if (health == m_pHealth) return;
    if (m_pHealth) m_pHealth->RemoveSource(m_Id);
    m_pHealth = health;
    m_Id = health ? health->AddSource(m_Address, m_blJudge) : 0;
}

void HealthSource::SetAddress(const std::string& address) {
    if (address == m_Address) return;
    m_Address = address;
    if (m_pHealth) m_pHealth->SetSourceAddress(m_Id, address);
}

void HealthSource::Ok(bool blLogin) {
    if (m_pHealth) m_pHealth->Report(m_Id, CAM_HEALTH_OK, std::string(), blLogin);
}

void HealthSource::Unreachable(const std::string& why) {
    if (m_pHealth) m_pHealth->Report(m_Id, CAM_HEALTH_UNREACHABLE, why, false);
}

void HealthSource::Unauthorized(const std::string& why) {
    if (m_pHealth) m_pHealth->Report(m_Id, CAM_HEALTH_UNAUTHORIZED, why, true);
}

void HealthSource::Withdraw() {
    if (m_pHealth) m_pHealth->Report(m_Id, CAM_HEALTH_CONNECTING, std::string(), false);
}

void HealthSource::Error(const std::string& why) {
    if (m_pHealth) m_pHealth->Report(m_Id, CAM_HEALTH_ERROR, why, false);
}

bool HealthSource::BeginLogin(int64_t deadlineMs) { return !m_pHealth || m_pHealth->BeginLogin(m_Id, deadlineMs); }

void HealthSource::EndLogin() {
    if (m_pHealth) m_pHealth->EndLogin(m_Id);
}

}  // namespace BrellinOwned
