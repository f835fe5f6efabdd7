#include "camdet/transport/jpgvendordetector.h"

#include "camdet/rules/vivotekrules.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

namespace {

int MarkerOf(const JpgRow& row, int group) {
    if (row.marker) return row.marker;
    return group == VIVO_FUNC_GR_0 ? JPG_APP0 : JPG_APP2;
}

}  // namespace

JpgVendorDetector::JpgVendorDetector(DET_BASE_ATTR attr, const JpgRow& row, const DetArgs& args)
    : JpgHdrDetector(attr, MarkerOf(row, args.group), args.b), m_Row(row) {
    m_State.kind = m_Row.kind ? m_Row.kind : args.kind;
    m_State.group = args.group;
    if (m_Row.shared) LinkShareDet(m_State.kind);
}

int JpgVendorDetector::DetPathPort(CameraAPI* api, std::string& path, int& port) {
    if (!api) return -1;
    api->SetStreamInfo(1, 2);
    return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
}

int JpgVendorDetector::GetPathPort(std::string& path, int& port) { return DetPathPort(m_Attr.pCamApi, path, port); }

bool JpgVendorDetector::IsTrig(char* payload, unsigned int len, int& value) {
    return m_Row.rule(m_State, -1, payload, len, value);
}

bool JpgVendorDetector::IsTrig(int port, char* payload, unsigned int len, int& value) {
    return m_Row.rule(m_State, port, payload, len, value);
}
