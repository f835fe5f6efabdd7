#include "tools/monitor/librarylog.h"

#include <errno.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>

#include "dupfromox/oxdebuglog.h"
#include "tools/monitor/statusboard.h"

namespace {

// About a minute of a whole fleet failing at once; more waits in no queue.
const size_t kMaxQueuedBytes = 1 << 20;

struct StderrQueue {
    int fd = 2;
    std::mutex mutex;
    std::condition_variable wake, drained;
    std::deque<std::string> entries;
    size_t bytes = 0;
    unsigned long long dropped = 0;
    bool writing = false;
    std::mutex observerMutex;
    std::function<void(const std::string&)> observer;
};

// Made once and never freed: the writer may still be blocked in write() when
// the program ends, and the log writer may call the sink until then.
StderrQueue* g_Queue = nullptr;
std::once_flag g_Once;

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

void Writer(StderrQueue* q) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);  // a reader that went away is EPIPE, not the end
    std::unique_lock<std::mutex> lk(q->mutex);
    for (;;) {
        q->wake.wait(lk, [&] { return !q->entries.empty() || q->dropped; });
        std::string batch;
        for (const std::string& e : q->entries) batch += e;
        q->entries.clear();
        q->bytes = 0;
        if (q->dropped) {
            batch += "camdet-monitor: " + std::to_string(q->dropped) +
                     " library log lines dropped: stderr was not read fast enough\n";
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

void Sink(const char* entry, size_t len) {
    StderrQueue* q = g_Queue;
    {
        std::lock_guard<std::mutex> g(q->observerMutex);
        if (q->observer) q->observer(std::string(entry, len));
    }
    std::lock_guard<std::mutex> g(q->mutex);
    if (q->bytes + len > kMaxQueuedBytes) {
        q->dropped++;
        return;
    }
    q->entries.emplace_back(entry, len);
    q->bytes += len;
    q->wake.notify_one();
}

}  // namespace

void LogLibraryToFd(int fd) {
    std::call_once(g_Once, [fd] {
        g_Queue = new StderrQueue();
        g_Queue->fd = fd;
        std::thread(Writer, g_Queue).detach();
        BrellinOwned::OXSetLogSink(&Sink);
    });
}

void UseLibraryLog(const std::string& target) {
    if (target == "-") {
        LogLibraryToFd(2);
    } else {
        BrellinOwned::OXSetLogPath(target);
    }
}

void SetLibraryLogObserver(std::function<void(const std::string&)> fn) {
    if (!g_Queue) return;
    std::lock_guard<std::mutex> g(g_Queue->observerMutex);
    g_Queue->observer = std::move(fn);
}

bool FlushLibraryLog(int ms) {
    if (!g_Queue) return true;
    std::unique_lock<std::mutex> lk(g_Queue->mutex);
    return g_Queue->drained.wait_for(lk, std::chrono::milliseconds(ms), [] {
        return g_Queue->entries.empty() && !g_Queue->dropped && !g_Queue->writing;
    });
}

LogWatch::LogWatch(const std::string& path, StatusBoard& board) : m_Path(path), m_Board(board) {
    m_Thread = std::thread([this] { Run(); });
}

LogWatch::~LogWatch() {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Stop = true;
    }
    m_Cond.notify_all();
    m_Thread.join();
    if (m_File) fclose(m_File);
}

void LogWatch::Open(bool atEnd) {
    if (m_File) fclose(m_File);
    m_File = fopen(m_Path.c_str(), "rb");
    m_Pending.clear();
    m_Ino = 0;
    if (!m_File) return;
    struct stat st;
    if (fstat(fileno(m_File), &st) == 0) m_Ino = st.st_ino;
    if (atEnd) fseek(m_File, 0, SEEK_END);
}

void LogWatch::Run() {
    const bool follow = !m_Path.empty();
    if (follow) Open(true);
    int ticks = 0;
    std::unique_lock<std::mutex> lk(m_Mutex);
    while (!m_Stop) {
        m_Cond.wait_for(lk, std::chrono::milliseconds(250));
        if (m_Stop) break;
        lk.unlock();
        // A rotated or new file is read from its start.
        struct stat st;
        if (follow && stat(m_Path.c_str(), &st) == 0 &&
            (!m_File || st.st_ino != m_Ino || st.st_size < ftell(m_File)))
            Open(false);
        if (m_File) {
            char buf[8192];
            size_t n;
            while ((n = fread(buf, 1, sizeof(buf), m_File)) > 0) {
                m_Pending.append(buf, n);
                size_t nl;
                while ((nl = m_Pending.find('\n')) != std::string::npos) {
                    m_Board.LogLine(m_Pending.substr(0, nl));
                    m_Pending.erase(0, nl + 1);
                }
                if (m_Pending.size() > 64 * 1024) m_Pending.clear();  // no line is that long
            }
            clearerr(m_File);
        }
        if (++ticks % 4 == 0) m_Board.Tick();
        lk.lock();
    }
}
