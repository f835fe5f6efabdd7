// Rule families of the cameras that push status reports on a multipart
// stream. Pure functions of one part (a buffer of size bytes whose text ends
// at the first zero byte) and the small held state the caller passes in.
#ifndef CAMDET_MPRULES_H
#define CAMDET_MPRULES_H

#include <string>

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

}  // namespace mprule

#endif  // CAMDET_MPRULES_H
