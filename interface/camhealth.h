// One camera's health as the recorder's clients see it, kept in process: each
// client of the camera (socket, HTTP client, fetchers, RTSP and ONVIF
// exchanges) is a source that reports the outcome of its exchanges, and the
// camera's state is made from their last outcomes. Nothing here reads a log.
//
// States: connecting (no outcome yet), ok, unreachable (no connection, no
// answer, reset), unauthorized (the login was refused), error (an answer that
// cannot be used: an HTTP error other than 401, broken framing, a SOAP fault).
// The camera is ok while every source's last outcome is ok; otherwise it takes
// the most recent outcome that is not. A source that is gone no longer counts.
// A judge (a detector that tells whether the answers can be read) holds the
// camera where it was until it has said, so that a camera answering what
// nobody can read is never ok for the moment between exchange and test.
//
// Login ration: once a login was refused, the camera's sources together get
// at most `attempts` logins in any `windowSec` (on the camera's clock);
// between them a login is refused here at once, without the network. While
// the camera is not ok, one login is under way at a time, so that detectors
// starting together do not spend the ration at once. Thread-safe.
#ifndef INTERFACE_CAMHEALTH_H
#define INTERFACE_CAMHEALTH_H

#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>

namespace BrellinOwned {

class Clock;

enum CAM_HEALTH {
    CAM_HEALTH_CONNECTING = 0,
    CAM_HEALTH_OK = 1,
    CAM_HEALTH_UNREACHABLE = 2,
    CAM_HEALTH_UNAUTHORIZED = 3,
    CAM_HEALTH_ERROR = 4,
};
const int kCamHealthStates = 5;

// "connecting", "ok", "unreachable", "unauthorized", "error".
const char* CamHealthName(int state);

// "HOST:PORT/path" for health texts and log lines: the query (which may carry
// a login) left out, an IPv6 literal in brackets. A source at "HOST:PORT" is
// cleared by the answers of the camera's clients at that address.
std::string HealthAddress(const std::string& host, int port, const std::string& path = std::string());

struct CAM_HEALTH_REPORT {
    int state = CAM_HEALTH_CONNECTING;
    std::string error;       // the last failure's text ("" before any); never a login
    int64_t errorTimeMs = 0;  // its wall-clock time, ms since the epoch (0: none)
    int64_t changedMs = 0;    // wall-clock time of the last change of state
};

struct LOGIN_RATION {
    int attempts = 3;
    int windowSec = 300;
};

class CameraHealth {
public:
    // Called on every change of state, in the order of the changes, on the
    // reporting thread and under the health's report lock: it must not report
    // to this health. Set before the camera's clients run.
    typedef std::function<void(const CAM_HEALTH_REPORT&)> Listener;

    // clock: the camera's (borrowed), which the ration is measured on.
    explicit CameraHealth(Clock& clock, const LOGIN_RATION& ration = LOGIN_RATION());
    CameraHealth(const CameraHealth&) = delete;
    CameraHealth& operator=(const CameraHealth&) = delete;

    void SetListener(Listener l);
    // The state last told (a client that went away changes nothing until the
    // next report), with the last failure.
    CAM_HEALTH_REPORT Get();
    // Logins refused here (not sent) so far, for tests and counters.
    uint64_t LoginsHeldBack();

    // Sources; see HealthSource, which is how clients use these.
    int AddSource(const std::string& address, bool blJudge = false);
    void RemoveSource(int id);
    void SetSourceAddress(int id, const std::string& address);
    // outcome: a CAM_HEALTH_*; connecting withdraws the source's last
    // outcome. blLogin: the exchange carried the camera's login (an ok clears
    // every source's refusal).
    void Report(int id, int outcome, const std::string& error, bool blLogin);
    // Asks to send a login; waits (bounded by deadlineMs on the camera's
    // clock and the thread's wake-up) while another one is under way. True:
    // go ahead, and report the outcome (or call EndLogin). False: fail the
    // exchange without sending anything.
    bool BeginLogin(int id, int64_t deadlineMs);
    void EndLogin(int id);

private:
    struct Src {
        std::string address;
        int vote = CAM_HEALTH_CONNECTING;  // connecting: no outcome counts
        uint64_t seq = 0;                   // when the vote was cast
        bool counted = false;               // its login under way is in m_Logins
        bool judge = false;                 // while connecting, the camera's state is held
    };
    int StateLocked() const;
    void PruneLocked(int64_t now);
    void NotifyIfChanged();  // m_ReportMutex held, m_Mutex not

    Clock& m_Clock;
    LOGIN_RATION m_Ration;
    std::mutex m_ReportMutex;  // orders reports and listener calls
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    Listener m_Listener;
    std::map<int, Src> m_Sources;
    int m_NextId = 1;
    uint64_t m_Seq = 0;
    std::string m_LastError;
    int64_t m_LastErrorMs = 0;
    CAM_HEALTH_REPORT m_Told;  // what the listener was last told
    std::deque<int64_t> m_Logins;  // camera-clock times of counted logins
    int m_LoginHolder = 0;         // source whose login is under way (0: none)
    bool m_blRefused = false;      // the last login the camera answered was refused
    uint64_t m_HeldBack = 0;
};

// One client's place in its camera's health; all calls do nothing without a
// health. Owned by the client's thread.
class HealthSource {
public:
    explicit HealthSource(CameraHealth* health = nullptr, const std::string& address = std::string(),
                          bool blJudge = false);
    ~HealthSource();
    HealthSource(const HealthSource&) = delete;
    HealthSource& operator=(const HealthSource&) = delete;

    void Attach(CameraHealth* health);
    CameraHealth* Health() const { return m_pHealth; }
    void SetAddress(const std::string& address);
    void Ok(bool blLogin);
    void Unreachable(const std::string& why);
    void Unauthorized(const std::string& why);
    void Error(const std::string& why);
    // The last outcome no longer counts (a judge that has nothing to judge).
    void Withdraw();
    // See CameraHealth::BeginLogin; true without a health.
    bool BeginLogin(int64_t deadlineMs);
    void EndLogin();

private:
    CameraHealth* m_pHealth;
    int m_Id;
    std::string m_Address;
    bool m_blJudge;
};

}  // namespace BrellinOwned

#endif  // INTERFACE_CAMHEALTH_H
