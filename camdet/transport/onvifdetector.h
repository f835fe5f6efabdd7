// The ONVIF pull-point transport: a PullPoint subscription per detector
// thread, pulled with long polls (the camera answers when a notification
// comes), renewed before it lapses, resynchronised after a lost answer and
// recreated when pulls fail; every pull's notifications matched (camdet/rules/
// onvifrules) against the recorder's event configuration into a per-source
// status cache and reported to this detector and its ONVIF followers. The kind
// classes on top are in camdet/vendors/onvif.
#ifndef CAMDET_ONVIFDETECTOR_H
#define CAMDET_ONVIFDETECTOR_H

#include <stdint.h>

#include <map>
#include <memory>
#include <string>

#include "camdet/core/eventdetector.h"
#include "camdet/rules/onvifrules.h"
#include "interface/onvifrecords.h"
#include "interface/onvifservice.h"

class OnvifPullPointDetector : public CamDetector {
public:
    // What this detector's kind and topic key mean (the fields are the rules'
    // OnvifMatch::Info).
    struct OVF_EVT_INFO : OnvifMatch::Info {
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
    using CamDetector::IsTrig;
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

    // Reports one pull's notifications through the IsTrig tests of this
    // class (CamDetector::ReportDecided; DI: every port, 100 when triggered).
    void ReportNotifs(const OVF_NOTIF_LIST& notifs);
    // Kinds 1, 3, 4: not triggered; kind 2: every port cleared.
    void ResetDetStatus() override;
    // The status cache: a new subscription starts from what the camera sends on it.
    void ClearHeldState() override;

    // The subscription the loop keeps.
    struct OVF_SUBSCRIPTION {
        OVF_EVT_PULL_PT pp;
        std::string termTime;        // what was asked for ("" or "PT60S")
        bool blActive = false;       // subscribed, with an address
        int backoffMs = 0;           // gap before the next subscription attempt (0: none failed)
        int64_t nextCreateMs = 0;    // camera clock
        int64_t expiresAtMs = 0;     // camera clock; 0: the camera named no termination time
        bool blFullBatch = false;    // the last pull brought as many as asked for
        int limit = 8;               // messages asked for per pull
        bool blResync = false;       // an answer was lost: ask for the current states first
        bool blUnreachable = false;  // the device answered nothing: asked for its time until it does
        int64_t nextProbeMs = 0;     // camera clock
        int64_t nextOutageLogMs = 0;  // camera clock
    };
    // The loop's own steps (the loop is CamDetector::RunLoop): subscribe
    // (falling back to a termination time); one long pull with its retries
    // (true when it answered), renewing the subscription before it lapses,
    // asking for the current states after a lost answer and recreating the
    // subscription when pulls fail; failed subscriptions asked again with
    // growing gaps, or, while the device answers nothing, as soon as it
    // answers an unauthenticated request again; the wait before the next pull
    // (-1: the poll interval); unsubscribe.
    void OpenSubscription(OVF_SUBSCRIPTION& sub);
    bool PullOnce(OVF_SUBSCRIPTION& sub, OVF_EVT_PULL_MSG& msg);
    int64_t PauseBeforeNextPull(const OVF_SUBSCRIPTION& sub);
    void CloseSubscription(OVF_EVT_PULL_PT& pp);
    // How long the next pull may wait on the device, in whole seconds (1 up
    // to the longest wait, 60 unless set).
    int PullWaitSec(const OVF_SUBSCRIPTION& sub);
    // The longest a pull may wait on the device (benchmarks compare the 2 s
    // pulls of old). Before Start.
    void SetMaxPullWaitSec(int sec) { m_MaxPullWaitSec = sec; }

    // The camera-clock time (ms) by which this detector's reported state
    // must be looked at again though no notification came (a hold that runs
    // out), or 0 for none. Owner thread only.
    virtual int64_t HeldStateDueMs() { return 0; }

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
    // Points a service client at service entry `entry` of the camera (its
    // time-out, the ONVIF version, the login). Needs the capability record.
    void SetUpClient(OnvifServiceBase& svc, int entry);
    // False once Stop was asked while DetMain runs: retries give up early.
    bool KeepTrying();
    // The pause between two failed attempts (300 ms, ended by Stop).
    void RetryPause();
    void Subscribed(OVF_SUBSCRIPTION& sub);
    void SubscriptionFailed(OVF_SUBSCRIPTION& sub);
    void Resubscribe(OVF_SUBSCRIPTION& sub);
    // Logs that the device answers nothing, at most every 20 s.
    void StillUnreachable(OVF_SUBSCRIPTION& sub);
    // Notes when the subscription lapses (seconds left by the camera's clock).
    void ScheduleRenewal(OVF_SUBSCRIPTION& sub, int secondsLeft);
    bool IsRenewalDue(const OVF_SUBSCRIPTION& sub);
    // The earliest HeldStateDueMs of this detector and its ONVIF followers.
    int64_t HeldStateDueMsOfCamera();

    std::unique_ptr<OnvifEventService> m_EvtService;
    OVF_NS_LIST m_TopicNs;
    OVF_EVT_INFO m_EvtInfo;
    OVF_EVT_CACHE m_EvtStatus;
    bool m_blInDetMain;
    int m_LastCreateRc;  // of the last subscription request
    int m_MaxPullWaitSec;
};

#endif  // CAMDET_ONVIFDETECTOR_H
