#include "camdet/vendors/hikvisiondetector.h"

#include <limits.h>
#include <string.h>

namespace {
const char* const kOldPath = "/Event/notification/alertStream";
const std::string kIsapiPath = std::string("/ISAPI") + "/Event/notification/alertStream";
const int kHoldParts = 10;  // parts of other types that keep an ISAPI hold

// Post-increment that saturates: a camera that never sends the awaited type
// must not overflow the counter.
int Bump(int& c) {
    int v = c;
    if (c < INT_MAX) ++c;
    return v;
}

bool IsActive(const HIK_ALERT& a) { return a.blState && a.state == "active"; }

bool PortMatches(const HIK_ALERT& a, int port) {
    return a.blPort && a.port == std::to_string(port + 1);
}

bool PortInRange(const HIK_PORT_STATE& st, int port) { return port >= 0 && (size_t)port < st.counter.size(); }

bool ReportHeld(const HIK_HOLD_STATE& st, int& level) {
    level = st.level;
    return st.trig;
}

bool ReportPort(const HIK_PORT_STATE& st, int port, int& level) {
    bool held = st.held[port];
    level = held ? 1 : 0;
    return held;
}
}  // namespace

bool HikFindElement(const std::string& text, const char* name, std::string& value) {
    const size_t nameLen = strlen(name);
    size_t p = text.find(name);
    if (p == std::string::npos) return false;
    size_t q = text.find(std::string("/") + name, p);
    if (q == std::string::npos) return false;
    size_t start = p + nameLen + 1;
    value = (q >= start + 1) ? text.substr(start, q - 1 - start) : std::string();
    return true;
}

HIK_ALERT HikParseAlert(const char* buf, unsigned int size) {
    HIK_ALERT a;
    if (!buf) return a;
    const std::string text(buf, size);
    a.blType = HikFindElement(text, "eventType", a.type);
    a.blState = HikFindElement(text, "eventState", a.state);
    a.blPort = HikFindElement(text, "inputIOPortID", a.port);
    return a;
}

bool HikHoldTest(const char* buf, unsigned int size, const char* type, HIK_HOLD_STATE& st, int& level) {
    level = 0;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (!a.blType) return ReportHeld(st, level);
    if (a.type != type) {
        if (Bump(st.counter) > kHoldParts - 1) {
            st.trig = false;
            st.level = 0;
        }
        return ReportHeld(st, level);
    }
    st.trig = IsActive(a);
    st.level = st.trig ? 100 : 0;
    st.counter = 0;
    return ReportHeld(st, level);
}

bool HikHoldPortTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level) {
    level = 0;
    if (!PortInRange(st, port)) return false;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (!a.blType) return ReportPort(st, port, level);
    if (a.type == "IO" && PortMatches(a, port)) {
        st.held[port] = IsActive(a);
        st.counter[port] = 0;
    } else if (Bump(st.counter[port]) > kHoldParts - 1) {
        st.held[port] = false;
    }
    return ReportPort(st, port, level);
}

bool HikEdgeMotionTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level) {
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (a.blType && a.type == "VMD" && a.blState) {
        if (a.state == "active") {
            st.trig = true;
            st.level = 100;
        } else if (a.state == "inactive") {
            st.trig = false;
            st.level = 0;
        }
    }
    return ReportHeld(st, level);
}

bool HikEdgeInputTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level) {
    level = 0;
    if (!PortInRange(st, port)) return false;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (a.blType && a.type == "IO" && PortMatches(a, port) && a.blState) {
        if (a.state == "active") st.held[port] = true;
        else if (a.state == "inactive") st.held[port] = false;
    }
    return ReportPort(st, port, level);
}

bool HikLevelMotionTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level) {
    if (Bump(st.counter) <= 2) return ReportHeld(st, level);
    level = 0;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (a.blType &&
        (a.type == "VMD" || a.type == "facedetection" || a.type == "fielddetection" || a.type == "linedetection")) {
        st.trig = IsActive(a);
        st.level = st.trig ? 100 : 0;
        st.counter = 0;
        return ReportHeld(st, level);
    }
    return false;
}

bool HikLevelInputTest(int port, const char* buf, unsigned int size, HIK_PORT_STATE& st, int& level) {
    level = 0;
    if (!PortInRange(st, port)) return false;
    if (Bump(st.counter[port]) <= 2) return ReportPort(st, port, level);
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (a.blType && a.type == "IO" && PortMatches(a, port)) {
        st.held[port] = IsActive(a);
        st.counter[port] = 0;
        return ReportPort(st, port, level);
    }
    return false;
}

bool HikSampledTamperTest(const char* buf, unsigned int size, HIK_HOLD_STATE& st, int& level) {
    if (st.counter != 2) {
        ++st.counter;
        level = st.trig ? 100 : 0;
        return st.trig;
    }
    level = 0;
    const HIK_ALERT a = HikParseAlert(buf, size);
    if (a.blType && a.type == "shelteralarm") {
        bool trig = IsActive(a);
        level = trig ? 100 : 0;
        st.trig = trig;
        st.counter = 1;
        return trig;
    }
    return false;
}

// ---------------------------------------------------------------- classes

HikVisionDetector::HikVisionDetector(DET_BASE_ATTR attr, int kind, const char* path)
    : MultipartDetector(attr, 10, HTTP_VER_DEF), m_Path(path) {
    LinkShareDet(kind);
}

int HikVisionDetector::GetPathPort(std::string& path, int& port) {
    path = m_Path;
    port = m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT);
    return 0;
}

HikVisionMD::HikVisionMD(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_MD, kOldPath) {}

bool HikVisionMD::IsTrig(char* buf, unsigned int size, int& level) {
    // Firmware that sends both edges is told apart by the capability record.
    if (m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("EDGE_TRIGGER_EVENT"))
        return HikEdgeMotionTest(buf, size, m_State, level);
    return HikLevelMotionTest(buf, size, m_State, level);
}

HikVisionDI::HikVisionDI(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_DI, kOldPath), m_State(m_DICnt) {}

bool HikVisionDI::IsTrig(int port, char* buf, unsigned int size, int& level) {
    if (m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("EDGE_TRIGGER_EVENT"))
        return HikEdgeInputTest(port, buf, size, m_State, level);
    return HikLevelInputTest(port, buf, size, m_State, level);
}

HikVisionTD::HikVisionTD(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_TD, kOldPath) {}

bool HikVisionTD::IsTrig(char* buf, unsigned int size, int& level) {
    return HikSampledTamperTest(buf, size, m_State, level);
}

HikVisionV3MD::HikVisionV3MD(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_MD, kIsapiPath.c_str()) {}

bool HikVisionV3MD::IsTrig(char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "VMD", m_State, level);
}

HikVisionV3DI::HikVisionV3DI(DET_BASE_ATTR attr)
    : HikVisionDetector(attr, DET_TYPE_DI, kIsapiPath.c_str()), m_State(m_DICnt) {}

bool HikVisionV3DI::IsTrig(int port, char* buf, unsigned int size, int& level) {
    return HikHoldPortTest(port, buf, size, m_State, level);
}

HikVisionV3TD::HikVisionV3TD(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_TD, kIsapiPath.c_str()) {}

bool HikVisionV3TD::IsTrig(char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "shelteralarm", m_State, level);
}

HikVisionAD::HikVisionAD(DET_BASE_ATTR attr) : HikVisionDetector(attr, DET_TYPE_AD, kIsapiPath.c_str()) {}

bool HikVisionAD::IsTrig(char* buf, unsigned int size, int& level) {
    return HikHoldTest(buf, size, "audioexception", m_State, level);
}
