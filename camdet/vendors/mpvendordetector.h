// Cameras that push their event or motion status on a long-lived multipart
// response. Each class is one row of the catalogue in mpvendordetector.cpp:
// kind, whether it shares its stream, where path and port come from, its
// construction values and its trigger rule over one part.
#ifndef CAMDET_MPVENDORDETECTOR_H
#define CAMDET_MPVENDORDETECTOR_H

#include <string>
#include <vector>

#include "camdet/rules/mprules.h"
#include "camdet/transport/multipartdetector.h"

// Where a class's request path and port come from.
enum MP_PATH_SRC {
    MP_PATH_HTTP_PORT = 0,  // fixed path, the mediator's HTTP port
    MP_PATH_DET_PORT = 1,   // fixed path, CameraAPI::GetDetPort
    MP_PATH_CAM_API = 2,    // SetStreamInfo(format, protocol), then GetDetPathPort
    MP_PATH_CAM_API_IPUX = 3,  // as 2 with the protocol constant 2
    MP_PATH_CAM_API_ONLY = 4,  // GetDetPathPort alone
};

struct MP_CLASS_DEF {
    const char* cls;
    int kind;
    bool shared;
    MP_PATH_SRC src;
    const char* path;  // fixed path (null for MP_PATH_CAM_API*)
    int timeoutSec;
    HTTP_VERSION version;
    int bodyMode;
    MpTrigRule rule;  // the class's test (mprules.h)
    int inputs;  // MP_IN_* the rule reads besides the part
};

enum { MP_IN_PARAMS = 1, MP_IN_CHANNEL = 2, MP_IN_ALARM2DO = 4 };

// The catalogue, in table order; rows counts it.
const MP_CLASS_DEF* GetMpClassTable(int& rows);
// The row of a class name, or null.
const MP_CLASS_DEF* FindMpClass(const char* cls);

class MpVendorDetector : public MultipartDetector {
public:
    // Builds the detector of catalogue row `cls` (which must exist).
    MpVendorDetector(DET_BASE_ATTR attr, const char* cls, bool flag = false);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;
    const MP_CLASS_DEF& Def() const { return *m_Def; }

private:
    void RefreshInputs();
    const MP_CLASS_DEF* m_Def;
    MP_RULE_STATE m_State;
};

#define MP_VENDOR_CLASS(Name)                                                   \
    class Name : public MpVendorDetector {                                      \
    public:                                                                     \
        explicit Name(DET_BASE_ATTR attr) : MpVendorDetector(attr, #Name) {}    \
    }

MP_VENDOR_CLASS(AxisMD);
MP_VENDOR_CLASS(LevelOneGr4TD);
MP_VENDOR_CLASS(IQeyeV1MD);
MP_VENDOR_CLASS(IQeyeV2MD);
MP_VENDOR_CLASS(IQeyeDI);
MP_VENDOR_CLASS(SonyMD);
MP_VENDOR_CLASS(SonyDI);
MP_VENDOR_CLASS(PsiaMD);
MP_VENDOR_CLASS(PsiaDI);
MP_VENDOR_CLASS(MessoaA02MD);
MP_VENDOR_CLASS(ImegeMD);
MP_VENDOR_CLASS(SamsungMD);
MP_VENDOR_CLASS(SamsungAD);
MP_VENDOR_CLASS(SamsungTD);
MP_VENDOR_CLASS(SamsungDI);
MP_VENDOR_CLASS(HitronMD);
MP_VENDOR_CLASS(HitronDI);
MP_VENDOR_CLASS(EneoMD);
MP_VENDOR_CLASS(EneoDI);
MP_VENDOR_CLASS(EneoTD);
MP_VENDOR_CLASS(AlinkingMD);
MP_VENDOR_CLASS(AlinkingDI);
MP_VENDOR_CLASS(AlinkingTD);
MP_VENDOR_CLASS(DLinkV9V2MD);
MP_VENDOR_CLASS(DLinkV9V2DI);
MP_VENDOR_CLASS(LilinMD);
MP_VENDOR_CLASS(LilinDI);
MP_VENDOR_CLASS(AcumenMD);
MP_VENDOR_CLASS(AcumenDI);
MP_VENDOR_CLASS(OncamGrandeyeMD);
MP_VENDOR_CLASS(OncamGrandeyeDI);
MP_VENDOR_CLASS(EdimaxMD);
MP_VENDOR_CLASS(EdimaxVPMD);
MP_VENDOR_CLASS(EtrovisionMD);
MP_VENDOR_CLASS(EtrovisionDI);
MP_VENDOR_CLASS(PixordMD);
MP_VENDOR_CLASS(PanaMD);
MP_VENDOR_CLASS(PanaDI);
MP_VENDOR_CLASS(PanaProMD);
MP_VENDOR_CLASS(PanaProDI);
MP_VENDOR_CLASS(IpuxMD);
MP_VENDOR_CLASS(IpuxDI);
MP_VENDOR_CLASS(ZavioMD);

// The factory passes IsApiSpecified("VMD"): event-id lines instead of level lines.
class AirliveMD : public MpVendorDetector {
public:
    AirliveMD(DET_BASE_ATTR attr, bool vmd) : MpVendorDetector(attr, "AirliveMD", vmd) {}
};

#endif  // CAMDET_MPVENDORDETECTOR_H
