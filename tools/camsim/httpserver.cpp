// The simulated camera's HTTP server: libmicrohttpd with one thread per
// connection, so that a stalled or streaming answer blocks only its own
// client. It authenticates camera requests as the family's cameras do, lets
// the fault switches shape every answer and serves the control endpoint.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <stdio.h>
#include <string.h>
#include <sys/socket.h>

#include "tools/camsim/camsim.h"
#include "tools/camsim/digestauth.h"
#include "tools/camsim/httpserver.h"
#include "tools/camsim/simcert.h"
#include "tools/camsim/simtext.h"

namespace camsim {

namespace {

const size_t kMaxBody = 1 << 20;           // request body kept for the handler
const uint64_t kHugeLength = 1000000000000ULL;

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

std::string StripSlashes(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == '/') ++i;
    return s.substr(i);
}

}  // namespace

struct CamSim::HttpServer {
    CamSim* sim = nullptr;
    MHD_Daemon* daemon = nullptr;
    SimCert cert;  // Config::tls
    std::unique_ptr<DigestAuth> digest;

    static MHD_Result Accept(void* cls, const sockaddr*, socklen_t) {
        HttpServer* self = static_cast<HttpServer*>(cls);
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
        HttpServer* self = static_cast<HttpServer*>(cls);
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
            MHD_add_response_header(resp, "WWW-Authenticate", digest->Challenge(stale).c_str());
            ret = MHD_queue_response(conn, MHD_HTTP_UNAUTHORIZED, resp);
            break;
        default: ret = MHD_queue_response(conn, MHD_HTTP_UNAUTHORIZED, resp); break;
        }
        MHD_destroy_response(resp);
        return ret;
    }

    // 0 authenticated; 1 challenge; 2 challenge with a stale nonce.
    int CheckAuth(MHD_Connection* conn, const Request& req) {
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
        case Auth::kDigest:
            return digest->Check(req.Header("authorization"), req.method, req.target, c.user, c.password);
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
        int auth = CheckAuth(conn, req);
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
        ctx.tls = sim->m_Cfg.tls;
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
        MHD_Response* resp = MHD_create_response_from_callback(MHD_SIZE_UNKNOWN, 4096, &StreamBodyRead, holder, &StreamBodyFree);
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

bool CamSim::StartHttp(std::string& error) {
    std::shared_ptr<HttpServer> srv(new HttpServer());
    srv->sim = this;
    srv->digest.reset(new DigestAuth(m_Cfg.realm));

    sockaddr_in addr;
    memset(&addr, 0, sizeof(addr));
    addr.sin_family = AF_INET;
    addr.sin_port = htons((uint16_t)m_Cfg.port);
    if (inet_pton(AF_INET, m_Cfg.address.c_str(), &addr.sin_addr) != 1 ||
        (ntohl(addr.sin_addr.s_addr) >> 24) != 127) {
        error = "address must be a loopback address 127.x.y.z (got '" + m_Cfg.address + "')";
        return false;
    }
    unsigned flags = MHD_USE_INTERNAL_POLLING_THREAD | MHD_USE_THREAD_PER_CONNECTION | MHD_USE_POLL;
    MHD_OptionItem tls[] = {{MHD_OPTION_END, 0, nullptr}, {MHD_OPTION_END, 0, nullptr}, {MHD_OPTION_END, 0, nullptr}};
    if (m_Cfg.tls) {
        if (!MHD_is_feature_supported(MHD_FEATURE_TLS)) {
            error = "this libmicrohttpd has no TLS";
            return false;
        }
        if (!MakeSimCert(m_Cfg.address, srv->cert, error)) return false;
        flags |= MHD_USE_TLS;
        tls[0] = MHD_OptionItem{MHD_OPTION_HTTPS_MEM_KEY, 0, (void*)srv->cert.keyPem.c_str()};
        tls[1] = MHD_OptionItem{MHD_OPTION_HTTPS_MEM_CERT, 0, (void*)srv->cert.certPem.c_str()};
    }
    srv->daemon = MHD_start_daemon(
        flags, 0, &HttpServer::Accept,
        srv.get(), &HttpServer::Access, srv.get(), MHD_OPTION_SOCK_ADDR, (sockaddr*)&addr,
        MHD_OPTION_URI_LOG_CALLBACK, &HttpServer::UriLog, srv.get(), MHD_OPTION_NOTIFY_COMPLETED,
        &HttpServer::Completed, srv.get(), MHD_OPTION_THREAD_STACK_SIZE, (size_t)(256 << 10),
        MHD_OPTION_CONNECTION_TIMEOUT, (unsigned)60, MHD_OPTION_LISTENING_ADDRESS_REUSE, (unsigned)1,
        MHD_OPTION_ARRAY, tls, MHD_OPTION_END);
    if (!srv->daemon) {
        error = "cannot listen on " + m_Cfg.address + ":" + std::to_string(m_Cfg.port);
        return false;
    }
    const MHD_DaemonInfo* info = MHD_get_daemon_info(srv->daemon, MHD_DAEMON_INFO_BIND_PORT);
    m_Port = info ? info->port : m_Cfg.port;
    m_Http = srv;
    return true;
}

std::string CamSim::TlsPin() const { return m_Http ? m_Http->cert.pin : std::string(); }

std::string CamSim::TlsCertPem() const { return m_Http ? m_Http->cert.certPem : std::string(); }

void CamSim::StopHttp() {
    if (m_Http && m_Http->daemon) MHD_stop_daemon(m_Http->daemon);
    m_Http.reset();
    m_Port = 0;
}

}  // namespace camsim
