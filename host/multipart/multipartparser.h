// Incremental framing of a multipart server-push body (multipart/x-mixed-replace,
// multipart/mixed) into parts. Pure: bytes in, parts out, no I/O, so that tests
// and the fuzzer can replay captured streams cut at any offset.
//
// What cameras send, and what is accepted:
//   --boundary\r\n                     the delimiter with or without its "--",
//   Content-Type: text/plain\r\n       header lines (CRLF or bare LF), or none,
//   Content-Length: 12\r\n             optional; without it the body ends at
//   \r\n                               the line break before the next delimiter,
//   motion=1\r\n...                    blank lines and garbage between parts are
//   --boundary--                       skipped; the closing delimiter ends the stream.
#ifndef HOST_MULTIPARTPARSER_H
#define HOST_MULTIPARTPARSER_H

#include <stddef.h>

#include <deque>
#include <string>

namespace BrellinOwned {

struct MultipartPart {
    std::string headers;      // the part's header lines, each as "Name: value\n"
    std::string contentType;  // value of its Content-Type, or empty
    std::string body;
};

// The boundary of a Content-Type value ("multipart/mixed; boundary=xyz"),
// unquoted; empty when there is none.
std::string MultipartBoundary(const std::string& contentType);

class MultipartParser {
public:
    static const size_t kMaxPartBytes = 8u * 1024 * 1024;  // larger parts break the stream
    static const size_t kMaxHeaderBytes = 16 * 1024;
    static const size_t kMaxGarbageLine = 4096;  // longer lines between parts are dropped unread

    // boundary as announced (with or without leading dashes); empty: taken
    // from the first line that starts with "--".
    explicit MultipartParser(const std::string& boundary = std::string());
    void Reset(const std::string& boundary);

    // Parses as far as the bytes go; completed parts queue up for PopPart.
    // False once the stream is broken (a part or header block over its limit);
    // it then stays broken until Reset. Bytes after the closing delimiter are ignored.
    bool Feed(const char* data, size_t len);
    bool PopPart(MultipartPart& out);

    bool Failed() const { return m_State == FAILED; }
    bool Ended() const { return m_State == ENDED; }
    // Not inside a part: an end of the bytes here cuts nothing off.
    bool BetweenParts() const { return m_State == SEEK || m_State == ENDED; }
    // Bytes held (unparsed input plus queued parts): bounded by the limits above.
    size_t Held() const;

private:
    enum State { SEEK, HEADERS, BODY_LEN, BODY_SCAN, ENDED, FAILED };
    // 0 not a delimiter, 1 a delimiter, 2 the closing one.
    int Delimiter(const char* p, size_t n);
    void Run();
    bool StepSeek();
    bool StepHeaders();
    bool StepBodyLen();
    bool StepBodyScan();
    void AddHeader(const std::string& line);
    void Emit(size_t bodyEnd);
    void Compact();

    std::string m_Core;  // boundary without its leading dashes
    State m_State;
    std::string m_Buf;
    size_t m_Pos;        // next unread byte of m_Buf
    size_t m_BodyStart;  // BODY_*: first body byte
    size_t m_ScanPos;    // BODY_SCAN: start of the next unchecked line
    bool m_blInLongLine;  // SEEK: inside a dropped over-long line
    size_t m_ContentLength;
    bool m_blHasLength;
    MultipartPart m_Part;
    std::deque<MultipartPart> m_Ready;
    size_t m_ReadyBytes;
};

}  // namespace BrellinOwned

#endif  // HOST_MULTIPARTPARSER_H
