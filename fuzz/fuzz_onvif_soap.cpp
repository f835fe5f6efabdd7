// Fuzzes the readers of ONVIF answers with hostile camera bytes: every
// reader over the same buffer. A successful pull or topic list must stay
// within the bounds on notifications, topics and items, whatever the camera
// sends.
#include "fuzz/fuzzcheck.h"
#include "host/onvif/onvifsoap.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const char* p = reinterpret_cast<const char*>(data);
    OVF_EVT_PULL_MSG msg;
    if (OnvifSoap::ParsePullMessages(p, size, msg) == OVF_SOAP_OK) {
        if (msg.notifs.size() > kOnvifMaxNotifs) __builtin_trap();
        for (const OVF_EVT_NOTIF& n : msg.notifs) {
            if (n.source.size() > kOnvifMaxItems || n.data.size() > kOnvifMaxItems) __builtin_trap();
            if (n.propOper.empty()) __builtin_trap();  // "@UNKNOWN@" when the camera sent none
        }
    }
    std::vector<OVF_TOPIC_DESC> topics;
    if (OnvifSoap::ParseEventProperties(p, size, topics) == OVF_SOAP_OK) {
        if (topics.size() > kOnvifMaxTopics) __builtin_trap();
        for (const OVF_TOPIC_DESC& t : topics)
            if (t.source.size() > kOnvifMaxItems || t.data.size() > kOnvifMaxItems || t.topic.empty()) __builtin_trap();
    }
    OVF_EVT_PULL_PT pp;
    OnvifSoap::ParseCreatePullPoint(p, size, pp);
    std::list<OVF_MED_VDO_SRC_CONF> confs;
    OnvifSoap::ParseVideoSourceConfigurations(p, size, confs);
    std::vector<std::string> tokens;
    OnvifSoap::ParseDigitalInputs(p, size, tokens);
    OnvifServiceEnt ent;
    OnvifVersion ver;
    OnvifSoap::ParseServices(p, size, ent, ver);
    OnvifSoap::ParseCapabilities(p, size, ent, ver);
    time_t t;
    OnvifSoap::ParseSystemDateAndTime(p, size, t);
    OnvifSoap::Fault f;
    OnvifSoap::CheckEnvelope(p, size, f);
    f.IsAuth();
    std::string raw;
    OnvifSoap::Base64Decode(std::string(p, size), raw);
    OnvifSoap::ParseIsoUtc(std::string(p, size), t);
    return 0;
}
