// One thread that calls every registered callback every few hundred
// milliseconds, for work that is due later with nothing else to wake it
// (a printer showing a camera's state some time after the camera is back).
// The thread runs only while something is registered.
#ifndef TOOLS_MONITOR_TICKER_H
#define TOOLS_MONITOR_TICKER_H

#include <stdint.h>

#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

class Ticker {
public:
    static constexpr int kTickMs = 200;
    // The process's ticker (never destroyed).
    static Ticker& Get();

    // fn(nowMs) runs on the ticker's thread, under the ticker's lock (it may
    // not Add or Remove), with steady-clock milliseconds. key: the owner's.
    void Add(const void* key, std::function<void(int64_t nowMs)> fn);
    // After it returns fn of key is neither running nor called again; the
    // last Remove ends the thread. Not to be called from fn.
    void Remove(const void* key);

    static int64_t NowMs();

private:
    Ticker() {}
    void Run(uint64_t gen);

    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::map<const void*, std::function<void(int64_t)> > m_Fns;
    std::thread m_Thread;
    uint64_t m_Gen = 0;  // the running thread's; a new value ends it
    bool m_blRunning = false;
};

#endif  // TOOLS_MONITOR_TICKER_H
