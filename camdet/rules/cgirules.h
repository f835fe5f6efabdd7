// Trigger tests of the camera families that are polled over a CGI: one pure
// function per camera answer (cgirule::<Family><Kind>) of the answer and the
// small state the detector hands in, and a table of them for tests and
// fuzzers. The families' rows point at these functions.
#ifndef CAMDET_RULES_CGIRULES_H
#define CAMDET_RULES_CGIRULES_H

#include <string>

#include "camdet/rules/rulekind.h"

// The polling loop's answer buffer: zeroed before every poll, so a test sees
// at most kCgiAnswerBufSize - 1 characters followed by a NUL.
const int kCgiAnswerBufSize = 4096;

// What a trigger test may know besides the answer.
struct CgiRuleState {
    int diCnt = 1;            // the camera's input count
    bool blGroup11 = false;   // Messoa SDK05: the camera API specifies "GROUP11"
    std::string diTrigValue;  // LevelOne GR5: what an input in alarm reads
};

// A trigger test: true when the answer reports the alarm; value is the level
// (written by every test except ItxInput and BoschInput, which leave it alone).
// port is the 0-based input for input tests and ignored by motion tests.
typedef bool (*CgiTrigRule)(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);

struct CgiRuleEntry {
    const char* name;  // the test's name in cgirule
    RULE_KIND kind;    // RULE_KIND_MD or RULE_KIND_DI
    CgiTrigRule rule;
};

// Every polled camera's test, motion tests first; rows counts them.
const CgiRuleEntry* GetCgiRuleTable(int& rows);

namespace cgirule {
// Motion tests (port is ignored).
bool YcamV2Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioV3Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosV2Motion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HiSharpMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool GrandStreamMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenMotion(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
// Input tests for 0-based input port.
bool AxisInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Vivotek2Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool AirliveInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr5Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr1Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr4InputQuery(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool YcamV2Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool JvcInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool EdimaxVPInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ActiInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool PixordInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaA02Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4Input(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ImegeInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StarDotInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenInput(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
}  // namespace cgirule

#endif  // CAMDET_RULES_CGIRULES_H
