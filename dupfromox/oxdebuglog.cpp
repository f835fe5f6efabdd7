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

#include <mutex>

#include "interface/hostservices.h"

namespace {
const char* const kSrc = "dupfromox/oxdebuglog";

std::mutex g_PathMutex;
std::string g_LogPath = OX_LOG_PATH;

// Used only while the file lock is held: every call opens the file anew, and
// flocks on separate opens conflict within one process as well as across.
char g_TimeBuf[128];

std::string CurrentPath() {
    std::lock_guard<std::mutex> g(g_PathMutex);
    return g_LogPath;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

void ArchiveLogs(const std::string& logPath) {
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
}  // namespace

namespace BrellinOwned {

void OXSetLogPath(const std::string& path) {
    std::lock_guard<std::mutex> g(g_PathMutex);
    g_LogPath = path.empty() ? std::string(OX_LOG_PATH) : path;
}

std::string OXGetLogPath() { return CurrentPath(); }

void OXArchiveLogs() { ArchiveLogs(CurrentPath()); }

void OXPrintf(const char* format, ...) {
    const std::string path = CurrentPath();
    FILE* fp = fopen(path.c_str(), "a");
    if (!fp) {
        syslog(LOG_ERR, "%s:%d:%s(): Open oxlog file failed.", kSrc, __LINE__, "OXPrintf");
        return;
    }
    int lockFd = dup(fileno(fp));
    if (lockFd < 0) {
        syslog(LOG_ERR, "%s:%d:%s(): Get oxlog file descriptor failed.", kSrc, __LINE__, "OXPrintf");
        fclose(fp);
        return;
    }
    fcntl(lockFd, F_SETFD, FD_CLOEXEC);
    if (flock(lockFd, LOCK_EX) != 0) {
        fclose(fp);
        close(lockFd);
        return;
    }
    {
        memset(g_TimeBuf, 0, sizeof(g_TimeBuf));
        time_t now = time(nullptr);
        struct tm tmv;
        if (localtime_r(&now, &tmv)) strftime(g_TimeBuf, sizeof(g_TimeBuf), "%b %e %T", &tmv);
        fputs(g_TimeBuf, fp);
        fputc(' ', fp);
        va_list ap;
        va_start(ap, format);
        vfprintf(fp, format, ap);
        va_end(ap);
        fflush(fp);
        fclose(fp);
        struct stat st;
        if (stat(path.c_str(), &st) == 0 && st.st_size > OX_LOG_ROTATE_SIZE) ArchiveLogs(path);
    }
    flock(lockFd, LOCK_UN);
    close(lockFd);
}

}  // namespace BrellinOwned
