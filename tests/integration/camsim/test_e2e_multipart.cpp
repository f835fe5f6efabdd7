// End to end over one HikVision ISAPI alert stream: camdet-monitor --json
// creates the motion, input, tampering and audio detectors for a simulated
// camera; the camera's alarms go on and off one by one and the monitor's
// status lines must follow, all four served by one connection.
#include <gtest/gtest.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

TEST(MultipartEndToEnd, HikVisionIsapiStreamServesFourKinds) {
    camsim::Config cfg;
    cfg.api = "hikvisionv3";
    cfg.user = "admin";
    cfg.password = "hik12345";
    cfg.inputs = 4;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    ASSERT_EQ(sim.EffectiveAuth(), camsim::Auth::kDigest);

    MonitorProcess mon({"--json", "--api", "hikvisionv3", "--port", std::to_string(sim.Port()), "--user", "admin",
                       "--password", "hik12345", "--di-count", "4"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(4, kStepMs));
    std::map<std::string, std::string> classes = log.Classes();
    EXPECT_EQ(classes["md"], "HikVisionV3MD");
    EXPECT_EQ(classes["di"], "HikVisionV3DI");
    EXPECT_EQ(classes["td"], "HikVisionV3TD");
    EXPECT_EQ(classes["ad"], "HikVisionAD");

    const std::vector<camtest::Step> steps = {
        {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
        {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
        {"input 2 on", [&] { sim.SetInput(2, true); }, "di", 1, true, 1},
        {"input 2 off", [&] { sim.SetInput(2, false); }, "di", 1, false, 0},
        {"tamper on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
        {"tamper off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
        {"audio on", [&] { sim.SetAudio(true); }, "ad", -1, true, 100},
        {"audio off", [&] { sim.SetAudio(false); }, "ad", -1, false, 0},
    };
    camtest::RunSteps(log, steps, kStepMs);
    // Input 2 is port 1 only; the others never rose.
    EXPECT_EQ(log.CountTriggered("di", 0), 0);
    EXPECT_EQ(log.CountTriggered("di", 2), 0);
    EXPECT_EQ(log.CountTriggered("di", 3), 0);
    EXPECT_GE(log.CountTriggered("di", 1), 1);
    // One stream for the four detectors: the Digest challenge and the authenticated request.
    EXPECT_EQ(sim.RequestCount(), 2u);
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(log.BadLines().empty());
}

// Every simulated multipart family through camdet-monitor: motion (or
// tampering) on, then off, must show in the detector's status lines.
TEST(MultipartEndToEnd, EveryMultipartFamilyReportsMotion) {
    struct Row {
        const char* api;
        const char* cls;
        int level;  // -1: any
        const char* kind;
    } rows[] = {
        {"hikvision", "HikVisionMD", 100, "md"},
        {"psia", "PsiaMD", 100, "md"},
        {"sonygen3", "SonyMD", 100, "md"},
        {"samsung", "SamsungMD", 100, "md"},
        {"hitron", "HitronMD", 100, "md"},
        {"eneov2", "EneoMD", 100, "md"},
        {"alinking", "AlinkingMD", 99, "md"},
        {"lilin", "LilinMD", 100, "md"},
        {"acumen", "AcumenMD", 100, "md"},
        {"dlinkdcsv9v2", "DLinkV9V2MD", 100, "md"},
        {"oncamgrandeye", "OncamGrandeyeMD", 100, "md"},
        {"etrovision", "EtrovisionMD", 100, "md"},
        {"panasonicipro", "PanaMD", 100, "md"},
        {"ipuxfw1", "IpuxMD", -1, "md"},
        {"iqeyev2", "IQeyeV2MD", 100, "md"},
        {"iqeyev1", "IQeyeV1MD", 100, "md"},
        {"edimaxv2", "EdimaxMD", 100, "md"},
        {"airlivev2", "AirliveMD", 100, "md"},
        {"zaviomega", "ZavioMD", 100, "md"},
        {"zaviovga", "ZavioMD", 100, "md"},
        {"edimaxvp", "EdimaxVPMD", 100, "md"},
        {"pixordv1", "PixordMD", 100, "md"},
        {"messoaa02", "MessoaA02MD", 100, "md"},
        {"imege", "ImegeMD", 100, "md"},
        {"level1gr4", "LevelOneGr4TD", 100, "td"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.api);
        const std::string kind = r.kind;
        camsim::Config cfg;
        cfg.api = r.api;
        cfg.user = "admin";
        cfg.password = "pw-9";
        camsim::CamSim sim(cfg);
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        MonitorProcess mon({"--json", "--api", r.api, "--port", std::to_string(sim.Port()), "--user", "admin",
                            "--password", "pw-9", "--kinds", kind});
        camtest::StatusLog& log = mon.Log();
        ASSERT_TRUE(log.WaitClasses(1, kStepMs));
        EXPECT_EQ(log.Classes()[kind], r.cls);
        std::function<void(bool)> set = [&](bool on) { sim.SetMotion(on); };
        if (kind == "td") set = [&](bool on) { sim.SetTamper(on); };
        set(true);
        EXPECT_TRUE(log.WaitState(kind, -1, true, r.level, kStepMs)) << log.Text();
        set(false);
        EXPECT_TRUE(log.WaitState(kind, -1, false, 0, kStepMs)) << log.Text();
        EXPECT_EQ(mon.Terminate(), 0);
    }
}

}  // namespace

namespace {

// Inputs, tampering and audio of the simulated multipart families: input 1
// is port 0.
TEST(MultipartEndToEnd, InputTamperingAndAudioFamilies) {
    struct Row {
        const char* api;
        const char* kind;
        const char* cls;
        int level;  // -1: any
    } rows[] = {
        {"hikvision", "di", "HikVisionDI", 1},   {"hikvisionv2", "td", "HikVisionTD", 100},
        {"psia", "di", "PsiaDI", -1},            {"sonygen3", "di", "SonyDI", 1},
        {"samsung", "di", "SamsungDI", 1},       {"samsung", "td", "SamsungTD", 100},
        {"samsung", "ad", "SamsungAD", 100},     {"hitron", "di", "HitronDI", 100},
        {"eneov2", "td", "EneoTD", 100},         {"alinking", "di", "AlinkingDI", -1},
        {"alinking-cmos", "td", "AlinkingTD", 100}, {"lilin", "di", "LilinDI", 1},
        {"acumen", "di", "AcumenDI", 1},         {"oncamgrandeye", "di", "OncamGrandeyeDI", 100},
        {"etrovision", "di", "EtrovisionDI", 1}, {"panasonicipro", "di", "PanaDI", 1},
        {"panasoniciprodome", "di", "PanaProDI", 1}, {"ipuxfw1", "di", "IpuxDI", 1},
        {"iqeyev2", "di", "IQeyeDI", 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.api) + " " + r.kind);
        camsim::Config cfg;
        cfg.api = r.api;
        cfg.user = "admin";
        cfg.password = "pw-9";
        cfg.inputs = 2;
        camsim::CamSim sim(cfg);
        std::string error;
        ASSERT_TRUE(sim.Start(error)) << error;
        MonitorProcess mon({"--json", "--api", r.api, "--port", std::to_string(sim.Port()), "--user", "admin",
                            "--password", "pw-9", "--kinds", r.kind, "--di-count", "2"});
        camtest::StatusLog& log = mon.Log();
        ASSERT_TRUE(log.WaitClasses(1, kStepMs));
        EXPECT_EQ(log.Classes()[r.kind], r.cls);
        const std::string kind = r.kind;
        const int port = kind == "di" ? 0 : -1;
        auto set = [&](bool on) {
            if (kind == "di") sim.SetInput(1, on);
            else if (kind == "td") sim.SetTamper(on);
            else sim.SetAudio(on);
        };
        set(true);
        EXPECT_TRUE(log.WaitState(kind, port, true, r.level, kStepMs)) << log.Text();
        set(false);
        EXPECT_TRUE(log.WaitState(kind, port, false, -1, kStepMs)) << log.Text();
        EXPECT_EQ(mon.Terminate(), 0);
    }
}

}  // namespace
