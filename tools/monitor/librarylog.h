// Where the library's log lines go in the monitor, and how the status board
// hears of them: a file (--log FILE, the default file without it), followed
// for the board; or stderr (--log -, for the journal), handed to the board as
// they are written.
//
// On stderr the log writer puts every entry into a bounded queue that one
// thread of its own writes out, so a reader of stderr that is slow or gone
// (the journal under load, a pipe nobody reads) never holds up a detector:
// past the bound entries are dropped, and one line says how many once the
// writing goes on.
#ifndef TOOLS_MONITOR_LIBRARYLOG_H
#define TOOLS_MONITOR_LIBRARYLOG_H

#include <stdio.h>
#include <sys/types.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

class StatusBoard;

// "-": the library's entries go to stderr; anything else is a file path.
void UseLibraryLog(const std::string& target);
// The stderr queue on another descriptor (tests); at most once per process.
void LogLibraryToFd(int fd);
// Also hands every entry that goes to stderr to `fn` (on the logging thread,
// before it is queued); null stops it. Returns once no call of the previous
// one is running.
void SetLibraryLogObserver(std::function<void(const std::string&)> fn);
// Waits up to `ms` for the queued entries to be written (before the program
// ends); true when they were.
bool FlushLibraryLog(int ms);

// Gives the board the library's lines, and its once-a-second tick: from the
// log file at `path` (read from its end; a rotated or new file from its start),
// or, with an empty path, from the stderr queue.
class LogWatch {
public:
    LogWatch(const std::string& path, StatusBoard& board);
    ~LogWatch();
    LogWatch(const LogWatch&) = delete;
    LogWatch& operator=(const LogWatch&) = delete;

private:
    void Open(bool atEnd);
    void Run();

    std::string m_Path;
    StatusBoard& m_Board;
    FILE* m_File = nullptr;
    ino_t m_Ino = 0;
    std::string m_Pending;
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    bool m_Stop = false;
    std::thread m_Thread;  // last
};

#endif  // TOOLS_MONITOR_LIBRARYLOG_H
