// RTSP client for one track of a camera stream, with RTP carried interleaved
// on the RTSP connection (RTP over TCP): DESCRIBE, SETUP, PLAY, keep-alives
// and TEARDOWN, answering Basic or Digest challenges. Every wait is a wait on
// the client's clock until a deadline, ended early (RTSP_ERR_ABORTED) by the
// calling thread's wake-up (interface/clock.h), so no call outlasts its
// time-out or a Stop. Not thread-safe: one owner thread.
#ifndef HOST_RTSPCLIENT_H
#define HOST_RTSPCLIENT_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtspmsg.h"
#include "interface/clock.h"

struct RTSP_CLIENT_CONF {
    std::string host;
    int port = 554;
    std::string path;    // request path ("/" optional)
    std::string query;   // appended as "?query" (or "&query" when the path has one); may be empty
    std::string user;    // empty: no authentication is answered
    std::string password;
    std::string media = "video";  // the SDP media type of the track to set up
    int timeoutSec = 10;          // every answer, and the stream's silence, is bounded by this
    bool blKeepAlive = true;      // GET_PARAMETER at half the session time-out
};

// Host, port and path of conf from the URL (see the other ParseRtspUrl),
// and its login when it has one; conf's login stays otherwise.
bool ParseRtspUrl(const std::string& url, RTSP_CLIENT_CONF& conf, std::string& why);

// Results of Open and NextPacket.
enum RTSP_RESULT {
    RTSP_OK = 0,
    RTSP_ERR_CONNECT = -1,   // no TCP connection (refused, unreachable, bad address)
    RTSP_ERR_STATUS = -2,    // the server answered a request with an error status
    RTSP_ERR_AUTH = -3,      // credentials missing or refused
    RTSP_ERR_PROTOCOL = -4,  // an answer we cannot use (no track, no interleaved transport, garbage)
    RTSP_ERR_TIMEOUT = -5,   // nothing arrived within the time-out
    RTSP_ERR_CLOSED = -6,    // the server closed the connection
    RTSP_ERR_ABORTED = -7,   // the calling thread's wake-up was signalled
};

class RtspClient {
public:
    // Every deadline and time-out is measured on clock (borrowed).
    explicit RtspClient(const RTSP_CLIENT_CONF& conf, BrellinOwned::Clock& clock = BrellinOwned::RealClock());
    ~RtspClient();
    RtspClient(const RtspClient&) = delete;
    RtspClient& operator=(const RtspClient&) = delete;

    // Connects and sets the track up until the server streams. RTSP_OK, or a
    // negative RTSP_RESULT with the reason in LastError() (the connection is
    // then closed).
    int Open();
    // Waits up to waitMs for the next RTP packet of the track. 1: a packet,
    // pkt and len valid until the next call; 0: none yet, the stream is fine;
    // negative RTSP_RESULT: the stream is lost (closed here) - after
    // timeoutSec without any byte from the server, a close, or garbage that
    // does not resynchronise.
    int NextPacket(const uint8_t*& pkt, size_t& len, int waitMs);
    // Sends TEARDOWN (not waiting for its answer) and closes. Idempotent.
    void Close();
    bool IsOpen() const { return m_Fd >= 0 && m_blPlaying; }

    // The stream's URL, without credentials.
    const std::string& Url() const { return m_Url; }
    // One line on the last failure, without credentials.
    const std::string& LastError() const { return m_LastError; }
    // Counters for the owner's log lines and for tests.
    uint64_t PacketCount() const { return m_Packets; }
    uint64_t SkippedBytes() const { return m_Skipped; }
    int LastStatus() const { return m_LastStatus; }
    const std::string& SessionId() const { return m_SessionId; }

private:
    int Connect(int64_t deadline);
    // Sends one request and waits for its answer (frames arriving meanwhile
    // are dropped); answers one authentication challenge (two when the nonce
    // went stale). RTSP_OK with a 2xx answer in `resp`.
    int Request(const std::string& method, const std::string& url, const std::string& extra, RTSP_MESSAGE& resp);
    int Send(const std::string& text, int64_t deadline);
    std::string RequestText(const std::string& method, const std::string& url, const std::string& extra);
    // Reads until one unit is complete at the front of the buffer.
    int ReadUnit(RTSP_UNIT& unit, int64_t deadline);
    // Waits for readable bytes until the deadline; RTSP_OK when some were read.
    int Fill(int64_t deadline);
    // Waits until m_Fd has events or the deadline passes: RTSP_OK when it
    // has, RTSP_ERR_TIMEOUT, or a failure (the connection then closed).
    int WaitFd(short events, int64_t deadline);
    // Consumes the unit handed out last.
    void ConsumePending();
    void AnswerServerRequest(const RTSP_MESSAGE& req);
    int Fail(int rc, const std::string& why);
    void CloseSocket();

    RTSP_CLIENT_CONF m_Conf;
    std::string m_Url;
    BrellinOwned::Clock& m_Clock;
    int m_Fd = -1;
    std::vector<uint8_t> m_In;  // fixed capacity: one frame or message at most, and a read's worth
    size_t m_Start = 0, m_End = 0;
    size_t m_PendingConsume = 0;
    int m_CSeq = 0;
    RTSP_CHALLENGE m_Challenge;
    unsigned m_Nc = 0;
    std::string m_Cnonce;
    std::string m_SessionId;
    int m_SessionTimeoutSec = 60;
    std::string m_ControlUrl;
    int m_RtpChannel = 0, m_RtcpChannel = 1;
    bool m_blPlaying = false;
    int64_t m_LastRecvMs = 0, m_LastSendMs = 0;
    std::string m_LastError;
    int m_LastStatus = 0;
    uint64_t m_Packets = 0, m_Skipped = 0;
    uint64_t m_GarbageRun = 0;  // bytes skipped since the last packet
};

#endif  // HOST_RTSPCLIENT_H
