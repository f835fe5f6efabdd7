#include "camdet/vendors/binvendordetector.h"

#include <string.h>

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

namespace {

const char* const kDahuaPath = "cgi-bin/eventManager.cgi?action=attach&codes=[VideoMotion,AlarmLocal,VideoBlind]";
const char* const kDLinkPath = "config/notify_stream.cgi";
const char* const kEverFocusPath = "PSIA/Custom/Everfocus/events";

const BIN_CLASS_DEF kBinClasses[] = {
    // ---- text lines over HTTP
    // The event manager sends multipart text parts and a heartbeat part
    // every few seconds; motion, inputs and tampering share one stream.
    {"DahuaMD", DET_TYPE_MD, BIN_SHARE_LINK, kDahuaPath, 1024, BIN_STREAM_HTTP_LINE, 60, false, &binrule::DahuaMD, 0},
    {"DahuaTD", DET_TYPE_TD, BIN_SHARE_LINK, kDahuaPath, 1024, BIN_STREAM_HTTP_LINE, 60, false, &binrule::DahuaTD, 0},
    {"DahuaDI", DET_TYPE_DI, BIN_SHARE_LINK, kDahuaPath, 1024, BIN_STREAM_HTTP_LINE, 60, false, &binrule::DahuaDI, 0},
    // Sends a line per change and goes quiet between: a short time-out.
    {"DLinkMD", DET_TYPE_MD, BIN_SHARE_LINK, kDLinkPath, 1024, BIN_STREAM_HTTP_LINE, 3, true, &binrule::DLinkMD,
     BIN_IN_MD_PARAMS},
    {"DLinkAD", DET_TYPE_AD, BIN_SHARE_LINK, kDLinkPath, 1024, BIN_STREAM_HTTP_LINE, 3, true, &binrule::DLinkAD,
     BIN_IN_AD_PARAM | BIN_IN_AD_KEY},
    {"DLinkDI", DET_TYPE_DI, BIN_SHARE_LINK, kDLinkPath, 1024, BIN_STREAM_HTTP_LINE, 3, true, &binrule::DLinkDI, 0},
    // Lines end with CR LF.
    {"LilinV2DI", DET_TYPE_DI, BIN_SHARE_KIND, "getalarmmotion", 64, BIN_STREAM_HTTP_LINE, 60, true,
     &binrule::LilinV2DI, 0},
    // ---- text lines over TCP, to the camera API's detection port
    {"LevelOneGr4MD", DET_TYPE_MD, BIN_SHARE_NONE, "", 64, BIN_STREAM_SOCKET_LINE, 3, true, &binrule::LevelOneGr4MD,
     BIN_IN_MD_PARAMS},
    {"LevelOneGr4DI", DET_TYPE_DI, BIN_SHARE_KIND, "", 64, BIN_STREAM_SOCKET_LINE, 3, true, &binrule::LevelOneGr4DI,
     0},
    // ---- binary records over HTTP
    {"EverFocusMD", DET_TYPE_MD, BIN_SHARE_LINK, kEverFocusPath, 308, BIN_STREAM_HTTP_RECORD, 60, true,
     &binrule::EverFocusMD, 0},
    {"EverFocusDI", DET_TYPE_DI, BIN_SHARE_LINK, kEverFocusPath, 308, BIN_STREAM_HTTP_RECORD, 60, true,
     &binrule::EverFocusDI, 0},
    {"YcamMD", DET_TYPE_MD, BIN_SHARE_NONE, "stream.arm", 8, BIN_STREAM_HTTP_RECORD, 60, true, &binrule::YcamMD, 0},
};

// An unknown name is a programming error; this quiet row keeps it harmless.
bool Quiet(BIN_RULE_STATE&, int, const char*, unsigned int, int& value) {
    value = 0;
    return false;
}
const BIN_CLASS_DEF kUnknown = {"", 0, BIN_SHARE_NONE, "", 64, BIN_STREAM_HTTP_LINE, 60, true, &Quiet, 0};
const BIN_CLASS_DEF& Row(const char* cls) {
    const BIN_CLASS_DEF* d = FindBinClass(cls);
    return d ? *d : kUnknown;
}

}  // namespace

const BIN_CLASS_DEF* GetBinClassTable(int& rows) {
    rows = (int)(sizeof(kBinClasses) / sizeof(kBinClasses[0]));
    return kBinClasses;
}

const BIN_CLASS_DEF* FindBinClass(const char* cls) {
    for (const BIN_CLASS_DEF& d : kBinClasses) {
        if (cls && strcmp(d.cls, cls) == 0) return &d;
    }
    return nullptr;
}

BinVendorDetector::BinVendorDetector(DET_BASE_ATTR attr, const char* cls)
    : BinStreamDetector(attr, Row(cls).path, Row(cls).bufSize, Row(cls).type, Row(cls).timeoutSec,
                        Row(cls).httpFlag),
      m_Def(&Row(cls)) {
    if (m_Def->share == BIN_SHARE_LINK) {
        LinkShareDet(m_Def->kind);
    } else if (m_Def->share == BIN_SHARE_KIND) {
        m_DetType = m_Def->kind;
    }
    m_State.heldPorts.assign(m_DICnt > 0 ? (size_t)m_DICnt : 0, false);
    if (m_Def->inputs & BIN_IN_AD_KEY) m_State.adKeyV2 = m_Attr.pCamCap && m_Attr.pCamCap->IsApiSpecified("AD_KEY_V2");
}

void BinVendorDetector::RefreshInputs() {
    if (!(m_Def->inputs & (BIN_IN_MD_PARAMS | BIN_IN_AD_PARAM))) return;
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

bool BinVendorDetector::IsTrig(char* buf, unsigned int size, int& value) {
    RefreshInputs();
    m_State.noData = false;
    const bool trig = m_Def->rule(m_State, -1, buf, size, value);
    m_blNoData = m_State.noData;
    return trig;
}

bool BinVendorDetector::IsTrig(int port, char* buf, unsigned int size, int& value) {
    RefreshInputs();
    m_State.noData = false;
    const bool trig = m_Def->rule(m_State, port, buf, size, value);
    m_blNoData = m_State.noData;
    return trig;
}
