// Simulated ONVIF device: device, media, event (PullPoint) and device IO
// services over SOAP 1.2, WS-Security UsernameToken (PasswordDigest) checked
// against the configured login, and notifications made from the alarm state:
// each subscription first gets "Initialized" for every property, then
// "Changed" for what changed since its last pull.
//
// Paths: /onvif/device_service, /onvif/media_service, /onvif/event_service,
// /onvif/deviceio_service, /onvif/subscription?id=N. ONVIF fault switches:
//   GET /onvif/simctl?refuse_subscribe=1&fail_pulls=3&drop_subscriptions=1
// answers "name=value" lines: subscriptions, created, unsubscribed (ids),
// pulls, failed_pulls, refuse_subscribe, fail_pulls.
//
// SHA-1 and Base64 are written out here rather than taken from the library
// the clients use, so that the simulator and the clients cannot share a bug.
#include <stdint.h>
#include <string.h>
#include <time.h>

#include <chrono>
#include <deque>
#include <map>
#include <mutex>
#include <sstream>
#include <vector>

#include "tools/camsim/camsim.h"

namespace camsim {

namespace {

// ---------------------------------------------------------------- SHA-1, Base64

std::string Sha1(const std::string& msg) {
    uint32_t h[5] = {0x67452301, 0xEFCDAB89, 0x98BADCFE, 0x10325476, 0xC3D2E1F0};
    std::string m = msg;
    uint64_t bits = (uint64_t)msg.size() * 8;
    m += (char)0x80;
    while (m.size() % 64 != 56) m += (char)0;
    for (int i = 7; i >= 0; --i) m += (char)((bits >> (i * 8)) & 0xff);
    auto rol = [](uint32_t v, int n) { return (v << n) | (v >> (32 - n)); };
    for (size_t off = 0; off < m.size(); off += 64) {
        uint32_t w[80];
        for (int i = 0; i < 16; ++i)
            w[i] = ((uint32_t)(uint8_t)m[off + 4 * i] << 24) | ((uint32_t)(uint8_t)m[off + 4 * i + 1] << 16) |
                   ((uint32_t)(uint8_t)m[off + 4 * i + 2] << 8) | (uint32_t)(uint8_t)m[off + 4 * i + 3];
        for (int i = 16; i < 80; ++i) w[i] = rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
        for (int i = 0; i < 80; ++i) {
            uint32_t f, k;
            if (i < 20) f = (b & c) | (~b & d), k = 0x5A827999;
            else if (i < 40) f = b ^ c ^ d, k = 0x6ED9EBA1;
            else if (i < 60) f = (b & c) | (b & d) | (c & d), k = 0x8F1BBCDC;
            else f = b ^ c ^ d, k = 0xCA62C1D6;
            uint32_t t = rol(a, 5) + f + e + k + w[i];
            e = d;
            d = c;
            c = rol(b, 30);
            b = a;
            a = t;
        }
        h[0] += a, h[1] += b, h[2] += c, h[3] += d, h[4] += e;
    }
    std::string out;
    for (uint32_t v : h)
        for (int i = 3; i >= 0; --i) out += (char)((v >> (i * 8)) & 0xff);
    return out;
}

const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string B64Encode(const std::string& in) {
    std::string out;
    size_t i = 0;
    for (; i + 2 < in.size(); i += 3) {
        uint32_t v = ((uint8_t)in[i] << 16) | ((uint8_t)in[i + 1] << 8) | (uint8_t)in[i + 2];
        out += kB64[v >> 18], out += kB64[(v >> 12) & 63], out += kB64[(v >> 6) & 63], out += kB64[v & 63];
    }
    if (i + 1 == in.size()) {
        uint32_t v = (uint8_t)in[i] << 16;
        out += kB64[v >> 18], out += kB64[(v >> 12) & 63], out += "==";
    } else if (i + 2 == in.size()) {
        uint32_t v = ((uint8_t)in[i] << 16) | ((uint8_t)in[i + 1] << 8);
        out += kB64[v >> 18], out += kB64[(v >> 12) & 63], out += kB64[(v >> 6) & 63], out += '=';
    }
    return out;
}

bool B64Decode(const std::string& in, std::string& out) {
    out.clear();
    uint32_t acc = 0;
    int bits = 0;
    for (char c : in) {
        if (c == '=') break;
        const char* p = strchr(kB64, c);
        if (!p || !c) return false;
        acc = (acc << 6) | (uint32_t)(p - kB64);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += (char)((acc >> bits) & 0xff);
        }
    }
    return true;
}

// ---------------------------------------------------------------- tiny XML reading

// Text of the first element whose local name is `local`; "" when absent.
std::string TagText(const std::string& xml, const std::string& local, size_t* endPos = nullptr) {
    size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", pos + 1);
        if (nameEnd == std::string::npos) return std::string();
        std::string name = xml.substr(pos + 1, nameEnd - pos - 1);
        size_t colon = name.find(':');
        std::string ln = colon == std::string::npos ? name : name.substr(colon + 1);
        if (ln == local) {
            size_t gt = xml.find('>', nameEnd);
            if (gt == std::string::npos) return std::string();
            if (xml[gt - 1] == '/') return std::string();
            size_t close = xml.find("</", gt);
            if (close == std::string::npos) return std::string();
            if (endPos) *endPos = close;
            std::string t = xml.substr(gt + 1, close - gt - 1);
            size_t b = t.find_first_not_of(" \t\r\n"), e = t.find_last_not_of(" \t\r\n");
            return b == std::string::npos ? std::string() : t.substr(b, e - b + 1);
        }
        pos = nameEnd;
    }
    return std::string();
}

// Local name of the first element inside soap Body.
std::string Operation(const std::string& xml) {
    size_t pos = 0;
    while ((pos = xml.find('<', pos)) != std::string::npos) {
        size_t nameEnd = xml.find_first_of(" \t\r\n/>", pos + 1);
        if (nameEnd == std::string::npos) return std::string();
        std::string name = xml.substr(pos + 1, nameEnd - pos - 1);
        size_t colon = name.find(':');
        std::string ln = colon == std::string::npos ? name : name.substr(colon + 1);
        pos = nameEnd;
        if (ln != "Body") continue;
        size_t next = xml.find('<', pos);
        if (next == std::string::npos) return std::string();
        size_t e = xml.find_first_of(" \t\r\n/>", next + 1);
        if (e == std::string::npos) return std::string();
        std::string op = xml.substr(next + 1, e - next - 1);
        colon = op.find(':');
        return colon == std::string::npos ? op : op.substr(colon + 1);
    }
    return std::string();
}

std::string Esc(const std::string& s) {
    std::string o;
    for (char c : s) {
        if (c == '&') o += "&amp;";
        else if (c == '<') o += "&lt;";
        else if (c == '>') o += "&gt;";
        else if (c == '"') o += "&quot;";
        else o += c;
    }
    return o;
}

std::string Iso(time_t t) {
    struct tm tmv;
    gmtime_r(&t, &tmv);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%SZ", &tmv);
    return buf;
}

bool ParseIso(const std::string& s, time_t& t) {
    struct tm tmv;
    memset(&tmv, 0, sizeof(tmv));
    if (sscanf(s.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d", &tmv.tm_year, &tmv.tm_mon, &tmv.tm_mday, &tmv.tm_hour,
               &tmv.tm_min, &tmv.tm_sec) != 6)
        return false;
    tmv.tm_year -= 1900;
    tmv.tm_mon -= 1;
    t = timegm(&tmv);
    return true;
}

// "PT60S", "PT2M" -> seconds; -1 when not a duration we read.
int Duration(const std::string& d) {
    if (d.compare(0, 2, "PT") != 0) return -1;
    int total = 0, num = 0;
    for (size_t i = 2; i < d.size(); ++i) {
        char c = d[i];
        if (c >= '0' && c <= '9') num = std::min(num * 10 + (c - '0'), 1000000);
        else if (c == 'H') total += num * 3600, num = 0;
        else if (c == 'M') total += num * 60, num = 0;
        else if (c == 'S') total += num, num = 0;
        else if (c != '.') return -1;
    }
    return total;
}

// ---------------------------------------------------------------- envelopes

const char* const kEnvOpen =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<SOAP-ENV:Envelope xmlns:SOAP-ENV=\"http://www.w3.org/2003/05/soap-envelope\" "
    "xmlns:wsa5=\"http://www.w3.org/2005/08/addressing\" xmlns:tt=\"http://www.onvif.org/ver10/schema\" "
    "xmlns:wsnt=\"http://docs.oasis-open.org/wsn/b-2\" xmlns:tev=\"http://www.onvif.org/ver10/events/wsdl\" "
    "xmlns:tds=\"http://www.onvif.org/ver10/device/wsdl\" xmlns:trt=\"http://www.onvif.org/ver10/media/wsdl\" "
    "xmlns:tmd=\"http://www.onvif.org/ver10/deviceIO/wsdl\" xmlns:tns1=\"http://www.onvif.org/ver10/topics\" "
    "xmlns:ter=\"http://www.onvif.org/ver10/error\"><SOAP-ENV:Body>";
const char* const kEnvClose = "</SOAP-ENV:Body></SOAP-ENV:Envelope>\n";

Response Soap(const std::string& body, int status = 200) {
    Response r = Response::Status(status, kEnvOpen + body + kEnvClose);
    r.Header("Content-Type", "application/soap+xml; charset=utf-8");
    return r;
}

Response SoapFault(int status, const char* code, const char* subcode, const std::string& reason) {
    std::string b = "<SOAP-ENV:Fault><SOAP-ENV:Code><SOAP-ENV:Value>SOAP-ENV:";
    b += code;
    b += "</SOAP-ENV:Value><SOAP-ENV:Subcode><SOAP-ENV:Value>";
    b += subcode;
    b += "</SOAP-ENV:Value></SOAP-ENV:Subcode></SOAP-ENV:Code><SOAP-ENV:Reason><SOAP-ENV:Text xml:lang=\"en\">";
    b += Esc(reason);
    b += "</SOAP-ENV:Text></SOAP-ENV:Reason></SOAP-ENV:Fault>";
    return Soap(b, status);
}

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

std::string Item(const char* name, const std::string& value) {
    return "<tt:SimpleItem Name=\"" + std::string(name) + "\" Value=\"" + Esc(value) + "\"/>";
}

std::string Notification(const char* topic, const char* op, const std::string& source, const std::string& data) {
    std::string m = "<wsnt:NotificationMessage><wsnt:Topic "
                    "Dialect=\"http://www.onvif.org/ver10/tev/topicExpression/ConcreteSet\">";
    m += topic;
    m += "</wsnt:Topic><wsnt:Message><tt:Message UtcTime=\"" + Iso(time(nullptr)) + "\" PropertyOperation=\"";
    m += op;
    m += "\"><tt:Source>" + source + "</tt:Source><tt:Key/><tt:Data>" + data +
         "</tt:Data></tt:Message></wsnt:Message></wsnt:NotificationMessage>";
    return m;
}

const char* Bool(bool b) { return b ? "true" : "false"; }

// Appends the notifications that bring a subscriber from `prev` to `cur`.
void Notify(Subscription& s, const AlarmState& cur) {
    const bool all = !s.initialized;
    const char* op = all ? "Initialized" : "Changed";
    const AlarmState& prev = s.last;
    std::vector<std::string> out;
    const std::string vsc = Item("VideoSourceConfigurationToken", "VideoSourceConfig_1");
    if (all || prev.motion != cur.motion) {
        out.push_back(Notification("tns1:RuleEngine/CellMotionDetector/Motion", op,
                                   vsc + Item("VideoAnalyticsConfigurationToken", "VideoAnalyticsConfig_1") +
                                       Item("Rule", "MyMotionDetectorRule"),
                                   Item("IsMotion", Bool(cur.motion))));
        out.push_back(Notification("tns1:VideoSource/MotionAlarm", op, Item("Source", "VideoSource_1"),
                                   Item("State", Bool(cur.motion))));
    }
    if (all || prev.tamper != cur.tamper) {
        out.push_back(Notification("tns1:RuleEngine/TamperDetector/Tamper", op,
                                   vsc + Item("VideoAnalyticsConfigurationToken", "VideoAnalyticsConfig_1") +
                                       Item("Rule", "MyTamperDetectorRule"),
                                   Item("IsTamper", Bool(cur.tamper))));
    }
    if (all || prev.audio != cur.audio) {
        out.push_back(Notification("tns1:AudioAnalytics/Audio/DetectedSound", op,
                                   Item("AudioSourceConfigurationToken", "AudioSourceConfig_1") +
                                       Item("AudioAnalyticsConfigurationToken", "AudioAnalyticsConfig_1") +
                                       Item("Rule", "MyAudioDetectorRule"),
                                   Item("IsSoundDetected", Bool(cur.audio))));
    }
    for (size_t i = 0; i < cur.inputs.size(); ++i) {
        bool was = i < prev.inputs.size() && prev.inputs[i];
        if (!all && was == cur.inputs[i]) continue;
        out.push_back(Notification("tns1:Device/Trigger/DigitalInput", op,
                                   Item("InputToken", "DI_" + std::to_string(i + 1)),
                                   Item("LogicalState", Bool(cur.inputs[i]))));
    }
    for (std::string& m : out) {
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

std::string BaseUrl(const Request& req) { return "http://" + req.Header("host"); }

Response DeviceService(const Request& req, const SimContext& ctx, const std::string& op) {
    const std::string base = BaseUrl(req);
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

Response CreateSubscription(const Request& req, const std::string& key) {
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
    return Soap("<tev:CreatePullPointSubscriptionResponse><tev:SubscriptionReference><wsa5:Address>" + BaseUrl(req) +
                "/onvif/subscription?id=" + std::to_string(id) +
                "</wsa5:Address></tev:SubscriptionReference><wsnt:CurrentTime>" + Iso(now) +
                "</wsnt:CurrentTime><wsnt:TerminationTime>" + Iso(now + termSec) +
                "</wsnt:TerminationTime></tev:CreatePullPointSubscriptionResponse>");
}

// Takes up to `limit` messages (after adding what the state brings); false
// when the subscription is gone.
// Every change since the subscriber's last one becomes its events, as a
// camera queues them (a change and its reversal between two pulls are two
// events, not none).
bool TakeMessages(const std::string& key, int id, const StreamWriter& w, int limit, std::vector<std::string>& out,
                  time_t& expires) {
    std::lock_guard<std::mutex> g(g_Mutex);
    Device& d = g_Devices[key];
    auto it = d.subs.find(id);
    if (it == d.subs.end()) return false;
    Subscription& sub = it->second;
    const size_t before = sub.pending.size();
    if (!sub.initialized) {
        Notify(sub, w.State());
    } else {
        for (const AlarmState& st : w.StatesAfter(sub.last.version)) Notify(sub, st);
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
    (void)ctx;
    Response r;
    r.Header("Content-Type", "application/soap+xml; charset=utf-8");
    // The answer waits for the first message or the time-out.
    r.stream = [key, id, timeoutMs, limit](StreamWriter& w) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        uint64_t seen = w.State().version;
        std::vector<std::string> msgs;
        time_t expires = 0;
        while (true) {
            if (!TakeMessages(key, id, w, limit, msgs, expires)) break;
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
    if (!Authorized(req.body, ctx)) return SoapFault(400, "Sender", "ter:NotAuthorized", "Sender not Authorized");
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
        if (op != "CreatePullPointSubscription")
            return SoapFault(400, "Sender", "ter:ActionNotSupported", "Unknown operation " + op);
        return CreateSubscription(req, key);
    }
    if (req.path == "/onvif/subscription") return Subscription(req, ctx, key, op);
    return Response::NotFound();
}

}  // namespace camsim
