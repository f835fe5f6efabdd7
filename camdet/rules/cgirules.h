// Trigger tests of the camera families that are polled over a CGI: one pure
// function per class (cgirule::<Class>) of the camera's answer and the small
// state the detector hands in, and a table of them by class name for tests
// and fuzzers. The vendor rows point at these functions.
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
    bool blGroup11 = false;   // MessoaSDK05: the camera API specifies "GROUP11"
    std::string diTrigValue;  // LevelOneGr5DI: what an input in alarm reads
};

// A trigger test: true when the answer reports the alarm; value is the level
// (written by every test except ItxDI and BoschDI, which leave it alone).
// port is the 0-based input for input tests and ignored by motion tests.
typedef bool (*CgiTrigRule)(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);

struct CgiRuleEntry {
    const char* cls;  // class name
    RULE_KIND kind;   // RULE_KIND_MD or RULE_KIND_DI
    CgiTrigRule rule;
};

// Every polling vendor's test, motion classes first; rows counts them.
const CgiRuleEntry* GetCgiRuleTable(int& rows);
// The entry of one class, or null.
const CgiRuleEntry* FindCgiRule(const std::string& cls);

namespace cgirule {
// Motion tests (port is ignored).
bool YcamV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioV3MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool RayliosV2MD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HiSharpMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool GrandStreamMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenMD(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
// Input tests for 0-based input port.
bool AxisDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Vivotek2DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool AirliveDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr5DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr1DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool LevelOneGr4DICgiQuery(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool YcamV2DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool JvcDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool EdimaxVPDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ActiDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ArecontDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SanyoDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool PixordDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaProDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaSDK05DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool MessoaA02DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool Messoa03DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ComproDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool HuntDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BrickcomDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StorageDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ZavioDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool CanonDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool FoscamV2DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BaslerMp4DI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ItxDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ImegeDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool StarDotDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BoschDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool BewardDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool SiemensDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool ShanyDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool NexcomDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
bool TruenDI(const CgiRuleState& st, int port, const char* buf, unsigned int len, int& value);
}  // namespace cgirule

#endif  // CAMDET_RULES_CGIRULES_H
