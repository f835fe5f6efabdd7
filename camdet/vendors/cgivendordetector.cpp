// The polled camera families, one row per class.
//
// Wire format: one GET per poll interval (Airlive, JVC and Zavio: one per
// input), answered with plain text, mostly "key=value" items ending at a line
// end or ";", XML for Foscam V2 and Bosch, a JSON array for Raylios, binary
// status bytes for Sanyo, and a raw HTTP answer for Siemens, which is asked on
// a bare socket. The motion and input classes of one camera often ask the same
// CGI; where the row says shared, one poll serves both.
#include "camdet/vendors/cgivendordetector.h"

#include <string.h>

#include "camdet/rules/trigrules.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI,
              "rule kinds are the detection kinds");
static_assert(kCgiAnswerBufSize == CgiQueryDetector::kRespBufSize, "the rules see the loop's answer buffer");

// The computed request paths.
struct CgiPaths {
    // A multi-lens camera is asked for one lens: "get3?mdresult"; a
    // single-lens one plain "get?mdresult".
    static std::string ArecontChannel(const CgiVendorDetector& d) {
        CameraCap* cap = d.m_Attr.pCamCap;
        if (!cap || !d.m_Attr.pCamApi || !cap->IsApiSpecified("MULTILENS")) return std::string();
        return trig::ArecontChannel(d.m_Attr.pCamApi->GetChannelStr(), cap->IsApiSpecified("ORIGIN_CHANNEL_NO"));
    }
    static std::string ArecontMotion(const CgiVendorDetector& d) { return "get" + ArecontChannel(d) + "?mdresult"; }
    static std::string ArecontInput(const CgiVendorDetector& d) { return "get" + ArecontChannel(d) + "?auxin"; }

    static std::string MessoaSDK05(const CgiVendorDetector& d) {
        return d.m_blGroup11 ? "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"
                             : "cgi-bin/get_event_status.cgi";
    }

    // One key per input: "di_current_state", then "di_current_state_2", ...
    static std::string MessoaA02(const CgiVendorDetector& d) {
        std::string path = "/operator/get_param.cgi?surveillance.eventdido.di_current_state";
        for (int n = 2; n <= d.m_DICnt; ++n) path += "&surveillance.eventdido.di_current_state_" + std::to_string(n);
        return path;
    }

    // Credentials go into the query unescaped: the camera reads them there.
    static std::string FoscamV2(const CgiVendorDetector& d) {
        return "cgi-bin/CGIProxy.fcgi?usr=" + d.CamUser() + "&pwd=" + d.CamPassword() + "&cmd=getDevState";
    }
    static std::string Beward(const CgiVendorDetector& d) {
        return "/cgi-bin/alarmstate_cgi?action=get&user=" + d.CamUser() + "&pwd=" + d.CamPassword();
    }

    // The per-input loops: inputs numbered from 1 on the camera.
    static std::string AxisInput(int port) { return "axis-cgi/io/input.cgi?checkactive=" + std::to_string(port + 1); }
    static std::string Vivotek2Input(int port) { return "cgi-bin/getdi.cgi?di" + std::to_string(port + 1); }
    static std::string AirliveInput(int port) { return "io/input.cgi?checkactive=" + std::to_string(port + 1); }
    static std::string JvcInput(int port) {
        return "/api/param?peripheral.input_pin.pin(" + std::to_string(port + 1) + ").status";
    }
    static std::string ZavioInput(int port) { return "cgi-bin/admin/input?check=" + std::to_string(port + 1); }
};

namespace {

const char* const kTruenPath =
    "/httpapi/GetState?action=getinput&GIS_MOTION1=0&GIS_MOTION2=0&GIS_MOTION3=0&GIS_MOTION4=0"
    "&GIS_SENSOR1=0&GIS_SENSOR2=0&GIS_SENSOR3=0&GIS_SENSOR4=0";

// Columns: class, kind, path, path function, port source;
//          time-out, query type, HTTP version, poll interval (ms), shared poll, loop, per-input path, test.
const CGI_CLASS_DEF kCgiClasses[] = {
    // ---------------------------------------------------------------- motion
    {"YcamV2MD", DET_TYPE_MD, "/cgi-bin/param.cgi?action=list&group=motion_0.status", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::YcamV2MD},
    // Multi-lens cameras number their sensors from another corner.
    {"ArecontMD", DET_TYPE_MD, nullptr, &CgiPaths::ArecontMotion, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ArecontMD},
    // Binary status bytes: motion is bit value 2 of byte 34.
    {"SanyoMD", DET_TYPE_MD, "/liveimg.cgi?pol=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::SanyoMD},
    {"MessoaMD", DET_TYPE_MD, "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaMD},
    {"MessoaProMD", DET_TYPE_MD, "cgi-bin/admin/param.cgi?action=list&group=Alarm", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaProMD},
    // GROUP11 firmware has another CGI and answers JSON-like pairs.
    {"MessoaSDK05MD", DET_TYPE_MD, nullptr, &CgiPaths::MessoaSDK05, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaSDK05MD},
    {"Messoa03MD", DET_TYPE_MD, "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::Messoa03MD},
    // Region 0 is a real region; -1 means none moved.
    {"ComproMD", DET_TYPE_MD, "cgi-bin/view/list_param.cgi?Action=List&Group=MotionDetect", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ComproMD},
    {"HuntMD", DET_TYPE_MD, "GetMotionDetect.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::HuntMD},
    // The camera has four windows; the fourth is not watched.
    {"BrickcomMD", DET_TYPE_MD, "cgi-bin/motiondetection.cgi?action=getStatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::BrickcomMD},
    {"StorageMD", DET_TYPE_MD, "get_status.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::StorageMD},
    // Needs HTTP/1.1.
    {"ZavioV3MD", DET_TYPE_MD, "cgi-bin/admin/detection?mode=single&type=motion&group=0,1,2,3,4,5,6,7,8,9", nullptr,
     CGI_PORT_HTTP, 10, CGI_QUERY_HTTP, HTTP_VER_1_1, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::ZavioV3MD},
    {"CanonMD", DET_TYPE_MD, "/-wvhttp-01-/info.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::CanonMD},
    {"FoscamMD", DET_TYPE_MD, "get_status.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1500, false, CGI_LOOP_POLL, nullptr, &cgirule::FoscamMD},
    // Takes its login in the query.
    {"FoscamV2MD", DET_TYPE_MD, nullptr, &CgiPaths::FoscamV2, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1500, false, CGI_LOOP_POLL, nullptr, &cgirule::FoscamV2MD},
    // The I/O selector picks the motion output (0) before the state is read.
    {"BaslerMp4MD", DET_TYPE_MD,
     "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=0&Action_1=IO.State.GetValue",
     nullptr, CGI_PORT_HTTP, 10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr,
     &cgirule::BaslerMp4MD},
    {"ItxMD", DET_TYPE_MD, "/cgi-bin/action.fcgi?api=get_setup.event.status", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::ItxMD},
    {"RayliosMD", DET_TYPE_MD, "sray/motionDetectionStatus.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::RayliosMD},
    {"RayliosV2MD", DET_TYPE_MD, "sray/getMotionDetectionWindowStrength.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::RayliosV2MD},
    // Reports a motion amount, not a flag.
    {"HiSharpMD", DET_TYPE_MD, "/vb.htm?language=ie&getmotionvalue", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::HiSharpMD},
    {"BoschMD", DET_TYPE_MD, "/rcp.xml?command=0x01c3&type=F_FLAG&direction=READ&num=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::BoschMD},
    // Takes its login in the query.
    {"BewardMD", DET_TYPE_MD, nullptr, &CgiPaths::Beward, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::BewardMD},
    // Answers only a bare request on a raw socket, quickly: short time-out, no pause between polls.
    {"SiemensMD", DET_TYPE_MD, "cgi-bin/GetAlarmState.cgi", nullptr, CGI_PORT_HTTP,
     1, CGI_QUERY_SOCKET, HTTP_VER_DEF, 0, true, CGI_LOOP_POLL, nullptr, &cgirule::SiemensMD},
    {"ShanyMD", DET_TYPE_MD, "/vb.htm?getalarmstatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::ShanyMD},
    {"NexcomMD", DET_TYPE_MD, "cgi-bin/get_eventaction.cgi?alarmstatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::NexcomMD},
    // The camera spells it "statu".
    {"GrandStreamMD", DET_TYPE_MD, "goform/motiondetect?cmd=get_md_statu", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::GrandStreamMD},
    // One request reads the four motion windows and the four sensors.
    {"TruenMD", DET_TYPE_MD, kTruenPath, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::TruenMD},

    // ---------------------------------------------------------------- input
    // Answers for one input per request.
    {"AxisDI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_EACH_INPUT, &CgiPaths::AxisInput, &cgirule::AxisDI},
    // Answers for one input per request: "DI<n>=H" while in alarm.
    {"Vivotek2DI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_EACH_INPUT, &CgiPaths::Vivotek2Input,
     &cgirule::Vivotek2DI},
    // Answers for one input per request.
    {"AirliveDI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_EACH_INPUT, &CgiPaths::AirliveInput,
     &cgirule::AirliveDI},
    // The alarm value comes from the camera API (LevelOneGr5DI::GetDiTrigValue).
    {"LevelOneGr5DI", DET_TYPE_DI, "cgi-bin/config_dido.cgi?Act=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::LevelOneGr5DI},
    {"LevelOneGr1DI", DET_TYPE_DI, "io/query_io.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::LevelOneGr1DI},
    // Only input 1 is asked for; it stands for every input.
    {"LevelOneGr4DICgiQuery", DET_TYPE_DI, "cgi-bin/io/input.cgi?checkactive=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::LevelOneGr4DICgiQuery},
    {"YcamV2DI", DET_TYPE_DI, "/cgi-bin/param.cgi?action=list&group=gpio.input_0.status", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::YcamV2DI},
    // Answers for one input per request.
    {"JvcDI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_EACH_INPUT, &CgiPaths::JvcInput, &cgirule::JvcDI},
    // Inputs are active low.
    {"EdimaxVPDI", DET_TYPE_DI, "/cgi/admin/param.cgi?action=list&group=GPIO", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::EdimaxVPDI},
    // The CGI and its port differ per model; the camera API knows them.
    {"ActiDI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_CAM_API_DI,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ActiDI},
    {"ArecontDI", DET_TYPE_DI, nullptr, &CgiPaths::ArecontInput, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ArecontDI},
    // Binary status bytes: byte 33 holds one bit per input.
    {"SanyoDI", DET_TYPE_DI, "/liveimg.cgi?pol=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::SanyoDI},
    // Inputs are active low.
    {"PixordDI", DET_TYPE_DI, "/cgi-bin/admin/gpiostatus.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::PixordDI},
    {"MessoaDI", DET_TYPE_DI, "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaDI},
    {"MessoaProDI", DET_TYPE_DI, "cgi-bin/admin/param.cgi?action=list&group=Alarm", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaProDI},
    // GROUP11 firmware has another CGI and answers JSON-like pairs.
    {"MessoaSDK05DI", DET_TYPE_DI, nullptr, &CgiPaths::MessoaSDK05, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::MessoaSDK05DI},
    // One query key per input.
    {"MessoaA02DI", DET_TYPE_DI, nullptr, &CgiPaths::MessoaA02, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::MessoaA02DI},
    {"Messoa03DI", DET_TYPE_DI, "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, true, CGI_LOOP_POLL, nullptr, &cgirule::Messoa03DI},
    // An input port reads "Enable" while it is in alarm.
    {"ComproDI", DET_TYPE_DI, "cgi-bin/admin/param2.cgi?Action=List&Group=IO", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ComproDI},
    {"HuntDI", DET_TYPE_DI, "GetGPIO.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::HuntDI},
    // Inputs are active low.
    {"BrickcomDI", DET_TYPE_DI, "cgi-bin/gpio.cgi?action=get", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::BrickcomDI},
    {"StorageDI", DET_TYPE_DI, "get_status.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::StorageDI},
    // Answers for one input per request, on a new connection each time; needs HTTP/1.1.
    {"ZavioDI", DET_TYPE_DI, nullptr, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_1_1, 1000, false, CGI_LOOP_EACH_INPUT_NEW, &CgiPaths::ZavioInput,
     &cgirule::ZavioDI},
    {"CanonDI", DET_TYPE_DI, "/-wvhttp-01-/info.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::CanonDI},
    {"FoscamDI", DET_TYPE_DI, "get_status.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1500, false, CGI_LOOP_POLL, nullptr, &cgirule::FoscamDI},
    // Takes its login in the query.
    {"FoscamV2DI", DET_TYPE_DI, nullptr, &CgiPaths::FoscamV2, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1500, false, CGI_LOOP_POLL, nullptr, &cgirule::FoscamV2DI},
    // The I/O selector picks the input (1) before the state is read.
    {"BaslerMp4DI", DET_TYPE_DI,
     "/cgi-bin/param_if.cgi?NumActions=2&Action_0=IO.IOSelector.SetValue&Parameter_0_0=1&Action_1=IO.State.GetValue",
     nullptr, CGI_PORT_HTTP, 10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr,
     &cgirule::BaslerMp4DI},
    {"ItxDI", DET_TYPE_DI, "/cgi-bin/action.fcgi?api=get_setup.event.status", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::ItxDI},
    // The same firmware as Messoa A02.
    {"ImegeDI", DET_TYPE_DI, nullptr, &CgiPaths::MessoaA02, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::ImegeDI},
    // trigger1 reads 0 while the contact is closed.
    {"StarDotDI", DET_TYPE_DI, "/io.cgi", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, false, CGI_LOOP_POLL, nullptr, &cgirule::StarDotDI},
    {"BoschDI", DET_TYPE_DI, "/rcp.xml?command=0x01c0&type=F_FLAG&direction=READ&num=1", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false, CGI_LOOP_POLL, nullptr, &cgirule::BoschDI},
    // Takes its login in the query.
    {"BewardDI", DET_TYPE_DI, nullptr, &CgiPaths::Beward, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::BewardDI},
    // Answers only a bare request on a raw socket, quickly: short time-out, no pause between polls.
    {"SiemensDI", DET_TYPE_DI, "cgi-bin/GetAlarmState.cgi", nullptr, CGI_PORT_HTTP,
     1, CGI_QUERY_SOCKET, HTTP_VER_DEF, 0, true, CGI_LOOP_POLL, nullptr, &cgirule::SiemensDI},
    {"ShanyDI", DET_TYPE_DI, "/vb.htm?getalarmstatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::ShanyDI},
    {"NexcomDI", DET_TYPE_DI, "cgi-bin/get_eventaction.cgi?alarmstatus", nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::NexcomDI},
    {"TruenDI", DET_TYPE_DI, kTruenPath, nullptr, CGI_PORT_HTTP,
     10, CGI_QUERY_HTTP, HTTP_VER_DEF, 1000, true, CGI_LOOP_POLL, nullptr, &cgirule::TruenDI},
};

// Seconds the kept-alive per-input loops wait for each input's answer.
const int kEachInputTimeout = 30;

// An unknown name is a programming error; this quiet row keeps it harmless.
bool Quiet(const CgiRuleState&, int, const char*, unsigned int, int& value) {
    value = 0;
    return false;
}
const CGI_CLASS_DEF kUnknown = {"", 0, "", nullptr, CGI_PORT_HTTP, 10, CGI_QUERY_HTTP, HTTP_VER_DEF, 500, false,
                                CGI_LOOP_POLL, nullptr, &Quiet};

const CGI_CLASS_DEF& Row(const char* cls) {
    const CGI_CLASS_DEF* d = FindCgiClass(cls);
    return d ? *d : kUnknown;
}

}  // namespace

const CGI_CLASS_DEF* GetCgiClassTable(int& rows) {
    rows = (int)(sizeof(kCgiClasses) / sizeof(kCgiClasses[0]));
    return kCgiClasses;
}

const CGI_CLASS_DEF* FindCgiClass(const char* cls) {
    for (const CGI_CLASS_DEF& d : kCgiClasses) {
        if (cls && strcmp(d.cls, cls) == 0) return &d;
    }
    return nullptr;
}

// ---------------------------------------------------------------- detector

CgiVendorDetector::CgiVendorDetector(DET_BASE_ATTR attr, const char* cls, bool blGroup11)
    : CgiQueryDetector(attr, Row(cls).timeout, Row(cls).query, Row(cls).version),
      m_Def(&Row(cls)),
      m_blGroup11(blGroup11) {
    m_PollIntervalMs = m_Def->pollMs;
    if (m_Def->shared) {
        LinkShareDet(m_Def->kind);
    } else if (m_Def->kind == DET_TYPE_DI) {
        // Not sharing, but the transport reports an input detector per port.
        m_DetType = DET_TYPE_DI;
    }
}

int CgiVendorDetector::DetMain() {
    switch (m_Def->loop) {
    case CGI_LOOP_EACH_INPUT: return PollEachInput(kEachInputTimeout, true, HTTP_VER_DEF, m_Def->inputPath);
    case CGI_LOOP_EACH_INPUT_NEW: return PollEachInput(m_Timeout, false, m_HttpVersion, m_Def->inputPath);
    case CGI_LOOP_POLL: break;
    }
    return CgiQueryDetector::DetMain();
}

int CgiVendorDetector::GetPathPort(std::string& path, int& port) {
    if (m_Def->portSrc == CGI_PORT_CAM_API_DI) {
        if (m_Attr.pCamApi) m_Attr.pCamApi->GetDIPathPort(path, port);
        return 0;
    }
    if (m_Def->pathFn) {
        path = m_Def->pathFn(*this);
    } else if (m_Def->path) {
        path = m_Def->path;
    } else if (m_Def->inputPath) {
        path = m_Def->inputPath(0);
    }
    port = CamHttpPort();
    return 0;
}

CgiRuleState CgiVendorDetector::RuleState() const {
    CgiRuleState st;
    st.diCnt = m_DICnt;
    st.blGroup11 = m_blGroup11;
    st.diTrigValue = m_DiTrigValue;
    return st;
}

bool CgiVendorDetector::IsTrig(char* buf, unsigned int len, int& value) {
    if (m_Def->kind != DET_TYPE_MD) return CgiQueryDetector::IsTrig(buf, len, value);
    return m_Def->rule(RuleState(), 0, buf, len, value);
}

bool CgiVendorDetector::IsTrig(int port, char* buf, unsigned int len, int& value) {
    if (m_Def->kind != DET_TYPE_DI) return CgiQueryDetector::IsTrig(port, buf, len, value);
    return m_Def->rule(RuleState(), port, buf, len, value);
}

int LevelOneGr5DI::GetDiTrigValue() {
    int v = 0;
    if (!m_Attr.pCamApi || m_Attr.pCamApi->GetCamDiTrigValue(v) != 0) return -1;
    m_DiTrigValue = std::to_string(v);
    return 0;
}
