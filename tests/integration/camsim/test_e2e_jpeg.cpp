// End to end over events carried in JPEG frames read from the stream FIFO
// that --fifo-url feeds (each family's frames: test_e2e_families.cpp): a
// camera that sends huge frames, frames without segments, drops or stalls
// costs bounded memory and the detection resumes. (Frames of tens of
// thousands of empty segments: the JpgHdrTransport tests.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

// A 20 MB frame breaks the stream (the recorder's part limit), frames
// without segments clear the status, a drop mid-frame and a stall cut the
// stream: the monitor's memory stays bounded and detection comes back.
TEST(JpegEndToEnd, FifoStreamFaultsCostBoundedMemoryAndDetectionResumes) {
    camsim::CamSim sim(camtest::SimConfig("axisv5", "pw-7"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetMotion(true, 80);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(sim.Port()) + "/axis-cgi/mjpg/video.cgi?plain=10&big=15";
    MonitorProcess mon({"--json", "--api", "axisv5", "--port", std::to_string(sim.Port()), "--user", "admin",
                        "--password", "pw-7", "--stream-format", "1", "--fifo-url", url, "--kinds", "md"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    // Plain frames first: no segment, no trigger; then the segments.
    ASSERT_TRUE(log.WaitState("md", -1, true, 80, kStepMs)) << log.Text();
    // The big frame breaks the stream; the feeder comes back.
    ASSERT_TRUE(sim.WaitRequests(4, 30000)) << "no reconnect after the 20 MB frame";
    EXPECT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();  // plain frames again
    EXPECT_TRUE(log.WaitState("md", -1, true, 80, kStepMs)) << log.Text();
    EXPECT_LT(mon.RssKiB(), 64 * 1024) << "a 20 MB frame must not be held";

    const uint64_t before = sim.RequestCount();
    sim.SetFault(camsim::kFaultCloseMid, true);
    ASSERT_TRUE(sim.WaitRequests(before + 1, 30000));
    sim.SetFault(camsim::kFaultCloseMid, false);
    sim.SetMotion(true, 50);
    EXPECT_TRUE(log.WaitState("md", -1, true, 50, 30000)) << log.Text();

    sim.SetFault(camsim::kFaultStall, true);
    sim.SetMotion(true, 20);
    sim.SetFault(camsim::kFaultStall, false);
    EXPECT_TRUE(log.WaitState("md", -1, true, 20, 30000)) << log.Text();
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(log.BadLines().empty());
}

}  // namespace
