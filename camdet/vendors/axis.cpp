// Axis cameras.
//
// Wire format: the event state rides as a run of "name:value;" items,
// "M0:1;ML0:050;T0:0;A0:1;IO0:0;IO1:1;" (M<w> motion window w, ML<w> its
// level, T0 tampering, A0 audio, IO<n> input n from 0), in the comment
// segment of every JPEG frame (behind the data ids 0x0A 0x03) or in the RTP
// header extension of the MPEG-4/H.264 stream; one class serves all four
// kinds over either, sharing the camera's stream. Older keys push motion as
// multipart parts of "group=0;level=12;threshold=20;" lines and are asked for
// their inputs one per request, "axis-cgi/io/input.cgi?checkactive=<n>" (n
// from 1), answered "input<n>=active".
#include <new>
#include <string>

#include "camdet/rules/axisrules.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/jpgvendordetector.h"
#include "camdet/transport/mpvendordetector.h"
#include "camdet/transport/rtpvendordetector.h"
#include "dupfromox/oxdebuglog.h"

namespace {

// The lines keep the names of the units the classes began in.
const char* const kJpgSrc = "camdet/jpgvendordetector";
const char* const kRtpSrc = "camdet/rtpvendordetector";
const int kDataIds[] = {0x0A, 0x03};
// The Axis class reads no further than this into a buffer of its own.
const unsigned int kExtBufSize = 512;
constexpr RtpRow kRtpRow = RtpExtension(0, streamrule::Axis);

std::string InputPath(int port) { return "axis-cgi/io/input.cgi?checkactive=" + std::to_string(port + 1); }

}  // namespace

// Motion-level lines from the path the camera API names.
MP_CLASS(AxisMD, MpMotion(MP_PATH_CAM_API, mprule::AxisMotion));
// Answers for one input per request.
CGI_CLASS(AxisDI, CgiEachInput(InputPath, cgirule::AxisInput));

// Over JPEG: the comment segment whose payload begins with the data ids,
// from the path of CameraAPI::GetJpgPathPort.
class AxisJpgDetector : public JpgHdrDetector {
public:
    AxisJpgDetector(DET_BASE_ATTR attr, const DetArgs& args) : JpgHdrDetector(attr, JPG_COM, args.b) {
        // Only the camera's first detector reads frames; the followers get its
        // payload, so the prefix matters to it alone.
        if (!IsShareEnabled()) SetDataIds(kDataIds, 2);
        LinkShareDet(args.kind);
    }
    int GetPathPort(std::string& path, int& port) override {
        if (!m_Attr.pCamApi || m_Attr.pCamApi->GetJpgPathPort(path, port) != 0) {
            OXLOG(kJpgSrc, "Cam[%d]: Failed to get det path & port.\n", m_CamId);
            return -1;
        }
        return 0;
    }
    bool IsTrig(char* payload, unsigned int len, int& value) override {
        if (m_DetType != DET_TYPE_MD && m_DetType != DET_TYPE_TD && m_DetType != DET_TYPE_AD) {
            OXLOG(kJpgSrc, "Cam[%d]: Unknown detection type %d\n", m_CamId, m_DetType);
            return false;
        }
        return axisrule::StreamTrig(m_DetType, payload, len, value);
    }
    bool IsTrig(int port, char* payload, unsigned int len, int& value) override {
        return axisrule::StreamInputTrig(port, payload, len, value);
    }
};
CAMDET_DET_CLASS(AxisJpgDetector, MakeDetArgs);

// Over RTP: a bounded wait for a packet newer than the last one read, on
// whatever fetcher it is handed, into a fixed buffer (allocated on the first
// call); a longer extension is cut to the buffer. The factory's stream-FIFO
// flag is not used: RTP has no FIFO.
class AxisMp4Detector : public RtpVendorDetector {
public:
    AxisMp4Detector(DET_BASE_ATTR attr, const DetArgs& args) : RtpVendorDetector(attr, kRtpRow, args) {}
    __tag_RET_RTPHDR FetchExtData(char*& buf, unsigned int& cap, unsigned int& len, RtpFetchHandler& h,
                                  bool) override {
        if (!buf) {
            buf = new (std::nothrow) char[kExtBufSize];
            if (!buf) {
                OXLOG(kRtpSrc, "Cam[%d]: Allocate memory failed.\n", m_CamId);
                cap = 0;
                h.OutOfMemory();
                return RET_RTPHDR_NO_MEM;
            }
            cap = kExtBufSize;
        }
        h.SetWait(true);
        int unused = 0;
        len = h.ReadExt(buf, cap, unused);
        return len != 0 ? RET_RTPHDR_OK : RET_RTPHDR_NO_DATA;
    }
};
CAMDET_DET_CLASS(AxisMp4Detector, MakeDetArgs);
