// A minimal recorder for one camera: builds the recorder objects, asks the
// library's factories for detectors, drives them through the detector
// function table and prints every status change.
#ifndef TOOLS_MONITOR_RECORDER_H
#define TOOLS_MONITOR_RECORDER_H

#include <signal.h>
#include <stdio.h>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/net/recorderservices.h"
#include "host/net/healthservices.h"
#include "host/recorder/camhost.h"
#include "host/rtsp/rtpfetcher.h"
#include "interface/detectorfuncs.h"
#include "tools/common/isotime.h"
#include "tools/monitor/options.h"

// Calls a detector through the library's function table, as a recorder does.
class DetectorHandler : public BRSlotHandler<DET_FUNC_COUNT> {
public:
    DetectorHandler() {}
    explicit DetectorHandler(BRObjectBase* det);
    int Start() const { return Call<int>(DET_FUNC_START); }
    int Stop() const { return Call<int>(DET_FUNC_STOP); }
    bool IsActivated() const { return Call<bool>(DET_FUNC_IS_ACTIVATED); }
    void SetMDParam(int a, int b, int c, int d) const {
        Call<void, int, int, int, int>(DET_FUNC_SET_MD_PARAM, a, b, c, d);
    }
    bool IsShareEnabled() const { return Call<bool>(DET_FUNC_IS_SHARE_ENABLED); }
    void SetDetParam(int kind, const std::map<int, std::string>& p, int arg) const {
        Call<void, int, const std::map<int, std::string>&, int>(DET_FUNC_SET_DET_PARAM, kind, p, arg);
    }
};

// Serialises the output lines; reports a (kind, port) only when its
// (trigger, level) differs from what it last reported. A printer of a camera
// of a fleet puts the camera's name in every line; printers of one fleet share
// one output lock so that their lines never interleave.
//
// The camera's health goes through the same printer, so that everything after
// it (the status board, MQTT) hears of a failure before of any status it
// caused. While the camera is not ok no status is reported at all (a camera we
// cannot see is never "quiet"); once it is ok again, each detector's next
// status is reported whatever it was before, and a detector that says nothing
// within kShowAfterOkMs (a stream camera that only speaks of changes) is shown
// as it last said, so that it is never left blank: quiet unless the camera
// says otherwise, and nothing the camera did not say in between. At the first
// ok what the detectors said while the first answer was judged is shown.
class StatusPrinter {
public:
    // Told of every change after its line is printed, under the printer's lock.
    typedef std::function<void(int kind, int port, bool trig, int level, const std::string& isoTime)> Observer;
    typedef std::function<void(const BrellinOwned::CAM_HEALTH_REPORT&)> HealthObserver;

    static constexpr int kShowAfterOkMs = 5000;

    StatusPrinter(FILE* out, bool json);
    StatusPrinter(FILE* out, bool json, const std::string& camera, std::mutex* outLock);
    ~StatusPrinter();
    StatusPrinter(const StatusPrinter&) = delete;
    StatusPrinter& operator=(const StatusPrinter&) = delete;
    void Detector(int kind, const char* cls);
    void Status(int kind, int port, bool trig, int level);  // port < 0: none
    void Note(const std::string& text);                      // readable mode only
    // Nothing more is printed or observed (a camera being released).
    void Close();
    // A change of the camera's health: one line, and the observer.
    void Health(const BrellinOwned::CAM_HEALTH_REPORT& rep);
    void SetObserver(Observer o);
    // Told of every change of health after its line; at once of the last one
    // when there was one.
    void SetHealthObserver(HealthObserver o);
    // Also says the first failure of each kind on stderr at once, one line
    // that never blocks (a run watching one camera).
    void SayFailures() { m_blSayFailures = true; }
    // The camera's name in a fleet, else empty.
    const std::string& Camera() const { return m_Camera; }

private:
    void Emit(const std::string& line);  // m_Mutex held
    void Show(int kind, int port, bool trig, int level);  // m_Mutex held
    void ShowCurrent();  // m_Current where nothing was shown since ok; m_Mutex held
    // On the ticker's thread: shows, once due, what nobody said since the
    // camera is ok.
    void Tick(int64_t nowMs);

    std::mutex m_Mutex;
    FILE* m_Out;
    bool m_Json;
    std::string m_Camera;
    std::mutex* m_OutLock = nullptr;
    Observer m_Observer;
    HealthObserver m_HealthObserver;
    std::map<std::pair<int, int>, std::pair<bool, int> > m_Last;     // shown since the camera is ok
    std::map<std::pair<int, int>, std::pair<bool, int> > m_Current;  // what each detector said last
    int64_t m_ShowDueMs = 0;  // Ticker time to show m_Current (0: nothing due)
    bool m_blOk = false;  // the camera's health is ok: statuses are reported
    BrellinOwned::CAM_HEALTH_REPORT m_LastHealth;
    bool m_blHealthTold = false;
    bool m_blClosed = false;
    bool m_blSayFailures = false;
    bool m_FailureSaid[BrellinOwned::kCamHealthStates] = {};
};

class MiniRecorder {
public:
    MiniRecorder(const MonitorOptions& opt, StatusPrinter& printer);
    ~MiniRecorder();
    // Runs the factories for every requested kind and prints what they made.
    void CreateDetectors();
    // Applies the parameters of the options and starts every detector.
    void StartAll();
    // Stops and releases every detector (release functions stop first).
    void ReleaseAll();
    int DetectorCount() const;
    // The detector made for `kind` (DET_TYPE_*), or null.
    BRObjectBase* Detector(int kind) const;

    CamMediator& Mediator() { return m_Mediator; }
    BrellinOwned::CameraHealth& Health() { return *m_Watched->Health(); }
    RecorderCameraCap& Cap() { return m_Cap; }
    RecorderCameraAPI& Api() { return *m_Api; }

private:
    struct Det {
        int kind;
        BRObjectBase* obj;
    };
    MonitorOptions m_Opt;
    StatusPrinter& m_Printer;
    BrellinOwned::RecorderServices m_Services;  // the camera's: its scheme and certificate policy
    std::unique_ptr<BrellinOwned::HealthServices> m_Watched;  // m_Services with the camera's health
    CamMediator m_Mediator;
    RecorderCameraCap m_Cap;
    std::unique_ptr<RecorderCameraAPI> m_Api;
    std::map<int, std::unique_ptr<EventBuf> > m_EventBufs;
    EventBufMap m_EventBufMap;
    StreamFifo m_Fifo;
    std::unique_ptr<StreamFifoFeeder> m_Feeder;  // --fifo-url
    std::unique_ptr<RtpFetcher> m_RtpFetch;      // --rtsp: the shared fetcher of the live stream
    std::vector<Det> m_Dets;
};

// The camera's TLS policy from its options; `camera` names it in log lines.
BrellinOwned::CamTlsPolicy TlsPolicyOf(const MonitorOptions& opt, const std::string& camera);

// Demangled dynamic class name of a detector ("HikVisionV3MD").
std::string DetectorClassName(BRObjectBase* obj);

#endif  // TOOLS_MONITOR_RECORDER_H
