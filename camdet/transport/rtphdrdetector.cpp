#include "camdet/transport/rtphdrdetector.h"

#include <new>

#include "dupfromox/oxdebuglog.h"
#include "interface/rtpfetch.h"

namespace {

const char* const kSrc = "camdet/rtphdrdetector";
// The stream protocol the fetchers speak: RTP over RTSP.
const int kRtpOverRtsp = 1;
// What an own fetcher is asked for: the RTP over the RTSP connection of the
// video track, kept alive, with the fetcher's own time-out.
const bool kOwnOverUdp = false;
const int kOwnMediaVideo = 2;
const bool kOwnKeepAlive = true;
const int kOwnTimeoutSec = 0;

// One packet per pass; the followers read the owner's buffer during the
// locked feed.
class ExtSteps : public CamDetector::UnitSteps<RtpHdrDetector> {
public:
    explicit ExtSteps(RtpHdrDetector& det) : m_Det(det) {}
    ~ExtSteps() override {
        delete[] m_Buf;
        if (m_pOwn) ReleaseRtpFetch(m_pOwn);
    }

    bool Open() override { return m_Det.OpenFetcher(m_Fetch, m_blShared, m_pOwn); }
    bool Step() override {
        m_Len = 0;
        m_Result = m_Det.FetchExtData(m_Buf, m_Cap, m_Len, m_Fetch, m_blShared);
        const bool lost = RtpHdrDetector::IsStreamLost(m_Result, m_blShared);
        const bool wasLost = m_blLost;
        m_blLost = lost;
        m_Unit.buf = m_Buf;
        m_Unit.len = m_Len;
        m_Unit.state = lost ? DET_UNIT_LOST : m_Result == RET_RTPHDR_OK ? DET_UNIT_OK : DET_UNIT_NO_DATA;
        if (lost) return !wasLost;  // reported once, when it happens
        return m_Result == RET_RTPHDR_OK;
    }
    // An own fetcher's wait paces packets with data; the shared one is only
    // sampled. After a failed own fetch the session is dropped and a back-off
    // comes before the pass pause.
    void Pace() override {
        if (!m_blShared && (m_Result == RET_RTPHDR_FAIL || m_Result == RET_RTPHDR_NO_MEM)) {
            m_Fetch.FetchFailed();
            m_Det.SleepBySec(RtpHdrDetector::kOwnFailSec);
        }
        if (m_blShared || m_Result != RET_RTPHDR_OK) m_Det.PauseMs(RtpHdrDetector::kPassPauseMs);
    }
    void Close() override {
        delete[] m_Buf;
        m_Buf = nullptr;
        m_Cap = 0;
        // The recorder's shared fetcher is never released here.
        if (m_pOwn) ReleaseRtpFetch(m_pOwn);
    }

private:
    RtpHdrDetector& m_Det;
    RtpFetchHandler m_Fetch;
    bool m_blShared = false;
    BRObjectBase* m_pOwn = nullptr;
    char* m_Buf = nullptr;
    unsigned int m_Cap = 0;
    unsigned int m_Len = 0;
    __tag_RET_RTPHDR m_Result = RET_RTPHDR_FAIL;
    bool m_blLost = false;
};

}  // namespace

RtpHdrDetector::RtpHdrDetector(DET_BASE_ATTR attr) : CamDetector(attr) {}

RtpHdrDetector::~RtpHdrDetector() {}

bool RtpHdrDetector::IsShareFetcher(const std::string& path, int port) { return path.empty() && port == 0; }

bool RtpHdrDetector::IsStreamLost(__tag_RET_RTPHDR result, bool shared) {
    // The fetcher applies the time-out: it fails (own) or holds no current
    // extension (shared: the copy fails, a bounded read finds none) once the
    // camera sent nothing of use for that long, or its stream broke.
    return result == RET_RTPHDR_FAIL || (shared && result == RET_RTPHDR_NO_DATA);
}

int RtpHdrDetector::DetMain() {
    ExtSteps steps(*this);
    return RunLoop(steps);
}

bool RtpHdrDetector::OpenFetcher(RtpFetchHandler& h, bool& shared, BRObjectBase*& own) {
    if (m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_PROTOCOL) != kRtpOverRtsp) {
        OXLOG(kSrc, "Cam[%d]: Wrong protocol.\n", m_CamId);
        return false;
    }
    std::string path;
    int port = 0;
    if (GetPathPort(path, port) != 0) return false;
    if (IsShareFetcher(path, port)) {
        h = m_Attr.rtpFetchHdl;
        shared = true;
    } else {
        const std::string host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
        const std::string user = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER);
        const std::string password = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
        const std::string arg = m_Attr.pCamApi ? m_Attr.pCamApi->GetRtpFetchArg() : std::string();
        own = RtpFetchFactory(host, port, path, user, password, kOwnOverUdp, arg, kOwnMediaVideo, kOwnKeepAlive,
                              kOwnTimeoutSec, &Services());
        h = RtpFetchHandler(own);
        shared = false;
    }
    if (!h.IsValid()) {
        OXLOG(kSrc, "Cam[%d]: Failed to new RtpFetcher.\n", m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_CAM_ID));
        return false;
    }
    return true;
}

__tag_RET_RTPHDR RtpHdrDetector::FetchExtData(char*& buf, unsigned int& cap, unsigned int& len, RtpFetchHandler& h,
                                              bool shared) {
    if (shared) {
        // A packet without an extension is not told apart here: copying its
        // zero bytes succeeds and the tests see an empty extension.
        len = h.CurExtLen();
    } else {
        int unused = 0;
        if (h.WaitPacket(len, unused) != 0) return RET_RTPHDR_FAIL;
        if (len == 0) return RET_RTPHDR_NO_DATA;
    }
    if (cap < len) {
        delete[] buf;
        buf = new (std::nothrow) char[len];
        if (!buf) {
            OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_CamId);
            cap = 0;
            h.OutOfMemory();
            return RET_RTPHDR_NO_MEM;
        }
        cap = len;
    }
    if (h.CopyExt(reinterpret_cast<unsigned char*>(buf), len) != 0) return RET_RTPHDR_FAIL;
    return RET_RTPHDR_OK;
}
