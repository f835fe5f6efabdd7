// The library's line splitter over arbitrary camera bytes and output sizes:
// it must stay inside both buffers, always make progress, and hand back each
// line's bytes unchanged with only line ends and overflow bytes left out.
#include <string.h>

#include "camdet/rules/lines.h"
#include "fuzz/fuzzcheck.h"

using fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    // First byte: the output size, small ones often (where lines get split),
    // now and then none at all.
    const int outMax = data[0] < 200 ? data[0] % 24 : (data[0] - 200) * 64;
    std::vector<char> buf = fuzz::Exact(data + 1, size - 1);
    const unsigned int len = (unsigned int)buf.size();
    char* in = buf.empty() ? nullptr : buf.data();
    char* out = (char*)malloc(outMax > 0 ? (size_t)outMax : 1);
    Check(out != nullptr);

    unsigned int pos = 0;
    if (outMax < 1) {
        Check(ReadToLineEnd(in, len, pos, out, outMax) == 0);
        Check(pos == 0);
        free(out);
        return 0;
    }
    while (pos < len) {
        const unsigned int start = pos;
        const int n = ReadToLineEnd(in, len, pos, out, outMax);
        Check(n >= 0 && n <= outMax - 1);
        Check(out[n] == '\0');
        Check(pos > start && pos <= len);
        Check(memcmp(out, in + start, (size_t)n) == 0);
        for (int i = 0; i < n; ++i) Check(out[i] != '\n' && out[i] != '\r');
        // What was consumed but not copied: nothing (end of buffer), a line
        // end, or the one byte dropped when the output filled up.
        const unsigned int rest = pos - start - (unsigned int)n;
        Check(rest <= 2);
        if (rest == 0) Check(pos == len);
        if (rest == 2) Check(in[pos - 2] == '\r' && in[pos - 1] == '\n');
        if (rest == 1 && in[pos - 1] != '\n' && in[pos - 1] != '\r') Check(n == outMax - 1);
        // CR LF is one line end whenever the LF is in the buffer.
        if (rest >= 1 && in[pos - 1] == '\r') Check(pos == len || in[pos] != '\n');
    }
    free(out);
    return 0;
}
