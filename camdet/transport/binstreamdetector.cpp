#include "camdet/transport/binstreamdetector.h"

#include <string.h>

#include <new>

#include "dupfromox/oxdebuglog.h"
#include "interface/backoff.h"
#include "interface/camhealth.h"
#include "interface/clock.h"

namespace {
const char* const kSrc = "camdet/binstreamdetector";
// A camera writes each record whole; the rest of a record that comes only
// after a pause this long belongs to the next one.
const int64_t kRecordGapMs = 500;
}  // namespace

BinStreamDetector::BinStreamDetector(DET_BASE_ATTR attr, std::string path, unsigned int bufSize,
                                     __tag_BIN_STREAM_TYPE type, int timeoutSec, bool httpFlag)
    : CamDetector(attr),
      m_Socket(Services().NewSocket()),
      m_Timeout(timeoutSec),
      m_BufSize(bufSize),
      m_Path(std::move(path)),
      m_HttpClient(Services().NewHttpClient()),
      m_StreamType(type),
      m_blHttpFlag(httpFlag) {}

BinStreamDetector::~BinStreamDetector() {
    if (m_StreamType == BIN_STREAM_SOCKET_LINE) m_Socket->Disconnect();
}

int BinStreamDetector::FailureBudget(int timeoutSec) {
    const int n = timeoutSec > 0 ? 60 / timeoutSec - 1 : 0;
    return n > 0 ? n : 20;
}

namespace {

// One record or line per pass, read into one buffer that the followers read
// in place. The buffer has a spare byte, so that a record as long as the
// buffer is still zero-terminated and the HTTP client (which terminates what
// it reads) never writes past it.
class StreamSteps : public CamDetector::UnitSteps<BinStreamDetector> {
public:
    explicit StreamSteps(BinStreamDetector& det)
        : m_Det(det),
          m_Buf(nullptr),
          m_Size(det.GetBufSize()),
          m_Budget(BinStreamDetector::FailureBudget(det.GetTimeout())),
          m_Health(det.Services().Health()) {}
    ~StreamSteps() override { delete[] m_Buf; }

    bool Open() override {
        m_Buf = new (std::nothrow) char[(size_t)m_Size + 1];
        if (!m_Buf) {
            OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_Det.GetCamId());
            m_Det.ResetDetStatus();
            return false;
        }
        memset(m_Buf, 0, (size_t)m_Size + 1);
        m_Unit.buf = m_Buf;
        m_Unit.len = m_Size;
        m_Unit.state = DET_UNIT_OK;
        m_Det.OpenStream();
        // At the address of the stream's client, whose next answer clears a loss told here.
        m_Where = m_Det.StreamAddress();
        m_Health.SetAddress(m_Where.substr(0, m_Where.find('/')));
        return true;
    }

    bool Step() override {
        if (!m_blConnected) {
            if (m_Det.Connect() != 0) {
                m_Det.SleepBySec(1);
                return false;
            }
            m_blConnected = true;
            m_blDelivered = false;
            m_ConnectedMs = m_Det.GetClock().NowMs();
            // What the rules held from the old connection is not said again
            // on this one; a camera still in alarm repeats it.
            m_Det.ClearHeldStateOfCamera();
        }
        if (m_Det.GetStreamType() == BIN_STREAM_HTTP_RECORD) {
            if (m_Det.ReadUnit(m_Buf) == (int)m_Size) {
                Delivered();
                return true;
            }
            Reset("lost");
            return false;
        }
        // Empty lines are read past within the pass (each read is bounded
        // by the time-out, and there are at most 31 of them).
        for (;;) {
            const int n = m_Det.ReadUnit(m_Buf);
            if (n > 0) {
                m_Empty = m_Failures = 0;
                Delivered();
                // A NUL within a text line cuts what the rules see of it (a
                // value cut short reads as another value): nothing to report,
                // the status stays as it was.
                m_blLineUsable = memchr(m_Buf, '\0', (size_t)n) == nullptr;
                return m_blLineUsable;
            }
            if (n == 0) {
                if (m_Empty >= BinStreamDetector::kMaxEmptyLines) {
                    Reset(nullptr);
                    return false;
                }
                ++m_Empty;
                if (!m_Det.IsActivated()) return false;
                continue;
            }
            if (m_Failures >= m_Budget) {
                Reset("lost");
                return false;
            }
            // Nothing came: the line read last is evaluated again.
            ++m_Failures;
            return m_blLineUsable;
        }
    }

private:
    void Delivered() {
        m_blDelivered = true;
        if (!m_blLossTold) return;
        m_blLossTold = false;
        m_Health.Withdraw();
    }
    // lost: the stream broke off, stalled or ended (unreachable); null: it
    // brought only empty lines (error).
    void Reset(const char* lost) {
        // The camera's health hears of it before the reset clears the status,
        // so that whoever shows the camera does not take that "no alarm" for
        // the camera's word. A stopped detector is not a camera fault.
        if (!BrellinOwned::IsWakeSignalled()) {
            m_blLossTold = true;
            if (lost) m_Health.Unreachable("stream from " + m_Where + " " + lost);
            else m_Health.Error("stream from " + m_Where + " brought only empty lines");
        }
        m_Det.ResetStream(m_Buf);
        m_Empty = m_Failures = 0;
        m_blLineUsable = true;
        m_blConnected = false;
        // Reconnecting at once is kept for a stream that ran; a camera that
        // ends every stream at once would otherwise be reconnected at network
        // speed, with a login and a status change each time.
        const int64_t wait = m_Backoff.NextWaitMs(m_blDelivered, m_Det.GetClock().NowMs() - m_ConnectedMs);
        if (wait > 0) m_Det.PauseMs((int)wait);
    }

    BinStreamDetector& m_Det;
    char* m_Buf;
    const unsigned int m_Size;
    const int m_Budget;
    bool m_blConnected = false;
    int m_Empty = 0;
    int m_Failures = 0;
    bool m_blLineUsable = true;  // the line in the buffer is text the rules can read
    bool m_blDelivered = false;  // this connection gave a line or a record
    int64_t m_ConnectedMs = 0;    // the camera's clock
    BrellinOwned::ReconnectBackoff m_Backoff;
    BrellinOwned::HealthSource m_Health;  // what the stream's end told of the camera
    std::string m_Where;                  // "HOST:PORT/path" of the stream
    bool m_blLossTold = false;
};

}  // namespace

int BinStreamDetector::DetMain() {
    StreamSteps steps(*this);
    return RunLoop(steps);
}

void BinStreamDetector::OpenStream() {
    const std::string host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
    if (m_StreamType == BIN_STREAM_SOCKET_LINE) {
        std::string path;
        int port = 0;
        // Only the port matters; a camera API without one leaves it 0 and
        // every connect fails (once logged by the socket).
        if (m_Attr.pCamApi) m_Attr.pCamApi->GetDetPathPort(path, port);
        m_Socket->SetSocketInfo(host, port, m_Timeout, true);
        m_Address = BrellinOwned::HealthAddress(host, port);
        return;
    }
    m_Address = BrellinOwned::HealthAddress(host, m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT), m_Path);
    m_HttpClient->Init(m_Path, host, m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT),
                      m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER),
                      m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD), m_Timeout, m_blHttpFlag, true,
                      HTTP_VER_DEF, std::string());
}

int BinStreamDetector::Connect() {
    if (m_StreamType == BIN_STREAM_SOCKET_LINE) return m_Socket->Connect() == 0 ? 0 : -1;
    if (m_HttpClient->SendRequest(OX_HTTP_GET, "?") != 0) return -1;
    int status = 0;
    if (m_HttpClient->CheckResponse(status) != 0) return -1;
    std::string statusLine;
    if (m_HttpClient->GetHttpContent(HTTP_MAP_STATUS_LINE, statusLine) != 0) return -1;
    if (BrellinOwned::String2StrList(statusLine, " :;=").empty()) return -1;
    return 0;
}

int BinStreamDetector::ReadUnit(char* buf) {
    switch (m_StreamType) {
    case BIN_STREAM_HTTP_RECORD: {
        // The client hands over what has arrived, so a record may come in
        // pieces; a piece that does not come within the time-out ends it
        // short. So does one that comes only after a pause: the camera sent a
        // short record, and reading on would take every later record out of
        // step (the reset starts the stream again on a record boundary).
        unsigned int got = 0;
        int64_t lastMs = 0;
        while (got < m_BufSize) {
            const int n = m_HttpClient->ReadData(buf + got, (int)(m_BufSize - got) + 1);
            if (n <= 0) break;
            const int64_t now = GetClock().NowMs();
            if (got > 0 && now - lastMs > kRecordGapMs) break;
            got += (unsigned int)n;
            lastMs = now;
        }
        return (int)got;
    }
    case BIN_STREAM_HTTP_LINE: return m_HttpClient->ReadToLineEnd(buf, (int)m_BufSize);
    case BIN_STREAM_SOCKET_LINE: return m_Socket->ReadToLineEnd(buf, (int)m_BufSize);
    }
    // No vendor builds another type; nothing can be read from it.
    return -1;
}

void BinStreamDetector::ResetStream(char* buf) {
    memset(buf, 0, (size_t)m_BufSize + 1);
    m_Attr.evtBufHdl.SetStatus(false, 0);
    ResetDIDetStatus();
    ForEachFollower<BinStreamDetector>([](BinStreamDetector* f) { f->ResetDetStatus(); });
}
