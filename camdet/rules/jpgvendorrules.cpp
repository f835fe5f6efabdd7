#include "camdet/rules/jpgvendorrules.h"

#include <string.h>

#include "camdet/rules/avtechrules.h"
#include "camdet/rules/axisrules.h"
#include "camdet/rules/lines.h"
#include "camdet/rules/trigrules.h"
#include "camdet/rules/vivotekrules.h"

namespace jpgrule {

namespace {

const int kBaslerLineMax = 284;  // 283 characters and the terminator

// The decimal number in line[at..at + digits), stopping at a non-digit.
int DigitsAt(const char* line, int lineLen, int at, int digits) {
    int v = 0;
    for (int i = at; i < at + digits && i < lineLen && line[i] >= '0' && line[i] <= '9'; ++i) v = v * 10 + (line[i] - '0');
    return v;
}

// Calls fn(line, length) for every non-empty line of the len bytes until it
// returns true. Basler lines are longer than the shared splitter's buffer.
template <typename Fn>
bool BaslerLines(const char* payload, unsigned int len, Fn fn) {
    std::string copy(payload, len);
    char line[kBaslerLineMax];
    unsigned int pos = 0;
    while (pos < len) {
        int n = ReadToLineEnd(&copy[0], len, pos, line, sizeof(line));
        if (n > 0 && fn(line, n)) return true;
    }
    return false;
}

bool Contains(const char* line, int n, const char* what) { return trig::BytesContain(line, (unsigned int)n, what); }

}  // namespace

bool BaslerMotion(const char* payload, unsigned int len, int& value) {
    value = 0;
    if (!payload || len == 0) return false;
    return BaslerLines(payload, len, [&](const char* line, int n) {
        if (Contains(line, n, "Motion") && n >= 20) value = DigitsAt(line, n, 20, 2);
        return Contains(line, n, "Alarm") && n >= 8 && DigitsAt(line, n, 8, 1) == 1;
    });
}

bool BaslerInput(const char* payload, unsigned int len, int& value) {
    value = 0;
    if (!payload || len == 0) return false;
    bool on = BaslerLines(payload, len,
                          [](const char* line, int n) { return Contains(line, n, "IO=") && n >= 5 && DigitsAt(line, n, 4, 1) == 1; });
    return trig::Report(on, 1, value);
}

bool JvcMotion(const char* payload, unsigned int len, int& value) {
    return trig::Report(payload && len >= 234 && payload[233] == '1', 100, value);
}

bool PanaTrig(int kind, int group, const char* payload, unsigned int len, int& value) {
    value = 0;
    if (!payload || len == 0) return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(payload);
    if (kind == RULE_KIND_MD) {
        if (len < 14) return false;
        value = p[13] * 5 < 100 ? p[13] * 5 : 100;
        return p[13] > p[12];
    }
    if (kind != RULE_KIND_DI) return false;
    value = 1;
    switch (group) {
    case PANA_FUNC_GR_0: return (p[0] & 0x80) != 0;
    case PANA_FUNC_GR_1: return (p[0] & 0xC0) != 0xC0;
    case PANA_FUNC_GR_2: return (p[0] & 0x80) == 0;
    default: return false;
    }
}

}  // namespace jpgrule

namespace streamrule {

bool Axis(const STREAM_RULE_STATE& st, int port, const char* b, unsigned int n, int& v) {
    return port >= 0 ? axisrule::StreamInputTrig(port, b, n, v) : axisrule::StreamTrig(st.kind, b, n, v);
}
bool VivotekJpg(const STREAM_RULE_STATE& st, int, const char* b, unsigned int n, int& v) {
    v = 0;
    if (!b || n == 0) return false;
    if (st.group != VIVO_FUNC_GR_0) return vivorule::CheckTrigValInAppData(b, (int)n, v, st.kind);
    return vivorule::Group0Motion(b, n, v);
}
bool VivotekRtp(const STREAM_RULE_STATE& st, int, const char* b, unsigned int n, int& v) {
    return vivorule::CheckTrigValInAppData(b, (int)n, v, st.kind);
}
bool BaslerMotion(const STREAM_RULE_STATE&, int, const char* b, unsigned int n, int& v) {
    return jpgrule::BaslerMotion(b, n, v);
}
bool BaslerInput(const STREAM_RULE_STATE&, int, const char* b, unsigned int n, int& v) {
    return jpgrule::BaslerInput(b, n, v);
}
bool JvcMotion(const STREAM_RULE_STATE&, int, const char* b, unsigned int n, int& v) {
    return jpgrule::JvcMotion(b, n, v);
}
bool Panasonic(const STREAM_RULE_STATE& st, int, const char* b, unsigned int n, int& v) {
    return jpgrule::PanaTrig(st.kind, st.group, b, n, v);
}
bool Avtech(const STREAM_RULE_STATE&, int port, const char* b, unsigned int n, int& v) {
    return port >= 0 ? avtechrule::Input(port, b, n, v) : avtechrule::Motion(b, n, v);
}

}  // namespace streamrule

namespace {

#define RULE(Name) {#Name, &streamrule::Name}

const StreamRuleEntry kStreamRules[] = {
    RULE(Axis), RULE(VivotekJpg), RULE(VivotekRtp), RULE(BaslerMotion),
    RULE(BaslerInput), RULE(JvcMotion), RULE(Panasonic), RULE(Avtech),
};

#undef RULE

}  // namespace

const StreamRuleEntry* GetStreamRuleTable(int& rows) {
    rows = (int)(sizeof(kStreamRules) / sizeof(kStreamRules[0]));
    return kStreamRules;
}
