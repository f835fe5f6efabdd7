// Detector core: the construction record, the detector base with its thread,
// run flag and parameter store, and the per-camera detector with the sharing
// of one camera connection between kinds.
#ifndef CAMDET_EVENTDETECTOR_H
#define CAMDET_EVENTDETECTOR_H

#include <pthread.h>

#include <functional>
#include <map>
#include <string>

#include "interface/camerahost.h"
#include "interface/clock.h"
#include "interface/handlerutils.h"

// Holds a pthread mutex for the scope.
class ScopedLock {
public:
    explicit ScopedLock(pthread_mutex_t& m) : m_M(m) { pthread_mutex_lock(&m_M); }
    ~ScopedLock() { pthread_mutex_unlock(&m_M); }
    ScopedLock(const ScopedLock&) = delete;
    ScopedLock& operator=(const ScopedLock&) = delete;

private:
    pthread_mutex_t& m_M;
};

// Construction record of every detector, copied by value. Owns none of the
// recorder's objects; copies call the same objects.
struct DET_BASE_ATTR {
    CamMediatorHandler camMediatorHdl;
    CameraAPI* pCamApi = nullptr;
    EventBufHandler evtBufHdl;
    EventBufMapHandler evtBufMapHdl;
    StreamFifoHandler streamFifoHdl;
    CameraCap* pCamCap = nullptr;
    RtpFetchHandler rtpFetchHdl;
};

// The camera's services (clock, connections) as its camera-API object gives
// them; the recorder's defaults when the record has no camera-API object.
BrellinOwned::CameraServices& ServicesOf(const DET_BASE_ATTR& attr);

class DetectorBase : public BRObjectBase {
public:
    // The detector thread's stack (tests/unit/core/test_threadstack.cpp measures it).
    static const size_t kStackBytes = 256 * 1024;

    explicit DetectorBase(DET_BASE_ATTR attr);
    // Stops the thread if still running. Derived parts are gone by then, so
    // callers release detectors through the release functions, which stop first.
    ~DetectorBase() override;

    virtual bool IsShareEnabled();
    virtual int DetMain() = 0;
    virtual void ApplyDetParam(int kind) = 0;

    // -1 when already running, or when the thread could not be created (the
    // run flag is then cleared); otherwise starts the thread (kStackBytes of stack), 0.
    int Start();
    // -2 when not running; otherwise clears the run flag, wakes the detector's
    // pauses and joins the thread, 0.
    int Stop();
    // The run flag; while running also applies pending parameters (MD, AD, TD,
    // DI), calling the camera API with m_Mutex held.
    bool IsActivated();
    // MD parameters for keys 1, 3, 4, 2; applied at the next IsActivated().
    void SetMDParam(int a, int b, int c, int d);
    // Stores the keys of `kind` (decimal texts) and marks the kind pending.
    void SetDetParam(int kind, const std::map<int, std::string>& params, int arg);
    // Clears every DI port's status (under m_Mutex).
    void ResetDIDetStatus();
    // Sleeps up to sec seconds, one at a time, returning early once stopped.
    void SleepBySec(int sec);
    // Waits ms on the camera's clock; ends early (false) when Stop is called.
    bool PauseMs(int ms);
    static void* ThreadFunc(void* self);

    int GetCamId() const { return m_CamId; }
    int GetDICnt() const { return m_DICnt; }
    // The camera's services and clock, taken once at construction.
    BrellinOwned::CameraServices& Services() const { return m_Services; }
    BrellinOwned::Clock& GetClock() const { return m_Clock; }

protected:
    DET_BASE_ATTR m_Attr;
    pthread_t m_Thread;
    pthread_mutex_t m_Mutex;
    bool m_blActivated;
    bool m_blMDParamChanged;
    bool m_blADParamChanged;
    bool m_blTDParamChanged;
    bool m_blDIParamChanged;
    int m_CamId;
    int m_DICnt;
    int m_PollIntervalMs;
    int m_MDParam[4];
    int m_ADParam;
    int m_TDParam;
    int m_DIParam;
    int m_DIParamArg;
    // Signalled by Stop: every pause and pacing wait of the thread uses it.
    BrellinOwned::WakeUp m_StopWake;
    BrellinOwned::CameraServices& m_Services;
    BrellinOwned::Clock& m_Clock;

private:
    void JoinEndedRun();
    bool m_blThreadStarted;  // a thread exists that has not been joined
};

// How a unit a transport read is to be reported.
enum DET_UNIT_STATE {
    DET_UNIT_OK = 0,       // the tests read it
    DET_UNIT_NO_DATA = 1,  // it says nothing (a packet without event data): every status stays
    DET_UNIT_FAILED = 2,   // no answer came (a failed poll, part or fetch): reported as no alarm
    DET_UNIT_LOST = 3,     // the stream is lost: the status and every input cleared at once
};

// One unit a transport read (a poll answer, a part, a record or a line, a
// frame's payload, an RTP extension) as the tests see it. Borrowed: the
// transport owns the bytes.
struct DET_UNIT {
    char* buf = nullptr;
    unsigned int len = 0;  // what the tests may read of buf (a transport's contract says which)
    DET_UNIT_STATE state = DET_UNIT_FAILED;
    int port = -1;  // >= 0: an answer about this one input only (cameras asked one input at a time)
};

// What a transport's own test decided about a unit the IsTrig tests cannot
// read (an event header taken apart on a socket, a batch of notifications).
struct DET_DECISION {
    bool trig = false;  // the whole camera (MD, TD, AD)
    int level = 0;
    std::map<int, bool> inputs;  // DI: port -> trigger; a port not named is clear
    int inputLevel = 100;        // DI: the level of a triggered port
};

// What the tests of a camera's detectors made of one unit, in rising order:
// a unit that one detector read counts as read for the camera.
enum DET_UNIT_READ {
    DET_READ_UNTESTED = 0,  // no test ran (a failed or lost unit, one without data, a stopped detector)
    DET_READ_NONE = 1,      // every test that ran marked it as not one it can read
    DET_READ_SOME = 2,      // a test read it (a quiet answer too)
};

// Which camera a detector belongs to: sharing one connection between kinds
// is only ever between detectors of the same camera.
struct CAM_SHARE_KEY {
    std::string host;
    int httpPort = 0;
    int camId = 0;
    const void* camApi = nullptr;  // identifies the camera when the mediator gives no address
    bool operator<(const CAM_SHARE_KEY& o) const;
};

class CamDetector : public DetectorBase {
public:
    explicit CamDetector(DET_BASE_ATTR attr);
    // Unregisters (unless the release path already did), then the base
    // destructor runs.
    ~CamDetector() override;

    // This camera's sharing flag, read under m_Lock.
    bool IsShareEnabled() override;
    // Sends the stored parameters of one kind to the camera; logs a refusal.
    void ApplyDetParam(int kind) override;

    // m_DetType = kind; the first detector of its camera to link becomes the
    // sharing owner, later ones followers in that camera's m_SharedDetMap
    // (an existing entry for the kind stays).
    void LinkShareDet(int kind);
    // Leaves the camera's sharing: a follower's entry is erased; for the owner
    // (or a detector that never linked) sharing of its camera ends. Called by
    // the release functions before any part of the detector is destroyed, so
    // the owner's feed never reaches a half-destroyed follower. Once only.
    void UnlinkShareDet();
    // Clears this detector's status (and every DI port for a DI detector).
    virtual void ResetDetStatus();
    // Forgets what the detector's rules hold from earlier answers (a held
    // trigger, counters, a transport's cache): called when the camera's stream
    // or subscription is opened again, so that nothing from before the drop is
    // reported as if the camera had said it again. Owner thread only.
    virtual void ClearHeldState() {}
    // ClearHeldState on this detector and on every follower of its camera.
    void ClearHeldStateOfCamera();
    // True when this detector is its camera's registered follower of its kind.
    bool IsShareFollower();

    // The tests of one unit (len bytes of buf, as the transport's contract
    // says): the whole-camera test for MD, TD and AD, the per-input test for
    // DI with port from 0. A test that finds nothing it can read in the unit
    // sets m_blNoData. Defaults: false, value untouched.
    virtual bool IsTrig(char* buf, unsigned int len, int& value);
    virtual bool IsTrig(int port, char* buf, unsigned int len, int& value);
    // Reports one unit to this detector through the tests: a DI detector
    // per input (every port, or unit.port alone), the others whole. One value
    // runs through the ports, so a test that leaves it reports the previous
    // port's. A stopped detector, or a failed unit, reports no alarm; a unit
    // without data, or a test that set m_blNoData or m_blUnread, leaves the
    // status; a lost stream clears the whole status, stopped or not. The
    // loop hands every unit to this, for the owner and then for each
    // follower. Returns what the tests made of it, for the camera's health.
    DET_UNIT_READ ReportUnit(const DET_UNIT& unit);
    // ReportUnit for a unit the transport tests itself: decide fills in the
    // decision and is asked only while the detector runs (a stopped detector
    // reports no alarm). A DI detector reports every port.
    void ReportDecided(const std::function<void(DET_DECISION&)>& decide);

    int GetDetType() const { return m_DetType; }
    const CAM_SHARE_KEY& GetShareKey() const { return m_ShareKey; }

    // The owner's feed: calls fn(follower) for every registered follower of
    // this detector's camera that is a T, other than this one, in kind order,
    // holding m_Lock (lock order: m_Lock, then a follower's m_Mutex inside its
    // own calls).
    template <typename T, typename Fn>
    void ForEachFollower(Fn fn) {
        ScopedLock g(m_Lock);
        CAM_SHARE* share = FindShare();
        if (!share) return;
        for (std::map<int, CamDetector*>::iterator it = share->m_SharedDetMap.begin();
             it != share->m_SharedDetMap.end(); ++it) {
            if (it->second == this) continue;
            T* follower = dynamic_cast<T*>(it->second);
            if (follower) fn(follower);
        }
    }

    // The steps of one transport; RunLoop is the loop around them that every
    // transport runs: the follower check, the activated loop with bounded
    // waits, reporting to this detector and then, under m_Lock, to every
    // follower, and the status reset (this detector's and the followers') on
    // the way out.
    class LoopSteps {
    public:
        virtual ~LoopSteps() {}
        // Set-up once per run; false ends the run at once (the step resets
        // the status itself where that is wanted).
        virtual bool Open() { return true; }
        // Reads and parses one unit (poll answer, part, record, frame,
        // notification batch). True when it is to be reported.
        virtual bool Step() = 0;
        // Reports the unit just read to det: this detector or a follower
        // (which may be of another transport: skip it then).
        virtual void Report(CamDetector* det) = 0;
        // After the unit went to every detector of the camera: a transport
        // whose units are whole answers tells the camera's health here
        // whether they could be read (AnswerJudge).
        virtual void Judge() {}
        // The wait after a pass; it must end early when the detector stops.
        virtual void Pace() {}
        // Tear-down after the run, after the status reset.
        virtual void Close() {}
    };
    // The steps of a transport whose units are bytes: Report hands the unit
    // the step read to ReportUnit of det when det runs transport T (a
    // follower of another transport is skipped).
    template <typename T>
    class UnitSteps : public LoopSteps {
    public:
        void Report(CamDetector* det) override {
            if (!dynamic_cast<T*>(det)) return;
            const DET_UNIT_READ read = det->ReportUnit(m_Unit);
            if (read > m_Read) m_Read = read;
        }

    protected:
        // What the camera's detectors made of the unit; taken (and reset)
        // by the step's Judge.
        DET_UNIT_READ TakeRead() {
            const DET_UNIT_READ read = m_Read;
            m_Read = DET_READ_UNTESTED;
            return read;
        }
        DET_UNIT m_Unit;

    private:
        DET_UNIT_READ m_Read = DET_READ_UNTESTED;
    };
    // Sharing state of one camera.
    struct CAM_SHARE {
        std::map<int, CamDetector*> m_SharedDetMap;  // kind -> follower
        bool m_blShareEnabled = false;               // an owner exists
    };
    static pthread_mutex_t m_Lock;
    // Camera -> its sharing state; an entry goes when it has neither an owner
    // nor followers, so cameras that come and go leave nothing behind.
    static std::map<CAM_SHARE_KEY, CAM_SHARE> m_SharedDets;

protected:
    // Runs steps as described above LoopSteps; the DetMain of a transport.
    int RunLoop(LoopSteps& steps);

    int m_DetType;
    // Set by a test when its unit carries nothing the test can read (a
    // garbled line): that unit is not reported, and the status stays, for a
    // camera that cannot be read is not quiet. Cleared before every test.
    bool m_blNoData;
    // Set by a test when the unit is not one it can read at all (a key it
    // reads is missing, an HTML page instead of the camera's status): like
    // m_blNoData the status stays, and the camera's health hears of it (see
    // AnswerJudge). Cleared before every test.
    bool m_blUnread;

private:
    CAM_SHARE* FindShare();  // this camera's entry, or null (m_Lock held)
    // No alarm: the whole-camera status, or every port of a DI detector.
    void ReportNoAlarm();
    CAM_SHARE_KEY m_ShareKey;
    bool m_blUnlinked;
};

#endif  // CAMDET_EVENTDETECTOR_H
