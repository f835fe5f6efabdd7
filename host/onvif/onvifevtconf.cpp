// The recorder's ONVIF event configuration: rules per (kind name, topic key)
// read from a JSON file, with the same file compiled in as the fallback.
#include "host/onvif/onvifevtconf.h"

#include <json/json.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "dupfromox/oxdebuglog.h"
#include "host/onvifevtconf_builtin.h"  // generated from host/onvif/data/onvifevtconf.json
#include "interface/hostservices.h"
#include "interface/onvifservice.h"

#ifndef CAMDET_DATA_DIR
#define CAMDET_DATA_DIR "/usr/share/camdet"
#endif

namespace {

const char* const kSrc = "host/onvifevtconf";

bool ReadItemList(const Json::Value& arr, OVF_ITEM_LIST& out, std::string& error) {
    if (arr.isNull()) return true;
    if (!arr.isArray()) {
        error = "source/data is not an array";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < arr.size(); ++i) {
        const Json::Value& it = arr[i];
        if (!it.isObject() || !it["name"].isString() || !it["value"].isString()) {
            error = "an item has no string name and value";
            return false;
        }
        out.push_back(std::make_pair(it["name"].asString(), it["value"].asString()));
    }
    return true;
}

bool ReadTopicRows(const std::string& kind, const Json::Value& arr, std::vector<OnvifEvtConf::TopicRow>& out,
                   std::string& error) {
    if (arr.isNull()) return true;
    if (!arr.isArray()) {
        error = kind + ": topics is not an array";
        return false;
    }
    for (Json::ArrayIndex i = 0; i < arr.size(); ++i) {
        const Json::Value& t = arr[i];
        OnvifEvtConf::TopicRow row;
        if (!t.isObject() || !t["topic"].isString() || (!t["items"].isNull() && !t["items"].isArray()) ||
            (!t["active"].isNull() && !t["active"].isString()) || (!t["trigType"].isNull() && !t["trigType"].isInt())) {
            error = kind + ": a topic row needs a string topic (items a list, active a string, trigType an integer)";
            return false;
        }
        row.topic = t["topic"].asString();
        for (Json::ArrayIndex k = 0; k < t["items"].size(); ++k) {
            if (!t["items"][k].isString()) {
                error = kind + " " + row.topic + ": items must be strings";
                return false;
            }
            row.items.push_back(t["items"][k].asString());
        }
        std::string itemError;
        if (!ReadItemList(t["source"], row.source, itemError)) {
            error = kind + " " + row.topic + ": " + itemError;
            return false;
        }
        row.active = t["active"].isString() ? t["active"].asString() : "true|1";
        if (t["trigType"].isInt()) row.trigType = t["trigType"].asInt();
        out.push_back(row);
    }
    return true;
}

std::vector<std::string> SplitLevels(const std::string& s) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        size_t slash = s.find('/', start);
        out.push_back(s.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) return out;
        start = slash + 1;
    }
}

// "*" in the pattern stands for any run of characters.
bool GlobMatches(const std::string& pat, const std::string& text) {
    size_t p = 0, t = 0, star = std::string::npos, mark = 0;
    while (t < text.size()) {
        if (p < pat.size() && pat[p] == '*') {
            star = p++;
            mark = t;
        } else if (p < pat.size() && pat[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pat.size() && pat[p] == '*') ++p;
    return p == pat.size();
}

const std::vector<OnvifEvtConf::TopicRow> kNoRows;

}  // namespace

bool OnvifTopicMatches(const std::string& pattern, const std::string& noNsTopic) {
    std::vector<std::string> p = SplitLevels(pattern), t = SplitLevels(noNsTopic);
    if (p.size() != t.size()) return false;
    for (size_t i = 0; i < p.size(); ++i)
        if (!GlobMatches(p[i], t[i])) return false;
    return true;
}

const char* OnvifEvtConfBuiltinText() { return kOnvifEvtConfBuiltin; }

OnvifEvtConf::OnvifEvtConf() {
    const char* env = getenv("CAMDET_ONVIF_EVTCONF");
    LoadFile(env && *env ? std::string(env) : std::string(CAMDET_DATA_DIR "/onvifevtconf.json"));
}

OnvifEvtConf::OnvifEvtConf(const std::string& path) { LoadFile(path); }

OnvifEvtConf::~OnvifEvtConf() {}

void OnvifEvtConf::LoadFile(const std::string& path) {
    std::string error;
    std::ifstream in(path.c_str(), std::ios::binary);
    if (in) {
        std::ostringstream ss;
        ss << in.rdbuf();
        if (ss.str().size() > (1u << 20)) error = "file too large";
        else if (LoadText(ss.str(), error)) return;
    } else {
        error = "cannot read the file";
    }
    OXLOG(kSrc, "Bad ONVIF event configuration %s (%s), using the built-in rules.\n", path.c_str(), error.c_str());
    std::string ignored;
    LoadText(OnvifEvtConfBuiltinText(), ignored);
}

bool OnvifEvtConf::LoadText(const std::string& text, std::string& error) {
    Json::Value root;
    if (!BrellinOwned::JsonParse(text, root) || !root.isObject()) {
        error = "not a JSON object";
        return false;
    }
    std::map<std::string, std::map<std::string, Rule> > rules;
    std::map<std::string, std::vector<std::string> > order;
    std::map<std::string, std::string> defaults;
    std::map<std::string, std::vector<TopicRow> > topics;
    for (const std::string& kind : root.getMemberNames()) {
        const Json::Value& k = root[kind];
        if (!k.isObject()) continue;  // comments and other annotations
        if (!ReadTopicRows(kind, k["topics"], topics[kind], error)) return false;
        const Json::Value& keys = k["keys"];
        if (!keys.isArray()) {
            error = kind + ": no keys array";
            return false;
        }
        for (Json::ArrayIndex i = 0; i < keys.size(); ++i) {
            const Json::Value& r = keys[i];
            if (!r.isObject() || !r["key"].isString() || !r["trigType"].isInt()) {
                error = kind + ": a rule has no string key or integer trigType";
                return false;
            }
            Rule rule;
            rule.trigType = r["trigType"].asInt();
            const Json::Value& sn = r["ignoreSourceNames"];
            const Json::Value& dn = r["ignoreDataNames"];
            if ((!sn.isNull() && !sn.isBool()) || (!dn.isNull() && !dn.isBool())) {
                error = kind + ": ignoreSourceNames/ignoreDataNames must be true or false";
                return false;
            }
            rule.blSrcNameIgnored = sn.isBool() && sn.asBool();
            rule.blDataNameIgnored = dn.isBool() && dn.asBool();
            std::string itemError;
            if (!ReadItemList(r["source"], rule.trigValue.source, itemError) ||
                !ReadItemList(r["data"], rule.trigValue.data, itemError)) {
                error = kind + " " + r["key"].asString() + ": " + itemError;
                return false;
            }
            const std::string key = r["key"].asString();
            if (rules[kind].insert(std::make_pair(key, rule)).second) order[kind].push_back(key);
        }
        const Json::Value& def = k["default"];
        if (def.isString()) defaults[kind] = def.asString();
    }
    if (rules.empty()) {
        error = "no rules";
        return false;
    }
    m_Rules.swap(rules);
    m_KeyOrder.swap(order);
    m_Defaults.swap(defaults);
    m_Topics.swap(topics);
    return true;
}

bool OnvifEvtConf::Find(const std::string& kindName, const std::string& key, Rule& rule) const {
    std::map<std::string, std::map<std::string, Rule> >::const_iterator k = m_Rules.find(kindName);
    if (k == m_Rules.end()) return false;
    std::map<std::string, Rule>::const_iterator r = k->second.find(key);
    if (r != k->second.end()) {
        rule = r->second;
        return true;
    }
    // "TOPIC;ITEM" as a device lists them: the first row of the table that
    // covers the topic gives the rest; a topic no row covers gets the plain
    // rule (ports of inputs from any source item).
    const size_t semi = key.find(';');
    if (semi == 0 || semi == std::string::npos || semi + 1 == key.size() || key.find(';', semi + 1) != std::string::npos)
        return false;
    const std::string topic = GetNoNsTopic(key.substr(0, semi));
    TopicRow row;
    row.active = "true|1";
    if (kindName == "DigitalInput") row.source.push_back(std::make_pair("*", "@DI_PORT@"));
    for (const TopicRow& t : GetTopicTable(kindName)) {
        if (OnvifTopicMatches(t.topic, topic)) {
            row = t;
            break;
        }
    }
    rule = Rule();
    rule.trigValue.source = row.source;
    rule.trigValue.data.push_back(std::make_pair(key.substr(semi + 1), row.active));
    rule.trigType = row.trigType;
    rule.blByName = true;
    return true;
}

OVF_EVT_TOPIC OnvifEvtConf::GetTrigValue(const std::string& kindName, const std::string& key) const {
    Rule r;
    return Find(kindName, key, r) ? r.trigValue : OVF_EVT_TOPIC();
}

int OnvifEvtConf::GetTrigType(const std::string& kindName, const std::string& key) const {
    Rule r;
    return Find(kindName, key, r) ? r.trigType : 0;
}

bool OnvifEvtConf::IsSrcNameIgnored(const std::string& kindName, const std::string& key) const {
    Rule r;
    return Find(kindName, key, r) && r.blSrcNameIgnored;
}

bool OnvifEvtConf::IsDataNameIgnored(const std::string& kindName, const std::string& key) const {
    Rule r;
    return Find(kindName, key, r) && r.blDataNameIgnored;
}

bool OnvifEvtConf::IsMatchedByName(const std::string& kindName, const std::string& key) const {
    Rule r;
    return Find(kindName, key, r) && r.blByName;
}

const std::vector<OnvifEvtConf::TopicRow>& OnvifEvtConf::GetTopicTable(const std::string& kindName) const {
    std::map<std::string, std::vector<TopicRow> >::const_iterator it = m_Topics.find(kindName);
    return it == m_Topics.end() ? kNoRows : it->second;
}

std::string OnvifEvtConf::GetDefaultKey(const std::string& kindName) const {
    std::map<std::string, std::string>::const_iterator it = m_Defaults.find(kindName);
    return it == m_Defaults.end() ? std::string() : it->second;
}

std::vector<std::string> OnvifEvtConf::GetKeys(const std::string& kindName) const {
    std::map<std::string, std::vector<std::string> >::const_iterator it = m_KeyOrder.find(kindName);
    return it == m_KeyOrder.end() ? std::vector<std::string>() : it->second;
}
