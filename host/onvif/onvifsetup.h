// What a recorder does when it adds an ONVIF camera: find its services and
// choose its event topics.
#ifndef HOST_ONVIFSETUP_H
#define HOST_ONVIFSETUP_H

#include <time.h>

#include <map>
#include <string>

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

// Asks the device service at deviceUrl for the service addresses and version
// and fills the capability record (service entries, version, topic namespace
// "tns1", capability 7 when the camera has a device IO service) and, for
// every kind without one in topics (DET_TYPE_* -> key), the configuration's
// default topic key. When the device does not answer, every entry is the
// device address. 0 when the device answered.
int OnvifSetupCameraCap(RecorderCameraCap& cap, const std::string& deviceUrl, const std::string& user,
                        const std::string& password, const std::map<int, std::string>& topics);

#endif  // HOST_ONVIFSETUP_H
