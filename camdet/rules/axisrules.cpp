#include "camdet/rules/axisrules.h"

#include <stdio.h>
#include <string.h>

#include <string>

#include "camdet/rules/trigrules.h"

namespace axisrule {

bool StreamMotion(const char* p, unsigned int len, int& value) {
    if (!p || len <= 7) return false;
    bool trig = false;
    for (unsigned int i = 0; i + 4 < len; ++i) {
        if (p[i] == 'M' && p[i + 2] == ':' && p[i + 3] == '1' && p[i + 4] == ';') {
            trig = true;
            break;
        }
    }
    value = 0;
    int sum = 0, count = 0;
    unsigned int i = 0;
    while (i + 7 < len) {
        if (p[i] == 'M' && p[i + 1] == 'L' && p[i + 3] == ':' && p[i + 7] == ';') {
            int level = 0;
            for (unsigned int d = i + 4; d < i + 7 && p[d] >= '0' && p[d] <= '9'; ++d) level = level * 10 + (p[d] - '0');
            sum += level;
            ++count;
            // The camera's own readers skip one byte past the item; kept, so
            // that levels come out as the cameras' other clients show them.
            i += 9;
        } else {
            ++i;
        }
    }
    if (count > 0) value = sum / count;
    return trig;
}

bool StreamTrig(int kind, const char* payload, unsigned int len, int& value) {
    switch (kind) {
    case RULE_KIND_MD: return StreamMotion(payload, len, value);
    case RULE_KIND_TD: return trig::Report(trig::BytesContain(payload, len, "T0:1"), 100, value);
    case RULE_KIND_AD: return trig::Report(trig::BytesContain(payload, len, "A0:1"), 100, value);
    default: return false;
    }
}

bool StreamInputTrig(int port, const char* payload, unsigned int len, int& value) {
    const std::string item = "IO" + std::to_string(port) + ":1";
    return trig::Report(trig::BytesContain(payload, len, item.c_str()), 100, value);
}

bool MotionLevelLines(const char* buf, unsigned int len, int& value) {
    value = 0;
    return trig::ForEachLine(buf, len, 256, 0, [&](const char* line) {
        if (!*line) return false;
        value = 0;
        char group = 0;
        int threshold = 0;
        int n = sscanf(line, "group=%c;level=%d;threshold=%d;", &group, &value, &threshold);
        return n == 3 && value > threshold;
    });
}

bool InputActive(const char* buf, unsigned int len, int& value) {
    value = 0;
    const std::string text = trig::AnswerText(buf, len);
    if (text.empty() || text[0] == '\n' || text[0] == '\r') return false;
    for (int i = 1; i <= 10; ++i) {
        std::string v;
        if (trig::FindKeyValue(text, "input" + std::to_string(i), "=", "\n", v) && v == "active") {
            value = 1;
            return true;
        }
    }
    return false;
}

}  // namespace axisrule
