#include "camdet/vendors/acti/actidetector.h"

#include <errno.h>
#include <string.h>

#include "camdet/core/detclass.h"
#include "camdet/rules/ownlooprules.h"
#include "dupfromox/oxdebuglog.h"
#include "interface/backoff.h"
#include "interface/clock.h"

namespace {

const char* const kSrc = "camdet/actidetector";
const int kSocketTimeoutSec = 1;

// Reads up to len bytes, as many reads as the camera needs to send them;
// the bytes read (fewer when a read fails or the peer closes).
unsigned int ReadUpTo(BrellinOwned::CamSocket* sock, unsigned char* buf, unsigned int len, int& lastRc) {
    unsigned int got = 0;
    lastRc = 0;
    while (got < len) {
        lastRc = sock->ReadData(reinterpret_cast<char*>(buf + got), (int)(len - got));
        if (lastRc <= 0) break;
        got += (unsigned int)lastRc;
    }
    return got;
}

// One pass: connect when needed, one header, the keep-alive; the status of
// the pass is reported to this detector only (the class does not share).
class ActiSteps : public CamDetector::LoopSteps {
public:
    explicit ActiSteps(ActiMD& det) : m_Det(det) {}
    ~ActiSteps() override { m_Det.ReleaseSocket(m_Sock); }

    bool Step() override {
        if (!m_blConnected) {
            if (m_Det.NewSocket(m_Sock) != 0) {
                m_Det.SleepBySec(1);
                return false;
            }
            m_blConnected = true;
            m_LoggedInMs = m_Det.GetClock().NowMs();
        }
        m_Trig = false;
        m_Value = 0;
        int rc = m_Det.Detect(m_Sock, m_Trig, m_Value);
        if (rc == 0) rc = m_Det.SendLiveReq(m_Sock);
        if (rc != 0) {
            m_Sock->Disconnect();
            m_blConnected = false;
            m_Trig = false;
            m_Value = 0;
            // Rebuilt at once after a connection that ran; a camera that logs
            // the detector in and ends every connection at once would
            // otherwise get a login at network speed.
            m_WaitMs = m_Backoff.NextWaitMs(true, m_Det.GetClock().NowMs() - m_LoggedInMs);
        }
        return true;
    }
    void Report(CamDetector* det) override {
        if (det != &m_Det) return;
        det->ReportDecided([this](DET_DECISION& d) {
            d.trig = m_Trig;
            d.level = m_Value;
        });
    }
    void Pace() override {
        if (m_WaitMs > 0) m_Det.PauseMs((int)m_WaitMs);
        m_WaitMs = 0;
    }
    void Close() override {
        m_Det.ReleaseSocket(m_Sock);
        m_blConnected = false;
    }

private:
    ActiMD& m_Det;
    BrellinOwned::CamSocket* m_Sock = nullptr;
    bool m_Trig = false;
    int m_Value = 0;
    bool m_blConnected = false;  // m_Sock holds a logged-in connection
    int64_t m_LoggedInMs = 0;    // the camera's clock
    int64_t m_WaitMs = 0;        // before the next pass: the connection broke
    BrellinOwned::ReconnectBackoff m_Backoff;
};

}  // namespace

ActiMD::ActiMD(DET_BASE_ATTR attr)
    : CamDetector(attr),
      m_EventCode(ACTI_MOTION_EVENT),
      m_LiveCmd(ACTI_LIVE_CMD),
      m_LastLiveTime(0),
      m_blLoginFailLogged(false) {}

ActiMD::~ActiMD() {}

int ActiMD::DetMain() {
    ActiSteps steps(*this);
    return RunLoop(steps);
}

int ActiMD::NewSocket(BrellinOwned::CamSocket*& sock) {
    if (sock) sock->Disconnect();
    CameraAPI* api = m_Attr.pCamApi;
    if (!api) return -1;
    api->SetStreamInfo(m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_FORMAT),
                       m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_STREAM_PROTOCOL));
    std::string path;
    int port = 0;
    if (api->GetDetPathPort(path, port) != 0) return -1;
    // One object for every connection: its log state makes a camera that
    // stays away one log line, not one a try.
    if (!sock) sock = Services().NewSocket().release();
    sock->SetSocketInfo(m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST), port, kSocketTimeoutSec, false);
    if (ConnectWithAuth(sock) != 0) {
        sock->Disconnect();
        return -1;
    }
    m_LastLiveTime = m_Clock.NowMs();
    return 0;
}

int ActiMD::ConnectWithAuth(BrellinOwned::CamSocket* sock) {
    if (!sock) return -1;
    if (sock->Connect() != 0) return -1;
    if (sock->SetKeepAliveOpt(1, 5, 5, 3) != 0) return -1;
    unsigned char packet[ACTI_LOGIN_SIZE];
    ActiLoginPacket(m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER),
                    m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD), packet);
    const int w = sock->WriteData(reinterpret_cast<char*>(packet), (int)sizeof(packet));
    memset(packet, 0, sizeof(packet));  // the password does not stay on the stack
    if (w == -1) return -1;
    unsigned char answer[ACTI_LOGIN_SIZE];
    int rc = 0;
    const unsigned int got = ReadUpTo(sock, answer, sizeof(answer), rc);
    if (got > 0 && ActiLoginAccepted(answer, got)) {
        m_blLoginFailLogged = false;
        return 0;
    }
    // Once per run of refusals; a stopped detector is not a camera fault.
    if (!m_blLoginFailLogged && !BrellinOwned::IsWakeSignalled()) {
        OXLOG(kSrc, "Cam[%d]: Login refused or not answered.\n", m_CamId);
        m_blLoginFailLogged = true;
    }
    return -1;
}

int ActiMD::SendLiveReq(BrellinOwned::CamSocket* sock) {
    if (!sock) return -1;
    const int64_t now = m_Clock.NowMs();
    if (now - m_LastLiveTime < kLiveIntervalMs) return 0;
    unsigned char packet[ACTI_HEADER_SIZE];
    ActiLivePacket(m_LiveCmd, packet);
    if (sock->WriteData(reinterpret_cast<char*>(packet), (int)sizeof(packet)) < 1) return -1;
    m_LastLiveTime = now;
    return 0;
}

int ActiMD::Detect(BrellinOwned::CamSocket* sock, bool& trig, int& value) {
    trig = false;
    value = 0;
    if (!sock) return -1;
    unsigned char hdr[ACTI_HEADER_SIZE];
    const int first = sock->ReadData(reinterpret_cast<char*>(hdr), (int)sizeof(hdr));
    if (first < 0) return errno == EAGAIN ? 0 : -1;
    if (first == 0) return -1;  // the camera closed the connection
    // The rest of a header that came in pieces.
    int rc = 0;
    const unsigned int got =
        (unsigned int)first + (first < (int)sizeof(hdr) ? ReadUpTo(sock, hdr + first, sizeof(hdr) - first, rc) : 0);
    ACTI_EVENT_HEADER h;
    if (!ActiReadHeader(hdr, got, h)) return -1;
    const int32_t skip = ActiPayloadToSkip(h);
    if (skip < 0) return -1;
    unsigned char drop[1024];
    for (int32_t left = skip; left > 0;) {
        const unsigned int n = left < (int32_t)sizeof(drop) ? (unsigned int)left : (unsigned int)sizeof(drop);
        if (ReadUpTo(sock, drop, n, rc) != n) return -1;
        left -= (int32_t)n;
    }
    trig = ActiIsMotion(h, m_EventCode, value);
    return 0;
}

int ActiMD::ReleaseSocket(BrellinOwned::CamSocket*& sock) {
    delete sock;  // disconnects
    sock = nullptr;
    return 0;
}

CAMDET_DET_CLASS(ActiMD, MakeDet);
