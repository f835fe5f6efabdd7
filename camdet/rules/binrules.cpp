// Wire formats, one line or record at a time:
//   Dahua     "Code=VideoMotion;action=Start;index=0" (also AlarmLocal,
//             VideoBlind); the event-manager stream's part headers and
//             heartbeats are lines too, and leave the state alone.
//   D-Link    "md1=on", "mdv1=35", "input1=off", "audio_detected_val=40".
//   LILIN     "AlarmInputDetect=1" (CR LF line ends).
//   LevelOne  GR4 TCP lines ending in "...<level hex>$..." (motion) or with
//             the input bits at fixed offsets after the last "$".
//   EverFocus 308-byte records: byte 48 input, byte 56 motion.
//   Y-cam     8-byte records: bytes 0-3 window levels, byte 4 bits 0-3 the
//             triggered windows.
#include "camdet/rules/binrules.h"

#include <string.h>

#include "camdet/rules/trigrules.h"

namespace binrule {

namespace {

const unsigned int kEverFocusRecord = 308;
const unsigned int kYcamRecord = 8;

// The line as text (up to its first zero byte).
std::string Line(const char* buf, unsigned int size) { return trig::AnswerText(buf, size); }

bool Has(const std::string& line, const char* what) { return line.find(what) != std::string::npos; }

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool PortHeld(BIN_RULE_STATE& st, int port) {
    return port >= 0 && (size_t)port < st.heldPorts.size() && st.heldPorts[(size_t)port];
}

void SetPort(BIN_RULE_STATE& st, int port, bool on) {
    if (port >= 0 && (size_t)port < st.heldPorts.size()) st.heldPorts[(size_t)port] = on;
}

}  // namespace

int Hex2(const char* text) {
    int v = -1;
    for (int i = 0; i < 2; ++i) {
        int d = HexDigit(text[i]);
        if (d < 0) break;
        v = (v < 0 ? 0 : v * 16) + d;
    }
    return v;
}

bool DahuaEvent(const char* buf, unsigned int size, const char* keyword, bool& held) {
    const std::string line = Line(buf, size);
    if (Has(line, keyword)) {
        if (Has(line, "Start")) {
            held = true;
        } else if (Has(line, "Stop")) {
            held = false;
        }
    }
    return held;
}

bool DahuaMotion(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    return trig::Report(DahuaEvent(buf, size, "VideoMotion", st.held), 100, value);
}

bool DahuaTamper(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    return trig::Report(DahuaEvent(buf, size, "VideoBlind", st.held), 100, value);
}

// The camera's index is matched as a substring, as the cameras' own clients
// do: a line for index=10 also reads as index=1.
bool DahuaInput(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value) {
    if (!buf || port < 0) return trig::Report(false, 0, value);
    const std::string line = Line(buf, size);
    if (Has(line, "AlarmLocal") && Has(line, ("index=" + std::to_string(port)).c_str())) {
        if (Has(line, "Start")) {
            SetPort(st, port, true);
        } else if (Has(line, "Stop")) {
            SetPort(st, port, false);
        }
    }
    return trig::Report(PortHeld(st, port), 1, value);
}

// A flag line ("md1") decides the trigger once seen; level lines ("mdv1")
// alone trigger against the recorder's threshold (motion parameter key 2).
bool DLinkMotion(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    std::string v;
    if (trig::KeyValue(buf, size, "md1", "=", "\n", v)) {
        st.gotMd1 = true;
        st.held = v == "on";
        if (st.gotMdv1) {
            if (!st.held) st.level = 0;
            value = st.held ? st.level : 0;
            return st.held;
        }
        st.level = st.held ? 100 : 0;
    } else if (trig::KeyValue(buf, size, "mdv1", "=", "\n", v)) {
        st.gotMdv1 = true;
        st.level = trig::DecimalOr(v, 0);
        if (!st.gotMd1) st.held = st.level >= st.mdParam3;
    }
    value = st.level;
    return st.held;
}

bool DLinkAudio(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    std::string v;
    if (trig::KeyValue(buf, size, st.adKeyV2 ? "audio_detect_val" : "audio_detected_val", "=", "\n", v)) {
        st.level = trig::DecimalOr(v, 0);
        st.held = st.level >= st.adParam;
    }
    value = st.level;
    return st.held;
}

// Inputs are numbered from 1 on the camera.
bool DLinkInput(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value) {
    if (!buf || port < 0) return trig::Report(false, 0, value);
    std::string v;
    if (trig::KeyValue(buf, size, "input" + std::to_string(port + 1), "=", "\n", v)) {
        if (v == "on") {
            SetPort(st, port, true);
        } else if (v == "off") {
            SetPort(st, port, false);
        }
    }
    return trig::Report(PortHeld(st, port), 1, value);
}

bool LilinV2Input(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    std::string v;
    if (trig::KeyValue(buf, size, "AlarmInputDetect", "=", "\r\n", v)) st.held = v == "1";
    return trig::Report(st.held, 100, value);
}

// The two hexadecimal characters before the last "$" are the motion level;
// above 100 the line is not a level line. A line without them is not one of
// the camera's (noise on the port): no data, the status stays.
bool LevelOneGr4Motion(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    const std::string line = Line(buf, size);
    const size_t p = line.rfind('$');
    const int level = p == std::string::npos || p < 2 ? -1 : Hex2(line.c_str() + p - 2);
    if (level < 0) {
        st.noData = true;
        return trig::Report(false, 0, value);
    }
    value = level;
    return level <= 100 && level > st.mdParam1;
}

// Two hexadecimal bytes after the last "$" (at +7 and +11) differ in their
// low four bits while an input is in alarm. A line without them carries no
// input state: no data, the status stays.
bool LevelOneGr4Input(BIN_RULE_STATE& st, int, const char* buf, unsigned int size, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    const std::string line = Line(buf, size);
    const size_t p = line.rfind('$');
    const bool shaped = p != std::string::npos && p + 12 < line.size();
    const int a = shaped ? Hex2(line.c_str() + p + 11) : -1;
    const int b = shaped ? Hex2(line.c_str() + p + 7) : -1;
    if (a < 0 || b < 0) {
        st.noData = true;
        return false;
    }
    return ((a ^ b) & 0x0f) != 0;
}

bool EverFocusMotion(BIN_RULE_STATE&, int, const char* buf, unsigned int size, int& value) {
    const bool hit = buf && size == kEverFocusRecord && buf[56] == 1;
    return trig::Report(hit, 100, value);
}

bool EverFocusInput(BIN_RULE_STATE&, int, const char* buf, unsigned int size, int& value) {
    const bool hit = buf && size == kEverFocusRecord && buf[48] == 1;
    return trig::Report(hit, 100, value);
}

bool YcamMotion(BIN_RULE_STATE&, int, const char* buf, unsigned int size, int& value) {
    if (!buf || size != kYcamRecord) return trig::Report(false, 0, value);
    const unsigned char* r = reinterpret_cast<const unsigned char*>(buf);
    int highest = 0;
    for (int w = 0; w < 4; ++w) {
        if (r[w] > highest) highest = r[w];
    }
    value = highest;
    return (r[4] & 0x0f) != 0;
}

}  // namespace binrule

namespace {

const BinRuleEntry kBinRules[] = {
    {"DahuaMotion", RULE_KIND_MD, &binrule::DahuaMotion},
    {"DahuaTamper", RULE_KIND_TD, &binrule::DahuaTamper},
    {"DahuaInput", RULE_KIND_DI, &binrule::DahuaInput},
    {"DLinkMotion", RULE_KIND_MD, &binrule::DLinkMotion},
    {"DLinkAudio", RULE_KIND_AD, &binrule::DLinkAudio},
    {"DLinkInput", RULE_KIND_DI, &binrule::DLinkInput},
    {"LilinV2Input", RULE_KIND_DI, &binrule::LilinV2Input},
    {"LevelOneGr4Motion", RULE_KIND_MD, &binrule::LevelOneGr4Motion},
    {"LevelOneGr4Input", RULE_KIND_DI, &binrule::LevelOneGr4Input},
    {"EverFocusMotion", RULE_KIND_MD, &binrule::EverFocusMotion},
    {"EverFocusInput", RULE_KIND_DI, &binrule::EverFocusInput},
    {"YcamMotion", RULE_KIND_MD, &binrule::YcamMotion},
};

}  // namespace

const BinRuleEntry* GetBinRuleTable(int& rows) {
    rows = (int)(sizeof(kBinRules) / sizeof(kBinRules[0]));
    return kBinRules;
}
