// The simulated camera's shared vocabulary: the fault switches, the alarm
// state, requests and answers, the family rows, the configuration and the
// view of the camera its servers get (SimCamera). The family files and the
// servers need only this header; CamSim itself is in camsim.h.
//
// Families. tools/camsim/families.cpp holds one explicit table, one row per
// family: a name, the camera API keys it answers for, the authentication a
// camera of that family asks for, and a handler function. A handler sees the
// request and a snapshot of the state and returns either a complete response
// or a streaming one (Response::stream). To add a family:
//   1. write the handler in its own file, e.g. tools/camsim/sim_multipart_x.cpp,
//      as `camsim::Response HandleX(const camsim::Request&, const camsim::SimContext&);`
//      (only simtypes.h is needed; no registration code of its own);
//   2. add its declaration and one row to the table in families.cpp; when the
//      family's cameras already have a row (the same API keys), put the
//      handler in that row's `more` slot instead.
// tools/CMakeLists.txt globs tools/camsim/sim_*.cpp into the library.
//
#ifndef TOOLS_CAMSIM_SIMTYPES_H
#define TOOLS_CAMSIM_SIMTYPES_H

#include <stddef.h>
#include <stdint.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace camsim {

// Authentication the simulated camera asks for. kFamily: the family row's.
enum class Auth { kFamily, kNone, kBasic, kDigest };
const char* AuthName(Auth a);

// Fault switches. While a switch is on, every camera request (not the control
// interface) is served like this:
enum Fault {
    kFaultStall,      // the request is read, nothing is answered until the switch goes off,
                      // the client leaves or the simulator stops; streams stop sending
    kFaultCloseMid,   // headers and half of the body, then the connection is closed;
                      // a stream sends half of its next write and closes
    kFaultGarbage,    // the body (every stream write) is replaced by as many pseudo-random bytes
    kFault401,        // 401 with the family's challenge, whatever the credentials
    kFault500,        // 500 Internal Server Error
    kFaultHugeLength, // Content-Length announces 10^12 bytes; the real body follows, then close
    kFaultVanish,     // the camera falls silent on every connection, old and new, as if unplugged
                      // (no close reaches the client); when it is back, those connections are dropped
    kFaultRtcpOnly,   // RTSP: playing sessions get RTCP sender reports instead of RTP packets
    kFaultExtPacing,  // RTSP: only one frame every Config::extPacingMs carries the extension
    kFaultMarkerBomb, // MJPEG frame streams: every frame opens with kMarkerBombSegments empty comments
    kFaultRefuse,     // connections are closed without an answer: new ones at once, before any
                      // byte is read; kept-alive ones at their next request
    kFaultCloseAtOnce,    // the answer's status and headers, then the response and the connection
                          // end (no body, streams included); a family's own port ends each
                          // connection after the camera's first write (ACTi: the login answer)
    kFaultShortRecords,   // streams of fixed-size binary records (EverFocus, Y-cam) send every
                          // record one byte short
    kFaultCount
};
// "stall", "close-mid", "garbage", "401", "500", "huge-length", "vanish", "rtcp-only",
// "ext-pacing", "marker-bomb", "refuse", "close-at-once", "short-records".
const char* FaultName(Fault f);
// False for an unknown name.
bool FaultFromName(const std::string& name, Fault& f);

// The camera's alarm state; copied out as a snapshot.
struct AlarmState {
    bool motion = false;
    int motionLevel = 0;  // 0 while motion is off; 1-100 while on
    bool tamper = false;
    bool audio = false;
    std::vector<bool> inputs;  // index 0 is input 1
    uint64_t version = 0;      // increases by one with every change
    uint32_t motionEvents = 0;  // times motion went on (cameras that count alarms)
    uint32_t inputEvents = 0;   // times an input went on

    // Input n (from 1); false outside the configured range.
    bool Input(int n) const { return n >= 1 && n <= (int)inputs.size() && inputs[n - 1]; }
    bool AnyInput() const;
};

// One HTTP request as the camera received it.
struct Request {
    std::string method;  // "GET", "POST", ...
    std::string target;  // request target exactly as sent: "/cgi-bin/x.cgi?a=1"
    std::string path;    // target before '?', leading slashes folded to one: "/cgi-bin/x.cgi"
    std::string query;   // target after the first '?', without it; may be empty
    std::map<std::string, std::string> headers;  // names in lower case
    std::string body;    // request body (POST); at most 1 MiB is kept

    // True when path (and query, if `want` has a '?') equal `want`; a leading
    // slash on `want` is optional: Is("cgi-bin/a.cgi?x=1").
    bool Is(const std::string& want) const;
    // Value of a query parameter as sent (no percent-decoding); "" when absent.
    std::string Param(const std::string& name) const;
    bool HasParam(const std::string& name) const;
    std::string Header(const std::string& lowerName) const;
};

class StreamWriter;
// Body producer of a streaming response. Runs on a thread of its own and
// returns when the stream is to end (normally when Write or WaitChange
// returns false).
typedef std::function<void(StreamWriter&)> StreamFn;

struct Response {
    int status = 200;
    std::vector<std::pair<std::string, std::string> > headers;  // Content-Type among them
    std::string body;
    StreamFn stream;     // set: the body is produced by this function, without a length
    bool chunked = false;  // streams only: HTTP/1.1 chunked instead of HTTP/1.0 close-delimited

    static Response Text(const std::string& body, const std::string& contentType = "text/plain");
    static Response Status(int status, const std::string& body = std::string());
    static Response NotFound() { return Status(404, "Not Found\n"); }
    Response& Header(const std::string& name, const std::string& value);
};

class SimCamera;

// Hands a streaming response's bytes to the client. Used only on the
// producer's own thread.
class StreamWriter {
public:
    // Queues bytes for the client; blocks while more than 256 KiB are
    // waiting or the stall switch is on. False once the client has gone, the
    // stream was closed (close-mid fault) or the simulator is stopping.
    bool Write(const std::string& bytes);
    bool Write(const char* data, size_t len);
    // Waits until the state's version differs from `seen` (and stores the new
    // version there; returns true), or `maxMs` passes (returns true, `seen`
    // unchanged). False when the stream should end.
    bool WaitChange(uint64_t& seen, int maxMs);
    AlarmState State() const;
    // A fault switch that shapes what the producer writes (short records, marker bombs).
    bool FaultOn(Fault f) const;
    // The states after `version`, oldest first (see SimCamera::StatesAfter).
    std::vector<AlarmState> StatesAfter(uint64_t version) const;
    bool Alive() const;

    struct Channel;  // the queue between producer and server (httpserver.h)
    // Made by the server for each streaming response.
    StreamWriter(SimCamera* sim, std::shared_ptr<Channel> ch) : m_Sim(sim), m_Ch(std::move(ch)) {}

private:
    SimCamera* m_Sim;
    std::shared_ptr<Channel> m_Ch;
};

// What a handler may know besides the request.
struct SimContext {
    AlarmState state;      // snapshot taken when the request arrived
    std::string api;       // the camera API key being simulated
    std::string user;      // configured login (for families that carry it in the path)
    std::string password;
    int inputCount = 0;
    std::string onvifTopics;  // Config::onvifTopics
    bool tls = false;         // Config::tls: the camera's own addresses are https://
    std::atomic<uint64_t>* refusedLogins = nullptr;  // a handler that refuses a login counts it here
};

typedef Response (*HandlerFn)(const Request& req, const SimContext& ctx);

// One TCP connection to a family's own port (cameras that speak a protocol
// of their own beside HTTP). Used only on the connection's own thread.
class RawConn {
public:
    // Sends bytes. The garbage fault replaces them, close-mid sends half and
    // closes, stall holds them back until it goes off. False once the client
    // has gone, the connection was closed or the simulator is stopping.
    bool Write(const std::string& bytes);
    // Appends received bytes to out until it holds n of them: false when the
    // client closes, the simulator stops or maxMs pass first.
    bool ReadExact(size_t n, std::string& out, int maxMs);
    // As StreamWriter::WaitChange.
    bool WaitChange(uint64_t& seen, int maxMs);
    AlarmState State() const;
    bool Alive() const;
    // The snapshot taken when the connection was accepted (login, API key).
    const SimContext& Context() const { return m_Ctx; }

    RawConn(SimCamera* sim, int fd, const SimContext& ctx) : m_Sim(sim), m_Fd(fd), m_Ctx(ctx) {}

private:
    SimCamera* m_Sim;
    int m_Fd;
    SimContext m_Ctx;
    bool m_blClosed = false;
};

// Serves one connection of a family's own port; returns when it is to close.
typedef void (*RawFn)(RawConn& conn);
// One row of the RTP family table.
struct RtpFamily {
    const char* name;
    const char* const* apiKeys;  // null-terminated
    const char* path;            // the stream's path ("/axis-media/media.amp")
    uint16_t profile;            // the extension's profile-defined 16 bits
    // The extension's data for a state (padded to whole words by the server).
    std::string (*ext)(const AlarmState& s);
};
const RtpFamily* RtpFamilyTable(size_t& count);
// The row serving `apiKey`, or null.
const RtpFamily* FindRtpFamily(const std::string& apiKey);

// One row of the family table.
struct Family {
    const char* name;              // short family name, e.g. "foscam"
    const char* const* apiKeys;    // camera API keys served, null-terminated
    Auth auth;                     // what the camera asks for (kNone, kBasic or kDigest)
    HandlerFn handle;
    // Asked when `handle` answers 404: the same camera's other interface
    // (a polled input CGI beside a pushed motion stream), kept in its own file.
    HandlerFn more = nullptr;
    // The camera's own TCP port besides HTTP (null: none), and the port
    // number its cameras use (0: any free one).
    RawFn raw = nullptr;
    int rawPort = 0;
};

// The table of families, in table order; the count in `count`.
const Family* FamilyTable(size_t& count);
// The row serving `apiKey`, or null.
const Family* FindFamily(const std::string& apiKey);

struct Config {
    std::string api;          // camera API key; must be served by a family row
    std::string user;         // empty: no authentication at all
    std::string password;
    Auth auth = Auth::kFamily;
    int inputs = 4;           // number of alarm inputs, 0-64
    int port = 0;             // 0: any free port
    int rawPort = 0;          // the family's own port: 0 any free one, -1 the one its cameras use
    std::string address = "127.0.0.1";  // loopback address to bind (any of 127.0.0.0/8)
    std::string realm = "camsim";
    // Set: answers every camera request instead of the family row's handler
    // (tests of the server itself); `api` must still name a family.
    HandlerFn handler = nullptr;
    int rtspPort = 0;          // RTP families: the RTSP server's port (0: any free one)
    int rtpFramesPerSec = 10;  // frames of four packets; 0: as fast as the client reads
    int extPacingMs = 1500;    // the ext-pacing fault: at most one extension this often
    // ONVIF: the topic family the device lists and sends ("" the first,
    // "cellmotion"; see OnvifTopicFamilies).
    std::string onvifTopics;
    // HTTPS with a self-signed certificate made at start (the RTSP server and
    // the family's own port stay as they are).
    bool tls = false;
};


// What the servers of one simulated camera (HTTP, its own port, RTSP) and
// their streams see of it: CamSim. Thread-safe.
class SimCamera {
public:
    virtual ~SimCamera() {}
    virtual const Config& GetConfig() const = 0;
    // The authentication asked for: the configuration's, else the family's.
    virtual Auth EffectiveAuth() const = 0;
    virtual AlarmState State() const = 0;
    virtual bool GetFault(Fault f) const = 0;
    // Waits until the version differs from `seen` or `maxMs` passes; the current version.
    virtual uint64_t WaitChange(uint64_t seen, int maxMs) const = 0;
    // Every state after `version`, oldest first (the last changes are kept).
    virtual std::vector<AlarmState> StatesAfter(uint64_t version) const = 0;
    // Camera requests served so far.
    virtual uint64_t RequestCount() const = 0;
    // True once the simulator is stopping: every server thread ends.
    virtual bool Stopping() const = 0;
};

}  // namespace camsim

#endif  // TOOLS_CAMSIM_SIMTYPES_H
