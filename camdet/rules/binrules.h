// Trigger tests of the cameras that push their events as text lines (over an
// endless HTTP response or a plain TCP connection) or as fixed-size binary
// records: one test per class (binrule::<Class>) and a table of them by
// class name for tests and fuzzers. Pure functions of one line or record (a
// buffer of size bytes; a line ends at its first zero byte) and the small
// held state the caller passes in.
#ifndef CAMDET_RULES_BINRULES_H
#define CAMDET_RULES_BINRULES_H

#include <string>
#include <vector>

#include "camdet/rules/rulekind.h"

// What a class test reads besides the line: inputs the detector refreshes
// before every test, and the state the test keeps from line to line.
struct BIN_RULE_STATE {
    int mdParam1 = 0;       // m_MDParam[1] (motion parameter key 3)
    int mdParam3 = 0;       // m_MDParam[3] (motion parameter key 2)
    int adParam = 0;        // m_ADParam (audio parameter key 5)
    bool adKeyV2 = false;   // the camera API specifies "AD_KEY_V2"
    bool held = false;      // current alarm state
    std::vector<bool> heldPorts;  // per input, sized to the input count
    bool gotMd1 = false;    // D-Link: a motion flag line was seen
    bool gotMdv1 = false;   // D-Link: a motion level line was seen
    int level = 0;          // D-Link: last level
    // Set by a test whose line carries nothing it can read (a garbled line):
    // the detector then reports nothing for it, so the status stays as it
    // was, for a camera that cannot be read is not quiet. The caller clears
    // it before each test.
    bool noData = false;
};

// A class test; port is the 0-based input for input tests, -1 for the
// whole-camera test. value is preset to 0 by the caller.
typedef bool (*BinTrigRule)(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);

struct BinRuleEntry {
    const char* name;  // the test's name in binrule
    RULE_KIND kind;
    BinTrigRule rule;
};

// Every binary- and line-stream class's test, in catalogue order.
const BinRuleEntry* GetBinRuleTable(int& rows);

namespace binrule {

// Dahua event lines ("Code=VideoMotion;action=Start;index=0"): a line with
// keyword starts (with "Start") or stops (with "Stop") the held alarm; any
// other line leaves it. Returns the held state.
bool DahuaEvent(const char* buf, unsigned int size, const char* keyword, bool& held);
// Value of the two hexadecimal digits at text[0..1] (fewer when a non-digit
// comes first); -1 when there is none.
int Hex2(const char* text);

bool DahuaMotion(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool DahuaTamper(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool DahuaInput(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool DLinkMotion(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool DLinkAudio(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool DLinkInput(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool LilinV2Input(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool LevelOneGr4Motion(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool LevelOneGr4Input(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool EverFocusMotion(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool EverFocusInput(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);
bool YcamMotion(BIN_RULE_STATE& st, int port, const char* buf, unsigned int size, int& value);

}  // namespace binrule

#endif  // CAMDET_RULES_BINRULES_H
