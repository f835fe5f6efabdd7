// Cameras that push their events as text lines or fixed-size binary records
// on one long-lived connection. Each class is one row of the catalogue in
// binvendordetector.cpp: path, buffer size, stream type, time-out, client
// flag, how it takes part in sharing, and its test (camdet/rules/binrules.h).
// One generic class builds the detector from its row; each named class is a
// macro line, so that the recorder sees the class name of its row.
#ifndef CAMDET_BINVENDORDETECTOR_H
#define CAMDET_BINVENDORDETECTOR_H

#include "camdet/rules/binrules.h"
#include "camdet/transport/binstreamdetector.h"

// How a class takes part in sharing one camera stream.
enum BIN_SHARE {
    BIN_SHARE_LINK = 0,  // LinkShareDet(kind): the first detector of the camera reads for all
    BIN_SHARE_KIND = 1,  // the kind set directly (inputs are reported per port), never shared
    BIN_SHARE_NONE = 2,  // no kind, never shared
};

struct BIN_CLASS_DEF {
    const char* cls;
    int kind;
    BIN_SHARE share;
    const char* path;  // request path of the HTTP types; empty for TCP lines
    unsigned int bufSize;
    __tag_BIN_STREAM_TYPE type;
    int timeoutSec;
    bool httpFlag;
    BinTrigRule rule;
    int inputs;  // BIN_IN_* the rule reads besides the line
};

enum { BIN_IN_MD_PARAMS = 1, BIN_IN_AD_PARAM = 2, BIN_IN_AD_KEY = 4 };

const BIN_CLASS_DEF* GetBinClassTable(int& rows);
const BIN_CLASS_DEF* FindBinClass(const char* cls);

class BinVendorDetector : public BinStreamDetector {
public:
    // Builds the detector of catalogue row `cls` (which must exist).
    BinVendorDetector(DET_BASE_ATTR attr, const char* cls);
    bool IsTrig(char* buf, unsigned int size, int& value) override;
    bool IsTrig(int port, char* buf, unsigned int size, int& value) override;
    // The held alarm, ports and level; which lines the camera sends (D-Link's
    // flag and level lines) stays known.
    void ClearHeldState() override;
    const BIN_CLASS_DEF& Def() const { return *m_Def; }

private:
    void RefreshInputs();
    const BIN_CLASS_DEF* m_Def;
    BIN_RULE_STATE m_State;
};

#define BIN_VENDOR_CLASS(Name)                                                \
    class Name : public BinVendorDetector {                                   \
    public:                                                                   \
        explicit Name(DET_BASE_ATTR attr) : BinVendorDetector(attr, #Name) {} \
    }

BIN_VENDOR_CLASS(DahuaMD);
BIN_VENDOR_CLASS(DahuaTD);
BIN_VENDOR_CLASS(DahuaDI);
BIN_VENDOR_CLASS(DLinkMD);
BIN_VENDOR_CLASS(DLinkAD);
BIN_VENDOR_CLASS(DLinkDI);
BIN_VENDOR_CLASS(LilinV2DI);
BIN_VENDOR_CLASS(LevelOneGr4MD);
BIN_VENDOR_CLASS(LevelOneGr4DI);
BIN_VENDOR_CLASS(EverFocusMD);
BIN_VENDOR_CLASS(EverFocusDI);
BIN_VENDOR_CLASS(YcamMD);

#endif  // CAMDET_BINVENDORDETECTOR_H
