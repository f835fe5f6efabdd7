// The multipart cameras' tests, over the rule families of mprules.cpp and
// the HikVision alert tests, and their table by name.
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
bool PsiaMotionTest(MP_RULE_STATE& st, const char* buf, unsigned int size, int& level) {
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

bool AxisMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return axisrule::MotionLevelLines(buf, size, level);
}

bool LevelOneGr4Tamper(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(trig::Substring(buf, size, "Triggered=1"), 100, level);
}

bool IQeyeV1Motion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "Pragma: trigger", "=", "\n", {"motion"}), 100, level);
}

bool IQeyeV2Motion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return LevelLines(buf, size, "window=%d;level=%d;threshold=%d", level);
}

bool IQeyeInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "Pragma: trigger", "=", "\n", {"input"}), 1, level);
}

bool SonyMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return WindowLines(buf, size, level);
}

bool SonyInput(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, PortKey("Sensor", port), "=", "\n", {"1"}), 1, level);
}

bool PsiaMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return PsiaMotionTest(st, buf, size, level);
}

bool PsiaInput(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return PsiaInputTest(st, buf, size, level);
}

bool MessoaA02Motion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return ObjectSizeLines(buf, size, level);
}

bool ImegeMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return ObjectSizeLines(buf, size, level);
}

bool SamsungMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "motion", ":", "\n", {"H"}), 100, level);
}

bool SamsungAudio(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "audio", ":", "\n", {"H"}), 100, level);
}

bool SamsungTamper(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyContains(buf, size, "tampering", ":", "\n", {"H"}), 100, level);
}

bool SamsungInput(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, PortKey("IO0", port), ":", "\n", {"H"}), 1, level);
}

bool HitronMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion", "=", "\n", {"1"}), 100, level);
}

bool HitronInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool EneoMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion", "=", "\n", {"1"}), 100, level);
}

bool EneoInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool EneoTamper(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "tampering", "=", "\n", {"1"}), 100, level);
}

bool AlinkingMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(StatusLine(buf, size, "Motion.M0.Status=\"%d\";"), 99, level);
}

bool AlinkingInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int&) {
    return StatusLine(buf, size, "Input.I0.Status=\"%d\";");
}

bool AlinkingTamper(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(StatusLine(buf, size, "Blind.B0.Status=\"%d\";"), 100, level);
}

bool DLinkV9V2Motion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(buf && size > 0 && buf[0] != 0, 100, level);
}

bool DLinkV9V2Input(MP_RULE_STATE&, int port, const char* buf, unsigned int size, int& level) {
    return Report(trig::Substring(buf, size, PortKey("Trigger", port) + "=1"), 1, level);
}

bool LilinMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "MotionDetect", "=", "\r\n", {"1"}), 100, level);
}

bool LilinInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "AlarmInputDetect", "=", "\r\n", {"1"}), 1, level);
}

bool AcumenMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "MotionDetect", "=", "\n", {"1"}), 100, level);
}

bool AcumenInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "AlarmInputDetect", "=", "\n", {"1"}), 1, level);
}

bool OncamGrandeyeMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "alarm", "=", "\n", {"1"}), 100, level);
}

bool OncamGrandeyeInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "state0", ":", "\n", {"L"}), 100, level);
}

bool AirliveMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    if (st.flag) return DynamicEventId(buf, size, st.lastId, level);
    return LevelLines(buf, size, "group=%d;level=%d;threshold=%d;", level);
}

bool EdimaxMotion(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(KeyEquals(buf, size, "motion-event", ":", "\n", {"1"}), 100, level);
}

bool EdimaxVPMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    level = 0;
    int a = 0, c = 0, d = 0;
    if (size < 27 || !SignedByte(buf, size, 24, a) || !SignedByte(buf, size, 25, c) ||
        !SignedByte(buf, size, 26, d))
        return false;
    level = std::max(a, std::max(c, d));
    return level > st.mdParam3;
}

bool EtrovisionMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    HeldKey(buf, size, "md1", st.held);
    return Report(st.held, 100, level);
}

bool EtrovisionInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool on = false;
    bool present = HeldKey(buf, size, PortKey("input", port), on);
    return PortHeld(st, port, present, on, level);
}

bool PixordMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    std::string v;
    level = 0;
    if (!trig::KeyValue(buf, size, "level", "=", ";", v)) return false;
    level = trig::DecimalOr(v, 0);
    return level > st.mdParam1;
}

bool PanaMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    bool anyT = false;
    PanaMotionChar(buf, size, st.channel, anyT);
    return Report(anyT, 100, level);
}

bool PanaInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool anyL = false;
    PanaTerminalChar(buf, size, PanaTerminal(st, port), anyL);
    return Report(anyL, 1, level);
}

bool PanaProMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    bool anyT = false;
    char c = PanaMotionChar(buf, size, st.channel, anyT);
    if (c == 'T') st.held = true;
    else if (c == 'F') st.held = false;
    return Report(st.held, 100, level);
}

bool PanaProInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    bool anyL = false;
    char c = PanaTerminalChar(buf, size, PanaTerminal(st, port), anyL);
    return PortHeld(st, port, c == 'L' || c == 'H', c == 'L', level);
}

bool IpuxMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    int v = 0;
    level = 0;
    if (size < 25 || !SignedByte(buf, size, 24, v)) return false;
    level = IpuxLevel(v, st.api == "ipux5m" ? 100 : 255);
    return level > st.mdParam1;
}

bool IpuxInput(MP_RULE_STATE&, int, const char* buf, unsigned int size, int& level) {
    return Report(size >= 28 && trig::ByteBits(buf, size, 27, 0x07), 1, level);
}

bool ZavioMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return GroupLevelLines(buf, size, st.api == "zaviovga", level);
}

// Older HikVision firmware that sends both edges says so (st.flag); the
// other firmware repeats its state.
bool HikVisionMotion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return st.flag ? HikEdgeMotionTest(buf, size, st.alert, level) : HikLevelMotionTest(buf, size, st.alert, level);
}

bool HikVisionInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    return st.flag ? HikEdgeInputTest(port, buf, size, st.hikPorts, level)
                   : HikLevelInputTest(port, buf, size, st.hikPorts, level);
}

bool HikVisionTamper(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return HikSampledTamperTest(buf, size, st.alert, level);
}

bool HikVisionV3Motion(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "VMD", st.alert, level);
}

bool HikVisionV3Input(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level) {
    return HikHoldPortTest(port, buf, size, st.hikPorts, level);
}

bool HikVisionV3Tamper(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "shelteralarm", st.alert, level);
}

bool HikVisionAudio(MP_RULE_STATE& st, int, const char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "audioexception", st.alert, level);
}

}  // namespace mprule

// ---------------------------------------------------------------- table

namespace {

#define MOTION(Name) {#Name, RULE_KIND_MD, &mprule::Name}
#define INPUT(Name) {#Name, RULE_KIND_DI, &mprule::Name}
#define TAMPER(Name) {#Name, RULE_KIND_TD, &mprule::Name}
#define AUDIO(Name) {#Name, RULE_KIND_AD, &mprule::Name}

const MpRuleEntry kMpRules[] = {
    MOTION(AxisMotion),
    TAMPER(LevelOneGr4Tamper),
    MOTION(IQeyeV1Motion),
    MOTION(IQeyeV2Motion),
    INPUT(IQeyeInput),
    MOTION(SonyMotion),
    INPUT(SonyInput),
    MOTION(PsiaMotion),
    INPUT(PsiaInput),
    MOTION(MessoaA02Motion),
    MOTION(ImegeMotion),
    MOTION(SamsungMotion),
    AUDIO(SamsungAudio),
    TAMPER(SamsungTamper),
    INPUT(SamsungInput),
    MOTION(HitronMotion),
    INPUT(HitronInput),
    MOTION(EneoMotion),
    INPUT(EneoInput),
    TAMPER(EneoTamper),
    MOTION(AlinkingMotion),
    INPUT(AlinkingInput),
    TAMPER(AlinkingTamper),
    MOTION(DLinkV9V2Motion),
    INPUT(DLinkV9V2Input),
    MOTION(LilinMotion),
    INPUT(LilinInput),
    MOTION(AcumenMotion),
    INPUT(AcumenInput),
    MOTION(OncamGrandeyeMotion),
    INPUT(OncamGrandeyeInput),
    MOTION(AirliveMotion),
    MOTION(EdimaxMotion),
    MOTION(EdimaxVPMotion),
    MOTION(EtrovisionMotion),
    INPUT(EtrovisionInput),
    MOTION(PixordMotion),
    MOTION(PanaMotion),
    INPUT(PanaInput),
    MOTION(PanaProMotion),
    INPUT(PanaProInput),
    MOTION(IpuxMotion),
    INPUT(IpuxInput),
    MOTION(ZavioMotion),
    MOTION(HikVisionMotion),
    INPUT(HikVisionInput),
    TAMPER(HikVisionTamper),
    MOTION(HikVisionV3Motion),
    INPUT(HikVisionV3Input),
    TAMPER(HikVisionV3Tamper),
    AUDIO(HikVisionAudio),
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
