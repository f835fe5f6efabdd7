// Trigger tests of AVTECH cameras, which carry their event state as ASCII
// text in the RTP header extension of their video packets: "MOTION" while
// motion is detected, "ALARM" while an alarm input is active. A keyword
// counts only where it starts at least 23 ("MOTION") or 22 ("ALARM") bytes
// before the end of the extension. Pure functions of the extension bytes
// (len bytes, not NUL-terminated).
#ifndef CAMDET_RULES_AVTECHRULES_H
#define CAMDET_RULES_AVTECHRULES_H

namespace avtechrule {

// (true, 100) with "MOTION" at a position 0 .. len - 23; otherwise (false, 0).
bool Motion(const char* buf, unsigned int len, int& value);
// (true, 100) with "ALARM" at a position 0 .. len - 22; otherwise (false, 0).
// The camera has one alarm word for all its inputs: every port reads the same.
bool Input(int port, const char* buf, unsigned int len, int& value);

}  // namespace avtechrule

#endif  // CAMDET_RULES_AVTECHRULES_H
