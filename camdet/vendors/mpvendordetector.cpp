#include "camdet/vendors/mpvendordetector.h"

#include <string.h>

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

namespace {

const MP_CLASS_DEF kMpClasses[] = {
    // Motion-level lines "group=0;level=12;threshold=20;" from the path the camera API names.
    {"AxisMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0, &mprule::AxisMD, 0},
    // ---- fixed path, the mediator's HTTP port
    {"LevelOneGr4TD", DET_TYPE_TD, false, MP_PATH_HTTP_PORT, "/cgi-bin/admin/eventdata.cgi?action=monitor&group=T0", 10,
     HTTP_VER_DEF, 0, &mprule::LevelOneGr4TD, 0},
    // Server push of snapshots; the trigger rides in the part's Pragma header.
    {"IQeyeV1MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "now.jpg?snap=spush&pragma=motion", 10, HTTP_VER_DEF, 2,
     &mprule::IQeyeV1MD, 0},
    {"IQeyeV2MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "now.motiondata", 10, HTTP_VER_DEF, 0,
     &mprule::IQeyeV2MD, 0},
    {"IQeyeDI", DET_TYPE_DI, false, MP_PATH_HTTP_PORT, "now.jpg?snap=spush&pragma=trigger&noimage", 10, HTTP_VER_DEF,
     2, &mprule::IQeyeDI, 0},
    {"SonyMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/command/alarmdata.cgi?interval=1", 10, HTTP_VER_DEF, 0,
     &mprule::SonyMD, 0},
    {"SonyDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/command/alarmdata.cgi?interval=1", 10, HTTP_VER_DEF, 0,
     &mprule::SonyDI, 0},
    {"PsiaMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/PSIA/Custom/Event/notification/alertStream", 10, HTTP_VER_DEF,
     0, &mprule::PsiaMD, 0},
    {"PsiaDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/PSIA/Custom/Event/notification/alertStream", 10, HTTP_VER_DEF,
     0, &mprule::PsiaDI, 0},
    {"MessoaA02MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/operator/get_md.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::MessoaA02MD, 0},
    {"ImegeMD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/operator/get_md.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::ImegeMD, 0},
    // "motion:H" / "motion:L" (high / low); the value may carry more text.
    {"SamsungMD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=motion&action=monitor", 10,
     HTTP_VER_DEF, 0, &mprule::SamsungMD, 0},
    {"SamsungAD", DET_TYPE_AD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=audio&action=monitor", 10,
     HTTP_VER_DEF, 0, &mprule::SamsungAD, 0},
    {"SamsungTD", DET_TYPE_TD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=tampering&action=monitor", 10,
     HTTP_VER_DEF, 0, &mprule::SamsungTD, 0},
    {"SamsungDI", DET_TYPE_DI, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=input&action=monitor", 10,
     HTTP_VER_DEF, 0, &mprule::SamsungDI, 0},
    {"HitronMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1", 10, HTTP_VER_DEF, 0,
     &mprule::HitronMD, 0},
    {"HitronDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1", 10, HTTP_VER_DEF, 0,
     &mprule::HitronDI, 0},
    {"EneoMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     &mprule::EneoMD, 0},
    {"EneoDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     &mprule::EneoDI, 0},
    {"EneoTD", DET_TYPE_TD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     &mprule::EneoTD, 0},
    // ---- fixed path, CameraAPI::GetDetPort
    // Motion reports level 99, not 100.
    {"AlinkingMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, &mprule::AlinkingMD, 0},
    // The level is left as the previous port's test wrote it.
    {"AlinkingDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, &mprule::AlinkingDI, 0},
    {"AlinkingTD", DET_TYPE_TD, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, &mprule::AlinkingTD, 0},
    // Binary motion frames: the first byte is the motion flag.
    {"DLinkV9V2MD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "mdjpeg.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::DLinkV9V2MD, 0},
    {"DLinkV9V2DI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "iocontrol.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::DLinkV9V2DI, 0},
    // Lilin ends its lines with CR LF.
    {"LilinMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     &mprule::LilinMD, 0},
    {"LilinDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     &mprule::LilinDI, 0},
    {"AcumenMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     &mprule::AcumenMD, 0},
    {"AcumenDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     &mprule::AcumenDI, 0},
    {"OncamGrandeyeMD", DET_TYPE_MD, false, MP_PATH_DET_PORT, "io/motiondata.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::OncamGrandeyeMD, 0},
    // Inputs are active low: "state0:L" is an alarm.
    {"OncamGrandeyeDI", DET_TYPE_DI, false, MP_PATH_DET_PORT, "io/input.cgi", 10, HTTP_VER_DEF, 0,
     &mprule::OncamGrandeyeDI, 0},
    // ---- path and port from the CameraAPI
    {"AirliveMD", DET_TYPE_MD, false, MP_PATH_CAM_API_ONLY, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::AirliveMD,
     0},
    // The motion flag is a header of each pushed frame.
    {"EdimaxMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 1,
     &mprule::EdimaxMD, 0},
    // Binary frame header: three window levels at bytes 24..26.
    {"EdimaxVPMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::EdimaxVPMD,
     MP_IN_PARAMS},
    // Sends its state only on change: the last "md1" seen holds.
    {"EtrovisionMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::EtrovisionMD,
     0},
    {"EtrovisionDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::EtrovisionDI,
     0},
    // "level=NN;" against the recorder's sensitivity (parameter key 3).
    {"PixordMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 60, HTTP_VER_DEF, 0,
     &mprule::PixordMD,
     MP_IN_PARAMS},
    {"PanaMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     &mprule::PanaMD,
     MP_IN_CHANNEL},
    {"PanaDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     &mprule::PanaDI,
     MP_IN_ALARM2DO},
    {"PanaProMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     &mprule::PanaProMD,
     MP_IN_CHANNEL},
    // Inputs are active low: "L" sets, "H" clears.
    {"PanaProDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     &mprule::PanaProDI,
     MP_IN_ALARM2DO},
    // Binary frame header: motion level at byte 24, 0..255 (0..100 on 5 MP models).
    {"IpuxMD", DET_TYPE_MD, true, MP_PATH_CAM_API_IPUX, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::IpuxMD,
     MP_IN_PARAMS},
    {"IpuxDI", DET_TYPE_DI, true, MP_PATH_CAM_API_IPUX, nullptr, 10, HTTP_VER_DEF, 0,
     &mprule::IpuxDI, 0},
    // VGA models report levels 0..1000.
    {"ZavioMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_1_1, 0,
     &mprule::ZavioMD, 0},
};

}  // namespace

const MP_CLASS_DEF* GetMpClassTable(int& rows) {
    rows = (int)(sizeof(kMpClasses) / sizeof(kMpClasses[0]));
    return kMpClasses;
}

const MP_CLASS_DEF* FindMpClass(const char* cls) {
    for (const MP_CLASS_DEF& d : kMpClasses) {
        if (cls && strcmp(d.cls, cls) == 0) return &d;
    }
    return nullptr;
}

// ---------------------------------------------------------------- detector

namespace {
// An unknown name is a programming error; this quiet row keeps it harmless.
bool Quiet(MP_RULE_STATE&, int, const char*, unsigned int, int& level) {
    level = 0;
    return false;
}
const MP_CLASS_DEF kUnknown = {"", 0, false, MP_PATH_HTTP_PORT, "", 10, HTTP_VER_DEF, 0, &Quiet, 0};
const MP_CLASS_DEF& Row(const char* cls) {
    const MP_CLASS_DEF* d = FindMpClass(cls);
    return d ? *d : kUnknown;
}
}  // namespace

MpVendorDetector::MpVendorDetector(DET_BASE_ATTR attr, const char* cls, bool flag)
    : MultipartDetector(attr, Row(cls).timeoutSec, Row(cls).version), m_Def(&Row(cls)) {
    m_BodyMode = m_Def->bodyMode;
    if (m_Def->shared) {
        LinkShareDet(m_Def->kind);
    } else {
        // Not sharing, but the transport still needs the kind to report per port.
        m_DetType = m_Def->kind;
    }
    m_State.flag = flag;
    m_State.heldPorts.assign(m_DICnt > 0 ? m_DICnt : 0, false);
    if (m_Attr.pCamCap) m_State.api = m_Attr.pCamCap->GetAPI();
}

int MpVendorDetector::GetPathPort(std::string& path, int& port) {
    CameraAPI* api = m_Attr.pCamApi;
    switch (m_Def->src) {
    case MP_PATH_HTTP_PORT:
        path = m_Def->path;
        port = m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT);
        return 0;
    case MP_PATH_DET_PORT:
        path = m_Def->path;
        port = api ? api->GetDetPort() : 0;
        return 0;
    case MP_PATH_CAM_API:
    case MP_PATH_CAM_API_IPUX:
        if (!api) return -1;
        api->SetStreamInfo(m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_FORMAT),
                           m_Def->src == MP_PATH_CAM_API_IPUX
                               ? 2
                               : m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_PROTOCOL));
        return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
    case MP_PATH_CAM_API_ONLY:
        if (!api) return -1;
        return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
    }
    return -1;
}

void MpVendorDetector::RefreshInputs() {
    if (m_Def->inputs & MP_IN_PARAMS) {
        pthread_mutex_lock(&m_Mutex);
        m_State.mdParam1 = m_MDParam[1];
        m_State.mdParam3 = m_MDParam[3];
        pthread_mutex_unlock(&m_Mutex);
    }
    if (m_Def->inputs & MP_IN_CHANNEL) m_State.channel = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_CHANNEL);
    if (m_Def->inputs & MP_IN_ALARM2DO) m_State.flag = m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("ALARM2_DO");
}

bool MpVendorDetector::IsTrig(char* buf, unsigned int size, int& level) {
    RefreshInputs();
    return m_Def->rule(m_State, -1, buf, size, level);
}

bool MpVendorDetector::IsTrig(int port, char* buf, unsigned int size, int& level) {
    RefreshInputs();
    return m_Def->rule(m_State, port, buf, size, level);
}
