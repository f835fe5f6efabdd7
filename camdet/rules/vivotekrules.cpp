#include "camdet/rules/vivotekrules.h"

#include <string.h>

#include <string>

#include "camdet/rules/trigrules.h"

namespace vivorule {

namespace {

const int kMotionRecords = 3;
const int kWindowBits = 49;
const int kLevelBits = 7;
const unsigned char kTamperMarker = 0x18;

bool IsCodecTag(const char* p) {
    return memcmp(p, "jpeg", 4) == 0 || memcmp(p, "mp4v", 4) == 0 || memcmp(p, "h264", 4) == 0;
}

// Bit `pos` of the block, most significant bit of each byte first.
int Bit(const unsigned char* block, int pos) { return (block[pos >> 3] >> (7 - (pos & 7))) & 1; }

bool Motion(const unsigned char* block, int size, int& value) {
    const int bits = size * 8;
    int pos = 0;
    for (int r = 0; r < kMotionRecords; ++r) {
        if (pos >= bits) return false;
        if (!Bit(block, pos)) {
            ++pos;
            continue;
        }
        if (pos + 1 >= bits) return false;
        const bool trig = Bit(block, pos + 1) != 0;
        int level = 0;
        for (int b = pos + 2; b < pos + 2 + kLevelBits && b < bits; ++b) level = (level << 1) | Bit(block, b);
        value = level;
        if (trig) return true;
        pos += kWindowBits;
    }
    return false;
}

bool Tampering(const unsigned char* block, int size, int& value) {
    const void* mark = memchr(block, kTamperMarker, (size_t)size);
    if (!mark) return false;
    const int at = (int)((const unsigned char*)mark - block);
    if (at + 2 >= size || !(block[at + 2] & 0x80)) return false;
    value = 100;
    return true;
}

}  // namespace

bool FindAppDataBlock(const char* payload, int len, int& offset, int& size) {
    if (!payload || len <= 0 || len == 4) return false;
    int countAt = -1;
    if (len < 4) {
        countAt = 0;
    } else {
        for (int i = 0; i + 5 <= len; ++i) {
            if (i + 5 < len && IsCodecTag(payload + i) && payload[i + 5] == 0) {
                countAt = i + 15;
                break;
            }
        }
        if (countAt < 0 || countAt >= len) return false;
    }
    const int n = (signed char)payload[countAt];
    if (n <= 0 || 4 * n > len - countAt - 1) return false;
    offset = countAt + 1;
    size = 4 * n;
    return true;
}

bool CheckTrigValInAppData(const char* payload, int len, int& value, int kind) {
    value = 0;
    if (!payload || len < 1) return false;
    int offset = 0, size = 0;
    if (!FindAppDataBlock(payload, len, offset, size)) return false;
    const unsigned char* block = reinterpret_cast<const unsigned char*>(payload) + offset;
    switch (kind) {
    case RULE_KIND_MD: return Motion(block, size, value);
    case RULE_KIND_TD: return Tampering(block, size, value);
    default: return false;
    }
}

bool Group0Motion(const char* p, unsigned int len, int& value) {
    value = 0;
    if (!p || len < 8 || !(p[6] & 0x01)) return false;
    value = (((unsigned char)p[7] & 0x0F) * 3 + 3) * 2;
    return true;
}

bool Vivotek2Input(int port, const char* buf, unsigned int len, int& value) {
    return trig::Report(trig::KeyEquals(buf, len, "DI" + std::to_string(port + 1), "=", "\n", {"H"}), 1, value);
}

bool Vivotek8Input(int port, int diOffset, const char* buf, unsigned int len, int& value) {
    return trig::Report(trig::KeyEquals(buf, len, "di" + std::to_string(diOffset + port), "=", "\n", {"1"}), 1,
                        value);
}

}  // namespace vivorule
