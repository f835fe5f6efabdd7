// The JPEG-header classes as rows: one generic detector built from a row that
// gives the marker segment its camera writes, its kind (or the factory's),
// whether it shares its camera's frames, and its test over the segment's
// payload (camdet/rules/jpgvendorrules.h). Frames come from the recorder's
// FIFO (the factory's flag) or are fetched from the path of
// CameraAPI::GetDetPathPort after SetStreamInfo(1, 2). A family's file emits
// each class with JPG_CLASS: the class bound to its row and its factory
// definition, in one line.
#ifndef CAMDET_JPGVENDORDETECTOR_H
#define CAMDET_JPGVENDORDETECTOR_H

#include <string>

#include "camdet/core/detclass.h"
#include "camdet/rules/jpgvendorrules.h"
#include "camdet/transport/jpghdrdetector.h"

// JPEG marker codes of the segments cameras write their events into.
enum { JPG_APP0 = 0xE0, JPG_APP1 = 0xE1, JPG_APP2 = 0xE2, JPG_COM = 0xFE };

struct JpgRow {
    int marker = JPG_COM;  // 0: by group (Vivotek: APP0 for group 0, else APP2)
    int kind = 0;          // detection kind; 0: the factory's (classes serving several kinds)
    bool shared = true;    // links for sharing with its kind
    StreamTrigRule rule = nullptr;

    constexpr JpgRow Kind(int k) const {
        JpgRow r = *this;
        r.kind = k;
        return r;
    }
    // Never shares: its kind stays 0.
    constexpr JpgRow Alone() const {
        JpgRow r = *this;
        r.shared = false;
        return r;
    }
};

constexpr JpgRow JpgSegment(int marker, StreamTrigRule rule) {
    JpgRow r;
    r.marker = marker;
    r.rule = rule;
    return r;
}

class JpgVendorDetector : public JpgHdrDetector {
public:
    // The detector of row (which outlives it): args.b frames by the FIFO,
    // args.kind the factory's kind, args.group the firmware's layout.
    JpgVendorDetector(DET_BASE_ATTR attr, const JpgRow& row, const DetArgs& args);
    int GetPathPort(std::string& path, int& port) override;
    bool IsTrig(char* payload, unsigned int len, int& value) override;
    bool IsTrig(int port, char* payload, unsigned int len, int& value) override;
    const JpgRow& Row() const { return m_Row; }
    int GetGroup() const { return m_State.group; }

    // SetStreamInfo(1, 2), then the detection path: 0 or -1 (nothing logged).
    static int DetPathPort(CameraAPI* api, std::string& path, int& port);

private:
    const JpgRow& m_Row;
    STREAM_RULE_STATE m_State;
};

// Emits the JPEG-header class Name bound to its row (the rest of the line, a
// JpgRow) and its factory definition detclass::Name.
#define JPG_CLASS(Name, ...)                                                                    \
    class Name : public JpgVendorDetector {                                                     \
    public:                                                                                     \
        static constexpr JpgRow kRow = __VA_ARGS__;                                             \
        Name(DET_BASE_ATTR attr, const DetArgs& args) : JpgVendorDetector(attr, kRow, args) {} \
    };                                                                                          \
    CAMDET_DET_CLASS(Name, MakeDetArgs)

#endif  // CAMDET_JPGVENDORDETECTOR_H
