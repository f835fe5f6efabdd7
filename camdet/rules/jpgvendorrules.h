// Trigger tests of the other cameras that carry their event state in a
// JPEG header segment of every frame, and the tests over frame-carried data
// (these, Axis, Vivotek and AVTECH) in the one form the rows point at, with a
// table of them for tests and fuzzers.
//
// Basler APP1: text lines; "Motion" lines carry a two-digit level at
// characters 20 and 21, "Alarm" lines a flag digit at 8, "IO=" lines a flag
// digit at 4. JVC comment: byte 233 is '1' during motion. Panasonic comment:
// byte 12 the motion threshold, byte 13 the motion level, byte 0 the alarm
// input bits.
#ifndef CAMDET_RULES_JPGVENDORRULES_H
#define CAMDET_RULES_JPGVENDORRULES_H

#include <string>

#include "camdet/rules/rulekind.h"

// Panasonic input layouts.
enum PANA_FUNC_GR {
    PANA_FUNC_GR_0 = 0,  // input active when bit 7 of byte 0 is set
    PANA_FUNC_GR_1 = 1,  // active unless bits 7 and 6 are both set
    PANA_FUNC_GR_2 = 2,  // active low: bit 7 clear (BB-HCM701, BB-HCM705)
};

namespace jpgrule {

// In every test the value starts at 0 and a null or empty payload is false.

// Basler motion: line by line (CR, LF or CRLF, at most 283 characters read),
// a "Motion" line of 20 characters or more sets the value to the number at
// 20..21; an "Alarm" line of 8 or more whose digit at 8 is 1 gives true.
// Otherwise false with the last motion level.
bool BaslerMotion(const char* payload, unsigned int len, int& value);
// Basler input: an "IO=" line of 5 or more whose digit at 4 is 1 gives
// (true, 1). The same for every port.
bool BaslerInput(const char* payload, unsigned int len, int& value);
// JVC motion: byte 233 is '1' gives (true, 100).
bool JvcMotion(const char* payload, unsigned int len, int& value);
// Panasonic motion (kind 1): level byte 13 above threshold byte 12, value
// min(level x 5, 100); input (kind 2): value 1, result by group as above.
// Payloads too short for the byte read are false with value 0.
bool PanaTrig(int kind, int group, const char* payload, unsigned int len, int& value);

}  // namespace jpgrule

// What a frame-data test knows besides the payload.
struct STREAM_RULE_STATE {
    int kind = RULE_KIND_MD;  // the detector's kind (classes serving several kinds)
    int group = 0;            // VIVO_FUNC_GR or PANA_FUNC_GR
};

// A frame-data test; port is the 0-based input for input tests, -1 for the
// whole-camera test.
typedef bool (*StreamTrigRule)(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len,
                               int& value);

// The frame-data tests the rows point at, one per way of reading the data:
// the kind picks the test where one serves several kinds.
namespace streamrule {
// Axis stream text: the per-input test for a port, else the test of st.kind.
bool Axis(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
// Vivotek JPEG: group 0 APP0 motion, else the APP2 application data by st.kind.
bool VivotekJpg(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
// Vivotek RTP: the application data by st.kind.
bool VivotekRtp(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMotion(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerInput(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
bool JvcMotion(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
// Panasonic comment by st.kind and st.group; the input test is the same for every port.
bool Panasonic(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
// AVTECH RTP words: the input test for a port, else the motion test.
bool Avtech(const STREAM_RULE_STATE& st, int port, const char* buf, unsigned int len, int& value);
}  // namespace streamrule

struct StreamRuleEntry {
    const char* name;  // the test's name in streamrule
    StreamTrigRule rule;
};

// Every frame-data test, for tests and fuzzers; rows counts them.
const StreamRuleEntry* GetStreamRuleTable(int& rows);

#endif  // CAMDET_RULES_JPGVENDORRULES_H
