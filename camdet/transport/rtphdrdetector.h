// Transport base for cameras that carry their event state in the RTP header
// extension of their video packets. The detector reads the extension of one
// packet per pass, from the recorder's fetcher of the live stream (shared:
// the vendor names an empty path and port 0) or from a fetcher of its own,
// hands it to the vendor's tests and reports, for itself and for the RTP
// detectors of the same camera that follow it. Only an extension that was
// copied is tested (CamDetector::IsTrig: len bytes, not NUL-terminated; an
// empty one of the shared fetcher included); a packet without one leaves the
// status, for most packets of a frame carry none and the status would flap.
#ifndef CAMDET_RTPHDRDETECTOR_H
#define CAMDET_RTPHDRDETECTOR_H

#include <string>

#include "camdet/core/eventdetector.h"

// Result of one fetch.
enum __tag_RET_RTPHDR {
    RET_RTPHDR_OK = 0,       // extension data copied into the buffer
    RET_RTPHDR_FAIL = 1,     // the fetcher failed to deliver or copy a packet
    RET_RTPHDR_NO_DATA = 2,  // a packet came without extension data
    RET_RTPHDR_NO_MEM = 3,   // the buffer cannot be grown
};

class RtpHdrDetector : public CamDetector {
public:
    explicit RtpHdrDetector(DET_BASE_ATTR attr);
    ~RtpHdrDetector() override;

    // The worker loop (CamDetector::RunLoop): returns at once for a follower,
    // and without running when the stream protocol is not RTP over RTSP (1),
    // the vendor has no path or no fetcher can be had.
    int DetMain() override;

    // 0 when path and port are set; an empty path with port 0 selects the
    // recorder's shared fetcher.
    virtual int GetPathPort(std::string& path, int& port) = 0;
    // One packet's extension into buf (capacity cap, grown to the extension's
    // length when needed, never shrunk; the caller frees it with delete[]);
    // len is its length. shared tells which fetcher h is.
    virtual __tag_RET_RTPHDR FetchExtData(char*& buf, unsigned int& cap, unsigned int& len, RtpFetchHandler& h,
                                          bool shared);

    // True exactly for an empty path with port 0.
    static bool IsShareFetcher(const std::string& path, int port);
    // Whether a fetch's result says the stream is lost: every kind and input
    // is then reported (false, 0), once, until an extension comes again.
    static bool IsStreamLost(__tag_RET_RTPHDR result, bool shared);

    // The loop's set-up: the protocol check, the path, and the fetcher bound
    // to h (own: created here, to be released through ReleaseRtpFetch).
    // False when the loop is not to run.
    bool OpenFetcher(RtpFetchHandler& h, bool& shared, BRObjectBase*& own);

    // Pacing: between passes with the shared fetcher and after passes without
    // data; the back-off after a failed own fetch comes first.
    static constexpr int kPassPauseMs = 300;
    static constexpr int kOwnFailSec = 5;
};

#endif  // CAMDET_RTPHDRDETECTOR_H
