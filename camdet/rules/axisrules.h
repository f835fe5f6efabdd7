// Axis trigger tests: pure functions of the text an Axis camera carries in
// the comment segment of its JPEG frames or in the RTP header extension of
// its MPEG-4/H.264 stream (the same text both ways), of its motion-level
// event stream, and of its input-port CGI answer.
//
// Stream text: a run of "name:value;" items, for example
//   M0:1;ML0:050;M1:0;ML1:030;T0:0;A0:1;IO0:0;IO1:1;
// M<w> is motion window w on or off, ML<w> its level (three digits), T0
// tampering, A0 audio, IO<n> input port n (from 0).
#ifndef CAMDET_RULES_AXISRULES_H
#define CAMDET_RULES_AXISRULES_H

#include "camdet/rules/rulekind.h"

namespace axisrule {

// Motion from the stream text. Payloads of 7 bytes or less: false with value
// untouched. Otherwise triggered when some "M?:1;" item is there, and value
// is the mean of the ML levels found by a scan that, after each level item,
// resumes at the byte after the character following its ';' (so a level item
// that directly follows another is not counted), 0 without any.
bool StreamMotion(const char* payload, unsigned int len, int& value);
// Whole-camera test of the stream text by detection kind: motion as above,
// tampering "T0:1" and audio "A0:1" anywhere in the len bytes give
// (true, 100), else (false, 0). Any other kind: false, value untouched.
bool StreamTrig(int kind, const char* payload, unsigned int len, int& value);
// Input port (from 0) of the stream text: "IO<port>:1" anywhere gives
// (true, 100), else (false, 0).
bool StreamInputTrig(int port, const char* payload, unsigned int len, int& value);

// The multipart motion-level event stream: lines "group=%c;level=%d;threshold=%d;"
// (CR, LF or CRLF; at most 255 characters of a line read). The first line
// whose level is above its threshold gives (true, level); otherwise false
// with the last non-empty line's level (0 when it had none). The text ends
// at the first NUL or at len.
bool MotionLevelLines(const char* buf, unsigned int len, int& value);
// The input CGI answer of one port: empty or no first line is
// false; otherwise "input1" to "input10" is looked up and the first whose
// value is exactly "active" gives (true, 1). value is 0 otherwise.
bool InputActive(const char* buf, unsigned int len, int& value);

}  // namespace axisrule

#endif  // CAMDET_RULES_AXISRULES_H
