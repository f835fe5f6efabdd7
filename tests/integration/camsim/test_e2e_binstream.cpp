// End to end through camdet-monitor --json for the cameras that push lines
// or records and for the own-loop families: one Dahua event-manager stream
// serves motion, two inputs and tampering; D-Link's notify stream; the ACTi
// event connection; Mobotix alarm counters; and the other line, record and
// window families in a sweep.
#include <gtest/gtest.h>
#include <unistd.h>

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

TEST(BinStreamEndToEnd, DahuaMotionTwoInputsAndTamperingShareOneStream) {
    camsim::Config cfg;
    cfg.api = "dahua";
    cfg.user = "admin";
    cfg.password = "dh-1234";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon({"--json", "--api", "dahua", "--port", std::to_string(sim.Port()), "--user", "admin",
                        "--password", "dh-1234", "--di-count", "2"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(4, kStepMs));
    std::map<std::string, std::string> classes = log.Classes();
    EXPECT_EQ("DahuaMD", classes["md"]);
    EXPECT_EQ("DahuaDI", classes["di"]);
    EXPECT_EQ("DahuaTD", classes["td"]);
    EXPECT_EQ("", classes["ad"]);
    RunSteps(log, {
                      {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
                      {"input 2 on", [&] { sim.SetInput(2, true); }, "di", 1, true, 1},
                      {"input 1 on", [&] { sim.SetInput(1, true); }, "di", 0, true, 1},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                      {"input 2 off", [&] { sim.SetInput(2, false); }, "di", 1, false, 0},
                      {"tamper on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
                      {"tamper off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
                      {"input 1 off", [&] { sim.SetInput(1, false); }, "di", 0, false, 0},
                  });
    // One stream for the three detectors: the Digest challenge and the authenticated request.
    EXPECT_EQ(2u, sim.RequestCount());
    EXPECT_EQ(0, mon.Terminate());
    EXPECT_TRUE(log.BadLines().empty());
}

TEST(BinStreamEndToEnd, DLinkNotifyStreamMotionInputAndAudio) {
    camsim::Config cfg;
    cfg.api = "dlinknipcav3";
    cfg.user = "admin";
    cfg.password = "dl";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon({"--json", "--api", "dlinknipcav3", "--port", std::to_string(sim.Port()), "--user", "admin",
                        "--password", "dl", "--di-count", "2", "--kinds", "md,di,ad", "--det-param", "ad:5=50"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(3, kStepMs));
    EXPECT_EQ("DLinkMD", log.Classes()["md"]);
    EXPECT_EQ("DLinkDI", log.Classes()["di"]);
    EXPECT_EQ("DLinkAD", log.Classes()["ad"]);
    RunSteps(log, {
                      // Flag and level lines: the level the camera measured.
                      {"motion on", [&] { sim.SetMotion(true, 40); }, "md", -1, true, 40},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                      {"input 1 on", [&] { sim.SetInput(1, true); }, "di", 0, true, 1},
                      {"input 1 off", [&] { sim.SetInput(1, false); }, "di", 0, false, 0},
                      {"audio on", [&] { sim.SetAudio(true); }, "ad", -1, true, 90},
                      {"audio off", [&] { sim.SetAudio(false); }, "ad", -1, false, 0},
                  });
    EXPECT_EQ(0, mon.Terminate());
}

TEST(BinStreamEndToEnd, ActiEventConnection) {
    camsim::Config cfg;
    cfg.api = "acti";
    cfg.user = "admin";
    cfg.password = "acti-pw";
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon({"--json", "--api", "acti", "--port", std::to_string(sim.Port()), "--det-port",
                        std::to_string(sim.RawPort()), "--user", "admin", "--password", "acti-pw", "--kinds", "md"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    EXPECT_EQ("ActiMD", log.Classes()["md"]);
    RunSteps(log, {
                      {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
                      {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
                  });
    EXPECT_EQ(0, mon.Terminate());
}

// Every counter change is one alarm: the status rises on the poll after the
// change and falls on the next. The first poll's counter is the baseline.
TEST(BinStreamEndToEnd, MobotixMotionAndInputCounters) {
    camsim::Config cfg;
    cfg.api = "mobotix";
    cfg.user = "admin";
    cfg.password = "meinsm";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    MonitorProcess mon({"--json", "--api", "mobotix", "--port", std::to_string(sim.Port()), "--user", "admin",
                        "--password", "meinsm", "--di-count", "2", "--kinds", "md,di"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(2, kStepMs));
    EXPECT_EQ("MobotixMD", log.Classes()["md"]);
    EXPECT_EQ("MobotixDI", log.Classes()["di"]);
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs));
    ASSERT_TRUE(log.WaitState("di", 0, false, 0, kStepMs));
    RunSteps(log, {
                      {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
                      {"the next poll", [] {}, "md", -1, false, 0},
                      {"input 2 on", [&] { sim.SetInput(2, true); }, "di", 0, true, 1},
                      {"the next poll", [] {}, "di", 0, false, 0},
                  });
    // The first input absorbs the change.
    EXPECT_EQ(0, log.CountTriggered("di", 1));
    EXPECT_EQ(0, mon.Terminate());
}

// The other families: motion or an input on, then off.
TEST(BinStreamEndToEnd, LineRecordAndWindowFamilies) {
    struct Row {
        const char* api;
        const char* kind;
        const char* cls;
        int level;  // -1: any
        bool rawAsDetPort;
        bool ownAddress;  // the camera's fixed port: a loopback address of its own
    } rows[] = {
        {"everfocus", "md", "EverFocusMD", 100, false, false},
        {"everfocus", "di", "EverFocusDI", 100, false, false},
        {"ycam", "md", "YcamMD", 60, false, false},
        {"level1gr4", "md", "LevelOneGr4MD", 60, true, false},
        {"level1gr4", "di", "LevelOneGr4DI", 0, true, false},
        {"level1gr2", "md", "LevelOneGr2MD", 60, false, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.api) + " " + r.kind);
        camsim::Config cfg;
        cfg.api = r.api;
        cfg.user = "admin";
        cfg.password = "pw-9";
        cfg.inputs = 2;
        if (r.ownAddress) {
            cfg.rawPort = -1;
            cfg.address = "127.0.84." + std::to_string(2 + getpid() % 250);
        }
        camsim::CamSim sim(cfg);
        std::string error;
        if (!sim.Start(error) && r.ownAddress) {
            ADD_FAILURE() << "the address is taken: " << error;
            continue;
        }
        ASSERT_GT(sim.Port(), 0) << error;
        std::vector<std::string> args = {"--json", "--api", r.api, "--host", cfg.address, "--port",
                                         std::to_string(sim.Port()), "--user", "admin", "--password", "pw-9",
                                         "--kinds", r.kind, "--di-count", "2", "--md-param", "0,10,0,0"};
        if (r.rawAsDetPort) {
            args.push_back("--det-port");
            args.push_back(std::to_string(sim.RawPort()));
        }
        MonitorProcess mon(args);
        camtest::StatusLog& log = mon.Log();
        ASSERT_TRUE(log.WaitClasses(1, kStepMs));
        EXPECT_EQ(r.cls, log.Classes()[r.kind]);
        const std::string kind = r.kind;
        const int port = kind == "di" ? 0 : -1;
        auto set = [&](bool on) {
            if (kind == "di") sim.SetInput(1, on);
            else sim.SetMotion(on, 60);
        };
        set(true);
        EXPECT_TRUE(log.WaitState(kind, port, true, r.level, kStepMs)) << log.Text();
        set(false);
        EXPECT_TRUE(log.WaitState(kind, port, false, -1, kStepMs)) << log.Text();
        EXPECT_EQ(0, mon.Terminate());
    }
}

}  // namespace

namespace {

// Ipux and StarDot through the stream FIFO that --fifo-url feeds from the
// camera's MJPEG stream: the detectors ask the camera nothing themselves.
TEST(BinStreamEndToEnd, IpuxAndStarDotFramesThroughTheStreamFifo) {
    struct Row {
        const char* api;
        const char* path;
        const char* kinds;
        std::vector<Step> (*steps)(camsim::CamSim& sim);
    } rows[] = {
        {"ipux5m", "/video.mjpg", "md,di",
         [](camsim::CamSim& sim) {
             return std::vector<Step>{
                 {"motion on", [&sim] { sim.SetMotion(true, 70); }, "md", -1, true, 70},
                 {"input 1 on", [&sim] { sim.SetInput(1, true); }, "di", 0, true, 1},
                 {"motion off", [&sim] { sim.SetMotion(false); }, "md", -1, false, 0},
                 {"input 1 off", [&sim] { sim.SetInput(1, false); }, "di", 0, false, 0},
             };
         }},
        {"stardot", "/jpeg.cgi", "md",
         [](camsim::CamSim& sim) {
             return std::vector<Step>{
                 {"motion on", [&sim] { sim.SetMotion(true); }, "md", -1, true, 100},
                 {"motion off", [&sim] { sim.SetMotion(false); }, "md", -1, false, 0},
             };
         }},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.api);
        camsim::Config cfg;
        cfg.api = r.api;
        cfg.user = "admin";
        cfg.password = "pw-9";
        cfg.inputs = 2;
        camsim::CamSim sim(cfg);
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        const std::string url = "http://127.0.0.1:" + std::to_string(sim.Port()) + r.path;
        MonitorProcess mon({"--json", "--api", r.api, "--port", std::to_string(sim.Port()), "--user", "admin",
                            "--password", "pw-9", "--stream-format", "1", "--fifo-url", url, "--kinds", r.kinds,
                            "--di-count", "2", "--md-param", "0,10,0,0"});
        camtest::StatusLog& log = mon.Log();
        const std::string kinds = r.kinds;
        ASSERT_TRUE(log.WaitClasses(kinds == "md" ? 1 : 2, kStepMs));
        EXPECT_EQ(std::string(r.api) == "stardot" ? "StarDotStmFifoMD" : "IpuxStmFifoMD", log.Classes()["md"]);
        if (kinds != "md") {
            EXPECT_EQ("IpuxStmFifoDI", log.Classes()["di"]);
        }
        RunSteps(log, r.steps(sim));
        // Only the recorder's feeder asked the camera: its challenge and its request.
        EXPECT_EQ(2u, sim.RequestCount());
        EXPECT_EQ(0, mon.Terminate());
    }
}

}  // namespace
