// Pure parsing helpers of the recorder's network clients (see httpparse.h).
#include "host/net/httpparse.h"

#include <string.h>
#include <strings.h>

#include <algorithm>

namespace BrellinOwned {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Strips one trailing LF and one CR before it.
size_t WithoutLineEnd(const char* p, size_t n) {
    if (n > 0 && p[n - 1] == '\n') --n;
    if (n > 0 && p[n - 1] == '\r') --n;
    return n;
}

std::string Trim(const char* p, size_t n) {
    size_t b = 0;
    while (b < n && IsBlank(p[b])) ++b;
    while (n > b && (IsBlank(p[n - 1]) || p[n - 1] == '\r' || p[n - 1] == '\n')) --n;
    return std::string(p + b, n - b);
}

bool EqualNoCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && strncasecmp(a.data(), b.data(), a.size()) == 0;
}

// True when text holds scheme as a whole word (auth schemes are separated by
// commas and blanks in a WWW-Authenticate value).
bool HasAuthScheme(const std::string& text, const char* scheme) {
    const size_t len = strlen(scheme);
    for (size_t i = 0; i + len <= text.size(); ++i) {
        if (strncasecmp(text.c_str() + i, scheme, len) != 0) continue;
        const bool startOk = i == 0 || IsBlank(text[i - 1]) || text[i - 1] == ',';
        const bool endOk = i + len == text.size() || IsBlank(text[i + len]) || text[i + len] == ',';
        if (startOk && endOk) return true;
    }
    return false;
}

}  // namespace

bool ParseStatusLine(const char* p, size_t n, int& major, int& minor, int& code, std::string& reason) {
    n = WithoutLineEnd(p, n);
    if (n < 5 || strncmp(p, "HTTP/", 5) != 0) return false;
    size_t i = 5;
    if (i >= n || !IsDigit(p[i])) return false;
    int maj = 0;
    while (i < n && IsDigit(p[i]) && maj < 100) maj = maj * 10 + (p[i++] - '0');
    int min = 0;
    if (i < n && p[i] == '.') {
        ++i;
        if (i >= n || !IsDigit(p[i])) return false;
        while (i < n && IsDigit(p[i]) && min < 100) min = min * 10 + (p[i++] - '0');
    }
    if (i >= n || !IsBlank(p[i])) return false;
    while (i < n && IsBlank(p[i])) ++i;
    if (i + 3 > n || !IsDigit(p[i]) || !IsDigit(p[i + 1]) || !IsDigit(p[i + 2])) return false;
    const int c = (p[i] - '0') * 100 + (p[i + 1] - '0') * 10 + (p[i + 2] - '0');
    i += 3;
    if (i < n && !IsBlank(p[i])) return false;
    if (c < 100) return false;
    major = maj;
    minor = min;
    code = c;
    reason = Trim(p + i, n - i);
    return true;
}

// ------------------------------------------------------------ response head

void HttpResponseHead::Clear() {
    m_StatusLine.clear();
    m_AllHeaders.clear();
    m_Fields.clear();
    m_Bytes = 0;
    m_Code = 0;
    m_blComplete = false;
    m_blFailed = false;
}

bool HttpResponseHead::AddLine(const char* p, size_t n) {
    const size_t bare = WithoutLineEnd(p, n);
    int major = 0, minor = 0, code = 0;
    std::string reason;
    // A status line always starts a new head: libcurl hands us every response
    // of an exchange (100 Continue, the 401 challenge, the final answer).
    if (ParseStatusLine(p, n, major, minor, code, reason)) {
        Clear();
        m_StatusLine.assign(p, bare);
        m_Code = code;
        m_Bytes = bare;
        return true;
    }
    if (m_blFailed) return false;
    if (m_Code == 0 || m_blComplete) {
        // Bytes without a status line in front, or after the end of the head.
        m_blFailed = true;
        return false;
    }
    if (bare == 0) {
        m_blComplete = true;
        return true;
    }
    m_Bytes += bare + 2;
    if (m_Bytes > kMaxHeadBytes) {
        m_blFailed = true;
        return false;
    }
    m_AllHeaders.append(p, bare);
    m_AllHeaders += "\r\n";
    if (IsBlank(p[0])) {
        // Obsolete line folding: the line continues the previous value.
        if (!m_Fields.empty()) {
            std::string more = Trim(p, bare);
            if (!more.empty()) {
                std::string& value = m_Fields.back().second;
                if (!value.empty()) value += ' ';
                value += more;
            }
        }
        return true;
    }
    const char* colon = static_cast<const char*>(memchr(p, ':', bare));
    if (colon == nullptr) return true;  // tolerated and ignored, as browsers do
    const size_t nameLen = static_cast<size_t>(colon - p);
    m_Fields.emplace_back(Trim(p, nameLen), Trim(colon + 1, bare - nameLen - 1));
    return true;
}

bool HttpResponseHead::FindHeader(const std::string& name, std::string& value) const {
    for (const auto& f : m_Fields) {
        if (EqualNoCase(f.first, name)) {
            value = f.second;
            return true;
        }
    }
    return false;
}

bool HttpResponseHead::OffersDigest() const {
    for (const auto& f : m_Fields) {
        if (EqualNoCase(f.first, "WWW-Authenticate") && HasAuthScheme(f.second, "Digest")) return true;
    }
    return false;
}

bool HttpResponseHead::OffersBasicOrDigest() const {
    for (const auto& f : m_Fields) {
        if (!EqualNoCase(f.first, "WWW-Authenticate")) continue;
        if (HasAuthScheme(f.second, "Basic") || HasAuthScheme(f.second, "Digest")) return true;
    }
    return false;
}

// ------------------------------------------------------------ line splitting

LineTake TakeLine(const char* data, size_t len, bool& skipRest, char* out, int outMax, bool blFull, bool blEnd) {
    LineTake r = {-1, 0};
    if (outMax < 2) return r;
    if (len == 0) {  // data may then be null (an empty vector's storage)
        if (blEnd) skipRest = false;
        return r;
    }
    if (skipRest) {
        const char* lf = static_cast<const char*>(memchr(data, '\n', len));
        if (lf == nullptr) {
            r.consumed = len;
            if (blEnd) skipRest = false;
            return r;
        }
        r.consumed = static_cast<size_t>(lf - data) + 1;
        skipRest = false;
        data += r.consumed;
        len -= r.consumed;
    }
    const size_t room = static_cast<size_t>(outMax - 1);
    const char* lf = static_cast<const char*>(memchr(data, '\n', len));
    size_t lineLen;
    size_t used;
    if (lf != nullptr) {
        lineLen = WithoutLineEnd(data, static_cast<size_t>(lf - data) + 1);
        used = static_cast<size_t>(lf - data) + 1;
        if (lineLen > room) {
            lineLen = room;  // the line end has been seen: nothing left to skip
        }
    } else if (len > room || (blFull && len > 0)) {
        // At least one byte beyond the room belongs to this line (or no more
        // can be buffered): cut here and drop the rest up to the line end.
        lineLen = std::min(len, room);
        if (blEnd) {
            used = len;
        } else {
            used = lineLen;
            skipRest = true;
        }
    } else if (blEnd && len > 0) {
        lineLen = WithoutLineEnd(data, len);
        used = len;
    } else {
        return r;
    }
    memcpy(out, data, lineLen);
    out[lineLen] = '\0';
    r.length = static_cast<int>(lineLen);
    r.consumed += used;
    return r;
}

LineBuffer::LineBuffer(size_t capacity) : m_Data(capacity < 2 ? 2 : capacity) {}

void LineBuffer::Clear() {
    m_Start = m_End = 0;
    m_blSkipRest = false;
}

void LineBuffer::Compact() {
    if (m_Start == 0) return;
    if (m_End > m_Start) memmove(m_Data.data(), m_Data.data() + m_Start, m_End - m_Start);
    m_End -= m_Start;
    m_Start = 0;
}

size_t LineBuffer::Append(const char* p, size_t n) {
    // Only move the unread bytes when the tail is too short: cheap appends
    // for the common case, and all of Space() usable.
    if (m_Data.size() - m_End < n) Compact();
    const size_t k = std::min(n, m_Data.size() - m_End);
    if (k > 0) memcpy(m_Data.data() + m_End, p, k);
    m_End += k;
    return k;
}

char* LineBuffer::Tail(size_t& room) {
    Compact();
    room = m_Data.size() - m_End;
    return m_Data.data() + m_End;
}

void LineBuffer::Commit(size_t n) { m_End += std::min(n, m_Data.size() - m_End); }

size_t LineBuffer::Take(char* out, size_t max) {
    m_blSkipRest = false;
    const size_t k = std::min(max, Size());
    if (k > 0) memcpy(out, m_Data.data() + m_Start, k);
    m_Start += k;
    if (m_Start == m_End) m_Start = m_End = 0;
    return k;
}

int LineBuffer::TakeLine(char* out, int outMax, bool blEnd, bool blStuck) {
    const LineTake t =
        BrellinOwned::TakeLine(m_Data.data() + m_Start, Size(), m_blSkipRest, out, outMax, Full() || blStuck, blEnd);
    m_Start += t.consumed;
    if (m_Start == m_End) m_Start = m_End = 0;
    return t.length;
}

// ------------------------------------------------------------ request text

std::string NormalizeRequestPath(const std::string& path) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size() + 8);
    if (path.empty() || path[0] != '/') out += '/';
    for (unsigned char c : path) {
        if (c <= 0x20 || c >= 0x7f || strchr("\"<>\\^`{|}#", c) != nullptr) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::vector<std::string> SplitHeaderLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string::npos) lf = text.size();
        std::string line = text.substr(pos, lf - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.find(':') != std::string::npos && line.find('\r') == std::string::npos) lines.push_back(line);
        pos = lf + 1;
    }
    return lines;
}

}  // namespace BrellinOwned
