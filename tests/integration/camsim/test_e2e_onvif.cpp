// End to end over ONVIF: camdet-monitor --json --api onvif --onvif-device
// against the simulated ONVIF device (WS-Security on, wsa:MessageID
// required): the recorder side finds the services and chooses the topics
// the device lists, the four detectors share one PullPoint subscription,
// each alarm goes on and off, and a subscription that stops working (failed
// pulls, then a subscription the camera forgot) is replaced, the old one
// unsubscribed, and detection goes on; --probe and a mistyped topic key. (A
// strict device's renewals and a device back from an outage: the OnvifPullPoint
// unit tests, and the fleet's health test end to end.)
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <sstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

// GET on the device's ONVIF switch board; its "name=value" lines as a map.
// (The Host header is the one the detectors send: the device keys its state on it.)
std::map<std::string, std::string> SimCtl(int port, const std::string& query) {
    std::map<std::string, std::string> out;
    std::istringstream text(camtest::HttpGet(port, "/onvif/simctl" + (query.empty() ? "" : "?" + query)));
    for (std::string line; std::getline(text, line);) {
        if (line.find('=') != std::string::npos) out[line.substr(0, line.find('='))] = line.substr(line.find('=') + 1);
    }
    return out;
}

bool WaitSim(int port, const std::function<bool(std::map<std::string, std::string>&)>& cond, int ms) {
    return camtest::Eventually(ms, [&] {
        std::map<std::string, std::string> s = SimCtl(port, "");
        return cond(s);
    });
}

TEST(OnvifEndToEnd, FourKindsAndSubscriptionRecovery) {
    camsim::CamSim sim(camtest::SimConfig("onvif", "onvif-Pw1"));
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const int port = sim.Port();
    const std::string device = "http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service";

    const std::string logPath = std::string(CAMDET_BINARY_DIR) + "/e2e-onvif.log";
    unlink(logPath.c_str());
    MonitorProcess mon({"--json", "--api", "onvif", "--onvif-device", device, "--user", "admin", "--password",
                       "onvif-Pw1", "--di-count", "2", "--log", logPath});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(4, kStepMs));
    std::map<std::string, std::string> classes = log.Classes();
    EXPECT_EQ(classes["md"], "OnvifMD");
    EXPECT_EQ(classes["di"], "OnvifDI");
    EXPECT_EQ(classes["td"], "OnvifTD");
    EXPECT_EQ(classes["ad"], "OnvifAD");

    // The first pull brings "Initialized" for every property: all quiet.
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    ASSERT_TRUE(log.WaitState("di", 1, false, 0, kStepMs)) << log.Text();

    const std::vector<camtest::Step> steps = {
        {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
        {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
        {"input 2 on: port 1 by its token", [&] { sim.SetInput(2, true); }, "di", 1, true, 100},
        {"input 2 off", [&] { sim.SetInput(2, false); }, "di", 1, false, 0},
        {"tampering on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
        {"tampering off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
        {"audio on", [&] { sim.SetAudio(true); }, "ad", -1, true, 100},
        {"audio off", [&] { sim.SetAudio(false); }, "ad", -1, false, 0},
    };
    camtest::RunSteps(log, steps, kStepMs);
    EXPECT_EQ(log.CountTriggered("di", 0), 0);  // input 1 never went on

    // One subscription serves the four detectors.
    std::map<std::string, std::string> st = SimCtl(port, "");
    EXPECT_EQ(st["created"], "1");

    // Three failed pulls: the subscription is replaced, the old one unsubscribed.
    SimCtl(port, "fail_pulls=3");
    ASSERT_TRUE(WaitSim(port, [](std::map<std::string, std::string>& s) {
        return s["created"] == "2" && s["unsubscribed"] == "1" && s["subscriptions"] == "1";
    }, kStepMs)) << SimCtl(port, "")["created"];
    sim.SetMotion(true);
    ASSERT_TRUE(log.WaitState("md", -1, true, 100, kStepMs)) << log.Text();

    // The camera forgets the subscription: pulls fail until a new one exists.
    SimCtl(port, "drop_subscriptions=1");
    ASSERT_TRUE(WaitSim(port, [](std::map<std::string, std::string>& s) {
        return s["created"] == "3" && s["subscriptions"] == "1";
    }, kStepMs));
    sim.SetMotion(false);
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    sim.SetInput(1, true);
    ASSERT_TRUE(log.WaitState("di", 0, true, 100, kStepMs)) << log.Text();

    EXPECT_EQ(mon.Terminate(), 0);
    // Stopping unsubscribes the last subscription.
    st = SimCtl(port, "");
    EXPECT_EQ(st["subscriptions"], "0");
    EXPECT_EQ(st["unsubscribed"].substr(0, 1), "1");
    EXPECT_EQ(st["no_message_id"], "0");  // the device refuses requests without one
    EXPECT_TRUE(log.BadLines().empty());

    const std::string logText = camtest::ReadFile(logPath);
    EXPECT_NE(logText.find("Failed to pulling event. [][PT"), std::string::npos) << logText;
    EXPECT_NE(logText.find("S][8]\n"), std::string::npos) << logText;
    EXPECT_EQ(logText.find("onvif-Pw1"), std::string::npos);  // never the password
}

// Runs the monitor to its end: its exit status, what it printed on stdout and on stderr.
int RunMonitor(const std::vector<std::string>& args, std::string& out, std::string& err) {
    const std::string errPath = std::string(CAMDET_BINARY_DIR) + "/e2e-onvif-run.err";
    int rc;
    {
        MonitorProcess mon(args, errPath);
        mon.Log().WaitEof(kStepMs);
        rc = mon.Signal(0);
        out = mon.Log().Text();
    }
    err = camtest::ReadFile(errPath);
    return rc;
}

TEST(OnvifEndToEnd, ProbeAndAMistypedTopicKey) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.inputs = 1;
    cfg.onvifTopics = "motionalarm";
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string device = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/onvif/device_service";
    std::string out, err;
    ASSERT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 0)
        << err;
    EXPECT_NE(out.find("\ntopic tns1:VideoSource/MotionAlarm source Source data State\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\ntopic tns1:Device/Trigger/DigitalInput source InputToken data LogicalState\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nmd tns1:VideoSource/MotionAlarm;State (device)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\ntd tns1:VideoSource/GlobalSceneChange/ImagingService;State (device)\n"), std::string::npos)
        << out;
    EXPECT_EQ(err, "");

    // A key the device does not list: one line naming what it lists; the
    // run goes on with the key (--dry-run included).
    const std::string line =
        "camdet-monitor: --onvif-topic md=tns1:VideoSource/MotionAlarm;Stat: the device does not list it; it lists "
        "tns1:VideoSource/MotionAlarm;State\n";
    for (const char* mode : {"--probe", "--dry-run"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--onvif-topic",
                              "md=tns1:VideoSource/MotionAlarm;Stat", mode, "--log", "/dev/null"},
                             out, err),
                  0);
        EXPECT_EQ(err, line);
    }
    // Nobody there: one line and a failure.
    sim.Stop();
    EXPECT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("does not answer"), std::string::npos) << err;
}

}  // namespace
