// Transport for cameras that report their alarm state only when asked: the
// worker thread sends one GET to a vendor CGI per poll interval, hands the
// answer to the vendor's trigger test and reports the result. The motion and
// input detector of one camera can share a single poll.
#ifndef CAMDET_CGIQUERYDETECTOR_H
#define CAMDET_CGIQUERYDETECTOR_H

#include <functional>
#include <memory>
#include <string>

#include "camdet/core/answerjudge.h"
#include "camdet/core/eventdetector.h"
#include "interface/hostservices.h"

enum __tag_CGI_QUERY_TYPE {
    CGI_QUERY_HTTP = 0,    // through the recorder's HTTP client (authentication, status, body)
    CGI_QUERY_SOCKET = 1,  // hand-made request on a raw socket; the raw answer is tested
};

// The tests (CamDetector::IsTrig) see the answer as the poll left it: a
// zeroed buffer of the answer size (4096 bytes; 1024 for the per-input loops
// and where a class says so) holding a NUL-terminated text.
class CgiQueryDetector : public CamDetector {
public:
    // timeout goes unchanged to the HTTP client and to the socket; version to
    // the HTTP client. Vendors set the poll interval and kind afterwards.
    CgiQueryDetector(DET_BASE_ATTR attr, int timeout, __tag_CGI_QUERY_TYPE type, HTTP_VERSION version);
    ~CgiQueryDetector() override;

    // The polling loop; returns 0 at once for a follower of a shared poll.
    int DetMain() override;
    // Runs once before the loop; non-zero ends the thread. Default: clears
    // m_DiTrigValue and returns 0.
    virtual int GetDiTrigValue();
    // Fills the request path and TCP port; non-zero ends the thread.
    virtual int GetPathPort(std::string& path, int& port) = 0;

    // One poll through the HTTP client: 0 and the body in buf, or -1.
    int SendRequest(char* buf, int len);
    // One poll on the raw socket: 0 and the raw answer in buf, or -1.
    int SendRequestBySocket(const std::string& path, char* buf, int len);
    // One read of the raw answer, NUL bytes turned into spaces: the byte count or -1.
    int GetSocketResponse(char* buf, int len);

    static const int kRespBufSize = 4096;

protected:
    // The camera's login, address and HTTP port from the mediator.
    std::string CamUser() const;
    std::string CamPassword() const;
    std::string CamHost() const;
    int CamHttpPort() const;
    // path = fixed, port = the camera's HTTP port; 0.
    int FixedPathPort(const char* fixed, std::string& path, int& port) const;
    // Loop of cameras that answer for one input per request: one request per
    // pass, for the inputs in turn (inputPath(port) asked, the answer reported
    // for that port alone), the poll interval kept after the last input.
    int PollEachInput(int timeout, bool blKeepAlive, HTTP_VERSION version,
                      const std::function<std::string(int port)>& inputPath);

    // The recorder's clients through its interfaces, made by the camera's
    // services: a test hands in scripted ones.
    std::unique_ptr<BrellinOwned::CamHttpClient> m_HttpClient;
    std::unique_ptr<BrellinOwned::CamSocket> m_Socket;
    __tag_CGI_QUERY_TYPE m_QueryType;
    std::string m_DiTrigValue;
    HTTP_VERSION m_HttpVersion;
    int m_Timeout;
    // The bytes of an answer the tests see (up to kRespBufSize).
    int m_AnswerSize;
    // A failed poll leaves the status as it was, instead of reporting no alarm.
    bool m_blFailedPollKeeps;

private:
    std::unique_ptr<AnswerJudge> m_Judge;

public:
    // The loop's own steps (the loop is CamDetector::RunLoop): set-up once
    // (false ends the run), one poll, the pacing after it; for the per-input
    // loop its set-up and one input's request.
    bool OpenPoll(std::string& path, BrellinOwned::DelayTimer& timer);
    int Poll(const std::string& path, char* buf, int len);
    void PaceAfterPoll(BrellinOwned::DelayTimer& timer, int result);
    bool OpenEachInput(int timeout, bool blKeepAlive, HTTP_VERSION version, BrellinOwned::DelayTimer& timer);
    int PollInput(const std::string& path, char* buf, int len);
    int GetAnswerSize() const { return m_AnswerSize; }
    // What the camera's detectors made of the answer from path, for its
    // health; the judge is made when a loop opens and ends with it.
    void JudgeAnswer(DET_UNIT_READ read, const std::string& path);
    void EndJudging() { m_Judge.reset(); }
    bool FailedPollKeeps() const { return m_blFailedPollKeeps; }
};

#endif  // CAMDET_CGIQUERYDETECTOR_H
