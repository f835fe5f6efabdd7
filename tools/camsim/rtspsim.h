// The simulated camera's RTSP server, beside its HTTP one: one video track
// (H.264 filler units, four RTP packets a frame) served as RTP interleaved on
// the RTSP connection, the first packet of every frame carrying the family's
// header extension made from the camera's alarm state. Basic or Digest login
// as the camera's configuration says (a Digest nonce lives as long as its
// connection, so a client that reconnects meets a stale nonce).
//
// The fault switches act on it too:
//   stall        no answers and no packets while on
//   close-mid    half of the next frame, then the connection is closed
//   garbage      packets replaced by as many pseudo-random bytes
//   401, 500     every DESCRIBE, SETUP and PLAY is answered so
//   huge-length  every frame announces 64 bytes more than its packet: the
//                length runs into the next frame
//   vanish       nothing read or sent while on (no close either); then the
//                connections from before are closed
//   rtcp-only    playing sessions get an RTCP sender report per frame, no RTP
//   ext-pacing   the extension only on one frame every Config::extPacingMs
//   refuse       connections are closed at once
#ifndef TOOLS_CAMSIM_RTSPSIM_H
#define TOOLS_CAMSIM_RTSPSIM_H

#include <stdint.h>

#include <atomic>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/camsim/simtypes.h"

namespace camsim {

class RtspSim {
public:
    RtspSim(SimCamera& sim, const RtpFamily& family);
    ~RtspSim();
    RtspSim(const RtspSim&) = delete;
    RtspSim& operator=(const RtspSim&) = delete;

    // Listens on 127.0.0.1:port (0: any free one). False with error set.
    bool Start(int port, std::string& error);
    // Closes every connection and joins every thread; each notices within a
    // 100 ms slice. Safe to call more than once.
    void Stop();
    int Port() const { return m_Port; }
    // The stream's URL (without login).
    std::string Url() const;
    // Connections accepted, sessions that reached PLAY, RTP packets sent.
    int Connections() const { return m_Connections.load(); }
    int Sessions() const { return m_Sessions.load(); }
    uint64_t PacketsSent() const { return m_Packets.load(); }

private:
    struct Conn;
    void AcceptLoop();
    void Serve(Conn* c);

    SimCamera& m_Sim;
    const RtpFamily& m_Family;
    int m_ListenFd = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::thread m_Accept;
    std::mutex m_Mutex;
    std::list<std::unique_ptr<Conn> > m_Conns;
    std::atomic<int> m_Connections{0};
    std::atomic<int> m_Sessions{0};
    std::atomic<uint64_t> m_Packets{0};
};

}  // namespace camsim

#endif  // TOOLS_CAMSIM_RTSPSIM_H
