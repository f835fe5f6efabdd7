// The line- and record-stream classes as rows: one generic detector built
// from a row that gives the class's kind, how it takes part in sharing, the
// stream (path, buffer size, type, time-out, client flag) and its trigger
// test (camdet/rules/binrules.h). A family's file emits each class with
// BIN_CLASS: the class bound to its row and its factory definition, in one
// line.
#ifndef CAMDET_BINVENDORDETECTOR_H
#define CAMDET_BINVENDORDETECTOR_H

#include "camdet/core/detclass.h"
#include "camdet/rules/binrules.h"
#include "camdet/transport/binstreamdetector.h"

// How a class takes part in sharing one camera stream.
enum BIN_SHARE {
    BIN_SHARE_LINK = 0,  // LinkShareDet(kind): the first detector of the camera reads for all
    BIN_SHARE_KIND = 1,  // the kind set directly (inputs are reported per port), never shared
    BIN_SHARE_NONE = 2,  // no kind, never shared
};

// What a test reads besides the line, refreshed before every test.
enum {
    BIN_IN_MD_PARAMS = 1,  // the motion parameters (keys 3 and 2)
    BIN_IN_AD_PARAM = 2,   // the audio parameter (key 5)
    BIN_IN_AD_KEY = 4,     // the camera API specifies "AD_KEY_V2" (read once)
};

// One class. The defaults are the common case; a row states what differs.
struct BinRow {
    int kind = DET_TYPE_MD;
    BIN_SHARE share = BIN_SHARE_LINK;
    const char* path = "";  // request path of the HTTP types; empty for TCP lines
    unsigned int bufSize = 1024;
    __tag_BIN_STREAM_TYPE type = BIN_STREAM_HTTP_LINE;
    int timeoutSec = 60;
    bool httpFlag = true;  // the HTTP client's authentication flag
    BinTrigRule rule = nullptr;
    int inputs = 0;  // BIN_IN_*

    constexpr BinRow Kind(int k) const {
        BinRow r = *this;
        r.kind = k;
        return r;
    }
    // Never shared; the kind still set, so that inputs are reported per port.
    constexpr BinRow Alone() const {
        BinRow r = *this;
        r.share = BIN_SHARE_KIND;
        return r;
    }
    // Never shared, no kind.
    constexpr BinRow AloneWithoutKind() const {
        BinRow r = *this;
        r.share = BIN_SHARE_NONE;
        return r;
    }
    constexpr BinRow Timeout(int sec) const {
        BinRow r = *this;
        r.timeoutSec = sec;
        return r;
    }
    constexpr BinRow WithoutAuthFlag() const {
        BinRow r = *this;
        r.httpFlag = false;
        return r;
    }
    constexpr BinRow Reads(int in) const {
        BinRow r = *this;
        r.inputs = in;
        return r;
    }
};

// The start of a row: the stream and the test (motion; Kind() says otherwise).
constexpr BinRow BinStream(__tag_BIN_STREAM_TYPE type, const char* path, unsigned int bufSize, BinTrigRule rule) {
    BinRow r;
    r.type = type;
    r.path = path;
    r.bufSize = bufSize;
    r.rule = rule;
    return r;
}
// Text lines on an endless HTTP response.
constexpr BinRow BinHttpLines(const char* path, unsigned int lineMax, BinTrigRule rule) {
    return BinStream(BIN_STREAM_HTTP_LINE, path, lineMax, rule);
}
// Text lines on a TCP connection to the camera API's detection port.
constexpr BinRow BinSocketLines(unsigned int lineMax, BinTrigRule rule) {
    return BinStream(BIN_STREAM_SOCKET_LINE, "", lineMax, rule);
}
// Binary records of exactly size bytes on an endless HTTP response.
constexpr BinRow BinHttpRecords(const char* path, unsigned int size, BinTrigRule rule) {
    return BinStream(BIN_STREAM_HTTP_RECORD, path, size, rule);
}

class BinVendorDetector : public BinStreamDetector {
public:
    // The detector of row (which outlives it).
    BinVendorDetector(DET_BASE_ATTR attr, const BinRow& row, const DetArgs& args);
    bool IsTrig(char* buf, unsigned int size, int& value) override;
    bool IsTrig(int port, char* buf, unsigned int size, int& value) override;
    // The held alarm, ports and level; which lines the camera sends (D-Link's
    // flag and level lines) stays known.
    void ClearHeldState() override;
    const BinRow& Row() const { return m_Row; }

private:
    void RefreshInputs();
    bool Test(int port, char* buf, unsigned int size, int& value);
    const BinRow& m_Row;
    BIN_RULE_STATE m_State;
};

// Emits the stream class Name bound to its row (the rest of the line, a
// BinRow) and its factory definition detclass::Name.
#define BIN_CLASS(Name, ...)                                                                    \
    class Name : public BinVendorDetector {                                                     \
    public:                                                                                     \
        static constexpr BinRow kRow = __VA_ARGS__;                                             \
        Name(DET_BASE_ATTR attr, const DetArgs& args) : BinVendorDetector(attr, kRow, args) {} \
    };                                                                                          \
    CAMDET_DET_CLASS(Name, MakeDetArgs)

#endif  // CAMDET_BINVENDORDETECTOR_H
