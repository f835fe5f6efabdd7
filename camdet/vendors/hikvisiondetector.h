// HikVision alert streams. The camera pushes one small XML notification per
// part on a long-lived response:
//   <EventNotificationAlert ...>
//     <inputIOPortID>2</inputIOPortID>          (IO events only)
//     <eventType>VMD</eventType>                (IO, VMD, shelteralarm, audioexception, videoloss, ...)
//     <eventState>active</eventState>           (active / inactive)
//   </EventNotificationAlert>
// Older firmware serves it on "/Event/notification/alertStream", ISAPI firmware
// on "/ISAPI/Event/notification/alertStream"; quiet cameras send "videoloss
// inactive" heartbeats between events. One stream serves all four kinds.
#ifndef CAMDET_HIKVISIONDETECTOR_H
#define CAMDET_HIKVISIONDETECTOR_H

#include <string>
#include <vector>

#include "camdet/transport/multipartdetector.h"

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

// Common to the seven classes: timeout 10 s, default HTTP version, body mode
// 0, stream sharing linked with the kind, port from the mediator.
class HikVisionDetector : public MultipartDetector {
public:
    HikVisionDetector(DET_BASE_ATTR attr, int kind, const char* path);
    int GetPathPort(std::string& path, int& port) override;

private:
    const char* m_Path;
};

class HikVisionMD : public HikVisionDetector {
public:
    explicit HikVisionMD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    const HIK_HOLD_STATE& State() const { return m_State; }

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionDI : public HikVisionDetector {
public:
    explicit HikVisionDI(DET_BASE_ATTR attr);
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;

private:
    HIK_PORT_STATE m_State;
};

class HikVisionTD : public HikVisionDetector {
public:
    explicit HikVisionTD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionV3MD : public HikVisionDetector {
public:
    explicit HikVisionV3MD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionV3DI : public HikVisionDetector {
public:
    explicit HikVisionV3DI(DET_BASE_ATTR attr);
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;

private:
    HIK_PORT_STATE m_State;
};

class HikVisionV3TD : public HikVisionDetector {
public:
    explicit HikVisionV3TD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;

private:
    HIK_HOLD_STATE m_State;
};

class HikVisionAD : public HikVisionDetector {
public:
    explicit HikVisionAD(DET_BASE_ATTR attr);
    bool IsTrig(char* buf, unsigned int size, int& level) override;

private:
    HIK_HOLD_STATE m_State;
};

#endif  // CAMDET_HIKVISIONDETECTOR_H
