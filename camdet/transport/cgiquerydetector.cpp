#include "camdet/transport/cgiquerydetector.h"

#include <string.h>

#include <list>

namespace {

const int kFailedPollPauseMs = 100;

const char* const kUserAgent = "User-Agent: Velmar Korvane\r\n";


// Copies text into buf as a C string of at most len - 1 characters.
void CopyText(const std::string& text, char* buf, int len) {
    size_t n = text.size();
    if (n > (size_t)(len - 1)) n = (size_t)(len - 1);
    memcpy(buf, text.data(), n);
    buf[n] = '\0';
}

}  // namespace

CgiQueryDetector::CgiQueryDetector(DET_BASE_ATTR attr, int timeout, __tag_CGI_QUERY_TYPE type, HTTP_VERSION version)
    : CamDetector(attr),
      m_HttpClient(Services().NewHttpClient()),
      m_Socket(Services().NewSocket()),
      m_QueryType(type),
      m_DiTrigValue(),
      m_HttpVersion(version),
      m_Timeout(timeout),
      m_AnswerSize(kRespBufSize),
      m_blFailedPollKeeps(false) {}

CgiQueryDetector::~CgiQueryDetector() {
    if (m_QueryType == CGI_QUERY_SOCKET) m_Socket->Disconnect();
}

int CgiQueryDetector::GetDiTrigValue() {
    m_DiTrigValue.clear();
    return 0;
}

std::string CgiQueryDetector::CamUser() const { return m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER); }

std::string CgiQueryDetector::CamPassword() const {
    return m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
}

std::string CgiQueryDetector::CamHost() const { return m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST); }

int CgiQueryDetector::CamHttpPort() const { return m_Attr.camMediatorHdl.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT); }

int CgiQueryDetector::FixedPathPort(const char* fixed, std::string& path, int& port) const {
    path = fixed;
    port = CamHttpPort();
    return 0;
}

namespace {

// One poll per pass: the answer goes to this detector and to every polling
// follower of the camera.
class PollSteps : public CamDetector::UnitSteps<CgiQueryDetector> {
public:
    explicit PollSteps(CgiQueryDetector& det) : m_Det(det), m_Timer(0), m_Result(-1) {}

    bool Open() override { return m_Det.OpenPoll(m_Path, m_Timer); }
    bool Step() override {
        memset(m_Buf, 0, sizeof(m_Buf));
        const int size = m_Det.GetAnswerSize();
        m_Result = m_Det.Poll(m_Path, m_Buf, size);
        const DET_UNIT_STATE failed = m_Det.FailedPollKeeps() ? DET_UNIT_NO_DATA : DET_UNIT_FAILED;
        m_Unit.buf = m_Buf;
        m_Unit.len = (unsigned int)size;
        m_Unit.state = m_Result == 0 ? DET_UNIT_OK : failed;
        return true;
    }
    void Judge() override { m_Det.JudgeAnswer(TakeRead(), m_Path); }
    void Pace() override { m_Det.PaceAfterPoll(m_Timer, m_Result); }
    void Close() override { m_Det.EndJudging(); }

private:
    CgiQueryDetector& m_Det;
    std::string m_Path;
    BrellinOwned::DelayTimer m_Timer;
    int m_Result;
    char m_Buf[CgiQueryDetector::kRespBufSize];
};

// One input's request per pass: the answer is that input's alone.
class InputSteps : public CamDetector::UnitSteps<CgiQueryDetector> {
public:
    InputSteps(CgiQueryDetector& det, int timeout, bool blKeepAlive, HTTP_VERSION version,
               const std::function<std::string(int port)>& inputPath)
        : m_Det(det),
          m_Timeout(timeout),
          m_blKeepAlive(blKeepAlive),
          m_Version(version),
          m_InputPath(inputPath),
          m_Timer(0) {}

    bool Open() override { return m_Det.OpenEachInput(m_Timeout, m_blKeepAlive, m_Version, m_Timer); }
    bool Step() override {
        if (m_Port >= m_Det.GetDICnt()) return false;
        memset(m_Buf, 0, sizeof(m_Buf));
        m_Path = m_InputPath(m_Port);
        const bool ok = m_Det.PollInput(m_Path, m_Buf, sizeof(m_Buf)) == 0;
        m_Unit.buf = m_Buf;
        m_Unit.len = sizeof(m_Buf);
        m_Unit.state = ok ? DET_UNIT_OK : DET_UNIT_FAILED;
        m_Unit.port = m_Port;
        return true;
    }
    void Judge() override { m_Det.JudgeAnswer(TakeRead(), m_Path); }
    void Close() override { m_Det.EndJudging(); }
    // The poll interval is kept once per round of the inputs. A stop between
    // two inputs ends the round: each request may take the whole time-out.
    void Pace() override {
        if (++m_Port < m_Det.GetDICnt()) return;
        m_Port = 0;
        m_Timer.Delay();
    }

private:
    CgiQueryDetector& m_Det;
    int m_Timeout;
    bool m_blKeepAlive;
    HTTP_VERSION m_Version;
    std::function<std::string(int port)> m_InputPath;
    BrellinOwned::DelayTimer m_Timer;
    int m_Port = 0;
    std::string m_Path;
    char m_Buf[1024];
};

}  // namespace

int CgiQueryDetector::DetMain() {
    PollSteps steps(*this);
    return RunLoop(steps);
}

bool CgiQueryDetector::OpenPoll(std::string& path, BrellinOwned::DelayTimer& timer) {
    timer = BrellinOwned::DelayTimer(m_PollIntervalMs * 1000, &m_StopWake, &m_Clock);
    if (GetDiTrigValue() != 0) return false;
    int port = 0;
    if (GetPathPort(path, port) != 0) return false;
    m_Judge.reset(new AnswerJudge(Services(), CamHost(), port, m_CamId));
    if (m_QueryType == CGI_QUERY_SOCKET) {
        m_Socket->SetSocketInfo(CamHost(), port, m_Timeout, true);
    } else {
        m_HttpClient->Init(path, CamHost(), port, CamUser(), CamPassword(), m_Timeout, true, true, m_HttpVersion,
                          std::string());
    }
    timer.BeginTiming();
    return true;
}

int CgiQueryDetector::Poll(const std::string& path, char* buf, int len) {
    return m_QueryType == CGI_QUERY_SOCKET ? SendRequestBySocket(path, buf, len) : SendRequest(buf, len);
}

void CgiQueryDetector::PaceAfterPoll(BrellinOwned::DelayTimer& timer, int result) {
    // Deliberately not back to back: a refusing camera would otherwise be
    // hammered in a tight loop by a detector polling without an interval.
    if (m_PollIntervalMs <= 0 && result != 0) PauseMs(kFailedPollPauseMs);
    timer.Delay();
}

int CgiQueryDetector::SendRequest(char* buf, int len) {
    if (!buf || len <= 0) return -1;
    if (m_HttpClient->SendRequest(OX_HTTP_GET, "?") != 0) return -1;
    int status = 0;
    if (m_HttpClient->CheckResponse(status) != 0) return -1;
    std::string statusLine;
    if (m_HttpClient->GetHttpContent(HTTP_MAP_STATUS_LINE, statusLine) != 0) return -1;
    CopyText(statusLine, buf, len);
    if (BrellinOwned::String2StrList(buf, " :;=").empty()) return -1;
    // The body replaces the status line entirely, so no byte of it can be
    // mistaken for answer data by the byte-offset tests.
    memset(buf, 0, (size_t)len);
    if (m_HttpClient->ReadData(buf, len) < 0) return -1;
    return 0;
}

int CgiQueryDetector::SendRequestBySocket(const std::string& path, char* buf, int len) {
    if (!buf || len <= 1) return -1;
    if (m_Socket->Connect() < 0) return -1;
    // The path is appended to "GET /" as it is, so a leading "/" doubles.
    std::string req = "GET /" + path + " HTTP/1.1\r\n";
    req += kUserAgent;
    req += "Host: " + CamHost() + "\r\n";
    req += "\r\n";
    CopyText(req, buf, len);
    if (m_Socket->WriteData(buf, (int)strlen(buf)) <= 0) return -1;
    return GetSocketResponse(buf, len) < 0 ? -1 : 0;
}

int CgiQueryDetector::GetSocketResponse(char* buf, int len) {
    if (!buf || len <= 1) return -1;
    memset(buf, 0, (size_t)len);
    int n = m_Socket->ReadData(buf, len - 1);
    if (n < 0) return -1;
    if (n > len - 1) n = len - 1;
    for (int i = 0; i < n; ++i) {
        if (buf[i] == '\0') buf[i] = ' ';
    }
    buf[n] = '\0';
    return n;
}

void CgiQueryDetector::JudgeAnswer(DET_UNIT_READ read, const std::string& path) {
    if (m_Judge) m_Judge->Tell(read, path);
}

int CgiQueryDetector::PollEachInput(int timeout, bool blKeepAlive, HTTP_VERSION version,
                                    const std::function<std::string(int port)>& inputPath) {
    InputSteps steps(*this, timeout, blKeepAlive, version, inputPath);
    return RunLoop(steps);
}

bool CgiQueryDetector::OpenEachInput(int timeout, bool blKeepAlive, HTTP_VERSION version,
                                     BrellinOwned::DelayTimer& timer) {
    timer = BrellinOwned::DelayTimer(m_PollIntervalMs * 1000, &m_StopWake, &m_Clock);
    std::string path;
    int port = 0;
    if (GetPathPort(path, port) != 0) return false;
    m_Judge.reset(new AnswerJudge(Services(), CamHost(), port, m_CamId));
    m_HttpClient->Init(path, CamHost(), port, CamUser(), CamPassword(), timeout, true, blKeepAlive, version,
                      std::string());
    timer.BeginTiming();
    return true;
}

int CgiQueryDetector::PollInput(const std::string& path, char* buf, int len) {
    m_HttpClient->SetPath(path);
    return SendRequest(buf, len);
}
