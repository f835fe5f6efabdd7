#include "camdet/transport/jpghdrdetector.h"

#include <string.h>

#include <algorithm>
#include <new>

#include <jerror.h>

#include "camdet/core/streamloss.h"
#include "dupfromox/oxdebuglog.h"
#include "interface/backoff.h"
#include "interface/hostservices.h"
#include "interface/mediaunit.h"

namespace {
const char* const kSrc = "camdet/jpghdrdetector";
const int kFirstFifoPos = 10001;
const int kFetchTimeoutSec = 10;
// A frame with more APPn and comment segments than this is no camera's: it
// is not parsed further (a frame of empty segments costs nothing to send).
const int kMaxSegments = 1024;
const int kFirstApp = 0xE0, kLastApp = 0xEF, kCom = 0xFE;
const int kFetchMode = 1;
const int kNoFrameSec = 10;
const int kCopyFailSec = 3;
const int kBackoffSec = 5;

// A length a frame length (unsigned int) can hold; always so where long is 32 bits.
bool FitsLength(unsigned long long len) { return len <= 0xFFFFFFFFull; }

// Grows buf to exactly need bytes when it holds fewer; cap 0 when that fails.
bool Grow(char*& buf, unsigned int& cap, unsigned int need) {
    if (buf && cap >= need) return true;
    delete[] buf;
    buf = new (std::nothrow) char[need ? need : 1];
    cap = buf ? need : 0;
    return buf != nullptr;
}
}  // namespace

JpgHdrDetector::JpgHdrDetector(DET_BASE_ATTR attr, int marker, bool byFifo)
    : CamDetector(attr), m_blByFifo(byFifo), m_Marker(marker), m_DataIdCnt(0), m_pDataIds(nullptr), m_MFHandler(Services()) {
    m_PollIntervalMs = 100;
}

JpgHdrDetector::~JpgHdrDetector() { delete[] m_pDataIds; }

void JpgHdrDetector::SetDataIds(const int* ids, unsigned int cnt) {
    delete[] m_pDataIds;
    m_pDataIds = nullptr;
    m_DataIdCnt = 0;
    m_Prefix.clear();
    if (!ids || cnt == 0) return;
    m_pDataIds = new int[cnt];
    memcpy(m_pDataIds, ids, cnt * sizeof(int));
    m_DataIdCnt = cnt;
    m_Prefix.resize(cnt);
}

bool JpgHdrDetector::DetectDataId(jpeg_marker_struct*& m) {
    for (jpeg_marker_struct* s = m; s; s = s->next) {
        if (s->data_length < m_DataIdCnt) continue;
        unsigned int i = 0;
        while (i < m_DataIdCnt && (int)s->data[i] == m_pDataIds[i]) ++i;
        if (i == m_DataIdCnt) {
            m = s;
            return true;
        }
    }
    return false;
}

namespace {

// One header parse, reached by the segment reader through client_data.
struct SEGMENT_SCAN {
    JpgHdrDetector* det;
    int wanted;
    JOCTET* prefix;  // room for the data-id bytes
    unsigned int prefixLen;
    char** out;
    unsigned int* cap;
    unsigned int len;
    int segments;
    bool found;
    bool noMem;
};

// Takes n bytes of the frame into dst (null: skips them). The source holds
// the whole frame and supplies end-of-image markers past it, so this never
// waits and never reads beyond the frame.
void Take(j_decompress_ptr c, JOCTET* dst, size_t n) {
    struct jpeg_source_mgr* src = c->src;
    while (n > 0) {
        if (src->bytes_in_buffer == 0 && (!(*src->fill_input_buffer)(c) || src->bytes_in_buffer == 0))
            ERREXIT(c, JERR_INPUT_EMPTY);
        const size_t k = std::min(n, src->bytes_in_buffer);
        if (dst) {
            memcpy(dst, src->next_input_byte, k);
            dst += k;
        }
        src->next_input_byte += k;
        src->bytes_in_buffer -= k;
        n -= k;
    }
}

// Reads every APPn and comment segment in place of libjpeg: only the wanted
// one is kept, without saving the others in a list (which libjpeg walks to
// its end for every segment it adds, quadratic in their count); the count of
// segments is bounded and a stopped detector ends the parse.
boolean ReadSegment(j_decompress_ptr c) {
    SEGMENT_SCAN* scan = static_cast<SEGMENT_SCAN*>(c->client_data);
    JOCTET head[2];
    Take(c, head, 2);
    const unsigned int total = ((unsigned int)head[0] << 8) | head[1];
    if (total < 2) ERREXIT(c, JERR_BAD_LENGTH);
    const unsigned int n = total - 2;
    if (++scan->segments > kMaxSegments || BrellinOwned::IsWakeSignalled()) ERREXIT(c, JERR_TOO_LITTLE_DATA);
    if (c->unread_marker != scan->wanted || scan->found || scan->noMem) {
        Take(c, nullptr, n);
        return TRUE;
    }
    const unsigned int pre = std::min(n, scan->prefixLen);
    Take(c, scan->prefix, pre);
    jpeg_marker_struct seg;
    memset(&seg, 0, sizeof(seg));
    seg.marker = (UINT8)scan->wanted;
    seg.original_length = n;
    seg.data_length = n;
    seg.data = scan->prefix;
    jpeg_marker_struct* m = &seg;
    if (!scan->det->DetectDataId(m)) {
        Take(c, nullptr, n - pre);
        return TRUE;
    }
    // The first segment with the prefix is the one: without room for it there is none.
    if (!Grow(*scan->out, *scan->cap, n)) {
        scan->noMem = true;
        Take(c, nullptr, n - pre);
        return TRUE;
    }
    if (pre > 0) memcpy(*scan->out, scan->prefix, pre);
    Take(c, reinterpret_cast<JOCTET*>(*scan->out) + pre, n - pre);
    scan->len = n;
    scan->found = true;
    return TRUE;
}

}  // namespace

int JpgHdrDetector::Detect(char* img, unsigned int len, char*& out, unsigned int& cap, unsigned int& payloadLen) {
    if (!img || len == 0) {
        OXLOG(kSrc, "Cam[%d]: Wrong parameters!\n", m_CamId);
        return -1;
    }
    // libjpeg reads only APPn and comment segments through a reader of ours.
    if (m_Marker != kCom && (m_Marker < kFirstApp || m_Marker > kLastApp)) return -1;
    SEGMENT_SCAN scan;
    scan.det = this;
    scan.wanted = m_Marker;
    scan.prefix = m_DataIdCnt ? &m_Prefix[0] : nullptr;
    scan.prefixLen = m_DataIdCnt;
    scan.out = &out;
    scan.cap = &cap;
    scan.len = 0;
    scan.segments = 0;
    scan.found = false;
    scan.noMem = false;
    // Only plain data lives between setjmp and a jump back: nothing here
    // owns a resource that a long jump would skip.
    struct jpeg_decompress_struct cinfo;
    VELMAR_JPEG_ERR_MGR err;
    SetJpegExit(reinterpret_cast<jpeg_common_struct*>(&cinfo), &err);
    jpeg_create_decompress(&cinfo);
    if (setjmp(err.setjmp_buffer)) {
        jpeg_abort_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        // The frame cannot be read (truncated, corrupt, a segment bomb): it
        // says nothing, not "no event".
        return kDetectNoFrame;
    }
    cinfo.client_data = &scan;
    SetJpegSrcInfo(&cinfo, reinterpret_cast<unsigned char*>(img), len);
    for (int code = kFirstApp; code <= kLastApp; ++code) jpeg_set_marker_processor(&cinfo, code, &ReadSegment);
    jpeg_set_marker_processor(&cinfo, kCom, &ReadSegment);
    jpeg_read_header(&cinfo, TRUE);

    int rc = -1;
    if (scan.found) {
        payloadLen = scan.len;
        rc = 0;
    }
    jpeg_abort_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return rc;
}

int JpgHdrDetector::FetchImage(char*& buf, unsigned int& cap, unsigned int& size) {
    char text[128];
    text[0] = '\0';
    int bodyLen = 0;
    const int next = m_MFHandler.NextPart(size, text, sizeof(text), bodyLen);
    if (next == MF_NEXT_STREAM_CLOSED) return 1;
    if (next != 0) {
        SleepBySec(kNoFrameSec);
        return -1;
    }
    if (size > cap || !buf) {
        if (!Grow(buf, cap, size)) {
            OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_CamId);
            m_MFHandler.Drop();
            return -1;
        }
    }
    if (m_MFHandler.ReadPart(reinterpret_cast<unsigned char*>(buf), size) != 0) {
        SleepBySec(kCopyFailSec);
        return -1;
    }
    return 0;
}

namespace {

// What both loops share: the payload buffer the followers read in place,
// the pacing of one frame per polling period, and when the stream is lost.
class FrameSteps : public CamDetector::UnitSteps<JpgHdrDetector> {
public:
    FrameSteps(JpgHdrDetector& det, int periodMs, BrellinOwned::WakeUp* wake)
        : m_Det(det),
          m_Timer(periodMs * 1000, wake, &det.GetClock()),
          m_Loss(det.GetClock(), kFetchTimeoutSec * 1000),
          m_Out(nullptr),
          m_Cap(0),
          m_Len(0),
          m_Result(-1) {}
    ~FrameSteps() override { delete[] m_Out; }
    void Pace() override { m_Timer.Delay(); }

protected:
    void Begin() {
        m_Timer.BeginTiming();
        m_Loss.Start();
    }
    // Parses one frame; whether it is to be reported. This is where a frame
    // that is no data keeps the status: it is not reported, and only frames
    // that can be read keep the stream from being lost.
    bool Parse(char* img, unsigned int len) {
        m_Len = 0;
        m_Result = (img && len) ? m_Det.Detect(img, len, m_Out, m_Cap, m_Len) : JpgHdrDetector::kDetectNoFrame;
        if (m_Result == JpgHdrDetector::kDetectNoFrame) return Nothing();
        m_Loss.Unit();
        return Ready();
    }
    // A pass without a usable frame: reported (as a failed one) only when no
    // usable frame came within the time-out, once.
    bool Nothing() {
        if (!m_Loss.NewlyLost()) return false;
        return Failed();
    }
    // A pass whose frame could not be had: reported as no alarm.
    bool Failed() {
        m_Len = 0;
        m_Result = -1;
        return Ready();
    }
    // The payload (or the failure) as the unit to report.
    bool Ready() {
        m_Unit.buf = m_Out;
        m_Unit.len = m_Len;
        m_Unit.state = m_Result == 0 && m_Out ? DET_UNIT_OK : DET_UNIT_FAILED;
        return true;
    }

    JpgHdrDetector& m_Det;
    BrellinOwned::DelayTimer m_Timer;
    StreamLoss m_Loss;
    char* m_Out;
    unsigned int m_Cap;
    unsigned int m_Len;
    int m_Result;
};

// Frames from the recorder's live-stream FIFO. An empty FIFO is not a
// failure: the status stays and the next period asks again, until the
// stream counts as lost.
class FifoSteps : public FrameSteps {
public:
    FifoSteps(JpgHdrDetector& det, const StreamFifoHandler& fifo, int camId, int periodMs, BrellinOwned::WakeUp* wake)
        : FrameSteps(det, periodMs, wake), m_Fifo(fifo), m_CamId(camId), m_Pos(kFirstFifoPos) {}

    bool Open() override {
        if (!m_Fifo.IsValid()) {
            OXLOG(kSrc, "Cam[%d]: Null stream fifo.\n", m_CamId);
            m_Det.ResetDetStatus();
            return false;
        }
        Begin();
        return true;
    }
    bool Step() override {
        BRObjectBase* unit = m_Fifo.Call<BRObjectBase*, int>(STREAM_FIFO_FUNC_NEXT_UNIT, m_Pos);
        if (!unit) return Nothing();
        MediaUnitHandler mu(unit);
        m_Pos = mu.Position();
        unsigned char* data = mu.Data();
        unsigned long len = mu.Length();
        // A unit beyond what one length can say is no frame of ours.
        const bool fits = FitsLength(len);
        const bool report = Parse(fits ? reinterpret_cast<char*>(data) : nullptr, fits ? (unsigned int)len : 0);
        ReleaseMediaUnit(unit);
        return report;
    }

private:
    const StreamFifoHandler& m_Fifo;
    int m_CamId;
    int m_Pos;
};

// Frames fetched by the detector itself through the recorder's media fetch.
class FetchSteps : public FrameSteps {
public:
    FetchSteps(JpgHdrDetector& det, int periodMs, BrellinOwned::WakeUp* wake, MFHandler& mf, const std::string& path,
               const std::string& host, int port, const std::string& user, const std::string& password)
        : FrameSteps(det, periodMs, wake),
          m_MF(mf),
          m_Path(path),
          m_Host(host),
          m_Port(port),
          m_User(user),
          m_Password(password),
          m_Img(nullptr),
          m_ImgCap(0) {}
    ~FetchSteps() override { delete[] m_Img; }

    bool Open() override {
        m_MF.Open(m_Path, m_Host, m_Port, m_User, m_Password, kFetchTimeoutSec, kFetchMode);
        Begin();
        m_OpenedMs = m_Det.GetClock().NowMs();
        return true;
    }
    bool Step() override {
        unsigned int size = 0;
        const int rc = m_Det.FetchImage(m_Img, m_ImgCap, size);
        if (rc > 0) {
            // A stream the camera ended after frames is opened again (at
            // once when it ran) and its status stays: "no alarm" until the
            // next frame would show a state that did not change as off and
            // on again. Without a frame for the time-out it is lost all the same.
            const int64_t now = m_Det.GetClock().NowMs();
            const int64_t wait = m_Backoff.NextWaitMs(true, now - m_OpenedMs);
            if (wait > 0) m_Det.PauseMs((int)wait);
            m_OpenedMs = m_Det.GetClock().NowMs();
            return Nothing();
        }
        if (rc != 0) {
            m_MF.Failed();
            m_Det.SleepBySec(kBackoffSec);
            m_OpenedMs = m_Det.GetClock().NowMs();
            return Failed();
        }
        return Parse(m_Img, size);
    }

private:
    MFHandler& m_MF;
    std::string m_Path, m_Host;
    int m_Port;
    std::string m_User, m_Password;
    char* m_Img;
    unsigned int m_ImgCap;
    int64_t m_OpenedMs = 0;  // the camera's clock: when the stream last (re)started
    BrellinOwned::ReconnectBackoff m_Backoff;
};

}  // namespace

int JpgHdrDetector::DetMain() { return m_blByFifo ? DetMainByFifo() : DetMainByMFetch(); }

int JpgHdrDetector::DetMainByFifo() {
    FifoSteps steps(*this, m_Attr.streamFifoHdl, m_CamId, m_PollIntervalMs, &m_StopWake);
    return RunLoop(steps);
}

int JpgHdrDetector::DetMainByMFetch() {
    if (IsShareFollower()) return 0;
    std::string path;
    int port = 80;
    if (GetPathPort(path, port) != 0) {
        ResetDetStatus();
        return 0;
    }
    const std::string password = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
    const std::string user = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER);
    const std::string host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
    FetchSteps steps(*this, m_PollIntervalMs, &m_StopWake, m_MFHandler, path, host, port, user, password);
    return RunLoop(steps);
}
