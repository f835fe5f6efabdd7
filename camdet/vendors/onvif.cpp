// ONVIF cameras (camera API keys "onvif", and "geovision" for motion).
//
// Wire format (ONVIF event service, PullPoint interface): the detector
// subscribes with CreatePullPointSubscription and asks PullMessages for at
// least 8 messages, letting the camera hold the request up to 60 s until one
// comes. Each answer holds NotificationMessage elements:
//   <wsnt:Topic>tns1:RuleEngine/CellMotionDetector/Motion</wsnt:Topic>
//   <tt:Message UtcTime="..." PropertyOperation="Changed">
//     <tt:Source><tt:SimpleItem Name="VideoSourceConfigurationToken" Value="vsc0"/>...</tt:Source>
//     <tt:Data><tt:SimpleItem Name="IsMotion" Value="true"/></tt:Data>
//   </tt:Message>
// PropertyOperation is "Initialized" (the state when subscribing), "Changed"
// or "Deleted", or absent for plain events. A property event is sent once when
// its value changes, so the status cache keeps each source's last data between
// pulls. Usual topics: motion tns1:RuleEngine/CellMotionDetector/Motion
// (IsMotion), inputs tns1:Device/Trigger/DigitalInput (source InputToken, data
// LogicalState), tampering tns1:RuleEngine/TamperDetector/Tamper (IsTamper),
// audio tns1:AudioAnalytics/Audio/DetectedSound (IsSoundDetected); others use
// tns1:VideoSource/MotionAlarm (State) or GlobalSceneChange (State). Which
// topic and values trigger comes from the recorder's event configuration and
// the key it chose from the topics the camera lists.
#include "camdet/vendors/onvif.h"

#include "camdet/core/detclass.h"
#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"

namespace {
// The lines keep the name of the unit the ONVIF detectors began in.
const char* const kSrc = "camdet/onvifdetector";
// A momentary trigger lasts until the next pull; long polls would hold it
// for a minute, so that pull comes as soon as a short pull would have.
const int64_t kMomentaryMs = 2000;
}  // namespace

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

int64_t OnvifMD::HeldStateDueMs() {
    if (m_EvtInfo.trigType != 2) return 0;
    const time_t due = OnvifMatch::HoldExpiry(m_EvtInfo, m_EvtStatus, m_TimeStamps);
    return due == (time_t)-1 ? 0 : (int64_t)due * 1000;
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
    SetUpClient(io, 5);
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
    if (m_EvtInfo.trigType == 3) {
        const bool trig = OnvifMatch::IsMomentaryTrig(m_EvtInfo, m_EvtStatus, notifs, level);
        m_MomentaryDueMs = trig ? GetClock().NowMs() + kMomentaryMs : 0;
        return trig;
    }
    return false;
}

void OnvifTD::ClearHeldState() {
    OnvifPullPointDetector::ClearHeldState();
    m_MomentaryDueMs = 0;
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

CAMDET_DET_CLASS(OnvifMD, MakeDet);
CAMDET_DET_CLASS(OnvifDI, MakeDet);
CAMDET_DET_CLASS(OnvifTD, MakeDet);
CAMDET_DET_CLASS(OnvifAD, MakeDet);
