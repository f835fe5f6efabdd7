// One thread per connection: requests are read and answered between frames,
// every wait is a poll of at most 100 ms that also looks at the stop flag.
#include "tools/camsim/rtspsim.h"

#include <arpa/inet.h>
#include <errno.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <poll.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <vector>

#include "tools/camsim/digestauth.h"
#include "tools/camsim/simtext.h"

namespace camsim {

namespace {

const int kSliceMs = 100;
const size_t kMaxRequestBytes = 64 * 1024;
const int kPacketsPerFrame = 4;
const size_t kFillerBytes = 300;
const int kSessionTimeoutSec = 60;
const int kHugeLengthExtra = 64;

std::string Base64(const std::string& in) {
    std::string out(4 * ((in.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(in.data()), (int)in.size());
    out.resize(n > 0 ? n : 0);
    return out;
}

std::string RandomHex(size_t bytes, uint64_t& state) {
    std::string out;
    char hex[3];
    for (size_t i = 0; i < bytes; ++i) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        snprintf(hex, sizeof(hex), "%02x", (unsigned)(state >> 56));
        out += hex;
    }
    return out;
}

struct RtspRequest {
    std::string method, uri;
    std::map<std::string, std::string> headers;  // lower-case names
    std::string Header(const std::string& n) const {
        auto it = headers.find(n);
        return it == headers.end() ? std::string() : it->second;
    }
};

// One request off the front of `in`; false while it is incomplete.
bool TakeRequest(std::string& in, RtspRequest& req) {
    const size_t end = in.find("\r\n\r\n");
    if (end == std::string::npos) return false;
    std::string head = in.substr(0, end + 2);
    size_t body = 0;
    RtspRequest r;
    size_t pos = 0;
    bool first = true;
    while (pos < head.size()) {
        size_t eol = head.find("\r\n", pos);
        std::string line = head.substr(pos, eol - pos);
        pos = eol + 2;
        if (first) {
            first = false;
            const size_t a = line.find(' ');
            const size_t b = line.find(' ', a + 1);
            r.method = line.substr(0, a);
            if (a != std::string::npos)
                r.uri = line.substr(a + 1, b == std::string::npos ? std::string::npos : b - a - 1);
            continue;
        }
        const size_t colon = line.find(':');
        if (colon != std::string::npos) r.headers[Lower(Trim(line.substr(0, colon)))] = Trim(line.substr(colon + 1));
    }
    body = (size_t)atol(r.Header("content-length").c_str());
    if (in.size() < end + 4 + body) return false;
    in.erase(0, end + 4 + body);
    req = r;
    return true;
}

}  // namespace

struct RtspSim::Conn {
    int fd = -1;
    std::thread thread;
    std::atomic<bool> done{false};
    std::string nonce;
    std::string session;
    bool playing = false;
    int rtpChannel = 0;
    uint16_t seq = 0;
    uint32_t timestamp = 0;
    uint32_t ssrc = 0;
    uint64_t rnd = 0;
    int64_t lastExtMs = 0;  // the ext-pacing fault: when a frame last carried the extension
};

RtspSim::RtspSim(SimCamera& sim, const RtpFamily& family) : m_Sim(sim), m_Family(family) {}

RtspSim::~RtspSim() { Stop(); }

std::string RtspSim::Url() const {
    return "rtsp://" + m_Sim.GetConfig().address + ":" + std::to_string(m_Port) + m_Family.path;
}

bool RtspSim::Start(int port, std::string& error) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = "cannot open the RTSP socket";
        return false;
    }
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)port);
    const std::string& host = m_Sim.GetConfig().address;
    if (inet_pton(AF_INET, host.c_str(), &addr.sin_addr) != 1) addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof(addr);
    if (bind(fd, (sockaddr*)&addr, len) != 0 || listen(fd, 16) != 0 || getsockname(fd, (sockaddr*)&addr, &len) != 0) {
        close(fd);
        error = "cannot listen for RTSP on " + host + ":" + std::to_string(port);
        return false;
    }
    m_ListenFd = fd;
    m_Port = ntohs(addr.sin_port);
    m_Stop = false;
    m_Accept = std::thread(&RtspSim::AcceptLoop, this);
    return true;
}

void RtspSim::Stop() {
    m_Stop = true;
    if (m_Accept.joinable()) m_Accept.join();
    std::lock_guard<std::mutex> g(m_Mutex);
    for (auto& c : m_Conns) {
        if (c->thread.joinable()) c->thread.join();
    }
    m_Conns.clear();
    if (m_ListenFd >= 0) close(m_ListenFd);
    m_ListenFd = -1;
}

void RtspSim::AcceptLoop() {
    uint64_t seed = (uint64_t)NowMs() ^ ((uint64_t)m_Port << 32);
    while (!m_Stop.load()) {
        struct pollfd p = {m_ListenFd, POLLIN, 0};
        if (poll(&p, 1, kSliceMs) <= 0) continue;
        const int fd = accept4(m_ListenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) continue;
        if (m_Sim.GetFault(kFaultRefuse)) {
            close(fd);
            continue;
        }
        ++m_Connections;
        const int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
        std::lock_guard<std::mutex> g(m_Mutex);
        // Threads of closed connections are joined as new ones come.
        for (auto it = m_Conns.begin(); it != m_Conns.end();) {
            if ((*it)->done.load()) {
                (*it)->thread.join();
                it = m_Conns.erase(it);
            } else {
                ++it;
            }
        }
        std::unique_ptr<Conn> c(new Conn());
        c->fd = fd;
        c->rnd = seed += 0x9E3779B97F4A7C15ULL;
        c->nonce = RandomHex(16, c->rnd);
        Conn* raw = c.get();
        c->thread = std::thread([this, raw]() {
            Serve(raw);
            close(raw->fd);
            raw->done = true;
        });
        m_Conns.push_back(std::move(c));
    }
}

namespace {

// Sends everything unless the stop flag rises or the client goes.
bool SendAll(int fd, const std::string& bytes, const std::atomic<bool>& stop) {
    size_t off = 0;
    while (off < bytes.size()) {
        if (stop.load()) return false;
        const ssize_t n = send(fd, bytes.data() + off, bytes.size() - off, MSG_NOSIGNAL);
        if (n > 0) {
            off += (size_t)n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) return false;
        struct pollfd p = {fd, POLLOUT, 0};
        poll(&p, 1, kSliceMs);
    }
    return true;
}

std::string Answer(const std::string& status, const RtspRequest& req, const std::string& headers = std::string(),
                   const std::string& body = std::string()) {
    std::string s = "RTSP/1.0 " + status + "\r\nCSeq: " + req.Header("cseq") + "\r\nServer: camsim\r\n" + headers;
    if (!body.empty()) s += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    return s + "\r\n" + body;
}

// The packets of one frame: the first carries the extension (withExt), the
// last the marker.
std::string FramePackets(uint16_t& seq, uint32_t ts, uint32_t ssrc, int channel, uint16_t profile,
                         const std::string& extData, bool withExt, bool garbage, int lengthExtra, uint64_t& rnd) {
    std::string out;
    for (int i = 0; i < kPacketsPerFrame; ++i) {
        const bool ext = withExt && i == 0;
        std::string p;
        p += (char)(0x80 | (ext ? 0x10 : 0));
        p += (char)((i == kPacketsPerFrame - 1 ? 0x80 : 0) | 96);
        p += (char)(seq >> 8);
        p += (char)(seq & 0xFF);
        ++seq;
        for (int s = 24; s >= 0; s -= 8) p += (char)((ts >> s) & 0xFF);
        for (int s = 24; s >= 0; s -= 8) p += (char)((ssrc >> s) & 0xFF);
        if (ext) {
            std::string words = extData;
            while (words.size() % 4) words += '\0';
            const size_t n = words.size() / 4;
            p += (char)(profile >> 8);
            p += (char)(profile & 0xFF);
            p += (char)(n >> 8);
            p += (char)(n & 0xFF);
            p += words;
        }
        // An H.264 filler-data unit: the picture is not the point.
        p += (char)0x0C;
        p += std::string(kFillerBytes, (char)0xFF);
        p += (char)0x80;
        if (garbage) {
            for (char& c : p) {
                rnd = rnd * 6364136223846793005ULL + 1442695040888963407ULL;
                c = (char)(rnd >> 56);
            }
            out += p;
            continue;
        }
        const size_t announced = p.size() + lengthExtra;
        out += '$';
        out += (char)channel;
        out += (char)((announced >> 8) & 0xFF);
        out += (char)(announced & 0xFF);
        out += p;
    }
    return out;
}

// An RTCP sender report on the RTCP channel: traffic that is no stream.
std::string RtcpSenderReport(int channel, uint32_t ssrc, uint32_t ts) {
    std::string p;
    p += (char)0x80;
    p += (char)200;
    p += (char)0;
    p += (char)6;  // length in words, less one
    for (int s = 24; s >= 0; s -= 8) p += (char)((ssrc >> s) & 0xFF);
    p += std::string(8, '\0');  // NTP time: not kept
    for (int s = 24; s >= 0; s -= 8) p += (char)((ts >> s) & 0xFF);
    p += std::string(8, '\0');  // packet and octet counts
    std::string out = "$";
    out += (char)channel;
    out += (char)0;
    out += (char)p.size();
    return out + p;
}

}  // namespace

void RtspSim::Serve(Conn* c) {
    const Config& cfg = m_Sim.GetConfig();
    const std::string realm = cfg.realm;
    const int fps = cfg.rtpFramesPerSec;
    const int64_t periodMs = fps > 0 ? 1000 / fps : 0;
    std::string in;
    int64_t nextFrame = 0;
    c->ssrc = (uint32_t)(c->rnd >> 16);
    c->seq = (uint16_t)(c->rnd >> 8);

    auto checkAuth = [&](const RtspRequest& req) -> int {  // 0 ok, 1 challenge, 2 stale nonce
        if (cfg.user.empty() || m_Sim.EffectiveAuth() == Auth::kNone) return 0;
        const std::string a = req.Header("authorization");
        if (m_Sim.EffectiveAuth() == Auth::kBasic)
            return a == "Basic " + Base64(cfg.user + ":" + cfg.password) ? 0 : 1;
        if (Lower(a.substr(0, 7)) != "digest ") return 1;
        std::map<std::string, std::string> d = DigestParams(a.substr(7));
        if (d["username"] != cfg.user || d["realm"] != realm || d["uri"] != req.uri) return 1;
        if (d["nonce"] != c->nonce) return 2;
        const std::string ha1 = Md5Hex(cfg.user + ":" + realm + ":" + cfg.password);
        const std::string ha2 = Md5Hex(req.method + ":" + req.uri);
        const std::string want = d["qop"].empty()
                                     ? Md5Hex(ha1 + ":" + c->nonce + ":" + ha2)
                                     : Md5Hex(ha1 + ":" + c->nonce + ":" + d["nc"] + ":" + d["cnonce"] + ":" +
                                              d["qop"] + ":" + ha2);
        return d["response"] == want ? 0 : 1;
    };
    auto challenge = [&](const RtspRequest& req, bool stale) {
        std::string h;
        if (m_Sim.EffectiveAuth() == Auth::kBasic) {
            h = "WWW-Authenticate: Basic realm=\"" + realm + "\"\r\n";
        } else {
            h = "WWW-Authenticate: Digest realm=\"" + realm + "\", nonce=\"" + c->nonce + "\", qop=\"auth\"" +
                (stale ? ", stale=TRUE" : "") + "\r\n";
        }
        return Answer("401 Unauthorized", req, h);
    };
    const std::string base = Url();

    // One answer; false ends the connection.
    auto handle = [&](const RtspRequest& req) -> bool {
        const std::string& m = req.method;
        if (m == "OPTIONS")
            return SendAll(
                c->fd, Answer("200 OK", req, "Public: OPTIONS, DESCRIBE, SETUP, PLAY, TEARDOWN, GET_PARAMETER\r\n"),
                m_Stop);
        if (m == "TEARDOWN") {
            SendAll(c->fd, Answer("200 OK", req), m_Stop);
            return false;
        }
        if (m == "GET_PARAMETER" || m == "SET_PARAMETER") {
            return SendAll(c->fd, Answer("200 OK", req, c->session.empty() ? "" : "Session: " + c->session + "\r\n"),
                           m_Stop);
        }
        if (m != "DESCRIBE" && m != "SETUP" && m != "PLAY")
            return SendAll(c->fd, Answer("501 Not Implemented", req), m_Stop);
        if (m_Sim.GetFault(kFault500)) return SendAll(c->fd, Answer("500 Internal Server Error", req), m_Stop);
        const int auth = m_Sim.GetFault(kFault401) ? 1 : checkAuth(req);
        if (auth != 0) return SendAll(c->fd, challenge(req, auth == 2), m_Stop);
        if (req.uri.compare(0, base.size(), base) != 0) return SendAll(c->fd, Answer("404 Not Found", req), m_Stop);
        if (m == "DESCRIBE") {
            const std::string sdp = "v=0\r\no=- " + std::to_string(c->ssrc) + " 1 IN IP4 127.0.0.1\r\ns=" +
                                    m_Family.name + " camsim\r\nt=0 0\r\na=control:*\r\n"
                                    "m=video 0 RTP/AVP 96\r\na=rtpmap:96 H264/90000\r\n"
                                    "a=fmtp:96 packetization-mode=1\r\na=control:trackID=1\r\n";
            const std::string headers = "Content-Base: " + base + "/\r\nContent-Type: application/sdp\r\n";
            return SendAll(c->fd, Answer("200 OK", req, headers, sdp), m_Stop);
        }
        if (m == "SETUP") {
            const std::string t = req.Header("transport");
            const size_t il = t.find("interleaved=");
            if (t.find("RTP/AVP/TCP") == std::string::npos || il == std::string::npos)
                return SendAll(c->fd, Answer("461 Unsupported Transport", req), m_Stop);
            c->rtpChannel = atoi(t.c_str() + il + 12) & 0xFF;
            c->session = RandomHex(8, c->rnd);
            return SendAll(c->fd,
                           Answer("200 OK", req,
                                  "Transport: RTP/AVP/TCP;unicast;interleaved=" + std::to_string(c->rtpChannel) + "-" +
                                      std::to_string((c->rtpChannel + 1) & 0xFF) + "\r\nSession: " + c->session +
                                      ";timeout=" + std::to_string(kSessionTimeoutSec) + "\r\n"),
                           m_Stop);
        }
        // PLAY
        if (c->session.empty() || req.Header("session") != c->session)
            return SendAll(c->fd, Answer("454 Session Not Found", req), m_Stop);
        c->playing = true;
        ++m_Sessions;
        nextFrame = NowMs();
        return SendAll(c->fd,
                       Answer("200 OK", req,
                              "Session: " + c->session + "\r\nRTP-Info: url=" + base + "/trackID=1;seq=" +
                                  std::to_string(c->seq) + ";rtptime=" + std::to_string(c->timestamp) + "\r\n"),
                       m_Stop);
    };

    char buf[4096];
    bool vanished = false;
    while (!m_Stop.load()) {
        if (m_Sim.GetFault(kFaultRefuse)) return;
        if (m_Sim.GetFault(kFaultVanish)) {
            // Gone: nothing read, nothing sent, no close either.
            vanished = true;
            poll(nullptr, 0, kSliceMs);
            continue;
        }
        if (vanished) return;  // back, but this connection is from before
        const bool stall = m_Sim.GetFault(kFaultStall);
        int wait = kSliceMs;
        if (c->playing && !stall) {
            const int64_t left = nextFrame - NowMs();
            wait = left <= 0 ? 0 : (int)std::min<int64_t>(left, kSliceMs);
        }
        struct pollfd p = {c->fd, POLLIN, 0};
        if (poll(&p, 1, wait) > 0) {
            const ssize_t n = recv(c->fd, buf, sizeof(buf), 0);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) return;
            if (n > 0) in.append(buf, (size_t)n);
            if (in.size() > kMaxRequestBytes) return;
        }
        if (stall) continue;
        RtspRequest req;
        while (TakeRequest(in, req)) {
            if (!handle(req)) return;
        }
        if (!c->playing || NowMs() < nextFrame) continue;

        const bool cut = m_Sim.GetFault(kFaultCloseMid);
        const bool rtcpOnly = m_Sim.GetFault(kFaultRtcpOnly);
        bool withExt = true;
        if (m_Sim.GetFault(kFaultExtPacing)) {
            withExt = NowMs() - c->lastExtMs >= cfg.extPacingMs;
            if (withExt) c->lastExtMs = NowMs();
        }
        std::string frame =
            rtcpOnly ? RtcpSenderReport((c->rtpChannel + 1) & 0xFF, c->ssrc, c->timestamp)
                     : FramePackets(c->seq, c->timestamp, c->ssrc, c->rtpChannel, m_Family.profile,
                                    m_Family.ext(m_Sim.State()), withExt, m_Sim.GetFault(kFaultGarbage),
                                    m_Sim.GetFault(kFaultHugeLength) ? kHugeLengthExtra : 0, c->rnd);
        c->timestamp += 90000 / (fps > 0 ? fps : 25);
        if (cut) frame.resize(frame.size() / 2);
        if (!SendAll(c->fd, frame, m_Stop)) return;
        if (!rtcpOnly) m_Packets += kPacketsPerFrame;
        if (cut) return;
        nextFrame = periodMs > 0 ? nextFrame + periodMs : NowMs();
        // A client that fell far behind is not made to catch up in a burst.
        if (periodMs > 0 && NowMs() - nextFrame > 10 * periodMs) nextFrame = NowMs();
    }
}

}  // namespace camsim
