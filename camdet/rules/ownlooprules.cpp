#include "camdet/rules/ownlooprules.h"

#include <string.h>

#include "camdet/rules/mprules.h"
#include "camdet/rules/trigrules.h"

namespace {

void PutLe32(unsigned char* p, int32_t v) {
    const uint32_t u = (uint32_t)v;
    p[0] = (unsigned char)(u & 0xff);
    p[1] = (unsigned char)((u >> 8) & 0xff);
    p[2] = (unsigned char)((u >> 16) & 0xff);
    p[3] = (unsigned char)((u >> 24) & 0xff);
}

int32_t GetLe32(const unsigned char* p) {
    return (int32_t)((uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24));
}

// strtok over a copy, without its hidden state: each call may use other
// delimiters, and a token ends at (and consumes) the first delimiter.
class Tokens {
public:
    explicit Tokens(const std::string& text) : m_Text(text), m_Pos(0) {}
    bool Next(const char* delims, std::string& tok) {
        while (m_Pos < m_Text.size() && strchr(delims, m_Text[m_Pos])) ++m_Pos;
        if (m_Pos >= m_Text.size()) return false;
        size_t end = m_Pos;
        while (end < m_Text.size() && !strchr(delims, m_Text[end])) ++end;
        tok = m_Text.substr(m_Pos, end - m_Pos);
        m_Pos = end < m_Text.size() ? end + 1 : end;
        return true;
    }

private:
    std::string m_Text;
    size_t m_Pos;
};

bool StartsWith(const std::string& s, const char* prefix) { return s.compare(0, strlen(prefix), prefix) == 0; }

}  // namespace

// ---------------------------------------------------------------- ACTi

void ActiLoginPacket(const std::string& user, const std::string& password, unsigned char out[ACTI_LOGIN_SIZE]) {
    memset(out, 0, ACTI_LOGIN_SIZE);
    memcpy(out, user.data(), user.size() < 31 ? user.size() : 31);
    PutLe32(out + 32, 1);
    memcpy(out + 64, password.data(), password.size() < 63 ? password.size() : 63);
}

bool ActiLoginAccepted(const unsigned char* answer, unsigned int len) {
    return answer && len >= 4 && GetLe32(answer) == 0;
}

void ActiLivePacket(int32_t cmd, unsigned char out[ACTI_HEADER_SIZE]) {
    memcpy(out, "ACTi", 4);
    PutLe32(out + 4, cmd);
    PutLe32(out + 8, 0);
}

bool ActiReadHeader(const unsigned char* buf, unsigned int len, ACTI_EVENT_HEADER& out) {
    if (!buf || len != ACTI_HEADER_SIZE) return false;
    out.code = GetLe32(buf + 4);
    out.payloadLen = GetLe32(buf + 8);
    return true;
}

// Reading only part of a payload, or none of a negative one, would read the
// rest as headers (a crafted tail then invents events): skipped whole.
int32_t ActiPayloadToSkip(const ACTI_EVENT_HEADER& h) {
    return h.payloadLen < 0 || h.payloadLen > ACTI_MAX_PAYLOAD ? -1 : h.payloadLen;
}

bool ActiIsMotion(const ACTI_EVENT_HEADER& h, int32_t motionCode, int& value) {
    return trig::Report(h.code == motionCode, 100, value);
}

// ---------------------------------------------------------------- Mobotix

// The camera counts from its own start: comparing the first counter with 0
// would report an alarm at every start of the detector.
bool MobotixCounterRule(const char* buf, unsigned int len, int32_t& counter, bool& seen) {
    std::string v;
    if (!trig::KeyValue(buf, len, "alarmcounter", "=", ";", v)) return false;
    const int32_t n = trig::DecimalOr(v, 0);
    const bool alarm = seen && n != counter;
    counter = n;
    seen = true;
    return alarm;
}

bool MobotixMotion(const char* buf, unsigned int len, const std::string& model, MOBOTIX_COUNTERS& c, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    if (model.find("12") != std::string::npos || model.find("22") != std::string::npos)
        return trig::Report(MobotixCounterRule(buf, len, c.alarm, c.alarmSeen), 100, value);
    if (trig::Substring(buf, len, "ox_md_ima") && MobotixCounterRule(buf, len, c.alarm, c.alarmSeen))
        return trig::Report(true, 100, value);
    if (trig::Substring(buf, len, "PI"))
        return trig::Report(MobotixCounterRule(buf, len, c.pir, c.pirSeen), 100, value);
    return trig::Report(false, 0, value);
}

bool MobotixInput(const char* buf, unsigned int len, int32_t& counter, bool& seen, int& value) {
    if (!buf) return trig::Report(false, 0, value);
    return trig::Report(MobotixCounterRule(buf, len, counter, seen), 1, value);
}

// ---------------------------------------------------------------- LevelOne GR2

void LevelOneGr2ParseWindowLine(const char* line, LEVELONE_MOTION_WIN win[LEVELONE_WIN_COUNT]) {
    if (!line) return;
    Tokens t(line);
    std::string tok;
    if (!t.Next(" .=", tok)) return;
    int sel = -1;
    do {
        if (StartsWith(tok, "M0")) {
            sel = 0;
        } else if (tok == "M1") {
            sel = 1;
        } else if (tok == "M2") {
            sel = 2;
        } else if (sel >= 0) {
            LEVELONE_MOTION_WIN& w = win[sel];
            int32_t* field = nullptr;
            if (tok == "Enabled") {
                std::string next;
                const bool have = t.Next(".=", next);
                w.blEnabled = !(have && next == "no");
                continue;
            }
            if (tok == "Sensitivity") field = &w.sensitivity;
            else if (tok == "Threshold") field = &w.threshold;
            else if (tok == "Left") field = &w.left;
            else if (tok == "Top") field = &w.top;
            else if (tok == "Right") field = &w.right;
            else if (tok == "Bottom") field = &w.bottom;
            if (field) {
                std::string next;
                *field = t.Next(".=", next) ? trig::DecimalOr(next, 0) : 0;
            }
        }
    } while (t.Next(".=", tok));
}

bool LevelOneGr2Trig(const char* buf, unsigned int len, const LEVELONE_MOTION_WIN win[LEVELONE_WIN_COUNT],
                     int& value) {
    value = 0;
    if (!buf) return false;
    int levels[LEVELONE_WIN_COUNT] = {0, 0, 0};
    Tokens t(trig::AnswerText(buf, len));
    std::string tok;
    bool more = t.Next(" ,.=", tok);
    while (more) {
        int region = -1;
        if (StartsWith(tok, "R1")) region = 0;
        else if (StartsWith(tok, "R2")) region = 1;
        else if (StartsWith(tok, "R3")) region = 2;
        if (region >= 0) {
            std::string next;
            if (!t.Next(" ,.=", next)) break;
            levels[region] = trig::DecimalOr(next, 0);
        }
        more = t.Next(".=", tok);
    }
    int highest = 0;
    for (int w = 0; w < LEVELONE_WIN_COUNT; ++w) {
        if (!win[w].blEnabled) continue;
        const int level = levels[w];
        if (level > win[w].threshold) {
            value = (level < 1000 ? level : 1000) / 10;
            return true;
        }
        if (level > highest) highest = level;
    }
    value = (highest < 1000 ? highest : 1000) / 10;
    return false;
}

// ---------------------------------------------------------------- stream FIFO frames

bool IpuxFifoMotion(const unsigned char* unit, unsigned int len, int scale, int mdParam1, int& value) {
    if (!unit || len <= 24) return false;
    const int level = mprule::IpuxLevel((int)(signed char)unit[24], scale);
    value = level;
    return mdParam1 < level;
}

bool IpuxFifoInput(const unsigned char* unit, unsigned int len, int& value) {
    const bool hit = unit && len >= 28 && (unit[27] & 0x07) != 0;
    return trig::Report(hit, 1, value);
}

bool StarDotFifoMotion(const unsigned char* unit, unsigned int len, int& value) {
    value = 0;
    // The shortest frame that holds the block: "SDM" then the "0" 32 bytes before the end.
    if (!unit || len < 3 + 32) return false;
    // i: the position of the "0", from 32 before the end towards the start.
    const unsigned int first = len - 32;
    const unsigned int last = len >= 199 ? len - 199 : 3;
    for (unsigned int i = first; i >= last && i >= 3; --i) {
        if (memcmp(unit + i - 3, "SDM0", 4) != 0) continue;
        for (unsigned int j = i + 1; j <= i + 32 && j + 1 < len; ++j) {
            if (unit[j] != 0) return trig::Report(true, 100, value);
        }
        return false;
    }
    return false;
}
