// Cameras that report their alarm state only when asked over a CGI. Each
// class is one row of the catalogue in cgivendordetector.cpp: its kind, the
// request path (fixed or computed) and where the port comes from, the
// transport settings (time-out, query type, HTTP version, poll interval),
// whether the motion and input detector of a camera share one poll, the
// per-input path of the cameras that answer for one input per request, and
// its trigger test (camdet/rules/cgirules.h). One generic class builds the
// detector from its row; each named class is a macro line, so that the
// recorder sees the class name of its row.
#ifndef CAMDET_CGIVENDORDETECTOR_H
#define CAMDET_CGIVENDORDETECTOR_H

#include <string>

#include "camdet/rules/cgirules.h"
#include "camdet/transport/cgiquerydetector.h"

class CgiVendorDetector;

// Where a class's request port comes from.
enum CGI_PORT_SRC {
    CGI_PORT_HTTP = 0,        // the mediator's HTTP port
    CGI_PORT_CAM_API_DI = 1,  // path and port both from CameraAPI::GetDIPathPort (its result ignored)
};

// How a class asks its camera.
enum CGI_LOOP {
    CGI_LOOP_POLL = 0,            // the transport's loop: one answer per poll serves every input
    CGI_LOOP_EACH_INPUT = 1,      // one request per input on a kept-alive connection, 30 s time-out,
                                  // default HTTP version
    CGI_LOOP_EACH_INPUT_NEW = 2,  // one request per input on a new connection, the row's time-out and version
};

// A request path computed from the detector (login, input count, lens, firmware).
typedef std::string (*CgiPathFn)(const CgiVendorDetector& det);
// The request path of one 0-based input for the per-input loops.
typedef std::string (*CgiInputPathFn)(int port);

struct CGI_CLASS_DEF {
    const char* cls;
    int kind;                   // DET_TYPE_MD or DET_TYPE_DI
    const char* path;           // fixed request path; null when computed
    CgiPathFn pathFn;           // computed path; null for a fixed one
    CGI_PORT_SRC portSrc;
    int timeout;                // seconds, to the HTTP client or the socket
    __tag_CGI_QUERY_TYPE query;
    HTTP_VERSION version;
    int pollMs;                 // poll interval; 0 polls back to back
    bool shared;                // motion and input detector share one poll
    CGI_LOOP loop;
    CgiInputPathFn inputPath;   // per-input loops; also their first request path
    CgiTrigRule rule;           // the class's test (cgirules.h)
};

// The catalogue, motion classes first; rows counts it.
const CGI_CLASS_DEF* GetCgiClassTable(int& rows);
// The row of a class name, or null.
const CGI_CLASS_DEF* FindCgiClass(const char* cls);

class CgiVendorDetector : public CgiQueryDetector {
public:
    // Builds the detector of catalogue row `cls` (which must exist);
    // blGroup11: the camera API specifies "GROUP11" (MessoaSDK05 firmware).
    CgiVendorDetector(DET_BASE_ATTR attr, const char* cls, bool blGroup11 = false);

    // The row's own loop for the per-input cameras, else the transport's.
    int DetMain() override;
    int GetPathPort(std::string& path, int& port) override;
    // The row's test for a motion row; the transport's default otherwise.
    bool IsTrig(char* buf, unsigned int len, int& value) override;
    // The row's test for an input row; the transport's default otherwise.
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;

    const CGI_CLASS_DEF& Def() const { return *m_Def; }

private:
    friend struct CgiPaths;  // the computed paths read the login, inputs and lens

    CgiRuleState RuleState() const;

    const CGI_CLASS_DEF* m_Def;
    bool m_blGroup11;
};

#define CGI_VENDOR_CLASS(Name)                                                  \
    class Name : public CgiVendorDetector {                                     \
    public:                                                                     \
        explicit Name(DET_BASE_ATTR attr) : CgiVendorDetector(attr, #Name) {}   \
    }

// ---------------------------------------------------------------- motion

CGI_VENDOR_CLASS(YcamV2MD);
CGI_VENDOR_CLASS(ArecontMD);
CGI_VENDOR_CLASS(SanyoMD);
CGI_VENDOR_CLASS(MessoaMD);
CGI_VENDOR_CLASS(MessoaProMD);
CGI_VENDOR_CLASS(Messoa03MD);
CGI_VENDOR_CLASS(ComproMD);
CGI_VENDOR_CLASS(HuntMD);
CGI_VENDOR_CLASS(BrickcomMD);
CGI_VENDOR_CLASS(StorageMD);
CGI_VENDOR_CLASS(ZavioV3MD);
CGI_VENDOR_CLASS(CanonMD);
CGI_VENDOR_CLASS(FoscamMD);
CGI_VENDOR_CLASS(FoscamV2MD);
CGI_VENDOR_CLASS(BaslerMp4MD);
CGI_VENDOR_CLASS(ItxMD);
CGI_VENDOR_CLASS(RayliosMD);
CGI_VENDOR_CLASS(RayliosV2MD);
CGI_VENDOR_CLASS(HiSharpMD);
CGI_VENDOR_CLASS(BoschMD);
CGI_VENDOR_CLASS(BewardMD);
CGI_VENDOR_CLASS(SiemensMD);
CGI_VENDOR_CLASS(ShanyMD);
CGI_VENDOR_CLASS(NexcomMD);
CGI_VENDOR_CLASS(GrandStreamMD);
CGI_VENDOR_CLASS(TruenMD);

// The factory passes IsApiSpecified("GROUP11"): newer firmware, another path
// and answer.
class MessoaSDK05MD : public CgiVendorDetector {
public:
    MessoaSDK05MD(DET_BASE_ATTR attr, bool blGroup11) : CgiVendorDetector(attr, "MessoaSDK05MD", blGroup11) {}
};

// ---------------------------------------------------------------- input

CGI_VENDOR_CLASS(AxisDI);
CGI_VENDOR_CLASS(Vivotek2DI);
CGI_VENDOR_CLASS(AirliveDI);
CGI_VENDOR_CLASS(LevelOneGr1DI);
CGI_VENDOR_CLASS(LevelOneGr4DICgiQuery);
CGI_VENDOR_CLASS(YcamV2DI);
CGI_VENDOR_CLASS(JvcDI);
CGI_VENDOR_CLASS(EdimaxVPDI);
CGI_VENDOR_CLASS(ActiDI);
CGI_VENDOR_CLASS(ArecontDI);
CGI_VENDOR_CLASS(SanyoDI);
CGI_VENDOR_CLASS(PixordDI);
CGI_VENDOR_CLASS(MessoaDI);
CGI_VENDOR_CLASS(MessoaProDI);
CGI_VENDOR_CLASS(MessoaA02DI);
CGI_VENDOR_CLASS(Messoa03DI);
CGI_VENDOR_CLASS(ComproDI);
CGI_VENDOR_CLASS(HuntDI);
CGI_VENDOR_CLASS(BrickcomDI);
CGI_VENDOR_CLASS(StorageDI);
CGI_VENDOR_CLASS(ZavioDI);
CGI_VENDOR_CLASS(CanonDI);
CGI_VENDOR_CLASS(FoscamDI);
CGI_VENDOR_CLASS(FoscamV2DI);
CGI_VENDOR_CLASS(BaslerMp4DI);
CGI_VENDOR_CLASS(ItxDI);
CGI_VENDOR_CLASS(ImegeDI);
CGI_VENDOR_CLASS(StarDotDI);
CGI_VENDOR_CLASS(BoschDI);
CGI_VENDOR_CLASS(BewardDI);
CGI_VENDOR_CLASS(SiemensDI);
CGI_VENDOR_CLASS(ShanyDI);
CGI_VENDOR_CLASS(NexcomDI);
CGI_VENDOR_CLASS(TruenDI);

// See MessoaSDK05MD.
class MessoaSDK05DI : public CgiVendorDetector {
public:
    MessoaSDK05DI(DET_BASE_ATTR attr, bool blGroup11) : CgiVendorDetector(attr, "MessoaSDK05DI", blGroup11) {}
};

// What an input in alarm reads differs per model: the camera API tells it
// before the first poll, and without it the detector never polls.
class LevelOneGr5DI : public CgiVendorDetector {
public:
    explicit LevelOneGr5DI(DET_BASE_ATTR attr) : CgiVendorDetector(attr, "LevelOneGr5DI") {}
    int GetDiTrigValue() override;
};

#endif  // CAMDET_CGIVENDORDETECTOR_H
