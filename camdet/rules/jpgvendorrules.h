// Trigger tests of the other cameras that carry their event state in a
// JPEG header segment of every frame, and one table of every test over
// frame-carried data (these, Axis and Vivotek) by class name, for tests and
// fuzzers.
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

struct StreamRuleEntry {
    const char* cls;  // class name
    StreamTrigRule rule;
};

// Every frame-data class test; rows counts them.
const StreamRuleEntry* GetStreamRuleTable(int& rows);
// The entry of one class, or null.
const StreamRuleEntry* FindStreamRule(const std::string& cls);

#endif  // CAMDET_RULES_JPGVENDORRULES_H
