// The multipart classes as rows: one generic detector built from a row that
// gives the class's kind, whether it shares its camera's stream, where path
// and port come from, its construction values (time-out, HTTP version, what
// of a part the test reads) and its trigger test over one part
// (camdet/rules/mprules.h). A family's file emits each class with MP_CLASS:
// the class bound to its row and its factory definition, in one line.
#ifndef CAMDET_MPVENDORDETECTOR_H
#define CAMDET_MPVENDORDETECTOR_H

#include <string>
#include <vector>

#include "camdet/core/detclass.h"
#include "camdet/rules/mprules.h"
#include "camdet/transport/multipartdetector.h"

// Where a class's request path and port come from.
enum MP_PATH_SRC {
    MP_PATH_HTTP_PORT = 0,     // the row's path, the mediator's HTTP port
    MP_PATH_DET_PORT = 1,      // the row's path, CameraAPI::GetDetPort
    MP_PATH_CAM_API = 2,       // SetStreamInfo(format, protocol), then GetDetPathPort
    MP_PATH_CAM_API_IPUX = 3,  // as 2 with the protocol constant 2
    MP_PATH_CAM_API_ONLY = 4,  // GetDetPathPort alone
};

// What a test reads besides the part, refreshed before every test.
enum {
    MP_IN_PARAMS = 1,    // the motion parameters (keys 3 and 2)
    MP_IN_CHANNEL = 2,   // the mediator's channel text
    MP_IN_ALARM2DO = 4,  // the flag: the camera API specifies "ALARM2_DO"
    MP_IN_EDGE = 8,      // the flag: the camera API specifies "EDGE_TRIGGER_EVENT"
};

// One class. The defaults are the common case; a row states what differs.
struct MpRow {
    int kind = DET_TYPE_MD;
    bool shared = false;  // links for sharing: the camera's first detector reads for all
    MP_PATH_SRC src = MP_PATH_HTTP_PORT;
    const char* path = nullptr;  // fixed path (null for MP_PATH_CAM_API*)
    int timeoutSec = 10;
    HTTP_VERSION version = HTTP_VER_DEF;
    int bodyMode = 0;  // 0 the body; 1 the part's header lines; 2 its Pragma lines
    MpTrigRule rule = nullptr;
    int inputs = 0;  // MP_IN_*

    constexpr MpRow Shared() const {
        MpRow r = *this;
        r.shared = true;
        return r;
    }
    // The row's path on the camera API's detection port.
    constexpr MpRow OnDetPort() const {
        MpRow r = *this;
        r.src = MP_PATH_DET_PORT;
        return r;
    }
    constexpr MpRow Timeout(int sec) const {
        MpRow r = *this;
        r.timeoutSec = sec;
        return r;
    }
    constexpr MpRow Http11() const {
        MpRow r = *this;
        r.version = HTTP_VER_1_1;
        return r;
    }
    // The test reads the part's header lines instead of its body.
    constexpr MpRow HeaderLines() const {
        MpRow r = *this;
        r.bodyMode = 1;
        return r;
    }
    // The test reads the part's Pragma lines instead of its body.
    constexpr MpRow PragmaLines() const {
        MpRow r = *this;
        r.bodyMode = 2;
        return r;
    }
    constexpr MpRow Reads(int in) const {
        MpRow r = *this;
        r.inputs = in;
        return r;
    }
};

// The start of a row: its kind, a fixed path or where the path comes from,
// and its test.
constexpr MpRow MpPush(int kind, MP_PATH_SRC src, const char* path, MpTrigRule rule) {
    MpRow r;
    r.kind = kind;
    r.src = src;
    r.path = path;
    r.rule = rule;
    return r;
}
constexpr MpRow MpMotion(const char* path, MpTrigRule rule) { return MpPush(DET_TYPE_MD, MP_PATH_HTTP_PORT, path, rule); }
constexpr MpRow MpInput(const char* path, MpTrigRule rule) { return MpPush(DET_TYPE_DI, MP_PATH_HTTP_PORT, path, rule); }
constexpr MpRow MpTamper(const char* path, MpTrigRule rule) { return MpPush(DET_TYPE_TD, MP_PATH_HTTP_PORT, path, rule); }
constexpr MpRow MpAudio(const char* path, MpTrigRule rule) { return MpPush(DET_TYPE_AD, MP_PATH_HTTP_PORT, path, rule); }
constexpr MpRow MpMotion(MP_PATH_SRC src, MpTrigRule rule) { return MpPush(DET_TYPE_MD, src, nullptr, rule); }
constexpr MpRow MpInput(MP_PATH_SRC src, MpTrigRule rule) { return MpPush(DET_TYPE_DI, src, nullptr, rule); }

class MpVendorDetector : public MultipartDetector {
public:
    // The detector of row (which outlives it); args.b: the factory's
    // capability flag (Airlive: "VMD").
    MpVendorDetector(DET_BASE_ATTR attr, const MpRow& row, const DetArgs& args);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* buf, unsigned int size, int& level) override;
    bool IsTrig(int port, char* buf, unsigned int size, int& level) override;
    // The held trigger and ports and the alert counting; the last event id
    // stays, since a camera that repeats it has said nothing new.
    void ClearHeldState() override;
    const MpRow& Row() const { return m_Row; }

private:
    void RefreshInputs();
    const MpRow& m_Row;
    MP_RULE_STATE m_State;
};

// Emits the multipart class Name bound to its row (the rest of the line, an
// MpRow) and its factory definition detclass::Name.
#define MP_CLASS(Name, ...)                                                                    \
    class Name : public MpVendorDetector {                                                     \
    public:                                                                                    \
        static constexpr MpRow kRow = __VA_ARGS__;                                             \
        Name(DET_BASE_ATTR attr, const DetArgs& args) : MpVendorDetector(attr, kRow, args) {} \
    };                                                                                         \
    CAMDET_DET_CLASS(Name, MakeDetArgs)

#endif  // CAMDET_MPVENDORDETECTOR_H
