#include "camdet/rules/mprules.h"

#include <stdio.h>
#include <string.h>

#include "camdet/rules/trigrules.h"

namespace mprule {

namespace {
const int kLineMax = 256;

// "%" in recorder-supplied text must not become a conversion.
std::string EscapePercent(const std::string& s) {
    std::string out;
    for (char c : s) {
        out += c;
        if (c == '%') out += '%';
    }
    return out;
}
}  // namespace

bool StatusLine(const char* buf, unsigned int size, const char* fmt) {
    int status = 0;
    bool decided = trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        if (!*line) return false;
        int v = 0;
        if (sscanf(line, fmt, &v) < 1) return false;
        status = v;
        return true;
    });
    return decided && status == 1;
}

bool LevelLines(const char* buf, unsigned int size, const char* fmt, int& level) {
    level = 0;
    return trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        if (!*line) return false;
        int window = 0, threshold = 0;
        level = 0;
        if (sscanf(line, fmt, &window, &level, &threshold) == 3 && level > threshold) return true;
        return false;
    });
}

bool GroupLevelLines(const char* buf, unsigned int size, bool vga, int& level) {
    int highest = 0;
    int hit = 0;
    bool trig = trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        int group = 0, lv = 0, threshold = 0;
        int n = sscanf(line, "group=%d;level=%d;threshold=%d;", &group, &lv, &threshold);
        if (n == 3 && lv > threshold) {
            hit = lv;
            return true;
        }
        if (n >= 2 && lv > highest) highest = lv;
        return false;
    });
    level = trig ? hit : highest;
    if (vga) {
        if (level > 1000) level = 1000;
        level /= 10;
    }
    return trig;
}

bool DynamicEventId(const char* buf, unsigned int size, int& lastId, int& level) {
    level = 0;
    bool fresh = false;
    trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        if (!strstr(line, "Dynamic")) return false;
        const char* id = strstr(line, "id=");
        int v = id ? trig::DecimalOr(id + 3, 0) : 0;
        if (v != lastId) {
            lastId = v;
            fresh = true;
        }
        return true;
    });
    if (fresh) level = 100;
    return fresh;
}

bool WindowLines(const char* buf, unsigned int size, int& level) {
    bool hit = trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        char head[3] = {0};
        unsigned int win = 0, value = 0;
        return sscanf(line, "%2sWin%u=%u", head, &win, &value) == 3 && value == 1;
    });
    return trig::Report(hit, 100, level);
}

bool ObjectSizeLines(const char* buf, unsigned int size, int& level) {
    level = 0;
    if (!buf || size == 0 || buf[0] == '\0') return false;
    const std::string text = trig::AnswerText(buf, size - 1);
    size_t p = 0;
    while (p < text.size()) {
        size_t nl = text.find('\n', p);
        if (nl == std::string::npos) nl = text.size();
        const std::string line = text.substr(p, nl - p);
        p = nl + 1;
        std::string v, o;
        if (!trig::FindKeyValue(line, "value", "=", ";", v)) continue;
        int value = trig::DecimalOr(v, 0);
        if (value > 0) level = value;
        if (!trig::FindKeyValue(line, "objectsize", "=", ";", o)) continue;
        if (value > 0 && value >= trig::DecimalOr(o, 0)) {
            level = value;
            return true;
        }
    }
    return false;
}

char PanaMotionChar(const char* buf, unsigned int size, const std::string& channel, bool& anyT) {
    const std::string fmt = channel == "1" ? "motiondetect %c" : "motiondetect ch" + EscapePercent(channel) + "%c";
    char first = 0;
    anyT = false;
    trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        char c = 0;
        if (sscanf(line, fmt.c_str(), &c) != 1) return false;
        if (!first) first = c;
        if (c == 'T') anyT = true;
        return false;
    });
    return first;
}

char PanaTerminalChar(const char* buf, unsigned int size, int terminal, bool& anyL) {
    const std::string fmt = "terminal" + std::to_string(terminal) + " I %c";
    char first = 0;
    anyL = false;
    trig::ForEachLine(buf, size, kLineMax, 0, [&](const char* line) {
        char c = 0;
        if (sscanf(line, fmt.c_str(), &c) != 1) return false;
        if (!first) first = c;
        if (c == 'L') anyL = true;
        return false;
    });
    return first;
}

bool SignedByte(const char* buf, unsigned int size, unsigned int index, int& value) {
    if (!buf || index >= size) return false;
    value = (signed char)buf[index];
    return true;
}

int IpuxLevel(int v, int scale) {
    int level = scale == 255 ? (int)((v + 1) * 99 * 0.00390625 + 0.5) : v;
    return level > 100 ? 100 : level;
}

}  // namespace mprule
