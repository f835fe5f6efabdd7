// Pure parts of the cameras that run their own loops: the ACTi binary event
// connection's packets, the Mobotix alarm counters and the LevelOne GR2
// motion windows and region levels. No sockets, no threads, no clock.
#ifndef CAMDET_RULES_OWNLOOPRULES_H
#define CAMDET_RULES_OWNLOOPRULES_H

#include <stdint.h>

#include <string>

// ---------------------------------------------------------------- ACTi
// All integers on the wire are 32-bit little-endian.

enum {
    ACTI_LOGIN_SIZE = 128,    // login packet and its answer
    ACTI_HEADER_SIZE = 12,    // event header and keep-alive packet
    // The longest payload an event header announces (a snapshot at most);
    // a longer one means the stream is out of step.
    ACTI_MAX_PAYLOAD = 4 * 1024 * 1024,
    ACTI_MOTION_EVENT = 0x10039,
    ACTI_LIVE_CMD = 0x30,
};

struct ACTI_EVENT_HEADER {
    int32_t code;        // bytes 4-7
    int32_t payloadLen;  // bytes 8-11
};

// The login packet: user (cut to 31 characters) at 0, the word 1 at 32,
// password (cut to 63) at 64, NUL-terminated, zero elsewhere.
void ActiLoginPacket(const std::string& user, const std::string& password, unsigned char out[ACTI_LOGIN_SIZE]);
// The camera accepts the login when its answer's first word is 0 (at least
// four bytes read).
bool ActiLoginAccepted(const unsigned char* answer, unsigned int len);
// The keep-alive packet: "ACTi", cmd, 0.
void ActiLivePacket(int32_t cmd, unsigned char out[ACTI_HEADER_SIZE]);
// Reads an event header; false unless len is exactly ACTI_HEADER_SIZE.
bool ActiReadHeader(const unsigned char* buf, unsigned int len, ACTI_EVENT_HEADER& out);
// Payload bytes to skip after a header: all of them (0 for none); -1 for a
// length no event has (negative, which 2^31 and up read as, or beyond
// ACTI_MAX_PAYLOAD): the stream is out of step and what follows is no header.
int32_t ActiPayloadToSkip(const ACTI_EVENT_HEADER& h);
// A header of the motion event code triggers with 100.
bool ActiIsMotion(const ACTI_EVENT_HEADER& h, int32_t motionCode, int& value);

// ---------------------------------------------------------------- Mobotix

struct MOBOTIX_COUNTERS {
    int32_t alarm = 0;  // last "alarmcounter" of the ordinary event list
    int32_t pir = 0;    // last one seen in a "PI" answer
    bool alarmSeen = false;  // a counter has been read into alarm
    bool pirSeen = false;    // ... into pir
};

// "alarmcounter=<n>;": an alarm when n differs from counter, which takes n.
// The first counter read (seen false) only sets counter and seen: the camera
// counted before the detector started. Without the key: no alarm, nothing
// changes.
bool MobotixCounterRule(const char* buf, unsigned int len, int32_t& counter, bool& seen);
// Motion: models whose name contains "12" or "22" have one counter; the
// others count image motion ("ox_md_ima") and the PIR ("PI") apart. value
// 100 on an alarm, else 0.
bool MobotixMotion(const char* buf, unsigned int len, const std::string& model, MOBOTIX_COUNTERS& c, int& value);
// Input: any counter change raises every input tested after it in that pass
// until the first absorbs it (value 1).
bool MobotixInput(const char* buf, unsigned int len, int32_t& counter, bool& seen, int& value);

// ---------------------------------------------------------------- LevelOne GR2

struct LEVELONE_MOTION_WIN {
    int32_t blEnabled;  // bool, padded to 32 bits
    int32_t sensitivity;
    int32_t threshold;
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

enum { LEVELONE_WIN_COUNT = 3 };

// One line of the camera's "group=Motion" parameter list
// ("Motion.M0.Enabled=yes", "Motion.M1.Threshold=40") into the windows.
void LevelOneGr2ParseWindowLine(const char* line, LEVELONE_MOTION_WIN win[LEVELONE_WIN_COUNT]);
// One line of region levels ("R1=120,R2=30,R3=0"): the first enabled window
// whose region level is above its threshold triggers with min(level, 1000) /
// 10; otherwise value is that of the highest enabled level, not triggered.
bool LevelOneGr2Trig(const char* buf, unsigned int len, const LEVELONE_MOTION_WIN win[LEVELONE_WIN_COUNT],
                     int& value);

// ---------------------------------------------------------------- stream FIFO frames

// Ipux motion: byte 24 of the frame, signed; on cameras of scale 255 (all
// but the 5 MP ones, scale 100) rescaled to 0..99. value is the level capped
// at 100; triggered when mdParam1 (motion parameter key 3) is below it. A
// frame of 24 bytes or less is quiet and leaves value alone.
bool IpuxFifoMotion(const unsigned char* unit, unsigned int len, int scale, int mdParam1, int& value);
// Ipux inputs: any of the three low bits of byte 27 puts every input in
// alarm (value 1); shorter frames are quiet.
bool IpuxFifoInput(const unsigned char* unit, unsigned int len, int& value);
// StarDot motion: a "SDM0" block whose "0" lies 32 to 199 bytes before the
// end of the frame (the last one searching backwards from 32); triggered
// (100) when a byte of the 32 after it, within the frame and before its
// last byte, is not zero.
bool StarDotFifoMotion(const unsigned char* unit, unsigned int len, int& value);

#endif  // CAMDET_RULES_OWNLOOPRULES_H
