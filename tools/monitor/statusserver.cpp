// The status server: libmicrohttpd with a thread per connection (small
// stacks, a bounded number of connections), so an event stream may block in
// its content callback. Every wait there is cut into one-second slices that
// re-check Stop, which bounds Stop() to about a second.
#include "tools/monitor/statusserver.h"

#include <arpa/inet.h>
#include <errno.h>
#include <microhttpd.h>
#include <netdb.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <vector>

namespace {

const unsigned kMaxConnections = 64;
const size_t kThreadStack = 128 << 10;
const int kSliceMs = 1000;
const int kKeepAliveSlices = 15;  // a comment line every 15 s keeps proxies from closing the stream

struct EventStream {
    StatusServer* srv;
    uint64_t seen = 0;
    uint64_t scopeSeen = 0;
    bool started = false;
    int idle = 0;
    std::string buf;
    size_t pos = 0;
};

ssize_t EventReader(void* cls, uint64_t, char* out, size_t max) {
    EventStream* es = static_cast<EventStream*>(cls);
    while (es->pos >= es->buf.size()) {
        es->buf.clear();
        es->pos = 0;
        if (es->srv->Stopping()) return MHD_CONTENT_READER_END_WITH_ERROR;
        if (!es->started) {
            // The version first: a change after it is sent again, never lost.
            es->seen = es->srv->Board().Version();
            es->scopeSeen = es->srv->Board().ScopeVersion();
            es->buf = "retry: 2000\nevent: snapshot\ndata: " + es->srv->Board().CamerasJson() + "\n\n";
            es->started = true;
            break;
        }
        std::vector<std::string> changed, removed;
        if (es->srv->Board().WaitChanges(es->seen, kSliceMs, changed, removed)) {
            for (const std::string& c : changed) es->buf += "event: camera\ndata: " + c + "\n\n";
            for (const std::string& r : removed) es->buf += "event: removed\ndata: " + r + "\n\n";
            const uint64_t scope = es->srv->Board().ScopeVersion();
            if (scope != es->scopeSeen) {
                es->scopeSeen = scope;
                es->buf += "event: scope\ndata: " + es->srv->Board().ScopeJson() + "\n\n";
            }
            es->idle = 0;
        } else if (++es->idle >= kKeepAliveSlices) {
            es->buf = ": keep-alive\n\n";
            es->idle = 0;
        }
    }
    size_t n = es->buf.size() - es->pos;
    if (n > max) n = max;
    memcpy(out, es->buf.data() + es->pos, n);
    es->pos += n;
    return (ssize_t)n;
}

void EventFree(void* cls) { delete static_cast<EventStream*>(cls); }

MHD_Result Send(MHD_Connection* conn, unsigned status, const std::string& body, const char* type) {
    MHD_Response* r = MHD_create_response_from_buffer(body.size(), (void*)body.data(), MHD_RESPMEM_MUST_COPY);
    if (!r) return MHD_NO;
    MHD_add_response_header(r, "Content-Type", type);
    MHD_add_response_header(r, "Cache-Control", "no-store");
    MHD_Result ret = MHD_queue_response(conn, status, r);
    MHD_destroy_response(r);
    return ret;
}

MHD_Result Access(void* cls, MHD_Connection* conn, const char* url, const char* method, const char*, const char*,
                  size_t*, void** state) {
    StatusServer* srv = static_cast<StatusServer*>(cls);
    if (*state == nullptr) {  // headers only so far
        static int marker;
        *state = &marker;
        return MHD_YES;
    }
    if (strcmp(method, "GET") != 0 && strcmp(method, "HEAD") != 0)
        return Send(conn, 405, "only GET\n", "text/plain");
    const std::string path = url ? url : "";
    if (path == "/" || path == "/index.html") return Send(conn, 200, StatusPageHtml(), "text/html; charset=utf-8");
    if (path == "/api/cameras") return Send(conn, 200, srv->Board().CamerasJson(), "application/json");
    if (path == "/metrics")
        return Send(conn, 200, srv->Board().Metrics(), "text/plain; version=0.0.4; charset=utf-8");
    if (path == "/events") {
        EventStream* es = new EventStream();
        es->srv = srv;
        MHD_Response* r = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 16 * 1024, &EventReader, es, &EventFree);
        if (!r) {
            delete es;
            return MHD_NO;
        }
        MHD_add_response_header(r, "Content-Type", "text/event-stream");
        MHD_add_response_header(r, "Cache-Control", "no-store");
        MHD_Result ret = MHD_queue_response(conn, 200, r);
        MHD_destroy_response(r);
        return ret;
    }
    return Send(conn, 404, "not found\n", "text/plain");
}

// "ADDR:PORT", "[V6]:PORT" or "PORT" -> a bound, listening socket, or -1.
int Listen(const std::string& addrText, int& port, std::string& error) {
    std::string host = "127.0.0.1", portText = addrText;
    size_t colon = addrText.rfind(':');
    if (colon != std::string::npos) {
        host = addrText.substr(0, colon);
        portText = addrText.substr(colon + 1);
        if (host.size() >= 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
    }
    char* end = nullptr;
    long p = strtol(portText.c_str(), &end, 10);
    if (portText.empty() || *end || p < 0 || p > 65535 || host.empty()) {
        error = "--http " + addrText + ": expects ADDR:PORT or PORT";
        return -1;
    }
    struct addrinfo hints;
    memset(&hints, 0, sizeof(hints));
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    struct addrinfo* res = nullptr;
    int gai = getaddrinfo(host.c_str(), portText.c_str(), &hints, &res);
    if (gai != 0 || !res) {
        error = "--http " + addrText + ": cannot resolve '" + host + "': " + gai_strerror(gai);
        return -1;
    }
    int fd = socket(res->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        error = "--http " + addrText + ": " + strerror(errno);
        freeaddrinfo(res);
        return -1;
    }
    int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (bind(fd, res->ai_addr, res->ai_addrlen) != 0 || listen(fd, 32) != 0) {
        error = "--http " + addrText + ": " + strerror(errno);
        close(fd);
        freeaddrinfo(res);
        return -1;
    }
    freeaddrinfo(res);
    struct sockaddr_storage ss;
    socklen_t len = sizeof(ss);
    getsockname(fd, (struct sockaddr*)&ss, &len);
    port = ss.ss_family == AF_INET6 ? ntohs(((struct sockaddr_in6*)&ss)->sin6_port)
                                    : ntohs(((struct sockaddr_in*)&ss)->sin_port);
    return fd;
}

}  // namespace

bool StatusServer::Start(const std::string& addr, std::string& error) {
    int fd = Listen(addr, m_Port, error);
    if (fd < 0) return false;
    m_Stopping = false;
    m_Daemon = MHD_start_daemon(MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL, 0,
                                nullptr, nullptr, &Access, this, MHD_OPTION_LISTEN_SOCKET, fd,
                                MHD_OPTION_CONNECTION_LIMIT, kMaxConnections, MHD_OPTION_THREAD_STACK_SIZE,
                                kThreadStack, MHD_OPTION_CONNECTION_TIMEOUT, (unsigned)120, MHD_OPTION_END);
    if (!m_Daemon) {
        close(fd);
        error = "--http " + addr + ": cannot start the HTTP server";
        return false;
    }
    return true;
}

void StatusServer::Stop() {
    m_Stopping = true;
    if (m_Daemon) {
        MHD_stop_daemon(m_Daemon);  // closes the listening socket it was handed
        m_Daemon = nullptr;
    }
}
