#include "camdet/transport/onvifdetector.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"
#include "interface/hostservices.h"

namespace {

const char* const kSrc = "camdet/onvifdetector";
// Long polls instead of a 2 s pull: the camera holds PullMessages until a
// notification comes (so latency stays), and a recorder with hundreds of
// ONVIF cameras does not cost each of them a request every two seconds.
const int kLongPollSec = 60;
// Messages asked for per pull start at 8 and double after a full batch.
const int kMaxLimit = 64;
const char* const kFallbackTermTime = "PT60S";
const int kFallbackTermSec = 60;
// Asked for on renewal: long enough that renewals cost less than the pulls.
const char* const kRenewTermTime = "PT300S";
const int kAttempts = 3;
const int kRetryPauseMs = 300;
// Within the 200 ms a stop may take.
const int kUnsubscribeGraceMs = 150;
// Gaps between failed subscriptions: doubled from the first up to the last.
const int kFirstBackoffMs = 1000;
const int kMaxBackoffMs = 30000;
// A pull ends this long before the subscription would lapse; the
// subscription is renewed once less than half a long poll is left before that.
const int kRenewMarginMs = 5000;
// Bounds one SOAP exchange besides a pull's own wait.
const int kServiceTimeoutSec = 5;
// A device that answers nothing is asked for its time this often (and this
// long), without a login.
const int kProbePeriodMs = 2000;
const int kProbeTimeoutSec = 2;
const int kOutageLogMs = 20000;

const char* KindName(int kind) {
    switch (kind) {
    case DET_TYPE_MD: return "MotionDetection";
    case DET_TYPE_DI: return "DigitalInput";
    case DET_TYPE_TD: return "TamperingDetection";
    case DET_TYPE_AD: return "AudioDetection";
    default: return nullptr;
    }
}

}  // namespace

// ---------------------------------------------------------------- event info

void OnvifPullPointDetector::OVF_EVT_INFO::Init(const std::string& topicKey, int kind, const OnvifEvtConf& conf) {
    const char* name = KindName(kind);
    if (!name) return;
    size_t semi = topicKey.find(';');
    if (semi != std::string::npos) matchTopic = topicKey.substr(0, semi);
    trigValue = conf.GetTrigValue(name, topicKey);
    trigType = conf.GetTrigType(name, topicKey);
    blSrcNameIgnored = conf.IsSrcNameIgnored(name, topicKey);
    blDataNameIgnored = conf.IsDataNameIgnored(name, topicKey);
    blByName = conf.IsMatchedByName(name, topicKey);
}

// ---------------------------------------------------------------- pull-point detector

OnvifEvtConf OnvifPullPointDetector::m_EvtConf;

OnvifPullPointDetector::OnvifPullPointDetector(DET_BASE_ATTR attr)
    : CamDetector(attr),
      m_EvtService(new OnvifEventService()),
      m_blInDetMain(false),
      m_LastCreateRc(0),
      m_MaxPullWaitSec(kLongPollSec) {
    m_EvtService->SetTimeoutSec(kServiceTimeoutSec);
    if (m_Attr.pCamCap) {
        OnvifServiceEnt ent = m_Attr.pCamCap->GetOnvifServiceEnt();
        OnvifVersion ver = m_Attr.pCamCap->GetOnvifVersion();
        m_EvtService->UpdateServiceParam(m_Attr.pCamApi, ent.entry[3], ver.major, ver.minor);
        SetClientLogin(*m_EvtService);
        m_TopicNs = OnvifMatch::ParseTopicNs(m_Attr.pCamCap->GetOnvifEvtTopicNs());
    }
}

OnvifPullPointDetector::~OnvifPullPointDetector() {}

void OnvifPullPointDetector::SetClientLogin(OnvifServiceBase& svc) {
    std::string user = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER);
    std::string pwd = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
    std::string dev = m_Attr.pCamCap ? m_Attr.pCamCap->GetOnvifServiceEnt().entry[0] : std::string();
    svc.SetLogin(user, pwd, dev);
}

void OnvifPullPointDetector::SetUpClient(OnvifServiceBase& svc, int entry) {
    svc.SetTimeoutSec(kServiceTimeoutSec);
    OnvifServiceEnt ent = m_Attr.pCamCap->GetOnvifServiceEnt();
    OnvifVersion ver = m_Attr.pCamCap->GetOnvifVersion();
    svc.UpdateServiceParam(m_Attr.pCamApi, ent.entry[entry], ver.major, ver.minor);
    SetClientLogin(svc);
}

void OnvifPullPointDetector::SetEventService(std::unique_ptr<OnvifEventService> svc) { m_EvtService = std::move(svc); }

void OnvifPullPointDetector::Init(const std::string& topicKey) {
    m_EvtInfo.Init(topicKey, m_DetType, m_EvtConf);
    LinkShareDet(m_DetType);
}

bool OnvifPullPointDetector::KeepTrying() { return !m_blInDetMain || IsActivated(); }

void OnvifPullPointDetector::RetryPause() { PauseMs(kRetryPauseMs); }

void OnvifPullPointDetector::ClearHeldState() { m_EvtStatus.clear(); }

bool OnvifPullPointDetector::IsTrig(const OVF_NOTIF_LIST&, int& level) {
    level = 0;
    return false;
}

std::map<int, bool> OnvifPullPointDetector::IsTrig(const OVF_NOTIF_LIST&) { return std::map<int, bool>(); }

int OnvifPullPointDetector::DeletePullPoint(OVF_EVT_PULL_PT& pp) {
    int rc = 0;
    if (!pp.address.empty() && m_EvtService->Unsubscribe(pp) != 0) rc = -1;
    pp.Clear();
    return rc;
}

int OnvifPullPointDetector::CreatePullPoint(const std::string& filter, std::string& termTime, OVF_EVT_PULL_PT& pp) {
    DeletePullPoint(pp);
    bool ok = false;
    for (int i = 0; i < kAttempts && KeepTrying(); ++i) {
        m_LastCreateRc = m_EvtService->CreatePullPointSubscription(filter, termTime, m_TopicNs, pp);
        if (m_LastCreateRc == 0) {
            ok = true;
            break;
        }
        RetryPause();
    }
    if (!ok) {
        OXLOG(kSrc, "Failed to create pull point. FilterXpath=[%s], TermTime=[%s]\n", filter.c_str(),
              termTime.c_str());
        return -1;
    }
    if (!pp.address.empty() || !termTime.empty()) return 0;
    // Some cameras only hand out an address when asked for a termination time.
    termTime = kFallbackTermTime;
    for (int i = 0; i < kAttempts && KeepTrying(); ++i) {
        m_LastCreateRc = m_EvtService->CreatePullPointSubscription(filter, termTime, m_TopicNs, pp);
        if (m_LastCreateRc == 0) return 0;
        RetryPause();
    }
    OXLOG(kSrc, "Failed to create pull point. FilterXpath=[%s], TermTime=[%s]\n", filter.c_str(), termTime.c_str());
    return -1;
}

int OnvifPullPointDetector::ReplaceVdoSrcToken() {
    if (!OnvifMatch::HasVdoSrcPlaceholder(m_EvtInfo)) return 0;
    if (!m_Attr.pCamCap) return -1;
    std::string confToken = m_Attr.pCamCap->GetOnvifVdoSrcConfToken();
    OnvifMediaService media;
    SetUpClient(media, 1);
    std::list<OVF_MED_VDO_SRC_CONF> confs;
    if (media.GetVideoSourceConfigurations(confs) != 0) return -1;
    return OnvifMatch::ReplaceVdoSrcToken(m_EvtInfo, confs, confToken);
}

bool OnvifPullPointDetector::IsNotifiedMsgFound(const OVF_EVT_NOTIF& notif) const {
    return OnvifMatch::IsNotifiedMsgFound(m_EvtInfo, notif);
}

OVF_EVT_CACHE::iterator OnvifPullPointDetector::FindEvtStatus(const OVF_EVT_NOTIF& notif) {
    return m_EvtStatus.begin() + OnvifMatch::FindEvtStatus(m_EvtInfo, m_EvtStatus, notif);
}

bool OnvifPullPointDetector::IsStandardEvtTrig(const OVF_ITEM_LIST& data) const {
    return OnvifMatch::IsStandardEvtTrig(m_EvtInfo, data);
}

bool OnvifPullPointDetector::IsStandardTrig(const OVF_NOTIF_LIST& notifs, int& level) {
    return OnvifMatch::IsStandardTrig(m_EvtInfo, m_EvtStatus, notifs, level);
}

void OnvifPullPointDetector::ReportNotifs(const OVF_NOTIF_LIST& notifs) {
    ReportDecided([&](DET_DECISION& d) {
        if (m_DetType == DET_TYPE_DI) d.inputs = IsTrig(notifs);
        else d.trig = IsTrig(notifs, d.level);
    });
}

void OnvifPullPointDetector::ResetDetStatus() {
    switch (m_DetType) {
    case DET_TYPE_MD:
    case DET_TYPE_TD:
    case DET_TYPE_AD: m_Attr.evtBufHdl.SetStatus(false, 0); break;
    case DET_TYPE_DI: ResetDIDetStatus(); break;
    default: break;
    }
}

namespace {

// One pull per pass; its notifications go to this detector and to every
// ONVIF follower of the camera.
class PullSteps : public CamDetector::LoopSteps {
public:
    PullSteps(OnvifPullPointDetector& det, BrellinOwned::WakeUp* wake, int periodMs)
        : m_Det(det), m_Timer(periodMs * 1000, wake, &det.GetClock()) {}

    bool Open() override {
        m_Det.OpenSubscription(m_Sub);
        m_Timer.BeginTiming();
        return true;
    }
    bool Step() override {
        m_Msg = OVF_EVT_PULL_MSG();
        return m_Det.PullOnce(m_Sub, m_Msg);
    }
    void Report(CamDetector* det) override {
        OnvifPullPointDetector* d = dynamic_cast<OnvifPullPointDetector*>(det);
        if (d) d->ReportNotifs(m_Msg.notifs);
    }
    void Pace() override {
        const int64_t waitMs = m_Det.PauseBeforeNextPull(m_Sub);
        if (waitMs < 0) {
            m_Timer.Delay();
        } else {
            if (waitMs > 0) m_Det.PauseMs((int)waitMs);
            m_Timer.BeginTiming();
        }
    }
    void Close() override { m_Det.CloseSubscription(m_Sub.pp); }

private:
    OnvifPullPointDetector& m_Det;
    BrellinOwned::DelayTimer m_Timer;
    OnvifPullPointDetector::OVF_SUBSCRIPTION m_Sub;
    OVF_EVT_PULL_MSG m_Msg;
};

}  // namespace

int OnvifPullPointDetector::DetMain() {
    PullSteps steps(*this, &m_StopWake, m_PollIntervalMs);
    return RunLoop(steps);
}

void OnvifPullPointDetector::OpenSubscription(OVF_SUBSCRIPTION& sub) {
    m_blInDetMain = true;
    if (CreatePullPoint("", sub.termTime, sub.pp) != 0) {
        sub.termTime = kFallbackTermTime;
        if (CreatePullPoint("", sub.termTime, sub.pp) != 0) {
            SubscriptionFailed(sub);
            return;
        }
    }
    Subscribed(sub);
}

void OnvifPullPointDetector::Resubscribe(OVF_SUBSCRIPTION& sub) {
    if (CreatePullPoint("", sub.termTime, sub.pp) == 0) Subscribed(sub);
    else SubscriptionFailed(sub);
}

void OnvifPullPointDetector::Subscribed(OVF_SUBSCRIPTION& sub) {
    sub.blActive = !sub.pp.address.empty();
    if (!sub.blActive) {
        SubscriptionFailed(sub);
        return;
    }
    sub.backoffMs = 0;
    sub.blResync = false;
    if (sub.blUnreachable) OXLOG(kSrc, "Cam[%d]: The ONVIF device answers again.\n", m_CamId);
    sub.blUnreachable = false;
    ScheduleRenewal(sub, sub.pp.termSecondsLeft);
    // What the camera said on the old subscription is not repeated on this one.
    ClearHeldStateOfCamera();
}

void OnvifPullPointDetector::SubscriptionFailed(OVF_SUBSCRIPTION& sub) {
    sub.blActive = false;
    if (m_LastCreateRc == kOnvifNoAnswer && KeepTrying()) {
        // Deliberately not the back-off below: a device that answers nothing
        // is asked for its time (no login) every few seconds and subscribed
        // again as soon as it answers, so that a camera back from an outage
        // is not left blind for up to the back-off.
        if (!sub.blUnreachable) sub.nextOutageLogMs = 0;
        sub.blUnreachable = true;
        sub.nextProbeMs = GetClock().NowMs() + kProbePeriodMs;
        StillUnreachable(sub);
        return;
    }
    // Deliberately not the plain loop: a camera that refuses subscriptions
    // is asked with growing gaps instead of several times a second forever.
    sub.blUnreachable = false;
    sub.backoffMs = sub.backoffMs == 0 ? kFirstBackoffMs : std::min(sub.backoffMs * 2, kMaxBackoffMs);
    sub.nextCreateMs = GetClock().NowMs() + sub.backoffMs;
}

void OnvifPullPointDetector::StillUnreachable(OVF_SUBSCRIPTION& sub) {
    // Said again now and then: whoever reads the log sees the outage last.
    if (GetClock().NowMs() < sub.nextOutageLogMs) return;
    sub.nextOutageLogMs = GetClock().NowMs() + kOutageLogMs;
    OXLOG(kSrc, "Cam[%d]: Failed to reach the ONVIF device; asking it for its time every %d s.\n", m_CamId,
          kProbePeriodMs / 1000);
}

void OnvifPullPointDetector::ScheduleRenewal(OVF_SUBSCRIPTION& sub, int secondsLeft) {
    // A camera that named no termination time keeps what it said before.
    if (secondsLeft <= 0) return;
    sub.expiresAtMs = GetClock().NowMs() + (int64_t)secondsLeft * 1000;
}

bool OnvifPullPointDetector::IsRenewalDue(const OVF_SUBSCRIPTION& sub) {
    // Renewed while a pull still fits, so that a camera which enforces its
    // termination time never drops the subscription between two pulls.
    return sub.expiresAtMs != 0 && sub.expiresAtMs - kRenewMarginMs - GetClock().NowMs() < kLongPollSec * 1000 / 2;
}

int64_t OnvifPullPointDetector::HeldStateDueMsOfCamera() {
    int64_t due = HeldStateDueMs();
    ForEachFollower<OnvifPullPointDetector>([&](OnvifPullPointDetector* f) {
        const int64_t d = f->HeldStateDueMs();
        if (d > 0 && (due <= 0 || d < due)) due = d;
    });
    return due;
}

int OnvifPullPointDetector::PullWaitSec(const OVF_SUBSCRIPTION& sub) {
    // The pull ends before the subscription could lapse and by the time a
    // held state must be looked at again (a hold that runs out), never later.
    const int64_t now = GetClock().NowMs();
    int64_t until = now + m_MaxPullWaitSec * 1000;
    if (sub.expiresAtMs != 0) until = std::min(until, sub.expiresAtMs - kRenewMarginMs);
    const int64_t due = HeldStateDueMsOfCamera();
    if (due > 0) until = std::min(until, due);
    return (int)std::max<int64_t>(1, std::min<int64_t>(m_MaxPullWaitSec, (until - now) / 1000));
}

bool OnvifPullPointDetector::PullOnce(OVF_SUBSCRIPTION& sub, OVF_EVT_PULL_MSG& msg) {
    sub.blFullBatch = false;
    if (!sub.blActive) {
        if (sub.blUnreachable) {
            if (GetClock().NowMs() < sub.nextProbeMs) return false;
            sub.nextProbeMs = GetClock().NowMs() + kProbePeriodMs;
            if (m_EvtService->CheckDevice(kProbeTimeoutSec) != 0) {
                if (KeepTrying()) StillUnreachable(sub);
                return false;
            }
        } else if (GetClock().NowMs() < sub.nextCreateMs) {
            return false;
        }
        Resubscribe(sub);
        if (!sub.blActive) return false;
    }
    if (IsRenewalDue(sub)) {
        sub.expiresAtMs = 0;
        if (m_EvtService->Renew(sub.pp, kRenewTermTime) == 0) {
            // A camera that agrees without saying until when is taken to
            // give the least a camera gives.
            ScheduleRenewal(sub, sub.pp.termSecondsLeft > 0 ? sub.pp.termSecondsLeft : kFallbackTermSec);
        } else if (KeepTrying()) {
            Resubscribe(sub);
            if (!sub.blActive) return false;
        }
    }
    const std::string wait = "PT" + std::to_string(PullWaitSec(sub)) + "S";
    const std::string limit = std::to_string(sub.limit);
    for (int i = 0; i < kAttempts && KeepTrying(); ++i) {
        if (sub.blResync) {
            const int rc = m_EvtService->SetSynchronizationPoint(sub.pp);
            if (rc == kOnvifFault) {
                // The device keeps no synchronisation point: a new
                // subscription's "Initialized" messages carry the states.
                Resubscribe(sub);
                if (!sub.blActive) return false;
            } else if (rc != 0) {
                RetryPause();
                continue;
            }
            sub.blResync = false;
        }
        msg = OVF_EVT_PULL_MSG();
        const int rc = m_EvtService->PullMessages(sub.pp, wait, limit, msg);
        if (rc == 0) {
            ScheduleRenewal(sub, msg.termSecondsLeft);
            // A full batch means more are waiting: the next pull follows at
            // once and asks for more.
            sub.blFullBatch = (int)msg.notifs.size() >= sub.limit;
            if (sub.blFullBatch) sub.limit = std::min(sub.limit * 2, kMaxLimit);
            return true;
        }
        // An answer that came but could not be read may have carried the last
        // change of a property: the current states are asked for before the
        // next pull, so that nothing held is older than the first good pull
        // after the fault.
        if (rc == kOnvifBadAnswer) sub.blResync = true;
        RetryPause();
    }
    if (KeepTrying()) {
        OXLOG(kSrc, "Cam[%d]: Failed to pulling event. [%s][%s][%s]\n", m_CamId, sub.termTime.c_str(), wait.c_str(),
              limit.c_str());
        Resubscribe(sub);
    }
    return false;
}

int64_t OnvifPullPointDetector::PauseBeforeNextPull(const OVF_SUBSCRIPTION& sub) {
    if (!sub.blActive) {
        const int64_t next = sub.blUnreachable ? sub.nextProbeMs : sub.nextCreateMs;
        return std::max<int64_t>(0, next - GetClock().NowMs());
    }
    if (sub.blFullBatch) return 0;
    return -1;
}

void OnvifPullPointDetector::CloseSubscription(OVF_EVT_PULL_PT& pp) {
    // The camera keeps a subscription until it lapses, and many allow only a
    // few: one short unsubscribe is worth its wait, a silent camera gets no more.
    BrellinOwned::WakeGrace grace(kUnsubscribeGraceMs);
    DeletePullPoint(pp);
    m_blInDetMain = false;
}
