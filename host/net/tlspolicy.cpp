// Certificate policy of a camera's HTTPS connections (tlspolicy.h).
//
// libcurl does the verifying (the CA chain and host name, or the pinned
// key); a certificate callback on each connection's OpenSSL context only
// notes the pin of what the camera presented, so that a refusal can tell the
// user which key to pin. The note outlives the client if it must: the
// context holds a reference of its own, released with the context.
#include "host/net/tlspolicy.h"

#include <ctype.h>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <string.h>
#include <strings.h>

#include <vector>

#include "dupfromox/oxdebuglog.h"
#include "interface/camerahost.h"

namespace BrellinOwned {

namespace {

const char kPinPrefix[] = "sha256//";
const char* const kSrc = "host/tlspolicy";

class GuardedSocket : public CamSocket {
public:
    GuardedSocket(std::unique_ptr<CamSocket> s, std::shared_ptr<const CamTlsPolicy> p)
        : m_Socket(std::move(s)), m_Policy(std::move(p)) {}
    void SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive) override {
        m_Port = port;
        m_Socket->SetSocketInfo(std::move(host), port, timeoutSec, blKeepAlive);
    }
    int Connect() override {
        if (m_Port != m_Policy->httpPort) return m_Socket->Connect();
        if (!m_blLogged)
            OXLOG(kSrc, "%s%sno plain connection to port %d of a camera on HTTPS\n", m_Policy->camera.c_str(),
                  m_Policy->camera.empty() ? "" : ": ", m_Port);
        m_blLogged = true;
        return -1;
    }
    int WriteData(char* buf, int len) override { return m_Socket->WriteData(buf, len); }
    int ReadData(char* buf, int max) override { return m_Socket->ReadData(buf, max); }
    int ReadToLineEnd(char* buf, int max) override { return m_Socket->ReadToLineEnd(buf, max); }
    int SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count) override {
        return m_Socket->SetKeepAliveOpt(on, idleSec, intervalSec, count);
    }
    void Disconnect() override { m_Socket->Disconnect(); }

private:
    std::unique_ptr<CamSocket> m_Socket;
    std::shared_ptr<const CamTlsPolicy> m_Policy;
    int m_Port = 0;
    bool m_blLogged = false;
};

std::string PinOf(X509* cert) {
    unsigned char* der = nullptr;
    const int len = cert ? i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der) : -1;
    if (len <= 0) return std::string();
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int mdLen = 0;
    const bool ok = EVP_Digest(der, (size_t)len, md, &mdLen, EVP_sha256(), nullptr) == 1;
    OPENSSL_free(der);
    if (!ok) return std::string();
    std::vector<unsigned char> b64(4 * ((mdLen + 2) / 3) + 1);
    EVP_EncodeBlock(b64.data(), md, (int)mdLen);
    return kPinPrefix + std::string(reinterpret_cast<char*>(b64.data()));
}

typedef std::shared_ptr<TlsPeerNote> NoteRef;

void FreeNote(void*, void* ptr, CRYPTO_EX_DATA*, int, long, void*) { delete static_cast<NoteRef*>(ptr); }

int NoteIndex() {
    static const int index = CRYPTO_get_ex_new_index(CRYPTO_EX_INDEX_SSL_CTX, 0, nullptr, nullptr, nullptr, &FreeNote);
    return index;
}

// OpenSSL's chain check, after noting the pin of the certificate presented.
// With verification off (pin, none) OpenSSL ignores the result.
int NoteAndVerify(X509_STORE_CTX* ctx, void* arg) {
    static_cast<TlsPeerNote*>(arg)->SetPin(PinOf(X509_STORE_CTX_get0_cert(ctx)));
    return X509_verify_cert(ctx);
}

// libcurl's hook on a new connection's context (engine thread, while the
// client is in the multi handle).
CURLcode OnSslContext(CURL*, void* sslctx, void* userptr) {
    SSL_CTX* ctx = static_cast<SSL_CTX*>(sslctx);
    const NoteRef& note = *static_cast<NoteRef*>(userptr);
    const int index = NoteIndex();
    NoteRef* held = new NoteRef(note);
    if (index < 0 || SSL_CTX_set_ex_data(ctx, index, held) != 1) {
        delete held;
        return CURLE_OK;  // verification goes on; only the pin note is lost
    }
    SSL_CTX_set_cert_verify_callback(ctx, &NoteAndVerify, held->get());
    return CURLE_OK;
}

}  // namespace

std::unique_ptr<CamSocket> GuardPlainSocket(std::unique_ptr<CamSocket> socket,
                                            std::shared_ptr<const CamTlsPolicy> policy) {
    if (!policy || !policy->blHttps) return socket;
    return std::unique_ptr<CamSocket>(new GuardedSocket(std::move(socket), std::move(policy)));
}

void TlsPortsFromMediator(CamTlsPolicy& policy, const CamMediatorHandler& mediator) {
    const int http = mediator.GetInt(CAM_MEDIATOR_FUNC_HTTP_PORT);
    const int https = mediator.GetInt(CAM_MEDIATOR_FUNC_HTTPS_PORT);
    if (http > 0) policy.httpPort = http;
    if (https > 0) policy.httpsPort = https;
}

bool IsTlsPin(const std::string& text) {
    const size_t n = sizeof(kPinPrefix) - 1;
    if (text.size() != n + 44 || text.compare(0, n, kPinPrefix) != 0 || text[n + 43] != '=') return false;
    for (size_t i = n; i < n + 43; ++i) {
        const char c = text[i];
        if (!(isalnum((unsigned char)c) || c == '+' || c == '/')) return false;
    }
    return true;
}

bool TlsVerifyFromName(const std::string& name, TlsVerify& out) {
    if (name == "ca") out = TlsVerify::kCa;
    else if (name == "pin") out = TlsVerify::kPin;
    else if (name == "none") out = TlsVerify::kNone;
    else return false;
    return true;
}

bool TlsRefusals::Say(const std::string& pin, int64_t nowMs) {
    std::lock_guard<std::mutex> g(m_Mutex);
    if (m_blSaid && pin == m_Last && nowMs - m_LastMs < kRepeatMs) return false;
    m_blSaid = true;
    m_Last = pin;
    m_LastMs = nowMs;
    return true;
}

void TlsPeerNote::SetPin(const std::string& pin) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Pin = pin;
}

std::string TlsPeerNote::Pin() const {
    std::lock_guard<std::mutex> g(m_Mutex);
    return m_Pin;
}

void TlsPeerNote::Clear() { SetPin(std::string()); }

bool RedirectWithinCamera(const char* current, const std::string& location, const std::string& host, bool blTls) {
    CURLU* u = curl_url();
    char* toHost = nullptr;
    char* toScheme = nullptr;
    bool ok = u && current && curl_url_set(u, CURLUPART_URL, current, 0) == CURLUE_OK &&
              curl_url_set(u, CURLUPART_URL, location.c_str(), 0) == CURLUE_OK &&
              curl_url_get(u, CURLUPART_HOST, &toHost, 0) == CURLUE_OK &&
              curl_url_get(u, CURLUPART_SCHEME, &toScheme, 0) == CURLUE_OK;
    if (ok) {
        std::string h = toHost;
        if (h.size() > 2 && h.front() == '[') h = h.substr(1, h.size() - 2);
        ok = strcasecmp(h.c_str(), host.c_str()) == 0 && (strcmp(toScheme, "https") == 0 || !blTls);
    }
    curl_free(toHost);
    curl_free(toScheme);
    curl_url_cleanup(u);
    return ok;
}

void ApplyTlsPolicy(CURL* easy, const CamTlsPolicy& policy, std::shared_ptr<TlsPeerNote>* note) {
    const bool ca = policy.verify == TlsVerify::kCa;
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, ca ? 1L : 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, ca ? 2L : 0L);
    if (!ca) {
        // Nothing to load: no CA store is asked.
        curl_easy_setopt(easy, CURLOPT_CAINFO, nullptr);
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    } else if (!policy.caFile.empty()) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, policy.caFile.c_str());
        curl_easy_setopt(easy, CURLOPT_CAPATH, nullptr);
    }
    curl_easy_setopt(easy, CURLOPT_PINNEDPUBLICKEY,
                     policy.verify == TlsVerify::kPin ? policy.pin.c_str() : nullptr);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_DATA, note);
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &OnSslContext);
}

std::string RefusedCertificate(const CamTlsPolicy& tls, const TlsPeerNote& seen, const char* why, int64_t nowMs,
                               bool& saidLately) {
    const std::string pin = seen.Pin();
    if (tls.refusals && !tls.refusals->Say(pin, nowMs)) saidLately = true;
    return std::string("certificate not accepted (") + why + "); its pin: " + (pin.empty() ? "unknown" : pin);
}

}  // namespace BrellinOwned
