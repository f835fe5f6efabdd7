#include "camdet/rules/avtechrules.h"

#include <string.h>

namespace {

// word at some position 0 .. len - reach (reach: how far from its start the
// extension must go on).
bool WordWithin(const char* buf, unsigned int len, const char* word, unsigned int reach) {
    const size_t n = strlen(word);
    if (!buf || len < reach) return false;
    for (unsigned int i = 0; i <= len - reach; ++i) {
        if (memcmp(buf + i, word, n) == 0) return true;
    }
    return false;
}

bool Report(bool hit, int& value) {
    value = hit ? 100 : 0;
    return hit;
}

}  // namespace

namespace avtechrule {

bool Motion(const char* buf, unsigned int len, int& value) { return Report(WordWithin(buf, len, "MOTION", 23), value); }

bool Input(int, const char* buf, unsigned int len, int& value) {
    return Report(WordWithin(buf, len, "ALARM", 22), value);
}

}  // namespace avtechrule
