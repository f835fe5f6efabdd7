// The stream writer: what a streaming answer's producer thread writes goes
// through a bounded queue to the connection, shaped by the fault switches.
#include <errno.h>
#include <string.h>
#include <sys/socket.h>

#include <chrono>

#include "tools/camsim/httpserver.h"

namespace camsim {

namespace {

const size_t kMaxStreamPending = 256 << 10;  // queued stream bytes before Write blocks

}  // namespace

bool ClientGone(MHD_Connection* conn) {
    const MHD_ConnectionInfo* info = MHD_get_connection_info(conn, MHD_CONNECTION_INFO_CONNECTION_FD);
    if (!info) return true;
    char c;
    ssize_t n = recv(info->connect_fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0) return true;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return true;
    return false;
}

std::string Garbage(size_t len, uint64_t seed) {
    std::string out(len < 64 ? 64 : len, '\0');
    uint64_t x = seed * 6364136223846793005ULL + 1442695040888963407ULL;
    for (char& c : out) {
        x = x * 6364136223846793005ULL + 1442695040888963407ULL;
        c = (char)(x >> 56);
    }
    return out;
}

bool StreamWriter::Alive() const {
    if (m_Ch->stopping->load()) return false;
    std::lock_guard<std::mutex> g(m_Ch->mu);
    return !m_Ch->clientGone && !m_Ch->errorEnd;
}

AlarmState StreamWriter::State() const { return m_Sim->State(); }

bool StreamWriter::FaultOn(Fault f) const { return m_Sim->GetFault(f); }

std::vector<AlarmState> StreamWriter::StatesAfter(uint64_t version) const { return m_Sim->StatesAfter(version); }

bool StreamWriter::Write(const std::string& bytes) { return Write(bytes.data(), bytes.size()); }

bool StreamWriter::Write(const char* data, size_t len) {
    bool vanished = false;
    while (true) {
        if (!Alive()) return false;
        const bool vanish = m_Sim->GetFault(kFaultVanish);
        vanished = vanished || vanish;
        const bool stall = m_Sim->GetFault(kFaultStall);
        std::unique_lock<std::mutex> lk(m_Ch->mu);
        if (vanished && !vanish) {
            // Back from a vanish: this stream belonged to the camera before it.
            m_Ch->errorEnd = true;
            m_Ch->cv.notify_all();
            return false;
        }
        if (!stall && !vanish && m_Ch->buf.size() - m_Ch->pos <= kMaxStreamPending) break;
        m_Ch->cv.wait_for(lk, std::chrono::milliseconds(kSliceMs));
    }
    std::string out(data, len);
    if (m_Sim->GetFault(kFaultGarbage)) out = Garbage(len, m_Sim->RequestCount() + len);
    const bool cut = m_Sim->GetFault(kFaultCloseMid);
    if (cut) out.resize(out.size() / 2);
    std::lock_guard<std::mutex> g(m_Ch->mu);
    if (m_Ch->pos > 0 && m_Ch->pos == m_Ch->buf.size()) {
        m_Ch->buf.clear();
        m_Ch->pos = 0;
    }
    m_Ch->buf += out;
    if (cut) m_Ch->errorEnd = true;
    m_Ch->cv.notify_all();
    return !cut;
}

bool StreamWriter::WaitChange(uint64_t& seen, int maxMs) {
    std::chrono::steady_clock::time_point end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (Alive()) {
        int left = (int)std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now())
                       .count();
        uint64_t v = m_Sim->WaitChange(seen, left < kStreamIdleMs ? (left < 0 ? 0 : left) : kStreamIdleMs);
        if (v != seen) {
            seen = v;
            return true;
        }
        if (left <= kStreamIdleMs) return Alive();
    }
    return false;
}

ssize_t StreamBodyRead(void* cls, uint64_t, char* out, size_t max) {
    StreamWriter::Channel* ch = static_cast<std::shared_ptr<StreamWriter::Channel>*>(cls)->get();
    std::unique_lock<std::mutex> lk(ch->mu);
    while (true) {
        size_t have = ch->buf.size() - ch->pos;
        if (have > 0) {
            size_t n = have < max ? have : max;
            memcpy(out, ch->buf.data() + ch->pos, n);
            ch->pos += n;
            ch->cv.notify_all();
            return (ssize_t)n;
        }
        if (ch->errorEnd || ch->clientGone) return MHD_CONTENT_READER_END_WITH_ERROR;
        if (ch->producerDone) return MHD_CONTENT_READER_END_OF_STREAM;
        if (ch->stopping->load()) return MHD_CONTENT_READER_END_WITH_ERROR;
        ch->cv.wait_for(lk, std::chrono::milliseconds(kStreamIdleMs));
        if (ch->buf.size() == ch->pos && ClientGone(ch->conn)) {
            ch->clientGone = true;
            ch->cv.notify_all();
            return MHD_CONTENT_READER_END_WITH_ERROR;
        }
    }
}

void StreamBodyFree(void* cls) {
    std::shared_ptr<StreamWriter::Channel>* holder = static_cast<std::shared_ptr<StreamWriter::Channel>*>(cls);
    StreamWriter::Channel* ch = holder->get();
    {
        std::lock_guard<std::mutex> g(ch->mu);
        ch->clientGone = true;
        ch->cv.notify_all();
    }
    if (ch->producer.joinable()) ch->producer.join();
    delete holder;
}

}  // namespace camsim
