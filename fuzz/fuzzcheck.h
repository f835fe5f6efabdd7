// What the fuzz targets share: a broken invariant aborts, so that libFuzzer
// keeps the input that broke it.
#ifndef CAMDET_FUZZ_FUZZCHECK_H
#define CAMDET_FUZZ_FUZZCHECK_H

#include <stdlib.h>

#include <string>

namespace fuzz {

inline void Check(bool cond) {
    if (!cond) abort();
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
