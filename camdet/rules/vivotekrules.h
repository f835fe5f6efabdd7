// Vivotek trigger tests: pure functions of the application data a Vivotek
// camera writes into its JPEG frames (APP0 for the oldest firmware, APP2 for
// the others) or into the RTP header extension of its MPEG-4/H.264 stream,
// and of its input CGI answers.
//
// Application data (every group but 0, and every RTP stream):
//   ... "jpeg"|"mp4v"|"h264" ? 00 (9 bytes) n [4 x n bytes of block] ...
// a codec tag, a zero byte 5 bytes after the tag's start, the signed block
// count n 15 bytes after it, then the block. Payloads of 1 to 3 bytes are the
// count byte and a (never whole) block. The block starts with up to three
// motion window records read as a bit stream, most significant bit first:
// an absent window is one 0 bit; a present one 49 bits: 1, trigger bit,
// 7-bit level, 40 bits the test skips. The first 0x18 byte of the block marks
// tampering; bit 7 of the byte two after it is the tampering flag.
//
// Group 0 (APP0): bit 0 of byte 6 is motion, the low four bits of byte 7 a
// level index 0 to 15.
#ifndef CAMDET_RULES_VIVOTEKRULES_H
#define CAMDET_RULES_VIVOTEKRULES_H

#include "camdet/rules/rulekind.h"

// Vivotek firmware generation: selects the JPEG segment, the data layout and
// the input CGI.
enum VIVO_FUNC_GR {
    VIVO_FUNC_GR_0 = 0,  // "vivotek2": APP0 flag and level index
    VIVO_FUNC_GR_1 = 1,  // "vivotek7v1"
    VIVO_FUNC_GR_2 = 2,  // "vivotek7v2"
    VIVO_FUNC_GR_3 = 3,  // "vivotek8"
    VIVO_FUNC_GR_4 = 4,  // "vivotekvs": one input per channel
};

namespace vivorule {

// Where the block of the application data lies: true with the offset of its
// first byte and its size in bytes (4 x the count, at least 4) when the
// payload holds one, false otherwise.
bool FindAppDataBlock(const char* payload, int len, int& offset, int& size);
// The application-data test by kind: motion (1) gives the level of the first
// triggered window, or of the last present window examined; tampering (3)
// gives (true, 100) on the flag. value starts at 0. Any other kind, a null
// or empty payload, or no block: false.
bool CheckTrigValInAppData(const char* payload, int len, int& value, int kind);
// Group 0 APP0 motion: at least 8 bytes and bit 0 of byte 6 set gives
// (true, ((byte 7 & 0x0F) x 3 + 3) x 2); otherwise (false, 0).
bool Group0Motion(const char* payload, unsigned int len, int& value);

// Input answers: "DI<port + 1>=H" (getdi.cgi, one input per request) and
// "di<diOffset + port>=1" (dido/getdi.cgi, the whole list) give (true, 1);
// otherwise (false, 0).
bool Vivotek2Input(int port, const char* buf, unsigned int len, int& value);
bool Vivotek8Input(int port, int diOffset, const char* buf, unsigned int len, int& value);

}  // namespace vivorule

#endif  // CAMDET_RULES_VIVOTEKRULES_H
