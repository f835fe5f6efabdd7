// The HTTP engine (see curlengine.h): socket events from epoll handed to
// curl_multi_socket_action, jobs from the clients run in between.
#include "host/net/curlengine.h"

#include <errno.h>
#include <string.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>

#include "dupfromox/oxdebuglog.h"
#include "interface/clock.h"

namespace BrellinOwned {

namespace {

const char* const kSrc = "host/oxhttpclient";

}  // namespace

CurlEngine& CurlEngine::Get() {
    static CurlEngine* engine = new CurlEngine();
    return *engine;
}

void CurlEngine::Run(Job job) {
    std::unique_lock<std::mutex> g(m_Mutex);
    const uint64_t ticket = ++m_Posted;
    m_Jobs.push_back(std::move(job));
    Wake();
    m_Cond.wait(g, [&] { return m_Done >= ticket; });
}

void CurlEngine::Post(Job job) {
    std::lock_guard<std::mutex> g(m_Mutex);
    ++m_Posted;
    m_Jobs.push_back(std::move(job));
    Wake();
}

// Driven by socket events (curl_multi_socket_action), not by
// curl_multi_perform: perform walks every transfer on each wake-up, and a
// fleet keeps hundreds of event streams open, so each poll of one camera
// would cost a pass over all of them.
CurlEngine::CurlEngine() {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    m_Epoll = epoll_create1(EPOLL_CLOEXEC);
    m_WakeFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    epoll_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.events = EPOLLIN;
    ev.data.fd = m_WakeFd;
    if (m_Epoll < 0 || m_WakeFd < 0 || epoll_ctl(m_Epoll, EPOLL_CTL_ADD, m_WakeFd, &ev) != 0) {
        OXLOG(kSrc, "cannot set up the HTTP engine's event loop: %s\n", strerror(errno));
        return;
    }
    CURLM* multi = curl_multi_init();
    if (!multi) return;
    curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, &CurlEngine::OnSocket);
    curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
    curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, &CurlEngine::OnTimer);
    curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
    m_Multi = multi;
    m_Thread = std::thread([this] { Loop(); });
}

void CurlEngine::Wake() {
    const uint64_t one = 1;
    if (write(m_WakeFd, &one, sizeof(one)) < 0) {}  // already pending when the counter is full
}

// libcurl tells which events of a socket it waits for. A socket is armed for
// one event at a time and armed again once libcurl has handled it, so a
// removal needs no call on the descriptor: libcurl closes a socket whose
// connect it abandons before it reports the removal, and by then the number
// may belong to another thread. A removed socket that stays open fires at
// most once more, and is not armed again.
int CurlEngine::OnSocket(CURL*, curl_socket_t fd, int what, void* self, void*) {
    CurlEngine* engine = static_cast<CurlEngine*>(self);
    std::lock_guard<std::mutex> g(engine->m_WatchMutex);
    if (what == CURL_POLL_REMOVE) {
        engine->m_Watch.erase(fd);
        return 0;
    }
    uint32_t events = 0;
    if (what & CURL_POLL_IN) events |= EPOLLIN;
    if (what & CURL_POLL_OUT) events |= EPOLLOUT;
    engine->m_Watch[fd] = events;
    engine->Arm(fd, events);
    return 0;
}

void CurlEngine::Arm(int fd, uint32_t events) {
    epoll_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.events = events | EPOLLONESHOT;
    ev.data.fd = fd;
    // A descriptor closed and reused is no longer registered: add it again.
    if (epoll_ctl(m_Epoll, EPOLL_CTL_MOD, fd, &ev) != 0 && errno == ENOENT) epoll_ctl(m_Epoll, EPOLL_CTL_ADD, fd, &ev);
}

void CurlEngine::Rearm(int fd) {
    std::lock_guard<std::mutex> g(m_WatchMutex);
    std::map<int, uint32_t>::const_iterator it = m_Watch.find(fd);
    if (it != m_Watch.end()) Arm(fd, it->second);
}

// libcurl's single timer: when it wants to be called with CURL_SOCKET_TIMEOUT (-1: never).
int CurlEngine::OnTimer(CURLM*, long timeoutMs, void* self) {
    static_cast<CurlEngine*>(self)->m_TimerDue =
        timeoutMs < 0 ? -1 : MonotonicMs() + (int64_t)timeoutMs;
    return 0;
}

void CurlEngine::Loop() {
    epoll_event events[64];
    for (;;) {
        std::deque<Job> jobs;
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            jobs.swap(m_Jobs);
        }
        for (Job& j : jobs) j(m_Multi);
        if (!jobs.empty()) {
            std::lock_guard<std::mutex> g(m_Mutex);
            m_Done += jobs.size();
            m_Cond.notify_all();
        }
        int64_t waitMs = 1000;
        if (m_TimerDue >= 0) waitMs = std::max<int64_t>(0, std::min<int64_t>(waitMs, m_TimerDue - MonotonicMs()));
        const int n = epoll_wait(m_Epoll, events, 64, (int)waitMs);
        int running = 0;
        for (int i = 0; i < n; ++i) {
            const int fd = events[i].data.fd;
            if (fd == m_WakeFd) {
                uint64_t count;
                if (read(m_WakeFd, &count, sizeof(count)) < 0) {}
                continue;
            }
            int mask = 0;
            if (events[i].events & (EPOLLIN | EPOLLHUP)) mask |= CURL_CSELECT_IN;
            if (events[i].events & EPOLLOUT) mask |= CURL_CSELECT_OUT;
            if (events[i].events & EPOLLERR) mask |= CURL_CSELECT_ERR;
            curl_multi_socket_action(m_Multi, fd, mask, &running);
            Rearm(fd);
        }
        if (m_TimerDue >= 0 && MonotonicMs() >= m_TimerDue) {
            m_TimerDue = -1;  // before the call: it may set the next one
            curl_multi_socket_action(m_Multi, CURL_SOCKET_TIMEOUT, 0, &running);
        }
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(m_Multi, &left)) {
            if (msg->msg != CURLMSG_DONE) continue;
            // A finished transfer leaves the multi handle here, so that its
            // client's next request needs no round trip to take it out.
            CURL* easy = msg->easy_handle;
            const CURLcode result = msg->data.result;
            std::map<CURL*, DoneFn>::iterator it = m_Active.find(easy);
            if (it == m_Active.end()) continue;
            DoneFn done = std::move(it->second);
            m_Active.erase(it);
            curl_multi_remove_handle(m_Multi, easy);
            done(result);
        }
    }
}

}  // namespace BrellinOwned
