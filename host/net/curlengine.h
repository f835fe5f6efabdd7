// The process's one libcurl multi handle and the thread that drives it, on
// which every HTTP transfer of the recorder's clients (oxhttpclient.cpp) runs.
//
// Why one multi handle for the whole process, driven by one thread: every
// multi handle of libcurl carries a socket pair of its own, so a handle per
// client would cost three descriptors per camera connection instead of one,
// and a thousand cameras would each wake a thread of their own for every
// chunk libcurl moves. Here the engine thread moves the bytes of every
// transfer; a client's calls only wait on its own condition variable for what
// the engine put in its buffer, which also lets Stop end the wait at once.
#ifndef HOST_CURLENGINE_H
#define HOST_CURLENGINE_H

#include <curl/curl.h>
#include <stdint.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace BrellinOwned {

// Jobs (adding, removing, resuming a transfer) run on the engine thread in
// the order posted; a transfer's callbacks and its end are handed to its
// client there.
class CurlEngine {
public:
    typedef std::function<void(CURLM*)> Job;
    typedef std::function<void(CURLcode)> DoneFn;

    // Created on first use and kept for the life of the process: clients of
    // detector threads may outlive any static object's destructor.
    static CurlEngine& Get();
    // False when the engine could not be set up (one log line said why).
    bool Usable() const { return m_Multi != nullptr; }

    // Runs job on the engine thread and waits until it has run.
    void Run(Job job);
    // Queues job for the engine thread; returns at once.
    void Post(Job job);
    // Engine thread only: who to tell when a transfer ends. The engine takes
    // an ended transfer out of the multi handle before it tells.
    void Track(CURL* easy, DoneFn done) { m_Active[easy] = std::move(done); }
    void Untrack(CURL* easy) { m_Active.erase(easy); }

private:
    CurlEngine();
    void Wake();
    static int OnSocket(CURL*, curl_socket_t fd, int what, void* self, void*);
    void Arm(int fd, uint32_t events);
    void Rearm(int fd);
    static int OnTimer(CURLM*, long timeoutMs, void* self);
    void Loop();

    CURLM* m_Multi = nullptr;
    int m_Epoll = -1;
    int m_WakeFd = -1;
    int64_t m_TimerDue = -1;  // engine thread only
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::deque<Job> m_Jobs;
    uint64_t m_Posted = 0;
    uint64_t m_Done = 0;
    std::map<CURL*, DoneFn> m_Active;  // engine thread only
    std::mutex m_WatchMutex;
    std::map<int, uint32_t> m_Watch;  // socket -> the epoll events libcurl waits for
    std::thread m_Thread;
};

}  // namespace BrellinOwned

#endif  // HOST_CURLENGINE_H
