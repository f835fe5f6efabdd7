#include "tools/monitor/probe.h"

#include <stdio.h>

#include "interface/clock.h"
#include "tools/common/jsonstring.h"
#include "tools/monitor/recorder.h"

namespace {

// The URL without user information, for output.
std::string ShownUrl(const std::string& url) {
    const size_t scheme = url.find("://");
    const size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    const size_t slash = url.find('/', start);
    const size_t at = url.find('@', start);
    if (at != std::string::npos && (slash == std::string::npos || at < slash))
        return url.substr(0, start) + url.substr(at + 1);
    return url;
}

std::string Names(const std::vector<OVF_ITEM_DESC>& items, bool json) {
    std::string s;
    for (const OVF_ITEM_DESC& d : items) s += (s.empty() ? "" : ",") + (json ? JsonString(d.name) : d.name);
    return json ? "[" + s + "]" : (s.empty() ? "-" : s);
}

const char* FromName(const OnvifSetupReport::Choice& c) {
    switch (c.from) {
    case OnvifSetupReport::Choice::kDevice: return "device";
    case OnvifSetupReport::Choice::kGiven: return "given";
    default: return "default";
    }
}

}  // namespace

std::string OnvifTopicWarning(int kind, const OnvifSetupReport::Choice& c) {
    if (c.from != OnvifSetupReport::Choice::kGiven || c.blListed) return std::string();
    // A long list is cut: the line is for a person.
    const size_t kMax = 12;
    std::string listed;
    for (size_t i = 0; i < c.listedLike.size() && i < kMax; ++i) listed += (i ? ", " : "") + c.listedLike[i];
    if (c.listedLike.size() > kMax) listed += ", ...";
    return std::string("--onvif-topic ") + KindName(kind) + "=" + c.key + ": the device does not list it; it lists " +
           (listed.empty() ? "no topics" : listed);
}

int RunProbe(const MonitorOptions& opt) {
    RecorderCameraCap cap;
    OnvifSetupReport rep;
    BrellinOwned::RecorderServices services(BrellinOwned::RealClock());
    services.SetTls(TlsPolicyOf(opt, "Cam[" + std::to_string(opt.camId) + "]"));
    OnvifSetupCameraCap(cap, opt.onvifDevice, opt.user, opt.password, opt.onvifTopics, &rep,
                        NewHttpOnvifTransport(services));
    const std::string url = ShownUrl(opt.onvifDevice);
    if (!rep.blServicesListed && !rep.blTopicsListed) {
        fprintf(stderr, "camdet-monitor: the ONVIF device at %s does not answer\n", url.c_str());
        return 1;
    }
    if (opt.json) {
        printf("{\"event\":\"device\",\"url\":%s,\"topicsListed\":%s}\n", JsonString(url).c_str(),
               rep.blTopicsListed ? "true" : "false");
        for (const OVF_TOPIC_DESC& t : rep.topics)
            printf("{\"event\":\"topic\",\"topic\":%s,\"source\":%s,\"data\":%s}\n", JsonString(t.topic).c_str(),
                   Names(t.source, true).c_str(), Names(t.data, true).c_str());
    } else {
        if (rep.blTopicsListed)
            printf("device %s lists %zu topics\n", url.c_str(), rep.topics.size());
        else
            printf("device %s lists no topics (no GetEventProperties): the defaults apply\n", url.c_str());
        for (const OVF_TOPIC_DESC& t : rep.topics)
            printf("topic %s source %s data %s\n", t.topic.c_str(), Names(t.source, false).c_str(),
                   Names(t.data, false).c_str());
    }
    for (const auto& kc : rep.choices) {
        const OnvifSetupReport::Choice& c = kc.second;
        if (opt.json)
            printf("{\"event\":\"choice\",\"kind\":\"%s\",\"key\":%s,\"from\":\"%s\",\"listed\":%s}\n",
                   KindName(kc.first), JsonString(c.key).c_str(), FromName(c), c.blListed ? "true" : "false");
        else
            printf("%s %s (%s)\n", KindName(kc.first), c.key.c_str(), FromName(c));
        const std::string warning = OnvifTopicWarning(kc.first, c);
        if (!warning.empty()) fprintf(stderr, "camdet-monitor: %s\n", warning.c_str());
    }
    fflush(stdout);
    return 0;
}
