// The fleet's status page over HTTP (libmicrohttpd):
//   GET /             the page: every camera and detector, updated live from /events
//   GET /events       server-sent events: one "camera" event (the camera's JSON) per
//                     change, "removed" with a name when a camera goes, "scope" when
//                     the shard or the number of cameras in the file changes
//   GET /api/cameras  everything as one JSON document
//   GET /metrics      Prometheus text format
// Read-only; nothing it serves holds a credential (see StatusBoard).
#ifndef TOOLS_MONITOR_STATUSSERVER_H
#define TOOLS_MONITOR_STATUSSERVER_H

#include <atomic>
#include <string>

#include "tools/monitor/statusboard.h"

struct MHD_Daemon;

class StatusServer {
public:
    explicit StatusServer(StatusBoard& board) : m_Board(board) {}
    ~StatusServer() { Stop(); }
    StatusServer(const StatusServer&) = delete;
    StatusServer& operator=(const StatusServer&) = delete;

    // Binds "ADDR:PORT" (or "PORT": 127.0.0.1) and serves. False with a
    // one-line `error` when the address is bad or cannot be bound.
    bool Start(const std::string& addr, std::string& error);
    // Ends the event streams and joins the server's threads.
    void Stop();
    int Port() const { return m_Port; }

    // Internal, for the server glue.
    StatusBoard& Board() { return m_Board; }
    bool Stopping() const { return m_Stopping.load(); }

private:
    StatusBoard& m_Board;
    MHD_Daemon* m_Daemon = nullptr;
    int m_Port = 0;
    std::atomic<bool> m_Stopping{false};
};

// The page itself (HTML, CSS and script in one).
const char* StatusPageHtml();

#endif  // TOOLS_MONITOR_STATUSSERVER_H
