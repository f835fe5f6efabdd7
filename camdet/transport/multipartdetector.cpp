#include "camdet/transport/multipartdetector.h"

#include <string.h>

#include <new>

#include "dupfromox/oxdebuglog.h"

namespace {
const char* const kSrc = "camdet/multipartdetector";
const unsigned int kInitialSize = 1024;

// Capacity plus one spare byte, so a body as long as the capacity is still
// zero-terminated for the text tests.
char* AllocBody(unsigned int size) { return new (std::nothrow) char[(size_t)size + 1]; }
}  // namespace

MultipartDetector::MultipartDetector(DET_BASE_ATTR attr, int timeoutSec, HTTP_VERSION version)
    : CamDetector(attr), m_BodyMode(0), m_Timeout(timeoutSec), m_HttpVersion(version), m_blDetached(false) {}

MultipartDetector::~MultipartDetector() { Detach(); }

void MultipartDetector::Detach() {
    Stop();
    ScopedLock g(m_Lock);
    m_blDetached = true;
}

bool MultipartDetector::IsTrig(char*, unsigned int, int&) { return false; }
bool MultipartDetector::IsTrig(int, char*, unsigned int, int&) { return false; }

std::map<std::string, std::string> MultipartDetector::HttpVersionOptions(int version) {
    std::map<std::string, std::string> opts;
    switch (version) {
    case HTTP_VER_DEF: opts["HttpVersion"] = "HTTP_VER_DEF"; break;
    case HTTP_VER_1_0: opts["HttpVersion"] = "HTTP_VER_1_0"; break;
    case HTTP_VER_1_1: opts["HttpVersion"] = "HTTP_VER_1_1"; break;
    default: break;
    }
    return opts;
}

int MultipartDetector::DetMain() {
    if (IsShareFollower()) return 0;

    unsigned int size = kInitialSize;
    char* buf = AllocBody(size);
    if (!buf) {
        OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_CamId);
        ResetDetStatus();
        return 0;
    }
    memset(buf, 0, (size_t)size + 1);

    std::string path;
    int port = 0;
    if (GetPathPort(path, port) != 0) {
        ResetDetStatus();
        delete[] buf;
        return 0;
    }
    std::string password = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
    std::string user = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER);
    std::string host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
    m_MFHandler.Open(path, host, port, user, password, m_Timeout, 1);
    m_MFHandler.SetOptions(HttpVersionOptions(m_HttpVersion));

    while (IsActivated()) {
        int result = Detect(buf, size);
        UpdateTrigger(buf, size, result);
        // Followers read the owner's buffer in place; lock order m_Lock, then
        // each follower's m_Mutex (inside its IsActivated).
        ForEachFollower<MultipartDetector>([&](MultipartDetector* f) {
            if (!f->m_blDetached) f->UpdateTrigger(buf, size, result);
        });
    }

    ResetDetStatus();
    delete[] buf;
    return 0;
}

int MultipartDetector::Detect(char*& buf, unsigned int& size) {
    unsigned int len = 0;
    char text[128];
    text[0] = '\0';
    int bodyLen = 0;
    if (m_MFHandler.NextPart(len, text, sizeof(text), bodyLen) != 0) {
        SleepBySec(1);
        return -1;
    }
    if (len > size || !buf) {
        delete[] buf;
        buf = AllocBody(len);
        if (!buf) {
            m_MFHandler.Drop();
            OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_CamId);
            size = 0;
            return -1;
        }
        size = len;
    }
    memset(buf, 0, (size_t)size + 1);
    if (m_MFHandler.ReadPart(reinterpret_cast<unsigned char*>(buf), len) != 0) {
        m_MFHandler.Drop();
        return -1;
    }
    int rc = 0;
    if (m_BodyMode == 1) {
        rc = m_MFHandler.PartHeaders(reinterpret_cast<unsigned char*>(buf));
    } else if (m_BodyMode == 2) {
        rc = m_MFHandler.PartPragma(reinterpret_cast<unsigned char*>(buf));
    }
    if (rc != 0) {
        m_MFHandler.Drop();
        return -1;
    }
    return 0;
}

void MultipartDetector::UpdateTrigger(char* buf, unsigned int size, int result) {
    if (m_DetType == DET_TYPE_DI) {
        UpdateDITrigger(buf, size, result);
        return;
    }
    int level = 0;
    bool trig = false;
    if (IsActivated() && result == 0 && buf) trig = IsTrig(buf, size, level);
    m_Attr.evtBufHdl.SetStatus(trig, level);
}

void MultipartDetector::UpdateDITrigger(char* buf, unsigned int size, int result) {
    if (!IsActivated() || result != 0 || !buf) {
        ResetDIDetStatus();
        return;
    }
    int level = 0;
    for (int port = 0; port < m_DICnt; ++port) {
        bool trig = IsTrig(port, buf, size, level);
        m_Attr.evtBufMapHdl.SetStatus(port, trig, level);
    }
}
