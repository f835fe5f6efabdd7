#include "camdet/transport/cgivendordetector.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI,
              "rule kinds are the detection kinds");
static_assert(kCgiAnswerBufSize == CgiQueryDetector::kRespBufSize, "the rules see the loop's answer buffer");

namespace {
// Seconds the kept-alive per-input loops wait for each input's answer.
const int kEachInputTimeout = 30;
}  // namespace

CgiVendorDetector::CgiVendorDetector(DET_BASE_ATTR attr, const CgiRow& row, const DetArgs& args)
    : CgiQueryDetector(attr, row.timeout, row.query, row.version), m_Row(row), m_blFlag(args.b) {
    m_PollIntervalMs = m_Row.pollMs;
    if (m_Row.shared) {
        LinkShareDet(m_Row.kind);
    } else if (m_Row.kind == DET_TYPE_DI) {
        // Not sharing, but the transport reports an input detector per port.
        m_DetType = DET_TYPE_DI;
    }
}

int CgiVendorDetector::DetMain() {
    switch (m_Row.loop) {
    case CGI_LOOP_EACH_INPUT: return PollEachInput(kEachInputTimeout, true, HTTP_VER_DEF, m_Row.inputPath);
    case CGI_LOOP_EACH_INPUT_NEW: return PollEachInput(m_Timeout, false, m_HttpVersion, m_Row.inputPath);
    case CGI_LOOP_POLL: break;
    }
    return CgiQueryDetector::DetMain();
}

int CgiVendorDetector::GetDiTrigValue() {
    if (!m_Row.prepare) return CgiQueryDetector::GetDiTrigValue();
    return m_Row.prepare(m_Attr.pCamApi, m_DiTrigValue);
}

int CgiVendorDetector::GetPathPort(std::string& path, int& port) {
    if (m_Row.portSrc == CGI_PORT_CAM_API_DI) {
        if (m_Attr.pCamApi) m_Attr.pCamApi->GetDIPathPort(path, port);
        return 0;
    }
    if (m_Row.pathFn) {
        CgiPathArgs cam;
        cam.user = CamUser();
        cam.password = CamPassword();
        cam.inputs = m_DICnt;
        cam.flag = m_blFlag;
        cam.api = m_Attr.pCamApi;
        cam.cap = m_Attr.pCamCap;
        path = m_Row.pathFn(cam);
    } else if (m_Row.path) {
        path = m_Row.path;
    } else if (m_Row.inputPath) {
        path = m_Row.inputPath(0);
    }
    port = CamHttpPort();
    return 0;
}

CgiRuleState CgiVendorDetector::RuleState() const {
    CgiRuleState st;
    st.diCnt = m_DICnt;
    st.blGroup11 = m_blFlag;
    st.diTrigValue = m_DiTrigValue;
    return st;
}

bool CgiVendorDetector::Test(int port, char* buf, unsigned int len, int& value) {
    CgiRuleState st = RuleState();
    const bool trig = m_Row.rule(st, port, buf, len, value);
    m_blUnread = st.unread;
    return trig;
}

bool CgiVendorDetector::IsTrig(char* buf, unsigned int len, int& value) {
    if (m_Row.kind != DET_TYPE_MD) return false;
    return Test(0, buf, len, value);
}

bool CgiVendorDetector::IsTrig(int port, char* buf, unsigned int len, int& value) {
    if (m_Row.kind != DET_TYPE_DI) return false;
    return Test(port, buf, len, value);
}
