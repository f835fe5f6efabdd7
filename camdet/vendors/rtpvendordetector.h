// Cameras that carry their event state in the RTP header extension of their
// MPEG-4/H.264 stream, read from the recorder's shared fetcher of the live
// stream (empty path, port 0):
//   Axis     the same "name:value;" text as in its JPEG comments (camdet/rules/axisrules.h);
//            one class for all four kinds, with its own bounded read of the newest packet
//   Vivotek  the application data of its JPEG APP2 segments (camdet/rules/vivotekrules.h);
//            motion or tampering by kind
//   AVTECH   "MOTION" and "ALARM" words (camdet/rules/avtechrules.h); the two classes
//            differ only in kind and test
#ifndef CAMDET_RTPVENDORDETECTOR_H
#define CAMDET_RTPVENDORDETECTOR_H

#include <string>

#include "camdet/rules/vivotekrules.h"
#include "camdet/transport/rtphdrdetector.h"

// The kinds of the camera share one stream: the first linked runs the loop.
class AxisMp4Detector : public RtpHdrDetector {
public:
    // The flag the factories pass (stream FIFO) is not used: RTP has no FIFO.
    AxisMp4Detector(DET_BASE_ATTR attr, bool flag, int kind);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* data, unsigned int len, int& value) override;
    bool IsTrig(int port, char* data, unsigned int len, int& value) override;
    // A fixed buffer of kExtBufSize bytes (allocated on the first call) and a
    // bounded wait for a packet newer than the last one read, on whatever
    // fetcher it is handed; a longer extension is cut to the buffer.
    __tag_RET_RTPHDR FetchExtData(char*& buf, unsigned int& cap, unsigned int& len, RtpFetchHandler& h,
                                  bool shared) override;
    static constexpr unsigned int kExtBufSize = 512;
};

class VivotekMp4Detector : public RtpHdrDetector {
public:
    VivotekMp4Detector(DET_BASE_ATTR attr, VIVO_FUNC_GR group, int kind);
    int GetPathPort(std::string& path, int& port) override;
    // The application-data test by this detector's kind, whatever the group.
    bool IsTrig(char* data, unsigned int len, int& value) override;
    // The application-data test; a kind it has no test for is logged.
    bool CheckTrigValInAppData(const char* data, int len, int& value, int kind);

    VIVO_FUNC_GR m_FuncGr;
};

class AvtechDetector : public RtpHdrDetector {
public:
    // kind: DET_TYPE_MD or DET_TYPE_DI; links for sharing with it.
    AvtechDetector(DET_BASE_ATTR attr, int kind);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* data, unsigned int len, int& value) override;
    bool IsTrig(int port, char* data, unsigned int len, int& value) override;
};

#define AVTECH_CLASS(Name, Kind)                                              \
    class Name : public AvtechDetector {                                      \
    public:                                                                   \
        explicit Name(DET_BASE_ATTR attr) : AvtechDetector(attr, Kind) {}     \
    }

AVTECH_CLASS(AVTECHMD, DET_TYPE_MD);
AVTECH_CLASS(AVTECHDI, DET_TYPE_DI);

#endif  // CAMDET_RTPVENDORDETECTOR_H
