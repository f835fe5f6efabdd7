// The RTP-extension classes as rows: one generic detector on the recorder's
// shared fetcher of the live stream (empty path, port 0), built from a row
// that gives its kind (or the factory's) and its test over one extension
// (camdet/rules/jpgvendorrules.h, streamrule). The kinds of a camera share
// its stream: the first linked runs the loop. A family's file emits each
// class with RTP_CLASS: the class bound to its row and its factory
// definition, in one line.
#ifndef CAMDET_RTPVENDORDETECTOR_H
#define CAMDET_RTPVENDORDETECTOR_H

#include <string>

#include "camdet/core/detclass.h"
#include "camdet/rules/jpgvendorrules.h"
#include "camdet/transport/rtphdrdetector.h"

struct RtpRow {
    int kind = 0;  // detection kind; 0: the factory's (classes serving several kinds)
    StreamTrigRule rule = nullptr;
};

constexpr RtpRow RtpExtension(int kind, StreamTrigRule rule) {
    RtpRow r;
    r.kind = kind;
    r.rule = rule;
    return r;
}

class RtpVendorDetector : public RtpHdrDetector {
public:
    // The detector of row (which outlives it): args.kind the factory's kind,
    // args.group the firmware's layout. Links for sharing with its kind.
    RtpVendorDetector(DET_BASE_ATTR attr, const RtpRow& row, const DetArgs& args);
    // The recorder's shared fetcher.
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* data, unsigned int len, int& value) override;
    bool IsTrig(int port, char* data, unsigned int len, int& value) override;
    const RtpRow& Row() const { return m_Row; }
    int GetGroup() const { return m_State.group; }

private:
    const RtpRow& m_Row;
    STREAM_RULE_STATE m_State;
};

// Emits the RTP-extension class Name bound to its row (the rest of the line,
// an RtpRow) and its factory definition detclass::Name.
#define RTP_CLASS(Name, ...)                                                                    \
    class Name : public RtpVendorDetector {                                                     \
    public:                                                                                     \
        static constexpr RtpRow kRow = __VA_ARGS__;                                             \
        Name(DET_BASE_ATTR attr, const DetArgs& args) : RtpVendorDetector(attr, kRow, args) {} \
    };                                                                                          \
    CAMDET_DET_CLASS(Name, MakeDetArgs)

#endif  // CAMDET_RTPVENDORDETECTOR_H
