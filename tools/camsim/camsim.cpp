// The server glue of the simulated camera: libmicrohttpd with one thread per
// connection, so that a stalled or streaming answer blocks only its own
// client. Every wait here is cut into 100 ms slices that re-check whether the
// client is still there and whether the simulator is stopping, which bounds
// Stop().
#include "tools/camsim/camsim.h"

#include "tools/camsim/onvifsim.h"
#include "tools/camsim/rtspsim.h"

#include <arpa/inet.h>
#include <errno.h>
#include <microhttpd.h>
#include <netinet/in.h>
#include <string.h>
#include <sys/socket.h>

#include <chrono>

namespace camsim {

namespace {

const size_t kMaxBody = 1 << 20;           // request body kept for the handler
const size_t kMaxStreamPending = 256 << 10;  // queued stream bytes before Write blocks
const int kSliceMs = 100;
const uint64_t kHugeLength = 1000000000000ULL;

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

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
}

struct ReqCtx {
    Request req;
    bool started = false;
};

// A finite body served through a callback: the close-mid and huge-length faults.
struct CutBody {
    std::string data;
    size_t limit;  // bytes served before the connection is dropped
};

ssize_t CutBodyReader(void* cls, uint64_t pos, char* buf, size_t max) {
    CutBody* b = static_cast<CutBody*>(cls);
    if (pos >= b->limit) return MHD_CONTENT_READER_END_WITH_ERROR;
    size_t n = b->limit - (size_t)pos;
    if (n > max) n = max;
    memcpy(buf, b->data.data() + pos, n);
    return (ssize_t)n;
}

void CutBodyFree(void* cls) { delete static_cast<CutBody*>(cls); }

}  // namespace

// ---------------------------------------------------------------- names

const char* AuthName(Auth a) {
    switch (a) {
    case Auth::kNone: return "none";
    case Auth::kBasic: return "basic";
    case Auth::kDigest: return "digest";
    default: return "family";
    }
}

static const char* const kFaultNames[kFaultCount] = {
    "stall", "close-mid", "garbage", "401", "500", "huge-length", "vanish", "rtcp-only",
    "ext-pacing", "marker-bomb", "refuse", "close-at-once", "short-records"};

const char* FaultName(Fault f) { return (f >= 0 && f < kFaultCount) ? kFaultNames[f] : "?"; }

bool FaultFromName(const std::string& name, Fault& f) {
    for (int i = 0; i < kFaultCount; ++i) {
        if (name == kFaultNames[i]) {
            f = (Fault)i;
            return true;
        }
    }
    return false;
}

bool AlarmState::AnyInput() const {
    for (bool b : inputs) {
        if (b) return true;
    }
    return false;
}

// ---------------------------------------------------------------- request / response

static std::string StripSlashes(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == '/') ++i;
    return s.substr(i);
}

bool Request::Is(const std::string& want) const {
    size_t q = want.find('?');
    if (StripSlashes(want.substr(0, q)) != StripSlashes(path)) return false;
    if (q == std::string::npos) return true;
    return want.substr(q + 1) == query;
}

std::string Request::Param(const std::string& name) const {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        size_t eq = item.find('=');
        if (item.substr(0, eq) == name) return eq == std::string::npos ? std::string() : item.substr(eq + 1);
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return std::string();
}

bool Request::HasParam(const std::string& name) const {
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        if (item.substr(0, item.find('=')) == name) return true;
        if (amp == std::string::npos) break;
        pos = amp + 1;
    }
    return false;
}

std::string Request::Header(const std::string& lowerName) const {
    std::map<std::string, std::string>::const_iterator it = headers.find(lowerName);
    return it == headers.end() ? std::string() : it->second;
}

Response Response::Text(const std::string& body, const std::string& contentType) {
    Response r;
    r.body = body;
    r.headers.push_back(std::make_pair(std::string("Content-Type"), contentType));
    return r;
}

Response Response::Status(int status, const std::string& body) {
    Response r = Text(body);
    r.status = status;
    return r;
}

Response& Response::Header(const std::string& name, const std::string& value) {
    headers.push_back(std::make_pair(name, value));
    return *this;
}

// ---------------------------------------------------------------- streams

struct StreamWriter::Channel {
    std::mutex mu;
    std::condition_variable cv;
    std::string buf;
    size_t pos = 0;
    bool producerDone = false;
    bool errorEnd = false;
    bool clientGone = false;
    MHD_Connection* conn = nullptr;
    std::atomic<bool>* stopping = nullptr;
    std::thread producer;
};

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
        uint64_t v = m_Sim->WaitChange(seen, left < kSliceMs ? (left < 0 ? 0 : left) : kSliceMs);
        if (v != seen) {
            seen = v;
            return true;
        }
        if (left <= kSliceMs) return Alive();
    }
    return false;
}

static ssize_t StreamReader(void* cls, uint64_t, char* out, size_t max) {
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
        ch->cv.wait_for(lk, std::chrono::milliseconds(kSliceMs));
        if (ch->buf.size() == ch->pos && ClientGone(ch->conn)) {
            ch->clientGone = true;
            ch->cv.notify_all();
            return MHD_CONTENT_READER_END_WITH_ERROR;
        }
    }
}

static void StreamFree(void* cls) {
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

// ---------------------------------------------------------------- server

struct CamSim::Impl {
    CamSim* sim = nullptr;
    MHD_Daemon* daemon = nullptr;
    std::string opaque = "0123456789abcdef";
    char random[32];

    static MHD_Result Accept(void* cls, const sockaddr*, socklen_t) {
        Impl* self = static_cast<Impl*>(cls);
        return self->sim->GetFault(kFaultRefuse) ? MHD_NO : MHD_YES;
    }

    static void* UriLog(void*, const char* uri, MHD_Connection*) {
        ReqCtx* rc = new ReqCtx();
        rc->req.target = uri ? uri : "";
        return rc;
    }

    static void Completed(void*, MHD_Connection*, void** con_cls, MHD_RequestTerminationCode) {
        delete static_cast<ReqCtx*>(*con_cls);
        *con_cls = nullptr;
    }

    static MHD_Result HeaderIt(void* cls, MHD_ValueKind, const char* key, const char* value) {
        std::map<std::string, std::string>* m = static_cast<std::map<std::string, std::string>*>(cls);
        if (key) (*m)[Lower(key)] = value ? value : "";
        return MHD_YES;
    }

    static MHD_Result Access(void* cls, MHD_Connection* conn, const char*, const char* method, const char*,
                             const char* upload, size_t* uploadSize, void** con_cls) {
        Impl* self = static_cast<Impl*>(cls);
        ReqCtx* rc = static_cast<ReqCtx*>(*con_cls);
        if (!rc) return MHD_NO;
        if (!rc->started) {
            rc->started = true;
            rc->req.method = method ? method : "";
            MHD_get_connection_values(conn, MHD_HEADER_KIND, &HeaderIt, &rc->req.headers);
            return MHD_YES;
        }
        if (*uploadSize > 0) {
            if (rc->req.body.size() < kMaxBody) {
                size_t room = kMaxBody - rc->req.body.size();
                rc->req.body.append(upload, *uploadSize < room ? *uploadSize : room);
            }
            *uploadSize = 0;
            return MHD_YES;
        }
        return self->Serve(conn, rc->req);
    }

    static MHD_Result Queue(MHD_Connection* conn, const Response& r, MHD_Response* resp) {
        for (const auto& h : r.headers) MHD_add_response_header(resp, h.first.c_str(), h.second.c_str());
        MHD_Result ret = MHD_queue_response(conn, (unsigned)r.status, resp);
        MHD_destroy_response(resp);
        return ret;
    }

    static MHD_Result QueueSimple(MHD_Connection* conn, const Response& r) {
        MHD_Response* resp =
            MHD_create_response_from_buffer(r.body.size(), (void*)r.body.data(), MHD_RESPMEM_MUST_COPY);
        if (!resp) return MHD_NO;
        return Queue(conn, r, resp);
    }

    MHD_Result Challenge(MHD_Connection* conn, bool stale) {
        static const char kBody[] = "401 Unauthorized\n";
        MHD_Response* resp = MHD_create_response_from_buffer(sizeof(kBody) - 1, (void*)kBody, MHD_RESPMEM_PERSISTENT);
        if (!resp) return MHD_NO;
        MHD_Result ret;
        const std::string& realm = sim->m_Cfg.realm;
        switch (sim->EffectiveAuth()) {
        case Auth::kBasic: ret = MHD_queue_basic_auth_fail_response(conn, realm.c_str(), resp); break;
        case Auth::kDigest:
            ret = MHD_queue_auth_fail_response2(conn, realm.c_str(), opaque.c_str(), resp, stale ? MHD_YES : MHD_NO,
                                                MHD_DIGEST_ALG_MD5);
            break;
        default: ret = MHD_queue_response(conn, MHD_HTTP_UNAUTHORIZED, resp); break;
        }
        MHD_destroy_response(resp);
        return ret;
    }

    // 0 authenticated; 1 challenge; 2 challenge with a stale nonce.
    int CheckAuth(MHD_Connection* conn) {
        const Config& c = sim->m_Cfg;
        if (c.user.empty()) return 0;
        switch (sim->EffectiveAuth()) {
        case Auth::kBasic: {
            char* pass = nullptr;
            char* user = MHD_basic_auth_get_username_password(conn, &pass);
            bool ok = user && pass && c.user == user && c.password == pass;
            if (user) MHD_free(user);
            if (pass) MHD_free(pass);
            return ok ? 0 : 1;
        }
        case Auth::kDigest: {
            int r = MHD_digest_auth_check2(conn, c.realm.c_str(), c.user.c_str(), c.password.c_str(), 300,
                                           MHD_DIGEST_ALG_MD5);
            if (r == MHD_YES) return 0;
            return r == MHD_INVALID_NONCE ? 2 : 1;
        }
        default: return 0;
        }
    }

    MHD_Result Serve(MHD_Connection* conn, Request& req) {
        const std::string& t = req.target;
        size_t q = t.find('?');
        std::string rawPath = t.substr(0, q);
        req.path = "/" + StripSlashes(rawPath);
        req.query = q == std::string::npos ? std::string() : t.substr(q + 1);

        if (req.path.compare(0, 8, "/camsim/") == 0) return Control(conn, req);
        if (sim->GetFault(kFaultRefuse)) return MHD_NO;  // a kept-alive connection is dropped too
        if (sim->GetFault(kFaultVanish)) {
            // No answer while it is gone, and none after: the request is lost with it.
            while (sim->GetFault(kFaultVanish) && !sim->m_Stopping.load() && !ClientGone(conn))
                sim->WaitChange(sim->State().version, kSliceMs);
            return MHD_NO;
        }

        {
            std::lock_guard<std::mutex> g(sim->m_Mutex);
            sim->m_Requests++;
            sim->m_LastTarget = t;
            sim->m_Cond.notify_all();
        }
        if (sim->GetFault(kFault500)) return QueueSimple(conn, Response::Status(500, "500 Internal Server Error\n"));
        const bool login = !req.Header("authorization").empty();
        if (sim->GetFault(kFault401)) {
            if (login) sim->m_RefusedLogins++;
            return Challenge(conn, false);
        }
        int auth = CheckAuth(conn);
        if (auth != 0) {
            if (login && auth == 1) sim->m_RefusedLogins++;  // a stale nonce is no refusal
            return Challenge(conn, auth == 2);
        }

        while (sim->GetFault(kFaultStall)) {
            if (sim->m_Stopping.load() || ClientGone(conn)) return MHD_NO;
            sim->WaitChange(sim->State().version, kSliceMs);
        }
        if (sim->m_Stopping.load()) return MHD_NO;

        sim->m_Answers++;
        SimContext ctx;
        ctx.state = sim->State();
        ctx.api = sim->m_Cfg.api;
        ctx.user = sim->m_Cfg.user;
        ctx.password = sim->m_Cfg.password;
        ctx.inputCount = sim->m_Cfg.inputs;
        ctx.onvifTopics = sim->m_Cfg.onvifTopics;
        ctx.refusedLogins = &sim->m_RefusedLogins;
        Response r;
        if (sim->m_Cfg.handler) {
            r = sim->m_Cfg.handler(req, ctx);
        } else {
            r = sim->m_Family->handle(req, ctx);
            if (r.status == 404 && sim->m_Family->more) r = sim->m_Family->more(req, ctx);
        }

        if (sim->GetFault(kFaultCloseAtOnce)) {  // the head, then the end of response and connection
            r.body.clear();
            r.stream = nullptr;
            r.Header("Connection", "close");
        }
        if (r.stream) return QueueStream(conn, r);

        if (sim->GetFault(kFaultGarbage)) r.body = Garbage(r.body.size(), sim->RequestCount());
        const bool cut = sim->GetFault(kFaultCloseMid);
        const bool huge = sim->GetFault(kFaultHugeLength);
        if (cut || huge) {
            CutBody* b = new CutBody();
            b->data = r.body;
            b->limit = cut ? r.body.size() / 2 : r.body.size();
            uint64_t size = huge ? kHugeLength : (r.body.empty() ? 1 : r.body.size());
            MHD_Response* resp = MHD_create_response_from_callback(size, 4096, &CutBodyReader, b, &CutBodyFree);
            if (!resp) {
                delete b;
                return MHD_NO;
            }
            return Queue(conn, r, resp);
        }
        return QueueSimple(conn, r);
    }

    MHD_Result QueueStream(MHD_Connection* conn, const Response& r) {
        std::shared_ptr<StreamWriter::Channel> ch(new StreamWriter::Channel());
        ch->conn = conn;
        ch->stopping = &sim->m_Stopping;
        std::shared_ptr<StreamWriter::Channel>* holder = new std::shared_ptr<StreamWriter::Channel>(ch);
        MHD_Response* resp = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &StreamReader, holder, &StreamFree);
        if (!resp) {
            delete holder;
            return MHD_NO;
        }
        if (!r.chunked) MHD_set_response_options(resp, MHD_RF_HTTP_1_0_SERVER, MHD_RO_END);
        StreamFn fn = r.stream;
        CamSim* s = sim;
        ch->producer = std::thread([fn, s, ch]() {
            StreamWriter w(s, ch);
            fn(w);
            std::lock_guard<std::mutex> g(ch->mu);
            ch->producerDone = true;
            ch->cv.notify_all();
        });
        return Queue(conn, r, resp);
    }

    MHD_Result Control(MHD_Connection* conn, const Request& req) {
        if (req.path == "/camsim/state") return QueueSimple(conn, Response::Text(sim->StateText()));
        if (req.path == "/camsim/control") {
            std::string error;
            if (!sim->ApplyControl(req.query, error)) return QueueSimple(conn, Response::Status(400, error + "\n"));
            return QueueSimple(conn, Response::Text(sim->StateText()));
        }
        return QueueSimple(conn, Response::NotFound());
    }
};

// ---------------------------------------------------------------- CamSim

CamSim::CamSim(const Config& cfg) : m_Cfg(cfg), m_Family(FindFamily(cfg.api)), m_Impl(new Impl()) {
    m_Impl->sim = this;
    for (bool& f : m_Faults) f = false;
    m_State.inputs.assign(cfg.inputs > 0 && cfg.inputs <= 64 ? cfg.inputs : 0, false);
}

CamSim::~CamSim() { Stop(); }

Auth CamSim::EffectiveAuth() const {
    if (m_Cfg.auth != Auth::kFamily) return m_Cfg.auth;
    return m_Family ? m_Family->auth : Auth::kNone;
}

bool CamSim::Start(std::string& error) {
    if (!m_Family) {
        error = "no simulated camera family for API key '" + m_Cfg.api + "'";
        return false;
    }
    if (m_Cfg.inputs < 0 || m_Cfg.inputs > 64) {
        error = "input count must be 0-64";
        return false;
    }
    if (m_Cfg.port < 0 || m_Cfg.port > 65535) {
        error = "port must be 0-65535";
        return false;
    }
    if (!m_Cfg.onvifTopics.empty() && !onvifsim::IsTopicFamily(m_Cfg.onvifTopics)) {
        error = "no ONVIF topic family '" + m_Cfg.onvifTopics + "' (" + onvifsim::TopicFamilyNames() + ")";
        return false;
    }
    if (m_Impl->daemon) {
        error = "already started";
        return false;
    }
    FILE* rnd = fopen("/dev/urandom", "rb");
    if (!rnd || fread(m_Impl->random, 1, sizeof(m_Impl->random), rnd) != sizeof(m_Impl->random)) {
        for (size_t i = 0; i < sizeof(m_Impl->random); ++i) m_Impl->random[i] = (char)(i * 37 + 11);
    }
    if (rnd) fclose(rnd);

    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)m_Cfg.port);
    if (inet_pton(AF_INET, m_Cfg.address.c_str(), &addr.sin_addr) != 1 ||
        (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
        error = "address must be a loopback address 127.x.y.z (got '" + m_Cfg.address + "')";
        return false;
    }
    m_Stopping = false;
    m_Impl->daemon = MHD_start_daemon(
        MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL, 0, &Impl::Accept,
        m_Impl.get(), &Impl::Access, m_Impl.get(), MHD_OPTION_SOCK_ADDR, (sockaddr*)&addr,
        MHD_OPTION_URI_LOG_CALLBACK, &Impl::UriLog, m_Impl.get(), MHD_OPTION_NOTIFY_COMPLETED, &Impl::Completed,
        m_Impl.get(), MHD_OPTION_DIGEST_AUTH_RANDOM, sizeof(m_Impl->random), m_Impl->random,
        MHD_OPTION_NONCE_NC_SIZE, (unsigned)64, MHD_OPTION_THREAD_STACK_SIZE, (size_t)(256 << 10),
        MHD_OPTION_CONNECTION_TIMEOUT, (unsigned)60, MHD_OPTION_LISTENING_ADDRESS_REUSE, (unsigned)1,
        MHD_OPTION_END);
    if (!m_Impl->daemon) {
        error = "cannot listen on " + m_Cfg.address + ":" + std::to_string(m_Cfg.port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(m_Impl->daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_Port = info ? info->port : m_Cfg.port;
    if (m_Family->raw && !StartRaw(error)) {
        MHD_stop_daemon(m_Impl->daemon);
        m_Impl->daemon = nullptr;
        m_Port = 0;
        return false;
    }
    if (const RtpFamily* rtp = FindRtpFamily(m_Cfg.api)) {
        m_Rtsp.reset(new RtspSim(*this, *rtp));
        if (!m_Rtsp->Start(m_Cfg.rtspPort, error)) {
            m_Rtsp.reset();
            Stop();
            return false;
        }
    }
    return true;
}

int CamSim::RtspPort() const { return m_Rtsp ? m_Rtsp->Port() : 0; }
std::string CamSim::RtspUrl() const { return m_Rtsp ? m_Rtsp->Url() : std::string(); }
int CamSim::RtspConnections() const { return m_Rtsp ? m_Rtsp->Connections() : 0; }
int CamSim::RtspSessions() const { return m_Rtsp ? m_Rtsp->Sessions() : 0; }
uint64_t CamSim::RtpPacketsSent() const { return m_Rtsp ? m_Rtsp->PacketsSent() : 0; }

void CamSim::Stop() {
    m_Stopping = true;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = true;
        m_Cond.notify_all();
    }
    if (m_Scenario.joinable()) m_Scenario.join();
    StopRaw();
    if (m_Rtsp) m_Rtsp->Stop();
    if (m_Impl && m_Impl->daemon) {
        MHD_stop_daemon(m_Impl->daemon);
        m_Impl->daemon = nullptr;
    }
    m_Port = 0;
}

void CamSim::Changed() {
    m_State.version++;
    // Kept for families that report every change, not only the latest state.
    m_History.push_back(m_State);
    if (m_History.size() > kHistory) m_History.pop_front();
    m_Cond.notify_all();
}

std::vector<AlarmState> CamSim::StatesAfter(uint64_t version) const {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::vector<AlarmState> out;
    for (const AlarmState& st : m_History)
        if (st.version > version) out.push_back(st);
    return out;
}

void CamSim::SetMotion(bool on, int level) {
    std::lock_guard<std::mutex> g(m_Mutex);
    int lv = on ? (level < 0 ? 100 : (level < 1 ? 1 : (level > 100 ? 100 : level))) : 0;
    if (m_State.motion == on && m_State.motionLevel == lv) return;
    if (on && !m_State.motion) m_State.motionEvents++;
    m_State.motion = on;
    m_State.motionLevel = lv;
    Changed();
}

void CamSim::SetTamper(bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_State.tamper == on) return;
    m_State.tamper = on;
    Changed();
}

void CamSim::SetAudio(bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_State.audio == on) return;
    m_State.audio = on;
    Changed();
}

bool CamSim::SetInput(int n, bool on) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (n < 1 || n > (int)m_State.inputs.size()) return false;
    if (m_State.inputs[n - 1] != on) {
        if (on) m_State.inputEvents++;
        m_State.inputs[n - 1] = on;
        Changed();
    }
    return true;
}

void CamSim::SetFault(Fault f, bool on) {
    if (f < 0 || f >= kFaultCount) return;
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_Faults[f] == on) return;
    m_Faults[f] = on;
    Changed();
}

bool CamSim::GetFault(Fault f) const {
    if (f < 0 || f >= kFaultCount) return false;
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Faults[f];
}

AlarmState CamSim::State() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_State;
}

uint64_t CamSim::WaitChange(uint64_t seen, int maxMs) const {
    std::unique_lock<std::mutex> lk(m_Mutex);
    if (maxMs > 0 && m_State.version == seen && !m_Stopping.load()) {
        m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs),
                        [&] { return m_State.version != seen || m_Stopping.load(); });
    }
    return m_State.version;
}

bool CamSim::WaitRequests(uint64_t n, int maxMs) const {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_Requests.load() >= n; });
}

std::string CamSim::LastTarget() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_LastTarget;
}

std::string CamSim::StateText() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    std::string s = "api=" + m_Cfg.api + "\n";
    s += "motion=" + std::to_string(m_State.motion ? 1 : 0) + "\n";
    s += "level=" + std::to_string(m_State.motionLevel) + "\n";
    s += "tamper=" + std::to_string(m_State.tamper ? 1 : 0) + "\n";
    s += "audio=" + std::to_string(m_State.audio ? 1 : 0) + "\n";
    for (size_t i = 0; i < m_State.inputs.size(); ++i)
        s += "input" + std::to_string(i + 1) + "=" + (m_State.inputs[i] ? "1" : "0") + "\n";
    for (int f = 0; f < kFaultCount; ++f)
        s += std::string("fault_") + kFaultNames[f] + "=" + (m_Faults[f] ? "1" : "0") + "\n";
    s += "version=" + std::to_string(m_State.version) + "\n";
    s += "requests=" + std::to_string(m_Requests.load()) + "\n";
    s += "refused_logins=" + std::to_string(m_RefusedLogins.load()) + "\n";
    return s;
}

bool CamSim::ApplyControl(const std::string& query, std::string& error) {
    struct Op {
        int what;  // 0 motion, 1 level, 2 tamper, 3 audio, 4 input, 5 fault
        int n;
        bool on;
    };
    std::vector<Op> ops;
    size_t pos = 0;
    while (pos < query.size()) {
        size_t amp = query.find('&', pos);
        std::string item = query.substr(pos, amp == std::string::npos ? std::string::npos : amp - pos);
        pos = amp == std::string::npos ? query.size() : amp + 1;
        if (item.empty()) continue;
        size_t eq = item.find('=');
        std::string name = item.substr(0, eq);
        std::string value = eq == std::string::npos ? std::string() : item.substr(eq + 1);
        Op op = {0, 0, false};
        bool flag = value == "1" || value == "on";
        bool flagOk = flag || value == "0" || value == "off";
        if (name == "level") {
            char* end = nullptr;
            long v = strtol(value.c_str(), &end, 10);
            if (value.empty() || *end || v < 1 || v > 100) {
                error = "bad value for 'level' (1-100): '" + value + "'";
                return false;
            }
            op.what = 1;
            op.n = (int)v;
            ops.push_back(op);
            continue;
        }
        Fault f;
        if (name == "motion") op.what = 0;
        else if (name == "tamper") op.what = 2;
        else if (name == "audio") op.what = 3;
        else if (name.compare(0, 5, "input") == 0 && name.size() > 5) {
            char* end = nullptr;
            long n = strtol(name.c_str() + 5, &end, 10);
            if (*end || n < 1 || n > (long)m_Cfg.inputs) {
                error = "no input '" + name + "' (inputs are 1-" + std::to_string(m_Cfg.inputs) + ")";
                return false;
            }
            op.what = 4;
            op.n = (int)n;
        } else if (name.compare(0, 6, "fault_") == 0 && FaultFromName(name.substr(6), f)) {
            op.what = 5;
            op.n = f;
        } else {
            error = "unknown control '" + name + "'";
            return false;
        }
        if (!flagOk) {
            error = "bad value for '" + name + "' (0 or 1): '" + value + "'";
            return false;
        }
        op.on = flag;
        ops.push_back(op);
    }
    int level = -1;
    for (const Op& op : ops) {
        if (op.what == 1) level = op.n;
    }
    bool motionSet = false;
    for (const Op& op : ops) {
        switch (op.what) {
        case 0:
            SetMotion(op.on, level);
            motionSet = true;
            break;
        case 2: SetTamper(op.on); break;
        case 3: SetAudio(op.on); break;
        case 4: SetInput(op.n, op.on); break;
        case 5: SetFault((Fault)op.n, op.on); break;
        default: break;
        }
    }
    if (level > 0 && !motionSet && State().motion) SetMotion(true, level);
    return true;
}

void CamSim::Apply(const ScenarioStep& st) {
    switch (st.what) {
    case ScenarioStep::kMotion: SetMotion(st.on, st.on ? st.n : 0); break;
    case ScenarioStep::kInput: SetInput(st.n, st.on); break;
    case ScenarioStep::kTamper: SetTamper(st.on); break;
    case ScenarioStep::kAudio: SetAudio(st.on); break;
    case ScenarioStep::kFault: SetFault(st.fault, st.on); break;
    }
}

void CamSim::RunScenario(const Scenario& sc) {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = true;
        m_Cond.notify_all();
    }
    if (m_Scenario.joinable()) m_Scenario.join();
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioStop = false;
        m_ScenarioDone = false;
    }
    m_Scenario = std::thread([this, sc]() {
        const std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
        for (const ScenarioStep& st : sc.steps) {
            std::chrono::steady_clock::time_point when =
                start + std::chrono::microseconds((long long)(st.at * 1e6));
            {
                std::unique_lock<std::mutex> lk(m_Mutex);
                m_Cond.wait_until(lk, when, [&] { return m_ScenarioStop; });
                if (m_ScenarioStop) break;
            }
            Apply(st);
        }
        std::lock_guard<std::mutex> g(m_Mutex);
        m_ScenarioDone = true;
        m_Cond.notify_all();
    });
}

bool CamSim::WaitScenarioDone(int maxMs) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return m_Cond.wait_for(lk, std::chrono::milliseconds(maxMs), [&] { return m_ScenarioDone; });
}

}  // namespace camsim
