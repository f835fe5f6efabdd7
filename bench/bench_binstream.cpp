// Binary- and line-stream cost: lines (Dahua event lines, one owner feeding
// two followers) and records (Y-cam 8-byte records) per second through one
// detector, each beside a plain read of the same bytes with the same client
// and no detector. The camera is a loopback server that sends its stream as
// fast as the reader takes it. Numbers only; nothing is asserted.
//
//   bench_binstream [--seconds 5]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "bench/benchutil.h"
#include "dupfromox/oxdebuglog.h"
#include "host/recorder/camhost.h"
#include "interface/hostservices.h"
#include "tests/fixtures/recordinghost.h"
#include "tests/fixtures/testsupport.h"

namespace {

using bench::CpuSeconds;
using bench::Now;
using bench::ResetSharing;

// Serves every connection the HTTP head and then `unit` over and over.
class FloodServer {
public:
    explicit FloodServer(std::string unit) : m_Unit(std::move(unit)) {
        m_Fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof(a);
        bind(m_Fd, (sockaddr*)&a, len);
        listen(m_Fd, 4);
        getsockname(m_Fd, (sockaddr*)&a, &len);
        m_Port = ntohs(a.sin_port);
        m_Thread = std::thread([this] { Serve(); });
    }
    ~FloodServer() {
        m_Stop = true;
        m_Thread.join();
        close(m_Fd);
    }
    int Port() const { return m_Port; }

private:
    void Serve() {
        std::string chunk;
        while (chunk.size() < 64 * 1024) chunk += m_Unit;
        std::vector<std::thread> conns;
        while (!m_Stop) {
            pollfd p{m_Fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0) continue;
            const int c = accept4(m_Fd, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) continue;
            conns.emplace_back([this, c, chunk] {
                char req[4096];
                recv(c, req, sizeof(req), 0);
                const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n";
                send(c, head.data(), head.size(), MSG_NOSIGNAL);
                while (!m_Stop) {
                    pollfd p2{c, POLLOUT, 0};
                    if (poll(&p2, 1, 100) <= 0) continue;
                    if (send(c, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT) < 0 && errno != EAGAIN)
                        break;
                }
                close(c);
            });
        }
        for (std::thread& t : conns) t.join();
    }

    std::string m_Unit;
    int m_Fd = -1;
    int m_Port = 0;
    std::atomic<bool> m_Stop{false};
    std::thread m_Thread;
};

struct Rig {
    CamMediator med;
    RecorderCameraCap cap;
    RecorderCameraAPI api{&cap};
    CountingEventBuf buf;
    CountingEventBufMap bufMap;
    DET_BASE_ATTR Attr() {
        DET_BASE_ATTR a;
        a.camMediatorHdl = CamMediatorHandler(&med);
        a.pCamApi = &api;
        a.evtBufHdl = EventBufHandler(&buf);
        a.evtBufMapHdl = EventBufMapHandler(&bufMap);
        a.pCamCap = &cap;
        return a;
    }
};

// The same client reading the same stream, lines or records, no detector.
void PlainRead(const char* what, int port, bool lines, unsigned int size, double seconds, size_t unitBytes) {
    BrellinOwned::OXHttpClient c("127.0.0.1", port, "events", "", "", 60, true, true, HTTP_VER_DEF, "");
    if (c.SendRequest(OX_HTTP_GET, "?") != 0) {
        printf("%s: plain read could not connect\n", what);
        return;
    }
    std::vector<char> buf(size + 1);
    long units = 0;
    const double cpu0 = CpuSeconds(), t0 = Now();
    while (Now() - t0 < seconds) {
        for (int i = 0; i < 1000; ++i) {
            if (lines) {
                if (c.ReadToLineEnd(buf.data(), (int)size) < 0) break;
            } else {
                unsigned int got = 0;
                while (got < size) {
                    const int n = c.ReadData(buf.data() + got, (int)(size - got) + 1);
                    if (n <= 0) break;
                    got += (unsigned int)n;
                }
            }
            ++units;
        }
    }
    const double wall = Now() - t0, cpu = CpuSeconds() - cpu0;
    printf("%s, plain read: %.0f %s/s, %.1f MB/s (%.2f us CPU each)\n", what, units / wall,
           lines ? "lines" : "records", units * (double)unitBytes / wall / 1e6, units ? cpu * 1e6 / units : 0.0);
}

template <typename Owner>
void ThroughDetector(const char* what, Rig& owner, Owner& det, double seconds, size_t unitBytes, bool lines,
                     const std::vector<CountingEventBuf*>& followers) {
    const double cpu0 = CpuSeconds(), t0 = Now();
    det.Start();
    while (Now() - t0 < seconds) usleep(100000);
    const int units = owner.buf.GetUpdateCount();
    const double wall = Now() - t0, cpu = CpuSeconds() - cpu0;
    det.Stop();
    printf("%s, through the detector: %.0f %s/s, %.1f MB/s (%.2f us CPU each)", what, units / wall,
           lines ? "lines" : "records", units * (double)unitBytes / wall / 1e6, units ? cpu * 1e6 / units : 0.0);
    for (CountingEventBuf* f : followers) printf(", a follower fed %.0f/s", f->GetUpdateCount() / wall);
    printf("\n");
}

void Lines(double seconds) {
    // A Dahua event-manager part: six lines, two of them empty (the plain
    // read counts all six).
    const std::string part =
        "--myboundary\r\nContent-Type: text/plain\r\nContent-Length: 37\r\n\r\n"
        "Code=VideoMotion;action=Start;index=0\r\n\r\n";
    FloodServer srv(part);
    PlainRead("Dahua lines", srv.Port(), true, 1024, seconds, part.size() / 6);

    ResetSharing();
    Rig md, di, td;
    md.med.httpPort = srv.Port();
    md.cap.SetAPI("dahua");
    md.cap.SetDICnt(2);
    DET_BASE_ATTR diA = md.Attr(), tdA = md.Attr();
    diA.evtBufMapHdl = EventBufMapHandler(&di.bufMap);
    diA.evtBufHdl = EventBufHandler(&di.buf);
    tdA.evtBufHdl = EventBufHandler(&td.buf);
    // The classes the factories choose for the key, as a recorder gets them.
    std::unique_ptr<CamDetector> ownerMade = MakeFor("dahua", DET_TYPE_MD, md.Attr());
    std::unique_ptr<CamDetector> f1Made = MakeFor("dahua", DET_TYPE_DI, diA);
    std::unique_ptr<CamDetector> f2Made = MakeFor("dahua", DET_TYPE_TD, tdA);
    if (!ownerMade || !f1Made || !f2Made) return;
    CamDetector &owner = *ownerMade, &f1 = *f1Made, &f2 = *f2Made;
    f1.Start();
    f2.Start();
    // The detector reports the four lines that are not empty.
    ThroughDetector("Dahua lines, 1 owner + 2 followers", md, owner, seconds, part.size() / 4, true, {&td.buf});
    printf("  (the input follower reported %d port statuses in all)\n", di.bufMap.GetUpdateCount());
    f1.Stop();
    f2.Stop();
}

void Records(double seconds) {
    const std::string record("\x28\x0a\x00\x00\x01\x00\x00\x00", 8);
    FloodServer srv(record);
    PlainRead("Y-cam records", srv.Port(), false, 8, seconds, 8);
    ResetSharing();
    Rig md;
    md.med.httpPort = srv.Port();
    md.cap.SetAPI("ycam");
    std::unique_ptr<CamDetector> made = MakeFor("ycam", DET_TYPE_MD, md.Attr());
    if (!made) return;
    CamDetector& det = *made;
    ThroughDetector("Y-cam records", md, det, seconds, 8, false, {});
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 5;
    if (!bench::ParseNumberOptions(argc, argv, {{"--seconds", &seconds}})) return 2;
    BrellinOwned::OXSetLogPath("/tmp/bench_binstream.log");
    Lines(seconds);
    Records(seconds);
    return 0;
}
