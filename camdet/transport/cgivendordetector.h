// The polled classes as rows: one generic detector built from a row that
// gives the class's kind, its request path (fixed, computed, per input, or
// the camera API's) and port, the transport settings (time-out, query type,
// HTTP version, poll interval), whether the motion and input detector of a
// camera share one poll, and its trigger test (camdet/rules/cgirules.h).
// A family's file emits each class with CGI_CLASS: the class bound to its
// row and its factory definition, in one line.
#ifndef CAMDET_CGIVENDORDETECTOR_H
#define CAMDET_CGIVENDORDETECTOR_H

#include <string>

#include "camdet/core/detclass.h"
#include "camdet/rules/cgirules.h"
#include "camdet/transport/cgiquerydetector.h"

// Where a class's request path and port come from.
enum CGI_PORT_SRC {
    CGI_PORT_HTTP = 0,        // the row's path, the mediator's HTTP port
    CGI_PORT_CAM_API_DI = 1,  // path and port both from CameraAPI::GetDIPathPort (its result ignored)
};

// How a class asks its camera.
enum CGI_LOOP {
    CGI_LOOP_POLL = 0,            // the transport's loop: one answer per poll serves every input
    CGI_LOOP_EACH_INPUT = 1,      // one request per input on a kept-alive connection, 30 s time-out,
                                  // default HTTP version
    CGI_LOOP_EACH_INPUT_NEW = 2,  // one request per input on a new connection, the row's time-out and version
};

// What a computed request path may read of its camera.
struct CgiPathArgs {
    std::string user, password;  // the mediator's login
    int inputs = 0;              // the camera's input count
    bool flag = false;           // the factory's capability flag (MessoaSDK05: "GROUP11")
    CameraAPI* api = nullptr;
    CameraCap* cap = nullptr;
};
typedef std::string (*CgiPathFn)(const CgiPathArgs& cam);
// The request path of one 0-based input for the per-input loops.
typedef std::string (*CgiInputPathFn)(int port);
// Runs once before the first poll: what an input in alarm reads, from the
// camera API; non-zero and the detector never polls.
typedef int (*CgiPrepareFn)(CameraAPI* api, std::string& diTrigValue);

// One class. The defaults are the common case; a row states what differs.
struct CgiRow {
    int kind = DET_TYPE_MD;  // DET_TYPE_MD or DET_TYPE_DI
    const char* path = nullptr;
    CgiPathFn pathFn = nullptr;
    CgiInputPathFn inputPath = nullptr;  // the per-input loops; also their first request path
    CGI_PORT_SRC portSrc = CGI_PORT_HTTP;
    int timeout = 10;  // seconds, to the HTTP client or the socket
    __tag_CGI_QUERY_TYPE query = CGI_QUERY_HTTP;
    HTTP_VERSION version = HTTP_VER_DEF;
    int pollMs = 1000;  // poll interval; 0 polls back to back
    bool shared = false;  // motion and input detector share one poll
    CGI_LOOP loop = CGI_LOOP_POLL;
    CgiTrigRule rule = nullptr;
    CgiPrepareFn prepare = nullptr;

    constexpr CgiRow Every(int ms) const {
        CgiRow r = *this;
        r.pollMs = ms;
        return r;
    }
    constexpr CgiRow Shared() const {
        CgiRow r = *this;
        r.shared = true;
        return r;
    }
    constexpr CgiRow Timeout(int sec) const {
        CgiRow r = *this;
        r.timeout = sec;
        return r;
    }
    constexpr CgiRow Http11() const {
        CgiRow r = *this;
        r.version = HTTP_VER_1_1;
        return r;
    }
    // A hand-made request on a raw socket; the raw answer is tested.
    constexpr CgiRow RawSocket() const {
        CgiRow r = *this;
        r.query = CGI_QUERY_SOCKET;
        return r;
    }
    // The per-input loop on a new connection each time.
    constexpr CgiRow NewConnectionEachInput() const {
        CgiRow r = *this;
        r.loop = CGI_LOOP_EACH_INPUT_NEW;
        return r;
    }
    constexpr CgiRow Prepare(CgiPrepareFn fn) const {
        CgiRow r = *this;
        r.prepare = fn;
        return r;
    }
};

// The starts of a row: a motion or input class asking a fixed or computed path.
constexpr CgiRow CgiPoll(int kind, const char* path, CgiPathFn pathFn, CgiTrigRule rule) {
    CgiRow r;
    r.kind = kind;
    r.path = path;
    r.pathFn = pathFn;
    r.rule = rule;
    return r;
}
constexpr CgiRow CgiMotion(const char* path, CgiTrigRule rule) { return CgiPoll(DET_TYPE_MD, path, nullptr, rule); }
constexpr CgiRow CgiMotion(CgiPathFn path, CgiTrigRule rule) { return CgiPoll(DET_TYPE_MD, nullptr, path, rule); }
constexpr CgiRow CgiInput(const char* path, CgiTrigRule rule) { return CgiPoll(DET_TYPE_DI, path, nullptr, rule); }
constexpr CgiRow CgiInput(CgiPathFn path, CgiTrigRule rule) { return CgiPoll(DET_TYPE_DI, nullptr, path, rule); }
// Inputs asked one per request (a kept-alive connection unless the row says otherwise).
constexpr CgiRow CgiEachInput(CgiInputPathFn path, CgiTrigRule rule) {
    CgiRow r = CgiPoll(DET_TYPE_DI, nullptr, nullptr, rule);
    r.inputPath = path;
    r.loop = CGI_LOOP_EACH_INPUT;
    return r;
}
// Inputs asked where the camera API says (path and port).
constexpr CgiRow CgiInputAtCameraApi(CgiTrigRule rule) {
    CgiRow r = CgiPoll(DET_TYPE_DI, nullptr, nullptr, rule);
    r.portSrc = CGI_PORT_CAM_API_DI;
    return r;
}

class CgiVendorDetector : public CgiQueryDetector {
public:
    // The detector of row (which outlives it); args.b: the factory's
    // capability flag (MessoaSDK05: the camera API specifies "GROUP11").
    CgiVendorDetector(DET_BASE_ATTR attr, const CgiRow& row, const DetArgs& args);

    // The row's own loop for the per-input cameras, else the transport's.
    int DetMain() override;
    // The row's preparation, else the transport's.
    int GetDiTrigValue() override;
    int GetPathPort(std::string& path, int& port) override;
    // The row's test in the form of its kind; the other form is false.
    bool IsTrig(char* buf, unsigned int len, int& value) override;
    bool IsTrig(int port, char* buf, unsigned int len, int& value) override;

    const CgiRow& Row() const { return m_Row; }

private:
    CgiRuleState RuleState() const;
    // The row's test; passes on whether it could read the answer.
    bool Test(int port, char* buf, unsigned int len, int& value);

    const CgiRow& m_Row;
    bool m_blFlag;
};

// Emits the polled class Name bound to its row (the rest of the line, a
// CgiRow) and its factory definition detclass::Name.
#define CGI_CLASS(Name, ...)                                                                    \
    class Name : public CgiVendorDetector {                                                     \
    public:                                                                                     \
        static constexpr CgiRow kRow = __VA_ARGS__;                                             \
        Name(DET_BASE_ATTR attr, const DetArgs& args) : CgiVendorDetector(attr, kRow, args) {} \
    };                                                                                          \
    CAMDET_DET_CLASS(Name, MakeDetArgs)

#endif  // CAMDET_CGIVENDORDETECTOR_H
