// Simulated ONVIF device: device, media, event (PullPoint) and device IO
// services over SOAP 1.2, WS-Security UsernameToken (PasswordDigest) checked
// against the configured login, and notifications made from the alarm state:
// each subscription first gets "Initialized" for every property (again after
// SetSynchronizationPoint), then "Changed" for what changed since its last
// pull. Which topics it lists (GetEventProperties) and sends is its topic
// family (Config::onvifTopics, onvifsim.h). Like strict firmware, it refuses
// any request without a wsa:MessageID.
//
// Paths: /onvif/device_service, /onvif/media_service, /onvif/event_service,
// /onvif/deviceio_service, /onvif/subscription?id=N. ONVIF fault switches:
//   GET /onvif/simctl?refuse_subscribe=1&fail_pulls=3&drop_subscriptions=1
// answers "name=value" lines: subscriptions, created, unsubscribed (ids),
// pulls, failed_pulls, refuse_subscribe, fail_pulls, renewals, sync_points,
// no_message_id (requests refused for want of one), ...
#include <stdint.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "tools/camsim/simtypes.h"
#include "tools/camsim/onvifsim.h"

namespace camsim {

namespace {

using namespace onvifsim;

// ---------------------------------------------------------------- device state

struct Subscription {
    time_t expires = 0;
    bool initialized = false;
    AlarmState last;
    std::deque<std::string> pending;  // NotificationMessage elements not yet pulled
};

struct Device {
    int nextId = 1;
    std::map<int, Subscription> subs;
    int created = 0;
    std::vector<int> unsubscribed;
    bool refuseSubscribe = false;
    int failPulls = 0;
    uint64_t pulls = 0;
    uint64_t failedPulls = 0;
    uint64_t renewals = 0;
    uint64_t syncPoints = 0;
    uint64_t noMessageId = 0;
    uint64_t queued = 0;     // notifications put in subscribers' queues
    uint64_t delivered = 0;  // notifications handed out in pull answers
    // 0: a pull keeps a subscription alive for another minute; else
    // subscriptions last this long unless renewed (a device that enforces its
    // termination times), and that is also the default termination time.
    int strictTermSec = 0;
};

const size_t kMaxSubscriptions = 64;
const size_t kMaxPending = 1024;

std::mutex g_Mutex;
std::map<std::string, Device> g_Devices;  // by Host header: one per simulated camera

// Appends the notifications that bring a subscriber from its last state to `cur`.
void Notify(Subscription& s, const AlarmState& cur, const std::string& family) {
    for (std::string& m : onvifsim::Notifications(family, s.last, cur, !s.initialized)) {
        if (s.pending.size() >= kMaxPending) s.pending.pop_front();
        s.pending.push_back(std::move(m));
    }
    s.initialized = true;
    s.last = cur;
}

void DropExpired(Device& d, time_t now) {
    for (auto it = d.subs.begin(); it != d.subs.end();) {
        if (it->second.expires < now) it = d.subs.erase(it);
        else ++it;
    }
}

// WS-Security: a UsernameToken with the configured user and a PasswordDigest
// over the nonce, the creation time (within five minutes) and the password.
bool Authorized(const std::string& body, const SimContext& ctx) {
    if (ctx.user.empty()) return true;
    if (TagText(body, "Username") != ctx.user) return false;
    std::string nonce;
    if (!B64Decode(TagText(body, "Nonce"), nonce)) return false;
    std::string created = TagText(body, "Created");
    time_t c;
    if (!ParseIso(created, c)) return false;
    time_t now = time(nullptr);
    if (c < now - 300 || c > now + 300) return false;
    return TagText(body, "Password") == B64Encode(Sha1(nonce + created + ctx.password));
}

std::string BaseUrl(const Request& req, const SimContext& ctx) {
    return (ctx.tls ? "https://" : "http://") + req.Header("host");
}

Response DeviceService(const Request& req, const SimContext& ctx, const std::string& op) {
    const std::string base = BaseUrl(req, ctx);
    if (op == "GetServices") {
        auto svc = [](const char* ns, const std::string& addr) {
            return "<tds:Service><tds:Namespace>" + std::string(ns) + "</tds:Namespace><tds:XAddr>" + addr +
                   "</tds:XAddr><tds:Version><tt:Major>2</tt:Major><tt:Minor>60</tt:Minor></tds:Version>"
                   "</tds:Service>";
        };
        std::string b = "<tds:GetServicesResponse>";
        b += svc("http://www.onvif.org/ver10/device/wsdl", base + "/onvif/device_service");
        b += svc("http://www.onvif.org/ver10/media/wsdl", base + "/onvif/media_service");
        b += svc("http://www.onvif.org/ver10/events/wsdl", base + "/onvif/event_service");
        if (ctx.inputCount > 0) b += svc("http://www.onvif.org/ver10/deviceIO/wsdl", base + "/onvif/deviceio_service");
        b += "</tds:GetServicesResponse>";
        return Soap(b);
    }
    if (op == "GetCapabilities") {
        return Soap("<tds:GetCapabilitiesResponse><tds:Capabilities><tt:Device><tt:XAddr>" + base +
                    "/onvif/device_service</tt:XAddr></tt:Device><tt:Events><tt:XAddr>" + base +
                    "/onvif/event_service</tt:XAddr><tt:WSPullPointSupport>true</tt:WSPullPointSupport>"
                    "</tt:Events><tt:Media><tt:XAddr>" + base +
                    "/onvif/media_service</tt:XAddr></tt:Media></tds:Capabilities></tds:GetCapabilitiesResponse>");
    }
    return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation " + op);
}

Response CreateSubscription(const Request& req, const SimContext& ctx, const std::string& key) {
    int termSec = 60;
    {
        std::lock_guard<std::mutex> g(g_Mutex);
        if (g_Devices[key].strictTermSec > 0) termSec = g_Devices[key].strictTermSec;
    }
    std::string term = TagText(req.body, "InitialTerminationTime");
    if (!term.empty()) {
        int d = Duration(term);
        time_t abs;
        if (d >= 0) termSec = d;
        else if (ParseIso(term, abs)) termSec = (int)(abs - time(nullptr));
        else return SoapFault(400, "Sender", "ter:InvalidArgVal", "Bad InitialTerminationTime");
        if (termSec <= 0) return SoapFault(400, "Sender", "ter:InvalidArgVal", "Termination time in the past");
    }
    time_t now = time(nullptr);
    int id;
    {
        std::lock_guard<std::mutex> g(g_Mutex);
        Device& d = g_Devices[key];
        DropExpired(d, now);
        if (d.refuseSubscribe || d.subs.size() >= kMaxSubscriptions)
            return SoapFault(500, "Receiver", "ter:Action", "Too many subscriptions");
        id = d.nextId++;
        d.subs[id].expires = now + termSec;
        ++d.created;
    }
    return Soap("<tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference><wsa5:Address>" +
                BaseUrl(req, ctx) + "/onvif/subscription?id=" + std::to_string(id) +
                "</wsa5:Address></tev:SubscriptionReference><wsnt:CurrentTime>" + Iso(now) +
                "</wsnt:CurrentTime><wsnt:TerminationTime>" + Iso(now + termSec) +
                "</wsnt:TerminationTime></tev:CreatePullPointSubscriptionResponse>");
}

// Takes up to `limit` messages (after adding what the state brings); false
// when the subscription is gone.
// Every change since the subscriber's last one becomes its events, as a
// camera queues them (a change and its reversal between two pulls are two
// events, not none).
bool TakeMessages(const std::string& key, const std::string& family, int id, const StreamWriter& w, int limit,
                  std::vector<std::string>& out, time_t& expires) {
    std::lock_guard<std::mutex> g(g_Mutex);
    Device& d = g_Devices[key];
    auto it = d.subs.find(id);
    if (it == d.subs.end()) return false;
    Subscription& sub = it->second;
    const size_t before = sub.pending.size();
    if (!sub.initialized) {
        Notify(sub, w.State(), family);
    } else {
        for (const AlarmState& st : w.StatesAfter(sub.last.version)) Notify(sub, st, family);
    }
    d.queued += sub.pending.size() - std::min(before, sub.pending.size());
    while ((int)out.size() < limit && !sub.pending.empty()) {
        out.push_back(sub.pending.front());
        sub.pending.pop_front();
        ++d.delivered;
    }
    expires = sub.expires;
    return true;
}

Response Subscription(const Request& req, const SimContext& ctx, const std::string& key, const std::string& op) {
    int id = atoi(req.Param("id").c_str());
    time_t now = time(nullptr);
    std::lock_guard<std::mutex> g(g_Mutex);
    Device& d = g_Devices[key];
    DropExpired(d, now);
    auto it = d.subs.find(id);
    if (op == "Unsubscribe") {
        if (it == d.subs.end()) return SoapFault(400, "Sender", "wsrf-rw:ResourceUnknownFault", "No such subscription");
        d.subs.erase(it);
        d.unsubscribed.push_back(id);
        return Soap("<wsnt:UnsubscribeResponse/>");
    }
    if (op == "SetSynchronizationPoint") {
        if (it == d.subs.end()) return SoapFault(400, "Sender", "wsrf-rw:ResourceUnknownFault", "No such subscription");
        it->second.initialized = false;  // the next pull sends every property again
        ++d.syncPoints;
        return Soap("<tev:SetSynchronizationPointResponse/>");
    }
    if (op == "Renew") {
        if (it == d.subs.end()) return SoapFault(400, "Sender", "wsrf-rw:ResourceUnknownFault", "No such subscription");
        int termSec = d.strictTermSec > 0 ? d.strictTermSec : Duration(TagText(req.body, "TerminationTime"));
        if (termSec <= 0) termSec = 60;
        it->second.expires = now + termSec;
        ++d.renewals;
        return Soap("<wsnt:RenewResponse><wsnt:TerminationTime>" + Iso(it->second.expires) +
                    "</wsnt:TerminationTime><wsnt:CurrentTime>" + Iso(now) + "</wsnt:CurrentTime></wsnt:RenewResponse>");
    }
    if (op != "PullMessages") return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation " + op);
    ++d.pulls;
    if (it == d.subs.end()) {
        ++d.failedPulls;
        return SoapFault(400, "Sender", "wsrf-rw:ResourceUnknownFault", "No such subscription");
    }
    if (d.failPulls > 0) {
        --d.failPulls;
        ++d.failedPulls;
        return SoapFault(500, "Receiver", "ter:Action", "Pull failed");
    }
    // A pull keeps the subscription alive for another minute, unless the
    // device enforces its termination times.
    if (d.strictTermSec == 0) it->second.expires = std::max(it->second.expires, now + 60);
    int timeoutMs = std::min(std::max(Duration(TagText(req.body, "Timeout")), 0), 60) * 1000;
    int limit = std::min(std::max(atoi(TagText(req.body, "MessageLimit").c_str()), 1), 1000);
    const std::string family = ctx.onvifTopics;
    Response r;
    r.Header("Content-Type", "application/soap+xml; charset=utf-8");
    // The answer waits for the first message or the time-out.
    r.stream = [key, family, id, timeoutMs, limit](StreamWriter& w) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        uint64_t seen = w.State().version;
        std::vector<std::string> msgs;
        time_t expires = 0;
        while (true) {
            if (!TakeMessages(key, family, id, w, limit, msgs, expires)) break;
            if (!msgs.empty()) break;
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline -
                                                                              std::chrono::steady_clock::now());
            if (left.count() <= 0) break;
            if (!w.WaitChange(seen, (int)left.count())) return;
        }
        time_t now = time(nullptr);
        std::string b = kEnvOpen;
        b += "<tev:PullMessagesResponse><tev:CurrentTime>" + Iso(now) + "</tev:CurrentTime><tev:TerminationTime>" +
             Iso(expires) + "</tev:TerminationTime>";
        for (const std::string& m : msgs) b += m;
        b += "</tev:PullMessagesResponse>";
        b += kEnvClose;
        w.Write(b);
    };
    return r;
}

Response SimControl(const Request& req, const std::string& key) {
    std::lock_guard<std::mutex> g(g_Mutex);
    Device& d = g_Devices[key];
    if (req.HasParam("refuse_subscribe")) d.refuseSubscribe = req.Param("refuse_subscribe") == "1";
    if (req.HasParam("fail_pulls")) d.failPulls = atoi(req.Param("fail_pulls").c_str());
    if (req.HasParam("drop_subscriptions")) d.subs.clear();
    if (req.HasParam("strict_term_sec")) d.strictTermSec = std::max(0, atoi(req.Param("strict_term_sec").c_str()));
    std::ostringstream o;
    o << "subscriptions=" << d.subs.size() << "\ncreated=" << d.created << "\nunsubscribed=";
    for (size_t i = 0; i < d.unsubscribed.size(); ++i) o << (i ? "," : "") << d.unsubscribed[i];
    o << "\npulls=" << d.pulls << "\nfailed_pulls=" << d.failedPulls << "\nrefuse_subscribe="
      << (d.refuseSubscribe ? 1 : 0) << "\nfail_pulls=" << d.failPulls << "\nrenewals=" << d.renewals
      << "\nsync_points=" << d.syncPoints << "\nno_message_id=" << d.noMessageId
      << "\nstrict_term_sec=" << d.strictTermSec << "\nqueued=" << d.queued << "\ndelivered=" << d.delivered
      << "\n";
    return Response::Text(o.str());
}

}  // namespace

Response HandleOnvif(const Request& req, const SimContext& ctx) {
    const std::string key = req.Header("host");
    if (req.path == "/onvif/simctl") return SimControl(req, key);
    if (req.method != "POST") return Response::Status(405, "POST only\n");
    const std::string op = Operation(req.body);
    if (op.empty()) return SoapFault(400, "Sender", "ter:WellFormed", "Not a SOAP envelope");
    if (TagText(req.body, "MessageID").empty()) {
        {
            std::lock_guard<std::mutex> g(g_Mutex);
            ++g_Devices[key].noMessageId;
        }
        return SoapFault(400, "Sender", "wsa:MessageAddressingHeaderRequired",
                         "A required header representing a Message Addressing Property is not present");
    }
    // The clock is open to everybody: clients need it to build their token.
    if (req.path == "/onvif/device_service" && op == "GetSystemDateAndTime") {
        time_t now = time(nullptr);
        struct tm t;
        gmtime_r(&now, &t);
        char buf[512];
        snprintf(buf, sizeof(buf),
                 "<tds:GetSystemDateAndTimeResponse><tds:SystemDateAndTime><tt:DateTimeType>NTP</tt:DateTimeType>"
                 "<tt:DaylightSavings>false</tt:DaylightSavings><tt:UTCDateTime><tt:Time><tt:Hour>%d</tt:Hour>"
                 "<tt:Minute>%d</tt:Minute><tt:Second>%d</tt:Second></tt:Time><tt:Date><tt:Year>%d</tt:Year>"
                 "<tt:Month>%d</tt:Month><tt:Day>%d</tt:Day></tt:Date></tt:UTCDateTime></tds:SystemDateAndTime>"
                 "</tds:GetSystemDateAndTimeResponse>",
                 t.tm_hour, t.tm_min, t.tm_sec, t.tm_year + 1900, t.tm_mon + 1, t.tm_mday);
        return Soap(buf);
    }
    if (!Authorized(req.body, ctx)) {
        if (ctx.refusedLogins && req.body.find("UsernameToken") != std::string::npos) ++*ctx.refusedLogins;
        return SoapFault(400, "Sender", "ter:NotAuthorized", "Sender not Authorized");
    }
    if (req.path == "/onvif/device_service") return DeviceService(req, ctx, op);
    if (req.path == "/onvif/media_service") {
        if (op != "GetVideoSourceConfigurations")
            return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation " + op);
        return Soap("<trt:GetVideoSourceConfigurationsResponse><trt:Configurations token=\"VideoSourceConfig_1\">"
                    "<tt:Name>VideoSourceConfig_1</tt:Name><tt:UseCount>1</tt:UseCount>"
                    "<tt:SourceToken>VideoSource_1</tt:SourceToken><tt:Bounds x=\"0\" y=\"0\" width=\"1920\" "
                    "height=\"1080\"/></trt:Configurations></trt:GetVideoSourceConfigurationsResponse>");
    }
    if (req.path == "/onvif/deviceio_service") {
        if (op != "GetDigitalInputs") return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation");
        std::string b = "<tmd:GetDigitalInputsResponse>";
        for (int i = 1; i <= ctx.inputCount; ++i)
            b += "<tmd:DigitalInputs token=\"DI_" + std::to_string(i) + "\" IdleState=\"open\"/>";
        return Soap(b + "</tmd:GetDigitalInputsResponse>");
    }
    if (req.path == "/onvif/event_service") {
        if (op == "GetEventProperties") return Soap(EventProperties(ctx.onvifTopics, ctx.inputCount));
        if (op != "CreatePullPointSubscription")
            return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation " + op);
        return CreateSubscription(req, ctx, key);
    }
    if (req.path == "/onvif/subscription") return Subscription(req, ctx, key, op);
    return Response::NotFound();
}

}  // namespace camsim
