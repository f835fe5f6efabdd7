#include "camdet/rules/trigrules.h"

#include <ctype.h>
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

namespace trig {

namespace {
bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
}  // namespace

std::string AnswerText(const char* buf, unsigned int len) {
    if (!buf) return std::string();
    const void* nul = memchr(buf, '\0', len);
    size_t n = nul ? (size_t)((const char*)nul - buf) : (size_t)len;
    return std::string(buf, n);
}

bool FindKeyValue(const std::string& text, const std::string& key, const char* kvSep, const char* itemSep,
                  std::string& value) {
    if (key.empty() || !kvSep || !*kvSep) return false;
    const char* items = itemSep ? itemSep : "";
    const size_t klen = key.size();
    for (size_t pos = 0; pos + klen < text.size(); ++pos) {
        if (text.compare(pos, klen, key) != 0) continue;
        if (pos > 0 && IsWordChar(text[pos - 1])) continue;
        char sep = text[pos + klen];
        if (sep == '\0' || !strchr(kvSep, sep)) continue;
        size_t start = pos + klen + 1;
        size_t end = *items ? text.find_first_of(items, start) : std::string::npos;
        if (end == std::string::npos) end = text.size();
        value = text.substr(start, end - start);
        size_t nul = value.find('\0');
        if (nul != std::string::npos) value.erase(nul);
        if (!value.empty() && value[value.size() - 1] == '\r') value.erase(value.size() - 1);
        return true;
    }
    return false;
}

bool KeyValue(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
              std::string& value) {
    value.clear();
    return FindKeyValue(AnswerText(buf, len), key, kvSep, itemSep, value);
}

bool KeyEquals(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
               std::initializer_list<const char*> texts) {
    bool unread = false;
    return KeyEquals(buf, len, key, kvSep, itemSep, texts, unread);
}

bool KeyContains(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
                 std::initializer_list<const char*> texts) {
    bool unread = false;
    return KeyContains(buf, len, key, kvSep, itemSep, texts, unread);
}

bool KeyEquals(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
               std::initializer_list<const char*> texts, bool& unread) {
    std::string v;
    if (!Needed(KeyValue(buf, len, key, kvSep, itemSep, v), unread)) return false;
    for (const char* t : texts) {
        if (v == t) return true;
    }
    return false;
}

bool KeyContains(const char* buf, unsigned int len, const std::string& key, const char* kvSep, const char* itemSep,
                 std::initializer_list<const char*> texts, bool& unread) {
    std::string v;
    if (!Needed(KeyValue(buf, len, key, kvSep, itemSep, v), unread)) return false;
    for (const char* t : texts) {
        if (v.find(t) != std::string::npos) return true;
    }
    return false;
}

bool Substring(const char* buf, unsigned int len, const std::string& text) {
    return AnswerText(buf, len).find(text) != std::string::npos;
}

bool BytesContain(const char* buf, unsigned int len, const char* pattern) {
    if (!buf || !pattern) return false;
    const size_t n = strlen(pattern);
    if (n == 0 || n > len) return false;
    for (size_t i = 0; i + n <= len; ++i) {
        if (buf[i] == pattern[0] && memcmp(buf + i, pattern, n) == 0) return true;
    }
    return false;
}

bool ByteBits(const char* buf, unsigned int len, unsigned int index, unsigned int mask) {
    if (!buf || index >= len) return false;
    return ((unsigned char)buf[index] & mask) != 0;
}

int DecimalOr(const std::string& text, int def) {
    size_t i = 0;
    while (i < text.size() && isspace((unsigned char)text[i])) ++i;
    bool neg = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) neg = text[i++] == '-';
    if (i >= text.size() || !isdigit((unsigned char)text[i])) return def;
    long long v = 0;
    for (; i < text.size() && isdigit((unsigned char)text[i]); ++i) {
        if (v <= (long long)INT_MAX + 1) v = v * 10 + (text[i] - '0');
    }
    if (neg) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return (int)v;
}

bool Hex32(const std::string& text, unsigned int& out) {
    size_t i = 0;
    while (i < text.size() && isspace((unsigned char)text[i])) ++i;
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) i += 2;
    unsigned long long v = 0;
    size_t digits = 0;
    for (; i < text.size() && isxdigit((unsigned char)text[i]); ++i, ++digits) {
        char c = text[i];
        int d = isdigit((unsigned char)c) ? c - '0' : (tolower((unsigned char)c) - 'a' + 10);
        v = v * 16 + (unsigned)d;
        if (v > 0xffffffffULL) return false;
    }
    if (digits == 0) return false;
    out = (unsigned int)v;
    return true;
}

int MessoaProAlarmNo(const char* buf, unsigned int len) {
    std::string v;
    if (!KeyValue(buf, len, "Alarm.Status", "=", " ", v) && !KeyValue(buf, len, "Alarm.Status", "=", "\n", v)) {
        return -1;
    }
    return DecimalOr(v, 0);
}

std::string BoschDecText(const char* buf, unsigned int len) {
    std::string text = AnswerText(buf, len);
    size_t result = text.find("<result>");
    if (result != std::string::npos) text.erase(0, result);
    size_t open = text.find("dec");
    if (open == std::string::npos) return std::string();
    size_t close = text.find("/dec", open + 3);
    if (close == std::string::npos) return std::string();
    // Between the ">" after the opening name and the "<" before "/dec".
    size_t from = open + 4;
    size_t to = close - 1;
    std::string out;
    for (size_t i = from; i < to && i < text.size(); ++i) {
        if (!isspace((unsigned char)text[i])) out += text[i];
    }
    return out;
}

bool ItxRiseValue(const char* buf, unsigned int len, const char* prefix, std::string& value) {
    const std::string head = std::string(prefix) + "=";
    const std::string format = head + "%31s";
    bool scanned = false;
    ForEachLine(buf, len, 256, 100, [&](const char* line) {
        if (strncasecmp(line, head.c_str(), head.size()) != 0) return false;
        char field[32] = {0};
        scanned = sscanf(line, format.c_str(), field) == 1;
        if (scanned) value = field;
        return true;
    });
    return scanned;
}

bool Messoa03InputAlarm(const char* buf, unsigned int len, int diCnt) {
    return ForEachLine(buf, len, 256, 0, [&](const char* line) {
        const char* mode = strstr(line, "Mode ");
        if (!mode) return false;
        char c = mode[5];
        int n = (c >= '0' && c <= '9') ? c - '0' : 0;
        return n > 0 && n <= diCnt;
    });
}

bool Messoa03Motion(const char* buf, unsigned int len, int diCnt) {
    const std::string needle = "Mode " + std::to_string((long long)diCnt + 1);
    return ForEachLine(buf, len, 256, 0, [&](const char* line) { return strstr(line, needle.c_str()) != nullptr; });
}

std::string ArecontChannel(const std::string& recorderChannel, bool originNo) {
    static const char* const kOrigin[4][2] = {{"1", "1"}, {"2", "2"}, {"3", "3"}, {"4", "4"}};
    // The sensors of a four-lens camera are numbered from another corner.
    static const char* const kLens[4][2] = {{"1", "3"}, {"2", "2"}, {"3", "4"}, {"4", "1"}};
    const char* const(*table)[2] = originNo ? kOrigin : kLens;
    for (int i = 0; i < 4; ++i) {
        if (recorderChannel == table[i][0]) return table[i][1];
    }
    return std::string();
}

std::string MessoaA02InputQuery(int inputs) {
    std::string path = "/operator/get_param.cgi?surveillance.eventdido.di_current_state";
    for (int n = 2; n <= inputs; ++n) path += "&surveillance.eventdido.di_current_state_" + std::to_string(n);
    return path;
}

}  // namespace trig
