// Pure parsing helpers of the recorder's network clients: the HTTP response
// head and the line splitting of a byte stream. No I/O here, so unit tests and
// the fuzzer reach every branch with plain byte buffers.
#ifndef HOST_HTTPPARSE_H
#define HOST_HTTPPARSE_H

#include <stddef.h>

#include <string>
#include <vector>

namespace BrellinOwned {

// Parses "HTTP/<major>.<minor> <code>[ <reason>]" (a trailing "\r" or "\n" is
// ignored). Accepts a missing reason and a missing minor version ("HTTP/2 200").
// True and the fields filled when the text is a status line with a three-digit code.
bool ParseStatusLine(const char* p, size_t n, int& major, int& minor, int& code, std::string& reason);

// The head of one HTTP response, fed line by line as it arrives. A new status
// line starts a new head, so interim (1xx) and challenge (401) answers are
// replaced by the final one. Memory is bounded by kMaxHeadBytes.
class HttpResponseHead {
public:
    static const size_t kMaxHeadBytes = 64 * 1024;

    // Feeds one line, with or without its line end. An empty line ends the
    // head. False when the head is broken (first line not a status line) or
    // too large; the head then stays in that failed state until Clear().
    bool AddLine(const char* p, size_t n);
    void Clear();

    bool HasStatus() const { return m_Code > 0; }
    bool Complete() const { return m_blComplete; }
    bool Failed() const { return m_blFailed; }
    int Code() const { return m_Code; }
    // The status line without its line end.
    const std::string& StatusLine() const { return m_StatusLine; }
    // Every header line (not the status line), each ended by "\r\n".
    const std::string& AllHeaders() const { return m_AllHeaders; }
    // Value of the first header of that name (case-insensitive), trimmed of
    // blanks; folded continuation lines are joined with one space.
    bool FindHeader(const std::string& name, std::string& value) const;
    // True when a WWW-Authenticate header offers Basic or Digest.
    bool OffersBasicOrDigest() const;
    // True when a WWW-Authenticate field offers Digest.
    bool OffersDigest() const;

private:
    std::string m_StatusLine;
    std::string m_AllHeaders;
    std::vector<std::pair<std::string, std::string> > m_Fields;
    size_t m_Bytes = 0;
    int m_Code = 0;
    bool m_blComplete = false;
    bool m_blFailed = false;
};

// Outcome of TakeLine.
struct LineTake {
    int length;       // line length written to out (without line end), -1 when none
    size_t consumed;  // bytes of the input used up (line, line end, skipped bytes)
};

// Takes one line from the front of data[0, len). LF or CRLF ends a line; the
// line is copied to out (at most outMax - 1 bytes, NUL-terminated).
// - A line that does not fit (at least outMax bytes without a line end, or a
//   full input buffer: blFull) is cut: its first part is returned and skipRest
//   is set, so the remainder up to its line end is dropped by later calls.
// - blEnd: no more bytes will come; an unterminated rest is returned as the
//   last line (a trailing CR removed).
// length -1 means more bytes are needed (consumed may still be non-zero when
// skipped bytes were dropped). outMax must be at least 2.
LineTake TakeLine(const char* data, size_t len, bool& skipRest, char* out, int outMax, bool blFull, bool blEnd);

// Bounded byte queue with line extraction, the read-ahead buffer of a stream.
class LineBuffer {
public:
    explicit LineBuffer(size_t capacity);

    size_t Size() const { return m_End - m_Start; }
    size_t Space() const { return m_Data.size() - Size(); }
    bool Full() const { return Space() == 0; }
    // Appends at most Space() bytes; returns how many were taken.
    size_t Append(const char* p, size_t n);
    // Contiguous free room at the tail (after compacting) for a direct read;
    // Commit(n) then accounts the n bytes written there.
    char* Tail(size_t& room);
    void Commit(size_t n);
    // Moves up to max raw bytes out; drops a pending line skip.
    size_t Take(char* out, size_t max);
    // One line as TakeLine does; -1 when more bytes are needed. blStuck: no
    // byte can come before some are taken (a paused transfer), so a line
    // without its end is cut as if the buffer were full.
    int TakeLine(char* out, int outMax, bool blEnd, bool blStuck = false);
    void Clear();

private:
    void Compact();
    std::vector<char> m_Data;
    size_t m_Start = 0;
    size_t m_End = 0;
    bool m_blSkipRest = false;
};

// Escapes the bytes of a request path that cannot stand in a URL as is
// (controls, space, non-ASCII, '"', '<', '>', '\\', '^', '`', '{', '|', '}')
// as %XX and puts a "/" in front when missing.
std::string NormalizeRequestPath(const std::string& path);

// Splits extra request header text at "\r\n" or "\n" into single lines;
// empty lines and lines without a ':' are dropped.
std::vector<std::string> SplitHeaderLines(const std::string& text);

}  // namespace BrellinOwned

#endif  // HOST_HTTPPARSE_H
