// The response-head parser and the body line splitter on hostile camera
// bytes: the head fed line by line, the rest through the line buffer; the
// first byte picks the line limit and the buffer size.
#include <string.h>

#include <algorithm>

#include "fuzz/fuzzcheck.h"
#include "host/net/httpparse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int outMax = 2 + data[0] % 64;
    const size_t capacity = 2 + (size_t)(data[0] >> 2) * 8;
    const char* p = reinterpret_cast<const char*>(data + 1);
    const size_t n = size - 1;

    // Head: fed line by line as libcurl hands it over.
    BrellinOwned::HttpResponseHead head;
    size_t pos = 0;
    while (pos < n) {
        const char* lf = static_cast<const char*>(memchr(p + pos, '\n', n - pos));
        const size_t len = lf ? (size_t)(lf - (p + pos)) + 1 : n - pos;
        head.AddLine(p + pos, len);
        pos += len;
        if (head.Complete()) break;
    }
    std::string v;
    head.FindHeader("Content-Type", v);
    head.FindHeader("Content-Length", v);
    head.OffersBasicOrDigest();
    if (head.HasStatus() && head.StatusLine().empty()) __builtin_trap();

    // Body: through the bounded line buffer in pieces whose sizes come from
    // the data, mixing line and raw reads.
    BrellinOwned::LineBuffer lb(capacity);
    std::vector<char> out(outMax);
    size_t off = pos;
    size_t step = 1;
    while (off < n) {
        const size_t piece = std::min(n - off, step);
        off += lb.Append(p + off, piece);
        step = off > 0 ? 1 + (unsigned char)p[off - 1] % 17 : 1;
        int len;
        while ((len = lb.TakeLine(out.data(), outMax, false, (step & 7) == 0)) >= 0) {
            if (len >= outMax || out[len] != '\0') __builtin_trap();
        }
        if ((step & 15) == 3) lb.Take(out.data(), (size_t)outMax);
        if (lb.Size() > capacity) __builtin_trap();
    }
    int len;
    while ((len = lb.TakeLine(out.data(), outMax, true)) >= 0) {
        if (len >= outMax) __builtin_trap();
    }
    if (lb.Size() != 0) __builtin_trap();  // the end takes everything
    return 0;
}
