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

int CurlEngine::PickLane() {
    std::lock_guard<std::mutex> g(m_Mutex);
    return (int)(m_NextLane++ % kLanes);
}

// The engine is woken only when it sleeps: a busy one takes the job on its
// next round without a write to its descriptor.
void CurlEngine::Queue(int lane, Job job) {
    ++m_Posted;
    m_Jobs.emplace_back(lane, std::move(job));
    if (m_Idle) {
        m_Idle = false;
        Wake();
    }
}

void CurlEngine::Run(int lane, Job job) {
    std::unique_lock<std::mutex> g(m_Mutex);
    Queue(lane, std::move(job));
    const uint64_t ticket = m_Posted;
    m_Cond.wait(g, [&] { return m_Done >= ticket; });
}

void CurlEngine::Post(int lane, Job job) {
    std::lock_guard<std::mutex> g(m_Mutex);
    Queue(lane, std::move(job));
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
    ev.data.u64 = (uint32_t)m_WakeFd;
    if (m_Epoll < 0 || m_WakeFd < 0 || epoll_ctl(m_Epoll, EPOLL_CTL_ADD, m_WakeFd, &ev) != 0) {
        OXLOG(kSrc, "cannot set up the HTTP engine's event loop: %s\n", strerror(errno));
        return;
    }
    for (int i = 0; i < kLanes; ++i) {
        m_Lanes[i].engine = this;
        m_Lanes[i].index = i;
    }
    m_Usable = true;
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
// may belong to another thread, or to another lane's new socket, whose watch
// the late removal must leave alone. A removed socket that stays open fires
// at most once more, and is not armed again.
int CurlEngine::OnSocket(CURL*, curl_socket_t fd, int what, void* lanePtr, void*) {
    const Lane& lane = *static_cast<Lane*>(lanePtr);
    CurlEngine* engine = lane.engine;
    std::lock_guard<std::mutex> g(engine->m_WatchMutex);
    if (what == CURL_POLL_REMOVE) {
        std::map<int, Watch>::iterator it = engine->m_Watch.find(fd);
        if (it != engine->m_Watch.end() && it->second.lane == lane.index) engine->m_Watch.erase(it);
        return 0;
    }
    Watch w{lane.index, 0};
    if (what & CURL_POLL_IN) w.events |= EPOLLIN;
    if (what & CURL_POLL_OUT) w.events |= EPOLLOUT;
    engine->m_Watch[fd] = w;
    engine->Arm(fd, w);
    return 0;
}

void CurlEngine::Arm(int fd, const Watch& w) {
    epoll_event ev;
    memset(&ev, 0, sizeof(ev));
    ev.events = w.events | EPOLLONESHOT;
    ev.data.u64 = ((uint64_t)(uint32_t)w.lane << 32) | (uint32_t)fd;
    // A descriptor closed and reused is no longer registered: add it again.
    if (epoll_ctl(m_Epoll, EPOLL_CTL_MOD, fd, &ev) != 0 && errno == ENOENT) epoll_ctl(m_Epoll, EPOLL_CTL_ADD, fd, &ev);
}

void CurlEngine::Rearm(int fd) {
    std::lock_guard<std::mutex> g(m_WatchMutex);
    std::map<int, Watch>::const_iterator it = m_Watch.find(fd);
    if (it != m_Watch.end()) Arm(fd, it->second);
}

// A lane's multi handle, made on its first job: a recorder of a few cameras
// needs only a few, and each holds a socket pair. Null if libcurl cannot make
// one: the job's calls on it then fail, and so does the request.
CURLM* CurlEngine::LaneMulti(Lane& lane) {
    if (lane.multi != nullptr || lane.failed) return lane.multi;
    lane.multi = curl_multi_init();
    if (lane.multi == nullptr) {
        lane.failed = true;
        OXLOG(kSrc, "cannot set up an HTTP engine lane (out of memory?)\n");
        return nullptr;
    }
    curl_multi_setopt(lane.multi, CURLMOPT_SOCKETFUNCTION, &CurlEngine::OnSocket);
    curl_multi_setopt(lane.multi, CURLMOPT_SOCKETDATA, &lane);
    curl_multi_setopt(lane.multi, CURLMOPT_TIMERFUNCTION, &CurlEngine::OnTimer);
    curl_multi_setopt(lane.multi, CURLMOPT_TIMERDATA, &lane);
    return lane.multi;
}

// A lane's single timer: when libcurl wants to be called with CURL_SOCKET_TIMEOUT (-1: never).
int CurlEngine::OnTimer(CURLM*, long timeoutMs, void* lane) {
    static_cast<Lane*>(lane)->timerDue = timeoutMs < 0 ? -1 : MonotonicMs() + (int64_t)timeoutMs;
    return 0;
}

void CurlEngine::Loop() {
    epoll_event events[64];
    for (;;) {
        std::deque<std::pair<int, Job>> jobs;
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            jobs.swap(m_Jobs);
        }
        for (std::pair<int, Job>& j : jobs) j.second(LaneMulti(m_Lanes[j.first]));
        Notify();
        int64_t waitMs = 1000;
        const int64_t before = MonotonicMs();
        for (const Lane& lane : m_Lanes) {
            if (lane.timerDue >= 0) waitMs = std::max<int64_t>(0, std::min<int64_t>(waitMs, lane.timerDue - before));
        }
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            if (!jobs.empty()) {
                m_Done += jobs.size();
                m_Cond.notify_all();
            }
            if (m_Jobs.empty()) m_Idle = true;
            else waitMs = 0;
        }
        const int n = epoll_wait(m_Epoll, events, 64, (int)waitMs);
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            m_Idle = false;
        }
        int running = 0;
        for (int i = 0; i < n; ++i) {
            const int fd = (int)(uint32_t)events[i].data.u64;
            if (fd == m_WakeFd) {
                uint64_t count;
                if (read(m_WakeFd, &count, sizeof(count)) < 0) {}
                continue;
            }
            int mask = 0;
            if (events[i].events & (EPOLLIN | EPOLLHUP)) mask |= CURL_CSELECT_IN;
            if (events[i].events & EPOLLOUT) mask |= CURL_CSELECT_OUT;
            if (events[i].events & EPOLLERR) mask |= CURL_CSELECT_ERR;
            curl_multi_socket_action(m_Lanes[events[i].data.u64 >> 32].multi, fd, mask, &running);
            Rearm(fd);
        }
        const int64_t now = MonotonicMs();
        for (Lane& lane : m_Lanes) {
            if (lane.multi == nullptr || lane.timerDue < 0 || now < lane.timerDue) continue;
            lane.timerDue = -1;  // before the call: it may set the next one
            curl_multi_socket_action(lane.multi, CURL_SOCKET_TIMEOUT, 0, &running);
        }
        for (Lane& lane : m_Lanes) {
            if (lane.multi != nullptr) TakeOutFinished(lane.multi);
        }
        Notify();
    }
}

void CurlEngine::NotifyLater(const std::shared_ptr<CurlWaiter>& w) {
    if (w->queued) return;
    w->queued = true;
    m_Notices.push_back(w);
}

// Without the client's lock: a client woken under it would block on it at once.
void CurlEngine::Notify() {
    for (const std::shared_ptr<CurlWaiter>& w : m_Notices) {
        w->queued = false;
        w->cv.notify_all();
    }
    m_Notices.clear();
}

// A finished transfer leaves its multi handle here, so that its client's
// next request needs no round trip to take it out.
void CurlEngine::TakeOutFinished(CURLM* multi) {
    int left = 0;
    while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
        if (msg->msg != CURLMSG_DONE) continue;
        CURL* easy = msg->easy_handle;
        const CURLcode result = msg->data.result;
        std::map<CURL*, DoneFn>::iterator it = m_Active.find(easy);
        if (it == m_Active.end()) continue;
        DoneFn done = std::move(it->second);
        m_Active.erase(it);
        curl_multi_remove_handle(multi, easy);
        done(result);
    }
}

}  // namespace BrellinOwned
