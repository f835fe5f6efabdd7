// The library's line splitter over a byte buffer, used by the line-oriented
// camera parsers. Pure: no threads, no recorder services.
#ifndef CAMDET_RULES_LINES_H
#define CAMDET_RULES_LINES_H

// Copies one line from buf[pos] into out (NUL-terminated) and advances pos
// past it; see lines.cpp for the exact rules. Returns the bytes copied.
int ReadToLineEnd(char* buf, unsigned int len, unsigned int& pos, char* out, int outMax);

#endif  // CAMDET_RULES_LINES_H
