// Where the library's log lines go in the monitor: a file (--log FILE, the
// default file without it), or stderr (--log -, for the journal).
//
// Anything that is not a regular file (stderr, --log /dev/stderr, a pipe, a
// socket, a terminal) is written by one thread of its own from a bounded
// queue, so a reader that is slow or gone (the journal under load, a pipe
// nobody reads) never holds up a detector, the camera health or shutdown:
// past the bound entries are dropped, and one line says how many once the
// writing goes on. The monitor's own lines from running threads go through
// the same queue on stderr (SayOnStderr).
#ifndef TOOLS_MONITOR_LIBRARYLOG_H
#define TOOLS_MONITOR_LIBRARYLOG_H

#include <string>

// "-": the library's entries go to stderr; anything else is a path. A path
// that cannot be written is said once on stderr (and the entries are lost).
void UseLibraryLog(const std::string& target);
// Without --log: says once on stderr when the default file cannot be written.
void CheckDefaultLibraryLog();
// The library's entries through the queue onto this descriptor (tests); at
// most once per process.
void LogLibraryToFd(int fd);
// One line (without its line end) on stderr that never blocks the caller.
void SayOnStderr(const std::string& line);
// Waits up to `ms` for the queued entries to be written (before the program
// ends); true when they were.
bool FlushLibraryLog(int ms);

#endif  // TOOLS_MONITOR_LIBRARYLOG_H
