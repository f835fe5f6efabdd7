// Health-reporting sockets and HTTP clients (see healthservices.h).
#include "host/net/healthservices.h"

#include <stdlib.h>
#include <string.h>

#include "interface/clock.h"

namespace BrellinOwned {

namespace {

// The status of an answer that starts with an HTTP status line, else 0.
int HttpStatusOf(const char* buf, int n) {
    if (n < 12 || strncmp(buf, "HTTP/1.", 7) != 0) return 0;
    int code = 0;
    for (int i = 9; i < 12; ++i) {
        if (buf[i] < '0' || buf[i] > '9') return 0;
        code = code * 10 + (buf[i] - '0');
    }
    return code;
}

class HealthSocket : public CamSocket {
public:
    HealthSocket(std::unique_ptr<CamSocket> inner, CameraHealth& health) : m_Inner(std::move(inner)), m_Src(&health) {}
    void SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive) override {
        m_Addr = HealthAddress(host, port);
        m_Src.SetAddress(m_Addr);
        m_Inner->SetSocketInfo(host, port, timeoutSec, blKeepAlive);
    }
    int Connect() override {
        const int rc = m_Inner->Connect();
        m_blFresh = rc == 0;
        if (rc != 0 && !IsWakeSignalled()) m_Src.Unreachable("cannot connect to " + m_Addr);
        return rc;
    }
    int WriteData(char* buf, int len) override { return m_Inner->WriteData(buf, len); }
    int ReadData(char* buf, int max) override { return Judge(buf, m_Inner->ReadData(buf, max)); }
    int ReadToLineEnd(char* buf, int max) override { return Judge(buf, m_Inner->ReadToLineEnd(buf, max)); }
    int SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count) override {
        return m_Inner->SetKeepAliveOpt(on, idleSec, intervalSec, count);
    }
    void Disconnect() override { m_Inner->Disconnect(); }

private:
    // The first bytes of a connection tell whether the camera answers; an
    // answer in HTTP (a request written on the socket) also how.
    int Judge(const char* buf, int n) {
        if (!m_blFresh || n <= 0) return n;
        m_blFresh = false;
        const int status = HttpStatusOf(buf, n);
        if (status == 0 || (status >= 200 && status < 300)) m_Src.Ok(false);
        else if (status == 401) m_Src.Unauthorized("HTTP 401 from " + m_Addr);
        else m_Src.Error("HTTP " + std::to_string(status) + " from " + m_Addr);
        return n;
    }

    std::unique_ptr<CamSocket> m_Inner;
    HealthSource m_Src;
    std::string m_Addr;
    bool m_blFresh = false;
};

class HealthHttpClient : public CamHttpClient {
public:
    HealthHttpClient(std::unique_ptr<CamHttpClient> inner, CameraHealth& health, Clock& clock)
        : m_Inner(std::move(inner)), m_Src(&health), m_Clock(clock) {}
    void Init(std::string path, std::string host, int port, std::string user, std::string password, int timeoutSec,
              bool blAuth, bool blKeepAlive, HTTP_VERSION version, std::string extraHeader) override {
        m_Host = host;
        m_Port = port;
        m_Path = path;
        m_blLogin = !user.empty();
        m_TimeoutSec = timeoutSec > 0 ? timeoutSec : 10;
        m_Src.SetAddress(HealthAddress(host, port));
        m_Inner->Init(path, host, port, user, password, timeoutSec, blAuth, blKeepAlive, version, extraHeader);
    }
    void SetPath(std::string path) override {
        m_Path = path;
        m_Inner->SetPath(path);
    }
    int SendRequest(OX_HTTP_METHOD method, std::string data) override {
        // A login the camera's ration holds back fails here, before the network.
        if (m_blLogin && !m_Src.BeginLogin(m_Clock.NowMs() + (int64_t)m_TimeoutSec * 1000)) return -1;
        // A client that kept the refused login would send it unasked and then
        // answer the new challenge: two logins for one exchange.
        if (m_blRefused) m_Inner->Close();
        m_blRefused = false;
        const int rc = m_Inner->SendRequest(method, data);
        if (rc != 0) {
            if (IsWakeSignalled()) m_Src.EndLogin();  // stopped: not the camera's doing
            else if (m_Inner->CertificateRefused())
                m_Src.Error("certificate not accepted at " + HealthAddress(m_Host, m_Port, m_Path));
            else m_Src.Unreachable("no answer from " + HealthAddress(m_Host, m_Port, m_Path));
            return rc;
        }
        int status = 0;
        m_Inner->CheckResponse(status);
        if (status >= 200 && status < 300) {
            m_Src.Ok(m_blLogin);
        } else if (status == 401) {
            m_blRefused = true;
            m_Src.Unauthorized(std::string(m_blLogin ? "login refused" : "a login is needed") + " (HTTP 401) by " +
                               HealthAddress(m_Host, m_Port, m_Path));
        } else {
            m_Src.Error("HTTP " + std::to_string(status) + " from " + HealthAddress(m_Host, m_Port, m_Path));
        }
        return rc;
    }
    int CheckResponse(int& status) override { return m_Inner->CheckResponse(status); }
    int GetHttpContent(HTTP_MAP_KEY key, std::string& value) override { return m_Inner->GetHttpContent(key, value); }
    int ReadData(char* buf, int max) override { return m_Inner->ReadData(buf, max); }
    int ReadToLineEnd(char* buf, int max) override { return m_Inner->ReadToLineEnd(buf, max); }
    void Close() override { m_Inner->Close(); }
    bool RequireTls() override { return m_Inner->RequireTls(); }
    bool CertificateRefused() override { return m_Inner->CertificateRefused(); }

private:
    std::unique_ptr<CamHttpClient> m_Inner;
    HealthSource m_Src;
    Clock& m_Clock;
    std::string m_Host, m_Path;
    int m_Port = 0;
    int m_TimeoutSec = 10;
    bool m_blLogin = false;
    bool m_blRefused = false;  // the last exchange was refused
};

}  // namespace

HealthServices::HealthServices(CameraServices& inner, const LOGIN_RATION& ration)
    : m_Inner(inner), m_Health(inner.GetClock(), ration) {}

std::unique_ptr<CamSocket> HealthServices::NewSocket() {
    return std::unique_ptr<CamSocket>(new HealthSocket(m_Inner.NewSocket(), m_Health));
}

std::unique_ptr<CamHttpClient> HealthServices::NewHttpClient() {
    return std::unique_ptr<CamHttpClient>(new HealthHttpClient(m_Inner.NewHttpClient(), m_Health, m_Inner.GetClock()));
}

}  // namespace BrellinOwned
