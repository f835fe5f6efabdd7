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

}  // namespace

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
    for (const std::string& kind : root.getMemberNames()) {
        const Json::Value& k = root[kind];
        if (!k.isObject()) continue;  // comments and other annotations
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
    return true;
}

const OnvifEvtConf::Rule* OnvifEvtConf::Find(const std::string& kindName, const std::string& key) const {
    std::map<std::string, std::map<std::string, Rule> >::const_iterator k = m_Rules.find(kindName);
    if (k == m_Rules.end()) return nullptr;
    std::map<std::string, Rule>::const_iterator r = k->second.find(key);
    return r == k->second.end() ? nullptr : &r->second;
}

OVF_EVT_TOPIC OnvifEvtConf::GetTrigValue(const std::string& kindName, const std::string& key) const {
    const Rule* r = Find(kindName, key);
    return r ? r->trigValue : OVF_EVT_TOPIC();
}

int OnvifEvtConf::GetTrigType(const std::string& kindName, const std::string& key) const {
    const Rule* r = Find(kindName, key);
    return r ? r->trigType : 0;
}

bool OnvifEvtConf::IsSrcNameIgnored(const std::string& kindName, const std::string& key) const {
    const Rule* r = Find(kindName, key);
    return r && r->blSrcNameIgnored;
}

bool OnvifEvtConf::IsDataNameIgnored(const std::string& kindName, const std::string& key) const {
    const Rule* r = Find(kindName, key);
    return r && r->blDataNameIgnored;
}

std::string OnvifEvtConf::GetDefaultKey(const std::string& kindName) const {
    std::map<std::string, std::string>::const_iterator it = m_Defaults.find(kindName);
    return it == m_Defaults.end() ? std::string() : it->second;
}

std::vector<std::string> OnvifEvtConf::GetKeys(const std::string& kindName) const {
    std::map<std::string, std::vector<std::string> >::const_iterator it = m_KeyOrder.find(kindName);
    return it == m_KeyOrder.end() ? std::vector<std::string>() : it->second;
}
