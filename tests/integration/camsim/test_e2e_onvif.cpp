// camdet-monitor --probe against the simulated ONVIF device: the topics the
// device lists and the one each kind takes, and a mistyped topic key. (The
// four kinds end to end: test_e2e_families.cpp.)
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/camsim.h"

using camtest::RunToEnd;

namespace {

TEST(OnvifEndToEnd, ProbeAndAMistypedTopicKey) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.inputs = 1;
    cfg.onvifTopics = "motionalarm";
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string device = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/onvif/device_service";
    std::vector<std::string> out;
    std::string err;
    ASSERT_EQ(RunToEnd({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 0)
        << err;
    for (const char* line : {"topic tns1:VideoSource/MotionAlarm source Source data State",
                             "topic tns1:Device/Trigger/DigitalInput source InputToken data LogicalState",
                             "md tns1:VideoSource/MotionAlarm;State (device)",
                             "td tns1:VideoSource/GlobalSceneChange/ImagingService;State (device)"})
        EXPECT_NE(std::find(out.begin(), out.end(), line), out.end()) << line;
    EXPECT_EQ(err, "");

    // A key the device does not list: one line naming what it lists; the
    // run goes on with the key (--dry-run included).
    const std::string line =
        "camdet-monitor: --onvif-topic md=tns1:VideoSource/MotionAlarm;Stat: the device does not list it; it lists "
        "tns1:VideoSource/MotionAlarm;State\n";
    for (const char* mode : {"--probe", "--dry-run"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(RunToEnd({"--api", "onvif", "--onvif-device", device, "--onvif-topic",
                            "md=tns1:VideoSource/MotionAlarm;Stat", mode, "--log", "/dev/null"},
                           out, err),
                  0);
        EXPECT_EQ(err, line);
    }
    // Nobody there: one line and a failure.
    sim.Stop();
    EXPECT_EQ(RunToEnd({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("does not answer"), std::string::npos) << err;
}

}  // namespace
