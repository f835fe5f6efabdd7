#include "camdet/transport/binvendordetector.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

BinVendorDetector::BinVendorDetector(DET_BASE_ATTR attr, const BinRow& row, const DetArgs&)
    : BinStreamDetector(attr, row.path, row.bufSize, row.type, row.timeoutSec, row.httpFlag), m_Row(row) {
    if (m_Row.share == BIN_SHARE_LINK) {
        LinkShareDet(m_Row.kind);
    } else if (m_Row.share == BIN_SHARE_KIND) {
        m_DetType = m_Row.kind;
    }
    m_State.heldPorts.assign(m_DICnt > 0 ? (size_t)m_DICnt : 0, false);
    if (m_Row.inputs & BIN_IN_AD_KEY) m_State.adKeyV2 = m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("AD_KEY_V2");
}

void BinVendorDetector::RefreshInputs() {
    if (!(m_Row.inputs & (BIN_IN_MD_PARAMS | BIN_IN_AD_PARAM))) return;
    ScopedLock g(m_Mutex);
    m_State.mdParam1 = m_MDParam[1];
    m_State.mdParam3 = m_MDParam[3];
    m_State.adParam = m_ADParam;
}

void BinVendorDetector::ClearHeldState() {
    m_State.held = false;
    m_State.heldPorts.assign(m_State.heldPorts.size(), false);
    m_State.level = 0;
}

bool BinVendorDetector::Test(int port, char* buf, unsigned int size, int& value) {
    RefreshInputs();
    m_State.noData = false;
    const bool trig = m_Row.rule(m_State, port, buf, size, value);
    m_blNoData = m_State.noData;
    return trig;
}

bool BinVendorDetector::IsTrig(char* buf, unsigned int size, int& value) { return Test(-1, buf, size, value); }

bool BinVendorDetector::IsTrig(int port, char* buf, unsigned int size, int& value) {
    return Test(port, buf, size, value);
}
