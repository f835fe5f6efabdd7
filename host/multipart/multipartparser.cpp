#include "host/multipart/multipartparser.h"

#include <string.h>
#include <strings.h>

namespace BrellinOwned {

namespace {
std::string StripDashes(const std::string& s) {
    size_t i = 0;
    while (i < s.size() && s[i] == '-') ++i;
    return s.substr(i);
}

std::string Trim(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r')) --e;
    return s.substr(b, e - b);
}

// A header line is "token: value"; anything else after a delimiter is body.
bool LooksLikeHeader(const std::string& line) {
    size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i) {
        unsigned char c = (unsigned char)line[i];
        if (c <= ' ' || c >= 0x7f || strchr("()<>@,;\\\"/[]?={}", c)) return false;
    }
    return true;
}

bool NameIs(const std::string& line, const char* name) {
    size_t n = strlen(name);
    return line.size() > n && line[n] == ':' && strncasecmp(line.c_str(), name, n) == 0;
}

// Line [p, nl) without its trailing "\r".
size_t LineLen(const std::string& buf, size_t p, size_t nl) {
    size_t e = nl;
    if (e > p && buf[e - 1] == '\r') --e;
    return e - p;
}
}  // namespace

std::string MultipartBoundary(const std::string& contentType) {
    size_t i = 0;
    while (true) {
        size_t p = contentType.find(';', i);
        if (p == std::string::npos) return std::string();
        i = p + 1;
        size_t b = i;
        while (b < contentType.size() && (contentType[b] == ' ' || contentType[b] == '\t')) ++b;
        if (contentType.size() - b < 9 || strncasecmp(contentType.c_str() + b, "boundary=", 9) != 0) continue;
        std::string v = contentType.substr(b + 9);
        if (!v.empty() && v[0] == '"') {
            size_t q = v.find('"', 1);
            return v.substr(1, q == std::string::npos ? std::string::npos : q - 1);
        }
        size_t end = v.find_first_of("; \t\r\n");
        return v.substr(0, end);
    }
}

MultipartParser::MultipartParser(const std::string& boundary) { Reset(boundary); }

void MultipartParser::Reset(const std::string& boundary) {
    m_Core = StripDashes(Trim(boundary));
    m_State = SEEK;
    m_Buf.clear();
    m_Pos = m_BodyStart = m_ScanPos = 0;
    m_blInLongLine = false;
    m_ContentLength = 0;
    m_blHasLength = false;
    m_Part = MultipartPart();
    m_Ready.clear();
    m_ReadyBytes = 0;
}

size_t MultipartParser::Held() const { return m_Buf.size() + m_ReadyBytes + m_Part.headers.size(); }

int MultipartParser::Delimiter(const char* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\t')) --n;
    size_t d = 0;
    while (d < n && p[d] == '-') ++d;
    if (m_Core.empty()) {
        // Learning: the first "--" line names the boundary.
        if (d < 2 || d == n) return 0;
        m_Core.assign(p + d, n - d);
        if (m_Core.size() > 2 && m_Core.compare(m_Core.size() - 2, 2, "--") == 0) m_Core.resize(m_Core.size() - 2);
        return 1;
    }
    const char* r = p + d;
    size_t rn = n - d;
    if (rn < m_Core.size() || memcmp(r, m_Core.data(), m_Core.size()) != 0) return 0;
    if (rn == m_Core.size()) return 1;
    if (rn == m_Core.size() + 2 && r[rn - 1] == '-' && r[rn - 2] == '-') return 2;
    return 0;
}

bool MultipartParser::Feed(const char* data, size_t len) {
    if (m_State == FAILED) return false;
    if (m_State == ENDED || len == 0) return true;
    Compact();
    m_Buf.append(data, len);
    Run();
    return m_State != FAILED;
}

bool MultipartParser::PopPart(MultipartPart& out) {
    if (m_Ready.empty()) return false;
    out.headers.swap(m_Ready.front().headers);
    out.contentType.swap(m_Ready.front().contentType);
    out.body.swap(m_Ready.front().body);
    m_ReadyBytes -= out.body.size() + out.headers.size();
    m_Ready.pop_front();
    return true;
}

void MultipartParser::Compact() {
    size_t keep = (m_State == BODY_LEN || m_State == BODY_SCAN) ? m_BodyStart : m_Pos;
    if (keep == 0) return;
    m_Buf.erase(0, keep);
    m_Pos -= keep;
    if (m_State == BODY_LEN || m_State == BODY_SCAN) {
        m_ScanPos -= keep;
        m_BodyStart = 0;
    }
}

void MultipartParser::Run() {
    bool more = true;
    while (more) {
        switch (m_State) {
        case SEEK: more = StepSeek(); break;
        case HEADERS: more = StepHeaders(); break;
        case BODY_LEN: more = StepBodyLen(); break;
        case BODY_SCAN: more = StepBodyScan(); break;
        default: more = false; break;
        }
    }
    if (m_State == ENDED || m_State == FAILED) {
        // Nothing more will be parsed: give the memory back at once.
        std::string().swap(m_Buf);
        m_Pos = m_BodyStart = m_ScanPos = 0;
        m_Part = MultipartPart();
    }
}

bool MultipartParser::StepSeek() {
    size_t nl = m_Buf.find('\n', m_Pos);
    if (nl == std::string::npos) {
        if (m_Buf.size() - m_Pos > kMaxGarbageLine) {
            m_Pos = m_Buf.size();
            m_blInLongLine = true;
        }
        return false;
    }
    int d = m_blInLongLine ? 0 : Delimiter(m_Buf.data() + m_Pos, LineLen(m_Buf, m_Pos, nl));
    m_blInLongLine = false;
    m_Pos = nl + 1;
    if (d == 2) {
        m_State = ENDED;
    } else if (d == 1) {
        m_Part = MultipartPart();
        m_blHasLength = false;
        m_State = HEADERS;
    }
    return true;
}

bool MultipartParser::StepHeaders() {
    size_t nl = m_Buf.find('\n', m_Pos);
    if (nl == std::string::npos) {
        if (m_Buf.size() - m_Pos + m_Part.headers.size() > kMaxHeaderBytes) m_State = FAILED;
        return false;
    }
    const size_t n = LineLen(m_Buf, m_Pos, nl);
    if (n == 0) {
        m_Pos = nl + 1;
        if (m_Part.headers.empty()) return true;  // blank lines before the headers
        m_BodyStart = m_ScanPos = m_Pos;
        m_State = m_blHasLength ? BODY_LEN : BODY_SCAN;
        return true;
    }
    int d = Delimiter(m_Buf.data() + m_Pos, n);
    if (d != 0) {
        // A part with headers and no body separator: nothing to report.
        m_Pos = nl + 1;
        m_Part = MultipartPart();
        m_blHasLength = false;
        if (d == 2) m_State = ENDED;
        return true;
    }
    std::string line(m_Buf, m_Pos, n);
    if (m_Part.headers.empty() && !LooksLikeHeader(line)) {
        // No header block: the body starts with this line.
        m_BodyStart = m_ScanPos = m_Pos;
        m_State = BODY_SCAN;
        return true;
    }
    m_Pos = nl + 1;
    if (m_Part.headers.size() + n + 1 > kMaxHeaderBytes) {
        m_State = FAILED;
        return false;
    }
    AddHeader(line);
    return m_State != FAILED;
}

void MultipartParser::AddHeader(const std::string& line) {
    m_Part.headers += line;
    m_Part.headers += '\n';
    if (NameIs(line, "Content-Type")) {
        m_Part.contentType = Trim(line.substr(13));
    } else if (NameIs(line, "Content-Length")) {
        std::string v = Trim(line.substr(15));
        if (v.empty() || v.find_first_not_of("0123456789") != std::string::npos) return;  // ignored
        // Announced size checked before any byte of it is held.
        if (v.size() > 9 || strtoul(v.c_str(), nullptr, 10) > kMaxPartBytes) {
            m_State = FAILED;
            return;
        }
        m_ContentLength = strtoul(v.c_str(), nullptr, 10);
        m_blHasLength = true;
    }
}

bool MultipartParser::StepBodyLen() {
    if (m_Buf.size() - m_BodyStart < m_ContentLength) return false;
    Emit(m_BodyStart + m_ContentLength);
    m_Pos = m_BodyStart + m_ContentLength;
    m_BodyStart = m_Pos;
    m_State = SEEK;
    return true;
}

bool MultipartParser::StepBodyScan() {
    while (true) {
        size_t nl = m_Buf.find('\n', m_ScanPos);
        if (nl == std::string::npos) {
            if (m_Buf.size() - m_BodyStart > kMaxPartBytes) {
                m_State = FAILED;
            }
            return false;
        }
        const size_t n = LineLen(m_Buf, m_ScanPos, nl);
        int d = (n <= m_Core.size() + 2 + 64) ? Delimiter(m_Buf.data() + m_ScanPos, n) : 0;
        if (d == 0) {
            m_ScanPos = nl + 1;
            if (m_ScanPos - m_BodyStart > kMaxPartBytes) {
                m_State = FAILED;
                return false;
            }
            continue;
        }
        // The line break before the delimiter, and blank lines, are not body.
        size_t end = m_ScanPos;
        while (end > m_BodyStart && (m_Buf[end - 1] == '\n' || m_Buf[end - 1] == '\r')) --end;
        Emit(end);
        m_Pos = nl + 1;
        m_BodyStart = m_Pos;
        m_Part = MultipartPart();
        m_blHasLength = false;
        m_State = d == 2 ? ENDED : HEADERS;
        return true;
    }
}

void MultipartParser::Emit(size_t bodyEnd) {
    m_Part.body.assign(m_Buf, m_BodyStart, bodyEnd - m_BodyStart);
    m_ReadyBytes += m_Part.body.size() + m_Part.headers.size();
    m_Ready.push_back(MultipartPart());
    m_Ready.back().headers.swap(m_Part.headers);
    m_Ready.back().contentType.swap(m_Part.contentType);
    m_Ready.back().body.swap(m_Part.body);
    m_Part = MultipartPart();
}

}  // namespace BrellinOwned
