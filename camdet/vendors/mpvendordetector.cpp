#include "camdet/vendors/mpvendordetector.h"

#include <limits.h>
#include <string.h>

#include "camdet/rules/mprules.h"
#include "camdet/rules/trigrules.h"

namespace {

using trig::KeyContains;
using trig::KeyEquals;
using trig::Report;

#define RULE                                                                                           \
    []([[maybe_unused]] MP_RULE_STATE & st, [[maybe_unused]] int port, [[maybe_unused]] const char* b, \
       [[maybe_unused]] unsigned int n, [[maybe_unused]] int& lv) -> bool

std::string PortKey(const char* prefix, int port) { return prefix + std::to_string(port + 1); }

int Bump(int& c) {
    int v = c;
    if (c < INT_MAX) ++c;
    return v;
}

bool PortHeld(MP_RULE_STATE& st, int port, bool present, bool on, int& lv) {
    if (port < 0 || (size_t)port >= st.heldPorts.size()) return Report(false, 1, lv);
    if (present) st.heldPorts[port] = on;
    return Report(st.heldPorts[port], 1, lv);
}

// Sets or clears a held flag from a key's value: "on" sets, any other value
// clears, an absent key keeps.
bool HeldKey(const char* b, unsigned int n, const std::string& key, bool& on) {
    std::string v;
    if (!trig::KeyValue(b, n, key, "=", "\n", v)) return false;
    on = v == "on";
    return true;
}

// PSIA alert streams count parts like the older HikVision level test.
bool PsiaMotion(MP_RULE_STATE& st, const char* b, unsigned int n, int& lv) {
    if (Bump(st.alert.counter) <= 2) {
        lv = st.alert.level;
        return st.alert.trig;
    }
    lv = 0;
    const HIK_ALERT a = HikParseAlert(b, n);
    if (!a.blType || a.type != "VMD") return false;
    st.alert.trig = a.blState && a.state == "active";
    st.alert.level = st.alert.trig ? 100 : 0;
    st.alert.counter = 0;
    lv = st.alert.level;
    return st.alert.trig;
}

// One counter for all ports; every port's test advances it. While the held
// flag is reported the level is left as the previous test wrote it.
bool PsiaInputTest(MP_RULE_STATE& st, const char* b, unsigned int n, int& lv) {
    if (Bump(st.alert.counter) <= 2) return st.alert.trig;
    lv = 0;
    const HIK_ALERT a = HikParseAlert(b, n);
    if (!a.blType || a.type != "IO") return false;
    st.alert.trig = a.blState && a.state == "active";
    st.alert.counter = 0;
    return Report(st.alert.trig, 1, lv);
}

int PanaTerminal(const MP_RULE_STATE& st, int port) { return port + ((port > 0 && st.flag) ? 2 : 1); }

const MP_CLASS_DEF kMpClasses[] = {
    // ---- fixed path, the mediator's HTTP port
    {"LevelOneGr4TD", DET_TYPE_TD, false, MP_PATH_HTTP_PORT, "/cgi-bin/admin/eventdata.cgi?action=monitor&group=T0", 10,
     HTTP_VER_DEF, 0, RULE { return Report(trig::Substring(b, n, "Triggered=1"), 100, lv); }, 0},
    // Server push of snapshots; the trigger rides in the part's Pragma header.
    {"IQeyeV1MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "now.jpg?snap=spush&pragma=motion", 10, HTTP_VER_DEF, 2,
     RULE { return Report(KeyContains(b, n, "Pragma: trigger", "=", "\n", {"motion"}), 100, lv); }, 0},
    {"IQeyeV2MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "now.motiondata", 10, HTTP_VER_DEF, 0,
     RULE { return mprule::LevelLines(b, n, "window=%d;level=%d;threshold=%d", lv); }, 0},
    {"IQeyeDI", DET_TYPE_DI, false, MP_PATH_HTTP_PORT, "now.jpg?snap=spush&pragma=trigger&noimage", 10, HTTP_VER_DEF,
     2, RULE { return Report(KeyContains(b, n, "Pragma: trigger", "=", "\n", {"input"}), 1, lv); }, 0},
    {"SonyMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/command/alarmdata.cgi?interval=1", 10, HTTP_VER_DEF, 0,
     RULE { return mprule::WindowLines(b, n, lv); }, 0},
    {"SonyDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/command/alarmdata.cgi?interval=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, PortKey("Sensor", port), "=", "\n", {"1"}), 1, lv); }, 0},
    {"PsiaMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/PSIA/Custom/Event/notification/alertStream", 10, HTTP_VER_DEF,
     0, RULE { return PsiaMotion(st, b, n, lv); }, 0},
    {"PsiaDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/PSIA/Custom/Event/notification/alertStream", 10, HTTP_VER_DEF,
     0, RULE { return PsiaInputTest(st, b, n, lv); }, 0},
    {"MessoaA02MD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/operator/get_md.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return mprule::ObjectSizeLines(b, n, lv); }, 0},
    {"ImegeMD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/operator/get_md.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return mprule::ObjectSizeLines(b, n, lv); }, 0},
    // "motion:H" / "motion:L" (high / low); the value may carry more text.
    {"SamsungMD", DET_TYPE_MD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=motion&action=monitor", 10,
     HTTP_VER_DEF, 0, RULE { return Report(KeyContains(b, n, "motion", ":", "\n", {"H"}), 100, lv); }, 0},
    {"SamsungAD", DET_TYPE_AD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=audio&action=monitor", 10,
     HTTP_VER_DEF, 0, RULE { return Report(KeyContains(b, n, "audio", ":", "\n", {"H"}), 100, lv); }, 0},
    {"SamsungTD", DET_TYPE_TD, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=tampering&action=monitor", 10,
     HTTP_VER_DEF, 0, RULE { return Report(KeyContains(b, n, "tampering", ":", "\n", {"H"}), 100, lv); }, 0},
    {"SamsungDI", DET_TYPE_DI, false, MP_PATH_HTTP_PORT, "/cgi-bin/control.cgi?msubmenu=input&action=monitor", 10,
     HTTP_VER_DEF, 0, RULE { return Report(KeyEquals(b, n, PortKey("IO0", port), ":", "\n", {"H"}), 1, lv); }, 0},
    {"HitronMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "motion", "=", "\n", {"1"}), 100, lv); }, 0},
    {"HitronDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "alarm", "=", "\n", {"1"}), 100, lv); }, 0},
    {"EneoMD", DET_TYPE_MD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "motion", "=", "\n", {"1"}), 100, lv); }, 0},
    {"EneoDI", DET_TYPE_DI, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "alarm", "=", "\n", {"1"}), 100, lv); }, 0},
    {"EneoTD", DET_TYPE_TD, true, MP_PATH_HTTP_PORT, "/stream/event_stream.php?ch=1&strm=1", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "tampering", "=", "\n", {"1"}), 100, lv); }, 0},

    // ---- fixed path, CameraAPI::GetDetPort
    // Motion reports level 99, not 100.
    {"AlinkingMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, RULE { return Report(mprule::StatusLine(b, n, "Motion.M0.Status=\"%d\";"), 99, lv); }, 0},
    // The level is left as the previous port's test wrote it.
    {"AlinkingDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, RULE { return mprule::StatusLine(b, n, "Input.I0.Status=\"%d\";"); }, 0},
    {"AlinkingTD", DET_TYPE_TD, true, MP_PATH_DET_PORT, "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status",
     10, HTTP_VER_DEF, 0, RULE { return Report(mprule::StatusLine(b, n, "Blind.B0.Status=\"%d\";"), 100, lv); }, 0},
    // Binary motion frames: the first byte is the motion flag.
    {"DLinkV9V2MD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "mdjpeg.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return Report(b && n > 0 && b[0] != 0, 100, lv); }, 0},
    {"DLinkV9V2DI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "iocontrol.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return Report(trig::Substring(b, n, PortKey("Trigger", port) + "=1"), 1, lv); }, 0},
    // Lilin ends its lines with CRLF; only a CR-LF pair ends the value.
    {"LilinMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "MotionDetect", "=", "\r\n", {"1"}), 100, lv); }, 0},
    {"LilinDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "AlarmInputDetect", "=", "\r\n", {"1"}), 1, lv); }, 0},
    {"AcumenMD", DET_TYPE_MD, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "MotionDetect", "=", "\n", {"1"}), 100, lv); }, 0},
    {"AcumenDI", DET_TYPE_DI, true, MP_PATH_DET_PORT, "getalarmmotion", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "AlarmInputDetect", "=", "\n", {"1"}), 1, lv); }, 0},
    {"OncamGrandeyeMD", DET_TYPE_MD, false, MP_PATH_DET_PORT, "io/motiondata.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "alarm", "=", "\n", {"1"}), 100, lv); }, 0},
    // Inputs are active low: "state0:L" is an alarm.
    {"OncamGrandeyeDI", DET_TYPE_DI, false, MP_PATH_DET_PORT, "io/input.cgi", 10, HTTP_VER_DEF, 0,
     RULE { return Report(KeyEquals(b, n, "state0", ":", "\n", {"L"}), 100, lv); }, 0},

    // ---- path and port from the CameraAPI
    {"AirliveMD", DET_TYPE_MD, false, MP_PATH_CAM_API_ONLY, nullptr, 10, HTTP_VER_DEF, 0,
     RULE {
         if (st.flag) return mprule::DynamicEventId(b, n, st.lastId, lv);
         return mprule::LevelLines(b, n, "group=%d;level=%d;threshold=%d;", lv);
     },
     0},
    // The motion flag is a header of each pushed frame.
    {"EdimaxMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 1,
     RULE { return Report(KeyEquals(b, n, "motion-event", ":", "\n", {"1"}), 100, lv); }, 0},
    // Binary frame header: three window levels at bytes 24..26.
    {"EdimaxVPMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     RULE {
         lv = 0;
         int a = 0, c = 0, d = 0;
         if (n < 27 || !mprule::SignedByte(b, n, 24, a) || !mprule::SignedByte(b, n, 25, c) ||
             !mprule::SignedByte(b, n, 26, d))
             return false;
         lv = std::max(a, std::max(c, d));
         return lv > st.mdParam3;
     },
     MP_IN_PARAMS},
    // Sends its state only on change: the last "md1" seen holds.
    {"EtrovisionMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     RULE {
         HeldKey(b, n, "md1", st.held);
         return Report(st.held, 100, lv);
     },
     0},
    {"EtrovisionDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_DEF, 0,
     RULE {
         bool on = false;
         bool present = HeldKey(b, n, PortKey("input", port), on);
         return PortHeld(st, port, present, on, lv);
     },
     0},
    // "level=NN;" against the recorder's sensitivity (parameter key 3).
    {"PixordMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 60, HTTP_VER_DEF, 0,
     RULE {
         std::string v;
         lv = 0;
         if (!trig::KeyValue(b, n, "level", "=", ";", v)) return false;
         lv = trig::DecimalOr(v, 0);
         return lv > st.mdParam1;
     },
     MP_IN_PARAMS},
    {"PanaMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     RULE {
         bool anyT = false;
         mprule::PanaMotionChar(b, n, st.channel, anyT);
         return Report(anyT, 100, lv);
     },
     MP_IN_CHANNEL},
    {"PanaDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     RULE {
         bool anyL = false;
         mprule::PanaTerminalChar(b, n, PanaTerminal(st, port), anyL);
         return Report(anyL, 1, lv);
     },
     MP_IN_ALARM2DO},
    {"PanaProMD", DET_TYPE_MD, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     RULE {
         bool anyT = false;
         char c = mprule::PanaMotionChar(b, n, st.channel, anyT);
         if (c == 'T') st.held = true;
         else if (c == 'F') st.held = false;
         return Report(st.held, 100, lv);
     },
     MP_IN_CHANNEL},
    // Inputs are active low: "L" sets, "H" clears.
    {"PanaProDI", DET_TYPE_DI, true, MP_PATH_CAM_API, nullptr, 20, HTTP_VER_DEF, 0,
     RULE {
         bool anyL = false;
         char c = mprule::PanaTerminalChar(b, n, PanaTerminal(st, port), anyL);
         return PortHeld(st, port, c == 'L' || c == 'H', c == 'L', lv);
     },
     MP_IN_ALARM2DO},
    // Binary frame header: motion level at byte 24, 0..255 (0..100 on 5 MP models).
    {"IpuxMD", DET_TYPE_MD, true, MP_PATH_CAM_API_IPUX, nullptr, 10, HTTP_VER_DEF, 0,
     RULE {
         int v = 0;
         lv = 0;
         if (n < 25 || !mprule::SignedByte(b, n, 24, v)) return false;
         lv = mprule::IpuxLevel(v, st.api == "ipux5m" ? 100 : 255);
         return lv > st.mdParam1;
     },
     MP_IN_PARAMS},
    {"IpuxDI", DET_TYPE_DI, true, MP_PATH_CAM_API_IPUX, nullptr, 10, HTTP_VER_DEF, 0,
     RULE { return Report(n >= 28 && trig::ByteBits(b, n, 27, 0x07), 1, lv); }, 0},
    // VGA models report levels 0..1000.
    {"ZavioMD", DET_TYPE_MD, false, MP_PATH_CAM_API, nullptr, 10, HTTP_VER_1_1, 0,
     RULE { return mprule::GroupLevelLines(b, n, st.api == "zaviovga", lv); }, 0},
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
const MP_CLASS_DEF kUnknown = {"", 0, false, MP_PATH_HTTP_PORT, "", 10, HTTP_VER_DEF, 0,
                               RULE { return Report(false, 0, lv); }, 0};
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
