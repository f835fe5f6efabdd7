#include "camdet/transport/onvifdetector.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>

#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"
#include "interface/hostservices.h"

namespace {

const char* const kSrc = "camdet/onvifdetector";
const char* const kPullTimeout = "PT2S";
const char* const kPullLimit = "8";
const char* const kFallbackTermTime = "PT60S";
const int kAttempts = 3;
const int kRetryPauseMs = 300;
// Within the 200 ms a stop may take.
const int kUnsubscribeGraceMs = 150;
// Gaps between failed subscriptions: doubled from the first up to the last.
const int kFirstBackoffMs = 1000;
const int kMaxBackoffMs = 30000;
// A pull may be held for its wait (PT2S) and retried: renewals leave this much.
const int kRenewMarginMs = 5000;
// Bounds one SOAP exchange, so that Stop waits at most this plus the pull time.
const int kServiceTimeoutSec = 5;

const char* KindName(int kind) {
    switch (kind) {
    case DET_TYPE_MD: return "MotionDetection";
    case DET_TYPE_DI: return "DigitalInput";
    case DET_TYPE_TD: return "TamperingDetection";
    case DET_TYPE_AD: return "AudioDetection";
    default: return nullptr;
    }
}

bool IsSourceWildcard(const std::vector<std::string>& alts) {
    for (const std::string& a : alts)
        if (a == "@ANY@" || a == "@VENDOR_SPECIFIC@" || a == "@MD_WIN@" || a == "@DI_PORT@") return true;
    return false;
}

bool IsOneOf(const std::vector<std::string>& alts, const std::string& v) {
    for (const std::string& a : alts)
        if (a == v) return true;
    return false;
}

std::string JoinTopic(const std::vector<std::string>& parts) {
    std::string s;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) s += '/';
        s += parts[i];
    }
    return s;
}

std::vector<std::string> SplitTopic(const std::string& topic) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t slash = topic.find('/', start);
        if (slash == std::string::npos) {
            parts.push_back(topic.substr(start));
            break;
        }
        parts.push_back(topic.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

OVF_EVT_TOPIC EntryOf(const OVF_EVT_NOTIF& n) {
    OVF_EVT_TOPIC e;
    e.topicParts = SplitTopic(n.topic);
    e.source = n.source;
    e.data = n.data;
    return e;
}

void ReplaceFirst(std::string& s, const std::string& what, const std::string& with) {
    size_t pos = s.find(what);
    if (pos != std::string::npos) s.replace(pos, what.size(), with);
}

}  // namespace

// ---------------------------------------------------------------- pure rules

namespace OnvifMatch {

std::vector<std::string> SplitAlternatives(const std::string& pattern) {
    std::vector<std::string> alts;
    size_t start = 0;
    while (true) {
        size_t bar = pattern.find('|', start);
        if (bar == std::string::npos) {
            alts.push_back(pattern.substr(start));
            break;
        }
        alts.push_back(pattern.substr(start, bar - start));
        start = bar + 1;
    }
    return alts;
}

bool HasAlternative(const std::string& pattern, const char* alt) { return IsOneOf(SplitAlternatives(pattern), alt); }

bool IsNotifiedMsgFound(const Info& info, const OVF_EVT_NOTIF& n) {
    // A key without a match topic selects nothing, not "notifications without a topic".
    if (info.matchTopic.empty()) return false;
    if (GetNoNsTopic(info.matchTopic) != GetNoNsTopic(n.topic)) return false;
    if (n.propOper != "Initialized" && n.propOper != "Changed" && n.propOper != "Deleted" &&
        n.propOper != "@UNKNOWN@")
        return false;
    const OVF_ITEM_LIST& srcPat = info.trigValue.source;
    const OVF_ITEM_LIST& dataPat = info.trigValue.data;
    if (n.source.size() != srcPat.size() || n.data.size() != dataPat.size()) return false;
    OVF_ITEM_LIST::const_iterator p = srcPat.begin();
    for (OVF_ITEM_LIST::const_iterator it = n.source.begin(); it != n.source.end(); ++it, ++p) {
        if (!info.blSrcNameIgnored && it->first != p->first) return false;
        std::vector<std::string> alts = SplitAlternatives(p->second);
        if (!IsSourceWildcard(alts) && !IsOneOf(alts, it->second)) return false;
    }
    if (!info.blDataNameIgnored) {
        p = dataPat.begin();
        for (OVF_ITEM_LIST::const_iterator it = n.data.begin(); it != n.data.end(); ++it, ++p)
            if (it->first != p->first) return false;
    }
    return true;
}

size_t FindEvtStatus(const Info& info, const OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& n) {
    for (size_t i = 0; i < cache.size(); ++i) {
        const OVF_EVT_TOPIC& e = cache[i];
        if (JoinTopic(e.topicParts) != n.topic) continue;
        bool same = true;
        OVF_ITEM_LIST::const_iterator pat = info.trigValue.source.begin();
        OVF_ITEM_LIST::const_iterator a = e.source.begin();
        OVF_ITEM_LIST::const_iterator b = n.source.begin();
        for (; pat != info.trigValue.source.end(); ++pat) {
            bool anyA = a != e.source.end(), anyB = b != n.source.end();
            if (!HasAlternative(pat->second, "@ANY@")) {
                if (anyA != anyB || (anyA && *a != *b)) {
                    same = false;
                    break;
                }
            }
            if (anyA) ++a;
            if (anyB) ++b;
        }
        if (same) return i;
    }
    return cache.size();
}

bool IsStandardEvtTrig(const Info& info, const OVF_ITEM_LIST& data) {
    OVF_ITEM_LIST::const_iterator p = info.trigValue.data.begin();
    for (OVF_ITEM_LIST::const_iterator it = data.begin(); it != data.end(); ++it, ++p) {
        if (p == info.trigValue.data.end()) return false;  // an item no pattern speaks for
        std::vector<std::string> alts = SplitAlternatives(p->second);
        if (!IsOneOf(alts, "@ANY@") && !IsOneOf(alts, it->second)) return false;
    }
    return true;
}

size_t UpdateEvtStatus(const Info& info, OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& n, bool& appended) {
    size_t i = FindEvtStatus(info, cache, n);
    appended = i == cache.size();
    if (appended) cache.push_back(EntryOf(n));
    else cache[i].data = n.data;
    return i;
}

bool IsStandardTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level) {
    level = 0;
    bool trig = false;
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        if (IsStandardEvtTrig(info, cache[i].data)) trig = true;
    }
    if (!trig) {
        for (const OVF_EVT_TOPIC& e : cache) {
            if (IsStandardEvtTrig(info, e.data)) {
                trig = true;
                break;
            }
        }
    }
    level = trig ? 100 : 0;
    return trig;
}

bool IsPanasonicTrig(const Info& info, OVF_EVT_CACHE& cache, std::vector<time_t>& stamps,
                     const OVF_NOTIF_LIST& notifs, time_t now, int& level, double holdSec) {
    level = 0;
    // Entries appended by another rule have no stamp of their own.
    if (stamps.size() < cache.size()) stamps.resize(cache.size(), (time_t)-1);
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        if (appended) stamps.push_back(now);
        else stamps[i] = now;
    }
    bool trig = false;
    for (size_t i = 0; i < cache.size(); ++i) {
        if (!IsStandardEvtTrig(info, cache[i].data)) continue;
        if (difftime(now, stamps[i]) >= holdSec) {
            for (OVF_ITEM_LIST::iterator d = cache[i].data.begin(); d != cache[i].data.end(); ++d) d->second.clear();
            stamps[i] = (time_t)-1;
        } else {
            trig = true;
            level = 100;
        }
    }
    return trig;
}

bool IsMomentaryTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level) {
    bool trig = IsStandardTrig(info, cache, notifs, level);
    cache.clear();
    return trig;
}

void SetSpecificPortTrig(const Info& info, const std::map<std::string, int>& tokenPortMap,
                         const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap) {
    int port = -1;
    OVF_ITEM_LIST::const_iterator pat = info.trigValue.source.begin();
    for (OVF_ITEM_LIST::const_iterator it = entry.source.begin();
         it != entry.source.end() && pat != info.trigValue.source.end(); ++it, ++pat) {
        std::vector<std::string> alts = SplitAlternatives(pat->second);
        if (!IsOneOf(alts, "@DI_PORT@") || IsOneOf(alts, "@ANY@")) continue;
        std::map<std::string, int>::const_iterator t = tokenPortMap.find(it->second);
        if (t != tokenPortMap.end()) port = t->second;
    }
    if (port == -1) return;
    if (entry.data.empty() || IsStandardEvtTrig(info, entry.data)) portMap[port] = true;
}

void SetPortTrigMap(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                    const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap) {
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        SetSpecificPortTrig(info, tokenPortMap, cache[i], portMap);
    }
    for (const OVF_EVT_TOPIC& e : cache) SetSpecificPortTrig(info, tokenPortMap, e, portMap);
}

std::map<int, bool> DITrig(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                           int diCnt, const OVF_NOTIF_LIST& notifs) {
    std::map<int, bool> ports;
    for (int p = 0; p < diCnt; ++p) ports[p] = false;
    if (info.trigType != 1) return ports;
    if (!tokenPortMap.empty()) {
        SetPortTrigMap(info, cache, tokenPortMap, notifs, ports);
        return ports;
    }
    int level;
    ports[0] = IsStandardTrig(info, cache, notifs, level);
    return ports;
}

std::map<std::string, int> TokenPortMap(const std::vector<std::string>& tokens) {
    std::map<std::string, int> m;
    for (size_t i = 0; i < tokens.size(); ++i) m.insert(std::make_pair(tokens[i], (int)i));
    return m;
}

OVF_NS_LIST ParseTopicNs(const std::string& text) {
    OVF_NS_LIST out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(start, comma - start);
        size_t at = item.find('@');
        if (at != std::string::npos) out.push_back(std::make_pair(item.substr(0, at), item.substr(at + 1)));
        start = comma + 1;
    }
    return out;
}

bool HasVdoSrcPlaceholder(const Info& info) {
    for (const auto& p : info.trigValue.source)
        if (p.second.find("@VDOSRCTOKEN@") != std::string::npos ||
            p.second.find("@VDOSRCCONFTOKEN@") != std::string::npos)
            return true;
    return false;
}

int ReplaceVdoSrcToken(Info& info, const std::list<OVF_MED_VDO_SRC_CONF>& confs, const std::string& confToken) {
    if (confs.empty()) return -1;
    std::string conf = confToken, src;
    for (const OVF_MED_VDO_SRC_CONF& c : confs) {
        if (c.field[0] == conf) {
            src = c.field[2];
            break;
        }
    }
    if (conf.empty() || src.empty()) {
        conf = confs.front().field[0];
        src = confs.front().field[2];
    }
    for (auto& p : info.trigValue.source) {
        ReplaceFirst(p.second, "@VDOSRCTOKEN@", src);
        ReplaceFirst(p.second, "@VDOSRCCONFTOKEN@", conf);
    }
    return 0;
}

}  // namespace OnvifMatch

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
}

// ---------------------------------------------------------------- pull-point detector

OnvifEvtConf OnvifPullPointDetector::m_EvtConf;

OnvifPullPointDetector::OnvifPullPointDetector(DET_BASE_ATTR attr)
    : CamDetector(attr), m_EvtService(new OnvifEventService()), m_blInDetMain(false) {
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
        if (m_EvtService->CreatePullPointSubscription(filter, termTime, m_TopicNs, pp) == 0) {
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
        if (m_EvtService->CreatePullPointSubscription(filter, termTime, m_TopicNs, pp) == 0) return 0;
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
    media.SetTimeoutSec(kServiceTimeoutSec);
    OnvifServiceEnt ent = m_Attr.pCamCap->GetOnvifServiceEnt();
    OnvifVersion ver = m_Attr.pCamCap->GetOnvifVersion();
    media.UpdateServiceParam(m_Attr.pCamApi, ent.entry[1], ver.major, ver.minor);
    SetClientLogin(media);
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

void OnvifPullPointDetector::UpdateTrigger(const OVF_NOTIF_LIST& notifs) {
    if (m_DetType == DET_TYPE_DI) {
        UpdateDITrigger(notifs);
        return;
    }
    if (IsActivated()) {
        int level = 0;
        bool trig = IsTrig(notifs, level);
        m_Attr.evtBufHdl.SetStatus(trig, level);
    } else {
        m_Attr.evtBufHdl.SetStatus(false, 0);
    }
}

void OnvifPullPointDetector::UpdateDITrigger(const OVF_NOTIF_LIST& notifs) {
    if (!IsActivated()) {
        ResetDIDetStatus();
        return;
    }
    std::map<int, bool> ports = IsTrig(notifs);
    for (int port = 0; port < m_DICnt; ++port) {
        std::map<int, bool>::const_iterator it = ports.find(port);
        bool trig = it != ports.end() && it->second;
        m_Attr.evtBufMapHdl.SetStatus(port, trig, trig ? 100 : 0);
    }
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
        if (d) d->UpdateTrigger(m_Msg.notifs);
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

void OnvifPullPointDetector::Subscribed(OVF_SUBSCRIPTION& sub) {
    // Deliberately not the plain loop: a camera that refuses subscriptions
    // is asked with growing gaps instead of several times a second forever.
    sub.blActive = !sub.pp.address.empty();
    if (!sub.blActive) {
        SubscriptionFailed(sub);
        return;
    }
    sub.backoffMs = 0;
    ScheduleRenewal(sub, sub.pp.termSecondsLeft);
    // What the camera said on the old subscription is not repeated on this one.
    ClearHeldStateOfCamera();
}

void OnvifPullPointDetector::SubscriptionFailed(OVF_SUBSCRIPTION& sub) {
    sub.blActive = false;
    sub.backoffMs = sub.backoffMs == 0 ? kFirstBackoffMs : std::min(sub.backoffMs * 2, kMaxBackoffMs);
    sub.nextCreateMs = GetClock().NowMs() + sub.backoffMs;
}

void OnvifPullPointDetector::ScheduleRenewal(OVF_SUBSCRIPTION& sub, int secondsLeft) {
    // Renewed at half its remaining time, and early enough that a pull held
    // for its whole wait still ends before the subscription would: a camera
    // that enforces its termination time never drops it between two pulls.
    if (secondsLeft <= 0) return;
    const int64_t leftMs = (int64_t)secondsLeft * 1000;
    sub.renewAtMs = GetClock().NowMs() + std::max<int64_t>(0, std::min(leftMs / 2, leftMs - kRenewMarginMs));
}

bool OnvifPullPointDetector::PullOnce(OVF_SUBSCRIPTION& sub, OVF_EVT_PULL_MSG& msg) {
    sub.blFullBatch = false;
    if (!sub.blActive) {
        if (GetClock().NowMs() < sub.nextCreateMs) return false;
        if (CreatePullPoint("", sub.termTime, sub.pp) == 0) Subscribed(sub);
        else SubscriptionFailed(sub);
        if (!sub.blActive) return false;
    }
    if (sub.renewAtMs != 0 && GetClock().NowMs() >= sub.renewAtMs) {
        sub.renewAtMs = 0;
        const std::string term = sub.termTime.empty() ? std::string(kFallbackTermTime) : sub.termTime;
        if (m_EvtService->Renew(sub.pp, term) == 0) {
            ScheduleRenewal(sub, sub.pp.termSecondsLeft);
        } else if (KeepTrying()) {
            if (CreatePullPoint("", sub.termTime, sub.pp) == 0) Subscribed(sub);
            else SubscriptionFailed(sub);
            if (!sub.blActive) return false;
        }
    }
    for (int i = 0; i < kAttempts && KeepTrying(); ++i) {
        msg = OVF_EVT_PULL_MSG();
        if (m_EvtService->PullMessages(sub.pp, kPullTimeout, kPullLimit, msg) == 0) {
            ScheduleRenewal(sub, msg.termSecondsLeft);
            // A full batch means more are waiting: the next pull follows at once.
            sub.blFullBatch = (int)msg.notifs.size() >= atoi(kPullLimit);
            return true;
        }
        RetryPause();
    }
    if (KeepTrying()) {
        OXLOG(kSrc, "Cam[%d]: Failed to pulling event. [%s][%s][%s]\n", m_CamId, sub.termTime.c_str(), kPullTimeout,
              kPullLimit);
        if (CreatePullPoint("", sub.termTime, sub.pp) == 0) Subscribed(sub);
        else SubscriptionFailed(sub);
    }
    return false;
}

int64_t OnvifPullPointDetector::PauseBeforeNextPull(const OVF_SUBSCRIPTION& sub) {
    if (!sub.blActive) return std::max<int64_t>(0, sub.nextCreateMs - GetClock().NowMs());
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

// ---------------------------------------------------------------- kind classes

OnvifMD::OnvifMD(DET_BASE_ATTR attr)
    : OnvifPullPointDetector(attr), m_Clock([this] { return (time_t)(GetClock().NowMs() / 1000); }) {
    m_DetType = DET_TYPE_MD;
    Init(m_Attr.pCamCap ? m_Attr.pCamCap->GetOnvifMdTopic() : std::string());
    if (ReplaceVdoSrcToken() != 0) OXLOG(kSrc, "Failed to assign video source for MD.\n");
}

bool OnvifMD::IsTrig(const OVF_NOTIF_LIST& notifs, int& level) {
    level = 0;
    if (m_EvtInfo.trigType == 1) return IsStandardTrig(notifs, level);
    if (m_EvtInfo.trigType == 2) return IsPanasonicTrig(notifs, level);
    return false;
}

void OnvifMD::ClearHeldState() {
    OnvifPullPointDetector::ClearHeldState();
    m_TimeStamps.clear();
}

bool OnvifMD::IsPanasonicTrig(const OVF_NOTIF_LIST& notifs, int& level) {
    return OnvifMatch::IsPanasonicTrig(m_EvtInfo, m_EvtStatus, m_TimeStamps, notifs, m_Clock(), level);
}

OnvifDI::OnvifDI(DET_BASE_ATTR attr) : OnvifPullPointDetector(attr) {
    m_DetType = DET_TYPE_DI;
    Init(m_Attr.pCamCap ? m_Attr.pCamCap->GetOnvifDiTopic() : std::string());
    if (m_Attr.pCamCap && m_Attr.pCamCap->HasCapability(7)) BuildTokenPortMap();
}

std::map<int, bool> OnvifDI::IsTrig(const OVF_NOTIF_LIST& notifs) {
    return OnvifMatch::DITrig(m_EvtInfo, m_EvtStatus, m_TokenPortMap, m_DICnt, notifs);
}

int OnvifDI::BuildTokenPortMap() {
    OnvifDeviceIoService io;
    io.SetTimeoutSec(kServiceTimeoutSec);
    OnvifServiceEnt ent = m_Attr.pCamCap->GetOnvifServiceEnt();
    OnvifVersion ver = m_Attr.pCamCap->GetOnvifVersion();
    io.UpdateServiceParam(m_Attr.pCamApi, ent.entry[5], ver.major, ver.minor);
    SetClientLogin(io);
    if (!io.IsSupported()) return -1;
    std::vector<std::string> tokens;
    io.GetDigitalInputs(tokens);
    m_TokenPortMap = OnvifMatch::TokenPortMap(tokens);
    return 0;
}

void OnvifDI::SetPortTrigMap(const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap) {
    OnvifMatch::SetPortTrigMap(m_EvtInfo, m_EvtStatus, m_TokenPortMap, notifs, portMap);
}

void OnvifDI::SetSpecificPortTrig(const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap) {
    OnvifMatch::SetSpecificPortTrig(m_EvtInfo, m_TokenPortMap, entry, portMap);
}

OnvifTD::OnvifTD(DET_BASE_ATTR attr) : OnvifPullPointDetector(attr) {
    m_DetType = DET_TYPE_TD;
    Init(m_Attr.pCamCap ? m_Attr.pCamCap->GetOnvifTdTopic() : std::string());
    if (ReplaceVdoSrcToken() != 0) OXLOG(kSrc, "Failed to assign video source for tampering detection.\n");
}

bool OnvifTD::IsTrig(const OVF_NOTIF_LIST& notifs, int& level) {
    level = 0;
    if (m_EvtInfo.trigType == 1) return IsStandardTrig(notifs, level);
    if (m_EvtInfo.trigType == 3) return OnvifMatch::IsMomentaryTrig(m_EvtInfo, m_EvtStatus, notifs, level);
    return false;
}

OnvifAD::OnvifAD(DET_BASE_ATTR attr) : OnvifPullPointDetector(attr) {
    m_DetType = DET_TYPE_AD;
    Init(m_Attr.pCamCap ? m_Attr.pCamCap->GetOnvifAdTopic() : std::string());
}

bool OnvifAD::IsTrig(const OVF_NOTIF_LIST& notifs, int& level) {
    level = 0;
    if (m_EvtInfo.trigType == 1) return IsStandardTrig(notifs, level);
    return false;
}
