// camsim: a simulated network camera on loopback.
//
// One CamSim is one camera: an HTTP server (libmicrohttpd, one thread per
// connection) on 127.0.0.1 that answers like the camera family of its API key,
// an alarm state (motion with level, tampering, audio, N alarm inputs) that
// the answers are made from, fault switches that make it misbehave, and an
// optional scenario thread that changes state and faults on a time line.
//
// Control interface. Requests under "/camsim/" are never authenticated and
// never faulted (except by "refuse", which drops connections before any
// request is read):
//   GET /camsim/state                  the state as "name=value" lines
//   GET /camsim/control?motion=1&level=40&tamper=0&audio=1&input2=1&fault_stall=0
//       applies the assignments in order and answers the new state; inputs
//       are numbered from 1 as on the camera's housing; level (1-100) goes
//       with motion=1 or changes the level of motion that is on; an unknown
//       name or a bad value answers 400 naming it and applies nothing.
//
// RTP families. tools/camsim/sim_rtp.cpp holds a second table, of the
// families whose cameras also stream RTP with their events in the header
// extension; for their API keys an RTSP server (rtspsim.h) runs beside the
// HTTP one, on its own port, with the same login, state and fault switches.
//
// Scenario files, one step per line, "#" starts a comment:
//   at SECONDS motion on [LEVEL]      LEVEL 1-100, default 100
//   at SECONDS motion off
//   at SECONDS input N on|off         N from 1
//   at SECONDS tamper on|off
//   at SECONDS audio on|off
//   at SECONDS fault NAME on|off      NAME: stall close-mid garbage 401 500 huge-length vanish
//                                           rtcp-only ext-pacing marker-bomb refuse close-at-once
//                                           short-records
// SECONDS is a decimal number of seconds since the scenario started.
#ifndef TOOLS_CAMSIM_CAMSIM_H
#define TOOLS_CAMSIM_CAMSIM_H

#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/camsim/simtypes.h"

namespace camsim {

struct ScenarioStep {
    enum What { kMotion, kInput, kTamper, kAudio, kFault };
    double at = 0;     // seconds after the scenario start
    What what = kMotion;
    bool on = false;
    int n = 0;         // input number (from 1) or motion level
    Fault fault = kFaultStall;
    int line = 0;      // line in the file, for messages
};

struct Scenario {
    std::vector<ScenarioStep> steps;  // in time order
    double Length() const { return steps.empty() ? 0 : steps.back().at; }
};

// Parses scenario text. On the first bad line returns false with `error` set
// to "line N: <what is wrong>"; `name` (a file name) is put in front when given.
bool ParseScenario(const std::string& text, Scenario& out, std::string& error, const std::string& name = "");
// Reads and parses a scenario file; false with a one-line error.
bool LoadScenarioFile(const std::string& path, Scenario& out, std::string& error);

// The names of the ONVIF topic families ("cellmotion", "motionalarm", ...).
std::vector<std::string> OnvifTopicFamilies();

class RtspSim;

class CamSim : public SimCamera {
public:
    explicit CamSim(const Config& cfg);
    // Stops the server and the scenario.
    ~CamSim();
    CamSim(const CamSim&) = delete;
    CamSim& operator=(const CamSim&) = delete;

    // Binds 127.0.0.1 and starts serving. False with `error` set when the API
    // key has no family, the configuration is invalid or the port cannot be
    // bound. Not to be called twice.
    bool Start(std::string& error);
    // Stops the scenario, ends every stream and connection, joins all server
    // threads. Waits at most about a second per blocked connection thread.
    // Safe to call more than once.
    void Stop();
    // The bound port after Start, else 0.
    int Port() const { return m_Port; }
    // With Config::tls, after Start: the pin of the certificate served
    // ("sha256//BASE64") and the certificate (PEM, a CA for itself); else "".
    std::string TlsPin() const;
    std::string TlsCertPem() const;
    // The family's own bound port after Start, else 0.
    int RawPort() const { return m_RawPort; }
    // RTP families: the RTSP server's port and stream URL after Start (0 and
    // "" for the others), the connections it took (refused ones not
    // counted), the sessions that reached PLAY, the packets sent.
    int RtspPort() const;
    std::string RtspUrl() const;
    int RtspConnections() const;
    int RtspSessions() const;
    uint64_t RtpPacketsSent() const;
    const Config& GetConfig() const override { return m_Cfg; }
    const Family* GetFamily() const { return m_Family; }
    Auth EffectiveAuth() const override;

    // State setters; thread-safe, each one change (version + 1) when it
    // changes something. Level < 0: 100. SetInput is false for n outside 1..inputs.
    void SetMotion(bool on, int level = -1);
    void SetTamper(bool on);
    void SetAudio(bool on);
    bool SetInput(int n, bool on);
    void SetFault(Fault f, bool on);
    bool GetFault(Fault f) const override;
    AlarmState State() const override;
    // Waits until the version differs from `seen` or `maxMs` passes; the current version.
    uint64_t WaitChange(uint64_t seen, int maxMs) const override;
    // Every state after `version`, oldest first: the last 1024 changes are
    // kept, for families whose cameras report each change as an event.
    std::vector<AlarmState> StatesAfter(uint64_t version) const override;
    bool Stopping() const override { return m_Stopping.load(); }

    // Applies "name=value&name=value" as the control endpoint does. False
    // (nothing applied) with `error` naming the bad item.
    bool ApplyControl(const std::string& query, std::string& error);
    // The state as "name=value" lines.
    std::string StateText() const;

    // Applies one scenario step now.
    void Apply(const ScenarioStep& st);
    // Runs a scenario on a thread of its own, from now. A running one is
    // stopped first.
    void RunScenario(const Scenario& sc);
    // True once the last step has been applied; waits at most `maxMs`.
    bool WaitScenarioDone(int maxMs);

    // Camera requests served (control requests and refused connections not
    // counted), and the target of the last one.
    uint64_t RequestCount() const override { return m_Requests.load(); }
    // Requests that reached the family handler (authenticated, not faulted
    // away): the answers a client could use.
    uint64_t AnswerCount() const { return m_Answers.load(); }
    // Logins refused: requests that carried a login (HTTP Authorization, an
    // ONVIF UsernameToken) and were answered 401 or NotAuthorized.
    uint64_t RefusedLogins() const { return m_RefusedLogins.load(); }
    // True once RefusedLogins() >= n; waits at most `maxMs`.
    bool WaitRefusedLogins(uint64_t n, int maxMs) const;
    // True once RequestCount() >= n; waits at most `maxMs`.
    bool WaitRequests(uint64_t n, int maxMs) const;
    std::string LastTarget() const;

    // Internal: the HTTP server (httpserver.cpp).
    struct HttpServer;

    // Internal: the family's own port (rawport.cpp).
    struct RawServer;

private:
    void Changed();  // m_Mutex held
    bool StartHttp(std::string& error);  // sets m_Port
    void StopHttp();
    bool StartRaw(std::string& error);
    void StopRaw();
    std::shared_ptr<RawServer> m_Raw;  // shared_ptr: the type is complete only in rawport.cpp
    int m_RawPort = 0;

    Config m_Cfg;
    const Family* m_Family;
    int m_Port = 0;
    std::shared_ptr<HttpServer> m_Http;  // shared_ptr: the type is complete only in httpserver.cpp
    std::unique_ptr<RtspSim> m_Rtsp;

    mutable std::mutex m_Mutex;
    mutable std::condition_variable m_Cond;
    AlarmState m_State;
    static const size_t kHistory = 1024;
    std::deque<AlarmState> m_History;
    bool m_Faults[kFaultCount];
    std::atomic<bool> m_Stopping{false};
    std::atomic<uint64_t> m_Requests{0};
    std::atomic<uint64_t> m_Answers{0};
    std::atomic<uint64_t> m_RefusedLogins{0};
    std::string m_LastTarget;

    std::thread m_Scenario;
    bool m_ScenarioStop = false;
    bool m_ScenarioDone = true;
};

}  // namespace camsim

#endif  // TOOLS_CAMSIM_CAMSIM_H
