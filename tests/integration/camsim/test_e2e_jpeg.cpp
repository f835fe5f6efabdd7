// End to end over events carried in JPEG frames: camdet-monitor --json
// watches simulated Axis, Vivotek, Basler, JVC and Panasonic cameras whose
// MJPEG frames carry the vendors' header segments, the detectors fetching the
// stream themselves or reading the stream FIFO that --fifo-url feeds; one
// stream serves every kind of a camera; a camera that sends huge frames,
// frames without segments, drops or stalls costs bounded memory and the
// detection resumes; frames of tens of thousands of empty segments are no
// data.
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

TEST(JpegEndToEnd, AxisFramesServeFourKindsFromOneStream) {
    camsim::CamSim sim(Cam("axisv5"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon(Args(sim, "axisv5", {"--di-count", "2"}));
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(4, kStepMs));
    for (auto& c : log.Classes()) EXPECT_EQ(c.second, "AxisJpgDetector") << c.first;
    RunSteps(log, {
                      {"motion on at 40", [&] { sim.SetMotion(true, 40); }, "md", -1, true, 40},
                      {"input 2 on", [&] { sim.SetInput(2, true); }, "di", 1, true, 100},
                      {"tamper on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
                      {"audio on", [&] { sim.SetAudio(true); }, "ad", -1, true, 100},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                      {"input 2 off", [&] { sim.SetInput(2, false); }, "di", 1, false, 0},
                      {"tamper off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
                      {"audio off", [&] { sim.SetAudio(false); }, "ad", -1, false, 0},
                  });
    EXPECT_EQ(log.CountTriggered("di", 0), 0);
    // One frame stream for the four detectors: the Digest challenge and the request.
    EXPECT_EQ(sim.RequestCount(), 2u);
    EXPECT_NE(sim.LastTarget().find("/axis-cgi/mjpg/video.cgi"), std::string::npos);
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(log.BadLines().empty());
}

TEST(JpegEndToEnd, VivotekApplicationDataAndInputs) {
    camsim::CamSim sim(Cam("vivotek8"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon(Args(sim, "vivotek8", {"--di-count", "2", "--kinds", "md,di,td"}));
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(3, kStepMs));
    EXPECT_EQ(log.Classes()["md"], "VivotekJpgDetector");
    EXPECT_EQ(log.Classes()["di"], "Vivotek8DI");
    RunSteps(log, {
                      {"motion on at 55", [&] { sim.SetMotion(true, 55); }, "md", -1, true, 55},
                      {"tamper on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
                      {"input 2 on", [&] { sim.SetInput(2, true); }, "di", 1, true, 1},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                      {"tamper off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
                  });
    EXPECT_EQ(mon.Terminate(), 0);
}

TEST(JpegEndToEnd, AxisMotionStreamAndInputQueries) {
    camsim::CamSim sim(Cam("axisv3"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon(Args(sim, "axisv3", {"--di-count", "2", "--kinds", "md,di"}));
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(2, kStepMs));
    EXPECT_EQ(log.Classes()["md"], "AxisMD");
    EXPECT_EQ(log.Classes()["di"], "AxisDI");
    RunSteps(log, {
                      {"motion on", [&] { sim.SetMotion(true, 30); }, "md", -1, true, 30},
                      {"input 1 on", [&] { sim.SetInput(1, true); }, "di", 0, true, 1},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 3},
                  });
    EXPECT_EQ(mon.Terminate(), 0);
}

// The other JPEG families: motion (and the first input) on and off.
TEST(JpegEndToEnd, EveryJpegFamilyReportsMotionAndInput) {
    struct Row {
        const char* api;
        const char* md;
        const char* di;
        int level;
        int diLevel;
    } rows[] = {
        {"vivotek2", "VivotekJpgDetector", "Vivotek2DI", 60, 1},
        {"basler", "BaslerJpgMD", "BaslerJpgDI", 60, 1},
        {"jvc", "JvcJpgMD", "JvcDI", 100, 1},
        {"panasonicfw3", "PanaJpgDIMD", "PanaJpgDIMD", 100, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.api);
        camsim::CamSim sim(Cam(r.api));
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        // Panasonic frames reach the detectors through the FIFO.
        std::vector<std::string> more = {"--kinds", "md,di"};
        if (std::string(r.api) == "panasonicfw3") {
            more.push_back("--fifo-url");
            more.push_back("http://127.0.0.1:" + std::to_string(sim.Port()) + "/nphMotionJpeg");
        }
        MonitorProcess mon(Args(sim, r.api, more));
        camtest::StatusLog& log = mon.Log();
        ASSERT_TRUE(log.WaitClasses(2, kStepMs));
        EXPECT_EQ(log.Classes()["md"], r.md);
        EXPECT_EQ(log.Classes()["di"], r.di);
        RunSteps(log, {
                          {"motion on", [&] { sim.SetMotion(true, 60); }, "md", -1, true, r.level},
                          {"input 1 on", [&] { sim.SetInput(1, true); }, "di", 0, true, r.diLevel},
                          {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                      });
        EXPECT_EQ(mon.Terminate(), 0);
    }
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
