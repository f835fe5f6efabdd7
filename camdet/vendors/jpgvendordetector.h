// Cameras that carry their event state in a JPEG header segment of every
// frame: Axis (comment segment with a data-id prefix), Vivotek (APP0 or
// APP2 application data), Basler (APP1 text lines), JVC and Panasonic
// (comment segment). Each class but Axis is one row of the catalogue in
// jpgvendordetector.cpp: marker, kind, sharing and its test
// (camdet/rules/jpgvendorrules.h); each named class is a line below, so that
// the recorder sees the class name of its row.
#ifndef CAMDET_JPGVENDORDETECTOR_H
#define CAMDET_JPGVENDORDETECTOR_H

#include <string>

#include "camdet/rules/jpgvendorrules.h"
#include "camdet/rules/vivotekrules.h"
#include "camdet/transport/jpghdrdetector.h"

struct JPG_CLASS_DEF {
    const char* cls;
    int marker;      // JPEG marker code; 0: by group (Vivotek: APP0 for group 0, else APP2)
    int kind;        // detection kind; 0: the factory's (classes serving several kinds)
    bool shared;     // links for sharing with its kind
    const char* rule;  // class name of its test in the frame-data rule table
};

// The catalogue; rows counts it.
const JPG_CLASS_DEF* GetJpgClassTable(int& rows);
const JPG_CLASS_DEF* FindJpgClass(const char* cls);

// The detector of catalogue row cls (which must exist): frames by the FIFO
// (byFifo) or fetched from the path of CameraAPI::GetDetPathPort after
// SetStreamInfo(1, 2).
class JpgVendorDetector : public JpgHdrDetector {
public:
    JpgVendorDetector(DET_BASE_ATTR attr, const char* cls, bool byFifo, int kind = 0, int group = 0);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* payload, unsigned int len, int& value) override;
    bool IsTrig(int port, char* payload, unsigned int len, int& value) override;
    const JPG_CLASS_DEF& Def() const { return *m_Def; }
    int GetGroup() const { return m_State.group; }

private:
    const JPG_CLASS_DEF* m_Def;
    StreamTrigRule m_Rule;
    STREAM_RULE_STATE m_State;
};

class BaslerJpgMD : public JpgVendorDetector {
public:
    BaslerJpgMD(DET_BASE_ATTR attr, bool byFifo) : JpgVendorDetector(attr, "BaslerJpgMD", byFifo) {}
};
class BaslerJpgDI : public JpgVendorDetector {
public:
    BaslerJpgDI(DET_BASE_ATTR attr, bool byFifo) : JpgVendorDetector(attr, "BaslerJpgDI", byFifo) {}
};
class JvcJpgMD : public JpgVendorDetector {
public:
    JvcJpgMD(DET_BASE_ATTR attr, bool byFifo) : JpgVendorDetector(attr, "JvcJpgMD", byFifo) {}
};
// Motion or inputs by kind; the input layout by group.
class PanaJpgDIMD : public JpgVendorDetector {
public:
    PanaJpgDIMD(DET_BASE_ATTR attr, bool byFifo, int kind, PANA_FUNC_GR group)
        : JpgVendorDetector(attr, "PanaJpgDIMD", byFifo, kind, group), m_Kind(kind), m_FuncGr(group) {}
    int m_Kind;
    PANA_FUNC_GR m_FuncGr;
};
// Motion or tampering by kind, the segment and layout by firmware group.
class VivotekJpgDetector : public JpgVendorDetector {
public:
    VivotekJpgDetector(DET_BASE_ATTR attr, bool byFifo, VIVO_FUNC_GR group, int kind)
        : JpgVendorDetector(attr, "VivotekJpgDetector", byFifo, kind, group), m_FuncGr(group) {}
    // Groups other than 0: the application-data test by this detector's kind.
    bool IsTrig(char* payload, unsigned int len, int& value) override;
    // The application-data test; a kind it has no test for is logged.
    bool CheckTrigValInAppData(const char* data, int len, int& value, int kind);
    VIVO_FUNC_GR m_FuncGr;
};

// Axis: the comment segment whose payload begins 0x0A 0x03, from the path of
// CameraAPI::GetJpgPathPort. One class for all four kinds.
class AxisJpgDetector : public JpgHdrDetector {
public:
    AxisJpgDetector(DET_BASE_ATTR attr, bool byFifo, int kind);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* payload, unsigned int len, int& value) override;
    bool IsTrig(int port, char* payload, unsigned int len, int& value) override;
};

#endif  // CAMDET_JPGVENDORDETECTOR_H
