#include "camdet/transport/mpvendordetector.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

MpVendorDetector::MpVendorDetector(DET_BASE_ATTR attr, const MpRow& row, const DetArgs& args)
    : MultipartDetector(attr, row.timeoutSec, row.version), m_Row(row) {
    m_BodyMode = m_Row.bodyMode;
    if (m_Row.shared) {
        LinkShareDet(m_Row.kind);
    } else {
        // Not sharing, but the transport still needs the kind to report per port.
        m_DetType = m_Row.kind;
    }
    m_State.flag = args.b;
    m_State.heldPorts.assign(m_DICnt > 0 ? m_DICnt : 0, false);
    m_State.hikPorts = HIK_PORT_STATE(m_DICnt);
    if (m_Attr.pCamCap) m_State.api = m_Attr.pCamCap->GetAPI();
}

void MpVendorDetector::ClearHeldState() {
    m_State.held = false;
    m_State.heldPorts.assign(m_State.heldPorts.size(), false);
    m_State.alert = HIK_HOLD_STATE();
    m_State.hikPorts = HIK_PORT_STATE(m_DICnt);
}

int MpVendorDetector::GetPathPort(std::string& path, int& port) {
    CameraAPI* api = m_Attr.pCamApi;
    switch (m_Row.src) {
    case MP_PATH_HTTP_PORT:
        path = m_Row.path;
        port = m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT);
        return 0;
    case MP_PATH_DET_PORT:
        path = m_Row.path;
        port = api ? api->GetDetPort() : 0;
        return 0;
    case MP_PATH_CAM_API:
    case MP_PATH_CAM_API_IPUX:
        if (!api) return -1;
        api->SetStreamInfo(m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_FORMAT),
                           m_Row.src == MP_PATH_CAM_API_IPUX
                               ? 2
                               : m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_PROTOCOL));
        return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
    case MP_PATH_CAM_API_ONLY:
        if (!api) return -1;
        return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
    }
    return -1;
}

void MpVendorDetector::RefreshInputs() {
    if (m_Row.inputs & MP_IN_PARAMS) {
        ScopedLock g(m_Mutex);
        m_State.mdParam1 = m_MDParam[1];
        m_State.mdParam3 = m_MDParam[3];
    }
    if (m_Row.inputs & MP_IN_CHANNEL) m_State.channel = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_CHANNEL);
    if (m_Row.inputs & MP_IN_ALARM2DO) m_State.flag = m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("ALARM2_DO");
    if (m_Row.inputs & MP_IN_EDGE) {
        m_State.flag = m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("EDGE_TRIGGER_EVENT");
    }
}

bool MpVendorDetector::IsTrig(char* buf, unsigned int size, int& level) {
    RefreshInputs();
    return m_Row.rule(m_State, -1, buf, size, level);
}

bool MpVendorDetector::IsTrig(int port, char* buf, unsigned int size, int& level) {
    RefreshInputs();
    return m_Row.rule(m_State, port, buf, size, level);
}
