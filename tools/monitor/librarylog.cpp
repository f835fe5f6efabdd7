#include "tools/monitor/librarylog.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "dupfromox/oxdebuglog.h"

namespace {

// About a minute of a whole fleet failing at once; more waits in no queue.
const size_t kMaxQueuedBytes = 1 << 20;

// Entries written to one descriptor by a thread of its own.
struct LineQueue {
    explicit LineQueue(int f) : fd(f) {}
    int fd;
    std::mutex mutex;
    std::condition_variable wake, drained;
    std::deque<std::string> entries;
    size_t bytes = 0;
    unsigned long long dropped = 0;
    bool writing = false;

    void Put(const char* entry, size_t len) {
        std::lock_guard<std::mutex> g(mutex);
        if (bytes + len > kMaxQueuedBytes) {
            dropped++;
            return;
        }
        entries.emplace_back(entry, len);
        bytes += len;
        wake.notify_one();
    }
    bool Flush(int ms) {
        std::unique_lock<std::mutex> lk(mutex);
        return drained.wait_for(lk, std::chrono::milliseconds(ms),
                                [&] { return entries.empty() && !dropped && !writing; });
    }
};

// Made once and never freed: a writer may still be blocked in write() when
// the program ends, and the log writer may call the sink until then.
LineQueue* g_Stderr = nullptr;   // fd 2
LineQueue* g_LibLog = nullptr;   // the library's entries (g_Stderr when they go to stderr)
std::mutex g_QueuesMutex;

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && errno != EINTR) {
            return;  // closed or broken: what is left is lost, like a dropped entry
        }
    }
}

void Writer(LineQueue* q) {
    std::unique_lock<std::mutex> lk(q->mutex);
    for (;;) {
        q->wake.wait(lk, [&] { return !q->entries.empty() || q->dropped; });
        std::string batch;
        for (const std::string& e : q->entries) batch += e;
        q->entries.clear();
        q->bytes = 0;
        if (q->dropped) {
            batch += "camdet-monitor: " + std::to_string(q->dropped) +
                     " log lines dropped: their reader did not keep up\n";
            q->dropped = 0;
        }
        q->writing = true;
        lk.unlock();
        WriteAll(q->fd, batch);
        lk.lock();
        q->writing = false;
        q->drained.notify_all();
    }
}

LineQueue* StartQueue(int fd) {
    LineQueue* q = new LineQueue(fd);
    // The writer takes no signal: the end signals belong to the main thread
    // (the queue may start before they are blocked there), and a reader that
    // went away is EPIPE, not the end.
    sigset_t all, old;
    sigfillset(&all);
    pthread_sigmask(SIG_SETMASK, &all, &old);
    std::thread(Writer, q).detach();
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    return q;
}

LineQueue* StderrQueue() {
    std::lock_guard<std::mutex> g(g_QueuesMutex);
    if (!g_Stderr) g_Stderr = StartQueue(2);
    return g_Stderr;
}

void Sink(const char* entry, size_t len) { g_LibLog->Put(entry, len); }

bool SameFile(int fd, const struct stat& st) {
    struct stat other;
    return fstat(fd, &other) == 0 && other.st_dev == st.st_dev && other.st_ino == st.st_ino;
}

// Says once that the library's lines cannot be written where they should go.
void CheckWritable(const std::string& path, const char* hint) {
    const int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0644);
    if (fd >= 0) {
        close(fd);
        return;
    }
    SayOnStderr("camdet-monitor: cannot write the library log '" + path + "': " + strerror(errno) +
                "; its lines are lost" + hint);
}

}  // namespace

void LogLibraryToFd(int fd) {
    std::lock_guard<std::mutex> g(g_QueuesMutex);
    if (g_LibLog) return;
    if (fd == 2 && !g_Stderr) g_Stderr = StartQueue(2);
    g_LibLog = fd == 2 ? g_Stderr : StartQueue(fd);
    BrellinOwned::OXSetLogSink(&Sink);
}

void SayOnStderr(const std::string& line) {
    const std::string text = line + "\n";
    StderrQueue()->Put(text.data(), text.size());
}

void UseLibraryLog(const std::string& target) {
    if (target == "-") {
        LogLibraryToFd(2);
        return;
    }
    // Anything but a regular file may block its writer (a pipe nobody reads,
    // /dev/stderr on one, a socket): it gets the queue and its thread.
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (SameFile(2, st)) {
            LogLibraryToFd(2);
            return;
        }
        int fd = open(target.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0) {
            fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);  // the writer thread may wait
        } else {
            // Never handed to the library's writer: opening a pipe without a
            // reader would hold up every detector that logs.
            SayOnStderr("camdet-monitor: cannot write the library log '" + target + "': " + strerror(errno) +
                        "; its lines are lost");
            fd = open("/dev/null", O_WRONLY | O_CLOEXEC);
        }
        LogLibraryToFd(fd);
        return;
    }
    BrellinOwned::OXSetLogPath(target);
    CheckWritable(target, "");
}

void CheckDefaultLibraryLog() {
    CheckWritable(BrellinOwned::OXGetLogPath(), " (--log FILE or --log - for stderr)");
}

bool FlushLibraryLog(int ms) {
    LineQueue *lib, *err;
    {
        std::lock_guard<std::mutex> g(g_QueuesMutex);
        lib = g_LibLog;
        err = g_Stderr;
    }
    bool ok = true;
    if (lib) ok = lib->Flush(ms) && ok;
    if (err && err != lib) ok = err->Flush(ms) && ok;
    return ok;
}
