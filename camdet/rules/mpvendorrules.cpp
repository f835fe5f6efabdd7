// Class tests of the multipart camera families, over the rule families of
// mprules.cpp and the HikVision alert lookup, and their table by class name.
#include <limits.h>

#include <algorithm>

#include "camdet/rules/axisrules.h"
#include "camdet/rules/mprules.h"
#include "camdet/rules/trigrules.h"

using trig::KeyContains;
using trig::KeyEquals;
using trig::Report;

namespace {

std::string PortKey(const char* prefix, int port) { return prefix + std::to_string(port + 1); }

int Bump(int& c) {
    int v = c;
    if (c < INT_MAX) ++c;
    return v;
}

bool PortHeld(MP_RULE_STATE& st, int port, bool present, bool on, int& level) {
    if (port < 0 || (size_t)port >= st.heldPorts.size()) return Report(false, 1, level);
    if (present) st.heldPorts[port] = on;
    return Report(st.heldPorts[port], 1, level);
}

// Sets or clears a held flag from a key's value: "on" sets, any other value
// clears, an absent key keeps.
bool HeldKey(const char* buf, unsigned int size, const std::string& key, bool& on) {
    std::string v;
    if (!trig::KeyValue(buf, size, key, "=", "\n", v)) return false;
    on = v == "on";
    return true;
}

// PSIA alert streams count parts like the older HikVision level test.
bool PsiaMotion(MP_RULE_STATE& st, const char* buf, unsigned int size, int& level) {
    if (Bump(st.alert.counter) <= 2) {
        level = st.alert.level;
        return st.alert.trig;
    }
    level = 0;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (!a.blType || a.type != "VMD") return false;
    st.alert.trig = a.blState && a.state == "active";
    st.alert.level = st.alert.trig ? 100 : 0;
    st.alert.counter = 0;
    level = st.alert.level;
    return st.alert.trig;
}

// One counter for all ports; every port's test advances it. While the held
// flag is reported the level is left as the previous test wrote it.
bool PsiaInputTest(MP_RULE_STATE& st, const char* buf, unsigned int size, int& level) {
    if (Bump(st.alert.counter) <= 2) return st.alert.trig;
    level = 0;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (!a.blType || a.type != "IO") return false;
    st.alert.trig = a.blState && a.state == "active";
    st.alert.counter = 0;
    return Report(st.alert.trig, 1, level);
}

int PanaTerminal(const MP_RULE_STATE& st, int port) { return port + ((port > 0 && st.flag) ? 2 : 1); }

}  // namespace

namespace mprule {

bool AxisMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return axisrule::MotionLevelLines(buf, size, level);
}

bool LevelOneGr4TD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(trig::Substring(buf, size, "Triggered=1"), 100, level);
}

bool IQeyeV1MD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "Pragma: trigger", "=", "\n", {"motion"}), 100, level);
}

bool IQeyeV2MD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return LevelLines(buf, size, "window=%d;level=%d;threshold=%d", level);
}

bool IQeyeDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "Pragma: trigger", "=", "\n", {"input"}), 1, level);
}

bool SonyMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return WindowLines(buf, size, level);
}

bool SonyDI(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, PortKey("Sensor", port), "=", "\n", {"1"}), 1, level);
}

bool PsiaMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return PsiaMotion(st, buf, size, level);
}

bool PsiaDI(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return PsiaInputTest(st, buf, size, level);
}

bool MessoaA02MD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return ObjectSizeLines(buf, size, level);
}

bool ImegeMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return ObjectSizeLines(buf, size, level);
}

bool SamsungMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "motion", ":", "\n", {"H"}), 100, level);
}

bool SamsungAD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "audio", ":", "\n", {"H"}), 100, level);
}

bool SamsungTD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "tampering", ":", "\n", {"H"}), 100, level);
}

bool SamsungDI(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, PortKey("IO0", port), ":", "\n", {"H"}), 1, level);
}

bool HitronMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion", "=", "\n", {"1"}), 100, level);
}

bool HitronDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool EneoMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion", "=", "\n", {"1"}), 100, level);
}

bool EneoDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool EneoTD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "tampering", "=", "\n", {"1"}), 100, level);
}

bool AlinkingMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(StatusLine(buf, size, "Motion.M0.Status=\"%d\";"), 99, level);
}

bool AlinkingDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int&) {
    return StatusLine(buf, size, "Input.I0.Status=\"%d\";");
}

bool AlinkingTD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(StatusLine(buf, size, "Blind.B0.Status=\"%d\";"), 100, level);
}

bool DLinkV9V2MD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(buf && size > 0 && buf[0] != 0, 100, level);
}

bool DLinkV9V2DI(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(trig::Substring(buf, size, PortKey("Trigger", port) + "=1"), 1, level);
}

bool LilinMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "MotionDetect", "=", "\r\n", {"1"}), 100, level);
}

bool LilinDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "AlarmInputDetect", "=", "\r\n", {"1"}), 1, level);
}

bool AcumenMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "MotionDetect", "=", "\n", {"1"}), 100, level);
}

bool AcumenDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "AlarmInputDetect", "=", "\n", {"1"}), 1, level);
}

bool OncamGrandeyeMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool OncamGrandeyeDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "state0", ":", "\n", {"L"}), 100, level);
}

bool AirliveMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    if (st.flag) return DynamicEventId(buf, size, st.lastId, level);
    return LevelLines(buf, size, "group=%d;level=%d;threshold=%d;", level);
}

bool EdimaxMD(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion-event", ":", "\n", {"1"}), 100, level);
}

bool EdimaxVPMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    level = 0;
    int a = 0, c = 0, d = 0;
    if (size < 27 || !SignedByte(buf, size, 24, a) || !SignedByte(buf, size, 25, c) ||
        !SignedByte(buf, size, 26, d))
        return false;
    level = std::max(a, std::max(c, d));
    return level > st.mdParam3;
}

bool EtrovisionMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    HeldKey(buf, size, "md1", st.held);
    return Report(st.held, 100, level);
}

bool EtrovisionDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool on = false;
    bool present = HeldKey(buf, size, PortKey("input", port), on);
    return PortHeld(st, port, present, on, level);
}

bool PixordMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    std::string v;
    level = 0;
    if (!trig::KeyValue(buf, size, "level", "=", ";", v)) return false;
    level = trig::DecimalOr(v, 0);
    return level > st.mdParam1;
}

bool PanaMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    bool anyT = false;
    PanaMotionChar(buf, size, st.channel, anyT);
    return Report(anyT, 100, level);
}

bool PanaDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool anyL = false;
    PanaTerminalChar(buf, size, PanaTerminal(st, port), anyL);
    return Report(anyL, 1, level);
}

bool PanaProMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    bool anyT = false;
    char c = PanaMotionChar(buf, size, st.channel, anyT);
    if (c == 'T') st.held = true;
    else if (c == 'F') st.held = false;
    return Report(st.held, 100, level);
}

bool PanaProDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool anyL = false;
    char c = PanaTerminalChar(buf, size, PanaTerminal(st, port), anyL);
    return PortHeld(st, port, c == 'L' || c == 'H', c == 'L', level);
}

bool IpuxMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    int v = 0;
    level = 0;
    if (size < 25 || !SignedByte(buf, size, 24, v)) return false;
    level = IpuxLevel(v, st.api == "ipux5m" ? 100 : 255);
    return level > st.mdParam1;
}

bool IpuxDI(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(size >= 28 && trig::ByteBits(buf, size, 27, 0x07), 1, level);
}

bool ZavioMD(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return GroupLevelLines(buf, size, st.api == "zaviovga", level);
}

}  // namespace mprule

// ---------------------------------------------------------------- table

namespace {

#define MOTION(Cls) {#Cls, RULE_KIND_MD, &mprule::Cls}
#define INPUT(Cls) {#Cls, RULE_KIND_DI, &mprule::Cls}
#define TAMPER(Cls) {#Cls, RULE_KIND_TD, &mprule::Cls}
#define AUDIO(Cls) {#Cls, RULE_KIND_AD, &mprule::Cls}

const MpRuleEntry kMpRules[] = {
    MOTION(AxisMD),
    TAMPER(LevelOneGr4TD),
    MOTION(IQeyeV1MD),
    MOTION(IQeyeV2MD),
    INPUT(IQeyeDI),
    MOTION(SonyMD),
    INPUT(SonyDI),
    MOTION(PsiaMD),
    INPUT(PsiaDI),
    MOTION(MessoaA02MD),
    MOTION(ImegeMD),
    MOTION(SamsungMD),
    AUDIO(SamsungAD),
    TAMPER(SamsungTD),
    INPUT(SamsungDI),
    MOTION(HitronMD),
    INPUT(HitronDI),
    MOTION(EneoMD),
    INPUT(EneoDI),
    TAMPER(EneoTD),
    MOTION(AlinkingMD),
    INPUT(AlinkingDI),
    TAMPER(AlinkingTD),
    MOTION(DLinkV9V2MD),
    INPUT(DLinkV9V2DI),
    MOTION(LilinMD),
    INPUT(LilinDI),
    MOTION(AcumenMD),
    INPUT(AcumenDI),
    MOTION(OncamGrandeyeMD),
    INPUT(OncamGrandeyeDI),
    MOTION(AirliveMD),
    MOTION(EdimaxMD),
    MOTION(EdimaxVPMD),
    MOTION(EtrovisionMD),
    INPUT(EtrovisionDI),
    MOTION(PixordMD),
    MOTION(PanaMD),
    INPUT(PanaDI),
    MOTION(PanaProMD),
    INPUT(PanaProDI),
    MOTION(IpuxMD),
    INPUT(IpuxDI),
    MOTION(ZavioMD),
};

#undef MOTION
#undef INPUT
#undef TAMPER
#undef AUDIO

}  // namespace

const MpRuleEntry* GetMpRuleTable(int& rows) {
    rows = (int)(sizeof(kMpRules) / sizeof(kMpRules[0]));
    return kMpRules;
}

const MpRuleEntry* FindMpRule(const std::string& cls) {
    for (const MpRuleEntry& e : kMpRules) {
        if (cls == e.cls) return &e;
    }
    return nullptr;
}
