// Input classes of the polled camera families.
//
// Wire format: one GET per poll (Airlive, JVC and Zavio: one per input),
// answered with plain "key=value" lines naming the inputs by number
// ("input1=active", "di2.status=0", "Input.I01.Status=low",
// "GIS_SENSOR2=1"), an alarm word shared by motion and input ("Mode 3",
// "alarm_status=2;", "alarmstatus=3"), XML for Foscam V2 and Bosch, a bit
// mask ("DIO_STATUS=0x02") for ACTi, binary status bytes for Sanyo, and a
// raw HTTP answer for Siemens. Inputs are numbered from 0 ("p") or from 1
// ("n") as each camera does.
#include "camdet/vendors/cgivendordetector.h"
#include "camdet/rules/trigrules.h"

using BrellinOwned::itos;

namespace {

CgiRuleState Held(int diCnt, bool blGroup11 = false, const std::string& trigValue = std::string()) {
    CgiRuleState s;
    s.diCnt = diCnt;
    s.blGroup11 = blGroup11;
    s.diTrigValue = trigValue;
    return s;
}

std::string N(int port) { return itos((long long)port + 1); }

// Seconds Airlive and JVC wait for each input's answer.
const int kOwnLoopTimeout = 30;

}  // namespace

// ---------------------------------------------------------------- Airlive

AirliveDI::AirliveDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
// One request per input.
int AirliveDI::DetMain() {
    return PollEachInput(kOwnLoopTimeout, true, HTTP_VER_DEF,
                         [](int port) { return "io/input.cgi?checkactive=" + N(port); });
}
int AirliveDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("io/input.cgi?checkactive=1", path, port);
}
bool AirliveDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::AirliveDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- LevelOne

LevelOneGr5DI::LevelOneGr5DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_DetType = DET_TYPE_DI;
}
int LevelOneGr5DI::GetDiTrigValue() {
    int v = 0;
    if (!m_Attr.pCamApi || m_Attr.pCamApi->GetCamDiTrigValue(v) != 0) return -1;
    m_DiTrigValue = itos(v);
    return 0;
}
int LevelOneGr5DI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/config_dido.cgi?Act=1", path, port);
}
bool LevelOneGr5DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::LevelOneGr5DI(Held(m_DICnt, false, m_DiTrigValue), port, buf, len, value);
}

LevelOneGr1DI::LevelOneGr1DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int LevelOneGr1DI::GetPathPort(std::string& path, int& port) { return FixedPathPort("io/query_io.cgi", path, port); }
bool LevelOneGr1DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::LevelOneGr1DI(Held(m_DICnt), port, buf, len, value);
}

LevelOneGr4DICgiQuery::LevelOneGr4DICgiQuery(DET_BASE_ATTR attr)
    : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_DetType = DET_TYPE_DI;
}
int LevelOneGr4DICgiQuery::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/io/input.cgi?checkactive=1", path, port);
}
bool LevelOneGr4DICgiQuery::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::LevelOneGr4DICgiQuery(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Ycam

YcamV2DI::YcamV2DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_DetType = DET_TYPE_DI;
}
int YcamV2DI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/param.cgi?action=list&group=gpio.input_0.status", path, port);
}
bool YcamV2DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::YcamV2DI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- JVC

JvcDI::JvcDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
// One request per input.
int JvcDI::DetMain() {
    return PollEachInput(kOwnLoopTimeout, true, HTTP_VER_DEF, [](int port) {
        return "/api/param?peripheral.input_pin.pin(" + N(port) + ").status";
    });
}
int JvcDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/api/param?peripheral.input_pin.pin(1).status", path, port);
}
bool JvcDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::JvcDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Edimax

EdimaxVPDI::EdimaxVPDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int EdimaxVPDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi/admin/param.cgi?action=list&group=GPIO", path, port);
}
bool EdimaxVPDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::EdimaxVPDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- ACTi

ActiDI::ActiDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
// The path and port depend on the model; the camera API knows them.
int ActiDI::GetPathPort(std::string& path, int& port) {
    if (m_Attr.pCamApi) m_Attr.pCamApi->GetDIPathPort(path, port);
    return 0;
}
bool ActiDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ActiDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Arecont

ArecontDI::ArecontDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int ArecontDI::GetPathPort(std::string& path, int& port) {
    std::string channel;
    CameraCap* cap = m_Attr.pCamCap;
    if (cap && m_Attr.pCamApi && cap->IsApiSpecified("MULTILENS")) {
        channel = trig::ArecontChannel(m_Attr.pCamApi->GetChannelStr(), cap->IsApiSpecified("ORIGIN_CHANNEL_NO"));
    }
    path = "get" + channel + "?auxin";
    port = CamHttpPort();
    return 0;
}
bool ArecontDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ArecontDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Sanyo

SanyoDI::SanyoDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int SanyoDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("/liveimg.cgi?pol=1", path, port); }
bool SanyoDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::SanyoDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Pixord

PixordDI::PixordDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int PixordDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/admin/gpiostatus.cgi", path, port);
}
bool PixordDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::PixordDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Messoa

MessoaDI::MessoaDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_DI);
}
int MessoaDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", path, port);
}
bool MessoaDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::MessoaDI(Held(m_DICnt), port, buf, len, value);
}

MessoaProDI::MessoaProDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_DI);
}
int MessoaProDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?action=list&group=Alarm", path, port);
}
bool MessoaProDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::MessoaProDI(Held(m_DICnt), port, buf, len, value);
}

MessoaSDK05DI::MessoaSDK05DI(DET_BASE_ATTR attr, bool blGroup11)
    : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF), m_blGroup11(blGroup11) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int MessoaSDK05DI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort(m_blGroup11 ? "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"
                                     : "cgi-bin/get_event_status.cgi",
                         path, port);
}
bool MessoaSDK05DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::MessoaSDK05DI(Held(m_DICnt, m_blGroup11), port, buf, len, value);
}

namespace {
std::string MessoaA02Path(int diCnt) {
    std::string path = "/operator/get_param.cgi?surveillance.eventdido.di_current_state";
    for (int n = 2; n <= diCnt; ++n) path += "&surveillance.eventdido.di_current_state_" + itos(n);
    return path;
}
}  // namespace

MessoaA02DI::MessoaA02DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int MessoaA02DI::GetPathPort(std::string& path, int& port) {
    path = MessoaA02Path(m_DICnt);
    port = CamHttpPort();
    return 0;
}
bool MessoaA02DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::MessoaA02DI(Held(m_DICnt), port, buf, len, value);
}

Messoa03DI::Messoa03DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    LinkShareDet(DET_TYPE_DI);
}
int Messoa03DI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", path, port);
}
bool Messoa03DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::Messoa03DI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Compro

ComproDI::ComproDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int ComproDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/param2.cgi?Action=List&Group=IO", path, port);
}
bool ComproDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ComproDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Hunt

HuntDI::HuntDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int HuntDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("GetGPIO.cgi", path, port); }
bool HuntDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::HuntDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Brickcom

BrickcomDI::BrickcomDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 500;
    m_DetType = DET_TYPE_DI;
}
int BrickcomDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/gpio.cgi?action=get", path, port);
}
bool BrickcomDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::BrickcomDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Storage Options

StorageDI::StorageDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int StorageDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool StorageDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::StorageDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Zavio

ZavioDI::ZavioDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_1_1) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
// One request per input, on a fresh connection each time.
int ZavioDI::DetMain() {
    return PollEachInput(m_Timeout, false, m_HttpVersion,
                         [](int port) { return "cgi-bin/admin/input?check=" + N(port); });
}
int ZavioDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/admin/input?check=1", path, port);
}
bool ZavioDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ZavioDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Canon

CanonDI::CanonDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int CanonDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("/-wvhttp-01-/info.cgi", path, port); }
bool CanonDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::CanonDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Foscam

FoscamDI::FoscamDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1500;
    m_DetType = DET_TYPE_DI;
}
int FoscamDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("get_status.cgi", path, port); }
bool FoscamDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::FoscamDI(Held(m_DICnt), port, buf, len, value);
}

FoscamV2DI::FoscamV2DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1500;
    m_DetType = DET_TYPE_DI;
}
// The camera takes its login in the query, unescaped.
int FoscamV2DI::GetPathPort(std::string& path, int& port) {
    path = "cgi-bin/CGIProxy.fcgi?usr=" + CamUser() + "&pwd=" + CamPassword() + "&cmd=getDevState";
    port = CamHttpPort();
    return 0;
}
bool FoscamV2DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::FoscamV2DI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Basler

BaslerMp4DI::BaslerMp4DI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_DetType = DET_TYPE_DI;
}
int BaslerMp4DI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort(
        "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=1&Action_1=IO.State.GetValue",
        path, port);
}
bool BaslerMp4DI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::BaslerMp4DI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Itx

ItxDI::ItxDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int ItxDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/cgi-bin/action.fcgi?api=get_setup.event.status", path, port);
}
bool ItxDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ItxDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Imege

ImegeDI::ImegeDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int ImegeDI::GetPathPort(std::string& path, int& port) {
    path = MessoaA02Path(m_DICnt);
    port = CamHttpPort();
    return 0;
}
bool ImegeDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ImegeDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- StarDot

StarDotDI::StarDotDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    m_DetType = DET_TYPE_DI;
}
int StarDotDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("/io.cgi", path, port); }
bool StarDotDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::StarDotDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Bosch

BoschDI::BoschDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_DetType = DET_TYPE_DI;
}
int BoschDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/rcp.xml?command=0x01c0&type=F_FLAG&direction=READ&num=1", path, port);
}
bool BoschDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::BoschDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Beward

BewardDI::BewardDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
// The camera takes its login in the query, unescaped.
int BewardDI::GetPathPort(std::string& path, int& port) {
    path = "/cgi-bin/alarmstate_cgi?action=get&user=" + CamUser() + "&pwd=" + CamPassword();
    port = CamHttpPort();
    return 0;
}
bool BewardDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::BewardDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Siemens

SiemensDI::SiemensDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 1, CGI_QUERY_SOCKET, HTTP_VER_DEF) {
    m_PollIntervalMs = 0;
    LinkShareDet(DET_TYPE_DI);
}
int SiemensDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/GetAlarmState.cgi", path, port);
}
bool SiemensDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::SiemensDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Shany

ShanyDI::ShanyDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int ShanyDI::GetPathPort(std::string& path, int& port) { return FixedPathPort("/vb.htm?getalarmstatus", path, port); }
bool ShanyDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::ShanyDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Nexcom

NexcomDI::NexcomDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int NexcomDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("cgi-bin/get_eventaction.cgi?alarmstatus", path, port);
}
bool NexcomDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::NexcomDI(Held(m_DICnt), port, buf, len, value);
}

// ---------------------------------------------------------------- Truen

TruenDI::TruenDI(DET_BASE_ATTR attr) : CgiQueryDetector(attr, 10, CGI_QUERY_HTTP, HTTP_VER_DEF) {
    m_PollIntervalMs = 1000;
    LinkShareDet(DET_TYPE_DI);
}
int TruenDI::GetPathPort(std::string& path, int& port) {
    return FixedPathPort("/httpapi/GetState?action=getinput&GIS_MOTION1=0&GIS_MOTION2=0&GIS_MOTION3=0&GIS_MOTION4=0"
                         "&GIS_SENSOR1=0&GIS_SENSOR2=0&GIS_SENSOR3=0&GIS_SENSOR4=0",
                         path, port);
}
bool TruenDI::IsTrig(int port, char* buf, unsigned int len, int& value) {
    return cgirule::TruenDI(Held(m_DICnt), port, buf, len, value);
}
