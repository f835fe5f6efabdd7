#include "camdet/transport/multipartdetector.h"

#include <string.h>

#include <new>

#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"

namespace {
const char* const kSrc = "camdet/multipartdetector";
const unsigned int kInitialSize = 1024;

// Capacity plus one spare byte, so a body as long as the capacity is still
// zero-terminated for the text tests.
char* AllocBody(unsigned int size) { return new (std::nothrow) char[(size_t)size + 1]; }
}  // namespace

MultipartDetector::MultipartDetector(DET_BASE_ATTR attr, int timeoutSec, HTTP_VERSION version)
    : CamDetector(attr),
      m_MFHandler(Services()),
      m_BodyMode(0),
      m_Timeout(timeoutSec),
      m_HttpVersion(version),
      m_blReopening(false),
      m_blNewStream(true),
      m_StreamStartMs(0),
      m_blStreamDelivered(false) {}

MultipartDetector::~MultipartDetector() {}

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

namespace {

// One part per pass; the body buffer is read in place by the followers.
class PartSteps : public CamDetector::UnitSteps<MultipartDetector> {
public:
    explicit PartSteps(MultipartDetector& det) : m_Det(det), m_Buf(nullptr), m_Size(0) {}
    ~PartSteps() override { delete[] m_Buf; }

    bool Open() override { return m_Det.OpenStream(m_Buf, m_Size); }
    bool Step() override {
        const int result = m_Det.Detect(m_Buf, m_Size);
        m_Unit.buf = m_Buf;
        m_Unit.len = m_Size;
        m_Unit.state = result > 0 ? DET_UNIT_NO_DATA : result == 0 && m_Buf ? DET_UNIT_OK : DET_UNIT_FAILED;
        return true;
    }

private:
    MultipartDetector& m_Det;
    char* m_Buf;
    unsigned int m_Size;
};

}  // namespace

int MultipartDetector::DetMain() {
    PartSteps steps(*this);
    return RunLoop(steps);
}

bool MultipartDetector::OpenStream(char*& buf, unsigned int& size) {
    size = kInitialSize;
    buf = AllocBody(size);
    if (!buf) {
        OXLOG(kSrc, "Cam[%d]: Out of memory!\n", m_CamId);
        ResetDetStatus();
        return false;
    }
    memset(buf, 0, (size_t)size + 1);

    std::string path;
    int port = 0;
    if (GetPathPort(path, port) != 0) {
        ResetDetStatus();
        return false;
    }
    std::string password = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_PASSWORD);
    std::string user = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_USER);
    std::string host = m_Attr.camMediatorHdl.GetString(CAM_MEDIATOR_FUNC_HOST);
    m_MFHandler.Open(path, host, port, user, password, m_Timeout, 1);
    m_MFHandler.SetOptions(HttpVersionOptions(m_HttpVersion));
    return true;
}

int MultipartDetector::Detect(char*& buf, unsigned int& size) {
    if (m_blNewStream) {
        m_blNewStream = false;
        m_StreamStartMs = GetClock().NowMs();
        m_blStreamDelivered = false;
    }
    const int rc = ReadOnePart(buf, size);
    if (rc != 0) {
        // Every end drops the stream: the next part comes on a new connection.
        m_blNewStream = true;
        // Only a loss makes the rules forget what they hold: a stream the
        // camera ended itself between parts lost nothing, and forgetting a
        // held input there would report it off at the next part of another
        // type until the camera repeats it.
        if (rc < 0) m_blReopening = true;
        return rc;
    }
    m_blStreamDelivered = true;
    if (m_blReopening) {
        // A held state from before the drop must not be reported as new:
        // a camera still in alarm says so again on the new connection.
        m_blReopening = false;
        ClearHeldStateOfCamera();
    }
    return rc;
}

int MultipartDetector::ReadOnePart(char*& buf, unsigned int& size) {
    unsigned int len = 0;
    char text[128];
    text[0] = '\0';
    int bodyLen = 0;
    const int next = m_MFHandler.NextPart(len, text, sizeof(text), bodyLen);
    if (next != 0) {
        // A stream that ran is opened again at once and one that ended at
        // once after a back-off, not after 1 s each time: a camera that ends
        // every stream at once would otherwise be asked once a second forever.
        const int64_t wait =
            next == MF_NEXT_STREAM_ENDED || next == MF_NEXT_STREAM_CLOSED
                ? m_Backoff.NextWaitMs(m_blStreamDelivered, GetClock().NowMs() - m_StreamStartMs)
                : 1000;
        if (wait > 0) PauseMs((int)wait);
        // Deliberately not a failed part: a camera that ends its stream and
        // is reachable again says its states on the next one, and a "no
        // alarm" in between would show an input that stayed on as off and
        // on again. A lost stream is a failure (the camera's health has
        // heard of it first).
        return next == MF_NEXT_STREAM_CLOSED ? 1 : -1;
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
