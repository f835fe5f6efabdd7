#include "dupfromox/oxdebuglog.h"

#include <fcntl.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <syslog.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <mutex>

#include "interface/hostservices.h"

namespace {
const char* const kSrc = "dupfromox/oxdebuglog";

std::mutex g_PathMutex;
std::string g_LogPath = OX_LOG_PATH;
std::atomic<BrellinOwned::OXLogSink> g_Sink{nullptr};

std::string CurrentPath() {
    std::lock_guard<std::mutex> g(g_PathMutex);
    return g_LogPath;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void ShiftAndCompress(const std::string& logPath) {
    char name[512];
    char next[512];
    for (int i = 9; i >= 0; --i) {
        snprintf(name, sizeof(name), "%s.%d.gz", logPath.c_str(), i);
        if (!FileExists(name)) continue;
        if (i == 9) {
            if (remove(name) != 0) {
                syslog(LOG_ERR, "%s:%d:%s(): Failed to remove the oldest log %s", kSrc, __LINE__, "OXArchiveLogs",
                       name);
                return;
            }
            continue;
        }
        snprintf(next, sizeof(next), "%s.%d.gz", logPath.c_str(), i + 1);
        if (rename(name, next) != 0) {
            syslog(LOG_ERR, "%s:%d:%s(): Failed to rename korvane log %s", kSrc, __LINE__, "OXArchiveLogs", name);
            return;
        }
    }
    snprintf(name, sizeof(name), "%s.%d", logPath.c_str(), 0);
    if (rename(logPath.c_str(), name) != 0) {
        syslog(LOG_ERR, "%s:%d:%s(): Failed to rename korvane log %s", kSrc, __LINE__, "OXArchiveLogs",
               logPath.c_str());
        return;
    }
    // gzip refuses to overwrite: a stale archive 0 can only exist when the
    // shift above failed half-way, which returned already.
    const char* argv[] = {"/bin/gzip", name, nullptr};
    if (QLIBCExec("/bin/gzip", argv) != 0) {
        syslog(LOG_ERR, "%s:%d:%s(): Failed to archive korvane log %s", kSrc, __LINE__, "OXArchiveLogs", name);
    }
}

// The file lock no longer covers the path once the log is renamed away: a new
// file appears there, and its writers lock that one. Should it outgrow the
// threshold before gzip is done, a second rotation would overwrite "%s.0" and
// lose it. A lock on the log's directory, a stable object, keeps rotations
// one at a time across threads and processes; without it (directory not
// readable) rotation goes on unguarded.
void ArchiveLogs(const std::string& logPath) {
    const size_t slash = logPath.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : logPath.substr(0, slash);
    int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0 && flock(dirFd, LOCK_EX) != 0) {
        close(dirFd);
        dirFd = -1;
    }
    ShiftAndCompress(logPath);
    if (dirFd >= 0) {
        flock(dirFd, LOCK_UN);
        close(dirFd);
    }
}
}  // namespace

namespace BrellinOwned {

void OXSetLogPath(const std::string& path) {
    std::lock_guard<std::mutex> g(g_PathMutex);
    g_LogPath = path.empty() ? std::string(OX_LOG_PATH) : path;
}

std::string OXGetLogPath() { return CurrentPath(); }

void OXArchiveLogs() { ArchiveLogs(CurrentPath()); }

void OXSetLogSink(OXLogSink sink) { g_Sink.store(sink); }

void OXPrintf(const char* format, ...) {
    if (OXLogSink sink = g_Sink.load()) {
        char entry[4096];
        time_t now = time(nullptr);
        struct tm tmv;
        size_t n = 0;
        if (localtime_r(&now, &tmv)) n = strftime(entry, sizeof(entry), "%b %e %T ", &tmv);
        va_list ap;
        va_start(ap, format);
        int w = vsnprintf(entry + n, sizeof(entry) - n, format, ap);
        va_end(ap);
        n = w < 0 ? n : std::min(sizeof(entry) - 1, n + (size_t)w);
        if (n == 0 || entry[n - 1] != '\n') {  // cut short, or a caller without its line end
            if (n == sizeof(entry) - 1) --n;
            entry[n++] = '\n';
        }
        sink(entry, n);
        return;
    }
    const std::string path = CurrentPath();
    // A writer that waited on the lock may find that the file it opened was
    // rotated away meanwhile: its entry would land in an unlinked file, and
    // its size check would rotate a file another writer holds. Such a writer
    // starts over on the file now at the path. Each rotation needs 200 KiB
    // of new entries, so a few attempts are plenty; past them the entry is
    // dropped like any entry that cannot be written.
    for (int attempt = 0; attempt < 8; ++attempt) {
        // "e": helpers started by the host (gzip among them) must not inherit
        // the log descriptor and with it our lock.
        FILE* fp = fopen(path.c_str(), "ae");
        if (!fp) {
            syslog(LOG_ERR, "%s:%d:%s(): Open oxlog file failed.", kSrc, __LINE__, "OXPrintf");
            return;
        }
        int lockFd = fcntl(fileno(fp), F_DUPFD_CLOEXEC, 0);
        if (lockFd < 0) {
            syslog(LOG_ERR, "%s:%d:%s(): Get oxlog file descriptor failed.", kSrc, __LINE__, "OXPrintf");
            fclose(fp);
            return;
        }
        if (flock(lockFd, LOCK_EX) != 0) {
            fclose(fp);
            close(lockFd);
            return;
        }
        struct stat held;
        struct stat current;
        if (fstat(lockFd, &held) != 0 || stat(path.c_str(), &current) != 0 || held.st_dev != current.st_dev ||
            held.st_ino != current.st_ino) {
            flock(lockFd, LOCK_UN);
            fclose(fp);
            close(lockFd);
            continue;
        }
        // On the stack: the file lock orders writers, but a race detector
        // cannot see a flock, and a shared buffer would gain nothing.
        char timeBuf[128] = {0};
        time_t now = time(nullptr);
        struct tm tmv;
        if (localtime_r(&now, &tmv)) strftime(timeBuf, sizeof(timeBuf), "%b %e %T", &tmv);
        fputs(timeBuf, fp);
        fputc(' ', fp);
        va_list ap;
        va_start(ap, format);
        vfprintf(fp, format, ap);
        va_end(ap);
        fflush(fp);
        fclose(fp);
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && st.st_size > OX_LOG_ROTATE_SIZE) ArchiveLogs(path);
        flock(lockFd, LOCK_UN);
        close(lockFd);
        return;
    }
}

}  // namespace BrellinOwned
