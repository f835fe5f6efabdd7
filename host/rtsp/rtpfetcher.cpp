#include "host/rtsp/rtpfetcher.h"

#include <string.h>

#include <algorithm>
#include <chrono>
#include <new>

#include "dupfromox/oxdebuglog.h"
#include "host/rtsp/rtpext.h"
#include "interface/camservices.h"
#include "interface/rtpfetch.h"

namespace {

const char* const kSrc = "host/rtpfetcher";
const size_t kLiveStack = 256 * 1024;
// The live thread's read slice: how soon it sees StopLive.
const int kLiveSliceMs = 200;

}  // namespace

RtpFetcher::RtpFetcher(const RTSP_CLIENT_CONF& conf, BrellinOwned::Clock& clock)
    : m_Conf(conf),
      m_Client(conf, clock),
      m_blLive(false),
      m_blHaveNewest(false),
      m_NewestSeq(0),
      m_LastExtMs(0),
      m_blOwnSession(false),
      m_OwnBeganMs(0),
      m_blOwnDelivered(false),
      m_OwnLastExtMs(0),
      m_OwnRetryAtMs(0),
      m_blHeld(false),
      m_LastReadSeq(0),
      m_blWaitFresh(false),
      m_Thread(),
      m_blThread(false),
      m_blStop(false),
      m_Clock(clock),
      m_Packets(0),
      m_Malformed(0),
      m_Connects(0),
      m_blFailLogged(false) {
    m_Url = m_Client.Url();
    if (m_Conf.timeoutSec <= 0) m_Conf.timeoutSec = 10;
}

RtpFetcher::~RtpFetcher() {
    StopLive();
    m_Client.Close();
}

// ---------------------------------------------------------------- logging

void RtpFetcher::LogFailure(const RtspClient& client) {
    // A detector that is being stopped ended the wait: no failure of the camera.
    if (m_blFailLogged || BrellinOwned::IsWakeSignalled()) return;
    m_blFailLogged = true;
    OXLOG(kSrc, "RTSP %s: %s\n", m_Url.c_str(), client.LastError().c_str());
}

void RtpFetcher::SetHealth(BrellinOwned::CameraHealth* health) {
    m_Health.SetAddress(m_Conf.host + ":" + std::to_string(m_Conf.port));
    m_Health.Attach(health);
}

bool RtpFetcher::MayLogin() {
    if (m_Conf.user.empty()) return true;
    return m_Health.BeginLogin(m_Clock.NowMs() + (int64_t)m_Conf.timeoutSec * 1000);
}

void RtpFetcher::ReportHealth(const RtspClient& client, int rc) {
    switch (rc) {
    case RTSP_OK: m_Health.Ok(!m_Conf.user.empty()); return;
    case RTSP_ERR_AUTH: m_Health.Unauthorized("RTSP " + m_Url + ": " + client.LastError()); return;
    case RTSP_ERR_STATUS:
    case RTSP_ERR_PROTOCOL: m_Health.Error("RTSP " + m_Url + ": " + client.LastError()); return;
    default:
        // A stopped fetcher or detector ended it: not the camera's doing.
        if (rc == RTSP_ERR_ABORTED || m_blStop.load() || BrellinOwned::IsWakeSignalled()) m_Health.EndLogin();
        else m_Health.Unreachable("RTSP " + m_Url + ": " + client.LastError());
    }
}

void RtpFetcher::LogLost(const char* what) {
    m_Health.Error("RTSP " + m_Url + ": no " + what + " within " + std::to_string(m_Conf.timeoutSec) + " s");
    if (m_blFailLogged) return;
    m_blFailLogged = true;
    OXLOG(kSrc, "RTSP %s: no %s within %d s\n", m_Url.c_str(), what, m_Conf.timeoutSec);
}

void RtpFetcher::LogStreaming(const RtspClient& client) {
    OXLOG(kSrc, "RTSP %s: streaming (session %s)%s\n", m_Url.c_str(), client.SessionId().c_str(),
          m_blFailLogged ? " again" : "");
    m_blFailLogged = false;
}

// ---------------------------------------------------------------- packets

bool RtpFetcher::TakePacket(const uint8_t* pkt, size_t len, int64_t atMs, bool& hasExt) {
    RTP_PACKET_INFO info;
    hasExt = false;
    if (ParseRtpPacket(pkt, len, info) != RTP_PARSE_OK) {
        ++m_Malformed;
        return false;
    }
    ++m_Packets;
    hasExt = info.hasExt;
    Publish(pkt, len, atMs, info);
    return true;
}

void RtpFetcher::Publish(const uint8_t* pkt, size_t, int64_t atMs, const RTP_PACKET_INFO& info) {
    const uint8_t* ext = info.hasExt ? pkt + info.extOffset : nullptr;
    if (m_blLive) {
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            // A packet without an extension replaces none that is current:
            // cameras send one per frame or less, and the camera's state is
            // the last one it sent until the stream says otherwise.
            if (info.hasExt || !m_blHaveNewest || m_LastExtMs == 0 || atMs - m_LastExtMs >= TimeoutMs()) {
                // assign reuses the capacity: no allocation once the largest
                // extension has been seen.
                m_Newest.assign(ext, ext + info.extLen);
                m_LastExtMs = info.hasExt ? atMs : 0;
                m_blHaveNewest = true;
                ++m_NewestSeq;
            }
        }
        m_Cond.notify_all();
        return;
    }
    std::lock_guard<std::mutex> g(m_ReadMutex);
    m_Held.assign(ext, ext + info.extLen);
    m_blHeld = true;
}

void RtpFetcher::EndOwnSession() {
    if (!m_blOwnSession) return;
    m_blOwnSession = false;
    m_Client.Close();
    const int64_t now = m_Clock.NowMs();
    m_OwnRetryAtMs = now + m_OwnBackoff.NextWaitMs(m_blOwnDelivered, now - m_OwnBeganMs);
}

bool RtpFetcher::WaitOwnRetry() {
    // Counted from the session's end: a caller's own pause after the failure
    // is part of it.
    const int64_t left = m_OwnRetryAtMs - m_Clock.NowMs();
    if (left <= 0) return !BrellinOwned::IsWakeSignalled();
    m_Clock.WaitMs(left, BrellinOwned::CurrentWakeUp());
    return !BrellinOwned::IsWakeSignalled();
}

int RtpFetcher::FetchOwn() {
    if (!m_Client.IsOpen()) {
        EndOwnSession();  // one the camera ended under the caller
        if (!WaitOwnRetry()) return -1;
        {
            std::lock_guard<std::mutex> g(m_ReadMutex);
            m_blHeld = false;
        }
        ++m_Connects;
        m_blOwnSession = true;
        m_OwnBeganMs = m_Clock.NowMs();
        m_blOwnDelivered = false;
        if (!MayLogin()) {
            EndOwnSession();
            return -1;
        }
        const int opened = m_Client.Open();
        ReportHealth(m_Client, opened);
        if (opened != RTSP_OK) {
            LogFailure(m_Client);
            EndOwnSession();
            return -1;
        }
        LogStreaming(m_Client);
        m_OwnLastExtMs = m_Clock.NowMs();
    }
    for (;;) {
        // Packets without event data do not keep a session alive: a camera
        // that sends none for the time-out has lost its events.
        const int64_t left = m_OwnLastExtMs + TimeoutMs() - m_Clock.NowMs();
        if (left <= 0) {
            LogLost("packet with an extension");
            EndOwnSession();
            return -1;
        }
        const uint8_t* pkt = nullptr;
        size_t len = 0;
        const int rc = m_Client.NextPacket(pkt, len, (int)left);
        if (rc == 0) continue;
        if (rc < 0) {
            ReportHealth(m_Client, rc);
            LogFailure(m_Client);
            EndOwnSession();
            return -1;
        }
        bool hasExt = false;
        const int64_t at = m_Clock.NowMs();
        if (TakePacket(pkt, len, at, hasExt)) {
            m_blOwnDelivered = true;
            if (hasExt) m_OwnLastExtMs = at;
            return 0;
        }
    }
}

// ---------------------------------------------------------------- live mode

bool RtpFetcher::StartLive() {
    if (m_blThread) return false;
    m_blLive = true;
    m_blStop = false;
    m_StopWake.Reset();
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setstacksize(&attr, kLiveStack);
    const int rc = pthread_create(&m_Thread, &attr, &RtpFetcher::LiveThread, this);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        OXLOG(kSrc, "RTSP %s: cannot start the stream thread (%d)\n", m_Url.c_str(), rc);
        return false;
    }
    m_blThread = true;
    return true;
}

void RtpFetcher::StopLive() {
    if (!m_blThread) return;
    m_blStop = true;
    m_StopWake.Signal();
    m_Cond.notify_all();
    pthread_join(m_Thread, nullptr);
    m_blThread = false;
}

void* RtpFetcher::LiveThread(void* self) {
    static_cast<RtpFetcher*>(self)->LiveLoop();
    return nullptr;
}

void RtpFetcher::PauseLive(int64_t ms) { m_Clock.WaitMs(ms, &m_StopWake); }

void RtpFetcher::LiveLoop() {
    RtspClient& client = m_Client;
    // StopLive ends the client's waits as a detector's Stop ends its own.
    BrellinOwned::SetCurrentWakeUp(&m_StopWake);
    BrellinOwned::ReconnectBackoff backoff;
    while (!m_blStop.load()) {
        ++m_Connects;
        const int64_t began = m_Clock.NowMs();
        bool delivered = false;
        // A login the camera's ration holds back is a failed session without the network.
        const bool mayLogin = MayLogin();
        const int opened = mayLogin ? client.Open() : RTSP_ERR_AUTH;
        if (mayLogin) ReportHealth(client, opened);
        if (opened != RTSP_OK) {
            if (m_blStop.load()) break;
            if (mayLogin) LogFailure(client);
        } else {
            LogStreaming(client);
            // RTCP, drips and malformed packets keep the connection busy but
            // bring no stream: they do not count.
            int64_t lastPacketMs = m_Clock.NowMs();
            while (!m_blStop.load()) {
                const uint8_t* pkt = nullptr;
                size_t len = 0;
                const int rc = client.NextPacket(pkt, len, kLiveSliceMs);
                if (rc < 0) {
                    ReportHealth(client, rc);
                    if (!m_blStop.load()) LogFailure(client);
                    break;
                }
                // The packet's time is taken before it is counted and published:
                // a reader it wakes may act at once, and the time-out must run
                // from when the packet came, not from when this thread got on.
                const int64_t at = m_Clock.NowMs();
                bool hasExt = false;
                if (rc > 0 && TakePacket(pkt, len, at, hasExt)) {
                    delivered = true;
                    lastPacketMs = at;
                } else if (at - lastPacketMs >= TimeoutMs()) {
                    LogLost("RTP packet");
                    break;
                }
            }
            client.Close();
            {
                // A lost stream has no current packet: a detector must not keep
                // reading a state the camera may have left long ago.
                std::lock_guard<std::mutex> g(m_Mutex);
                m_blHaveNewest = false;
                m_LastExtMs = 0;
            }
            m_Cond.notify_all();
        }
        const int64_t wait = backoff.NextWaitMs(delivered, m_Clock.NowMs() - began);
        if (wait > 0 && !m_blStop.load()) PauseLive(wait);
    }
    client.Close();
    BrellinOwned::SetCurrentWakeUp(nullptr);
}

bool RtpFetcher::WaitPackets(uint64_t n, int ms) {
    std::unique_lock<std::mutex> g(m_Mutex);
    return m_Cond.wait_for(g, std::chrono::milliseconds(ms), [&] { return m_Packets.load() >= n; });
}

// ---------------------------------------------------------------- functions

int RtpFetcher::WaitPacket(unsigned int& extLen, int&) {
    extLen = 0;
    if (m_blLive) {
        const unsigned int n = CurExtLen();
        std::lock_guard<std::mutex> g(m_ReadMutex);
        if (!m_blHeld) return -1;
        extLen = n;
        return 0;
    }
    if (FetchOwn() != 0) return -1;
    std::lock_guard<std::mutex> g(m_ReadMutex);
    extLen = (unsigned int)m_Held.size();
    return 0;
}

unsigned int RtpFetcher::CurExtLen() {
    std::lock_guard<std::mutex> r(m_ReadMutex);
    if (m_blLive) {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_blHeld = m_blHaveNewest;
        if (m_blHeld) {
            m_Held.assign(m_Newest.begin(), m_Newest.end());
            m_LastReadSeq = m_NewestSeq;
        }
    }
    return m_blHeld ? (unsigned int)m_Held.size() : 0;
}

int RtpFetcher::CopyExt(unsigned char* buf, unsigned int len) {
    std::lock_guard<std::mutex> g(m_ReadMutex);
    if (!m_blHeld || len > m_Held.size() || (len > 0 && !buf)) return -1;
    if (len > 0) memcpy(buf, m_Held.data(), len);
    return 0;
}

void RtpFetcher::FetchFailed() {
    if (!m_blLive) EndOwnSession();
}

void RtpFetcher::OutOfMemory() {
    OXLOG(kSrc, "RTSP %s: a detector has no memory for the header extension\n", m_Url.c_str());
}

void RtpFetcher::SetWait(bool wait) {
    std::lock_guard<std::mutex> g(m_ReadMutex);
    m_blWaitFresh = wait;
}

unsigned int RtpFetcher::ReadExt(char* buf, unsigned int capacity, int&) {
    bool wait;
    {
        std::lock_guard<std::mutex> g(m_ReadMutex);
        wait = m_blWaitFresh;
    }
    if (!m_blLive) {
        if (wait && FetchOwn() != 0) return 0;
    } else {
        // A stopped detector's wake-up ends the wait too (attached without
        // m_Mutex: the wake-up's lock comes first).
        BrellinOwned::WakeUp* wake = wait ? BrellinOwned::CurrentWakeUp() : nullptr;
        struct Attached {
            BrellinOwned::WakeUp* w;
            ~Attached() {
                if (w) w->DetachWaiter();
            }
        } attached{wake};
        if (wake) wake->AttachWaiter(&m_Mutex, &m_Cond);
        std::lock_guard<std::mutex> r(m_ReadMutex);
        std::unique_lock<std::mutex> g(m_Mutex);
        if (wait) {
            // A network wait, bounded, ended early by StopLive or the caller's Stop.
            const uint64_t last = m_LastReadSeq;
            const int64_t until = m_Clock.NowMs() + kFreshWaitMs;
            while (!m_blStop.load() && !(wake && wake->IsSignalled()) && !(m_blHaveNewest && m_NewestSeq != last) &&
                   m_Clock.NowMs() < until)
                m_Clock.WaitCond(g, m_Cond, until);
            // Nothing newer: the current extension is still the camera's state.
        }
        m_blHeld = m_blHaveNewest;
        if (m_blHeld) {
            m_Held.assign(m_Newest.begin(), m_Newest.end());
            m_LastReadSeq = m_NewestSeq;
        }
    }
    std::lock_guard<std::mutex> r(m_ReadMutex);
    if (!m_blHeld || !buf) return 0;
    const size_t n = std::min<size_t>(capacity, m_Held.size());
    if (n > 0) memcpy(buf, m_Held.data(), n);
    return (unsigned int)n;
}

// ---------------------------------------------------------------- table and factory

FuncTable* GetRtpFetchFuncTable() {
    static MemFunc<int, RtpFetcher, unsigned int&, int&> waitPacket(&RtpFetcher::WaitPacket);
    static MemFunc<unsigned int, RtpFetcher> curExtLen(&RtpFetcher::CurExtLen);
    static MemFunc<int, RtpFetcher, unsigned char*, unsigned int> copyExt(&RtpFetcher::CopyExt);
    static MemFunc<void, RtpFetcher> fetchFailed(&RtpFetcher::FetchFailed);
    static MemFunc<void, RtpFetcher> outOfMemory(&RtpFetcher::OutOfMemory);
    static MemFunc<unsigned int, RtpFetcher, char*, unsigned int, int&> readExt(&RtpFetcher::ReadExt);
    static MemFunc<void, RtpFetcher, bool> setWait(&RtpFetcher::SetWait);
    static FuncTable table = {
        {RTP_FETCH_FUNC_WAIT_PACKET, &waitPacket}, {RTP_FETCH_FUNC_CUR_EXT_LEN, &curExtLen},
        {RTP_FETCH_FUNC_COPY_EXT, &copyExt},       {RTP_FETCH_FUNC_FETCH_FAILED, &fetchFailed},
        {RTP_FETCH_FUNC_OUT_OF_MEMORY, &outOfMemory}, {RTP_FETCH_FUNC_READ_EXT, &readExt},
        {RTP_FETCH_FUNC_SET_WAIT, &setWait},
    };
    return &table;
}

BRObjectBase* RtpFetchFactory(std::string host, int port, std::string path, std::string user, std::string password,
                              bool blOverUdp, std::string arg, int media, bool blKeepAlive, int timeoutSec,
                              BrellinOwned::CameraServices* services) {
    if (host.empty() || port <= 0 || port > 65535) {
        OXLOG(kSrc, "No RTP fetcher for %s:%d: invalid address\n", host.c_str(), port);
        return nullptr;
    }
    if (blOverUdp) {
        OXLOG(kSrc, "No RTP fetcher for %s:%d: only RTP over the RTSP connection is offered\n", host.c_str(), port);
        return nullptr;
    }
    if (media != 1 && media != 2) {
        OXLOG(kSrc, "No RTP fetcher for %s:%d: unknown media %d\n", host.c_str(), port, media);
        return nullptr;
    }
    RTSP_CLIENT_CONF conf;
    conf.host = host;
    conf.port = port;
    conf.path = path;
    conf.query = arg;
    conf.user = user;
    conf.password = password;
    conf.media = media == 1 ? "audio" : "video";
    conf.blKeepAlive = blKeepAlive;
    conf.timeoutSec = timeoutSec > 0 ? timeoutSec : 10;
    BrellinOwned::CameraServices& camServices = services ? *services : BrellinOwned::DefaultCameraServices();
    RtpFetcher* fetcher = new (std::nothrow) RtpFetcher(conf, camServices.GetClock());
    if (fetcher) fetcher->SetHealth(camServices.Health());
    return fetcher;
}

void ReleaseRtpFetch(BRObjectBase*& obj) {
    delete dynamic_cast<RtpFetcher*>(obj);
    obj = nullptr;
}
