#include "camdet/transport/rtpvendordetector.h"

RtpVendorDetector::RtpVendorDetector(DET_BASE_ATTR attr, const RtpRow& row, const DetArgs& args)
    : RtpHdrDetector(attr), m_Row(row) {
    m_State.kind = m_Row.kind ? m_Row.kind : args.kind;
    m_State.group = args.group;
    LinkShareDet(m_State.kind);
}

int RtpVendorDetector::GetPathPort(std::string& path, int& port) {
    path.clear();
    port = 0;
    return 0;
}

bool RtpVendorDetector::IsTrig(char* data, unsigned int len, int& value) {
    return m_Row.rule(m_State, -1, data, len, value);
}

bool RtpVendorDetector::IsTrig(int port, char* data, unsigned int len, int& value) {
    return m_Row.rule(m_State, port, data, len, value);
}
