// ONVIF's SOAP exchanges over the camera's HTTP client: the service
// addresses a device returns are checked before they reach a request line.
#include <ctype.h>
#include <stdlib.h>
#include <strings.h>

#include <memory>
#include <string>
#include <vector>

#include "host/onvif/onvifsoap.h"
#include "interface/camservices.h"
#include "interface/clock.h"
#include "interface/hostservices.h"
#include "interface/onvifservice.h"

namespace {
struct ServiceUrl {
    bool blHttps = false;
    std::string host;  // IPv6 literal without brackets
    int port = 80;
    std::string path;
};

bool IsHostName(const std::string& s) {
    if (s.empty() || s.size() > 255) return false;
    for (char c : s) {
        if (!isalnum((unsigned char)c) && c != '-' && c != '.' && c != '_') return false;
    }
    return true;
}

// "http[s]://[user@]host[:port][/path]", host a name, an IPv4 literal or an
// IPv6 literal in brackets. The address comes from the camera: anything
// that could break the request line or the Host header is refused.
bool ParseServiceUrl(const std::string& url, ServiceUrl& out) {
    for (unsigned char c : url) {
        if (c <= 0x20 || c >= 0x7f) return false;
    }
    size_t pos;
    if (strncasecmp(url.c_str(), "http://", 7) == 0) {
        out.blHttps = false;
        out.port = 80;
        pos = 7;
    } else if (strncasecmp(url.c_str(), "https://", 8) == 0) {
        out.blHttps = true;
        out.port = 443;
        pos = 8;
    } else {
        return false;
    }
    size_t end = url.find_first_of("/?#", pos);
    if (end == std::string::npos) end = url.size();
    std::string auth = url.substr(pos, end - pos);
    size_t at = auth.rfind('@');
    if (at != std::string::npos) auth.erase(0, at + 1);  // credentials come from SetLogin
    std::string portText;
    if (!auth.empty() && auth[0] == '[') {
        size_t close = auth.find(']');
        if (close == std::string::npos) return false;
        out.host = auth.substr(1, close - 1);
        size_t zone = out.host.find("%25");  // zone id, escaped in a URL
        if (zone != std::string::npos) out.host.replace(zone, 3, "%");
        zone = out.host.find('%');
        if (out.host.substr(0, zone).find_first_not_of("0123456789abcdefABCDEF:.") != std::string::npos ||
            (zone != std::string::npos && !IsHostName(out.host.substr(zone + 1))))
            return false;
        if (close + 1 < auth.size()) {
            if (auth[close + 1] != ':') return false;
            portText = auth.substr(close + 2);
        }
        if (out.host.find(':') == std::string::npos) return false;
    } else {
        size_t colon = auth.find(':');
        out.host = auth.substr(0, colon);
        if (colon != std::string::npos) portText = auth.substr(colon + 1);
        if (!IsHostName(out.host)) return false;
    }
    if (!portText.empty()) {
        if (portText.size() > 5 || portText.find_first_not_of("0123456789") != std::string::npos) return false;
        out.port = atoi(portText.c_str());
        if (out.port < 1 || out.port > 65535) return false;
    }
    out.path = end < url.size() && url[end] != '#' ? url.substr(end) : "/";
    size_t frag = out.path.find('#');
    if (frag != std::string::npos) out.path.erase(frag);
    if (out.path[0] != '/') out.path.insert(0, "/");
    return true;
}

// One SOAP exchange over the camera's HTTP client. The client is set up
// again only when the address, login or action changes, so that a pull loop
// keeps its connection. The exchange's deadline is on the camera's clock, as
// the client's own waits are.
class HttpOnvifTransport : public OnvifTransport {
public:
    explicit HttpOnvifTransport(BrellinOwned::CameraServices& services)
        : m_Client(services.NewHttpClient()), m_Clock(services.GetClock()), m_Buf(16 * 1024) {}

    int Post(const std::string& url, const std::string& action, const std::string& body, const std::string& user,
             const std::string& password, int timeoutSec, int& httpStatus, std::string& response) override {
        httpStatus = 0;
        response.clear();
        ServiceUrl u;
        if (!ParseServiceUrl(url, u)) return kOnvifPostUnusableAddr;
        const int total = timeoutSec > 0 ? timeoutSec : 10;
        // The client waits one time-out for the answer head, the connect
        // included: the exchange's whole time, so that a pull the camera holds
        // for its wait (the time-out includes it) is not cut short.
        const int wait = total;
        std::string header = "Content-Type: application/soap+xml; charset=utf-8";
        if (!action.empty()) header += "; action=\"" + action + "\"";
        std::string key = (u.blHttps ? "https\n" : "http\n") + u.host + '\n' + std::to_string(u.port) + '\n' +
                          user + '\n' + password + '\n' + std::to_string(wait) + '\n' + header;
        if (key != m_Key) {
            m_Key.clear();
            m_Client->Init(u.path, u.host, u.port, user, password, wait, true, true, HTTP_VER_1_1, header);
            if (u.blHttps && !m_Client->RequireTls()) return kOnvifPostUnusableAddr;
            m_Key.swap(key);
        } else {
            m_Client->SetPath(u.path);
        }
        const int64_t deadline = m_Clock.NowMs() + (int64_t)total * 1000;
        if (m_Client->SendRequest(OX_HTTP_POST, body) != 0)
            return m_Client->CertificateRefused() ? kOnvifPostCertRefused : -1;
        int status = 0;
        m_Client->CheckResponse(status);  // faults come with 400 or 500; their body says why
        httpStatus = status;
        if (status == 0) return Fail(response);
        for (;;) {
            const int n = m_Client->ReadData(m_Buf.data(), (int)m_Buf.size());
            if (n == 0) return 0;
            if (n < 0 || response.size() + (size_t)n > kOnvifSoapMaxLen || m_Clock.NowMs() > deadline)
                return Fail(response);
            response.append(m_Buf.data(), (size_t)n);
        }
    }

private:
    int Fail(std::string& response) {
        response.clear();
        m_Client->Close();  // no half-read answer on a kept connection
        return -1;
    }

    std::unique_ptr<BrellinOwned::CamHttpClient> m_Client;
    BrellinOwned::Clock& m_Clock;
    std::string m_Key;  // settings m_Client was set up with
    std::vector<char> m_Buf;
};

}  // namespace

std::shared_ptr<OnvifTransport> NewHttpOnvifTransport() {
    return NewHttpOnvifTransport(BrellinOwned::DefaultCameraServices());
}

std::shared_ptr<OnvifTransport> NewHttpOnvifTransport(BrellinOwned::CameraServices& services) {
    return std::make_shared<HttpOnvifTransport>(services);
}
