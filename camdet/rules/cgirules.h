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
    // Set by a test when the answer is not one it can read (the key it reads
    // is missing, the JSON or XML it reads is not there): an HTML login page
    // or a foreign answer, as opposed to a quiet one: the detector leaves
    // the status as it was and the camera's health says error. A test that
    // cannot tell (a keyword whose absence is the quiet answer) leaves it.
    // The caller clears it.
    bool unread = false;
};

// A trigger test: true when the answer reports the alarm; value is the level
// (written by every test except ItxInput and BoschInput, which leave it
// alone); st.unread as above.
// port is the 0-based input for input tests and ignored by motion tests.
typedef bool (*CgiTrigRule)(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);

struct CgiRuleEntry {
    const char* name;  // the test's name in cgirule
    RULE_KIND kind;    // RULE_KIND_MD or RULE_KIND_DI
    CgiTrigRule rule;
};

// Every polled camera's test, motion tests first; rows counts them.
const CgiRuleEntry* GetCgiRuleTable(int& rows);

namespace cgirule {
// Motion tests (port is ignored).
bool YcamV2Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioV3Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosV2Motion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HiSharpMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool GrandStreamMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenMotion(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
// Input tests for 0-based input port.
bool AxisInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Vivotek2Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool AirliveInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr5Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr1Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr4InputQuery(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool YcamV2Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool JvcInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool EdimaxVPInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ActiInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool PixordInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaA02Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4Input(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ImegeInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StarDotInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenInput(CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
}  // namespace cgirule

#endif  // CAMDET_RULES_CGIRULES_H
