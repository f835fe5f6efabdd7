#include "camdet/rules/onvifrules.h"

#include <ctype.h>
#include <math.h>

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool IsSourceWildcard(const std::vector<std::string>& alts) {
    for (const std::string& a : alts)
        if (a == "@ANY@" || a == "@VENDOR_SPECIFIC@" || a == "@MD_WIN@" || a == "@DI_PORT@") return true;
    return false;
}

bool IsOneOf(const std::vector<std::string>& alts, const std::string& v) {
    for (const std::string& a : alts)
        if (a == v) return true;
    return false;
}

std::string JoinTopic(const std::vector<std::string>& parts) {
    std::string s;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) s += '/';
        s += parts[i];
    }
    return s;
}

std::vector<std::string> SplitTopic(const std::string& topic) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t slash = topic.find('/', start);
        if (slash == std::string::npos) {
            parts.push_back(topic.substr(start));
            break;
        }
        parts.push_back(topic.substr(start, slash - start));
        start = slash + 1;
    }
    return parts;
}

OVF_EVT_TOPIC EntryOf(const OVF_EVT_NOTIF& n) {
    OVF_EVT_TOPIC e;
    e.topicParts = SplitTopic(n.topic);
    e.source = n.source;
    e.data = n.data;
    return e;
}

void ReplaceFirst(std::string& s, const std::string& what, const std::string& with) {
    size_t pos = s.find(what);
    if (pos != std::string::npos) s.replace(pos, what.size(), with);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (tolower((unsigned char)a[i]) != tolower((unsigned char)b[i])) return false;
    return true;
}

// The pattern of the item called `name` in a by-name rule: the one of that
// name, else the one named "*", else none.
const std::string* PatternFor(const OVF_ITEM_LIST& patterns, const std::string& name) {
    const std::string* any = nullptr;
    for (const auto& p : patterns) {
        if (p.first == name) return &p.second;
        if (p.first == "*") any = &p.second;
    }
    return any;
}

const std::string* ItemValue(const OVF_ITEM_LIST& items, const std::string& name) {
    for (const auto& it : items)
        if (it.first == name) return &it.second;
    return nullptr;
}

// What tells one source from another in a by-name rule: its items, less
// those whose pattern is "@ANY@".
OVF_ITEM_LIST SourceIdentity(const OnvifMatch::Info& info, const OVF_ITEM_LIST& source) {
    OVF_ITEM_LIST id;
    for (const auto& it : source) {
        const std::string* pat = PatternFor(info.trigValue.source, it.first);
        if (!pat || !OnvifMatch::HasAlternative(*pat, "@ANY@")) id.push_back(it);
    }
    return id;
}

bool IsFoundByName(const OnvifMatch::Info& info, const OVF_EVT_NOTIF& n) {
    for (const auto& it : n.source) {
        const std::string* pat = PatternFor(info.trigValue.source, it.first);
        if (!pat) continue;
        std::vector<std::string> alts = OnvifMatch::SplitAlternatives(*pat);
        if (!IsSourceWildcard(alts) && !IsOneOf(alts, it.second)) return false;
    }
    for (const auto& p : info.trigValue.data)
        if (!ItemValue(n.data, p.first)) return false;
    return true;
}

}  // namespace

namespace OnvifMatch {

std::string NoNsTopic(const std::string& topic) {
    std::string out;
    out.reserve(topic.size());
    size_t b = 0, e = topic.size();
    while (b < e && IsSpace(topic[b])) ++b;
    while (e > b && IsSpace(topic[e - 1])) --e;
    size_t start = b;
    while (start <= e) {
        size_t slash = topic.find('/', start);
        if (slash == std::string::npos || slash > e) slash = e;
        size_t colon = topic.find(':', start);
        size_t from = (colon != std::string::npos && colon < slash) ? colon + 1 : start;
        if (start != b) out += '/';
        out.append(topic, from, slash - from);
        start = slash + 1;
    }
    return out;
}

std::vector<std::string> SplitAlternatives(const std::string& pattern) {
    std::vector<std::string> alts;
    size_t start = 0;
    while (true) {
        size_t bar = pattern.find('|', start);
        if (bar == std::string::npos) {
            alts.push_back(pattern.substr(start));
            break;
        }
        alts.push_back(pattern.substr(start, bar - start));
        start = bar + 1;
    }
    return alts;
}

bool HasAlternative(const std::string& pattern, const char* alt) { return IsOneOf(SplitAlternatives(pattern), alt); }

bool IsNotifiedMsgFound(const Info& info, const OVF_EVT_NOTIF& n) {
    // A key without a match topic selects nothing, not "notifications without a topic".
    if (info.matchTopic.empty()) return false;
    if (NoNsTopic(info.matchTopic) != NoNsTopic(n.topic)) return false;
    if (n.propOper != "Initialized" && n.propOper != "Changed" && n.propOper != "Deleted" &&
        n.propOper != "@UNKNOWN@")
        return false;
    // A rule made from a device's topic list: its items need not sit where an
    // assumed rule would put them, nor be all there.
    if (info.blByName) return IsFoundByName(info, n);
    const OVF_ITEM_LIST& srcPat = info.trigValue.source;
    const OVF_ITEM_LIST& dataPat = info.trigValue.data;
    if (n.source.size() != srcPat.size() || n.data.size() != dataPat.size()) return false;
    OVF_ITEM_LIST::const_iterator p = srcPat.begin();
    for (OVF_ITEM_LIST::const_iterator it = n.source.begin(); it != n.source.end(); ++it, ++p) {
        if (!info.blSrcNameIgnored && it->first != p->first) return false;
        std::vector<std::string> alts = SplitAlternatives(p->second);
        if (!IsSourceWildcard(alts) && !IsOneOf(alts, it->second)) return false;
    }
    if (!info.blDataNameIgnored) {
        p = dataPat.begin();
        for (OVF_ITEM_LIST::const_iterator it = n.data.begin(); it != n.data.end(); ++it, ++p)
            if (it->first != p->first) return false;
    }
    return true;
}

size_t FindEvtStatus(const Info& info, const OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& n) {
    for (size_t i = 0; i < cache.size(); ++i) {
        const OVF_EVT_TOPIC& e = cache[i];
        if (JoinTopic(e.topicParts) != n.topic) continue;
        if (info.blByName) {
            if (SourceIdentity(info, e.source) == SourceIdentity(info, n.source)) return i;
            continue;
        }
        bool same = true;
        OVF_ITEM_LIST::const_iterator pat = info.trigValue.source.begin();
        OVF_ITEM_LIST::const_iterator a = e.source.begin();
        OVF_ITEM_LIST::const_iterator b = n.source.begin();
        for (; pat != info.trigValue.source.end(); ++pat) {
            bool anyA = a != e.source.end(), anyB = b != n.source.end();
            if (!HasAlternative(pat->second, "@ANY@")) {
                if (anyA != anyB || (anyA && *a != *b)) {
                    same = false;
                    break;
                }
            }
            if (anyA) ++a;
            if (anyB) ++b;
        }
        if (same) return i;
    }
    return cache.size();
}

bool IsStandardEvtTrig(const Info& info, const OVF_ITEM_LIST& data) {
    if (info.blByName) {
        if (data.empty()) return true;
        for (const auto& pat : info.trigValue.data) {
            const std::string* v = ItemValue(data, pat.first);
            if (!v) return false;
            bool hit = false;
            // Devices send "True" and "TRUE" as well as "true".
            for (const std::string& alt : SplitAlternatives(pat.second))
                hit = hit || alt == "@ANY@" || EqualNoCase(alt, *v);
            if (!hit) return false;
        }
        return true;
    }
    OVF_ITEM_LIST::const_iterator p = info.trigValue.data.begin();
    for (OVF_ITEM_LIST::const_iterator it = data.begin(); it != data.end(); ++it, ++p) {
        if (p == info.trigValue.data.end()) return false;  // an item no pattern speaks for
        std::vector<std::string> alts = SplitAlternatives(p->second);
        if (!IsOneOf(alts, "@ANY@") && !IsOneOf(alts, it->second)) return false;
    }
    return true;
}

size_t UpdateEvtStatus(const Info& info, OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& n, bool& appended) {
    size_t i = FindEvtStatus(info, cache, n);
    appended = i == cache.size();
    if (appended) cache.push_back(EntryOf(n));
    else cache[i].data = n.data;
    return i;
}

bool IsStandardTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level) {
    level = 0;
    bool trig = false;
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        if (IsStandardEvtTrig(info, cache[i].data)) trig = true;
    }
    if (!trig) {
        for (const OVF_EVT_TOPIC& e : cache) {
            if (IsStandardEvtTrig(info, e.data)) {
                trig = true;
                break;
            }
        }
    }
    level = trig ? 100 : 0;
    return trig;
}

bool IsPanasonicTrig(const Info& info, OVF_EVT_CACHE& cache, std::vector<time_t>& stamps,
                     const OVF_NOTIF_LIST& notifs, time_t now, int& level, double holdSec) {
    level = 0;
    // Entries appended by another rule have no stamp of their own.
    if (stamps.size() < cache.size()) stamps.resize(cache.size(), (time_t)-1);
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        if (appended) stamps.push_back(now);
        else stamps[i] = now;
    }
    bool trig = false;
    for (size_t i = 0; i < cache.size(); ++i) {
        if (!IsStandardEvtTrig(info, cache[i].data)) continue;
        if (difftime(now, stamps[i]) >= holdSec) {
            for (OVF_ITEM_LIST::iterator d = cache[i].data.begin(); d != cache[i].data.end(); ++d) d->second.clear();
            stamps[i] = (time_t)-1;
        } else {
            trig = true;
            level = 100;
        }
    }
    return trig;
}

time_t HoldExpiry(const Info& info, const OVF_EVT_CACHE& cache, const std::vector<time_t>& stamps, double holdSec) {
    time_t first = (time_t)-1;
    const time_t hold = (time_t)ceil(holdSec);
    for (size_t i = 0; i < cache.size() && i < stamps.size(); ++i) {
        if (stamps[i] == (time_t)-1 || !IsStandardEvtTrig(info, cache[i].data)) continue;
        if (first == (time_t)-1 || stamps[i] + hold < first) first = stamps[i] + hold;
    }
    return first;
}

bool IsMomentaryTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level) {
    bool trig = IsStandardTrig(info, cache, notifs, level);
    cache.clear();
    return trig;
}

void SetSpecificPortTrig(const Info& info, const std::map<std::string, int>& tokenPortMap,
                         const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap) {
    int port = -1;
    OVF_ITEM_LIST::const_iterator pat = info.trigValue.source.begin();
    for (OVF_ITEM_LIST::const_iterator it = entry.source.begin(); it != entry.source.end(); ++it) {
        const std::string* p = nullptr;
        if (info.blByName) {
            p = PatternFor(info.trigValue.source, it->first);
        } else if (pat != info.trigValue.source.end()) {
            p = &pat->second;
            ++pat;
        } else {
            break;
        }
        if (!p) continue;
        std::vector<std::string> alts = SplitAlternatives(*p);
        if (!IsOneOf(alts, "@DI_PORT@") || IsOneOf(alts, "@ANY@")) continue;
        std::map<std::string, int>::const_iterator t = tokenPortMap.find(it->second);
        if (t != tokenPortMap.end()) port = t->second;
    }
    if (port == -1) return;
    if (entry.data.empty() || IsStandardEvtTrig(info, entry.data)) portMap[port] = true;
}

void SetPortTrigMap(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                    const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap) {
    for (const OVF_EVT_NOTIF& n : notifs) {
        if (!IsNotifiedMsgFound(info, n)) continue;
        bool appended;
        size_t i = UpdateEvtStatus(info, cache, n, appended);
        SetSpecificPortTrig(info, tokenPortMap, cache[i], portMap);
    }
    for (const OVF_EVT_TOPIC& e : cache) SetSpecificPortTrig(info, tokenPortMap, e, portMap);
}

std::map<int, bool> DITrig(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                           int diCnt, const OVF_NOTIF_LIST& notifs) {
    std::map<int, bool> ports;
    for (int p = 0; p < diCnt; ++p) ports[p] = false;
    if (info.trigType != 1) return ports;
    if (!tokenPortMap.empty()) {
        SetPortTrigMap(info, cache, tokenPortMap, notifs, ports);
        return ports;
    }
    int level;
    ports[0] = IsStandardTrig(info, cache, notifs, level);
    return ports;
}

std::map<std::string, int> TokenPortMap(const std::vector<std::string>& tokens) {
    std::map<std::string, int> m;
    for (size_t i = 0; i < tokens.size(); ++i) m.insert(std::make_pair(tokens[i], (int)i));
    return m;
}

OVF_NS_LIST ParseTopicNs(const std::string& text) {
    OVF_NS_LIST out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos) comma = text.size();
        std::string item = text.substr(start, comma - start);
        size_t at = item.find('@');
        if (at != std::string::npos) out.push_back(std::make_pair(item.substr(0, at), item.substr(at + 1)));
        start = comma + 1;
    }
    return out;
}

bool HasVdoSrcPlaceholder(const Info& info) {
    for (const auto& p : info.trigValue.source)
        if (p.second.find("@VDOSRCTOKEN@") != std::string::npos ||
            p.second.find("@VDOSRCCONFTOKEN@") != std::string::npos)
            return true;
    return false;
}

int ReplaceVdoSrcToken(Info& info, const std::list<OVF_MED_VDO_SRC_CONF>& confs, const std::string& confToken) {
    if (confs.empty()) return -1;
    std::string conf = confToken, src;
    for (const OVF_MED_VDO_SRC_CONF& c : confs) {
        if (c.field[0] == conf) {
            src = c.field[2];
            break;
        }
    }
    if (conf.empty() || src.empty()) {
        conf = confs.front().field[0];
        src = confs.front().field[2];
    }
    for (auto& p : info.trigValue.source) {
        ReplaceFirst(p.second, "@VDOSRCTOKEN@", src);
        ReplaceFirst(p.second, "@VDOSRCCONFTOKEN@", conf);
    }
    return 0;
}

}  // namespace OnvifMatch
