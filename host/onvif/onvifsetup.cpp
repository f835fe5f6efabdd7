#include "host/onvif/onvifsetup.h"

#include "dupfromox/oxdebuglog.h"
#include "interface/onvifservice.h"

namespace {
const char* const kSrc = "host/onvifsetup";
}

int OnvifSetupCameraCap(RecorderCameraCap& cap, const std::string& deviceUrl, const std::string& user,
                        const std::string& password, const std::map<int, std::string>& topics) {
    OnvifDeviceService dev;
    OnvifServiceEnt ent;
    OnvifVersion ver;
    int rc = -1;
    if (dev.UpdateServiceParam(nullptr, deviceUrl, "", "") == 0) {
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
    cap.SetOnvifServiceEnt(ent);
    cap.SetOnvifVersion(ver);
    cap.SetOnvifEvtTopicNs("tns1@http://www.onvif.org/ver10/topics");
    if (!ent.entry[5].empty()) cap.AddCapability(7);
    OnvifEvtConf conf;
    const char* kinds[] = {nullptr, "MotionDetection", "DigitalInput", "TamperingDetection", "AudioDetection"};
    for (int kind = DET_TYPE_MD; kind <= DET_TYPE_AD; ++kind) {
        std::map<int, std::string>::const_iterator it = topics.find(kind);
        cap.SetOnvifTopic(kind, it != topics.end() ? it->second : conf.GetDefaultKey(kinds[kind]));
    }
    return rc;
}
