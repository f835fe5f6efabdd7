// Transport for cameras that report their alarm state only when asked: the
// worker thread sends one GET to a vendor CGI per poll interval, hands the
// answer to the vendor's trigger test and reports the result. The motion and
// input detector of one camera can share a single poll.
#ifndef CAMDET_CGIQUERYDETECTOR_H
#define CAMDET_CGIQUERYDETECTOR_H

#include <functional>
#include <memory>
#include <string>

#include "camdet/core/eventdetector.h"
#include "interface/hostservices.h"

enum __tag_CGI_QUERY_TYPE {
    CGI_QUERY_HTTP = 0,    // through the recorder's HTTP client (authentication, status, body)
    CGI_QUERY_SOCKET = 1,  // hand-made request on a raw socket; the raw answer is tested
};

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
    // Motion-type test of one answer (NUL-terminated within len). Default: false.
    virtual bool IsTrig(char* buf, unsigned int len, int& value);
    // Input test of one answer for 0-based input port. Default: false.
    virtual bool IsTrig(int port, char* buf, unsigned int len, int& value);

    // One poll through the HTTP client: 0 and the body in buf, or -1.
    int SendRequest(char* buf, int len);
    // One poll on the raw socket: 0 and the raw answer in buf, or -1.
    int SendRequestBySocket(const std::string& path, char* buf, int len);
    // One read of the raw answer, NUL bytes turned into spaces: the byte count or -1.
    int GetSocketResponse(char* buf, int len);
    // Reports one answer for this detector (per port for an input detector);
    // a failed poll (result non-zero) reports no alarm.
    void UpdateTrigger(char* buf, unsigned int len, int result);
    void UpdateDITrigger(char* buf, unsigned int len, int result);

    static const int kRespBufSize = 4096;

protected:
    // The camera's login, address and HTTP port from the mediator.
    std::string CamUser() const;
    std::string CamPassword() const;
    std::string CamHost() const;
    int CamHttpPort() const;
    // path = fixed, port = the camera's HTTP port; 0.
    int FixedPathPort(const char* fixed, std::string& path, int& port) const;
    // Loop of cameras that answer for one input per request: every pass asks
    // inputPath(port) for each input and reports it through IsTrig(port, ...).
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

public:
    // The loop's own steps (the loop is CamDetector::RunLoop): set-up once
    // (false ends the run), one poll, the pacing after it.
    bool OpenPoll(std::string& path, BrellinOwned::DelayTimer& timer);
    int Poll(const std::string& path, char* buf, int len);
    void PaceAfterPoll(BrellinOwned::DelayTimer& timer, int result);
};

#endif  // CAMDET_CGIQUERYDETECTOR_H
