// Shared by the tools: a text as a JSON string literal.
#ifndef TOOLS_COMMON_JSONSTRING_H
#define TOOLS_COMMON_JSONSTRING_H

#include <stdio.h>

#include <string>

// `s` as a JSON string literal, quotes included; control characters as \u00XX,
// other bytes unchanged.
inline std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += (char)c;
        } else if (c < 0x20) {
            char esc[8];
            snprintf(esc, sizeof(esc), "\\u%04x", c);
            out += esc;
        } else {
            out += (char)c;
        }
    }
    return out + "\"";
}

#endif  // TOOLS_COMMON_JSONSTRING_H
