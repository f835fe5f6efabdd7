#include "camdet/core/eventdetector.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"
#include "interface/hostservices.h"

namespace {
const char* const kSrc = "camdet/eventdetector";

}  // namespace

BrellinOwned::CameraServices& ServicesOf(const DET_BASE_ATTR& attr) {
    return attr.pCamApi ? attr.pCamApi->GetServices() : BrellinOwned::DefaultCameraServices();
}

// ---------------------------------------------------------------- DetectorBase

DetectorBase::DetectorBase(DET_BASE_ATTR attr)
    : m_Attr(attr),
      m_Thread(),
      m_blActivated(false),
      m_blMDParamChanged(false),
      m_blADParamChanged(false),
      m_blTDParamChanged(false),
      m_blDIParamChanged(false),
      m_CamId(attr.camMediatorHdl.Call<int>(CAM_MEDIATOR_FUNC_CAM_ID)),
      m_DICnt(attr.pCamCap ? attr.pCamCap->GetDICnt() : 0),
      m_PollIntervalMs(500),
      m_MDParam{0, 0, 0, 0},
      m_ADParam(0),
      m_TDParam(0),
      m_DIParam(0),
      m_DIParamArg(0),
      m_Services(ServicesOf(attr)),
      m_Clock(m_Services.GetClock()),
      m_blThreadStarted(false) {
    pthread_mutex_init(&m_Mutex, nullptr);
}

DetectorBase::~DetectorBase() {
    bool running;
    {
        ScopedLock g(m_Mutex);
        running = m_blActivated;
    }
    if (running) Stop();
    JoinEndedRun();
    pthread_mutex_lock(&m_Mutex);
    pthread_mutex_unlock(&m_Mutex);
    pthread_mutex_destroy(&m_Mutex);
}

bool DetectorBase::IsShareEnabled() { return false; }

void DetectorBase::JoinEndedRun() {
    pthread_t thread;
    {
        ScopedLock g(m_Mutex);
        if (m_blActivated || !m_blThreadStarted) return;
        thread = m_Thread;
        m_blThreadStarted = false;
    }
    // Outside the lock: a run stopped from its own thread may still ask
    // IsActivated on its way out.
    pthread_join(thread, nullptr);
}

int DetectorBase::Start() {
    // A previous run ended by itself (follower, unusable record) or stopped
    // itself; its thread has finished or is about to.
    JoinEndedRun();
    ScopedLock g(m_Mutex);
    if (m_blActivated) return -1;
    m_StopWake.Reset();
    m_blActivated = true;
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kStackBytes);
    const int rc = pthread_create(&m_Thread, &attr, &DetectorBase::ThreadFunc, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        // Reported rather than ignored: a recorder must be able to see that
        // no detector thread runs (out of threads or memory).
        m_blActivated = false;
        OXLOG(kSrc, "Cam[%d]: Failed to create the detector thread (%d).\n", m_CamId, rc);
        return -1;
    }
    m_blThreadStarted = true;
    return 0;
}

int DetectorBase::Stop() {
    if (!IsActivated()) return -2;
    pthread_t thread;
    bool join;
    {
        ScopedLock g(m_Mutex);
        m_blActivated = false;
        thread = m_Thread;
        // A run stopped from its own thread (a recorder's callback) cannot
        // join itself: the next Start or the destructor joins it, so that a
        // new run never overlaps the old one's last steps.
        join = m_blThreadStarted && !pthread_equal(m_Thread, pthread_self());
        if (join) m_blThreadStarted = false;
    }
    m_StopWake.Signal();
    if (join) pthread_join(thread, nullptr);
    return 0;
}

bool DetectorBase::IsActivated() {
    ScopedLock g(m_Mutex);
    bool active = m_blActivated;
    if (active) {
        if (m_blMDParamChanged) {
            m_blMDParamChanged = false;
            ApplyDetParam(DET_TYPE_MD);
        }
        if (m_blADParamChanged) {
            m_blADParamChanged = false;
            ApplyDetParam(DET_TYPE_AD);
        }
        if (m_blTDParamChanged) {
            m_blTDParamChanged = false;
            ApplyDetParam(DET_TYPE_TD);
        }
        if (m_blDIParamChanged) {
            m_blDIParamChanged = false;
            ApplyDetParam(DET_TYPE_DI);
        }
    }
    return active;
}

void DetectorBase::SetMDParam(int a, int b, int c, int d) {
    ScopedLock g(m_Mutex);
    m_MDParam[0] = a;
    m_MDParam[1] = b;
    m_MDParam[2] = c;
    m_MDParam[3] = d;
    m_blMDParamChanged = true;
}

void DetectorBase::SetDetParam(int kind, const std::map<int, std::string>& params, int arg) {
    ScopedLock g(m_Mutex);
    switch (kind) {
    case DET_TYPE_MD:
        for (std::map<int, std::string>::const_iterator it = params.begin(); it != params.end(); ++it) {
            int v = (int)strtol(it->second.c_str(), nullptr, 10);
            switch (it->first) {
            case 1: m_MDParam[0] = v; break;
            case 3: m_MDParam[1] = v; break;
            case 4: m_MDParam[2] = v; break;
            case 2: m_MDParam[3] = v; break;
            default: continue;
            }
            m_blMDParamChanged = true;
        }
        break;
    case DET_TYPE_DI: {
        std::map<int, std::string>::const_iterator it = params.find(7);
        if (it != params.end()) {
            m_DIParam = (int)strtol(it->second.c_str(), nullptr, 10);
            m_DIParamArg = arg;
            m_blDIParamChanged = true;
        }
        break;
    }
    case DET_TYPE_TD: {
        std::map<int, std::string>::const_iterator it = params.find(6);
        if (it != params.end()) {
            m_TDParam = (int)strtol(it->second.c_str(), nullptr, 10);
            m_blTDParamChanged = true;
        }
        break;
    }
    case DET_TYPE_AD: {
        std::map<int, std::string>::const_iterator it = params.find(5);
        if (it != params.end()) {
            m_ADParam = (int)strtol(it->second.c_str(), nullptr, 10);
            m_blADParamChanged = true;
        }
        break;
    }
    default:
        break;
    }
}

void DetectorBase::ResetDIDetStatus() {
    ScopedLock g(m_Mutex);
    for (int port = 0; port < m_DICnt; ++port) m_Attr.evtBufMapHdl.SetStatus(port, false, 0);
}

void DetectorBase::SleepBySec(int sec) {
    for (int i = 0; i < sec; ++i) {
        if (!IsActivated()) return;
        if (!PauseMs(1000)) return;
    }
}

bool DetectorBase::PauseMs(int ms) { return !m_Clock.WaitMs(ms, &m_StopWake); }

void* DetectorBase::ThreadFunc(void* self) {
    DetectorBase* det = static_cast<DetectorBase*>(self);
    const DET_BASE_ATTR& a = det->m_Attr;
    if (!a.camMediatorHdl.IsValid() || !a.evtBufHdl.IsValid() || !a.pCamApi || !a.pCamCap) return nullptr;
    // The recorder's clients called from this thread end their waits when
    // the detector is stopped.
    BrellinOwned::SetCurrentWakeUp(&det->m_StopWake);
    long rc = det->DetMain();
    BrellinOwned::SetCurrentWakeUp(nullptr);
    return reinterpret_cast<void*>(rc);
}

// ---------------------------------------------------------------- CamDetector

bool CAM_SHARE_KEY::operator<(const CAM_SHARE_KEY& o) const {
    if (camId != o.camId) return camId < o.camId;
    if (httpPort != o.httpPort) return httpPort < o.httpPort;
    if (host != o.host) return host < o.host;
    return std::less<const void*>()(camApi, o.camApi);
}

pthread_mutex_t CamDetector::m_Lock = PTHREAD_MUTEX_INITIALIZER;
std::map<CAM_SHARE_KEY, CamDetector::CAM_SHARE> CamDetector::m_SharedDets;

CamDetector::CamDetector(DET_BASE_ATTR attr)
    : DetectorBase(attr), m_DetType(0), m_blNoData(false), m_blUnread(false), m_blUnlinked(false) {
    // The camera is what a recorder's mediator names: address, HTTP port and
    // id. Without an address the camera-API object stands for the camera.
    m_ShareKey.host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
    m_ShareKey.httpPort = m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT);
    m_ShareKey.camId = m_CamId;
    if (m_ShareKey.host.empty()) m_ShareKey.camApi = m_Attr.pCamApi;
}

CamDetector::~CamDetector() { UnlinkShareDet(); }

CamDetector::CAM_SHARE* CamDetector::FindShare() {
    std::map<CAM_SHARE_KEY, CAM_SHARE>::iterator it = m_SharedDets.find(m_ShareKey);
    return it == m_SharedDets.end() ? nullptr : &it->second;
}

void CamDetector::UnlinkShareDet() {
    ScopedLock g(m_Lock);
    if (m_blUnlinked) return;
    m_blUnlinked = true;
    std::map<CAM_SHARE_KEY, CAM_SHARE>::iterator cam = m_SharedDets.find(m_ShareKey);
    if (cam == m_SharedDets.end()) return;
    CAM_SHARE& share = cam->second;
    std::map<int, CamDetector*>::iterator it = share.m_SharedDetMap.find(m_DetType);
    if (it != share.m_SharedDetMap.end()) {
        // Only this object's own registration is removed; another detector
        // of the same kind that never got registered must not drop it.
        if (it->second == this) share.m_SharedDetMap.erase(it);
    } else {
        share.m_blShareEnabled = false;
    }
    if (!share.m_blShareEnabled && share.m_SharedDetMap.empty()) m_SharedDets.erase(cam);
}

bool CamDetector::IsShareEnabled() {
    ScopedLock g(m_Lock);
    CAM_SHARE* share = FindShare();
    return share && share->m_blShareEnabled;
}

void CamDetector::LinkShareDet(int kind) {
    m_DetType = kind;
    ScopedLock g(m_Lock);
    CAM_SHARE& share = m_SharedDets[m_ShareKey];
    if (!share.m_blShareEnabled) {
        share.m_blShareEnabled = true;
        return;
    }
    share.m_SharedDetMap.insert(std::make_pair(kind, this));
}

bool CamDetector::IsShareFollower() {
    ScopedLock g(m_Lock);
    CAM_SHARE* share = FindShare();
    if (!share) return false;
    std::map<int, CamDetector*>::const_iterator it = share->m_SharedDetMap.find(m_DetType);
    return it != share->m_SharedDetMap.end() && it->second == this;
}

void CamDetector::ClearHeldStateOfCamera() {
    ClearHeldState();
    ForEachFollower<CamDetector>([](CamDetector* f) { f->ClearHeldState(); });
}

int CamDetector::RunLoop(LoopSteps& steps) {
    if (IsShareFollower()) return 0;
    if (!steps.Open()) return 0;
    while (IsActivated()) {
        if (steps.Step()) {
            steps.Report(this);
            ForEachFollower<CamDetector>([&](CamDetector* f) { steps.Report(f); });
            steps.Judge();
        }
        steps.Pace();
    }
    ResetDetStatus();
    // Nothing feeds the followers any more: no alarm of theirs may stay set.
    ForEachFollower<CamDetector>([](CamDetector* f) { f->ResetDetStatus(); });
    steps.Close();
    return 0;
}

bool CamDetector::IsTrig(char*, unsigned int, int&) { return false; }

bool CamDetector::IsTrig(int, char*, unsigned int, int&) { return false; }

DET_UNIT_READ CamDetector::ReportUnit(const DET_UNIT& unit) {
    if (unit.state == DET_UNIT_LOST) {
        ResetDetStatus();
        return DET_READ_UNTESTED;
    }
    const bool perInput = m_DetType == DET_TYPE_DI;
    if (!IsActivated() || (unit.state == DET_UNIT_FAILED && unit.port < 0)) {
        ReportNoAlarm();
        return DET_READ_UNTESTED;
    }
    if (unit.state == DET_UNIT_NO_DATA) return DET_READ_UNTESTED;
    const bool ok = unit.state == DET_UNIT_OK;
    DET_UNIT_READ read = DET_READ_UNTESTED;
    // What one test made of the unit, raising read.
    auto tested = [&]() {
        const DET_UNIT_READ mine = m_blNoData || m_blUnread ? DET_READ_NONE : DET_READ_SOME;
        if (ok && mine > read) read = mine;
    };
    int value = 0;
    if (!perInput) {
        m_blNoData = false;
        m_blUnread = false;
        const bool trig = ok && IsTrig(unit.buf, unit.len, value);
        // An answer the test cannot read leaves the status: reported as "no
        // alarm" it would show a camera nobody can read as clear.
        if (!m_blNoData && !m_blUnread) m_Attr.evtBufHdl.SetStatus(trig, value);
        tested();
        return read;
    }
    const int end = unit.port >= 0 ? unit.port + 1 : m_DICnt;
    for (int port = std::max(unit.port, 0); port < end; ++port) {
        m_blNoData = false;
        m_blUnread = false;
        const bool trig = ok && IsTrig(port, unit.buf, unit.len, value);
        if (!m_blNoData && !m_blUnread) m_Attr.evtBufMapHdl.SetStatus(port, trig, value);
        tested();
    }
    return read;
}

void CamDetector::ReportDecided(const std::function<void(DET_DECISION&)>& decide) {
    if (!IsActivated()) {
        ReportNoAlarm();
        return;
    }
    DET_DECISION d;
    decide(d);
    if (m_DetType != DET_TYPE_DI) {
        m_Attr.evtBufHdl.SetStatus(d.trig, d.level);
        return;
    }
    for (int port = 0; port < m_DICnt; ++port) {
        std::map<int, bool>::const_iterator it = d.inputs.find(port);
        const bool trig = it != d.inputs.end() && it->second;
        m_Attr.evtBufMapHdl.SetStatus(port, trig, trig ? d.inputLevel : 0);
    }
}

void CamDetector::ReportNoAlarm() {
    if (m_DetType == DET_TYPE_DI) ResetDIDetStatus();
    else m_Attr.evtBufHdl.SetStatus(false, 0);
}

void CamDetector::ResetDetStatus() {
    m_Attr.evtBufHdl.SetStatus(false, 0);
    if (m_DetType == DET_TYPE_DI) ResetDIDetStatus();
}

void CamDetector::ApplyDetParam(int kind) {
    std::map<int, std::string> params;
    switch (kind) {
    case DET_TYPE_MD:
        params[1] = BrellinOwned::itos(m_MDParam[0]);
        params[3] = BrellinOwned::itos(m_MDParam[1]);
        params[4] = BrellinOwned::itos(m_MDParam[2]);
        params[2] = BrellinOwned::itos(m_MDParam[3]);
        break;
    case DET_TYPE_DI: params[7] = BrellinOwned::itos(m_DIParam); break;
    case DET_TYPE_TD: params[6] = BrellinOwned::itos(m_TDParam); break;
    case DET_TYPE_AD: params[5] = BrellinOwned::itos(m_ADParam); break;
    default: break;
    }
    if (!m_Attr.pCamApi) return;
    int ret = m_Attr.pCamApi->ApplyCamDetParam(kind, params, m_DIParamArg);
    if (ret != 0 && ret != 2) {
        BrellinOwned::OXPrintf("%s:%d:%s(): Cam[%d]: Failed to apply detect param. Ret:%d\n", kSrc, __LINE__,
                               "ApplyDetParam", m_CamId, ret);
    }
}
