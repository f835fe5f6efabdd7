// Topic families of the simulated ONVIF device: what it lists in
// GetEventProperties and the notifications it sends for its alarm state,
// shaped like the families of real firmware.
#include <map>
#include <memory>

#include "tools/camsim/onvifsim.h"

namespace camsim {
namespace onvifsim {

namespace {

enum What { kMotion, kTamper, kAudio, kInput };

struct TopicDef {
    What what;
    const char* topic;   // as sent
    const char* source;  // "Name=Value;Name=Value"; "{n}" is the input's number
    const char* item;    // the data item
    const char* on;
    const char* off;
};

struct Family {
    const char* name;
    std::vector<TopicDef> topics;
};

const char kAudioSource[] =
    "AudioSourceConfigurationToken=AudioSourceConfig_1;AudioAnalyticsConfigurationToken=AudioAnalyticsConfig_1;"
    "Rule=MyAudioDetectorRule";

const std::vector<Family>& Families() {
    static const std::vector<Family> kFamilies = {
        // Both motion topics, the rule engine's first (many cameras).
        {"cellmotion",
         {{kMotion, "tns1:RuleEngine/CellMotionDetector/Motion",
           "VideoSourceConfigurationToken=VideoSourceConfig_1;VideoAnalyticsConfigurationToken=VideoAnalyticsConfig_1;"
           "Rule=MyMotionDetectorRule",
           "IsMotion", "true", "false"},
          {kMotion, "tns1:VideoSource/MotionAlarm", "Source=VideoSource_1", "State", "true", "false"},
          {kTamper, "tns1:RuleEngine/TamperDetector/Tamper",
           "VideoSourceConfigurationToken=VideoSourceConfig_1;VideoAnalyticsConfigurationToken=VideoAnalyticsConfig_1;"
           "Rule=MyTamperDetectorRule",
           "IsTamper", "true", "false"},
          {kAudio, "tns1:AudioAnalytics/Audio/DetectedSound", kAudioSource, "IsSoundDetected", "true", "false"},
          {kInput, "tns1:Device/Trigger/DigitalInput", "InputToken=DI_{n}", "LogicalState", "true", "false"}}},
        // Small cameras with a CGI event service: the video source's alarms only.
        {"motionalarm",
         {{kMotion, "tns1:VideoSource/MotionAlarm", "Source=VideoSource_1", "State", "true", "false"},
          {kTamper, "tns1:VideoSource/GlobalSceneChange/ImagingService", "Source=VideoSource_1", "State", "true",
           "false"},
          {kAudio, "tns1:AudioAnalytics/Audio/DetectedSound", kAudioSource, "IsSoundDetected", "true", "false"},
          {kInput, "tns1:Device/Trigger/DigitalInput", "InputToken=DI_{n}", "LogicalState", "true", "false"}}},
        // Region motion detection of newer analytics, states as 1 and 0.
        {"regionmotion",
         {{kMotion, "tns1:RuleEngine/MotionRegionDetector/Motion",
           "VideoSourceConfigurationToken=VideoSourceConfig_1;VideoAnalyticsConfigurationToken=VideoAnalyticsConfig_1;"
           "Rule=MyRegionRule",
           "State", "1", "0"},
          {kTamper, "tns1:RuleEngine/TamperDetector/Tamper",
           "VideoSourceConfigurationToken=VideoSourceConfig_1;VideoAnalyticsConfigurationToken=VideoAnalyticsConfig_1;"
           "Rule=MyTamperDetectorRule",
           "IsTamper", "true", "false"},
          {kAudio, "tns1:AudioAnalytics/Audio/DetectedSound", kAudioSource, "IsSoundDetected", "true", "false"},
          {kInput, "tns1:Device/Trigger/DigitalInput", "InputToken=DI_{n}", "LogicalState", "true", "false"}}},
        // A vendor's own motion and input topics, booleans capitalised.
        {"vendor",
         {{kMotion, "tns1:VideoAnalytics/tnsvendor:MotionDetection", "Source=VideoSource_1", "motion", "True",
           "False"},
          {kTamper, "tns1:VideoSource/GlobalSceneChange/ImagingService", "Source=VideoSource_1", "State", "true",
           "false"},
          {kAudio, "tns1:AudioAnalytics/Audio/DetectedSound", kAudioSource, "IsSoundDetected", "true", "false"},
          {kInput, "tns1:Device/tnsvendor:IO/Port", "port=DI_{n}", "state", "1", "0"}}},
    };
    return kFamilies;
}

const Family& Find(const std::string& name) {
    for (const Family& f : Families())
        if (name == f.name) return f;
    return Families().front();
}

std::vector<std::pair<std::string, std::string> > SourceItems(const char* items, int input) {
    std::vector<std::pair<std::string, std::string> > out;
    std::string s = items;
    size_t start = 0;
    while (start < s.size()) {
        size_t semi = s.find(';', start);
        if (semi == std::string::npos) semi = s.size();
        std::string item = s.substr(start, semi - start);
        size_t eq = item.find('=');
        std::string value = item.substr(eq + 1);
        size_t n = value.find("{n}");
        if (n != std::string::npos) value.replace(n, 3, std::to_string(input));
        out.push_back(std::make_pair(item.substr(0, eq), value));
        start = semi + 1;
    }
    return out;
}

std::string Item(const std::string& name, const std::string& value) {
    return "<tt:SimpleItem Name=\"" + name + "\" Value=\"" + Esc(value) + "\"/>";
}

std::string Notification(const TopicDef& t, const char* op, int input, bool on) {
    std::string src;
    for (const auto& it : SourceItems(t.source, input)) src += Item(it.first, it.second);
    std::string m = "<wsnt:NotificationMessage><wsnt:Topic "
                    "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\">";
    m += t.topic;
    m += "</wsnt:Topic><wsnt:Message><tt:Message UtcTime=\"" + Iso(time(nullptr)) + "\" PropertyOperation=\"";
    m += op;
    m += "\"><tt:Source>" + src + "</tt:Source><tt:Key/><tt:Data>" + Item(t.item, on ? t.on : t.off) +
         "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage>";
    return m;
}

// The topic set is a tree of the topics' levels.
struct Node {
    std::vector<std::pair<std::string, std::unique_ptr<Node> > > children;
    const TopicDef* topic = nullptr;
    Node* Child(const std::string& name) {
        for (auto& c : children)
            if (c.first == name) return c.second.get();
        children.push_back(std::make_pair(name, std::unique_ptr<Node>(new Node())));
        return children.back().second.get();
    }
};

void Render(const Node& n, std::string& out) {
    for (const auto& c : n.children) {
        const Node& child = *c.second;
        out += "<" + c.first + (child.topic ? " wstop:topic=\"true\">" : ">");
        if (child.topic) {
            out += "<tt:MessageDescription IsProperty=\"true\"><tt:Source>";
            for (const auto& it : SourceItems(child.topic->source, 1))
                out += "<tt:SimpleItemDescription Name=\"" + it.first + "\" Type=\"tt:ReferenceToken\"/>";
            out += "</tt:Source><tt:Data><tt:SimpleItemDescription Name=\"" + std::string(child.topic->item) +
                   "\" Type=\"xs:boolean\"/></tt:Data></tt:MessageDescription>";
        }
        Render(child, out);
        out += "</" + c.first + ">";
    }
}

}  // namespace

bool IsTopicFamily(const std::string& name) {
    for (const Family& f : Families())
        if (name == f.name) return true;
    return false;
}

std::string TopicFamilyNames() {
    std::string s;
    for (const Family& f : Families()) s += (s.empty() ? "" : "|") + std::string(f.name);
    return s;
}

std::string EventProperties(const std::string& family, int inputs) {
    Node root;
    for (const TopicDef& t : Find(family).topics) {
        if (t.what == kInput && inputs <= 0) continue;
        Node* n = &root;
        std::string topic = t.topic;
        size_t start = 0;
        while (true) {
            size_t slash = topic.find('/', start);
            n = n->Child(topic.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
            if (slash == std::string::npos) break;
            start = slash + 1;
        }
        n->topic = &t;
    }
    std::string set;
    Render(root, set);
    return "<tev:GetEventPropertiesResponse><tev:TopicNamespaceLocation>"
           "http://www.onvif.org/onvif/ver10/topics/topicns.xml</tev:TopicNamespaceLocation>"
           "<wsnt:FixedTopicSet>true</wsnt:FixedTopicSet><wstop:TopicSet>" +
           set +
           "</wstop:TopicSet><wsnt:TopicExpressionDialect>"
           "http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet</wsnt:TopicExpressionDialect>"
           "<tev:MessageContentFilterDialect>http://www.onvif.org/ver10/tev/messageContentFilter/ItemFilter"
           "</tev:MessageContentFilterDialect></tev:GetEventPropertiesResponse>";
}

std::vector<std::string> Notifications(const std::string& family, const AlarmState& prev, const AlarmState& cur,
                                       bool all) {
    const char* op = all ? "Initialized" : "Changed";
    std::vector<std::string> out;
    for (const TopicDef& t : Find(family).topics) {
        switch (t.what) {
        case kMotion:
            if (all || prev.motion != cur.motion) out.push_back(Notification(t, op, 1, cur.motion));
            break;
        case kTamper:
            if (all || prev.tamper != cur.tamper) out.push_back(Notification(t, op, 1, cur.tamper));
            break;
        case kAudio:
            if (all || prev.audio != cur.audio) out.push_back(Notification(t, op, 1, cur.audio));
            break;
        case kInput:
            for (size_t i = 0; i < cur.inputs.size(); ++i) {
                const bool was = i < prev.inputs.size() && prev.inputs[i];
                if (all || was != cur.inputs[i]) out.push_back(Notification(t, op, (int)i + 1, cur.inputs[i]));
            }
            break;
        }
    }
    return out;
}

}  // namespace onvifsim

std::vector<std::string> OnvifTopicFamilies() {
    std::vector<std::string> names;
    for (const onvifsim::Family& f : onvifsim::Families()) names.push_back(f.name);
    return names;
}

}  // namespace camsim
