#include "camdet/rules/lines.h"

// Stops at len, after a line end (LF, CR LF when the LF lies before len, or a
// lone CR; not copied), or when outMax - 1 bytes are copied and the next byte
// is not a line end: that byte is consumed and dropped.
int ReadToLineEnd(char* buf, unsigned int len, unsigned int& pos, char* out, int outMax) {
    int copied = 0;
    if (outMax < 1) return 0;
    while (pos < len) {
        char c = buf[pos];
        if (c == '\n') {
            ++pos;
            break;
        }
        if (c == '\r') {
            ++pos;
            if (pos < len && buf[pos] == '\n') ++pos;
            break;
        }
        ++pos;
        if (copied >= outMax - 1) break;  // the byte is dropped: the line is split here
        out[copied++] = c;
    }
    out[copied] = '\0';
    return copied;
}

