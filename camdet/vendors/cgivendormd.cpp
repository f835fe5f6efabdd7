// Motion classes of the polled camera families.
//
// Wire format: one GET per poll; the answer is plain text, mostly
// "key=value" items separated by line ends or ";" (Ycam "motion_0.status=1;",
// Foscam "var alarm_status=1;", Canon "m.1:=1"), XML for Foscam V2 and
// Bosch, a JSON array for Raylios, "group=..;level=..;threshold=..;" lines
// for Zavio V3, binary status bytes for Sanyo, and a raw HTTP answer for
// Siemens. Tests read at most the 4095 characters the loop keeps.
#include "camdet/vendors/cgivendordetector.h"
#include "camdet/rules/trigrules.h"

namespace {

CgiRuleState Held(int diCnt, bool blGroup11 = false) {
    CgiRuleState s;
    s.diCnt = diCnt;
    s.blGroup11 = blGroup11;
    return s;
}

}  // namespace

// ---------------------------------------------------------------- Ycam

YcamV2MD::YcamV2MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int YcamV2MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/param.cgi?action=list&group=motion_0.status", path, port);
}
bool YcamV2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::YcamV2MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Arecont

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

SanyoMD::SanyoMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int SanyoMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/liveimg.cgi?pol=1", path, port); }
bool SanyoMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::SanyoMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Messoa

MessoaMD::MessoaMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_MD);
}
int MessoaMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", path, port);
}
bool MessoaMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::MessoaMD(Held(m_DICnt), 0, buf, len, value);
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

HuntMD::HuntMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
}
int HuntMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("GetMotionDetect.cgi", path, port); }
bool HuntMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::HuntMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Brickcom

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

StorageMD::StorageMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int StorageMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool StorageMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::StorageMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Zavio V3

ZavioV3MD::ZavioV3MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_1_1) {}
int ZavioV3MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/detection?mode=single&type=motion&group=0,1,2,3,4,5,6,7,8,9", path, port);
}
bool ZavioV3MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ZavioV3MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Canon

CanonMD::CanonMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int CanonMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/-wvhttp-01-/info.cgi", path, port); }
bool CanonMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::CanonMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Foscam

FoscamMD::FoscamMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1500;
}
int FoscamMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool FoscamMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::FoscamMD(Held(m_DICnt), 0, buf, len, value);
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

RayliosMD::RayliosMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int RayliosMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("sray/motionDetectionStatus.cgi", path, port);
}
bool RayliosMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::RayliosMD(Held(m_DICnt), 0, buf, len, value);
}

RayliosV2MD::RayliosV2MD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int RayliosV2MD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("sray/getMotionDetectionWindowStrength.cgi", path, port);
}
bool RayliosV2MD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::RayliosV2MD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- HiSharp

HiSharpMD::HiSharpMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int HiSharpMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/vb.htm?language=ie&getmotionvalue", path, port);
}
bool HiSharpMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::HiSharpMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Bosch

BoschMD::BoschMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {}
int BoschMD::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/rcp.xml?command=0x01c3&type=F_FLAG&direction=READ&num=1", path, port);
}
bool BoschMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::BoschMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Beward

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

ShanyMD::ShanyMD(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_MD);
}
int ShanyMD::GetPathPort(std::string& path, int& port) { return FixedPathPort("/vb.htm?getalarmstatus", path, port); }
bool ShanyMD::IsTrig(char* buf, unsigned int len, int& value) {
    return cgirule::ShanyMD(Held(m_DICnt), 0, buf, len, value);
}

// ---------------------------------------------------------------- Nexcom

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
