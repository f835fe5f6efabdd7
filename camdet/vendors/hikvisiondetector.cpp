#include "camdet/vendors/hikvisiondetector.h"

namespace {
const char* const kOldPath = "/Event/notification/alertStream";
const std::string kIsapiPath = std::string("/ISAPI") + "/Event/notification/alertStream";
}  // namespace

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
