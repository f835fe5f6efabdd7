#include "camdet/rules/hikrules.h"

#include <limits.h>
#include <string.h>

namespace {
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
