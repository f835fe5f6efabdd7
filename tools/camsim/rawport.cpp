// A family's own TCP port: a listener on the simulator's address and one
// thread per connection running the family's RawFn. Every wait is cut into
// 100 ms slices that re-check whether the simulator is stopping, so Stop()
// is bounded; Stop() shuts every connection down and joins its thread.
#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <list>

#include "tools/camsim/camsim.h"

namespace camsim {

namespace {
const int kSliceMs = 100;
const int kIdleMs = 1000;  // an idle connection's wait between checks that its client is there

// 1 readable/writable, 0 not within ms, -1 error.
int WaitFd(int fd, short events, int ms) {
    struct pollfd p = {fd, events, 0};
    int rc = poll(&p, 1, ms);
    if (rc < 0) return errno == EINTR ? 0 : -1;
    return rc;
}
}  // namespace

struct CamSim::RawServer {
    int listenFd = -1;
    std::thread acceptor;
    std::mutex mu;
    struct Conn {
        int fd;
        std::thread thread;
        bool done = false;
    };
    std::list<Conn> conns;
};

bool CamSim::StartRaw(std::string& error) {
    std::shared_ptr<RawServer> srv(new RawServer());
    const int port = m_Cfg.rawPort >= 0 ? m_Cfg.rawPort : m_Family->rawPort;
    srv->listenFd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)port);
    inet_pton(AF_INET, m_Cfg.address.c_str(), &addr.sin_addr);
    const int one = 1;
    setsockopt(srv->listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (srv->listenFd < 0 || bind(srv->listenFd, (sockaddr*)&addr, sizeof(addr)) != 0 ||
        listen(srv->listenFd, 16) != 0) {
        if (srv->listenFd >= 0) close(srv->listenFd);
        error = "cannot listen on " + m_Cfg.address + ":" + std::to_string(port) + " (the camera's own port)";
        return false;
    }
    socklen_t len = sizeof(addr);
    getsockname(srv->listenFd, (sockaddr*)&addr, &len);
    m_RawPort = ntohs(addr.sin_port);
    RawServer* s = srv.get();
    srv->acceptor = std::thread([this, s]() {
        while (!m_Stopping.load()) {
            if (WaitFd(s->listenFd, POLLIN, kSliceMs) <= 0) continue;
            const int fd = accept4(s->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            if (GetFault(kFaultRefuse)) {
                close(fd);
                continue;
            }
            {
                std::lock_guard<std::mutex> g(m_Mutex);
                m_Requests++;
                m_Cond.notify_all();
            }
            SimContext ctx;
            ctx.state = State();
            ctx.api = m_Cfg.api;
            ctx.user = m_Cfg.user;
            ctx.password = m_Cfg.password;
            ctx.inputCount = m_Cfg.inputs;
            std::lock_guard<std::mutex> g(s->mu);
            // Finished connections are joined here, so their number stays bounded.
            for (auto it = s->conns.begin(); it != s->conns.end();) {
                if (it->done) {
                    it->thread.join();
                    it = s->conns.erase(it);
                } else {
                    ++it;
                }
            }
            s->conns.push_back(RawServer::Conn{fd, std::thread(), false});
            RawServer::Conn* c = &s->conns.back();
            c->thread = std::thread([this, s, c, fd, ctx]() {
                m_Answers++;
                RawConn conn(this, fd, ctx);
                m_Family->raw(conn);
                shutdown(fd, SHUT_RDWR);
                std::lock_guard<std::mutex> g2(s->mu);
                c->done = true;
            });
        }
    });
    m_Raw = srv;
    return true;
}

void CamSim::StopRaw() {
    if (!m_Raw) return;
    m_Stopping = true;
    if (m_Raw->acceptor.joinable()) m_Raw->acceptor.join();
    std::list<RawServer::Conn> conns;
    {
        std::lock_guard<std::mutex> g(m_Raw->mu);
        for (RawServer::Conn& c : m_Raw->conns) shutdown(c.fd, SHUT_RDWR);
        conns.swap(m_Raw->conns);
    }
    for (RawServer::Conn& c : conns) {
        if (c.thread.joinable()) c.thread.join();
        close(c.fd);
    }
    close(m_Raw->listenFd);
    m_Raw.reset();
    m_RawPort = 0;
}

bool RawConn::Alive() const { return !m_blClosed && !m_Sim->Stopping(); }

AlarmState RawConn::State() const { return m_Sim->State(); }

bool RawConn::WaitChange(uint64_t& seen, int maxMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    while (Alive()) {
        const int left =
            (int)std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now()).count();
        const uint64_t v = m_Sim->WaitChange(seen, left < kIdleMs ? (left < 0 ? 0 : left) : kIdleMs);
        if (v != seen) {
            seen = v;
            return true;
        }
        // A client that closed is noticed while waiting.
        char c;
        const ssize_t n = recv(m_Fd, &c, 1, MSG_PEEK | MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) m_blClosed = true;
        if (left <= kIdleMs) return Alive();
    }
    return false;
}

bool RawConn::Write(const std::string& bytes) {
    while (m_Sim->GetFault(kFaultStall)) {
        if (!Alive()) return false;
        m_Sim->WaitChange(m_Sim->State().version, kSliceMs);
    }
    if (!Alive()) return false;
    std::string out = bytes;
    if (m_Sim->GetFault(kFaultGarbage)) {
        uint64_t x = m_Sim->RequestCount() * 6364136223846793005ULL + out.size();
        for (char& ch : out) {
            x = x * 6364136223846793005ULL + 1442695040888963407ULL;
            ch = (char)(x >> 56);
        }
    }
    const bool cut = m_Sim->GetFault(kFaultCloseMid);
    if (cut) out.resize(out.size() / 2);
    const bool once = m_Sim->GetFault(kFaultCloseAtOnce);
    size_t done = 0;
    while (done < out.size()) {
        if (!Alive()) return false;
        const int w = WaitFd(m_Fd, POLLOUT, kSliceMs);
        if (w < 0) break;
        if (w == 0) continue;
        const ssize_t n = send(m_Fd, out.data() + done, out.size() - done, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n > 0) {
            done += (size_t)n;
        } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            break;
        }
    }
    if (cut || once || done < out.size()) m_blClosed = true;
    return !m_blClosed;
}

bool RawConn::ReadExact(size_t n, std::string& out, int maxMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    size_t want = out.size() + n;
    while (out.size() < want) {
        if (!Alive() || std::chrono::steady_clock::now() >= end) return false;
        const int w = WaitFd(m_Fd, POLLIN, kSliceMs);
        if (w < 0) {
            m_blClosed = true;
            return false;
        }
        if (w == 0) continue;
        char buf[512];
        const size_t room = want - out.size() < sizeof(buf) ? want - out.size() : sizeof(buf);
        const ssize_t got = recv(m_Fd, buf, room, MSG_DONTWAIT);
        if (got > 0) {
            out.append(buf, (size_t)got);
        } else if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
            m_blClosed = true;
            return false;
        }
    }
    return true;
}

}  // namespace camsim
