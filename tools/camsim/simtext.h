// Small text and time helpers shared by the simulator's servers.
#ifndef TOOLS_CAMSIM_SIMTEXT_H
#define TOOLS_CAMSIM_SIMTEXT_H

#include <stdint.h>

#include <chrono>
#include <string>

namespace camsim {

inline int64_t NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
}

inline std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

}  // namespace camsim

#endif  // TOOLS_CAMSIM_SIMTEXT_H
