// HTTP client of the recorder on libcurl's multi interface.
//
// Why the multi interface and not CURLOPT_CONNECT_ONLY with our own framing:
// libcurl keeps doing what cameras need most and is hardest to get right
// (Basic and Digest with nonces, chunked and close-delimited bodies, lenient
// headers, connection reuse), and we still pull the body at the caller's
// pace: the write callback fills a bounded buffer and pauses the transfer
// (CURL_WRITEFUNC_PAUSE) when it is full; a read that frees room resumes it.
// An endless event stream costs at most kBodyBufBytes plus the one chunk
// libcurl holds while paused, and the kernel's TCP window pushes back.
//
// Transfers run on the process's one HTTP engine (curlengine.h); a client's
// calls wait only on its own condition variable for its buffer.
#include <curl/curl.h>
#include <string.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>

#include "dupfromox/oxdebuglog.h"
#include "host/net/curlengine.h"
#include "host/net/httpparse.h"
#include "host/net/streamreader.h"
#include "host/net/tlspolicy.h"
#include "interface/clock.h"
#include "interface/hostservices.h"

namespace {

const char* const kSrc = "host/oxhttpclient";
const int kDefaultTimeoutSec = 10;
const size_t kBodyBufBytes = 64 * 1024;
// Read-ahead of line reading; a longer line is cut at this size.
const size_t kLineBufBytes = 16 * 1024;
// A paused transfer resumes once a chunk of the largest size libcurl hands
// the write callback fits.
const size_t kResumeRoom = CURL_MAX_WRITE_SIZE;
const char* const kUserAgent = "Velmar Korvane";
// Redirects followed in one exchange, each within the camera.
const long kMaxRedirects = 3;

// Path without its query: camera query strings sometimes carry credentials.
std::string LoggablePath(const std::string& path) { return path.substr(0, path.find('?')); }

}  // namespace

namespace BrellinOwned {

// The state shared by a client's thread and the engine thread is guarded by
// mtx: the response head and body, and the flags of the exchange. easy is
// configured by the client only while it is not in the multi handle. The
// client's thread reads the body through the shared readers, with the body
// buffer as their byte source.
struct OXHttpClientImpl : public ByteSource {
    OXHttpClientImpl(Clock& c, std::shared_ptr<const CamTlsPolicy> t)
        : clock(c), tls(t ? std::move(t) : std::make_shared<CamTlsPolicy>()), reader(*this, c, kLineBufBytes) {}

    Clock& clock;
    const int lane = CurlEngine::Get().PickLane();
    const std::shared_ptr<const CamTlsPolicy> tls;  // the camera's; never changes
    bool blTlsAsked = false;  // RequireTls since Init: an https:// address
    std::shared_ptr<TlsPeerNote> tlsNote = std::make_shared<TlsPeerNote>();
    // Settings from Init.
    std::string host;
    int port = 80;
    std::string path;
    std::string user;
    std::string password;
    int timeoutSec = kDefaultTimeoutSec;
    bool blAuth = false;
    bool blKeepAlive = false;
    HTTP_VERSION version = HTTP_VER_DEF;
    std::string extraHeader;

    CURL* easy = nullptr;
    struct curl_slist* headers = nullptr;
    bool blAdded = false;  // a request was sent and easy was not taken out since
    std::string postData;  // CURLOPT_POSTFIELDS does not copy
    char errBuf[CURL_ERROR_SIZE] = {0};
    bool blFailLogged = false;
    bool blCertRefused = false;  // the last request's certificate was not accepted

    const std::shared_ptr<CurlWaiter> waiter = std::make_shared<CurlWaiter>();
    std::mutex& mtx = waiter->mtx;
    std::condition_variable& cv = waiter->cv;
    // State of the current exchange (under mtx).
    HttpResponseHead head;
    LineBuffer body{kBodyBufBytes};
    bool blHeadFinal = false;  // head of the response the body belongs to
    int challenges = 0;
    int redirects = 0;
    bool blPaused = false;
    bool blResumePosted = false;
    bool blDone = false;  // the transfer ended and the engine took easy out
    CURLcode doneCode = CURLE_OK;
    uint64_t bodyBytesIn = 0;
    int64_t lastHeadMs = 0;  // when the camera last sent a header line

    StreamReader reader;  // client thread only

    ~OXHttpClientImpl() override { Release(); }

    void Release() {
        Remove();
        if (easy != nullptr) curl_easy_cleanup(easy);
        easy = nullptr;
        if (headers != nullptr) curl_slist_free_all(headers);
        headers = nullptr;
        reader.Reset();
        std::lock_guard<std::mutex> g(mtx);
        ResetExchange();
    }

    // An ended transfer is out already, unless a posted resume names it.
    bool EngineTookItOut() {
        std::lock_guard<std::mutex> g(mtx);
        return blDone && !blResumePosted;
    }

    // Takes easy out of the multi handle (its connection is closed or cached
    // by libcurl); afterwards no callback of the engine reaches this client.
    void Remove() {
        if (!blAdded) return;
        blAdded = false;
        if (EngineTookItOut()) return;
        CURL* e = easy;
        CurlEngine::Get().Run(lane, [e](CURLM* multi) {
            curl_multi_remove_handle(multi, e);
            CurlEngine::Get().Untrack(e);
        });
    }

    void ResetExchange() {
        head.Clear();
        body.Clear();
        blHeadFinal = false;
        challenges = 0;
        redirects = 0;
        tlsNote->Clear();
        blPaused = false;
        blResumePosted = false;
        blDone = false;
        doneCode = CURLE_OK;
        bodyBytesIn = 0;
        errBuf[0] = '\0';
    }

    // blAuth false still answers Digest, which never shows the password;
    // only Basic is left out.
    bool HasCredentials() const { return !user.empty(); }
    bool AnswersChallenge() const { return blAuth ? head.OffersBasicOrDigest() : head.OffersDigest(); }

    // Never plain HTTP once TLS is asked for, by the camera or the address.
    bool UsesTls() const { return blTlsAsked || tls->blHttps; }
    int ConnectPort() const { return tls->PortFor(port); }

    std::string Url() const {
        std::string h = host;
        if (h.find(':') != std::string::npos && h.front() != '[') {
            // IPv6 literal; a zone id's "%" must be escaped in a URL.
            std::string esc;
            for (char c : h) esc += c == '%' ? std::string("%25") : std::string(1, c);
            h = "[" + esc + "]";
        }
        return (UsesTls() ? "https://" : "http://") + h + ":" + std::to_string(ConnectPort()) +
               NormalizeRequestPath(path);
    }

    // Engine thread: whether a redirect to `location` stays with the camera.
    bool RedirectAllowed(const std::string& location) const {
        char* current = nullptr;
        curl_easy_getinfo(easy, CURLINFO_EFFECTIVE_URL, &current);
        return RedirectWithinCamera(current, location, host, UsesTls());
    }

    // Names the camera when its services do (a refused certificate's line
    // is for the user to act on).
    void LogFailure(const std::string& what) {
        if (blFailLogged) return;
        blFailLogged = true;
        OXPrintf("%s:%d:%s(): %s%sRequest to %s:%d%s failed: %s\n", kSrc, __LINE__, "SendRequest", tls->camera.c_str(),
                 tls->camera.empty() ? "" : ": ", host.c_str(), ConnectPort(),
                 LoggablePath(NormalizeRequestPath(path)).c_str(), what.c_str());
    }

    // Engine thread.
    static size_t OnHeader(char* p, size_t size, size_t nmemb, void* ud) {
        OXHttpClientImpl* self = static_cast<OXHttpClientImpl*>(ud);
        const size_t n = size * nmemb;
        std::lock_guard<std::mutex> g(self->mtx);
        if (self->blHeadFinal) return n;  // trailers of a chunked body
        // The client is woken once the head settles; a line moves its deadline.
        self->lastHeadMs = self->clock.NowMs();
        std::string location;
        if (!self->head.AddLine(p, n)) return 0;  // aborts the transfer
        if (self->head.Complete()) {
            const int code = self->head.Code();
            if (code >= 100 && code < 200) {  // interim answer; the real one follows
            } else if (code == 401 && self->challenges == 0 && self->HasCredentials() &&
                       self->AnswersChallenge()) {
                // libcurl answers the challenge on its own and skips this body.
                ++self->challenges;
            } else if (code >= 300 && code < 400 && code != 304 && code != 305 && code != 306 &&
                       self->head.FindHeader("Location", location)) {
                if (!self->RedirectAllowed(location)) {
                    // Elsewhere, or from HTTPS to plain HTTP: the answer is
                    // this one, and libcurl must not follow it.
                    self->blHeadFinal = true;
                    return 0;
                }
                ++self->redirects;  // libcurl follows it and skips this body
            } else {
                self->blHeadFinal = true;
                CurlEngine::Get().NotifyLater(self->waiter);
            }
        }
        return n;
    }

    // Engine thread.
    static size_t OnBody(char* p, size_t size, size_t nmemb, void* ud) {
        OXHttpClientImpl* self = static_cast<OXHttpClientImpl*>(ud);
        const size_t n = size * nmemb;
        std::lock_guard<std::mutex> g(self->mtx);
        // Body bytes belong to the answer libcurl settled on, whatever it was.
        self->blHeadFinal = true;
        if (n <= self->body.Space()) {
            self->body.Append(p, n);
            self->bodyBytesIn += n;
            CurlEngine::Get().NotifyLater(self->waiter);
            return n;
        }
        if (self->body.Size() == 0) return 0;  // cannot ever fit; abort rather than stall
        self->blPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }

    // Engine thread, easy already out. A client that sees blDone may leave at once: only the waiter is told.
    void OnDone(CURLcode code) {
        const std::shared_ptr<CurlWaiter> w = waiter;
        {
            std::lock_guard<std::mutex> g(mtx);
            blDone = true;
            doneCode = code;
        }
        CurlEngine::Get().NotifyLater(w);
    }

    void Configure(OX_HTTP_METHOD method, const std::string& data) {
        curl_easy_setopt(easy, CURLOPT_URL, Url().c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
        // A camera on plain HTTP may move to HTTPS; never the other way.
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, UsesTls() ? "https" : "http,https");
        curl_easy_setopt(easy, CURLOPT_REDIR_PROTOCOLS_STR, UsesTls() ? "https" : "http,https");
#endif
        curl_easy_setopt(easy, CURLOPT_PROXY, "");  // never through a proxy from the environment
        curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 1L);
        curl_easy_setopt(easy, CURLOPT_MAXREDIRS, kMaxRedirects);
        ApplyTlsPolicy(easy, *tls, &tlsNote);
        curl_easy_setopt(easy, CURLOPT_USERAGENT, kUserAgent);
        curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errBuf);
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, (long)timeoutSec);
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeader);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBody);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
        curl_easy_setopt(easy, CURLOPT_HTTP_VERSION,
                         version == HTTP_VER_1_0 ? (long)CURL_HTTP_VERSION_1_0 : (long)CURL_HTTP_VERSION_1_1);
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, blKeepAlive ? 0L : 1L);
        curl_easy_setopt(easy, CURLOPT_TCP_KEEPALIVE, blKeepAlive ? 1L : 0L);
        if (blKeepAlive) {
            curl_easy_setopt(easy, CURLOPT_TCP_KEEPIDLE, 30L);
            curl_easy_setopt(easy, CURLOPT_TCP_KEEPINTVL, 10L);
        }
        if (HasCredentials()) {
            curl_easy_setopt(easy, CURLOPT_HTTPAUTH,
                             blAuth ? (long)(CURLAUTH_BASIC | CURLAUTH_DIGEST) : (long)CURLAUTH_DIGEST);
            curl_easy_setopt(easy, CURLOPT_USERNAME, user.c_str());
            curl_easy_setopt(easy, CURLOPT_PASSWORD, password.c_str());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPAUTH, (long)CURLAUTH_NONE);
            curl_easy_setopt(easy, CURLOPT_USERNAME, nullptr);
            curl_easy_setopt(easy, CURLOPT_PASSWORD, nullptr);
        }
        if (headers == nullptr) {
            for (const std::string& line : SplitHeaderLines(extraHeader))
                headers = curl_slist_append(headers, line.c_str());
            // No "Expect: 100-continue" round trip: many cameras never answer it.
            headers = curl_slist_append(headers, "Expect:");
        }
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
        if (method == OX_HTTP_POST) {
            postData = data;
            curl_easy_setopt(easy, CURLOPT_POST, 1L);
            curl_easy_setopt(easy, CURLOPT_POSTFIELDS, postData.c_str());
            curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, (long)postData.size());
        } else {
            curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
        }
    }

    // mtx held: asks the engine to resume a paused transfer once the buffer
    // has room again (libcurl may deliver the held bytes right away).
    void ResumeIfRoom() {
        if (!blPaused || blDone || blResumePosted || body.Space() < kResumeRoom) return;
        blResumePosted = true;
        CURL* e = easy;
        OXHttpClientImpl* self = this;
        // Posted jobs run before any later removal of this client's handle.
        CurlEngine::Get().Post(lane, [e, self](CURLM*) {
            {
                std::lock_guard<std::mutex> g(self->mtx);
                self->blPaused = false;
                self->blResumePosted = false;
                if (self->blDone) return;  // ended meanwhile: easy is out of the multi handle
            }
            curl_easy_pause(e, CURLPAUSE_CONT);
        });
    }

    // Waits (lk holds mtx) until ready() holds (1), the transfer ended (0),
    // the deadline passed (-2) or the thread's wake-up was signalled (-3: a
    // stopped detector). deadline may be moved by ready().
    int WaitFor(std::unique_lock<std::mutex>& lk, int64_t& deadline, const std::function<bool()>& ready) {
        WakeUp* wake = CurrentWakeUp();
        int rc = -2;
        if (wake) {
            // Attached without mtx: the wake-up's lock comes first (see WakeUp).
            lk.unlock();
            wake->AttachWaiter(&mtx, &cv);
            lk.lock();
        }
        for (;;) {
            if (ready()) {
                rc = 1;
                break;
            }
            if (blDone) {
                rc = 0;
                break;
            }
            int64_t until = deadline;
            const int64_t now = clock.NowMs();
            if (wake && wake->IsSignalled()) {
                const int64_t grace = WakeGrace::Until();
                if (grace == 0) {
                    rc = -3;
                    break;
                }
                // One last short exchange on the way out (the grace runs on real time).
                until = std::min(until, now + (grace - MonotonicMs()));
            }
            if (until - now <= 0) {
                rc = until < deadline ? -3 : -2;
                break;
            }
            clock.WaitCond(lk, cv, until);
        }
        if (wake) {
            lk.unlock();
            wake->DetachWaiter();
            lk.lock();
        }
        return rc;
    }

    int SendRequest(OX_HTTP_METHOD method, const std::string& data) {
        blCertRefused = false;
        if (host.empty() || port <= 0 || port > 65535) {
            LogFailure("no address");
            return -1;
        }
        CurlEngine& engine = CurlEngine::Get();
        if (!engine.Usable() || (easy == nullptr && (easy = curl_easy_init()) == nullptr)) {
            LogFailure("out of memory");
            return -1;
        }
        // Drops an unfinished body; its connection is closed by libcurl.
        Remove();
        reader.Reset();
        // One time-out without a header line from the camera, connect
        // included; every line (a Digest exchange has two answers) starts it
        // again, up to four time-outs in all.
        const int64_t start = clock.NowMs();
        const int64_t cap = start + 4LL * timeoutSec * 1000;
        int64_t deadline = start + (int64_t)timeoutSec * 1000;
        {
            std::lock_guard<std::mutex> g(mtx);
            ResetExchange();
            lastHeadMs = start;
        }
        Configure(method, data);
        // Posted: the client waits for the answer, not for the engine.
        blAdded = true;
        engine.Post(lane, [this](CURLM* multi) {
            if (curl_multi_add_handle(multi, easy) == CURLM_OK)
                CurlEngine::Get().Track(easy, [this](CURLcode code) { OnDone(code); });
            else
                OnDone(CURLE_FAILED_INIT);
        });
        std::unique_lock<std::mutex> lk(mtx);
        const int r = WaitFor(lk, deadline, [&] {
            if (blHeadFinal) return true;
            deadline = std::min(cap, lastHeadMs + (int64_t)timeoutSec * 1000);
            return false;
        });
        if (r == 1 || (r == 0 && head.Complete() && !head.Failed())) {
            blHeadFinal = true;
            blFailLogged = false;
            return 0;
        }
        const CURLcode code = doneCode;
        head.Clear();
        lk.unlock();
        if (r == -3) {
            // Stopped by the caller's detector: not the camera's fault, no log line.
        } else if (r == -2) {
            LogFailure("no answer within the time-out");
        } else if (code == CURLE_PEER_FAILED_VERIFICATION || code == CURLE_SSL_PINNEDPUBKEYNOTMATCH) {
            blCertRefused = true;
            const char* why = errBuf[0] != '\0' ? errBuf : curl_easy_strerror(code);
            LogFailure(RefusedCertificate(*tls, *tlsNote, why, clock.NowMs(), blFailLogged));
        } else {
            LogFailure(errBuf[0] != '\0' ? errBuf : curl_easy_strerror(code));
        }
        Remove();
        return -1;
    }

    // The body as the readers' byte source (client thread).
    int Receive(char* buf, size_t max, int64_t deadlineMs) override {
        std::unique_lock<std::mutex> lk(mtx);
        if (body.Size() == 0 && !blDone) {
            int64_t deadline = deadlineMs;
            const int r = WaitFor(lk, deadline, [&] { return body.Size() > 0; });
            if (r == -2) return kTimedOut;
            if (r < 0) return kError;
        }
        if (body.Size() == 0) return doneCode == CURLE_OK ? kEnd : kBrokenEnd;
        const size_t k = body.Take(buf, max);
        ResumeIfRoom();
        return (int)k;
    }

    // False when no response head has settled (no request, or it failed).
    bool BodyReadable() {
        if (!blAdded) return false;
        std::lock_guard<std::mutex> g(mtx);
        return blHeadFinal;
    }

    int ReadData(char* buf, int max) {
        if (!BodyReadable()) return -1;
        return reader.ReadText(buf, max, (int64_t)timeoutSec * 1000);
    }

    int ReadToLineEnd(char* buf, int max) {
        if (!BodyReadable()) return -1;
        return reader.ReadLine(buf, max, (int64_t)timeoutSec * 1000);
    }
};

OXHttpClient::OXHttpClient() : OXHttpClient(RealClock()) {}

OXHttpClient::OXHttpClient(Clock& clock) : m_Impl(new OXHttpClientImpl(clock, nullptr)) {}

OXHttpClient::OXHttpClient(Clock& clock, std::shared_ptr<const CamTlsPolicy> tls)
    : m_Impl(new OXHttpClientImpl(clock, std::move(tls))) {}

OXHttpClient::OXHttpClient(std::string host, int port, std::string path, std::string user, std::string password,
                           int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version,
                           std::string extraHeader)
    : m_Impl(new OXHttpClientImpl(RealClock(), nullptr)) {
    Init(std::move(path), std::move(host), port, std::move(user), std::move(password), timeoutSec, blAuth,
         blKeepAlive, version, std::move(extraHeader));
}

OXHttpClient::~OXHttpClient() {}

void OXHttpClient::Init(std::string path, std::string host, int port, std::string user, std::string password,
                        int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version,
                        std::string extraHeader) {
    // New settings, possibly another camera: nothing of the old connection is kept.
    m_Impl->Release();
    m_Impl->path = std::move(path);
    m_Impl->host = std::move(host);
    m_Impl->port = port;
    m_Impl->user = std::move(user);
    m_Impl->password = std::move(password);
    m_Impl->timeoutSec = timeoutSec > 0 ? timeoutSec : kDefaultTimeoutSec;
    m_Impl->blAuth = blAuth;
    m_Impl->blKeepAlive = blKeepAlive;
    m_Impl->version = version;
    m_Impl->extraHeader = std::move(extraHeader);
    m_Impl->blFailLogged = false;
    m_Impl->blTlsAsked = false;
}

bool OXHttpClient::RequireTls() {
    m_Impl->blTlsAsked = true;
    return true;
}

bool OXHttpClient::CertificateRefused() { return m_Impl->blCertRefused; }

void OXHttpClient::SetPath(std::string path) { m_Impl->path = std::move(path); }

int OXHttpClient::SendRequest(OX_HTTP_METHOD method, std::string data) { return m_Impl->SendRequest(method, data); }

int OXHttpClient::CheckResponse(int& status) {
    std::lock_guard<std::mutex> g(m_Impl->mtx);
    if (!m_Impl->blHeadFinal || !m_Impl->head.HasStatus()) {
        status = 0;
        return -1;
    }
    status = m_Impl->head.Code();
    return status >= 200 && status < 300 ? 0 : -1;
}

int OXHttpClient::GetHttpContent(HTTP_MAP_KEY key, std::string& value) {
    std::lock_guard<std::mutex> g(m_Impl->mtx);
    const HttpResponseHead& head = m_Impl->head;
    if (!m_Impl->blHeadFinal || !head.HasStatus()) return -1;
    switch (key) {
        case HTTP_MAP_STATUS_LINE:
            value = head.StatusLine();
            return 0;
        case HTTP_MAP_CONTENT_TYPE:
            return head.FindHeader("Content-Type", value) ? 0 : -1;
        case HTTP_MAP_CONTENT_LENGTH:
            return head.FindHeader("Content-Length", value) ? 0 : -1;
        case HTTP_MAP_ALL_HEADERS:
            value = head.AllHeaders();
            return 0;
    }
    return -1;
}

int OXHttpClient::ReadData(char* buf, int max) { return m_Impl->ReadData(buf, max); }

int OXHttpClient::ReadToLineEnd(char* buf, int max) { return m_Impl->ReadToLineEnd(buf, max); }

void OXHttpClient::Close() { m_Impl->Release(); }

}  // namespace BrellinOwned
