// Trigger tests of the cameras that push status reports on a multipart
// stream: the rule families, one test per camera answer
// (mprule::<Family><Kind>) built on them, and a table of those tests for
// tests and fuzzers.
// Pure functions of one part (a buffer of size bytes whose text ends at the
// first zero byte) and the small held state the caller passes in.
#ifndef CAMDET_RULES_MPRULES_H
#define CAMDET_RULES_MPRULES_H

#include <string>
#include <vector>

#include "camdet/rules/hikrules.h"
#include "camdet/rules/rulekind.h"

// What a test reads besides the part: inputs the detector refreshes before
// every test, and the held state the test keeps between parts.
struct MP_RULE_STATE {
    int mdParam1 = 0;      // m_MDParam[1] (motion parameter key 3)
    int mdParam3 = 0;      // m_MDParam[3] (motion parameter key 2)
    std::string api;       // camera API key
    std::string channel;   // the mediator's channel text (function 2)
    bool flag = false;     // Airlive: VMD mode; Panasonic inputs: "ALARM2_DO";
                           // older HikVision: "EDGE_TRIGGER_EVENT"
    bool held = false;
    std::vector<bool> heldPorts;
    HIK_HOLD_STATE alert;  // PSIA alert counting; HikVision's held state
    HIK_PORT_STATE hikPorts;  // HikVision's held inputs, sized to the input count
    int lastId = -1;       // Airlive: last event id (-1: none seen since construction)
};

// A camera's test; port is the 0-based input for input tests, -1 for the
// whole-camera test.
typedef bool (*MpTrigRule)(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);

struct MpRuleEntry {
    const char* name;  // the test's name in mprule
    RULE_KIND kind;
    MpTrigRule rule;
};

// Every multipart camera's test; rows counts them.
const MpRuleEntry* GetMpRuleTable(int& rows);

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

// ---------------------------------------------------------------- the cameras' tests

bool AxisMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LevelOneGr4Tamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeV1Motion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeV2Motion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IQeyeInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SonyMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SonyInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PsiaMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PsiaInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool MessoaA02Motion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool ImegeMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungAudio(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungTamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool SamsungInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HitronMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HitronInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EneoTamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AlinkingTamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool DLinkV9V2Motion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool DLinkV9V2Input(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LilinMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool LilinInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AcumenMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AcumenInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool OncamGrandeyeMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool OncamGrandeyeInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool AirliveMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EdimaxMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EdimaxVPMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EtrovisionMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool EtrovisionInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PixordMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaProMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool PanaProInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IpuxMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool IpuxInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool ZavioMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
// HikVision, older firmware (edge or level by st.flag; tampering sampled) and
// ISAPI firmware (held states); inputs in st.hikPorts.
bool HikVisionMotion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionInput(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionTamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionV3Motion(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionV3Input(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionV3Tamper(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);
bool HikVisionAudio(MP_RULE_STATE& st, int port, const char* buf, unsigned int size, int& level);

}  // namespace mprule

#endif  // CAMDET_RULES_MPRULES_H
