// Frame-carried event data, per family:
//   Axis      COM  0A 03 "M0:1;ML0:050;T0:0;A0:0;IO0:1;..."
//   Vivotek   APP0 (group 0: flag bit 0 of byte 6, level index in byte 7) or
//             APP2 (codec tag, count byte, window bit stream, tamper marker)
//   Basler    APP1 "... Motion ... 42" / "...Alarm 1" / "IO=.1" lines
//   JVC       COM  byte 233 '1' while motion
//   Panasonic COM  byte 0 input bits, byte 12 threshold, byte 13 level
#include "camdet/vendors/jpgvendordetector.h"

#include <string.h>

#include "camdet/rules/axisrules.h"
#include "dupfromox/oxdebuglog.h"

static_assert((int)RULE_KIND_MD == (int)DET_TYPE_MD && (int)RULE_KIND_DI == (int)DET_TYPE_DI &&
                  (int)RULE_KIND_TD == (int)DET_TYPE_TD && (int)RULE_KIND_AD == (int)DET_TYPE_AD,
              "rule kinds are the detection kinds");

namespace {

const char* const kSrc = "camdet/jpgvendordetector";
const int kApp0 = 0xE0, kApp1 = 0xE1, kApp2 = 0xE2, kCom = 0xFE;
const int kAxisDataIds[] = {0x0A, 0x03};

const JPG_CLASS_DEF kJpgClasses[] = {
    // Class, marker, kind, shared, test.
    {"VivotekJpgDetector", 0, 0, true, "VivotekJpgDetector"},
    {"BaslerJpgMD", kApp1, DET_TYPE_MD, true, "BaslerJpgMD"},
    // Every input reports the one "IO=" flag.
    {"BaslerJpgDI", kApp1, DET_TYPE_DI, true, "BaslerJpgDI"},
    // Never shares: its kind stays 0.
    {"JvcJpgMD", kCom, 0, false, "JvcJpgMD"},
    // The input test is the motion test's function of byte 0, for every port.
    {"PanaJpgDIMD", kCom, 0, true, "PanaJpgDIMD"},
};

bool Quiet(const STREAM_RULE_STATE&, int, const char*, unsigned int, int& value) {
    value = 0;
    return false;
}
const JPG_CLASS_DEF kUnknown = {"", kCom, 0, false, ""};

const JPG_CLASS_DEF& Row(const char* cls) {
    const JPG_CLASS_DEF* d = FindJpgClass(cls);
    return d ? *d : kUnknown;
}

int MarkerOf(const JPG_CLASS_DEF& def, int group) {
    if (def.marker) return def.marker;
    return group == VIVO_FUNC_GR_0 ? kApp0 : kApp2;
}

// SetStreamInfo(1, 2), then the detection path: 0 or -1 (nothing logged).
int DetPathPort(CameraAPI* api, std::string& path, int& port) {
    if (!api) return -1;
    api->SetStreamInfo(1, 2);
    return api->GetDetPathPort(path, port) == 0 ? 0 : -1;
}

}  // namespace

const JPG_CLASS_DEF* GetJpgClassTable(int& rows) {
    rows = (int)(sizeof(kJpgClasses) / sizeof(kJpgClasses[0]));
    return kJpgClasses;
}

const JPG_CLASS_DEF* FindJpgClass(const char* cls) {
    for (const JPG_CLASS_DEF& d : kJpgClasses) {
        if (cls && strcmp(d.cls, cls) == 0) return &d;
    }
    return nullptr;
}

// ---------------------------------------------------------------- rows

JpgVendorDetector::JpgVendorDetector(DET_BASE_ATTR attr, const char* cls, bool byFifo, int kind, int group)
    : JpgHdrDetector(attr, MarkerOf(Row(cls), group), byFifo), m_Def(&Row(cls)), m_Rule(&Quiet) {
    const StreamRuleEntry* e = FindStreamRule(m_Def->rule);
    if (e) m_Rule = e->rule;
    m_State.kind = m_Def->kind ? m_Def->kind : kind;
    m_State.group = group;
    if (m_Def->shared) LinkShareDet(m_State.kind);
}

int JpgVendorDetector::GetPathPort(std::string& path, int& port) { return DetPathPort(m_Attr.pCamApi, path, port); }

bool JpgVendorDetector::IsTrig(char* payload, unsigned int len, int& value) {
    return m_Rule(m_State, -1, payload, len, value);
}

bool JpgVendorDetector::IsTrig(int port, char* payload, unsigned int len, int& value) {
    return m_Rule(m_State, port, payload, len, value);
}

// ---------------------------------------------------------------- Vivotek

bool VivotekJpgDetector::IsTrig(char* payload, unsigned int len, int& value) {
    if (m_FuncGr == VIVO_FUNC_GR_0 || !payload || len == 0) return JpgVendorDetector::IsTrig(payload, len, value);
    return CheckTrigValInAppData(payload, (int)len, value, m_DetType);
}

bool VivotekJpgDetector::CheckTrigValInAppData(const char* data, int len, int& value, int kind) {
    if (kind != DET_TYPE_MD && kind != DET_TYPE_TD) {
        value = 0;
        OXLOG(kSrc, "Unknown detection type %d\n", kind);
        return false;
    }
    return vivorule::CheckTrigValInAppData(data, len, value, kind);
}

// ---------------------------------------------------------------- Axis

AxisJpgDetector::AxisJpgDetector(DET_BASE_ATTR attr, bool byFifo, int kind) : JpgHdrDetector(attr, kCom, byFifo) {
    // Only the camera's first detector reads frames; the followers get its
    // payload, so the prefix matters to it alone.
    if (!IsShareEnabled()) SetDataIds(kAxisDataIds, 2);
    LinkShareDet(kind);
}

int AxisJpgDetector::GetPathPort(std::string& path, int& port) {
    if (!m_Attr.pCamApi || m_Attr.pCamApi->GetJpgPathPort(path, port) != 0) {
        OXLOG(kSrc, "Cam[%d]: Failed to get det path & port.\n", m_CamId);
        return -1;
    }
    return 0;
}

bool AxisJpgDetector::IsTrig(char* payload, unsigned int len, int& value) {
    if (m_DetType != DET_TYPE_MD && m_DetType != DET_TYPE_TD && m_DetType != DET_TYPE_AD) {
        OXLOG(kSrc, "Cam[%d]: Unknown detection type %d\n", m_CamId, m_DetType);
        return false;
    }
    return axisrule::StreamTrig(m_DetType, payload, len, value);
}

bool AxisJpgDetector::IsTrig(int port, char* payload, unsigned int len, int& value) {
    return axisrule::StreamInputTrig(port, payload, len, value);
}
