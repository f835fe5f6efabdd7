// What the fuzz targets share: a broken invariant aborts, so that libFuzzer
// keeps the input that broke it.
#ifndef CAMDET_FUZZ_FUZZCHECK_H
#define CAMDET_FUZZ_FUZZCHECK_H

#include <stddef.h>
#include <stdint.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace fuzz {

inline void Check(bool cond) {
    if (!cond) abort();
}

// The bytes in a buffer of exactly their length, so that a read past the end shows.
template <typename T = char>
std::vector<T> Exact(const uint8_t* data, size_t size) {
    return std::vector<T>(data, data + size);
}

// The buffer's start, or null for an empty one (as a transport hands over no bytes).
template <typename T>
const T* Ptr(const std::vector<T>& v) {
    return v.empty() ? nullptr : v.data();
}

// Runs test(level) twice from the same level and checks that the answer
// depends on the input only.
template <typename F>
bool Twice(F test, int& level) {
    int again = level;
    const bool t = test(level);
    Check(t == test(again) && level == again);
    return t;
}

// Hands each piece of `text` between separators to f, the empty ones included.
template <typename F>
void ForEachPiece(const std::string& text, char sep, F f) {
    size_t p = 0;
    while (p <= text.size()) {
        size_t end = text.find(sep, p);
        if (end == std::string::npos) end = text.size();
        f(text.substr(p, end - p));
        p = end + 1;
    }
}

}  // namespace fuzz

#endif  // CAMDET_FUZZ_FUZZCHECK_H
