// The process's one libcurl multi handle and the thread that drives it, on
// which every HTTP transfer of the recorder's clients (oxhttpclient.cpp) runs.
//
// Why a few multi handles for the whole process, driven by one thread: every
// multi handle of libcurl carries a socket pair of its own, so a handle per
// client would cost three descriptors per camera connection instead of one,
// and a thousand cameras would each wake a thread of their own for every
// chunk libcurl moves. Here the engine thread moves the bytes of every
// transfer; a client's calls only wait on its own condition variable for what
// the engine put in its buffer, which also lets Stop end the wait at once.
//
// Why not one multi handle: at the end of each transfer libcurl walks its
// host cache whole and, when a connection to a host closes, its connection
// cache whole; with thousands of cameras in one handle those walks were most
// of the engine's time. Clients are spread over kLanes handles (a lane each,
// for life), so a walk covers a small share of the cameras.
#ifndef HOST_CURLENGINE_H
#define HOST_CURLENGINE_H

#include <curl/curl.h>
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace BrellinOwned {

// What a client waits on. The engine holds it while a notice is due, so a
// notice for a client that saw its transfer end and left finds it still there.
struct CurlWaiter {
    std::mutex mtx;
    std::condition_variable cv;
    bool queued = false;  // engine thread only
};

// Jobs (adding, removing, resuming a transfer) run on the engine thread in
// the order posted; a transfer's callbacks and its end are handed to its
// client there.
class CurlEngine {
public:
    typedef std::function<void(CURLM*)> Job;
    typedef std::function<void(CURLcode)> DoneFn;
    static const int kLanes = 32;

    // Created on first use and kept for the life of the process: clients of
    // detector threads may outlive any static object's destructor.
    static CurlEngine& Get();
    // False when the engine could not be set up (one log line said why).
    bool Usable() const { return m_Usable; }
    // The lane for a new client; a client keeps it for its whole life.
    int PickLane();

    // Runs job on the engine thread, with the lane's multi handle, and waits
    // until it has run.
    void Run(int lane, Job job);
    // Queues job for the engine thread; returns at once.
    void Post(int lane, Job job);
    // Engine thread only: who to tell when a transfer ends. The engine takes
    // an ended transfer out of the multi handle before it tells.
    void Track(CURL* easy, DoneFn done) { m_Active[easy] = std::move(done); }
    void Untrack(CURL* easy) { m_Active.erase(easy); }
    // Engine thread: wakes the client once, after the socket events and the
    // jobs at hand are handled (a small answer's head, body and end arrive
    // together, and each wake-up of a thread is a context switch).
    void NotifyLater(const std::shared_ptr<CurlWaiter>& w);

private:
    struct Lane {
        CurlEngine* engine = nullptr;
        int index = 0;
        CURLM* multi = nullptr;  // this and the rest: engine thread only
        bool failed = false;
        int64_t timerDue = -1;
    };
    // Which lane's socket a descriptor is, and the epoll events libcurl waits for.
    struct Watch {
        int lane;
        uint32_t events;
    };

    CurlEngine();
    void Wake();
    void Queue(int lane, Job job);
    static int OnSocket(CURL*, curl_socket_t fd, int what, void* lane, void*);
    void Arm(int fd, const Watch& w);
    void Rearm(int fd);
    static int OnTimer(CURLM*, long timeoutMs, void* lane);
    void Loop();
    CURLM* LaneMulti(Lane& lane);
    void TakeOutFinished(CURLM* multi);
    void Notify();

    bool m_Usable = false;
    Lane m_Lanes[kLanes];
    int m_Epoll = -1;
    int m_WakeFd = -1;
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::deque<std::pair<int, Job>> m_Jobs;
    uint64_t m_Posted = 0;
    uint64_t m_Done = 0;
    unsigned m_NextLane = 0;  // under m_Mutex
    std::map<CURL*, DoneFn> m_Active;  // engine thread only
    std::vector<std::shared_ptr<CurlWaiter>> m_Notices;  // engine thread only
    bool m_Idle = false;  // under m_Mutex: the engine sleeps, or is about to
    std::mutex m_WatchMutex;
    std::map<int, Watch> m_Watch;  // by socket
    std::thread m_Thread;
};

}  // namespace BrellinOwned

#endif  // HOST_CURLENGINE_H
