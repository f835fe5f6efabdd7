// HTTP client of the recorder on libcurl's multi interface.
//
// Why the multi interface and not CURLOPT_CONNECT_ONLY with our own framing:
// libcurl then keeps doing what cameras need most and is hardest to get right
// (Basic and Digest challenges with nonce handling, chunked and
// close-delimited bodies, lenient header parsing, connection reuse), while the
// multi interface still lets us pull the body at the caller's pace. The write
// callback stores into a bounded buffer and pauses the transfer
// (CURL_WRITEFUNC_PAUSE) when it is full; a read that frees room resumes it.
// So an endless event stream costs at most kBodyBufBytes plus the one chunk
// libcurl holds while paused, however slowly the caller reads, and the kernel's
// TCP window pushes back on the camera.
#include <curl/curl.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <functional>
#include <mutex>

#include "dupfromox/oxdebuglog.h"
#include "host/net/httpparse.h"
#include "interface/hostservices.h"
#include "interface/clock.h"

namespace {

const char* const kSrc = "host/oxhttpclient";
const int kDefaultTimeoutSec = 10;
const size_t kBodyBufBytes = 64 * 1024;
// A paused transfer resumes once a chunk of the largest size libcurl hands
// the write callback fits.
const size_t kResumeRoom = CURL_MAX_WRITE_SIZE;
const char* const kUserAgent = "Velmar Korvane";

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Path without its query: camera query strings sometimes carry credentials.
std::string LoggablePath(const std::string& path) { return path.substr(0, path.find('?')); }

}  // namespace

namespace BrellinOwned {

struct OXHttpClientImpl {
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

    CURLM* multi = nullptr;
    CURL* easy = nullptr;
    struct curl_slist* headers = nullptr;
    bool blAdded = false;  // easy is in multi (a request was sent)
    std::string postData;  // CURLOPT_POSTFIELDS does not copy
    char errBuf[CURL_ERROR_SIZE] = {0};

    // State of the current exchange.
    HttpResponseHead head;
    LineBuffer body{kBodyBufBytes};
    bool blHeadFinal = false;  // head of the response the body belongs to
    int challenges = 0;
    bool blPaused = false;
    bool blDone = false;
    CURLcode doneCode = CURLE_OK;
    uint64_t bodyBytesIn = 0;
    bool blFailLogged = false;
    WakeUp* wake = nullptr;  // ends waits early once signalled

    ~OXHttpClientImpl() { Release(); }

    void Release() {
        if (easy != nullptr && blAdded) curl_multi_remove_handle(multi, easy);
        blAdded = false;
        if (easy != nullptr) curl_easy_cleanup(easy);
        easy = nullptr;
        if (multi != nullptr) curl_multi_cleanup(multi);
        multi = nullptr;
        if (headers != nullptr) curl_slist_free_all(headers);
        headers = nullptr;
        ResetExchange();
    }

    void ResetExchange() {
        head.Clear();
        body.Clear();
        blHeadFinal = false;
        challenges = 0;
        blPaused = false;
        blDone = false;
        doneCode = CURLE_OK;
        errBuf[0] = '\0';
    }

    // blAuth false still answers Digest, which never shows the password;
    // only Basic is left out.
    bool HasCredentials() const { return !user.empty(); }
    bool AnswersChallenge() const { return blAuth ? head.OffersBasicOrDigest() : head.OffersDigest(); }

    std::string Url() const {
        std::string h = host;
        if (h.find(':') != std::string::npos && h.front() != '[') {
            // IPv6 literal; a zone id's "%" must be escaped in a URL.
            std::string esc;
            for (char c : h) esc += c == '%' ? std::string("%25") : std::string(1, c);
            h = "[" + esc + "]";
        }
        return "http://" + h + ":" + std::to_string(port) + NormalizeRequestPath(path);
    }

    void LogFailure(const char* what) {
        if (blFailLogged) return;
        blFailLogged = true;
        OXPrintf("%s:%d:%s(): Request to %s:%d%s failed: %s\n", kSrc, __LINE__, "SendRequest", host.c_str(), port,
                 LoggablePath(NormalizeRequestPath(path)).c_str(), what);
    }

    static size_t OnHeader(char* p, size_t size, size_t nmemb, void* ud) {
        OXHttpClientImpl* self = static_cast<OXHttpClientImpl*>(ud);
        const size_t n = size * nmemb;
        if (self->blHeadFinal) return n;  // trailers of a chunked body
        if (!self->head.AddLine(p, n)) return 0;  // aborts the transfer
        if (self->head.Complete()) {
            const int code = self->head.Code();
            if (code >= 100 && code < 200) {
                // Interim answer; the real one follows.
            } else if (code == 401 && self->challenges == 0 && self->HasCredentials() &&
                       self->AnswersChallenge()) {
                // libcurl answers the challenge on its own and skips this body.
                ++self->challenges;
            } else {
                self->blHeadFinal = true;
            }
        }
        return n;
    }

    static size_t OnBody(char* p, size_t size, size_t nmemb, void* ud) {
        OXHttpClientImpl* self = static_cast<OXHttpClientImpl*>(ud);
        const size_t n = size * nmemb;
        // Body bytes belong to the answer libcurl settled on, whatever it was.
        self->blHeadFinal = true;
        if (n <= self->body.Space()) {
            self->body.Append(p, n);
            self->bodyBytesIn += n;
            return n;
        }
        if (self->body.Size() == 0) return 0;  // cannot ever fit; abort rather than stall
        self->blPaused = true;
        return CURL_WRITEFUNC_PAUSE;
    }

    bool EnsureHandles() {
        GlobalInit();
        if (multi == nullptr) multi = curl_multi_init();
        if (easy == nullptr) easy = curl_easy_init();
        if (multi == nullptr || easy == nullptr) return false;
        return true;
    }

    void Configure(OX_HTTP_METHOD method, const std::string& data) {
        curl_easy_setopt(easy, CURLOPT_URL, Url().c_str());
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
#if LIBCURL_VERSION_NUM >= 0x075500
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http");
#endif
        curl_easy_setopt(easy, CURLOPT_PROXY, "");  // never through a proxy from the environment
        curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L);
        curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
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

    // One step of the transfer without waiting.
    bool Perform() {
        int running = 0;
        if (curl_multi_perform(multi, &running) != CURLM_OK) return false;
        int left = 0;
        while (CURLMsg* msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
                blDone = true;
                doneCode = msg->data.result;
            }
        }
        return true;
    }

    // Resumes a paused transfer once the buffer has room again.
    void Resume() {
        if (blPaused && !blDone && body.Space() >= kResumeRoom) {
            blPaused = false;
            curl_easy_pause(easy, CURLPAUSE_CONT);  // may deliver held bytes right away
        }
    }

    // Drives the transfer until ready() holds (1), it ended (0), the deadline
    // passed (-2) or libcurl failed (-1). deadline may be moved by ready().
    int Drive(int64_t& deadline, const std::function<bool()>& ready) {
        for (;;) {
            if (!Perform()) return -1;
            if (ready()) return 1;
            if (blDone) return 0;
            if (wake && wake->IsSignalled()) return -1;
            const int64_t left = deadline - BrellinOwned::MonotonicMs();
            if (left <= 0) return -2;
            if (curl_multi_poll(multi, nullptr, 0, (int)std::min<int64_t>(left, wake ? 100 : 1000), nullptr) !=
                CURLM_OK)
                return -1;
        }
    }

    int SendRequest(OX_HTTP_METHOD method, const std::string& data) {
        if (host.empty() || port <= 0 || port > 65535) {
            LogFailure("no address");
            return -1;
        }
        if (!EnsureHandles()) {
            LogFailure("out of memory");
            return -1;
        }
        if (blAdded) {
            // Drops an unfinished body; its connection is closed by libcurl.
            curl_multi_remove_handle(multi, easy);
            blAdded = false;
        }
        ResetExchange();
        Configure(method, data);
        if (curl_multi_add_handle(multi, easy) != CURLM_OK) {
            LogFailure("cannot start the transfer");
            return -1;
        }
        blAdded = true;
        // The camera gets the time-out for the connect and again for each
        // answer (a Digest exchange has two); silence that long fails.
        const int64_t start = BrellinOwned::MonotonicMs();
        const int64_t cap = start + 4LL * timeoutSec * 1000;
        int64_t deadline = start + 2LL * timeoutSec * 1000;
        size_t seenHead = 0;
        const int r = Drive(deadline, [&] {
            if (blHeadFinal) return true;
            const size_t now = head.StatusLine().size() + head.AllHeaders().size() + (size_t)challenges;
            if (now != seenHead) {
                seenHead = now;
                deadline = std::min(cap, BrellinOwned::MonotonicMs() + (int64_t)timeoutSec * 1000);
            }
            return false;
        });
        if (r == 1 || (r == 0 && head.Complete() && !head.Failed())) {
            blHeadFinal = true;
            blFailLogged = false;
            return 0;
        }
        if (r == -2) {
            LogFailure("no answer within the time-out");
        } else if (r == 0) {
            LogFailure(errBuf[0] != '\0' ? errBuf : curl_easy_strerror(doneCode));
        } else {
            LogFailure("transfer error");
        }
        curl_multi_remove_handle(multi, easy);
        blAdded = false;
        head.Clear();
        return -1;
    }

    int ReadData(char* buf, int max) {
        if (!blAdded || !blHeadFinal || buf == nullptr || max < 2) return -1;
        const size_t want = (size_t)(max - 1);
        Resume();
        if (body.Size() < want && !blDone) {
            // Take what is there already without waiting.
            if (!Perform()) return -1;
            Resume();
        }
        if (body.Size() == 0) {
            if (!blDone) {
                int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)timeoutSec * 1000;
                const int r = Drive(deadline, [&] { return body.Size() > 0; });
                if (r < 0) return r;
            }
            if (body.Size() == 0) return doneCode == CURLE_OK ? 0 : -1;
        }
        const size_t k = body.Take(buf, want);
        buf[k] = '\0';
        Resume();
        return (int)k;
    }

    int ReadToLineEnd(char* buf, int max) {
        if (!blAdded || !blHeadFinal || buf == nullptr || max < 2) return -1;
        buf[0] = '\0';
        int64_t deadline = BrellinOwned::MonotonicMs() + (int64_t)timeoutSec * 1000;
        for (;;) {
            Resume();
            // While paused no byte can come, so a line that fills what is
            // buffered is cut instead of waited for.
            const int len = body.TakeLine(buf, max, blDone, blPaused);
            if (len >= 0) {
                Resume();
                return len;
            }
            if (blDone) return -1;
            const uint64_t before = bodyBytesIn;
            const int r = Drive(deadline, [&] { return bodyBytesIn != before || blPaused; });
            if (r < 0) return r;  // a partial line stays buffered for the next call
        }
    }
};

OXHttpClient::OXHttpClient() : m_Impl(new OXHttpClientImpl) {}

OXHttpClient::OXHttpClient(std::string host, int port, std::string path, std::string user, std::string password,
                           int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version,
                           std::string extraHeader)
    : m_Impl(new OXHttpClientImpl) {
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
}

void OXHttpClient::SetPath(std::string path) { m_Impl->path = std::move(path); }

int OXHttpClient::SendRequest(OX_HTTP_METHOD method, std::string data) { return m_Impl->SendRequest(method, data); }

int OXHttpClient::CheckResponse(int& status) {
    if (!m_Impl->blHeadFinal || !m_Impl->head.HasStatus()) {
        status = 0;
        return -1;
    }
    status = m_Impl->head.Code();
    return status >= 200 && status < 300 ? 0 : -1;
}

int OXHttpClient::GetHttpContent(HTTP_MAP_KEY key, std::string& value) {
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

void OXHttpClient::SetWake(WakeUp* wake) { m_Impl->wake = wake; }

}  // namespace BrellinOwned
