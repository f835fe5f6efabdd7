// What a detector needs from the recorder to talk to its camera: the clock
// its waits run on and the connections it opens. Passed in, never global:
// the camera-API object hands one CameraServices to every detector of its
// camera, so a test gives a camera a fake clock and a scripted network
// without touching any other camera of the process.
#ifndef INTERFACE_CAMSERVICES_H
#define INTERFACE_CAMSERVICES_H

#include <memory>
#include <string>

enum HTTP_VERSION { HTTP_VER_DEF = 0, HTTP_VER_1_0 = 1, HTTP_VER_1_1 = 2 };

enum OX_HTTP_METHOD { OX_HTTP_GET = 0, OX_HTTP_POST = 1 };

// Response entries readable through GetHttpContent.
enum HTTP_MAP_KEY {
    HTTP_MAP_STATUS_LINE = 0,   // "HTTP/1.1 200 OK"
    HTTP_MAP_CONTENT_TYPE = 1,  // value of Content-Type
    HTTP_MAP_CONTENT_LENGTH = 2,
    HTTP_MAP_ALL_HEADERS = 3,  // every header line, each ended by "\r\n"
};

namespace BrellinOwned {

class Clock;
class CameraHealth;

// A TCP connection to the camera, as the detectors use it. OXSocket is the
// recorder's; the contracts are OXSocket's (interface/hostservices.h).
// Every wait is measured on the clock the socket was made with.
class CamSocket {
public:
    virtual ~CamSocket() {}
    virtual void SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive) = 0;
    virtual int Connect() = 0;
    virtual int WriteData(char* buf, int len) = 0;
    virtual int ReadData(char* buf, int max) = 0;
    virtual int ReadToLineEnd(char* buf, int max) = 0;
    virtual int SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count) = 0;
    virtual void Disconnect() = 0;
};

// An HTTP client of the camera, as the detectors use it. OXHttpClient is the
// recorder's; the contracts are OXHttpClient's. Every wait is measured on
// the clock the client was made with.
class CamHttpClient {
public:
    virtual ~CamHttpClient() {}
    virtual void Init(std::string path, std::string host, int port, std::string user, std::string password,
                      int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version,
                      std::string extraHeader) = 0;
    virtual void SetPath(std::string path) = 0;
    virtual int SendRequest(OX_HTTP_METHOD method, std::string data) = 0;
    virtual int CheckResponse(int& status) = 0;
    virtual int GetHttpContent(HTTP_MAP_KEY key, std::string& value) = 0;
    virtual int ReadData(char* buf, int max) = 0;
    virtual int ReadToLineEnd(char* buf, int max) = 0;
    virtual void Close() = 0;
    // Asks for TLS on the exchanges until the next Init, under the camera's
    // certificate policy, where the camera itself may be on plain HTTP: for
    // an https:// address it gave. False when this client cannot speak TLS;
    // it must then not be used for that address. (A camera set to HTTPS gets
    // clients that use TLS whatever is asked.)
    virtual bool RequireTls() { return false; }
    // True when the last SendRequest failed because the camera's certificate
    // was not accepted under its policy (a camera we reach but must not trust).
    virtual bool CertificateRefused() { return false; }
};

// One camera's services. Thread-safe: every detector thread of the camera
// (and the recorder's threads) may call it; what it makes belongs to the
// caller and is used by one thread.
class CameraServices {
public:
    virtual ~CameraServices() {}
    // The clock of every pause, pacing and network time-out of the camera.
    // Lives as long as the services.
    virtual Clock& GetClock() = 0;
    // A new, unconnected socket on GetClock().
    virtual std::unique_ptr<CamSocket> NewSocket() = 0;
    // A new client with no request made, on GetClock().
    virtual std::unique_ptr<CamHttpClient> NewHttpClient() = 0;
    // The camera's health (interface/camhealth.h) that the clients made here
    // report to, or null when nobody keeps one. Lives as long as the services.
    virtual CameraHealth* Health() { return nullptr; }
    // The same services with clients that report nothing to Health(): for a
    // client that judges the camera's answers itself (ONVIF reads SOAP
    // faults and rations its own logins), so that nothing is counted twice.
    virtual CameraServices& Unreported() { return *this; }
};

// The recorder's services on the real clock (OXSocket, OXHttpClient): what a
// camera gets unless its camera-API object says otherwise. Never destroyed.
CameraServices& DefaultCameraServices();

}  // namespace BrellinOwned

#endif  // INTERFACE_CAMSERVICES_H
