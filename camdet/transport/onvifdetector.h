// ONVIF event detection: a PullPoint subscription per detector thread,
// notifications matched against the recorder's event configuration into a
// per-source status cache, and the four kind classes that turn the cache into
// triggers.
//
// Wire format (ONVIF event service, PullPoint interface): each pull answers
// NotificationMessage elements, each a topic ("tns1:RuleEngine/
// CellMotionDetector/Motion"), a PropertyOperation ("Initialized", "Changed",
// "Deleted", or none for plain events) and Source and Data SimpleItems
// (Name, Value). A property event is sent once when its value changes, so
// the cache keeps each source's last data between pulls.
#ifndef CAMDET_ONVIFDETECTOR_H
#define CAMDET_ONVIFDETECTOR_H

#include <stdint.h>
#include <time.h>

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "camdet/core/eventdetector.h"
#include "interface/onvifrecords.h"
#include "interface/onvifservice.h"

typedef std::list<OVF_EVT_NOTIF> OVF_NOTIF_LIST;
typedef std::vector<OVF_EVT_TOPIC> OVF_EVT_CACHE;

class OnvifPullPointDetector : public CamDetector {
public:
    // What this detector's kind and topic key mean.
    struct OVF_EVT_INFO {
        std::string matchTopic;  // the topic key before its first ";"
        OVF_EVT_TOPIC trigValue;  // source and data patterns; topic parts unused
        int32_t trigType = 0;     // 1 standard, 2 hold (MD), 3 momentary (TD); else never triggers
        bool blSrcNameIgnored = false;
        bool blDataNameIgnored = false;
        // Fills the record from the configuration for kind 1-4; any other kind
        // leaves it untouched.
        void Init(const std::string& topicKey, int kind, const OnvifEvtConf& conf);
    };

    // Points the event service client at the camera (service entry 3, the
    // ONVIF version, the mediator's login) and reads the topic namespaces.
    explicit OnvifPullPointDetector(DET_BASE_ATTR attr);
    // Releases the members; does not unsubscribe (DetMain does on the way out).
    ~OnvifPullPointDetector() override;

    int DetMain() override;
    // Motion-style test for MD, TD and AD: this class never triggers.
    virtual bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level);
    // DI test, port -> trigger: this class gives an empty map.
    virtual std::map<int, bool> IsTrig(const OVF_NOTIF_LIST& notifs);

    // Subscribes (after unsubscribing pp): up to 3 attempts, then, when the
    // camera gave no address and no termination time was asked for, up to 3
    // more with "PT60S" (termTime is then "PT60S"). 0 or -1.
    int CreatePullPoint(const std::string& filter, std::string& termTime, OVF_EVT_PULL_PT& pp);
    // Unsubscribes when pp has an address; pp is cleared in every case. -1
    // when the camera refused.
    int DeletePullPoint(OVF_EVT_PULL_PT& pp);
    // Replaces the video source placeholders of the source patterns with the
    // camera's tokens. 0, or -1 when the media service gave no configuration.
    int ReplaceVdoSrcToken();

    bool IsNotifiedMsgFound(const OVF_EVT_NOTIF& notif) const;
    OVF_EVT_CACHE::iterator FindEvtStatus(const OVF_EVT_NOTIF& notif);
    bool IsStandardEvtTrig(const OVF_ITEM_LIST& data) const;
    bool IsStandardTrig(const OVF_NOTIF_LIST& notifs, int& level);

    // Reports the result of one pull to the recorder (DI: every port).
    void UpdateTrigger(const OVF_NOTIF_LIST& notifs);
    void UpdateDITrigger(const OVF_NOTIF_LIST& notifs);
    // Kinds 1, 3, 4: not triggered; kind 2: every port cleared.
    void ResetDetStatus() override;
    // The status cache: a new subscription starts from what the camera sends on it.
    void ClearHeldState() override;

    // The subscription the loop keeps.
    struct OVF_SUBSCRIPTION {
        OVF_EVT_PULL_PT pp;
        std::string termTime;      // what was asked for ("" or "PT60S")
        bool blActive = false;     // subscribed, with an address
        int backoffMs = 0;         // gap before the next subscription attempt (0: none failed)
        int64_t nextCreateMs = 0;  // process clock
        int64_t renewAtMs = 0;     // process clock; 0: the camera named no termination time
        bool blFullBatch = false;  // the last pull brought as many as asked for
    };
    // The loop's own steps (the loop is CamDetector::RunLoop): subscribe
    // (falling back to a termination time); one pull with its retries (true
    // when it answered), renewing the subscription before it lapses and
    // recreating it when pulls fail, failed subscriptions asked again with
    // growing gaps; the wait before the next pull (-1: the poll interval);
    // unsubscribe.
    void OpenSubscription(OVF_SUBSCRIPTION& sub);
    bool PullOnce(OVF_SUBSCRIPTION& sub, OVF_EVT_PULL_MSG& msg);
    int64_t PauseBeforeNextPull(const OVF_SUBSCRIPTION& sub);
    void CloseSubscription(OVF_EVT_PULL_PT& pp);

    // Loaded with the library; read-only afterwards.
    static OnvifEvtConf m_EvtConf;

    // Seams for tests and tools: the event service client (owned), the event
    // info and the cache.
    void SetEventService(std::unique_ptr<OnvifEventService> svc);
    OVF_EVT_INFO& EvtInfo() { return m_EvtInfo; }
    const OVF_EVT_CACHE& StatusCache() const { return m_EvtStatus; }
    const OVF_NS_LIST& TopicNs() const { return m_TopicNs; }

protected:
    // Runs OVF_EVT_INFO::Init with m_DetType, then LinkShareDet. Subclass
    // constructors set m_DetType first.
    void Init(const std::string& topicKey);
    // Gives the camera's login to a service client.
    void SetClientLogin(OnvifServiceBase& svc);
    // False once Stop was asked while DetMain runs: retries give up early.
    bool KeepTrying();
    // The pause between two failed attempts (300 ms, ended by Stop).
    void RetryPause();
    void Subscribed(OVF_SUBSCRIPTION& sub);
    void SubscriptionFailed(OVF_SUBSCRIPTION& sub);
    void ScheduleRenewal(OVF_SUBSCRIPTION& sub, int secondsLeft);

    std::unique_ptr<OnvifEventService> m_EvtService;
    OVF_NS_LIST m_TopicNs;
    OVF_EVT_INFO m_EvtInfo;
    OVF_EVT_CACHE m_EvtStatus;
    bool m_blInDetMain;
};

// Motion: trigger type 1 standard, 2 held for 5 s after each notification.
class OnvifMD : public OnvifPullPointDetector {
public:
    explicit OnvifMD(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override;
    bool IsPanasonicTrig(const OVF_NOTIF_LIST& notifs, int& level);
    void ClearHeldState() override;
    // The clock of the hold rule (time(nullptr) by default).
    void SetClock(std::function<time_t()> clock) { m_Clock = clock; }

protected:
    std::vector<time_t> m_TimeStamps;  // one per cache entry, same order
    std::function<time_t()> m_Clock;
};

// Digital inputs: ports found through the device IO tokens, or port 0 alone.
class OnvifDI : public OnvifPullPointDetector {
public:
    explicit OnvifDI(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    std::map<int, bool> IsTrig(const OVF_NOTIF_LIST& notifs) override;
    // Lists the camera's digital inputs: token i is port i. -1 when the
    // device IO service is not offered.
    int BuildTokenPortMap();
    void SetPortTrigMap(const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap);
    void SetSpecificPortTrig(const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap);
    std::map<std::string, int>& TokenPortMap() { return m_TokenPortMap; }

protected:
    std::map<std::string, int> m_TokenPortMap;
};

// Tampering: trigger type 1 standard, 3 momentary (only the current pull).
class OnvifTD : public OnvifPullPointDetector {
public:
    explicit OnvifTD(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override;
};

// Audio: trigger type 1 standard.
class OnvifAD : public OnvifPullPointDetector {
public:
    explicit OnvifAD(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override;
};

// The matching and trigger rules as pure functions of the event info, the
// status cache and the notifications of one pull: no thread, no camera, the
// clock passed in. The detector members above call these.
namespace OnvifMatch {

typedef OnvifPullPointDetector::OVF_EVT_INFO Info;

// The "|" alternatives of a pattern value.
std::vector<std::string> SplitAlternatives(const std::string& pattern);
bool HasAlternative(const std::string& pattern, const char* alt);
bool IsNotifiedMsgFound(const Info& info, const OVF_EVT_NOTIF& notif);
// Index of the notification's cache entry, or cache.size().
size_t FindEvtStatus(const Info& info, const OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& notif);
bool IsStandardEvtTrig(const Info& info, const OVF_ITEM_LIST& data);
// Replaces the data of the notification's cache entry or appends an entry;
// returns its index and whether it was appended.
size_t UpdateEvtStatus(const Info& info, OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& notif, bool& appended);
bool IsStandardTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level);
// Hold rule: a triggering entry stays triggered for less than holdSec after
// its last notification; stamps run parallel to the cache.
bool IsPanasonicTrig(const Info& info, OVF_EVT_CACHE& cache, std::vector<time_t>& stamps,
                     const OVF_NOTIF_LIST& notifs, time_t now, int& level, double holdSec = 5.0);
// Standard rule, then the cache is emptied.
bool IsMomentaryTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level);
void SetSpecificPortTrig(const Info& info, const std::map<std::string, int>& tokenPortMap,
                         const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap);
void SetPortTrigMap(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                    const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap);
// The whole DI rule: ports 0 .. diCnt - 1 start false.
std::map<int, bool> DITrig(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                           int diCnt, const OVF_NOTIF_LIST& notifs);
// Token i is port i; the first occurrence of a token wins.
std::map<std::string, int> TokenPortMap(const std::vector<std::string>& tokens);
// Splits "p1@ns1,p2@ns2" into (prefix, name) pairs; items without "@" dropped.
OVF_NS_LIST ParseTopicNs(const std::string& text);
// Replaces the first placeholder of each source pattern. -1 when confs is
// empty (patterns untouched).
int ReplaceVdoSrcToken(Info& info, const std::list<OVF_MED_VDO_SRC_CONF>& confs, const std::string& confToken);
bool HasVdoSrcPlaceholder(const Info& info);

}  // namespace OnvifMatch

#endif  // CAMDET_ONVIFDETECTOR_H
