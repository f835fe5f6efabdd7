// camdet-monitor ends within a second of SIGINT or SIGTERM whatever its
// cameras do, and with its log on a stderr pipe that nobody reads.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/fixtures/scriptedpeer.h"
#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;
using camtest::PeerStep;
using camtest::ScriptedPeer;

namespace {

// The monitor ends within a second; the bound leaves room for a loaded
// machine (at load 11 a run took longer) and stays far below the 10 s
// time-outs that a monitor waiting on its camera would sit out.
const int64_t kEndBoundMs = 3000;

// Signals the monitor and returns how long it took to exit (status in `rc`).
int64_t EndMs(MonitorProcess& mon, int sig, int& rc) {
    const auto t0 = std::chrono::steady_clock::now();
    rc = mon.Signal(sig);
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count();
}

// A silent camera while the monitor sets it up (which blocks the signals),
// and the stream FIFO feeder's camera stalling, dripping or never sending a boundary.
TEST(MonitorSignals, EndsWhileItWaitsOnACamera) {
    const std::string head = "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=frame\r\n\r\n";
    const std::string part = "--frame\r\nContent-Type: image/jpeg\r\nContent-Length: 5000\r\n\r\n\xff\xd8\xff\xe1";
    camtest::PeerScript drip = {PeerStep::RecvRequest(), PeerStep::Send(head)};
    for (char c : part) {
        drip.push_back(PeerStep::Send(std::string(1, c)));
        drip.push_back(PeerStep::Pause(300));
    }
    camtest::PeerScript raw = {PeerStep::RecvRequest(), PeerStep::Send(head)};
    for (int i = 0; i < 100; ++i) {
        raw.push_back(PeerStep::Send("\xff\xd8\xff\xe0" + std::string(2000, 'j') + "\xff\xd9"));
        raw.push_back(PeerStep::Pause(100));
    }
    const std::vector<std::string> onvif = {"--api", "onvif", "--onvif-device", "/onvif/device_service"};
    const std::vector<std::string> fifo = {"--api", "ipuxfw1", "--stream-format", "1", "--fifo-url", "/video.mjpg"};
    const struct {
        const char* what;
        camtest::PeerScript script;
        std::vector<std::string> args;  // the last one: the path on the camera
        int sig;
        size_t sent;  // what the camera sent before the signal
    } rows[] = {
        {"setting up, SIGTERM", {PeerStep::Stall()}, onvif, SIGTERM, 0},
        {"stalled mid-frame, SIGINT", {PeerStep::RecvRequest(), PeerStep::Send(head + part), PeerStep::Stall()}, fifo,
         SIGINT, head.size() + 4},
        {"dripping", drip, fifo, SIGTERM, head.size() + 4},
        {"frames without a boundary", raw, fifo, SIGTERM, head.size() + 4},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        // A camera of its own for each run: a connection the ended monitor
        // began may still be accepted late, and must not count as this one's.
        ScriptedPeer cam(r.script);
        std::vector<std::string> args = {"--json", "--log", "/dev/null"};
        args.insert(args.end(), r.args.begin(), r.args.end());
        args.back() = "http://127.0.0.1:" + std::to_string(cam.Port()) + args.back();
        MonitorProcess mon(args);
        ASSERT_TRUE(camtest::Eventually(15000, [&] { return cam.Connections() >= 1 && cam.Sent(0) >= r.sent; }));
        int rc = -1;
        EXPECT_LE(EndMs(mon, r.sig, rc), kEndBoundMs);
        EXPECT_EQ(0, rc);
    }
}

// stderr is a pipe that is full from the start and never read: whether the
// library's lines go there (--log /dev/stderr, or a fleet's --log -) or only
// the monitor's own do, the camera's health reaches stdout and SIGTERM ends it.
TEST(MonitorSignals, EndsWithItsLogOnAFullPipe) {
    camsim::CamSim sim(camtest::SimConfig("truen", "right", 4));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string path = std::string(CAMDET_BINARY_DIR) + "/e2e-signals-gate.yaml";
    camtest::WriteFile(path, "cameras:\n  gate:\n    api: truen\n    port: " + std::to_string(sim.Port()) +
                                 "\n    user: admin\n    password: wrong\n    kinds: [md]\n");
    const std::vector<std::string> single = {"--json", "--api", "truen", "--port", std::to_string(sim.Port()),
                                             "--user", "admin", "--password", "wrong", "--kinds", "md"};
    const struct {
        const char* what;
        std::vector<std::string> args;
    } rows[] = {
        {"--log /dev/stderr", {"--log", "/dev/stderr"}},
        {"a fleet, --log -", {"--json", "--config", path, "--log", "-"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        int fds[2];
        ASSERT_EQ(0, pipe2(fds, O_CLOEXEC));
        fcntl(fds[1], F_SETPIPE_SZ, 4096);
        fcntl(fds[1], F_SETFL, O_NONBLOCK);
        const std::string fill(4096, 'x');
        while (write(fds[1], fill.data(), fill.size()) > 0) {
        }
        fcntl(fds[1], F_SETFL, 0);
        std::vector<std::string> args = r.args;
        if (args[0] != "--json") args.insert(args.begin(), single.begin(), single.end());
        MonitorProcess mon(args, std::string(), fds[1]);
        close(fds[1]);
        EXPECT_TRUE(mon.Log().WaitHealth("unauthorized", 15000)) << mon.Log().Text();
        int rc = -1;
        EXPECT_LE(EndMs(mon, SIGTERM, rc), kEndBoundMs);
        EXPECT_EQ(0, rc);
        close(fds[0]);
    }
}

}  // namespace
