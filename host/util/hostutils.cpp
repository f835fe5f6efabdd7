// String helpers, the pacing timer and the program runner.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <json/json.h>

#include <memory>
#include <sstream>

#include "interface/clock.h"
#include "interface/hostservices.h"

namespace {
bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}
}  // namespace

namespace BrellinOwned {

DelayTimer::DelayTimer(int periodUs, WakeUp* wake, Clock* clock)
    : m_PeriodUs(periodUs < 0 ? 0 : periodUs),
      m_MarkMs(0),
      m_pWake(wake),
      m_pClock(clock ? clock : &RealClock()) {
    m_MarkMs = m_pClock->NowMs();
}

void DelayTimer::BeginTiming() { m_MarkMs = m_pClock->NowMs(); }

void DelayTimer::Delay() {
    Clock& clock = *m_pClock;
    const int64_t due = m_MarkMs + m_PeriodUs / 1000;
    int64_t now = clock.NowMs();
    if (now < due && !clock.WaitMs(due - now, m_pWake)) now = clock.NowMs();
    // A late loop does not try to catch up with missed periods.
    m_MarkMs = now;
}

int FindKeyVal(std::string text, std::string key, std::string& value, const char* kvSep, const char* itemSep,
               bool blNoCase) {
    if (key.empty() || !kvSep || !*kvSep) return -1;
    const char* items = itemSep ? itemSep : "";
    const size_t klen = key.size();
    for (size_t pos = 0; pos + klen < text.size(); ++pos) {
        bool same = blNoCase ? strncasecmp(text.c_str() + pos, key.c_str(), klen) == 0
                             : text.compare(pos, klen, key) == 0;
        if (!same) continue;
        if (pos > 0 && IsWordChar(text[pos - 1])) continue;
        char sep = text[pos + klen];
        if (sep == '\0' || !strchr(kvSep, sep)) continue;
        size_t start = pos + klen + 1;
        size_t end = *items ? text.find_first_of(items, start) : std::string::npos;
        if (end == std::string::npos) end = text.size();
        value = text.substr(start, end - start);
        // A NUL inside the answer ends the value as it would end a C string.
        size_t nul = value.find('\0');
        if (nul != std::string::npos) value.erase(nul);
        if (!value.empty() && value[value.size() - 1] == '\r') value.erase(value.size() - 1);
        return 0;
    }
    return -1;
}

std::string itos(long long v) {
    char buf[32];
    snprintf(buf, sizeof(buf), "%lld", v);
    return buf;
}

long long StringHex2Decimal(const char* str, int digits) {
    if (!str || digits <= 0) return -1;
    long long v = 0;
    int n = 0;
    for (; n < digits && str[n]; ++n) {
        char c = str[n];
        int d;
        if (c >= '0' && c <= '9') d = c - '0';
        else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
        else break;
        if (v > (0x7fffffffffffffffLL >> 4)) return -1;  // would overflow
        v = v * 16 + d;
    }
    return n == 0 ? -1 : v;
}

std::list<std::string> String2StrList(const std::string& text, const std::string& sep) {
    std::list<std::string> out;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find_first_of(sep, pos);
        if (end == std::string::npos) end = text.size();
        if (end > pos) out.push_back(text.substr(pos, end - pos));
        pos = end + 1;
    }
    return out;
}

std::set<std::string> String2StrSet(const std::string& text, const std::string& sep) {
    std::list<std::string> l = String2StrList(text, sep);
    return std::set<std::string>(l.begin(), l.end());
}

std::string StrList2String(const std::list<std::string>& items, const std::string& sep) {
    std::string out;
    for (std::list<std::string>::const_iterator it = items.begin(); it != items.end(); ++it) {
        if (it != items.begin()) out += sep;
        out += *it;
    }
    return out;
}

bool JsonParse(const std::string& text, Json::Value& root) {
    Json::CharReaderBuilder builder;
    builder["collectComments"] = false;
    builder["stackLimit"] = 200;  // a hostile answer must not exhaust the detector's 1 MiB stack
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    std::string errs;
    Json::Value parsed;
    if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errs)) {
        root = Json::Value();
        return false;
    }
    root.swap(parsed);
    return true;
}

}  // namespace BrellinOwned

int QLIBCExec(const char* prog, const char* const argv[]) {
    if (!prog || !argv) return -1;
    pid_t pid = fork();
    if (pid < 0) return -1;
    if (pid == 0) {
        execv(prog, const_cast<char* const*>(argv));
        _exit(127);
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return -1;
}
