// End to end over events carried in RTP header extensions (each family's
// stream: test_e2e_families.cpp): camdet-monitor --json --rtsp through the
// recorder's shared fetcher of the live stream: the camera's RTSP faults
// (refusal, drops, lengths that run past their packet, garbage, a stall) cost
// bounded memory, detection resumes and the monitor still stops. (An alarm held between extensions or
// ended by a stream that brings nothing of use, and a detector's own fetcher:
// the RtpFetcherPeer tests against scripted servers, the RtpVendors,
// RtpTransport and OwnRtpLoop tests.)
#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/testsupport.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

TEST(RtpEndToEnd, RtspFaultsCostBoundedMemoryAndDetectionResumes) {
    camsim::CamSim sim(camtest::SimConfig("avtechp", "pw-9"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetFault(camsim::kFaultRefuse, true);
    LogCapture libLog;  // only its temporary file: the monitor writes its log there
    std::string url = sim.RtspUrl();
    url.insert(7, "admin:pw-9@");  // the login in the URL
    MonitorProcess mon({"--json", "--api", "avtechp", "--port", std::to_string(sim.Port()), "--rtsp", url, "--kinds",
                        "md", "--log", libLog.Path()});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    sim.SetMotion(true);
    // Refused: the fetcher says so and tries again later; then it gets in. (A
    // connection closed before its request was read may arrive as a reset,
    // seen by the receive or already by the send.)
    const std::string failed = "RTSP " + sim.RtspUrl() + ": ";
    auto refusedLogged = [&] {
        const std::string t = libLog.Text();
        return t.find(failed + "the server closed the connection") != std::string::npos ||
               t.find(failed + "receive failed") != std::string::npos ||
               t.find(failed + "send failed") != std::string::npos;
    };
    ASSERT_TRUE(WaitFor(refusedLogged, kStepMs)) << libLog.Text();
    EXPECT_EQ(log.CountTriggered("md", -1), 0);
    sim.SetFault(camsim::kFaultRefuse, false);
    ASSERT_TRUE(log.WaitState("md", -1, true, 100, 30000)) << log.Text();
    EXPECT_NE(std::string::npos, libLog.Text().find("streaming (session"));

    struct Fault {
        camsim::Fault fault;
        const char* what;
    } faults[] = {
        {camsim::kFaultCloseMid, "the connection dropped mid-frame"},
        {camsim::kFaultHugeLength, "interleaved lengths running past their packets"},
        {camsim::kFaultGarbage, "garbage instead of packets"},
        {camsim::kFaultStall, "a stall"},
    };
    bool motion = true;
    for (const Fault& f : faults) {
        SCOPED_TRACE(f.what);
        const int sessions = sim.RtspSessions();
        const int connections = sim.RtspConnections();
        const uint64_t packets = sim.RtpPacketsSent();
        sim.SetFault(f.fault, true);
        switch (f.fault) {
        case camsim::kFaultHugeLength:
            // The frames stay readable: the packets after each broken one are found again.
            motion = !motion;
            sim.SetMotion(motion);
            EXPECT_TRUE(log.WaitState("md", -1, motion, motion ? 100 : 0, kStepMs)) << log.Text();
            break;
        case camsim::kFaultCloseMid:
            ASSERT_TRUE(WaitFor([&] { return sim.RtspSessions() > sessions + 1; }, 30000)) << "no reconnects";
            break;
        case camsim::kFaultGarbage:
            ASSERT_TRUE(WaitFor([&] { return sim.RtpPacketsSent() >= packets + 40; }, 30000));
            break;
        default:
            // Silent past the fetcher's time-out: it gives up and connects anew.
            ASSERT_TRUE(WaitFor([&] { return sim.RtspConnections() > connections; }, 30000)) << "no reconnect";
            break;
        }
        sim.SetFault(f.fault, false);
        motion = !motion;
        sim.SetMotion(motion);
        EXPECT_TRUE(log.WaitState("md", -1, motion, motion ? 100 : 0, 30000)) << log.Text();
    }
    EXPECT_LT(mon.RssKiB(), 64 * 1024);
    // The monitor stops while the camera stalls: every wait is bounded.
    sim.SetFault(camsim::kFaultStall, true);
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(log.BadLines().empty());
}

}  // namespace
