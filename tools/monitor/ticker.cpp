#include "tools/monitor/ticker.h"

#include <chrono>

Ticker& Ticker::Get() {
    static Ticker* t = new Ticker();  // never destroyed: no thread is left to a static destructor
    return *t;
}

int64_t Ticker::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void Ticker::Add(const void* key, std::function<void(int64_t)> fn) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Fns[key] = std::move(fn);
    if (m_blRunning) return;
    m_blRunning = true;
    const uint64_t gen = ++m_Gen;
    m_Thread = std::thread([this, gen] { Run(gen); });
}

void Ticker::Remove(const void* key) {
    std::thread done;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Fns.erase(key);
        if (!m_Fns.empty() || !m_blRunning) return;
        m_blRunning = false;
        ++m_Gen;
        done = std::move(m_Thread);
        m_Cond.notify_all();
    }
    // Outside the lock: a new thread may already run for a new key.
    if (done.joinable()) done.join();
}

void Ticker::Run(uint64_t gen) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    while (m_Gen == gen) {
        m_Cond.wait_for(lk, std::chrono::milliseconds(kTickMs));
        if (m_Gen != gen) break;
        const int64_t now = NowMs();
        for (auto& kv : m_Fns) kv.second(now);
    }
}
