// What a recorder does when it adds an ONVIF camera: find its services and
// choose its event topics from those the device lists.
#ifndef HOST_ONVIFSETUP_H
#define HOST_ONVIFSETUP_H

#include <time.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/onvif/onvifsoap.h"
#include "host/recorder/camhost.h"
#include "interface/onvifservice.h"

// Device service: what a recorder asks when it adds a camera; the detectors
// never call it.
class OnvifDeviceService : public OnvifServiceBase {
public:
    // Service addresses and the device's ONVIF version: GetServices, or
    // GetCapabilities on cameras that do not know it. 0 on success.
    virtual int GetServiceAddresses(OnvifServiceEnt& ent, OnvifVersion& ver);
    // Camera UTC time; 0 on success.
    virtual int GetSystemDateAndTime(time_t& utc);
};

// Event service as the recorder asks it when it adds a camera.
class OnvifEventSetupService : public OnvifServiceBase {
public:
    // The topics the device lists, with their declared items
    // (GetEventProperties). 0 on success.
    virtual int GetEventProperties(std::vector<OVF_TOPIC_DESC>& topics);
};

// How the set-up went, for a person to read (--probe, the run's warnings).
struct OnvifSetupReport {
    bool blServicesListed = false;  // the device answered GetServices or GetCapabilities
    bool blTopicsListed = false;    // ... and GetEventProperties
    std::vector<OVF_TOPIC_DESC> topics;
    struct Choice {
        std::string key;
        enum From { kDevice, kDefault, kGiven } from = kDefault;
        bool blListed = true;  // kGiven: the device lists it (or lists nothing at all)
        std::vector<std::string> listedLike;  // kGiven and not listed: what the device lists instead
    };
    std::map<int, Choice> choices;  // DET_TYPE_* -> the key the camera got
};

// Asks the device service at deviceUrl for the service addresses and version
// and its event service for the topics it lists, then fills the capability
// record: service entries, version, topic namespace "tns1", capability 7 when
// the camera has a device IO service, and per kind the key given in `topics`
// (DET_TYPE_* -> key), else the first topic of the configuration's table
// that the device lists, else the configuration's default key. When the
// device does not answer, every entry is the device address. Logs the
// choice once. transport: the SOAP exchange (null: HTTP). api (borrowed, may
// be null): the camera's, whose services' health the exchanges report to and
// whose login ration they take. 0 when the device answered.
int OnvifSetupCameraCap(RecorderCameraCap& cap, const std::string& deviceUrl, const std::string& user,
                        const std::string& password, const std::map<int, std::string>& topics,
                        OnvifSetupReport* report = nullptr, std::shared_ptr<OnvifTransport> transport = nullptr,
                        CameraAPI* api = nullptr);

#endif  // HOST_ONVIFSETUP_H
