// ONVIF notifications as pure rules: which notifications of a pull belong to
// a detector's event rule, how the per-source status cache holds what each
// source said last, and the standard, hold, momentary and per-input trigger
// rules over it. No thread, no camera, no recorder service; the clock is
// passed in. The pull-point transport and the ONVIF kind classes call these.
//
// A notification (already read from the camera's PullMessages answer) is a
// topic with namespace prefixes ("tns1:RuleEngine/CellMotionDetector/Motion"),
// a property operation ("Initialized", "Changed", "Deleted", "@UNKNOWN@" for
// plain events) and Source and Data SimpleItems (Name, Value). A pattern value
// is a text of "|"-separated alternatives; "@ANY@", "@VENDOR_SPECIFIC@",
// "@MD_WIN@" and "@DI_PORT@" match any source value, only "@ANY@" any data
// value.
#ifndef CAMDET_RULES_ONVIFRULES_H
#define CAMDET_RULES_ONVIFRULES_H

#include <stddef.h>
#include <stdint.h>
#include <time.h>

#include <list>
#include <map>
#include <string>
#include <vector>

#include "interface/onvifrecords.h"

typedef std::list<OVF_EVT_NOTIF> OVF_NOTIF_LIST;
typedef std::vector<OVF_EVT_TOPIC> OVF_EVT_CACHE;

namespace OnvifMatch {

// What a detector's kind and topic key mean; the pull-point detector fills it
// from the recorder's event configuration.
struct Info {
    std::string matchTopic;  // the topic key before its first ";"
    OVF_EVT_TOPIC trigValue;  // source and data patterns; topic parts unused
    int32_t trigType = 0;     // 1 standard, 2 hold (MD), 3 momentary (TD); else never triggers
    bool blSrcNameIgnored = false;
    bool blDataNameIgnored = false;
    // Items found by name instead of by position and count: a rule made from
    // the device's own topic list names the items it cares about (a pattern
    // named "*" speaks for every source item no other names) and lets the
    // rest be; data values then compare without case ("True", "TRUE").
    bool blByName = false;
};

// The topic without namespace prefixes ("tns1:A/tnsx:B" -> "A/B"), white space
// around it removed: the recorder's GetNoNsTopic, here so that the rules need
// nothing outside themselves. Used for equality only.
std::string NoNsTopic(const std::string& topic);
// The "|" alternatives of a pattern value.
std::vector<std::string> SplitAlternatives(const std::string& pattern);
bool HasAlternative(const std::string& pattern, const char* alt);
bool IsNotifiedMsgFound(const Info& info, const OVF_EVT_NOTIF& notif);
// Index of the notification's cache entry, or cache.size().
size_t FindEvtStatus(const Info& info, const OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& notif);
bool IsStandardEvtTrig(const Info& info, const OVF_ITEM_LIST& data);
// Replaces the data of the notification's cache entry or appends an entry;
// returns its index and whether it was appended.
size_t UpdateEvtStatus(const Info& info, OVF_EVT_CACHE& cache, const OVF_EVT_NOTIF& notif, bool& appended);
bool IsStandardTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level);
// Hold rule: a triggering entry stays triggered for less than holdSec after
// its last notification; stamps run parallel to the cache.
bool IsPanasonicTrig(const Info& info, OVF_EVT_CACHE& cache, std::vector<time_t>& stamps,
                     const OVF_NOTIF_LIST& notifs, time_t now, int& level, double holdSec = 5.0);
// The second (on the clock of `now` above) at which the hold rule lets
// the earliest held entry go, or -1 when none is held.
time_t HoldExpiry(const Info& info, const OVF_EVT_CACHE& cache, const std::vector<time_t>& stamps,
                  double holdSec = 5.0);
// Standard rule, then the cache is emptied.
bool IsMomentaryTrig(const Info& info, OVF_EVT_CACHE& cache, const OVF_NOTIF_LIST& notifs, int& level);
void SetSpecificPortTrig(const Info& info, const std::map<std::string, int>& tokenPortMap,
                         const OVF_EVT_TOPIC& entry, std::map<int, bool>& portMap);
void SetPortTrigMap(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                    const OVF_NOTIF_LIST& notifs, std::map<int, bool>& portMap);
// The whole DI rule: ports 0 .. diCnt - 1 start false.
std::map<int, bool> DITrig(const Info& info, OVF_EVT_CACHE& cache, const std::map<std::string, int>& tokenPortMap,
                           int diCnt, const OVF_NOTIF_LIST& notifs);
// Token i is port i; the first occurrence of a token wins.
std::map<std::string, int> TokenPortMap(const std::vector<std::string>& tokens);
// Splits "p1@ns1,p2@ns2" into (prefix, name) pairs; items without "@" dropped.
OVF_NS_LIST ParseTopicNs(const std::string& text);
// Replaces the first placeholder of each source pattern. -1 when confs is
// empty (patterns untouched).
int ReplaceVdoSrcToken(Info& info, const std::list<OVF_MED_VDO_SRC_CONF>& confs, const std::string& confToken);
bool HasVdoSrcPlaceholder(const Info& info);

}  // namespace OnvifMatch

#endif  // CAMDET_RULES_ONVIFRULES_H
