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

namespace Json {
class Value;
}

enum HTTP_VERSION { HTTP_VER_DEF = 0, HTTP_VER_1_0 = 1, HTTP_VER_1_1 = 2 };

enum OX_HTTP_METHOD { OX_HTTP_GET = 0, OX_HTTP_POST = 1 };

// Response entries readable through OXHttpClient::GetHttpContent.
enum HTTP_MAP_KEY {
    HTTP_MAP_STATUS_LINE = 0,   // "HTTP/1.1 200 OK"
    HTTP_MAP_CONTENT_TYPE = 1,  // value of Content-Type
    HTTP_MAP_CONTENT_LENGTH = 2,
    HTTP_MAP_ALL_HEADERS = 3,  // every header line, each ended by "\r\n"
};

namespace BrellinOwned {

// Blocking TCP client with bounded waits. Not thread-safe; one owner thread.
class OXSocket {
public:
    OXSocket();
    // timeoutSec bounds connect and every read or write (0 or less: 10 s);
    // every wait also ends, as a failure, when the calling thread's wake-up
    // (interface/clock.h) is signalled;
    // blKeepAlive turns SO_KEEPALIVE on. host is a name or an IPv4/IPv6 literal.
    OXSocket(std::string host, int port, int timeoutSec, bool blKeepAlive);
    ~OXSocket();
    OXSocket(const OXSocket&) = delete;
    OXSocket& operator=(const OXSocket&) = delete;

    void SetSocketInfo(std::string host, int port, int timeoutSec, bool blKeepAlive);
    // 0 when connected (IPv4 or IPv6); a connected socket is closed and reconnected.
    int Connect();
    // Writes all len bytes: len on success, -1 on failure.
    int WriteData(char* buf, int len);
    // Waits up to the time-out for data; returns the bytes read (at most max),
    // 0 when the peer closed, negative on error or time-out (errno EAGAIN
    // after a time-out). Bytes read ahead by ReadToLineEnd come first. Not
    // NUL-terminated.
    int ReadData(char* buf, int max);
    // Reads one line into buf (NUL-terminated, at most max - 1 characters; a
    // longer line, or one past 16 KiB, is cut and its rest skipped). LF or
    // CRLF ends a line; an unterminated last line before the close counts.
    // Returns its length without the line end, negative on error, time-out
    // (a partial line stays buffered for the next call) or a close before any
    // byte; buf is then left as it was.
    int ReadToLineEnd(char* buf, int max);
    // TCP keep-alive: on/off, idle seconds, interval seconds, probe count. 0 on
    // success, -1 on values out of range. Kept for later connects as well.
    int SetKeepAliveOpt(int on, int idleSec, int intervalSec, int count);
    void Disconnect();
    bool IsConnected() const { return m_Fd >= 0; }

private:
    // Reads what arrives before deadlineMs (monotonic) into m_Pending: the
    // byte count, 0 when the peer closed, negative on error or time-out.
    int FillBuffer(int64_t deadlineMs);
    int ApplyKeepAlive();
    std::string m_Host;
    int m_Port;
    int m_TimeoutSec;
    bool m_blKeepAlive;
    int m_Fd;
    std::vector<char> m_Pending;  // bytes read past a line end, from m_PendingPos on (bounded)
    size_t m_PendingPos;
    bool m_blSkipRest;    // dropping the rest of a cut line
    bool m_blPeerClosed;  // end of stream seen; m_Pending holds the last bytes
    bool m_blFailLogged;  // one log line per run of failed connects
    int m_KeepAliveIdle, m_KeepAliveInterval, m_KeepAliveCount;  // 0: system default
};

struct OXHttpClientImpl;

// HTTP client (libcurl). Authentication (Basic or Digest, whichever the server
// asks for) is automatic when credentials are set. The body is pulled by the
// caller and may never end (event streams). Not thread-safe; one owner thread.
class OXHttpClient {
public:
    OXHttpClient();
    OXHttpClient(std::string host, int port, std::string path, std::string user, std::string password,
                 int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version, std::string extraHeader);
    ~OXHttpClient();
    OXHttpClient(const OXHttpClient&) = delete;
    OXHttpClient& operator=(const OXHttpClient&) = delete;

    // path may start with "/" or not; extraHeader holds extra request header
    // lines ("Name: value", several separated by "\r\n"), or is empty.
    // timeoutSec 0 or less means 10 s. blAuth: answer Basic or Digest
    // challenges with user and password; false: Digest only, so that the
    // password never goes out in clear text. blKeepAlive: keep the connection for
    // the next request and send TCP keep-alive probes. Drops any open exchange.
    void Init(std::string path, std::string host, int port, std::string user, std::string password,
              int timeoutSec, bool blAuth, bool blKeepAlive, HTTP_VERSION version, std::string extraHeader);
    void SetPath(std::string path);
    // Sends the request and waits for the response headers (following an
    // authentication challenge). GET ignores data; POST sends it as the body.
    // An unread body of the previous request is dropped. The wait ends after
    // one time-out without a header line from the camera, the connect
    // included; each header line starts the time-out again, up to four
    // time-outs in all. 0 on success, negative on failure (connect, time-out,
    // no response). Every wait of this client also ends, as a failure, when
    // the calling thread's wake-up (interface/clock.h) is signalled.
    int SendRequest(OX_HTTP_METHOD method, std::string data);
    // status = the response status code; 0 when it is 2xx, negative otherwise.
    int CheckResponse(int& status);
    // 0 and the entry's text when the response has it, negative otherwise.
    int GetHttpContent(HTTP_MAP_KEY key, std::string& value);
    // Reads body bytes: returns as soon as some are there (after taking what
    // is immediately available), at most max - 1, NUL-terminated. 0 at the
    // end of the body, negative on error or when nothing came within the time-out.
    int ReadData(char* buf, int max);
    // Reads one body line (without its line end) into buf, NUL-terminated, at
    // most max - 1 characters (a longer line is cut and its rest skipped).
    // Returns its length; 0 for an empty line; negative on error, time-out (a
    // partial line stays buffered) or end of body, buf then left as it was.
    // Body memory is bounded (64 KiB); the camera is held back while the
    // caller does not read.
    int ReadToLineEnd(char* buf, int max);
    // Drops the connection; the next SendRequest connects anew.
    void Close();

private:
    std::unique_ptr<OXHttpClientImpl> m_Impl;
};

class WakeUp;

// Paces a loop on the process clock (interface/clock.h): Delay() returns when
// one period has passed since the last BeginTiming() or Delay(); a period
// already over returns at once. A signalled wake (optional) ends the wait early.
class DelayTimer {
public:
    explicit DelayTimer(int periodUs, WakeUp* wake = nullptr);
    void BeginTiming();
    void Delay();

private:
    int m_PeriodUs;
    int64_t m_MarkMs;
    WakeUp* m_pWake;
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
