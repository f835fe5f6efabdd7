// The recorder's RTP fetcher, published to the detectors through
// GetRtpFetchFuncTable (functions RTP_FETCH_FUNC_*, interface/camerahost.h).
// It reads one track of the camera's RTSP stream (RtspClient) and keeps the
// header extension of the current packet.
//
// Two ways to run it:
//  - own (RtpFetchFactory): idle until the first fetch, which connects; every
//    fetch then reads the connection on the caller's thread;
//  - live (StartLive): the recorder's fetcher of the camera's live stream; a
//    thread of its own keeps the session up, reconnecting with a back-off,
//    and detectors only sample its newest packet. Cameras put the extension
//    on some packets only (the first of a frame), some only now and then: the
//    newest extension stays current until a newer one comes or the stream is
//    lost, so a sample never falls between two of them.
//
// The stream is lost when nothing it sends is of use for the time-out: live,
// no well-formed RTP packet (the session is dropped and opened again) or no
// extension (the current one is dropped, the session kept: it is the
// recorder's video); own, no packet with an extension (the fetch fails). A
// session that did not run (nothing delivered, or ended within a second) is
// followed by a back-off before the next (interface/backoff.h).
#ifndef HOST_RTPFETCHER_H
#define HOST_RTPFETCHER_H

#include <pthread.h>
#include <stdint.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "host/rtsp/rtpext.h"
#include "host/rtsp/rtspclient.h"
#include "interface/camhealth.h"
#include "interface/backoff.h"
#include "interface/camerahost.h"
#include "interface/clock.h"

class RtpFetcher : public BRObjectBase {
public:
    // Every wait and time-out of either mode runs on clock (borrowed): the
    // RTSP exchanges, the stream's time-out, a read's wait for a fresh
    // packet and the reconnect back-off.
    explicit RtpFetcher(const RTSP_CLIENT_CONF& conf, BrellinOwned::Clock& clock = BrellinOwned::RealClock());
    // Stops the live thread, ends the session.
    ~RtpFetcher() override;
    RtpFetcher(const RtpFetcher&) = delete;
    RtpFetcher& operator=(const RtpFetcher&) = delete;

    // Live mode: starts the thread that keeps the stream. False when it cannot
    // be created (logged) or runs already.
    bool StartLive();
    // Ends the live thread within one wait slice and closes the session.
    void StopLive();
    // The camera's health (borrowed; null: none) that every session's
    // outcome is reported to and whose login ration each login takes. Before
    // the first session.
    void SetHealth(BrellinOwned::CameraHealth* health);

    // RTP_FETCH_FUNC_WAIT_PACKET (own): connects when needed (after the
    // back-off of the last session, ended early by the caller's wake-up) and
    // waits for the next well-formed packet; it becomes the current one. 0 and
    // its extension length; -1 on failure or when no packet with an extension
    // came within the time-out (the session is then closed and the next call
    // reconnects). Live: the length of the current packet, -1 without one.
    virtual int WaitPacket(unsigned int& extLen, int& unused);
    // RTP_FETCH_FUNC_CUR_EXT_LEN: takes the newest packet as the current one
    // (live) and returns its extension length; 0 without one.
    virtual unsigned int CurExtLen();
    // RTP_FETCH_FUNC_COPY_EXT: 0 when len bytes of the current extension were
    // copied; -1 without a current packet or for len beyond its extension.
    virtual int CopyExt(unsigned char* buf, unsigned int len);
    // RTP_FETCH_FUNC_FETCH_FAILED: own: drops the session (the next fetch reconnects).
    virtual void FetchFailed();
    // RTP_FETCH_FUNC_OUT_OF_MEMORY: logged; nothing is held for the caller.
    virtual void OutOfMemory();
    // RTP_FETCH_FUNC_READ_EXT: with the wait flag, first a packet newer than
    // the last one read (live: waits up to kFreshWaitMs, then takes the
    // current one all the same; own: reads the next one); copies at most
    // capacity bytes of its extension. The bytes copied, 0 when there are none.
    virtual unsigned int ReadExt(char* buf, unsigned int capacity, int& unused);
    // RTP_FETCH_FUNC_SET_WAIT.
    virtual void SetWait(bool wait);

    // How long a live read waits for a fresh packet.
    static constexpr int kFreshWaitMs = 1000;

    // For the recorder's status and for tests.
    uint64_t PacketCount() const { return m_Packets.load(); }
    uint64_t MalformedCount() const { return m_Malformed.load(); }
    int ConnectCount() const { return m_Connects.load(); }
    bool IsLive() const { return m_blLive; }
    const std::string& Url() const { return m_Url; }
    // Live: waits (really) up to ms until n packets have arrived in all.
    bool WaitPackets(uint64_t n, int ms);

private:
    static void* LiveThread(void* self);
    void LiveLoop();
    // Own mode: the next well-formed packet into m_Held.
    int FetchOwn();
    // Counts a packet and, when it parses, publishes it; false for a malformed
    // one. atMs: when it came, on m_Clock. hasExt: whether it carried an extension.
    bool TakePacket(const uint8_t* pkt, size_t len, int64_t atMs, bool& hasExt);
    // Keeps a packet's extension as the newest (live) or as the held one (own).
    void Publish(const uint8_t* pkt, size_t len, int64_t atMs, const RTP_PACKET_INFO& info);
    // Own mode: the session that ends here sets the earliest next connect.
    void EndOwnSession();
    // Own mode: waits out the back-off; false when the caller was stopped.
    bool WaitOwnRetry();
    void LogFailure(const RtspClient& client);
    void LogLost(const char* what);
    // False when the camera's login ration holds this session's login back.
    bool MayLogin();
    void ReportHealth(const RtspClient& client, int rc);
    void LogStreaming(const RtspClient& client);
    void PauseLive(int64_t ms);
    int64_t TimeoutMs() const { return (int64_t)m_Conf.timeoutSec * 1000; }

    RTSP_CLIENT_CONF m_Conf;
    std::string m_Url;
    RtspClient m_Client;  // own mode: the caller's thread; live mode: the live thread
    bool m_blLive;

    // Newest packet of the live stream, guarded by m_Mutex.
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::vector<uint8_t> m_Newest;
    bool m_blHaveNewest;
    uint64_t m_NewestSeq;
    int64_t m_LastExtMs;  // when the last extension came (0: none on this connection)

    // Own mode's session, on the caller's thread (times on m_Clock): when it
    // began, whether it delivered a packet, when the last extension came, and
    // the earliest next connect.
    bool m_blOwnSession;
    int64_t m_OwnBeganMs;
    bool m_blOwnDelivered;
    int64_t m_OwnLastExtMs;
    int64_t m_OwnRetryAtMs;
    BrellinOwned::ReconnectBackoff m_OwnBackoff;

    // The caller's current packet and read position, guarded by m_ReadMutex
    // (one reader at a time in practice; the lock keeps two safe).
    std::mutex m_ReadMutex;
    std::vector<uint8_t> m_Held;
    bool m_blHeld;
    uint64_t m_LastReadSeq;
    bool m_blWaitFresh;

    pthread_t m_Thread;
    bool m_blThread;
    std::atomic<bool> m_blStop;
    BrellinOwned::WakeUp m_StopWake;
    BrellinOwned::Clock& m_Clock;
    std::atomic<uint64_t> m_Packets;
    std::atomic<uint64_t> m_Malformed;
    std::atomic<int> m_Connects;
    bool m_blFailLogged;  // one log line per run of failures
    BrellinOwned::HealthSource m_Health;
};

#endif  // HOST_RTPFETCHER_H
