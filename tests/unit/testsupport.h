// Small fixtures shared by the unit tests.
#ifndef TESTS_UNIT_TESTSUPPORT_H
#define TESTS_UNIT_TESTSUPPORT_H

#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "camdet/eventdetector.h"
#include "dupfromox/oxdebuglog.h"
#include "host/camhost.h"

// Points the log writer at a fresh temporary file for the test's lifetime.
class LogCapture {
public:
    LogCapture() {
        char tmpl[] = "/tmp/camdet-log-XXXXXX";
        int fd = mkstemp(tmpl);
        if (fd >= 0) close(fd);
        m_Path = tmpl;
        m_Previous = BrellinOwned::OXGetLogPath();
        BrellinOwned::OXSetLogPath(m_Path);
    }
    ~LogCapture() {
        BrellinOwned::OXSetLogPath(m_Previous);
        unlink(m_Path.c_str());
    }
    std::string Text() const {
        std::ifstream in(m_Path);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    const std::string& Path() const { return m_Path; }

private:
    std::string m_Path;
    std::string m_Previous;
};

// Empties the process-wide sharing registry before and after a test.
class SharingReset {
public:
    SharingReset() { Clear(); }
    ~SharingReset() { Clear(); }
    static void Clear() {
        pthread_mutex_lock(&CamDetector::m_Lock);
        CamDetector::m_SharedDetMap.clear();
        CamDetector::m_blShareEnabled = false;
        pthread_mutex_unlock(&CamDetector::m_Lock);
    }
};

// A construction record on the recorder objects (bufMap may be null).
inline DET_BASE_ATTR MakeAttr(CamMediator* med, CameraAPI* api, EventBuf* buf, EventBufMap* bufMap,
                              CameraCap* cap) {
    DET_BASE_ATTR a;
    a.camMediatorHdl = CamMediatorHandler(med);
    a.pCamApi = api;
    a.evtBufHdl = EventBufHandler(buf);
    if (bufMap) a.evtBufMapHdl = EventBufMapHandler(bufMap);
    a.pCamCap = cap;
    return a;
}

// Polls cond every millisecond until it holds or timeoutMs passes.
inline bool WaitFor(const std::function<bool()>& cond, int timeoutMs = 5000) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < end) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return cond();
}

// One camera's recorder objects, ready for the factories.
struct CameraRig {
    CamMediator med;
    CameraCap cap;
    CameraAPI api{&cap};
    EventBuf buf;
    EventBufMap bufMap;
    StreamFifo fifo;
    DET_BASE_ATTR Attr(bool withMap = false) { return MakeAttr(&med, &api, &buf, withMap ? &bufMap : nullptr, &cap); }
};

#endif  // TESTS_UNIT_TESTSUPPORT_H
