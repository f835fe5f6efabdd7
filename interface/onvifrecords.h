// Plain records exchanged between the ONVIF detectors, the recorder's ONVIF
// service clients and the camera's capability record. Value semantics.
#ifndef INTERFACE_ONVIFRECORDS_H
#define INTERFACE_ONVIFRECORDS_H

#include <list>
#include <string>
#include <utility>
#include <vector>

typedef std::list<std::pair<std::string, std::string> > OVF_ITEM_LIST;
typedef std::list<std::pair<std::string, std::string> > OVF_NS_LIST;  // (prefix, namespace name)

// The camera's ONVIF service addresses: 0 device, 1 media, 2 imaging,
// 3 events, 4 PTZ, 5 device IO.
struct OnvifServiceEnt {
    std::string entry[6];
};

// Two version texts passed unchanged to every UpdateServiceParam call.
struct OnvifVersion {
    std::string major;
    std::string minor;
};

// One pull-point subscription; an empty address means none.
struct OVF_EVT_PULL_PT {
    std::string address;
    std::string currentTime;
    std::string terminationTime;
    // Seconds from currentTime to terminationTime by the camera's own clock;
    // -1 when the camera did not give both.
    int termSecondsLeft = -1;
    void Clear() {
        address.clear();
        currentTime.clear();
        terminationTime.clear();
        termSecondsLeft = -1;
    }
};

// One notification message.
struct OVF_EVT_NOTIF {
    std::string topic;      // with its namespace prefixes, parts separated by "/"
    std::string utcTime;    // filled by the client, not read by the detectors
    std::string propOper;   // "Initialized", "Changed", "Deleted" or "@UNKNOWN@"
    OVF_ITEM_LIST source;   // source simple items, message order
    OVF_ITEM_LIST data;     // data simple items, message order
};

// The result of one pull.
struct OVF_EVT_PULL_MSG {
    std::string currentTime;
    std::string terminationTime;
    int termSecondsLeft = -1;  // as in OVF_EVT_PULL_PT
    std::list<OVF_EVT_NOTIF> notifs;
};

// One event description: a configured trigger value or a status cache entry.
struct OVF_EVT_TOPIC {
    std::vector<std::string> topicParts;
    OVF_ITEM_LIST source;
    OVF_ITEM_LIST data;
};

// One video source configuration: [0] configuration token, [2] video source token.
struct OVF_MED_VDO_SRC_CONF {
    std::string field[7];
};

#endif  // INTERFACE_ONVIFRECORDS_H
