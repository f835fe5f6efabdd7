// ONVIF SOAP envelopes: request building, WS-Security tokens and the readers
// of camera answers (pure functions of a buffer).
#include "host/onvif/onvifsoap.h"

#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <tinyxml2.h>

using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

namespace OnvifSoap {

const char* const kNsSoap12 = "http://www.w3.org/2003/05/soap-envelope";
const char* const kNsSoap11 = "http://schemas.xmlsoap.org/soap/envelope/";
const char* const kNsSchema = "http://www.onvif.org/ver10/schema";
const char* const kNsEvents = "http://www.onvif.org/ver10/events/wsdl";
const char* const kNsWsnt = "http://docs.oasis-open.org/wsn/b-2";
const char* const kNsWsa = "http://www.w3.org/2005/08/addressing";
const char* const kNsDevice = "http://www.onvif.org/ver10/device/wsdl";
const char* const kNsMedia = "http://www.onvif.org/ver10/media/wsdl";
const char* const kNsDeviceIo = "http://www.onvif.org/ver10/deviceIO/wsdl";
const char* const kNsImaging = "http://www.onvif.org/ver20/imaging/wsdl";
const char* const kNsPtz = "http://www.onvif.org/ver20/ptz/wsdl";
const char* const kNsWstop = "http://docs.oasis-open.org/wsn/t-1";

namespace {

const char* LocalName(const char* qname) {
    const char* colon = strrchr(qname, ':');
    return colon ? colon + 1 : qname;
}

// Namespace URI of an element's prefix, from the declarations in scope.
// Returns null when the prefix is not declared anywhere.
const char* NsOf(const XMLElement* e) {
    const char* name = e->Name();
    const char* colon = strchr(name, ':');
    std::string attr = colon ? "xmlns:" + std::string(name, colon - name) : std::string("xmlns");
    for (const XMLNode* n = e; n; n = n->Parent()) {
        const XMLElement* el = n->ToElement();
        if (!el) break;
        const char* v = el->Attribute(attr.c_str());
        if (v) return v;
    }
    return nullptr;
}

bool Is(const XMLElement* e, const char* ns, const char* local) {
    if (!e || strcmp(LocalName(e->Name()), local) != 0) return false;
    const char* actual = NsOf(e);
    return !actual || strcmp(actual, ns) == 0;
}

bool IsSoapEnv(const XMLElement* e, const char* local) { return Is(e, kNsSoap12, local) || Is(e, kNsSoap11, local); }

const XMLElement* Child(const XMLElement* parent, const char* ns, const char* local) {
    if (!parent) return nullptr;
    for (const XMLElement* c = parent->FirstChildElement(); c; c = c->NextSiblingElement())
        if (Is(c, ns, local)) return c;
    return nullptr;
}

// Depth-first search below parent (parent excluded); bounded by the parser's
// nesting limit.
const XMLElement* Find(const XMLElement* parent, const char* ns, const char* local) {
    if (!parent) return nullptr;
    for (const XMLElement* c = parent->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (Is(c, ns, local)) return c;
        const XMLElement* d = Find(c, ns, local);
        if (d) return d;
    }
    return nullptr;
}

std::string Trim(const char* s) {
    if (!s) return std::string();
    const char* b = s;
    while (*b == ' ' || *b == '\t' || *b == '\r' || *b == '\n') ++b;
    const char* e = b + strlen(b);
    while (e > b && (e[-1] == ' ' || e[-1] == '\t' || e[-1] == '\r' || e[-1] == '\n')) --e;
    return std::string(b, e - b);
}

std::string TextOf(const XMLElement* e) { return e ? Trim(e->GetText()) : std::string(); }

std::string AttrOf(const XMLElement* e, const char* local) {
    if (!e) return std::string();
    for (const tinyxml2::XMLAttribute* a = e->FirstAttribute(); a; a = a->Next())
        if (strcmp(LocalName(a->Name()), local) == 0 && strncmp(a->Name(), "xmlns", 5) != 0) return a->Value();
    return std::string();
}

// Parses the envelope and returns its Body, or null with rc set.
const XMLElement* OpenBody(XMLDocument& doc, const char* buf, size_t len, int& rc) {
    if (len > kOnvifSoapMaxLen) {
        rc = OVF_SOAP_ERR_SIZE;
        return nullptr;
    }
    if (!buf || len == 0 || doc.Parse(buf, len) != tinyxml2::XML_SUCCESS) {
        rc = OVF_SOAP_ERR_XML;
        return nullptr;
    }
    const XMLElement* env = doc.RootElement();
    if (!IsSoapEnv(env, "Envelope")) {
        rc = OVF_SOAP_ERR_SHAPE;
        return nullptr;
    }
    const XMLElement* body = nullptr;
    for (const XMLElement* c = env->FirstChildElement(); c; c = c->NextSiblingElement())
        if (IsSoapEnv(c, "Body")) body = c;
    if (!body) {
        rc = OVF_SOAP_ERR_SHAPE;
        return nullptr;
    }
    for (const XMLElement* c = body->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (IsSoapEnv(c, "Fault")) {
            rc = OVF_SOAP_ERR_FAULT;
            return nullptr;
        }
    }
    rc = OVF_SOAP_OK;
    return body;
}

void ReadItems(const XMLElement* parent, OVF_ITEM_LIST& items) {
    if (!parent) return;
    for (const XMLElement* c = parent->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (!Is(c, kNsSchema, "SimpleItem")) continue;
        if (items.size() >= kOnvifMaxItems) break;
        const char* name = c->Attribute("Name");
        const char* value = c->Attribute("Value");
        items.push_back(std::make_pair(std::string(name ? name : ""), std::string(value ? value : "")));
    }
}

}  // namespace

bool Fault::IsAuth() const {
    const char* words[] = {"NotAuthorized", "FailedAuthentication", "InvalidSecurity", "Unauthorized"};
    for (const char* w : words)
        if (subcode.find(w) != std::string::npos || code.find(w) != std::string::npos) return true;
    return false;
}

int CheckEnvelope(const char* buf, size_t len, Fault& fault) {
    fault = Fault();
    XMLDocument doc;
    int rc;
    if (OpenBody(doc, buf, len, rc)) return OVF_SOAP_OK;
    if (rc != OVF_SOAP_ERR_FAULT) return rc;
    const XMLElement* body = nullptr;
    for (const XMLElement* c = doc.RootElement()->FirstChildElement(); c; c = c->NextSiblingElement())
        if (IsSoapEnv(c, "Body")) body = c;
    const XMLElement* f = nullptr;
    for (const XMLElement* c = body->FirstChildElement(); c; c = c->NextSiblingElement())
        if (IsSoapEnv(c, "Fault")) f = c;
    const XMLElement* code = Child(f, kNsSoap12, "Code");
    if (code) {  // SOAP 1.2
        fault.code = TextOf(Child(code, kNsSoap12, "Value"));
        const XMLElement* sub = Child(code, kNsSoap12, "Subcode");
        std::string subs;
        // Nested subcodes: the innermost is the most specific; keep them all.
        for (int i = 0; sub && i < 8; ++i) {
            if (!subs.empty()) subs += " ";
            subs += TextOf(Child(sub, kNsSoap12, "Value"));
            sub = Child(sub, kNsSoap12, "Subcode");
        }
        fault.subcode = subs;
        fault.reason = TextOf(Child(Child(f, kNsSoap12, "Reason"), kNsSoap12, "Text"));
    } else {  // SOAP 1.1: unqualified children
        for (const XMLElement* c = f->FirstChildElement(); c; c = c->NextSiblingElement()) {
            if (strcmp(LocalName(c->Name()), "faultcode") == 0) fault.code = TextOf(c);
            if (strcmp(LocalName(c->Name()), "faultstring") == 0) fault.reason = TextOf(c);
        }
    }
    return OVF_SOAP_ERR_FAULT;
}

namespace {
// Seconds between two times of the camera's own clock; -1 unless both parse.
int SecondsBetween(const std::string& from, const std::string& to) {
    time_t a = 0, b = 0;
    if (!ParseIsoUtc(from, a) || !ParseIsoUtc(to, b) || b < a) return -1;
    const time_t d = b - a;
    return d > 0x7fffffff ? 0x7fffffff : (int)d;
}
}  // namespace

int ParsePullMessages(const char* buf, size_t len, OVF_EVT_PULL_MSG& out) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsEvents, "PullMessagesResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    OVF_EVT_PULL_MSG msg;
    msg.currentTime = TextOf(Child(resp, kNsEvents, "CurrentTime"));
    msg.terminationTime = TextOf(Child(resp, kNsEvents, "TerminationTime"));
    msg.termSecondsLeft = SecondsBetween(msg.currentTime, msg.terminationTime);
    for (const XMLElement* nm = resp->FirstChildElement(); nm; nm = nm->NextSiblingElement()) {
        if (!Is(nm, kNsWsnt, "NotificationMessage")) continue;
        if (msg.notifs.size() >= kOnvifMaxNotifs) break;
        OVF_EVT_NOTIF n;
        n.topic = TextOf(Child(nm, kNsWsnt, "Topic"));
        const XMLElement* m = Child(Child(nm, kNsWsnt, "Message"), kNsSchema, "Message");
        if (!m) continue;  // not an ONVIF message: nothing a rule could match
        const char* utc = m->Attribute("UtcTime");
        n.utcTime = utc ? utc : "";
        const char* op = m->Attribute("PropertyOperation");
        n.propOper = op ? op : "@UNKNOWN@";
        ReadItems(Child(m, kNsSchema, "Source"), n.source);
        ReadItems(Child(m, kNsSchema, "Data"), n.data);
        msg.notifs.push_back(n);
    }
    out = msg;
    return OVF_SOAP_OK;
}

int ParseCreatePullPoint(const char* buf, size_t len, OVF_EVT_PULL_PT& pp) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsEvents, "CreatePullPointSubscriptionResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    const XMLElement* ref = Child(resp, kNsEvents, "SubscriptionReference");
    const XMLElement* addr = Child(ref, kNsWsa, "Address");
    if (!addr) {
        // WS-Addressing 2004/08 (older cameras) under another namespace name.
        for (const XMLElement* c = ref ? ref->FirstChildElement() : nullptr; c; c = c->NextSiblingElement())
            if (strcmp(LocalName(c->Name()), "Address") == 0) addr = c;
    }
    OVF_EVT_PULL_PT r;
    r.address = TextOf(addr);
    r.currentTime = TextOf(Find(resp, kNsWsnt, "CurrentTime"));
    r.terminationTime = TextOf(Find(resp, kNsWsnt, "TerminationTime"));
    r.termSecondsLeft = SecondsBetween(r.currentTime, r.terminationTime);
    pp = r;
    return OVF_SOAP_OK;
}

int ParseRenew(const char* buf, size_t len, OVF_EVT_PULL_PT& pp) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsWsnt, "RenewResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    pp.currentTime = TextOf(Child(resp, kNsWsnt, "CurrentTime"));
    pp.terminationTime = TextOf(Child(resp, kNsWsnt, "TerminationTime"));
    pp.termSecondsLeft = SecondsBetween(pp.currentTime, pp.terminationTime);
    return OVF_SOAP_OK;
}

int ParseVideoSourceConfigurations(const char* buf, size_t len, std::list<OVF_MED_VDO_SRC_CONF>& out) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsMedia, "GetVideoSourceConfigurationsResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    std::list<OVF_MED_VDO_SRC_CONF> confs;
    for (const XMLElement* c = resp->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (!Is(c, kNsMedia, "Configurations")) continue;
        if (confs.size() >= kOnvifMaxListLen) break;
        OVF_MED_VDO_SRC_CONF v;
        v.field[0] = AttrOf(c, "token");
        v.field[1] = TextOf(Child(c, kNsSchema, "Name"));
        v.field[2] = TextOf(Child(c, kNsSchema, "SourceToken"));
        v.field[3] = TextOf(Child(c, kNsSchema, "UseCount"));
        const XMLElement* b = Child(c, kNsSchema, "Bounds");
        if (b) {
            v.field[4] = AttrOf(b, "x") + "," + AttrOf(b, "y");
            v.field[5] = AttrOf(b, "width");
            v.field[6] = AttrOf(b, "height");
        }
        confs.push_back(v);
    }
    out = confs;
    return OVF_SOAP_OK;
}

int ParseDigitalInputs(const char* buf, size_t len, std::vector<std::string>& out) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsDeviceIo, "GetDigitalInputsResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    std::vector<std::string> tokens;
    for (const XMLElement* c = resp->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (!Is(c, kNsDeviceIo, "DigitalInputs")) continue;
        if (tokens.size() >= kOnvifMaxListLen) break;
        tokens.push_back(AttrOf(c, "token"));
    }
    out = tokens;
    return OVF_SOAP_OK;
}

int ParseServices(const char* buf, size_t len, OnvifServiceEnt& ent, OnvifVersion& ver) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsDevice, "GetServicesResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    OnvifServiceEnt e;
    OnvifVersion v;
    for (const XMLElement* s = resp->FirstChildElement(); s; s = s->NextSiblingElement()) {
        if (!Is(s, kNsDevice, "Service")) continue;
        std::string ns = TextOf(Child(s, kNsDevice, "Namespace"));
        std::string addr = TextOf(Child(s, kNsDevice, "XAddr"));
        int idx = -1;
        if (ns == kNsDevice) idx = 0;
        else if (ns == kNsMedia) idx = 1;
        else if (ns == kNsImaging) idx = 2;
        else if (ns == kNsEvents) idx = 3;
        else if (ns == kNsPtz) idx = 4;
        else if (ns == kNsDeviceIo) idx = 5;
        if (idx < 0 || !e.entry[idx].empty()) continue;
        e.entry[idx] = addr;
        if (idx == 0) {
            const XMLElement* vv = Child(s, kNsDevice, "Version");
            v.major = TextOf(Child(vv, kNsSchema, "Major"));
            v.minor = TextOf(Child(vv, kNsSchema, "Minor"));
        }
    }
    ent = e;
    ver = v;
    return OVF_SOAP_OK;
}

int ParseCapabilities(const char* buf, size_t len, OnvifServiceEnt& ent, OnvifVersion& ver) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* caps = Child(Child(body, kNsDevice, "GetCapabilitiesResponse"), kNsDevice, "Capabilities");
    if (!caps) return OVF_SOAP_ERR_SHAPE;
    OnvifServiceEnt e;
    OnvifVersion v;
    const char* names[] = {"Device", "Media", "Imaging", "Events", "PTZ"};
    for (int i = 0; i < 5; ++i) e.entry[i] = TextOf(Child(Child(caps, kNsSchema, names[i]), kNsSchema, "XAddr"));
    const XMLElement* ext = Child(caps, kNsSchema, "Extension");
    e.entry[5] = TextOf(Child(Child(ext, kNsSchema, "DeviceIO"), kNsSchema, "XAddr"));
    // Highest supported version listed by the device.
    const XMLElement* sys = Child(Child(caps, kNsSchema, "Device"), kNsSchema, "System");
    int bestMajor = -1, bestMinor = -1;
    for (const XMLElement* s = sys ? sys->FirstChildElement() : nullptr; s; s = s->NextSiblingElement()) {
        if (!Is(s, kNsSchema, "SupportedVersions")) continue;
        std::string ma = TextOf(Child(s, kNsSchema, "Major"));
        std::string mi = TextOf(Child(s, kNsSchema, "Minor"));
        int a = atoi(ma.c_str()), b = atoi(mi.c_str());
        if (a > bestMajor || (a == bestMajor && b > bestMinor)) {
            bestMajor = a;
            bestMinor = b;
            v.major = ma;
            v.minor = mi;
        }
    }
    ent = e;
    ver = v;
    return OVF_SOAP_OK;
}

int ParseSystemDateAndTime(const char* buf, size_t len, time_t& utc) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* sdt =
        Child(Child(body, kNsDevice, "GetSystemDateAndTimeResponse"), kNsDevice, "SystemDateAndTime");
    const XMLElement* u = Child(sdt, kNsSchema, "UTCDateTime");
    const XMLElement* d = Child(u, kNsSchema, "Date");
    const XMLElement* t = Child(u, kNsSchema, "Time");
    if (!d || !t) return OVF_SOAP_ERR_SHAPE;
    struct tm tmv;
    memset(&tmv, 0, sizeof(tmv));
    tmv.tm_year = atoi(TextOf(Child(d, kNsSchema, "Year")).c_str()) - 1900;
    tmv.tm_mon = atoi(TextOf(Child(d, kNsSchema, "Month")).c_str()) - 1;
    tmv.tm_mday = atoi(TextOf(Child(d, kNsSchema, "Day")).c_str());
    tmv.tm_hour = atoi(TextOf(Child(t, kNsSchema, "Hour")).c_str());
    tmv.tm_min = atoi(TextOf(Child(t, kNsSchema, "Minute")).c_str());
    tmv.tm_sec = atoi(TextOf(Child(t, kNsSchema, "Second")).c_str());
    if (tmv.tm_year < 70 || tmv.tm_year > 1100 || tmv.tm_mon < 0 || tmv.tm_mon > 11 || tmv.tm_mday < 1 ||
        tmv.tm_mday > 31 || tmv.tm_hour < 0 || tmv.tm_hour > 23 || tmv.tm_min < 0 || tmv.tm_min > 59 ||
        tmv.tm_sec < 0 || tmv.tm_sec > 60)
        return OVF_SOAP_ERR_SHAPE;
    utc = timegm(&tmv);
    return OVF_SOAP_OK;
}

namespace {

void ReadItemDescs(const XMLElement* parent, std::vector<OVF_ITEM_DESC>& out) {
    for (const XMLElement* c = parent ? parent->FirstChildElement() : nullptr; c; c = c->NextSiblingElement()) {
        if (!Is(c, kNsSchema, "SimpleItemDescription") || out.size() >= kOnvifMaxItems) continue;
        OVF_ITEM_DESC d;
        d.name = AttrOf(c, "Name");
        d.type = AttrOf(c, "Type");
        if (!d.name.empty()) out.push_back(d);
    }
}

// Every element below a topic-set node is a topic level; the recursion is
// bounded by the parser's nesting limit.
void WalkTopics(const XMLElement* node, const std::string& path, std::vector<OVF_TOPIC_DESC>& out) {
    for (const XMLElement* c = node->FirstChildElement(); c; c = c->NextSiblingElement()) {
        if (out.size() >= kOnvifMaxTopics) return;
        if (Is(c, kNsSchema, "MessageDescription") || Is(c, kNsWstop, "Documentation")) continue;
        const std::string topic = path.empty() ? c->Name() : path + "/" + c->Name();
        if (topic.size() > 1024) continue;
        const XMLElement* desc = Child(c, kNsSchema, "MessageDescription");
        if (desc || AttrOf(c, "topic") == "true") {
            OVF_TOPIC_DESC t;
            t.topic = topic;
            ReadItemDescs(Child(desc, kNsSchema, "Source"), t.source);
            ReadItemDescs(Child(desc, kNsSchema, "Data"), t.data);
            out.push_back(t);
        }
        WalkTopics(c, topic, out);
    }
}

}  // namespace

int ParseEventProperties(const char* buf, size_t len, std::vector<OVF_TOPIC_DESC>& topics) {
    XMLDocument doc;
    int rc;
    const XMLElement* body = OpenBody(doc, buf, len, rc);
    if (!body) return rc;
    const XMLElement* resp = Child(body, kNsEvents, "GetEventPropertiesResponse");
    if (!resp) return OVF_SOAP_ERR_SHAPE;
    std::vector<OVF_TOPIC_DESC> out;
    const XMLElement* set = Child(resp, kNsWstop, "TopicSet");
    if (set) WalkTopics(set, "", out);
    topics.swap(out);
    return OVF_SOAP_OK;
}

// ---------------------------------------------------------------- shared with the builders

std::string Base64(const std::string& raw) {
    std::string out(4 * ((raw.size() + 2) / 3) + 1, '\0');
    int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(raw.data()), (int)raw.size());
    out.resize(n < 0 ? 0 : n);
    return out;
}

bool Base64Decode(const std::string& text, std::string& raw) {
    if (text.size() % 4 != 0 || text.size() > (1u << 20)) return false;
    std::string out(text.size() / 4 * 3 + 1, '\0');
    int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                            reinterpret_cast<const unsigned char*>(text.data()), (int)text.size());
    if (n < 0) return false;
    // EVP_DecodeBlock counts the padding as data; drop it.
    size_t pad = 0;
    if (!text.empty() && text[text.size() - 1] == '=') ++pad;
    if (text.size() > 1 && text[text.size() - 2] == '=') ++pad;
    out.resize((size_t)n - pad);
    raw = out;
    return true;
}

std::string IsoUtc(time_t t) {
    struct tm tmv;
    gmtime_r(&t, &tmv);
    char buf[32];
    strftime(buf, sizeof(buf), "%Y-%m-%dT%H:%M:%SZ", &tmv);
    return buf;
}

bool ParseIsoUtc(const std::string& text, time_t& t) {
    struct tm tmv;
    memset(&tmv, 0, sizeof(tmv));
    int consumed = 0;
    if (sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &tmv.tm_year, &tmv.tm_mon, &tmv.tm_mday, &tmv.tm_hour,
               &tmv.tm_min, &tmv.tm_sec, &consumed) != 6)
        return false;
    size_t pos = (size_t)consumed;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
    }
    if (pos + 1 != text.size() || text[pos] != 'Z') return false;
    tmv.tm_year -= 1900;
    tmv.tm_mon -= 1;
    t = timegm(&tmv);
    return true;
}

}  // namespace OnvifSoap
