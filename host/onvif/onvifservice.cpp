// ONVIF service clients: SOAP 1.2 over the camera's HTTP client (from its
// services, so https:// addresses and the camera's TLS policy), WS-Security UsernameToken with PasswordDigest, the token's
// creation time taken from the camera's clock.
#include <ctype.h>
#include <openssl/rand.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>
#include <time.h>

#include <vector>

#include "dupfromox/oxdebuglog.h"
#include "host/onvif/onvifsetup.h"
#include "host/onvif/onvifsoap.h"
#include "interface/camerahost.h"
#include "interface/camhealth.h"
#include "interface/hostservices.h"
#include "interface/onvifservice.h"
#include "interface/clock.h"

namespace {

const char* const kSrc = "host/onvifservice";

// The address without user information, for log lines.
std::string LogAddr(const std::string& url) {
    size_t scheme = url.find("://");
    size_t start = scheme == std::string::npos ? 0 : scheme + 3;
    size_t slash = url.find('/', start);
    size_t at = url.find('@', start);
    if (at != std::string::npos && (slash == std::string::npos || at < slash))
        return url.substr(0, start) + url.substr(at + 1);
    return url;
}

// "PT2S", "PT1M30S", "PT0.5S" -> whole seconds (rounded up); 0 when unreadable.
int DurationSec(const std::string& d) {
    if (d.size() < 3 || d.compare(0, 2, "PT") != 0) return 0;
    double total = 0, num = 0, frac = 0.1;
    bool inFrac = false;
    for (size_t i = 2; i < d.size(); ++i) {
        char c = d[i];
        if (c >= '0' && c <= '9') {
            if (inFrac) {
                num += (c - '0') * frac;
                frac /= 10;
            } else {
                num = num * 10 + (c - '0');
            }
            if (num > 86400) return 86400;
        } else if (c == '.') {
            inFrac = true;
        } else {
            if (c == 'H') total += num * 3600;
            else if (c == 'M') total += num * 60;
            else if (c == 'S') total += num;
            else return 0;
            num = 0;
            frac = 0.1;
            inFrac = false;
        }
    }
    int s = (int)total;
    return s < total ? s + 1 : s;
}

bool IsXmlName(const std::string& s) {
    if (s.empty() || s.size() > 64) return false;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        bool alpha = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
        bool other = (c >= '0' && c <= '9') || c == '-' || c == '.';
        if (!(alpha || (i > 0 && other))) return false;
    }
    return s.compare(0, 3, "xml") != 0;
}

}  // namespace

// ---------------------------------------------------------------- base

OnvifServiceBase::OnvifServiceBase()
    : m_TimeoutSec(10),
      m_ClockOffset(0),
      m_blClockKnown(false),
      m_pHealth(new BrellinOwned::HealthSource()),
      m_pClock(&BrellinOwned::RealClock()) {}

OnvifServiceBase::~OnvifServiceBase() {}

void OnvifServiceBase::SetHealth(BrellinOwned::CameraHealth* health, BrellinOwned::Clock& clock) {
    m_pHealth->Attach(health);
    m_pClock = &clock;
}

int OnvifServiceBase::UpdateServiceParam(CameraAPI* api, const std::string& addr, const std::string& ver1,
                                         const std::string& ver2) {
    if (api && !m_Transport) m_Transport = NewHttpOnvifTransport(api->GetServices().Unreported());
    if (api) SetHealth(api->GetServices().Health(), api->GetServices().GetClock());
    m_Ver1 = ver1;
    m_Ver2 = ver2;
    m_Addr.clear();
    if (addr.compare(0, 7, "http://") != 0 && addr.compare(0, 8, "https://") != 0) return -1;
    m_Addr = addr;
    return 0;
}

bool OnvifServiceBase::IsSupported() { return !m_Addr.empty(); }

void OnvifServiceBase::SetLogin(const std::string& user, const std::string& password, const std::string& deviceAddr) {
    m_User = user;
    m_Password = password;
    m_DeviceAddr = deviceAddr;
    m_blClockKnown = false;
}

void OnvifServiceBase::SetTransport(std::shared_ptr<OnvifTransport> t) { m_Transport = t; }

int OnvifServiceBase::PostClockRequest(const std::string& url, int timeoutSec, int& status, std::string& resp) {
    if (!m_Transport) m_Transport = NewHttpOnvifTransport();
    const char* action = "http://www.onvif.org/ver10/device/wsdl/GetSystemDateAndTime";
    const std::string env = OnvifSoap::Envelope(OnvifSoap::AddressingHeader(action, url, OnvifSoap::NewMessageId()),
                                                "<tds:GetSystemDateAndTime/>");
    status = 0;
    return m_Transport->Post(url, action, env, "", "", timeoutSec, status, resp);
}

bool OnvifServiceBase::SyncClock() {
    m_blClockKnown = true;  // one attempt per need: a camera without the call keeps offset 0
    const std::string& url = m_DeviceAddr.empty() ? m_Addr : m_DeviceAddr;
    if (url.empty()) return false;
    std::string resp;
    int status = 0;
    if (PostClockRequest(url, m_TimeoutSec, status, resp) != 0) return false;
    time_t cam = 0;
    if (OnvifSoap::ParseSystemDateAndTime(resp.data(), resp.size(), cam) != OVF_SOAP_OK) return false;
    m_ClockOffset = (long)(cam - time(nullptr));
    return true;
}

int OnvifServiceBase::CheckDevice(int timeoutSec) {
    const std::string& url = m_DeviceAddr.empty() ? m_Addr : m_DeviceAddr;
    if (url.empty()) return kOnvifNoAnswer;
    std::string resp;
    int status = 0;
    const int sent = PostClockRequest(url, timeoutSec, status, resp);
    if (sent != 0 && status == 0) return kOnvifNoAnswer;
    // Any answer will do; a device back from a restart may have another time.
    time_t cam = 0;
    if (sent == 0 && OnvifSoap::ParseSystemDateAndTime(resp.data(), resp.size(), cam) == OVF_SOAP_OK) {
        m_ClockOffset = (long)(cam - time(nullptr));
        m_blClockKnown = true;
    }
    return 0;
}

int OnvifServiceBase::Usable(bool blReadable) {
    if (blReadable) {
        m_pHealth->Ok(!m_User.empty());
        return 0;
    }
    m_pHealth->Error("Unreadable answer from " + LogAddr(m_LastTarget));
    return kOnvifBadAnswer;
}

int OnvifServiceBase::Call(const std::string& url, const std::string& action, const std::string& body,
                           std::string& response, bool blParsedAfter) {
    const std::string& target = url.empty() ? m_Addr : url;
    m_LastTarget = target;
    if (target.empty()) return kOnvifNoAnswer;
    if (!m_Transport) m_Transport = NewHttpOnvifTransport();
    BrellinOwned::HealthSource& health = *m_pHealth;
    const bool login = !m_User.empty();
    int timeout = m_TimeoutSec;
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::string header;
        if (login) {
            if (!m_blClockKnown) SyncClock();
            // Deliberately not sent: after a refused login the camera gets
            // only a few more in a while, so that it locks nobody out.
            if (!health.BeginLogin(m_pClock->NowMs() + (int64_t)timeout * 1000)) {
                LogFailure("Login to " + LogAddr(target) + " held back: the camera refused it lately");
                return kOnvifFault;
            }
            unsigned char raw[16];
            if (RAND_bytes(raw, sizeof(raw)) != 1) {
                for (size_t i = 0; i < sizeof(raw); ++i) raw[i] = (unsigned char)rand();
            }
            std::string nonce(reinterpret_cast<char*>(raw), sizeof(raw));
            header = OnvifSoap::UsernameTokenHeader(m_User, m_Password, nonce,
                                                    OnvifSoap::IsoUtc(time(nullptr) + m_ClockOffset));
        }
        // Strict firmware refuses a request-response message without a
        // message id: every request gets a fresh one.
        header += OnvifSoap::AddressingHeader(action, target, OnvifSoap::NewMessageId());
        std::string env = OnvifSoap::Envelope(header, body);
        std::string resp;
        int status = 0;
        const int sent = m_Transport->Post(target, action, env, m_User, m_Password, timeout, status, resp);
        if (sent != 0 && BrellinOwned::IsWakeSignalled()) {
            health.EndLogin();  // a stopped detector: not the camera's doing
            return kOnvifNoAnswer;
        }
        if (sent == kOnvifPostUnusableAddr) {
            const std::string why = strncasecmp(target.c_str(), "https:", 6) == 0
                                        ? "Cannot reach " + LogAddr(target) + ": https is not supported"
                                        : "Cannot reach " + LogAddr(target) + ": bad address";
            health.Error(why);
            LogFailure(why);
            return kOnvifNoAnswer;
        }
        if (sent == kOnvifPostCertRefused) {
            // Reached, but not to be trusted: the client's line gave the pin it saw.
            health.Error("Certificate not accepted at " + LogAddr(target));
            return kOnvifNoAnswer;
        }
        if (sent != 0) {
            if (status == 0) {
                health.Unreachable("No answer from " + LogAddr(target));
                LogFailure("No answer from " + LogAddr(target) + " to " + action);
                return kOnvifNoAnswer;
            }
            health.Unreachable("Answer cut off from " + LogAddr(target) + ": HTTP " + std::to_string(status));
            LogFailure("Answer cut off from " + LogAddr(target) + " to " + action + ": HTTP " + std::to_string(status));
            return kOnvifBadAnswer;
        }
        OnvifSoap::Fault fault;
        int rc = OnvifSoap::CheckEnvelope(resp.data(), resp.size(), fault);
        if (rc == OVF_SOAP_OK && status >= 200 && status < 300) {
            if (!blParsedAfter) health.Ok(login);
            response.swap(resp);
            m_LastFailure.clear();
            return 0;
        }
        bool authFailed = status == 401 || (rc == OVF_SOAP_ERR_FAULT && fault.IsAuth());
        if (authFailed) {
            health.Unauthorized(std::string(login ? "login refused" : "a login is needed") + " (" +
                                (status == 401 ? std::string("HTTP 401") : "NotAuthorized") + ") by " +
                                LogAddr(target));
        }
        if (authFailed && attempt == 0 && login) {
            m_blClockKnown = false;  // the camera's clock may have moved
            continue;
        }
        if (rc == OVF_SOAP_ERR_FAULT) {
            if (!authFailed)
                health.Error("SOAP fault from " + LogAddr(target) + ": " + fault.subcode.substr(0, 100));
            LogFailure("SOAP fault from " + LogAddr(target) + " to " + action + ": [" + fault.code + "][" +
                       fault.subcode + "][" + fault.reason.substr(0, 200) + "]");
            return kOnvifFault;
        }
        if (!authFailed) health.Error("Bad answer from " + LogAddr(target) + ": HTTP " + std::to_string(status));
        LogFailure("Bad answer from " + LogAddr(target) + " to " + action + ": HTTP " + std::to_string(status) +
                   ", parse " + std::to_string(rc));
        return status >= 200 && status < 300 ? kOnvifBadAnswer : kOnvifFault;
    }
    return kOnvifFault;
}

void OnvifServiceBase::LogFailure(const std::string& text) {
    // A stopped detector is not a camera fault.
    if (text == m_LastFailure || BrellinOwned::IsWakeSignalled()) return;
    m_LastFailure = text;
    OXLOG(kSrc, "%s\n", text.c_str());
}

// ---------------------------------------------------------------- events

int OnvifEventService::CreatePullPointSubscription(const std::string& filter, const std::string& termTime,
                                                   const OVF_NS_LIST& ns, OVF_EVT_PULL_PT& pp) {
    std::string body = "<tev:CreatePullPointSubscription";
    for (OVF_NS_LIST::const_iterator it = ns.begin(); it != ns.end(); ++it) {
        if (!IsXmlName(it->first)) continue;  // would break the request
        body += " xmlns:" + it->first + "=\"" + OnvifSoap::XmlEscape(it->second) + "\"";
    }
    body += ">";
    if (!filter.empty()) {
        body += "<tev:Filter><wsnt:TopicExpression "
                "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\">";
        body += OnvifSoap::XmlEscape(filter);
        body += "</wsnt:TopicExpression></tev:Filter>";
    }
    if (!termTime.empty())
        body += "<tev:InitialTerminationTime>" + OnvifSoap::XmlEscape(termTime) + "</tev:InitialTerminationTime>";
    body += "</tev:CreatePullPointSubscription>";
    std::string resp;
    const int rc = Call("", "http://www.onvif.org/ver10/events/wsdl/EventPortType/CreatePullPointSubscriptionRequest",
                        body, resp, true);
    if (rc != 0) return rc;
    OVF_EVT_PULL_PT r;
    if (Usable(OnvifSoap::ParseCreatePullPoint(resp.data(), resp.size(), r) == OVF_SOAP_OK) != 0)
        return kOnvifBadAnswer;
    pp = r;
    return 0;
}

int OnvifEventService::PullMessages(const OVF_EVT_PULL_PT& pp, const std::string& timeout, const std::string& limit,
                                    OVF_EVT_PULL_MSG& msg) {
    if (pp.address.empty()) return kOnvifNoAnswer;
    std::string body = "<tev:PullMessages><tev:Timeout>" + OnvifSoap::XmlEscape(timeout) +
                       "</tev:Timeout><tev:MessageLimit>" + OnvifSoap::XmlEscape(limit) +
                       "</tev:MessageLimit></tev:PullMessages>";
    // The camera may hold the request for the whole pull time-out.
    int saved = m_TimeoutSec;
    m_TimeoutSec = saved + DurationSec(timeout);
    std::string resp;
    int rc = Call(pp.address, "http://www.onvif.org/ver10/events/wsdl/PullPointSubscription/PullMessagesRequest",
                  body, resp, true);
    m_TimeoutSec = saved;
    if (rc != 0) return rc;
    OVF_EVT_PULL_MSG r;
    if (Usable(OnvifSoap::ParsePullMessages(resp.data(), resp.size(), r) == OVF_SOAP_OK) != 0)
        return kOnvifBadAnswer;
    msg = r;
    return 0;
}

int OnvifEventService::Unsubscribe(const OVF_EVT_PULL_PT& pp) {
    if (pp.address.empty()) return kOnvifNoAnswer;
    std::string resp;
    return Call(pp.address, "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/UnsubscribeRequest",
                "<wsnt:Unsubscribe/>", resp);
}

int OnvifEventService::SetSynchronizationPoint(const OVF_EVT_PULL_PT& pp) {
    if (pp.address.empty()) return kOnvifNoAnswer;
    std::string resp;
    return Call(pp.address,
                "http://www.onvif.org/ver10/events/wsdl/PullPointSubscription/SetSynchronizationPointRequest",
                "<tev:SetSynchronizationPoint/>", resp);
}

int OnvifEventService::Renew(OVF_EVT_PULL_PT& pp, const std::string& termTime) {
    if (pp.address.empty()) return kOnvifNoAnswer;
    std::string body = "<wsnt:Renew><wsnt:TerminationTime>" + OnvifSoap::XmlEscape(termTime) +
                       "</wsnt:TerminationTime></wsnt:Renew>";
    std::string resp;
    const int rc =
        Call(pp.address, "http://docs.oasis-open.org/wsn/bw-2/SubscriptionManager/RenewRequest", body, resp, true);
    if (rc != 0) return rc;
    OVF_EVT_PULL_PT r = pp;
    if (Usable(OnvifSoap::ParseRenew(resp.data(), resp.size(), r) == OVF_SOAP_OK) != 0) return kOnvifBadAnswer;
    pp = r;
    return 0;
}

// ---------------------------------------------------------------- media, device IO, device

int OnvifMediaService::GetVideoSourceConfigurations(std::list<OVF_MED_VDO_SRC_CONF>& confs) {
    std::string resp;
    if (Call("", "http://www.onvif.org/ver10/media/wsdl/GetVideoSourceConfigurations",
             "<trt:GetVideoSourceConfigurations/>", resp, true) != 0)
        return -1;
    return Usable(OnvifSoap::ParseVideoSourceConfigurations(resp.data(), resp.size(), confs) == OVF_SOAP_OK) == 0 ? 0
                                                                                                                : -1;
}

int OnvifDeviceIoService::GetDigitalInputs(std::vector<std::string>& tokens) {
    std::string resp;
    if (Call("", "http://www.onvif.org/ver10/deviceIO/wsdl/GetDigitalInputs", "<tmd:GetDigitalInputs/>", resp,
             true) != 0)
        return -1;
    return Usable(OnvifSoap::ParseDigitalInputs(resp.data(), resp.size(), tokens) == OVF_SOAP_OK) == 0 ? 0 : -1;
}

int OnvifDeviceService::GetServiceAddresses(OnvifServiceEnt& ent, OnvifVersion& ver) {
    std::string resp;
    if (Call("", "http://www.onvif.org/ver10/device/wsdl/GetServices",
             "<tds:GetServices><tds:IncludeCapability>false</tds:IncludeCapability></tds:GetServices>", resp) == 0 &&
        OnvifSoap::ParseServices(resp.data(), resp.size(), ent, ver) == OVF_SOAP_OK) {
        if (ent.entry[0].empty()) ent.entry[0] = m_Addr;
        return 0;
    }
    // Cameras older than GetServices.
    resp.clear();
    if (Call("", "http://www.onvif.org/ver10/device/wsdl/GetCapabilities",
             "<tds:GetCapabilities><tds:Category>All</tds:Category></tds:GetCapabilities>", resp) != 0)
        return -1;
    if (OnvifSoap::ParseCapabilities(resp.data(), resp.size(), ent, ver) != OVF_SOAP_OK) return -1;
    if (ent.entry[0].empty()) ent.entry[0] = m_Addr;
    return 0;
}

int OnvifDeviceService::GetSystemDateAndTime(time_t& utc) {
    std::string resp;
    if (Call("", "http://www.onvif.org/ver10/device/wsdl/GetSystemDateAndTime", "<tds:GetSystemDateAndTime/>",
             resp) != 0)
        return -1;
    return OnvifSoap::ParseSystemDateAndTime(resp.data(), resp.size(), utc) == OVF_SOAP_OK ? 0 : -1;
}

// ---------------------------------------------------------------- topics

std::string GetNoNsTopic(const std::string& topic) {
    std::string out;
    out.reserve(topic.size());
    size_t b = 0, e = topic.size();
    while (b < e && (topic[b] == ' ' || topic[b] == '\t' || topic[b] == '\r' || topic[b] == '\n')) ++b;
    while (e > b && (topic[e - 1] == ' ' || topic[e - 1] == '\t' || topic[e - 1] == '\r' || topic[e - 1] == '\n'))
        --e;
    size_t start = b;
    while (start <= e) {
        size_t slash = topic.find('/', start);
        if (slash == std::string::npos || slash > e) slash = e;
        size_t colon = topic.find(':', start);
        size_t from = (colon != std::string::npos && colon < slash) ? colon + 1 : start;
        if (start != b) out += '/';
        out.append(topic, from, slash - from);
        start = slash + 1;
    }
    return out;
}
