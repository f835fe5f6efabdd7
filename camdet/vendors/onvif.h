// The ONVIF kind classes: motion, digital inputs, tampering and audio over the
// pull-point transport, each choosing its topic key and trigger rule. Served
// for the camera API key "onvif" (all four kinds) and "geovision" (motion).
#ifndef CAMDET_VENDORS_ONVIF_H
#define CAMDET_VENDORS_ONVIF_H

#include <time.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "camdet/transport/onvifdetector.h"

// Motion: trigger type 1 standard, 2 held for 5 s after each notification.
class OnvifMD : public OnvifPullPointDetector {
public:
    explicit OnvifMD(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override;
    bool IsPanasonicTrig(const OVF_NOTIF_LIST& notifs, int& level);
    void ClearHeldState() override;
    // Type 2: when the earliest held motion runs out.
    int64_t HeldStateDueMs() override;
    // The clock of the hold rule (the camera's clock by default).
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
    void ClearHeldState() override;
    // Type 3: a reported trigger is ended by a pull within 2 s.
    int64_t HeldStateDueMs() override { return m_MomentaryDueMs; }

protected:
    int64_t m_MomentaryDueMs = 0;
};

// Audio: trigger type 1 standard.
class OnvifAD : public OnvifPullPointDetector {
public:
    explicit OnvifAD(DET_BASE_ATTR attr);
    using OnvifPullPointDetector::IsTrig;
    bool IsTrig(const OVF_NOTIF_LIST& notifs, int& level) override;
};

#endif  // CAMDET_VENDORS_ONVIF_H
