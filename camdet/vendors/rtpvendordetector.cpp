#include "camdet/vendors/rtpvendordetector.h"

#include <new>

#include "camdet/rules/avtechrules.h"
#include "camdet/rules/axisrules.h"
#include "dupfromox/oxdebuglog.h"

namespace {

const char* const kSrc = "camdet/rtpvendordetector";

// Every class here reads the recorder's fetcher of the live stream.
int SharedFetcher(std::string& path, int& port) {
    path.clear();
    port = 0;
    return 0;
}

}  // namespace

// ---------------------------------------------------------------- Axis

AxisMp4Detector::AxisMp4Detector(DET_BASE_ATTR attr, bool, int kind) : RtpHdrDetector(attr) { LinkShareDet(kind); }

int AxisMp4Detector::GetPathPort(std::string& path, int& port) { return SharedFetcher(path, port); }

bool AxisMp4Detector::IsTrig(char* data, unsigned int len, int& value) {
    return axisrule::StreamTrig(m_DetType, data, len, value);
}

bool AxisMp4Detector::IsTrig(int port, char* data, unsigned int len, int& value) {
    return axisrule::StreamInputTrig(port, data, len, value);
}

__tag_RET_RTPHDR AxisMp4Detector::FetchExtData(char*& buf, unsigned int& cap, unsigned int& len, RtpFetchHandler& h,
                                               bool) {
    if (!buf) {
        buf = new (std::nothrow) char[kExtBufSize];
        if (!buf) {
            OXLOG(kSrc, "Cam[%d]: Allocate memory failed.\n", m_CamId);
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

// ---------------------------------------------------------------- Vivotek

VivotekMp4Detector::VivotekMp4Detector(DET_BASE_ATTR attr, VIVO_FUNC_GR group, int kind)
    : RtpHdrDetector(attr), m_FuncGr(group) {
    LinkShareDet(kind);
}

int VivotekMp4Detector::GetPathPort(std::string& path, int& port) { return SharedFetcher(path, port); }

bool VivotekMp4Detector::IsTrig(char* data, unsigned int len, int& value) {
    return CheckTrigValInAppData(data, (int)len, value, m_DetType);
}

bool VivotekMp4Detector::CheckTrigValInAppData(const char* data, int len, int& value, int kind) {
    if (kind != DET_TYPE_MD && kind != DET_TYPE_TD) {
        value = 0;
        OXLOG(kSrc, "Unknown detection type %d\n", kind);
        return false;
    }
    return vivorule::CheckTrigValInAppData(data, len, value, kind);
}

// ---------------------------------------------------------------- AVTECH

AvtechDetector::AvtechDetector(DET_BASE_ATTR attr, int kind) : RtpHdrDetector(attr) { LinkShareDet(kind); }

int AvtechDetector::GetPathPort(std::string& path, int& port) { return SharedFetcher(path, port); }

bool AvtechDetector::IsTrig(char* data, unsigned int len, int& value) {
    return avtechrule::AVTECHMD(data, len, value);
}

bool AvtechDetector::IsTrig(int port, char* data, unsigned int len, int& value) {
    return avtechrule::AVTECHDI(port, data, len, value);
}
