// Detector core: the construction record, the detector base with its thread,
// run flag and parameter store, and the per-camera detector with the sharing
// of one camera connection between kinds.
#ifndef CAMDET_EVENTDETECTOR_H
#define CAMDET_EVENTDETECTOR_H

#include <pthread.h>

#include <map>
#include <string>

#include "interface/camerahost.h"
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

class DetectorBase : public BRObjectBase {
public:
    explicit DetectorBase(DET_BASE_ATTR attr);
    // Stops the thread if still running. Derived parts are gone by then, so
    // callers release detectors through the release functions, which stop first.
    ~DetectorBase() override;

    virtual bool IsShareEnabled();
    virtual int DetMain() = 0;
    virtual void ApplyDetParam(int kind) = 0;

    // -1 when already running; otherwise starts the thread (1 MiB stack), 0.
    int Start();
    // -2 when not running; otherwise clears the run flag, joins the thread, 0.
    // Does not interrupt a blocked step: loops use bounded waits.
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
    static void* ThreadFunc(void* self);

    int GetCamId() const { return m_CamId; }

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

private:
    bool m_blThreadStarted;  // a thread exists that has not been joined
};

class CamDetector : public DetectorBase {
public:
    explicit CamDetector(DET_BASE_ATTR attr);
    // Unregisters from the sharing registry, then the base destructor runs.
    ~CamDetector() override;

    // The class-wide sharing flag, read under m_Lock.
    bool IsShareEnabled() override;
    // Sends the stored parameters of one kind to the camera; logs a refusal.
    void ApplyDetParam(int kind) override;

    // m_DetType = kind; the first detector of the process to link becomes the
    // sharing owner, later ones of other kinds followers in m_SharedDetMap.
    void LinkShareDet(int kind);
    // Clears this detector's status (and every DI port for a DI detector).
    void ResetDetStatus();
    // True when this detector's kind is registered as a follower (under m_Lock).
    bool IsShareFollower();

    int GetDetType() const { return m_DetType; }

    // The owner's feed: calls fn(follower) for every registered follower of
    // class T other than this one, in kind order, holding m_Lock (lock order:
    // m_Lock, then a follower's m_Mutex inside its own calls).
    template <typename T, typename Fn>
    void ForEachFollower(Fn fn) {
        ScopedLock g(m_Lock);
        for (std::map<int, CamDetector*>::iterator it = m_SharedDetMap.begin(); it != m_SharedDetMap.end(); ++it) {
            if (it->second == this) continue;
            T* follower = dynamic_cast<T*>(it->second);
            if (follower) fn(follower);
        }
    }

    static pthread_mutex_t m_Lock;
    static std::map<int, CamDetector*> m_SharedDetMap;
    static bool m_blShareEnabled;

protected:
    int m_DetType;
};

#endif  // CAMDET_EVENTDETECTOR_H
