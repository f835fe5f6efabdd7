// Shared by the tools: the current UTC time as the tools print it.
#ifndef TOOLS_COMMON_ISOTIME_H
#define TOOLS_COMMON_ISOTIME_H

#include <stdint.h>
#include <stdio.h>
#include <sys/time.h>
#include <time.h>

#include <string>

// "2026-12-05T21:00:00.123Z" of a wall-clock time in ms since the epoch.
inline std::string IsoTimeOfMs(int64_t ms) {
    const time_t sec = (time_t)(ms / 1000);
    struct tm tmv;
    gmtime_r(&sec, &tmv);
    char buf[64];
    size_t n = strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%S", &tmv);
    snprintf(buf + n, sizeof(buf) - n, ".%03dZ", (int)(ms % 1000));
    return buf;
}

// The current time, as above.
inline std::string NowIso() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    return IsoTimeOfMs((int64_t)tv.tv_sec * 1000 + tv.tv_usec / 1000);
}

#endif  // TOOLS_COMMON_ISOTIME_H
