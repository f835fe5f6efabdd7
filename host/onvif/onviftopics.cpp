#include "host/onvif/onviftopics.h"

namespace {

std::string TopicOfKey(const std::string& key) { return GetNoNsTopic(key.substr(0, key.find(';'))); }

bool IsBoolean(const std::string& type) {
    const size_t colon = type.find(':');
    return (colon == std::string::npos ? type : type.substr(colon + 1)) == "boolean";
}

const OVF_TOPIC_DESC* Listed(const std::vector<OVF_TOPIC_DESC>& topics, const std::string& noNsTopic) {
    for (const OVF_TOPIC_DESC& t : topics)
        if (GetNoNsTopic(t.topic) == noNsTopic) return &t;
    return nullptr;
}

void AddKeys(const OVF_TOPIC_DESC& t, std::vector<std::string>& out) {
    for (const OVF_ITEM_DESC& d : t.data) out.push_back(t.topic + ";" + d.name);
    if (t.data.empty()) out.push_back(t.topic);
}

}  // namespace

std::string OnvifStateItem(const OnvifEvtConf::TopicRow& row, const OVF_TOPIC_DESC& topic) {
    for (const std::string& want : row.items)
        for (const OVF_ITEM_DESC& d : topic.data)
            if (d.name == want) return d.name;
    for (const OVF_ITEM_DESC& d : topic.data)
        if (IsBoolean(d.type)) return d.name;
    if (!topic.data.empty()) return topic.data.front().name;
    return row.items.empty() ? std::string() : row.items.front();
}

std::string ChooseOnvifTopicKey(const std::vector<OnvifEvtConf::TopicRow>& table,
                                const std::vector<OVF_TOPIC_DESC>& topics) {
    for (const OnvifEvtConf::TopicRow& row : table) {
        for (const OVF_TOPIC_DESC& t : topics) {
            if (!OnvifTopicMatches(row.topic, GetNoNsTopic(t.topic))) continue;
            const std::string item = OnvifStateItem(row, t);
            if (!item.empty()) return t.topic + ";" + item;
        }
    }
    return std::string();
}

bool IsOnvifKeyListed(const OnvifEvtConf& conf, const std::string& kindName, const std::string& key,
                      const std::vector<OVF_TOPIC_DESC>& topics) {
    if (key.find(';') == std::string::npos) return false;
    const OVF_TOPIC_DESC* t = Listed(topics, TopicOfKey(key));
    if (!t) return false;
    if (t->data.empty() || conf.IsDataNameIgnored(kindName, key)) return true;
    const OVF_EVT_TOPIC rule = conf.GetTrigValue(kindName, key);
    for (const auto& want : rule.data) {
        bool found = false;
        for (const OVF_ITEM_DESC& d : t->data) found = found || d.name == want.first;
        if (!found) return false;
    }
    return true;
}

std::vector<std::string> ListedKeysLike(const std::vector<OnvifEvtConf::TopicRow>& table, const std::string& key,
                                        const std::vector<OVF_TOPIC_DESC>& topics) {
    std::vector<std::string> out;
    const OVF_TOPIC_DESC* same = Listed(topics, TopicOfKey(key));
    if (same) {
        AddKeys(*same, out);
        return out;
    }
    for (const OVF_TOPIC_DESC& t : topics) {
        bool inTable = false;
        for (const OnvifEvtConf::TopicRow& row : table) inTable = inTable || OnvifTopicMatches(row.topic, GetNoNsTopic(t.topic));
        if (inTable) AddKeys(t, out);
    }
    if (out.empty())
        for (const OVF_TOPIC_DESC& t : topics) AddKeys(t, out);
    return out;
}
