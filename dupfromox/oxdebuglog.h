// The shared log writer: one time-stamped entry per call, serialised across
// threads and processes by an exclusive flock, rotated into ten gzip archives.
#ifndef DUPFROMOX_OXDEBUGLOG_H
#define DUPFROMOX_OXDEBUGLOG_H

#include <stddef.h>

#include <string>

#define OX_LOG_PATH "/var/log/korvane.log"
#define OX_LOG_ROTATE_SIZE 204800

namespace BrellinOwned {

// printf-style; never reports failure. The caller ends its text with "\n".
void OXPrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Rotation step; called by OXPrintf with the lock held.
void OXArchiveLogs();
// Points the writer at another file (tests, the monitor's --log). An empty
// path restores the default. Takes effect for the next entry.
void OXSetLogPath(const std::string& path);
std::string OXGetLogPath();
// Hands every entry (time stamp, text) to `sink` instead of writing the file;
// null restores the file. The sink is called on the logging thread, with no
// lock held, and must not block; `entry` ends with a line end.
typedef void (*OXLogSink)(const char* entry, size_t len);
void OXSetLogSink(OXLogSink sink);

}  // namespace BrellinOwned

// Library log lines: "unit:line:function(): text".
#define OXLOG(src, fmt, ...) BrellinOwned::OXPrintf("%s:%d:%s(): " fmt, src, __LINE__, __func__, ##__VA_ARGS__)

#endif  // DUPFROMOX_OXDEBUGLOG_H
