// Wire helpers of the simulated ONVIF device (tools/camsim/onvifsim.h).
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include <algorithm>

#include "tools/camsim/onvifsim.h"

namespace camsim {
namespace onvifsim {

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

static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

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
std::string TagText(const std::string& xml, const std::string& local, size_t* endPos) {
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
    "xmlns:ter=\"http://www.onvif.org/ver10/error\" xmlns:wstop=\"http://docs.oasis-open.org/wsn/t-1\" "
    "xmlns:tnsvendor=\"http://www.example.com/vendor/topics\"><SOAP-ENV:Body>";
const char* const kEnvClose = "</SOAP-ENV:Body></SOAP-ENV:Envelope>\n";

Response Soap(const std::string& body, int status) {
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

}  // namespace onvifsim
}  // namespace camsim
