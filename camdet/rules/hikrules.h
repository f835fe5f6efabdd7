// HikVision alert parts as pure tests: the element lookup of one part and the
// hold, edge, level and sampled tests over a small held state. The camera
// pushes one small XML notification per part:
//   <EventNotificationAlert ...>
//     <inputIOPortID>2</inputIOPortID>          (IO events only)
//     <eventType>VMD</eventType>                (IO, VMD, shelteralarm, audioexception, videoloss, ...)
//     <eventState>active</eventState>           (active / inactive)
//   </EventNotificationAlert>
// Quiet cameras send "videoloss inactive" heartbeats between events.
#ifndef CAMDET_RULES_HIKRULES_H
#define CAMDET_RULES_HIKRULES_H

#include <string>
#include <vector>

// The three elements the tests read from one part.
struct HIK_ALERT {
    bool blType = false, blState = false, blPort = false;
    std::string type, state, port;
};

// Value of an element: the text between the first occurrence of name (plus one
// character) and the first "/" + name after it (minus one character). Names
// are not matched as tags; a name inside earlier text is found there.
bool HikFindElement(const std::string& text, const char* name, std::string& value);
// The whole buffer (all size bytes) as one text, its three elements read.
HIK_ALERT HikParseAlert(const char* buf, unsigned int size);

// Held state of the whole-camera tests.
struct HIK_HOLD_STATE {
    int counter = 0;
    int level = 0;
    bool trig = false;
};
// Held state of the per-port tests, one entry per port.
struct HIK_PORT_STATE {
    std::vector<int> counter;
    std::vector<bool> held;
    explicit HIK_PORT_STATE(int ports = 0) : counter(ports > 0 ? ports : 0, 0), held(ports > 0 ? ports : 0, false) {}
};

// ISAPI hold test: a part of `type` sets the held state from its eventState;
// the eleventh consecutive part of another type clears it; a part without
// eventType changes nothing. Returns the held trigger, level the held level.
bool HikHoldTest(const char* buf, unsigned int size, const char* type, HIK_HOLD_STATE& st, int& level);
// ISAPI per-port hold test for "IO" events; level 1 while held.
bool HikHoldPortTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level);
// Older firmware, edge mode: "active"/"inactive" VMD parts set/clear the hold.
bool HikEdgeMotionTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level);
bool HikEdgeInputTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level);
// Older firmware, level mode: after an evaluated part the next three report
// the held state unexamined; the fourth is evaluated again.
bool HikLevelMotionTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level);
bool HikLevelInputTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level);
// Older firmware tampering: after the first "shelteralarm" part only every
// second part is examined (st.level unused).
bool HikSampledTamperTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level);

#endif  // CAMDET_RULES_HIKRULES_H
