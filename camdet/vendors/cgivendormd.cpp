// Motion classes of the polled camera families.
//
// Wire format: one GET per poll; the answer is plain text, mostly
// "key=value" items separated by line ends or ";" (Ycam "motion_0.status=1;",
// Foscam "var alarm_status=1;", Canon "m.1:=1"), XML for Foscam V2 and
// Bosch, a JSON array for Raylios, "group=..;level=..;threshold=..;" lines
// for Zavio V3, binary status bytes for Sanyo, and a raw HTTP answer for
// Siemens. Tests read at most the 4095 characters the loop keeps.
#include <stdio.h>

#include <json/json.h>

#include "camdet/vendors/cgivendordetector.h"
#include "camdet/rules/trigrules.h"

using trig::KeyContains;
using trig::KeyEquals;
using trig::Report;
using trig::Substring;

namespace {

const int kMotion = 100;

CgiRuleState Held(int diCnt, bool blGroup11 = false) {
    CgiRuleState s;
    s.diCnt = diCnt;
    s.blGroup11 = blGroup11;
    return s;
}

// Element 0 of a JSON array: its `level` member as the value, triggered when
// its `bound` member is below it. Anything else reads 0 and quiet.
bool JsonLevelAboveBound(const char* buf, unsigned int len, const char* level, const char* bound, int& value) {
    value = 0;
    Json::Value root;
    if (!BrellinOwned::JsonParse(trig::AnswerText(buf, len), root)) return false;
    if (!root.isArray() || root.size() == 0) return false;
    const Json::Value& first = root[0u];
    if (!first.isObject()) return false;
    auto asInt = [](const Json::Value& v) {
        return (v.isNumeric() || v.isBool()) && v.isConvertibleTo(Json::intValue) ? v.asInt() : 0;
    };
    int lv = asInt(first[level]);
    int bd = asInt(first[bound]);
    value = lv;
    return bd < lv;
}

}  // namespace

// ---------------------------------------------------------------- Ycam

bool cgirule::YcamV2MD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "motion_0.status", "=", ";", {"1"}), kMotion, value);
}

YcamV2MD::YcamV2MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int YcamV2MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/param.cgi?action=list&group=motion_0.status", path, port);
}
bool YcamV2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::YcamV2MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Arecont

bool cgirule::ArecontMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    bool hit = trig::KeyValue(buf, len, "mdresult", "=", "\n", v) && v.find("no motion") == std::string::npos;
    return Report(hit, kMotion, value);
}

ArecontMD::ArecontMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
}
int ArecontMD::GetPathPort(std::string& path, int& port) {
    std::string channel;
    CameraCap* cap = m_Attr.pCamCap;
    if (cap && m_Attr.pCamApi && cap->IsApiSpecified("MULTILENS")) {
        channel = trig::ArecontChannel(m_Attr.pCamApi->GetChannelStr(), cap->IsApiSpecified("ORIGIN_CHANNEL_NO"));
    }
    path = "get" + channel + "?mdresult";
    port = CamHttpPort();
    return 0;
}
bool ArecontMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ArecontMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Sanyo

// Status bytes, not text: bit value 2 of byte 34 is the motion flag.
bool cgirule::SanyoMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(trig::ByteBits(buf, len, 34, 0x02), kMotion, value);
}

SanyoMD::SanyoMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int SanyoMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/liveimg.cgi?pol=1", path, port); }
bool SanyoMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::SanyoMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Messoa

// "Mode 2" is motion, "Mode 3" motion and input together.
bool cgirule::MessoaMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Mode", " ", "\n", {"2", "3"}), kMotion, value);
}

MessoaMD::MessoaMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_MD);
}
int MessoaMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", path, port);
}
bool MessoaMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::MessoaMD(Held(m_DICnt), 0, buf, len, value);
}

bool cgirule::MessoaProMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    int alarm = trig::MessoaProAlarmNo(buf, len);
    return Report(alarm == 2 || alarm == 3, kMotion, value);
}

MessoaProMD::MessoaProMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_MD);
}
int MessoaProMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?action=list&group=Alarm", path, port);
}
bool MessoaProMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::MessoaProMD(Held(m_DICnt), 0, buf, len, value);
}

// GROUP11 firmware answers JSON-like "name":["ok","on"] pairs; older ones key=value.
bool cgirule::MessoaSDK05MD(const CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    if (st.blGroup11) {
        return Report(Substring(buf, len, "\"system.motion_alarm.status\":[\"ok\",\"on\"]"), kMotion, value);
    }
    return Report(KeyContains(buf, len, "motion_status", "=", "\n", {"on"}), kMotion, value);
}

MessoaSDK05MD::MessoaSDK05MD(DET_BASE_ATTR attr, bool blGroup11)
    : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF), m_blGroup11(blGroup11) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int MessoaSDK05MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort(m_blGroup11 ? "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"
                                     : "cgi-bin/get_event_status.cgi",
                         path, port);
}
bool MessoaSDK05MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::MessoaSDK05MD(Held(m_DICnt, m_blGroup11), 0, buf, len, value);
}

// Modes 1..inputs are the inputs; the mode after them is motion.
bool cgirule::Messoa03MD(const CgiRuleState& st, int, const char* buf, unsigned int len, int& value) {
    return Report(trig::Messoa03Motion(buf, len, st.diCnt), kMotion, value);
}

Messoa03MD::Messoa03MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_MD);
}
int Messoa03MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", path, port);
}
bool Messoa03MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::Messoa03MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Compro

// "Region:-1" means no region moved; region 0 is a real region.
bool cgirule::ComproMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    return Report(trig::KeyValue(buf, len, "Region", ":", "\n", v) && v != "-1", kMotion, value);
}

ComproMD::ComproMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
}
int ComproMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/view/list_param.cgi?Action=List&Group=MotionDetect", path, port);
}
bool ComproMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ComproMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Hunt

// Items end with "<br>" (any of its characters ends the value).
bool cgirule::HuntMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    return Report(trig::KeyValue(buf, len, "Motion0_Status", "=", "<br>", v) && v != "0", kMotion, value);
}

HuntMD::HuntMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
}
int HuntMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("GetMotionDetect.cgi", path, port); }
bool HuntMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::HuntMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Brickcom

// The camera has four windows, but only the first three are watched.
bool cgirule::BrickcomMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    for (int window = 1; window <= 3; ++window) {
        if (KeyEquals(buf, len, "window" + BrellinOwned::itos(window), "=", "\n", {"1"})) {
            return Report(true, kMotion, value);
        }
    }
    return Report(false, kMotion, value);
}

BrickcomMD::BrickcomMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 500;
}
int BrickcomMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/motiondetection.cgi?action=getStatus", path, port);
}
bool BrickcomMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::BrickcomMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Storage Options

// alarm_status: 1 motion, 2 input, 3 both.
bool cgirule::StorageMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"1", "3"}), kMotion, value);
}

StorageMD::StorageMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int StorageMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool StorageMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::StorageMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Zavio V3

// One "group=G;level=L;threshold=T;" line per motion window; the level is
// reported even while no window is above its threshold.
bool cgirule::ZavioV3MD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    int highest = 0;
    int hitLevel = 0;
    bool hit = trig::ForEachLine(buf, len, 256, 0, [&](const char* line) {
        int group = 0, level = 0, threshold = 0;
        int n = sscanf(line, "group=%d;level=%d;threshold=%d;", &group, &level, &threshold);
        if (n >= 2 && level > highest) highest = level;
        if (n == 3 && level > threshold) {
            hitLevel = level;
            return true;
        }
        return false;
    });
    value = hit ? hitLevel : highest;
    return hit;
}

ZavioV3MD::ZavioV3MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_1_1) {}
int ZavioV3MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/detection?mode=single&type=motion&group=0,1,2,3,4,5,6,7,8,9", path, port);
}
bool ZavioV3MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ZavioV3MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Canon

bool cgirule::CanonMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "m.1:", "=", "\n", {"1"}), kMotion, value);
}

CanonMD::CanonMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int CanonMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/-wvhttp-01-/info.cgi", path, port); }
bool CanonMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::CanonMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Foscam

// alarm_status: 1 motion, 2 input.
bool cgirule::FoscamMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarm_status", "=", ";", {"1"}), kMotion, value);
}

FoscamMD::FoscamMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1500;
}
int FoscamMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool FoscamMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::FoscamMD(Held(m_DICnt), 0, buf, len, value);
}

// XML items on their own lines; the rest of the line is the value.
bool cgirule::FoscamV2MD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "motionDetectAlarm", ">", "\n", {"2</motionDetectAlarm>"}), kMotion, value);
}

FoscamV2MD::FoscamV2MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1500;
}
// The camera takes its login in the query, unescaped.
int FoscamV2MD::GetPathPort(std::string& path, int& port) {
    path = "cgi-bin/CGIProxy.fcgi?usr=" + CamUser() + "&pwd=" + CamPassword() + "&cmd=getDevState";
    port = CamHttpPort();
    return 0;
}
bool FoscamV2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::FoscamV2MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Basler

bool cgirule::BaslerMp4MD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "Return_1", "=", "\n", {"1"}), kMotion, value);
}

BaslerMp4MD::BaslerMp4MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int BaslerMp4MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort(
        "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=0&Action_1=IO.State.GetValue",
        path, port);
}
bool BaslerMp4MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::BaslerMp4MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Itx

// rise_motion holds one flag character per motion window; four are watched.
bool cgirule::ItxMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    bool hit = trig::ItxRiseValue(buf, len, "rise_motion", v) && v.substr(0, 4).find('1') != std::string::npos;
    return Report(hit, kMotion, value);
}

ItxMD::ItxMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int ItxMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/action.fcgi?api=get_setup.event.status", path, port);
}
bool ItxMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ItxMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Raylios

// [{"level":L,"cfg":C,...}]: motion while the configured bound is below the level.
bool cgirule::RayliosMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return JsonLevelAboveBound(buf, len, "level", "cfg", value);
}

RayliosMD::RayliosMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int RayliosMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("sray/motionDetectionStatus.cgi", path, port);
}
bool RayliosMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::RayliosMD(Held(m_DICnt), 0, buf, len, value);
}

bool cgirule::RayliosV2MD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return JsonLevelAboveBound(buf, len, "strength", "threshold", value);
}

RayliosV2MD::RayliosV2MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int RayliosV2MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("sray/getMotionDetectionWindowStrength.cgi", path, port);
}
bool RayliosV2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::RayliosV2MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- HiSharp

// The camera reports a motion amount; any amount is motion.
bool cgirule::HiSharpMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    std::string v;
    value = trig::KeyValue(buf, len, "MotionValue", "=", "\n", v) ? trig::DecimalOr(v, 0) : 0;
    return value >= 1;
}

HiSharpMD::HiSharpMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int HiSharpMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/vb.htm?language=ie&getmotionvalue", path, port);
}
bool HiSharpMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::HiSharpMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Bosch

bool cgirule::BoschMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(trig::BoschDecText(buf, len) == "1", kMotion, value);
}

BoschMD::BoschMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int BoschMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/rcp.xml?command=0x01c3&type=F_FLAG&direction=READ&num=1", path, port);
}
bool BoschMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::BoschMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Beward

bool cgirule::BewardMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "MotionDetection"), kMotion, value);
}

BewardMD::BewardMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
// The camera takes its login in the query, unescaped.
int BewardMD::GetPathPort(std::string& path, int& port) {
    path = "/cgi-bin/alarmstate_cgi?action=get&user=" + CamUser() + "&pwd=" + CamPassword();
    port = CamHttpPort();
    return 0;
}
bool BewardMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::BewardMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Siemens

// Asked on a raw socket without authentication; the whole answer is searched.
bool cgirule::SiemensMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(Substring(buf, len, "Motion"), kMotion, value);
}

SiemensMD::SiemensMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 1, CGI_QUERY_SOCKET, HTTP_VER_DEF) {
    m_PollIntervalMs = 0;
    LinkShareDet(DET_TYPE_MD);
}
int SiemensMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/GetAlarmState.cgi", path, port);
}
bool SiemensMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::SiemensMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Shany

// getalarmstatus=NNNNN: 00002 motion, 00001 input, 00003 both.
bool cgirule::ShanyMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyContains(buf, len, "getalarmstatus", "=", " ", {"00002", "00003"}), kMotion, value);
}

ShanyMD::ShanyMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int ShanyMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/vb.htm?getalarmstatus", path, port); }
bool ShanyMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ShanyMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Nexcom

// alarmstatus: 1 input, 2 motion, 3 both.
bool cgirule::NexcomMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "alarmstatus", "=", "\n", {"2", "3"}), kMotion, value);
}

NexcomMD::NexcomMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int NexcomMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/get_eventaction.cgi?alarmstatus", path, port);
}
bool NexcomMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::NexcomMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- GrandStream

// The camera spells it "statu".
bool cgirule::GrandStreamMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "md_alarm_statu", "=", "\n", {"1"}), kMotion, value);
}

GrandStreamMD::GrandStreamMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
}
int GrandStreamMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("goform/motiondetect?cmd=get_md_statu", path, port);
}
bool GrandStreamMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::GrandStreamMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Truen

bool cgirule::TruenMD(const CgiRuleState&, int, const char* buf, unsigned int len, int& value) {
    return Report(KeyEquals(buf, len, "GIS_MOTION1", "=", "\n", {"1"}), kMotion, value);
}

TruenMD::TruenMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int TruenMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/httpapi/GetState?action=getinput&GIS_MOTION1=0&GIS_MOTION2=0&GIS_MOTION3=0&GIS_MOTION4=0"
                         "&GIS_SENSOR1=0&GIS_SENSOR2=0&GIS_SENSOR3=0&GIS_SENSOR4=0",
                         path, port);
}
bool TruenMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::TruenMD(Held(m_DICnt), 0, buf, len, value);
}
