// End to end over events carried in JPEG frames read from the stream FIFO
// that --fifo-url feeds (each family's frames: test_e2e_families.cpp): a
// camera that sends huge frames, frames without segments, drops or stalls
// costs bounded memory and the detection resumes; frames of tens of
// thousands of empty segments are no data.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;
using camtest::RunSteps;
using camtest::Step;

namespace {

const int kStepMs = 15000;

std::vector<std::string> Args(const camsim::CamSim& sim, const char* api, std::vector<std::string> more) {
    std::vector<std::string> a = {"--json", "--api", api, "--port", std::to_string(sim.Port()), "--user", "admin",
                                  "--password", "pw-7", "--stream-format", "1"};
    a.insert(a.end(), more.begin(), more.end());
    return a;
}

camsim::Config Cam(const char* api) {
    camsim::Config cfg;
    cfg.api = api;
    cfg.user = "admin";
    cfg.password = "pw-7";
    cfg.inputs = 2;
    return cfg;
}

// A 20 MB frame breaks the stream (the recorder's part limit), frames
// without segments clear the status, a drop mid-frame and a stall cut the
// stream: the monitor's memory stays bounded and detection comes back.
TEST(JpegEndToEnd, FifoStreamFaultsCostBoundedMemoryAndDetectionResumes) {
    camsim::CamSim sim(Cam("axisv5"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetMotion(true, 80);
    const std::string url =
        "http://127.0.0.1:" + std::to_string(sim.Port()) + "/axis-cgi/mjpg/video.cgi?plain=10&big=15";
    MonitorProcess mon(Args(sim, "axisv5", {"--fifo-url", url, "--kinds", "md"}));
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

// Frames of 80,000 empty segments say nothing: the motion the camera last
// reported in a frame that could be read stays, until one can be read again.
TEST(JpegEndToEnd, MarkerBombFramesAreNoData) {
    camsim::CamSim sim(Cam("axisv5"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string url = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/axis-cgi/mjpg/video.cgi";
    MonitorProcess mon(Args(sim, "axisv5", {"--fifo-url", url, "--kinds", "md"}));
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    RunSteps(log, {{"motion on at 60", [&] { sim.SetMotion(true, 60); }, "md", -1, true, 60}});
    const size_t events = log.Events().size();
    sim.SetFault(camsim::kFaultMarkerBomb, true);
    sim.SetMotion(false);  // said only in frames that cannot be read
    usleep(2000 * 1000);   // ten frames or so
    EXPECT_EQ(events, log.Events().size()) << log.Text();
    sim.SetFault(camsim::kFaultMarkerBomb, false);
    EXPECT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    EXPECT_EQ(mon.Terminate(), 0);
}

}  // namespace
