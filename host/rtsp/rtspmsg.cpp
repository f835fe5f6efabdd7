#include "host/rtsp/rtspmsg.h"

#include <ctype.h>
#include <openssl/evp.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

std::string Lower(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = (char)(c - 'A' + 'a');
    }
    return s;
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n')) --e;
    return s.substr(b, e - b);
}

bool StartsWithNoCase(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && Lower(s.substr(0, prefix.size())) == Lower(prefix);
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t eol = text.find('\n', pos);
        if (eol == std::string::npos) eol = text.size();
        std::string line = text.substr(pos, eol - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
        pos = eol + 1;
    }
    return out;
}

// Parameters of one challenge: name=value or name="quoted value", comma separated.
std::vector<std::pair<std::string, std::string> > AuthParams(const std::string& text) {
    std::vector<std::pair<std::string, std::string> > out;
    size_t i = 0;
    const size_t n = text.size();
    while (i < n) {
        while (i < n && (text[i] == ' ' || text[i] == '\t' || text[i] == ',')) ++i;
        size_t nameStart = i;
        while (i < n && text[i] != '=' && text[i] != ',' && text[i] != ' ') ++i;
        std::string name = Lower(text.substr(nameStart, i - nameStart));
        while (i < n && text[i] == ' ') ++i;
        std::string value;
        if (i < n && text[i] == '=') {
            ++i;
            while (i < n && text[i] == ' ') ++i;
            if (i < n && text[i] == '"') {
                ++i;
                while (i < n && text[i] != '"') {
                    if (text[i] == '\\' && i + 1 < n) ++i;
                    value += text[i++];
                }
                if (i < n) ++i;
            } else {
                size_t vs = i;
                while (i < n && text[i] != ',') ++i;
                value = Trim(text.substr(vs, i - vs));
            }
        }
        if (!name.empty()) out.push_back(std::make_pair(name, value));
        if (i == nameStart) ++i;
    }
    return out;
}

std::string Base64(const std::string& in) {
    std::string out(4 * ((in.size() + 2) / 3) + 1, '\0');
    const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(&out[0]),
                                  reinterpret_cast<const unsigned char*>(in.data()), (int)in.size());
    out.resize(n > 0 ? (size_t)n : 0);
    return out;
}

std::string Quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

// scheme://host[:port] of an absolute URL, "" when it is not one.
std::string UrlOrigin(const std::string& url) {
    const size_t scheme = url.find("://");
    if (scheme == std::string::npos) return std::string();
    const size_t slash = url.find('/', scheme + 3);
    return slash == std::string::npos ? url : url.substr(0, slash);
}

std::string ResolveControl(const std::string& control, const std::string& base) {
    if (control.empty() || control == "*") return base;
    if (control.find("://") != std::string::npos) return control;
    if (control[0] == '/') return UrlOrigin(base) + control;
    if (!base.empty() && base.back() == '/') return base + control;
    return base + "/" + control;
}


std::string PercentDecode(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && isxdigit((unsigned char)s[i + 1]) && isxdigit((unsigned char)s[i + 2])) {
            out += (char)strtol(s.substr(i + 1, 2).c_str(), nullptr, 16);
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

}  // namespace

// ---------------------------------------------------------------- messages

std::string RTSP_MESSAGE::Header(const std::string& name) const {
    const std::string want = Lower(name);
    for (const auto& h : headers) {
        if (Lower(h.first) == want) return h.second;
    }
    return std::string();
}

std::vector<std::string> RTSP_MESSAGE::Headers(const std::string& name) const {
    std::vector<std::string> out;
    const std::string want = Lower(name);
    for (const auto& h : headers) {
        if (Lower(h.first) == want) out.push_back(h.second);
    }
    return out;
}

int RTSP_MESSAGE::CSeq() const {
    const std::string v = Header("CSeq");
    if (v.empty()) return -1;
    char* end = nullptr;
    long n = strtol(v.c_str(), &end, 10);
    if (*end != '\0' || n < 0 || n > 0x7fffffff) return -1;
    return (int)n;
}

bool ParseRtspMessage(const char* head, size_t headLen, const char* body, size_t bodyLen, RTSP_MESSAGE& out) {
    out = RTSP_MESSAGE();
    const std::vector<std::string> lines = Lines(std::string(head, headLen));
    if (lines.empty()) return false;
    const std::string& first = lines[0];
    if (first.compare(0, 5, "RTSP/") == 0) {
        const size_t sp = first.find(' ');
        if (sp == std::string::npos) return false;
        char* end = nullptr;
        long status = strtol(first.c_str() + sp + 1, &end, 10);
        if (end == first.c_str() + sp + 1 || status < 100 || status > 999) return false;
        out.blResponse = true;
        out.status = (int)status;
    } else {
        const size_t sp = first.find(' ');
        if (sp == std::string::npos || sp == 0 || first.find(" RTSP/") == std::string::npos) return false;
        out.method = first.substr(0, sp);
    }
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& l = lines[i];
        if (l.empty()) break;
        if ((l[0] == ' ' || l[0] == '\t') && !out.headers.empty()) {
            // A folded continuation of the previous header.
            out.headers.back().second += " " + Trim(l);
            continue;
        }
        const size_t colon = l.find(':');
        if (colon == std::string::npos) continue;
        out.headers.push_back(std::make_pair(Trim(l.substr(0, colon)), Trim(l.substr(colon + 1))));
    }
    if (body && bodyLen) out.body.assign(body, bodyLen);
    return true;
}

// ---------------------------------------------------------------- authentication

RTSP_CHALLENGE ParseChallenges(const std::vector<std::string>& values) {
    RTSP_CHALLENGE basic, digest;
    for (const std::string& v : values) {
        if (StartsWithNoCase(v, "Digest") && (v.size() == 6 || v[6] == ' ')) {
            RTSP_CHALLENGE c;
            c.scheme = RTSP_CHALLENGE::DIGEST;
            for (const auto& p : AuthParams(v.substr(6))) {
                if (p.first == "realm") c.realm = p.second;
                else if (p.first == "nonce") c.nonce = p.second;
                else if (p.first == "opaque") c.opaque = p.second;
                else if (p.first == "algorithm") c.algorithm = p.second;
                else if (p.first == "stale") c.blStale = Lower(p.second) == "true";
                else if (p.first == "qop") {
                    // A list such as "auth,auth-int"; only "auth" is answered.
                    std::string list = ",";
                    for (char ch : Lower(p.second)) {
                        if (ch != ' ') list += ch;
                    }
                    c.blQopAuth = (list + ",").find(",auth,") != std::string::npos;
                }
            }
            const bool md5 = c.algorithm.empty() || Lower(c.algorithm) == "md5";
            if (md5 && !c.nonce.empty() && digest.scheme == RTSP_CHALLENGE::NONE) digest = c;
        } else if (StartsWithNoCase(v, "Basic") && (v.size() == 5 || v[5] == ' ')) {
            basic.scheme = RTSP_CHALLENGE::BASIC;
            for (const auto& p : AuthParams(v.substr(5))) {
                if (p.first == "realm") basic.realm = p.second;
            }
        }
    }
    return digest.scheme != RTSP_CHALLENGE::NONE ? digest : basic;
}

std::string Md5Hex(const std::string& text) {
    unsigned char md[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (!EVP_Digest(text.data(), text.size(), md, &len, EVP_md5(), nullptr)) return std::string();
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < len; ++i) {
        out += kHex[md[i] >> 4];
        out += kHex[md[i] & 15];
    }
    return out;
}

std::string DigestResponse(const std::string& user, const std::string& password, const std::string& realm,
                           const std::string& nonce, const std::string& method, const std::string& uri, bool qop,
                           const std::string& nc, const std::string& cnonce) {
    const std::string ha1 = Md5Hex(user + ":" + realm + ":" + password);
    const std::string ha2 = Md5Hex(method + ":" + uri);
    if (qop) return Md5Hex(ha1 + ":" + nonce + ":" + nc + ":" + cnonce + ":auth:" + ha2);
    return Md5Hex(ha1 + ":" + nonce + ":" + ha2);
}

std::string AuthorizationValue(const RTSP_CHALLENGE& ch, const std::string& user, const std::string& password,
                               const std::string& method, const std::string& uri, unsigned& nc,
                               const std::string& cnonce) {
    if (ch.scheme == RTSP_CHALLENGE::BASIC) return "Basic " + Base64(user + ":" + password);
    if (ch.scheme != RTSP_CHALLENGE::DIGEST) return std::string();
    ++nc;
    char ncText[16];
    snprintf(ncText, sizeof(ncText), "%08x", nc);
    std::string v = "Digest username=" + Quote(user) + ", realm=" + Quote(ch.realm) + ", nonce=" + Quote(ch.nonce) +
                    ", uri=" + Quote(uri) + ", response=" +
                    Quote(DigestResponse(user, password, ch.realm, ch.nonce, method, uri, ch.blQopAuth, ncText,
                                         cnonce));
    if (!ch.algorithm.empty()) v += ", algorithm=" + ch.algorithm;
    if (!ch.opaque.empty()) v += ", opaque=" + Quote(ch.opaque);
    if (ch.blQopAuth) v += std::string(", qop=auth, nc=") + ncText + ", cnonce=" + Quote(cnonce);
    return v;
}

// ---------------------------------------------------------------- SDP and headers

bool FindSdpMedia(const std::string& sdp, const std::string& type, const std::string& base, SDP_MEDIA& out) {
    std::string sessionControl;
    bool inSession = true, inWanted = false, found = false;
    SDP_MEDIA m;
    for (const std::string& raw : Lines(sdp)) {
        const std::string line = Trim(raw);
        if (line.compare(0, 2, "m=") == 0) {
            if (inWanted) break;  // the wanted section ended
            inSession = false;
            const size_t sp = line.find(' ');
            inWanted = line.substr(2, sp == std::string::npos ? std::string::npos : sp - 2) == type;
            if (inWanted) {
                found = true;
                m.type = type;
            }
            continue;
        }
        if (line.compare(0, 10, "a=control:") == 0) {
            if (inWanted) m.control = Trim(line.substr(10));
            else if (inSession) sessionControl = Trim(line.substr(10));
        } else if (inWanted && line.compare(0, 9, "a=rtpmap:") == 0 && m.rtpmap.empty()) {
            m.rtpmap = Trim(line.substr(9));
        }
    }
    if (!found) return false;
    // A session-level control URL is the base of relative track controls.
    std::string sessionBase = base;
    if (!sessionControl.empty() && sessionControl != "*") sessionBase = ResolveControl(sessionControl, base);
    m.control = ResolveControl(m.control, sessionBase);
    out = m;
    return true;
}

bool ParseInterleaved(const std::string& transport, int& rtp, int& rtcp) {
    const size_t p = transport.find("interleaved=");
    if (p == std::string::npos) return false;
    const char* s = transport.c_str() + p + 12;
    char* end = nullptr;
    long a = strtol(s, &end, 10);
    if (end == s || a < 0 || a > 255) return false;
    long b = a + 1;
    if (*end == '-') {
        const char* s2 = end + 1;
        b = strtol(s2, &end, 10);
        if (end == s2 || b < 0 || b > 255) return false;
    }
    rtp = (int)a;
    rtcp = (int)b;
    return true;
}

void ParseSession(const std::string& value, std::string& id, int& timeoutSec) {
    const size_t semi = value.find(';');
    id = Trim(value.substr(0, semi));
    timeoutSec = 60;
    if (semi == std::string::npos) return;
    const std::string rest = Lower(value.substr(semi));
    const size_t t = rest.find("timeout=");
    if (t == std::string::npos) return;
    long v = strtol(rest.c_str() + t + 8, nullptr, 10);
    if (v > 0 && v <= 3600) timeoutSec = (int)v;
}

// ---------------------------------------------------------------- URLs

bool ParseRtspUrl(const std::string& url, RTSP_URL_PARTS& out, std::string& why) {
    if (url.compare(0, 7, "rtsp://") != 0) {
        why = "expects an rtsp:// URL";
        return false;
    }
    const size_t start = 7;
    const size_t slash = url.find('/', start);
    std::string authority = url.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
    const std::string path = slash == std::string::npos ? "/" : url.substr(slash);
    const size_t at = authority.rfind('@');
    std::string user, password;
    const bool login = at != std::string::npos;
    if (login) {
        const std::string info = authority.substr(0, at);
        const size_t colon = info.find(':');
        user = PercentDecode(info.substr(0, colon));
        if (colon != std::string::npos) password = PercentDecode(info.substr(colon + 1));
        authority = authority.substr(at + 1);
    }
    std::string host = authority;
    int port = 554;
    size_t portSep = std::string::npos;
    if (!host.empty() && host[0] == '[') {
        const size_t close = host.find(']');
        if (close == std::string::npos) {
            why = "an IPv6 address without its closing bracket";
            return false;
        }
        if (close + 1 < host.size()) portSep = close + 1;
        host = authority.substr(1, close - 1);
    } else {
        portSep = host.find(':');
        if (portSep != std::string::npos) host = authority.substr(0, portSep);
    }
    if (portSep != std::string::npos) {
        const std::string p = authority.substr(portSep + 1);
        char* end = nullptr;
        const long v = strtol(p.c_str(), &end, 10);
        if (authority[portSep] != ':' || p.empty() || *end != '\0' || v < 1 || v > 65535) {
            why = "the port must be 1-65535";
            return false;
        }
        port = (int)v;
    }
    if (host.empty()) {
        why = "the URL names no host";
        return false;
    }
    out.host = host;
    out.port = port;
    out.path = path;
    out.blLogin = login;
    out.user = user;
    out.password = password;
    return true;
}
