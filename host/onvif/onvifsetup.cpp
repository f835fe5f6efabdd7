#include "host/onvif/onvifsetup.h"

#include "dupfromox/oxdebuglog.h"
#include "host/onvif/onviftopics.h"
#include "interface/onvifservice.h"

namespace {

const char* const kSrc = "host/onvifsetup";
const char* const kKindNames[] = {nullptr, "MotionDetection", "DigitalInput", "TamperingDetection", "AudioDetection"};
const char* const kKindShort[] = {nullptr, "md", "di", "td", "ad"};

std::string Join(const std::vector<std::string>& items) {
    std::string s;
    for (const std::string& i : items) s += (s.empty() ? "" : ", ") + i;
    return s;
}

const char* FromText(const OnvifSetupReport::Choice& c, bool listed) {
    if (c.from == OnvifSetupReport::Choice::kGiven) return "given";
    if (c.from == OnvifSetupReport::Choice::kDevice) return "from the device";
    return listed ? "default: the device lists none of the table's topics" : "default: the device lists no topics";
}

}  // namespace

int OnvifEventSetupService::GetEventProperties(std::vector<OVF_TOPIC_DESC>& topics) {
    std::string resp;
    const int rc = Call("", "http://www.onvif.org/ver10/events/wsdl/EventPortType/GetEventPropertiesRequest",
                        "<tev:GetEventProperties/>", resp);
    if (rc != 0) return rc;
    return OnvifSoap::ParseEventProperties(resp.data(), resp.size(), topics) == OVF_SOAP_OK ? 0 : kOnvifBadAnswer;
}

int OnvifSetupCameraCap(RecorderCameraCap& cap, const std::string& deviceUrl, const std::string& user,
                        const std::string& password, const std::map<int, std::string>& topics,
                        OnvifSetupReport* report, std::shared_ptr<OnvifTransport> transport, CameraAPI* api) {
    OnvifSetupReport local;
    OnvifSetupReport& rep = report ? *report : local;
    rep = OnvifSetupReport();
    OnvifDeviceService dev;
    OnvifServiceEnt ent;
    OnvifVersion ver;
    int rc = -1;
    if (dev.UpdateServiceParam(api, deviceUrl, "", "") == 0) {
        if (transport) dev.SetTransport(transport);
        dev.SetTimeoutSec(5);
        dev.SetLogin(user, password, deviceUrl);
        rc = dev.GetServiceAddresses(ent, ver);
    }
    if (rc != 0) {
        // Many cameras serve every service at the device address.
        OXLOG(kSrc, "No service list from the ONVIF device; using its address for every service.\n");
        for (int i = 0; i < 6; ++i) ent.entry[i] = deviceUrl;
        ver = OnvifVersion();
    }
    rep.blServicesListed = rc == 0;
    cap.SetOnvifServiceEnt(ent);
    cap.SetOnvifVersion(ver);
    cap.SetOnvifEvtTopicNs("tns1@http://www.onvif.org/ver10/topics");
    if (!ent.entry[5].empty()) cap.AddCapability(7);

    // A device that cannot list its topics keeps the configured defaults.
    OnvifEventSetupService ev;
    if (ev.UpdateServiceParam(api, ent.entry[3], ver.major, ver.minor) == 0) {
        if (transport) ev.SetTransport(transport);
        ev.SetTimeoutSec(5);
        ev.SetLogin(user, password, ent.entry[0]);
        rep.blTopicsListed = ev.GetEventProperties(rep.topics) == 0;
    }

    OnvifEvtConf conf;
    std::string chosen;
    for (int kind = DET_TYPE_MD; kind <= DET_TYPE_AD; ++kind) {
        OnvifSetupReport::Choice c;
        std::map<int, std::string>::const_iterator given = topics.find(kind);
        const std::vector<OnvifEvtConf::TopicRow>& table = conf.GetTopicTable(kKindNames[kind]);
        if (given != topics.end()) {
            c.key = given->second;
            c.from = OnvifSetupReport::Choice::kGiven;
            // Some devices list fewer topics than they send: the key stays.
            if (rep.blTopicsListed && !IsOnvifKeyListed(conf, kKindNames[kind], c.key, rep.topics)) {
                c.blListed = false;
                c.listedLike = ListedKeysLike(table, c.key, rep.topics);
                OXLOG(kSrc, "The ONVIF device does not list the topic key %s; it lists %s.\n", c.key.c_str(),
                      c.listedLike.empty() ? "none" : Join(c.listedLike).c_str());
            }
        } else if (rep.blTopicsListed && !(c.key = ChooseOnvifTopicKey(table, rep.topics)).empty()) {
            c.from = OnvifSetupReport::Choice::kDevice;
        } else {
            c.key = conf.GetDefaultKey(kKindNames[kind]);
        }
        cap.SetOnvifTopic(kind, c.key);
        chosen += std::string(chosen.empty() ? "" : ", ") + kKindShort[kind] + " " + c.key + " (" +
                  FromText(c, rep.blTopicsListed) + ")";
        rep.choices[kind] = c;
    }
    OXLOG(kSrc, "ONVIF event topics: %s.\n", chosen.c_str());
    return rc;
}
