// Blocking TCP client with bounded waits: the descriptor stays non-blocking
// and every wait is a poll() against a deadline, so no call can hang on a
// silent camera longer than the time-out.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>

#include "dupfromox/oxdebuglog.h"
#include "host/net/httpparse.h"
#include "interface/hostservices.h"
#include "interface/clock.h"

namespace {

const char* const kSrc = "host/oxsocket";
const int kDefaultTimeoutSec = 10;
// Read-ahead for line reading; a longer line is cut at this size.
const size_t kLineBufBytes = 16 * 1024;

// Waits for events on fd until deadlineMs: 1 ready, 0 time-out, -1 error or
// the thread's wake-up (a stopped detector: errno ECANCELED).
int WaitFd(int fd, short events, int64_t deadlineMs) {
    const int rc = BrellinOwned::WaitFdOrWake(fd, events, deadlineMs);
    if (rc == -2) {
        errno = ECANCELED;
        return -1;
    }
    return rc;
}

// Non-blocking connect to one address, bounded by deadlineMs. The descriptor
// or -1 (errno set).
int ConnectOne(const struct addrinfo* ai, int64_t deadlineMs) {
    int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
    if (fd < 0) return -1;
    if (connect(fd, ai->ai_addr, ai->ai_addrlen) == 0) return fd;
    if (errno != EINPROGRESS && errno != EINTR) {
        const int e = errno;
        close(fd);
        errno = e;
        return -1;
    }
    const int w = WaitFd(fd, POLLOUT, deadlineMs);
    int err = 0;
    socklen_t len = sizeof(err);
    if (w == 1 && getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len) == 0 && err == 0) return fd;
    close(fd);
    errno = w == 0 ? ETIMEDOUT : (err != 0 ? err : EIO);
    return -1;
}

}  // namespace

namespace BrellinOwned {

OXSocket::OXSocket()
    : m_Port(0),
      m_TimeoutSec(kDefaultTimeoutSec),
      m_blKeepAlive(false),
      m_Fd(-1),
      m_PendingPos(0),
      m_blSkipRest(false),
      m_blPeerClosed(false),
      m_blFailLogged(false),
      m_KeepAliveIdle(0),
      m_KeepAliveInterval(0),
      m_KeepAliveCount(0) {}

OXSocket::OXSocket(std::string host, int port, int timeoutSec, bool blKeepAlive) : OXSocket() {
    SetSocketInfo(std::move(host), port, timeoutSec, blKeepAlive);
}

OXSocket::~OXSocket() { Disconnect(); }

void OXSocket::SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive) {
    m_Host = std::move(host);
    m_Port = port;
    // A time-out of 0 or less would make every read fail at once.
    m_TimeoutSec = timeoutSec > 0 ? timeoutSec : kDefaultTimeoutSec;
    m_blKeepAlive = blKeepAlive;
}

int OXSocket::Connect() {
    Disconnect();
    if (m_Host.empty() || m_Port <= 0 || m_Port > 65535) {
        if (!m_blFailLogged) {
            OXLOG(kSrc, "Invalid address %s:%d\n", m_Host.c_str(), m_Port);
            m_blFailLogged = true;
        }
        return -1;
    }
    std::string host = m_Host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    const std::string port = std::to_string(m_Port);
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    struct addrinfo* res = nullptr;
    const int gai = getaddrinfo(host.c_str(), port.c_str(), &hints, &res);
    if (gai != 0) {
        if (!m_blFailLogged) {
            OXLOG(kSrc, "Cannot resolve %s: %s\n", m_Host.c_str(), gai_strerror(gai));
            m_blFailLogged = true;
        }
        return -1;
    }
    // One deadline for all addresses: a host with a dead IPv6 and a live IPv4
    // address still answers within the time-out.
    const int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)m_TimeoutSec * 1000;
    int err = 0;
    for (const struct addrinfo* ai = res; ai != nullptr && m_Fd < 0 && err != ECANCELED; ai = ai->ai_next) {
        m_Fd = ConnectOne(ai, deadline);
        if (m_Fd < 0) err = errno;
    }
    freeaddrinfo(res);
    if (m_Fd < 0) {
        // A stopped detector is not a camera fault.
        if (!m_blFailLogged && err != ECANCELED) {
            OXLOG(kSrc, "Failed to connect to %s:%d: %s\n", m_Host.c_str(), m_Port, strerror(err));
            m_blFailLogged = true;
        }
        return -1;
    }
    m_blFailLogged = false;
    const int one = 1;
    setsockopt(m_Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (m_blKeepAlive || m_KeepAliveIdle > 0) ApplyKeepAlive();
    return 0;
}

int OXSocket::ApplyKeepAlive() {
    if (m_Fd < 0) return 0;
    const int on = (m_blKeepAlive || m_KeepAliveIdle > 0) ? 1 : 0;
    if (setsockopt(m_Fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof(on)) != 0) return -1;
    if (!on || m_KeepAliveIdle <= 0) return 0;
    if (setsockopt(m_Fd, IPPROTO_TCP, TCP_KEEPIDLE, &m_KeepAliveIdle, sizeof(int)) != 0 ||
        setsockopt(m_Fd, IPPROTO_TCP, TCP_KEEPINTVL, &m_KeepAliveInterval, sizeof(int)) != 0 ||
        setsockopt(m_Fd, IPPROTO_TCP, TCP_KEEPCNT, &m_KeepAliveCount, sizeof(int)) != 0)
        return -1;
    return 0;
}

int OXSocket::SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count) {
    if (on) {
        // Out of the kernel's ranges (TCP_KEEPIDLE/INTVL up to 32767 s, at most 127 probes).
        if (idleSec <= 0 || idleSec > 32767 || intervalSec <= 0 || intervalSec > 32767 || count <= 0 ||
            count > 127)
            return -1;
        m_blKeepAlive = true;
        m_KeepAliveIdle = idleSec;
        m_KeepAliveInterval = intervalSec;
        m_KeepAliveCount = count;
    } else {
        m_blKeepAlive = false;
        m_KeepAliveIdle = m_KeepAliveInterval = m_KeepAliveCount = 0;
    }
    return ApplyKeepAlive();
}

void OXSocket::Disconnect() {
    if (m_Fd >= 0) {
        close(m_Fd);
        m_Fd = -1;
    }
    m_Pending.clear();
    m_PendingPos = 0;
    m_blSkipRest = false;
    m_blPeerClosed = false;
}

int OXSocket::WriteData(char* buf, int len) {
    if (m_Fd < 0 || buf == nullptr || len < 0) return -1;
    const int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)m_TimeoutSec * 1000;
    int done = 0;
    while (done < len) {
        const ssize_t n = send(m_Fd, buf + done, (size_t)(len - done), MSG_NOSIGNAL);
        if (n > 0) {
            done += (int)n;
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            if (WaitFd(m_Fd, POLLOUT, deadline) == 1) continue;
        }
        return -1;
    }
    return len;
}

int OXSocket::FillBuffer(int64_t deadlineMs) {
    if (m_Fd < 0) return -1;
    // Keep the unread bytes at the front so the room at the tail is contiguous.
    if (m_PendingPos > 0) {
        m_Pending.erase(m_Pending.begin(), m_Pending.begin() + (ptrdiff_t)m_PendingPos);
        m_PendingPos = 0;
    }
    const size_t used = m_Pending.size();
    if (used >= kLineBufBytes) return -1;
    for (;;) {
        const int w = WaitFd(m_Fd, POLLIN, deadlineMs);
        if (w == 0) return -2;
        if (w < 0) return -1;
        m_Pending.resize(kLineBufBytes);
        const ssize_t n = recv(m_Fd, m_Pending.data() + used, kLineBufBytes - used, 0);
        m_Pending.resize(used + (n > 0 ? (size_t)n : 0));
        if (n > 0) return (int)n;
        if (n == 0) return 0;
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    }
}

int OXSocket::ReadData(char* buf, int max) {
    if (buf == nullptr || max <= 0) return -1;
    // Bytes left over from line reading come first.
    if (m_PendingPos < m_Pending.size()) {
        const size_t k = std::min((size_t)max, m_Pending.size() - m_PendingPos);
        memcpy(buf, m_Pending.data() + m_PendingPos, k);
        m_PendingPos += k;
        if (m_PendingPos == m_Pending.size()) {
            m_Pending.clear();
            m_PendingPos = 0;
        }
        m_blSkipRest = false;
        return (int)k;
    }
    if (m_blPeerClosed) return 0;
    if (m_Fd < 0) {
        errno = ENOTCONN;
        return -1;
    }
    const int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)m_TimeoutSec * 1000;
    for (;;) {
        const int w = WaitFd(m_Fd, POLLIN, deadline);
        if (w == 0) {
            errno = EAGAIN;  // nothing came: callers tell this from a broken connection
            return -2;
        }
        if (w < 0) return -1;
        const ssize_t n = recv(m_Fd, buf, (size_t)max, 0);
        if (n >= 0) {
            if (n == 0) m_blPeerClosed = true;
            return (int)n;
        }
        if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return -1;
    }
}

int OXSocket::ReadToLineEnd(char* buf, int max) {
    if (buf == nullptr || max < 2) return -1;
    // buf is written only when a line is there: after a time-out or a close
    // the caller still holds its last line (the stream loops evaluate it again).
    const int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)m_TimeoutSec * 1000;
    for (;;) {
        const size_t avail = m_Pending.size() - m_PendingPos;
        const LineTake t = TakeLine(m_Pending.data() + m_PendingPos, avail, m_blSkipRest, buf, max,
                                    avail >= kLineBufBytes, m_blPeerClosed);
        m_PendingPos += t.consumed;
        if (m_PendingPos == m_Pending.size()) {
            m_Pending.clear();
            m_PendingPos = 0;
        }
        if (t.length >= 0) return t.length;
        if (m_blPeerClosed) return -1;
        // A time-out keeps a partial line buffered for the next call.
        const int n = FillBuffer(deadline);
        if (n == 0) m_blPeerClosed = true;
        if (n < 0) return n;
    }
}

}  // namespace BrellinOwned
