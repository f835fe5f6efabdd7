// Recorder services the detectors call: TCP socket, HTTP client, pacing timer,
// string helpers and the program runner. Implemented by the recorder side
// (libcamhost); the detectors rely only on the results documented here.
#ifndef INTERFACE_HOSTSERVICES_H
#define INTERFACE_HOSTSERVICES_H

#include <stdint.h>

#include <list>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "interface/camservices.h"

namespace Json {
class Value;
}

namespace BrellinOwned {

class Clock;
class StreamReader;
struct OXSocketSource;
struct CamTlsPolicy;

// Blocking TCP client with bounded waits. Not thread-safe; one owner thread.
class OXSocket : public CamSocket {
public:
    // On the real clock.
    OXSocket();
    // Every time-out measured on clock (borrowed; it outlives the socket).
    explicit OXSocket(Clock& clock);
    // timeoutSec bounds connect and every read or write (0 or less: 10 s);
    // every wait also ends, as a failure, when the calling thread's wake-up
    // (interface/clock.h) is signalled;
    // blKeepAlive turns SO_KEEPALIVE on. host is a name or an IPv4/IPv6 literal.
    OXSocket(std::string host, int port, int timeoutSec, bool blKeepAlive);
    ~OXSocket() override;
    OXSocket(const OXSocket&) = delete;
    OXSocket& operator=(const OXSocket&) = delete;

    void SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive) override;
    // 0 when connected (IPv4 or IPv6); a connected socket is closed and reconnected.
    int Connect() override;
    // Writes all len bytes: len on success, -1 on failure.
    int WriteData(char* buf, int len) override;
    // Waits up to the time-out for data; returns the bytes read (at most max),
    // 0 when the peer closed, negative on error or time-out (errno EAGAIN
    // after a time-out). Bytes read ahead by ReadToLineEnd come first. Not
    // NUL-terminated.
    int ReadData(char* buf, int max) override;
    // Reads one line into buf (NUL-terminated, at most max - 1 characters; a
    // longer line, or one past 16 KiB, is cut and its rest skipped). LF or
    // CRLF ends a line; an unterminated last line before the close counts.
    // Returns its length without the line end; negative on error, time-out
    // (a partial line stays buffered for the next call) or a close before any
    // byte, and then buf is left as it was.
    int ReadToLineEnd(char* buf, int max) override;
    // TCP keep-alive: on/off, idle seconds, interval seconds, probe count. 0 on
    // success, -1 on values out of range. Kept for later connects as well.
    int SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count) override;
    void Disconnect() override;
    bool IsConnected() const { return m_Fd >= 0; }

private:
    int ApplyKeepAlive();
    int64_t DeadlineMs() const;
    Clock& m_Clock;
    std::string m_Host;
    int m_Port;
    int m_TimeoutSec;
    bool m_blKeepAlive;
    int m_Fd;
    std::unique_ptr<OXSocketSource> m_Source;
    std::unique_ptr<StreamReader> m_Reader;
    bool m_blFailLogged;  // one log line per run of failed connects
    int m_KeepAliveIdle, m_KeepAliveInterval, m_KeepAliveCount;  // 0: system default
};

struct OXHttpClientImpl;

// HTTP client (libcurl). Authentication (Basic or Digest, whichever the server
// asks for) is automatic when credentials are set. The body is pulled by the
// caller and may never end (event streams). Not thread-safe; one owner thread.
class OXHttpClient : public CamHttpClient {
public:
    // On the real clock.
    OXHttpClient();
    // Every time-out measured on clock (borrowed; it outlives the client).
    explicit OXHttpClient(Clock& clock);
    // A camera's client: its connections secured as tls says (host/net/tlspolicy.h;
    // null: plain HTTP, and the system's CAs for an https:// address).
    OXHttpClient(Clock& clock, std::shared_ptr<const CamTlsPolicy> tls);
    OXHttpClient(std::string host, int port, std::string path, std::string user, std::string password,
                 int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version, std::string extraHeader);
    ~OXHttpClient() override;
    OXHttpClient(const OXHttpClient&) = delete;
    OXHttpClient& operator=(const OXHttpClient&) = delete;

    // path may start with "/" or not; extraHeader holds extra request header
    // lines ("Name: value", several separated by "\r\n"), or is empty.
    // timeoutSec 0 or less means 10 s. blAuth: answer Basic or Digest
    // challenges with user and password; false: Digest only, so that the
    // password never goes out in clear text. blKeepAlive: keep the connection for
    // the next request and send TCP keep-alive probes. Drops any open exchange.
    void Init(std::string path, std::string host, int port, std::string user, std::string password,
              int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version, std::string extraHeader) override;
    void SetPath(std::string path) override;
    // Sends the request and waits for the response headers (following an
    // authentication challenge, and up to three redirects within the camera:
    // the same host, never from HTTPS to plain HTTP; any other redirect is
    // the answer). GET ignores data; POST sends it as the body.
    // An unread body of the previous request is dropped. The wait ends after
    // one time-out without a header line from the camera, the connect
    // included; each header line starts the time-out again, up to four
    // time-outs in all. 0 on success, negative on failure (connect, time-out,
    // no response). Every wait of this client also ends, as a failure, when
    // the calling thread's wake-up (interface/clock.h) is signalled.
    int SendRequest(OX_HTTP_METHOD method, std::string data) override;
    // status = the response status code; 0 when it is 2xx, negative otherwise.
    int CheckResponse(int& status) override;
    // 0 and the entry's text when the response has it, negative otherwise.
    int GetHttpContent(HTTP_MAP_KEY key, std::string& value) override;
    // Reads body bytes: returns as soon as some are there (after taking what
    // is immediately available; bytes read ahead by ReadToLineEnd first), at
    // most max - 1, NUL-terminated. 0 at the end of the body, negative on
    // error or when nothing came within the time-out.
    int ReadData(char* buf, int max) override;
    // Reads one body line (without its line end) into buf, NUL-terminated, at
    // most max - 1 characters (a longer line is cut and its rest skipped).
    // Returns its length; 0 for an empty line; negative on error, time-out (a
    // partial line stays buffered) or end of body, and then buf is left as it
    // was. A line is cut at 16 KiB. Body memory is bounded (64 KiB and the
    // line's read-ahead); the camera is held back while the caller does not read.
    int ReadToLineEnd(char* buf, int max) override;
    // Drops the connection; the next SendRequest connects anew.
    void Close() override;
    // TLS for the exchanges until the next Init, under the client's policy.
    // Always true.
    bool RequireTls() override;
    bool CertificateRefused() override;

private:
    std::unique_ptr<OXHttpClientImpl> m_Impl;
};

class WakeUp;

// Paces a loop on a clock (interface/clock.h; null: the real one): Delay()
// returns when one period has passed since the last BeginTiming() or Delay();
// a period already over returns at once. A signalled wake (optional) ends the
// wait early.
class DelayTimer {
public:
    explicit DelayTimer(int periodUs, WakeUp* wake = nullptr, Clock* clock = nullptr);
    void BeginTiming();
    void Delay();

private:
    int m_PeriodUs;
    int64_t m_MarkMs;
    WakeUp* m_pWake;
    Clock* m_pClock;
};

// Finds key in text: an occurrence at the start of text or after a character
// that is not a letter, digit or underscore, followed by one character of
// kvSep. value is the text after that character up to the first character of
// itemSep (or the end), without a trailing "\r". 0 when found, -1 otherwise.
// blNoCase compares the key without regard to case.
int FindKeyVal(std::string text, std::string key, std::string& value, const char* kvSep, const char* itemSep,
               bool blNoCase);
std::string itos(long long v);
// Value of the first `digits` hexadecimal digits of str (fewer when a
// non-digit or the end comes first); -1 when there is none.
long long StringHex2Decimal(const char* str, int digits);
// Splits at every character of sep; empty pieces are dropped.
std::list<std::string> String2StrList(const std::string& text, const std::string& sep);
std::set<std::string> String2StrSet(const std::string& text, const std::string& sep);
std::string StrList2String(const std::list<std::string>& items, const std::string& sep);
// Parses JSON text; false (root left null) on a syntax error.
bool JsonParse(const std::string& text, Json::Value& root);

}  // namespace BrellinOwned

// Runs prog with argv (argv[0] first, null-terminated), waits for it and
// returns its exit status; -1 when it could not be started or was killed.
int QLIBCExec(const char* prog, const char* const argv[]);

#endif  // INTERFACE_HOSTSERVICES_H
