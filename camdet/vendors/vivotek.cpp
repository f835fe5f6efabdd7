// Vivotek cameras.
//
// Wire format: the event state rides in application data, in the APP2 segment
// of every JPEG frame (APP0 for the oldest firmware: bit 0 of byte 6 motion,
// byte 7 a level index) or in the RTP header extension of the MPEG-4/H.264
// stream: a codec tag ("jpeg", "mp4v", "h264"), a zero byte 5 bytes on, the
// block count 15 bytes after the tag, then motion window records read as a
// bit stream and a tampering marker (vivotekrules.h). Motion and tampering
// share the camera's stream. Inputs: the oldest firmware is asked one per
// request, "cgi-bin/getdi.cgi?di<n>" answered "DI<n>=H"; newer firmware
// answers "cgi-bin/dido/getdi.cgi?" with every input ("di0=0\ndi1=1\n..."),
// of which a video server (group 4) reports the one of the channel the
// recorder watches.
#include <stdlib.h>
#include <string>

#include "camdet/rules/vivotekrules.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/jpgvendordetector.h"
#include "camdet/transport/rtpvendordetector.h"
#include "dupfromox/oxdebuglog.h"

namespace {

// The lines keep the names of the units the classes began in.
const char* const kJpgSrc = "camdet/jpgvendordetector";
const char* const kRtpSrc = "camdet/rtpvendordetector";
const char* const kDiListPath = "cgi-bin/dido/getdi.cgi?";
const int kDiListTimeout = 30;
const int kDiListAnswer = 1024;
constexpr JpgRow kJpgRow = JpgSegment(0, streamrule::VivotekJpg);
constexpr RtpRow kRtpRow = RtpExtension(0, streamrule::VivotekRtp);

std::string Vivotek2InputPath(int port) { return "cgi-bin/getdi.cgi?di" + std::to_string(port + 1); }

// The application-data test; a kind it has no test for is logged (src: the unit's name).
bool CheckTrigValInAppData(const char* src, const char* data, int len, int& value, int kind) {
    if (kind != DET_TYPE_MD && kind != DET_TYPE_TD) {
        value = 0;
        OXLOG(src, "Unknown detection type %d\n", kind);
        return false;
    }
    return vivorule::CheckTrigValInAppData(data, len, value, kind);
}

}  // namespace

// Answers for one input per request.
CGI_CLASS(Vivotek2DI, CgiEachInput(Vivotek2InputPath, cgirule::Vivotek2Input));

// The newer firmware's input list, once a second; a failed query leaves
// every input as it was.
class Vivotek8DI : public CgiQueryDetector {
public:
    Vivotek8DI(DET_BASE_ATTR attr, const DetArgs& args)
        : CgiQueryDetector(attr, kDiListTimeout, CGI_QUERY_HTTP, HTTP_VER_DEF), m_DiOffset(0) {
        m_PollIntervalMs = 1000;
        m_DetType = DET_TYPE_DI;
        m_AnswerSize = kDiListAnswer;
        m_blFailedPollKeeps = true;
        if (args.group == VIVO_FUNC_GR_4) {
            // The mediator's channel ("3") names the server's input.
            m_DiOffset = atoi(m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_CHANNEL).c_str()) - 1;
            m_DICnt = 1;
        }
    }
    int GetPathPort(std::string& path, int& port) override { return FixedPathPort(kDiListPath, path, port); }
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override {
        return vivorule::Vivotek8Input(port, m_DiOffset, buf, len, value);
    }

private:
    int m_DiOffset;  // number of the first camera input this detector reports
};
CAMDET_DET_CLASS(Vivotek8DI, MakeDetArgs);

// Over JPEG: motion or tampering by the factory's kind, the segment and
// layout by the firmware group.
class VivotekJpgDetector : public JpgVendorDetector {
public:
    VivotekJpgDetector(DET_BASE_ATTR attr, const DetArgs& args) : JpgVendorDetector(attr, kJpgRow, args) {}
    // Groups other than 0: the application-data test by this detector's kind.
    bool IsTrig(char* payload, unsigned int len, int& value) override {
        if (GetGroup() == VIVO_FUNC_GR_0 || !payload || len == 0) return JpgVendorDetector::IsTrig(payload, len, value);
        return CheckTrigValInAppData(kJpgSrc, payload, (int)len, value, m_DetType);
    }
};
CAMDET_DET_CLASS(VivotekJpgDetector, MakeDetArgs);

// Over RTP: the application-data test by this detector's kind, whatever the group.
class VivotekMp4Detector : public RtpVendorDetector {
public:
    VivotekMp4Detector(DET_BASE_ATTR attr, const DetArgs& args) : RtpVendorDetector(attr, kRtpRow, args) {}
    bool IsTrig(char* data, unsigned int len, int& value) override {
        return CheckTrigValInAppData(kRtpSrc, data, (int)len, value, m_DetType);
    }
    bool IsTrig(int, char*, unsigned int, int&) override { return false; }
};
CAMDET_DET_CLASS(VivotekMp4Detector, MakeDetArgs);
