#include "host/rtsp/rtspclient.h"

#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

#include "host/rtsp/rtpext.h"
#include "interface/clock.h"

namespace {

// Room for the largest unit (a message head and body, or a 64 KiB frame) and
// a read's worth behind it.
const size_t kInBytes = kRtspMaxHead + kRtspMaxBody + 16 * 1024;
const size_t kReadBytes = 16 * 1024;
// Garbage without a packet between that drops the connection: a stream that
// does not resynchronise within this is not worth reading on.
const uint64_t kMaxGarbageRun = 256 * 1024;
const int kMaxAuthAttempts = 3;

// A stopped detector (or live fetcher) on whose thread the client runs.
bool Aborted() { return BrellinOwned::IsWakeSignalled(); }

std::string HostForUrl(const std::string& host) {
    if (host.find(':') != std::string::npos && host.front() != '[') return "[" + host + "]";
    return host;
}

std::string MakeCnonce() {
    unsigned char rnd[8] = {0};
    FILE* f = fopen("/dev/urandom", "rb");
    bool ok = f && fread(rnd, 1, sizeof(rnd), f) == sizeof(rnd);
    if (f) fclose(f);
    if (!ok) {
        uint64_t x = (uint64_t)BrellinOwned::MonotonicMs() * 6364136223846793005ULL + (uint64_t)(uintptr_t)&rnd;
        memcpy(rnd, &x, sizeof(rnd));
    }
    char hex[17];
    for (int i = 0; i < 8; ++i) snprintf(hex + 2 * i, 3, "%02x", rnd[i]);
    return hex;
}

}  // namespace

bool ParseRtspUrl(const std::string& url, RTSP_CLIENT_CONF& conf, std::string& why) {
    RTSP_URL_PARTS parts;
    if (!ParseRtspUrl(url, parts, why)) return false;
    conf.host = parts.host;
    conf.port = parts.port;
    conf.path = parts.path;
    if (parts.blLogin) {
        conf.user = parts.user;
        conf.password = parts.password;
    }
    return true;
}

RtspClient::RtspClient(const RTSP_CLIENT_CONF& conf, BrellinOwned::Clock& clock) : m_Conf(conf), m_Clock(clock) {
    if (m_Conf.timeoutSec <= 0) m_Conf.timeoutSec = 10;
    std::string path = m_Conf.path;
    if (path.empty() || path[0] != '/') path = "/" + path;
    if (!m_Conf.query.empty()) path += (path.find('?') == std::string::npos ? "?" : "&") + m_Conf.query;
    m_Url = "rtsp://" + HostForUrl(m_Conf.host) + ":" + std::to_string(m_Conf.port) + path;
    m_Cnonce = MakeCnonce();
}

RtspClient::~RtspClient() { Close(); }

int RtspClient::Fail(int rc, const std::string& why) {
    m_LastError = why;
    CloseSocket();
    return rc;
}

void RtspClient::CloseSocket() {
    if (m_Fd >= 0) close(m_Fd);
    m_Fd = -1;
    m_blPlaying = false;
    m_Start = m_End = m_PendingConsume = 0;
    m_SessionId.clear();
    m_GarbageRun = 0;
}

void RtspClient::Close() {
    if (m_Fd >= 0 && m_blPlaying && !m_SessionId.empty()) {
        // Frees the camera's session at once instead of at its time-out; the
        // answer is not waited for.
        Send(RequestText("TEARDOWN", m_ControlUrl, std::string()), m_Clock.NowMs() + 200);
    }
    CloseSocket();
}

int RtspClient::Connect(int64_t deadline) {
    if (m_Conf.host.empty() || m_Conf.port <= 0 || m_Conf.port > 65535)
        return Fail(RTSP_ERR_CONNECT, "invalid address");
    std::string host = m_Conf.host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    struct addrinfo* res = nullptr;
    const std::string port = std::to_string(m_Conf.port);
    const int gai = getaddrinfo(host.c_str(), port.c_str(), &hints, &res);
    if (gai != 0) return Fail(RTSP_ERR_CONNECT, std::string("cannot resolve the host: ") + gai_strerror(gai));
    int err = ECONNREFUSED;
    for (struct addrinfo* ai = res; ai && m_Fd < 0; ai = ai->ai_next) {
        int fd = socket(ai->ai_family, ai->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, ai->ai_protocol);
        if (fd < 0) {
            err = errno;
            continue;
        }
        if (connect(fd, ai->ai_addr, ai->ai_addrlen) != 0 && errno != EINPROGRESS) {
            err = errno;
            close(fd);
            continue;
        }
        const int waited = m_Clock.WaitFd(fd, POLLOUT, deadline);
        if (waited == -2) {
            close(fd);
            freeaddrinfo(res);
            return Fail(RTSP_ERR_ABORTED, "aborted");
        }
        const bool done = waited == 1;
        if (waited == 0) err = ETIMEDOUT;
        else if (waited < 0) err = errno;
        int soErr = err;
        socklen_t len = sizeof(soErr);
        if (done && getsockopt(fd, SOL_SOCKET, SO_ERROR, &soErr, &len) == 0 && soErr == 0) {
            m_Fd = fd;
        } else {
            if (done) err = soErr;
            close(fd);
        }
    }
    freeaddrinfo(res);
    if (m_Fd < 0) return Fail(RTSP_ERR_CONNECT, std::string("cannot connect: ") + strerror(err));
    int one = 1;
    setsockopt(m_Fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
    if (m_In.size() != kInBytes) m_In.assign(kInBytes, 0);
    m_Start = m_End = m_PendingConsume = 0;
    m_LastRecvMs = m_LastSendMs = m_Clock.NowMs();
    return RTSP_OK;
}

int RtspClient::WaitFd(short events, int64_t deadline) {
    switch (m_Clock.WaitFd(m_Fd, events, deadline)) {
    case 1: return RTSP_OK;
    case 0: return RTSP_ERR_TIMEOUT;
    case -2: return Fail(RTSP_ERR_ABORTED, "aborted");
    default: return Fail(RTSP_ERR_CLOSED, std::string("wait failed: ") + strerror(errno));
    }
}

int RtspClient::Send(const std::string& text, int64_t deadline) {
    size_t off = 0;
    while (off < text.size()) {
        if (m_Fd < 0) return RTSP_ERR_CLOSED;
        if (Aborted()) return Fail(RTSP_ERR_ABORTED, "aborted");
        const ssize_t n = send(m_Fd, text.data() + off, text.size() - off, MSG_NOSIGNAL);
        if (n > 0) {
            off += (size_t)n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return Fail(RTSP_ERR_CLOSED, std::string("send failed: ") + strerror(errno));
        const int rc = WaitFd(POLLOUT, deadline);
        if (rc == RTSP_ERR_TIMEOUT) return Fail(rc, "the server does not take our request");
        if (rc != RTSP_OK) return rc;
    }
    m_LastSendMs = m_Clock.NowMs();
    return RTSP_OK;
}

std::string RtspClient::RequestText(const std::string& method, const std::string& url, const std::string& extra) {
    std::string t = method + " " + url + " RTSP/1.0\r\nCSeq: " + std::to_string(++m_CSeq) + "\r\n";
    t += "User-Agent: camdet\r\n";
    if (m_Challenge.scheme != RTSP_CHALLENGE::NONE && !m_Conf.user.empty()) {
        t += "Authorization: " +
             AuthorizationValue(m_Challenge, m_Conf.user, m_Conf.password, method, url, m_Nc, m_Cnonce) + "\r\n";
    }
    if (!m_SessionId.empty()) t += "Session: " + m_SessionId + "\r\n";
    return t + extra + "\r\n";
}

void RtspClient::ConsumePending() {
    m_Start += m_PendingConsume;
    m_PendingConsume = 0;
    if (m_Start == m_End) m_Start = m_End = 0;
}

int RtspClient::Fill(int64_t deadline) {
    if (m_Fd < 0) return RTSP_ERR_CLOSED;
    if (m_In.size() - m_End < kReadBytes && m_Start > 0) {
        memmove(m_In.data(), m_In.data() + m_Start, m_End - m_Start);
        m_End -= m_Start;
        m_Start = 0;
    }
    if (m_End == m_In.size()) return Fail(RTSP_ERR_PROTOCOL, "a unit larger than the input buffer");
    for (;;) {
        if (Aborted()) return Fail(RTSP_ERR_ABORTED, "aborted");
        const ssize_t n = recv(m_Fd, m_In.data() + m_End, m_In.size() - m_End, 0);
        if (n > 0) {
            m_End += (size_t)n;
            m_LastRecvMs = m_Clock.NowMs();
            return RTSP_OK;
        }
        if (n == 0) return Fail(RTSP_ERR_CLOSED, "the server closed the connection");
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            return Fail(RTSP_ERR_CLOSED, std::string("receive failed: ") + strerror(errno));
        const int rc = WaitFd(POLLIN, deadline);
        if (rc != RTSP_OK) return rc;
    }
}

int RtspClient::ReadUnit(RTSP_UNIT& unit, int64_t deadline) {
    for (;;) {
        ConsumePending();
        unit = SplitRtspUnit(m_In.data() + m_Start, m_End - m_Start, m_RtpChannel, m_RtcpChannel);
        if (unit.kind == RTSP_UNIT::TOO_LONG) return Fail(RTSP_ERR_PROTOCOL, "an RTSP message beyond its limits");
        if (unit.kind != RTSP_UNIT::NEED_MORE) {
            m_PendingConsume = unit.consumed;
            return RTSP_OK;
        }
        const int rc = Fill(deadline);
        if (rc == RTSP_ERR_TIMEOUT) return Fail(rc, "no answer within the time-out");
        if (rc != RTSP_OK) return rc;
    }
}

void RtspClient::AnswerServerRequest(const RTSP_MESSAGE& req) {
    // Servers ping their clients with OPTIONS or GET_PARAMETER; anything else
    // they may ask is not for a receiver like this one.
    const bool known = req.method == "OPTIONS" || req.method == "GET_PARAMETER";
    std::string t = std::string("RTSP/1.0 ") + (known ? "200 OK" : "501 Not Implemented") + "\r\n";
    if (req.CSeq() >= 0) t += "CSeq: " + std::to_string(req.CSeq()) + "\r\n";
    if (!m_SessionId.empty()) t += "Session: " + m_SessionId + "\r\n";
    Send(t + "\r\n", m_Clock.NowMs() + 1000);
}

int RtspClient::Request(const std::string& method, const std::string& url, const std::string& extra,
                        RTSP_MESSAGE& resp) {
    for (int attempt = 0; attempt < kMaxAuthAttempts; ++attempt) {
        const int64_t deadline = m_Clock.NowMs() + (int64_t)m_Conf.timeoutSec * 1000;
        const bool sentAuth = m_Challenge.scheme != RTSP_CHALLENGE::NONE && !m_Conf.user.empty();
        int rc = Send(RequestText(method, url, extra), deadline);
        if (rc != RTSP_OK) return rc;
        const int cseq = m_CSeq;
        RTSP_MESSAGE msg;
        for (;;) {
            RTSP_UNIT u;
            rc = ReadUnit(u, deadline);
            if (rc != RTSP_OK) return rc;
            if (u.kind != RTSP_UNIT::MESSAGE) continue;  // frames before PLAY's answer, garbage
            const char* base = reinterpret_cast<const char*>(m_In.data() + m_Start);
            if (!ParseRtspMessage(base, u.headLen, base + u.headLen, u.bodyLen, msg))
                return Fail(RTSP_ERR_PROTOCOL, "an unreadable answer to " + method);
            if (!msg.blResponse) {
                AnswerServerRequest(msg);
                continue;
            }
            // An answer to an earlier request (a keep-alive) is not ours.
            if (msg.CSeq() >= 0 && msg.CSeq() != cseq) continue;
            break;
        }
        m_LastStatus = msg.status;
        if (msg.status == 401) {
            if (m_Conf.user.empty()) return Fail(RTSP_ERR_AUTH, method + " asks for a login and none is configured");
            RTSP_CHALLENGE ch = ParseChallenges(msg.Headers("WWW-Authenticate"));
            if (ch.scheme == RTSP_CHALLENGE::NONE) return Fail(RTSP_ERR_AUTH, "no Basic or Digest challenge to answer");
            // A fresh challenge is answered; a refusal of a fresh answer is final.
            if (sentAuth && attempt > 0 && !ch.blStale) return Fail(RTSP_ERR_AUTH, "the login is refused");
            m_Challenge = ch;
            m_Nc = 0;
            continue;
        }
        if (msg.status < 200 || msg.status >= 300)
            return Fail(RTSP_ERR_STATUS, method + " answered with status " + std::to_string(msg.status));
        resp = msg;
        return RTSP_OK;
    }
    return Fail(RTSP_ERR_AUTH, "the login is refused");
}

int RtspClient::Open() {
    Close();
    m_LastError.clear();
    m_LastStatus = 0;
    int rc = Connect(m_Clock.NowMs() + (int64_t)m_Conf.timeoutSec * 1000);
    if (rc != RTSP_OK) return rc;

    RTSP_MESSAGE r;
    rc = Request("DESCRIBE", m_Url, "Accept: application/sdp\r\n", r);
    if (rc != RTSP_OK) return rc;
    std::string base = r.Header("Content-Base");
    if (base.empty()) base = r.Header("Content-Location");
    if (base.empty()) base = m_Url;
    SDP_MEDIA media;
    if (!FindSdpMedia(r.body, m_Conf.media, base, media))
        return Fail(RTSP_ERR_PROTOCOL, "the stream has no " + m_Conf.media + " track");
    m_ControlUrl = media.control;

    rc = Request("SETUP", m_ControlUrl, "Transport: RTP/AVP/TCP;unicast;interleaved=0-1\r\n", r);
    if (rc != RTSP_OK) return rc;
    const std::string transport = r.Header("Transport");
    int rtp = 0, rtcp = 1;
    if (transport.find("TCP") == std::string::npos || !ParseInterleaved(transport, rtp, rtcp))
        return Fail(RTSP_ERR_PROTOCOL, "the server offers no RTP over the RTSP connection");
    std::string id;
    int timeoutSec = 60;
    ParseSession(r.Header("Session"), id, timeoutSec);
    if (id.empty()) return Fail(RTSP_ERR_PROTOCOL, "SETUP answered without a session");
    m_SessionId = id;
    m_SessionTimeoutSec = timeoutSec;
    m_RtpChannel = rtp;
    m_RtcpChannel = rtcp;

    // The aggregate URL plays every track set up; with one track it is the base.
    rc = Request("PLAY", base, "Range: npt=0.000-\r\n", r);
    if (rc != RTSP_OK) return rc;
    m_ControlUrl = base;
    m_blPlaying = true;
    m_LastRecvMs = m_Clock.NowMs();
    return RTSP_OK;
}

int RtspClient::NextPacket(const uint8_t*& pkt, size_t& len, int waitMs) {
    if (!IsOpen()) return RTSP_ERR_CLOSED;
    const int64_t end = m_Clock.NowMs() + (waitMs > 0 ? waitMs : 0);
    for (;;) {
        const int64_t now = m_Clock.NowMs();
        if (m_Conf.blKeepAlive && now - m_LastSendMs >= (int64_t)m_SessionTimeoutSec * 500) {
            const int rc = Send(RequestText("GET_PARAMETER", m_ControlUrl, std::string()),
                                now + (int64_t)m_Conf.timeoutSec * 1000);
            if (rc != RTSP_OK) return rc;
        }
        ConsumePending();
        const RTSP_UNIT u = SplitRtspUnit(m_In.data() + m_Start, m_End - m_Start, m_RtpChannel, m_RtcpChannel);
        switch (u.kind) {
        case RTSP_UNIT::NEED_MORE: {
            const int64_t silentUntil = m_LastRecvMs + (int64_t)m_Conf.timeoutSec * 1000;
            if (m_Clock.NowMs() >= silentUntil) return Fail(RTSP_ERR_TIMEOUT, "the stream went silent");
            if (m_Clock.NowMs() >= end) return 0;
            const int rc = Fill(std::min(end, silentUntil));
            if (rc != RTSP_OK && rc != RTSP_ERR_TIMEOUT) return rc;
            break;
        }
        case RTSP_UNIT::TOO_LONG: return Fail(RTSP_ERR_PROTOCOL, "an RTSP message beyond its limits");
        case RTSP_UNIT::SKIP:
            m_PendingConsume = u.consumed;
            m_Skipped += u.consumed;
            m_GarbageRun += u.consumed;
            if (m_GarbageRun > kMaxGarbageRun) return Fail(RTSP_ERR_PROTOCOL, "garbage on the stream");
            break;
        case RTSP_UNIT::MESSAGE: {
            m_PendingConsume = u.consumed;
            const char* base = reinterpret_cast<const char*>(m_In.data() + m_Start);
            RTSP_MESSAGE msg;
            if (ParseRtspMessage(base, u.headLen, base + u.headLen, u.bodyLen, msg) && !msg.blResponse)
                AnswerServerRequest(msg);
            if (m_Fd < 0) return RTSP_ERR_CLOSED;
            break;
        }
        case RTSP_UNIT::FRAME:
            m_PendingConsume = u.consumed;
            if (u.channel != m_RtpChannel) break;  // RTCP
            pkt = m_In.data() + m_Start + 4;
            len = u.dataLen;
            ++m_Packets;
            m_GarbageRun = 0;
            return 1;
        }
    }
}
