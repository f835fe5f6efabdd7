// Trigger tests of the cameras that push status reports on a multipart
// stream: the rule families, one test per class (mprule::<Class>) built on
// them, and a table of the class tests by class name for tests and fuzzers.
// Pure functions of one part (a buffer of size bytes whose text ends at the
// first zero byte) and the small held state the caller passes in.
#ifndef CAMDET_RULES_MPRULES_H
#define CAMDET_RULES_MPRULES_H

#include <string>
#include <vector>

#include "camdet/rules/hikrules.h"
#include "camdet/rules/rulekind.h"

// What a class test reads besides the part: inputs the detector refreshes
// before every test, and the held state the test keeps between parts.
struct MP_RULE_STATE {
    int mdParam1 = 0;      // m_MDParam[1] (motion parameter key 3)
    int mdParam3 = 0;      // m_MDParam[3] (motion parameter key 2)
    std::string api;       // camera API key
    std::string channel;   // the mediator's channel text (function 2)
    bool flag = false;     // AirliveMD: VMD mode; Panasonic inputs: "ALARM2_DO"
    bool held = false;
    std::vector<bool> heldPorts;
    HIK_HOLD_STATE alert;  // PSIA alert counting
    int lastId = -1;       // AirliveMD: last event id (-1: none seen since construction)
};

// A class test; port is the 0-based input for input tests, -1 for the
// whole-camera test.
typedef bool (*MpTrigRule)(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);

struct MpRuleEntry {
    const char* cls;  // class name
    RULE_KIND kind;
    MpTrigRule rule;
};

// Every multipart class's test, in catalogue order; rows counts them.
const MpRuleEntry* GetMpRuleTable(int& rows);
// The entry of one class, or null.
const MpRuleEntry* FindMpRule(const std::string& cls);

namespace mprule {

// Status lines ("Motion.M0.Status=\"%d\";"): the first non-empty line the
// format reads (at least one field) decides; status 1 triggers.
bool StatusLine(const char* buf, unsigned int size, const char* fmt);
// Level lines ("window=%d;level=%d;threshold=%d"): a line read with all three
// fields whose level is above its threshold triggers with that level;
// otherwise level is what the last non-empty line gave.
bool LevelLines(const char* buf, unsigned int size, const char* fmt, int& level);
// Group level lines ("group=%d;level=%d;threshold=%d;"): the first line above
// its threshold triggers with its level, otherwise level is the highest read.
// vga: the level is limited to 1000 and divided by 10.
bool GroupLevelLines(const char* buf, unsigned int size, bool vga, int& level);
// Event lines ("... Dynamic ... id=17"): the first line with "Dynamic"; a
// new id (compared with lastId, which is updated) triggers with 100.
bool DynamicEventId(const char* buf, unsigned int size, int& lastId, int& level);
// Window lines ("MDWin1=0"): the first line read with "%2sWin%u=%u" whose
// value is 1 triggers with 100.
bool WindowLines(const char* buf, unsigned int size, int& level);
// Object-size lines ("value=12;objectsize=10;"): the first line where value
// > 0 and value >= objectsize triggers with level value; a line with value
// > 0 sets the level even when it does not trigger. The last byte of the
// buffer is not part of the text.
bool ObjectSizeLines(const char* buf, unsigned int size, int& level);
// Panasonic "motiondetect T" lines; channel is the recorder's channel text
// ("1": the plain format, else "motiondetect ch<channel>%c"). The character
// of every line that reads; returns the first one (0 when none), and sets
// anyT when some line reads 'T'.
char PanaMotionChar(const char* buf, unsigned int size, const std::string& channel, bool& anyT);
// Panasonic terminal lines "terminal<n> I L": the first character read for
// terminal n (0 when none); anyL when some line reads 'L'.
char PanaTerminalChar(const char* buf, unsigned int size, int terminal, bool& anyL);
// Signed byte at index; false when the buffer is shorter.
bool SignedByte(const char* buf, unsigned int size, unsigned int index, int& value);
// Ipux motion level from the signed byte v: scale 255 maps to 0..99 (v + 1) *
// 99 / 256 rounded; scale 100 is v itself; above 100 becomes 100.
int IpuxLevel(int v, int scale);

// ---------------------------------------------------------------- class tests

bool AxisMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LevelOneGr4TD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeV1MD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeV2MD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SonyMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SonyDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PsiaMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PsiaDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool MessoaA02MD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool ImegeMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungAD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungTD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HitronMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HitronDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoTD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingTD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool DLinkV9V2MD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool DLinkV9V2DI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LilinMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LilinDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AcumenMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AcumenDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool OncamGrandeyeMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool OncamGrandeyeDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AirliveMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EdimaxMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EdimaxVPMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EtrovisionMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EtrovisionDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PixordMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaProMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaProDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IpuxMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IpuxDI(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool ZavioMD(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);

}  // namespace mprule

#endif  // CAMDET_RULES_MPRULES_H
