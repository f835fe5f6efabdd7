// Shared by the tools: the current UTC time as the tools print it.
#ifndef TOOLS_COMMON_ISOTIME_H
#define TOOLS_COMMON_ISOTIME_H

#include <stdio.h>
#include <sys/time.h>
#include <time.h>

#include <string>

// "2026-12-05T21:00:00.123Z"
inline std::string NowIso() {
    struct timeval tv;
    gettimeofday(&tv, nullptr);
    struct tm tmv;
    gmtime_r(&tv.tv_sec, &tmv);
    char buf[64];
    size_t n = strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%S", &tmv);
    snprintf(buf + n, sizeof(buf) - n, ".%03dZ", (int)(tv.tv_usec / 1000));
    return buf;
}

#endif  // TOOLS_COMMON_ISOTIME_H
