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

// Every simulated multipart family through camdet-monitor, all cameras at
// once: motion, input 1 (port 0), tampering or audio goes on, then off, and
// the detector's status lines must follow.
TEST(MultipartEndToEnd, EveryFamilyRisesAndFalls) {
    struct Row {
        const char* api;
        const char* kind;
        const char* cls;
        int level;  // of the rise; -1: any
    } rows[] = {
        {"hikvision", "md", "HikVisionMD", 100},      {"psia", "md", "PsiaMD", 100},
        {"sonygen3", "md", "SonyMD", 100},            {"samsung", "md", "SamsungMD", 100},
        {"hitron", "md", "HitronMD", 100},            {"eneov2", "md", "EneoMD", 100},
        {"alinking", "md", "AlinkingMD", 99},         {"lilin", "md", "LilinMD", 100},
        {"acumen", "md", "AcumenMD", 100},            {"dlinkdcsv9v2", "md", "DLinkV9V2MD", 100},
        {"oncamgrandeye", "md", "OncamGrandeyeMD", 100}, {"etrovision", "md", "EtrovisionMD", 100},
        {"panasonicipro", "md", "PanaMD", 100},       {"ipuxfw1", "md", "IpuxMD", -1},
        {"iqeyev2", "md", "IQeyeV2MD", 100},          {"iqeyev1", "md", "IQeyeV1MD", 100},
        {"edimaxv2", "md", "EdimaxMD", 100},          {"airlivev2", "md", "AirliveMD", 100},
        {"zaviomega", "md", "ZavioMD", 100},          {"zaviovga", "md", "ZavioMD", 100},
        {"edimaxvp", "md", "EdimaxVPMD", 100},        {"pixordv1", "md", "PixordMD", 100},
        {"messoaa02", "md", "MessoaA02MD", 100},      {"imege", "md", "ImegeMD", 100},
        {"level1gr4", "td", "LevelOneGr4TD", 100},    {"hikvision", "di", "HikVisionDI", 1},
        {"hikvisionv2", "td", "HikVisionTD", 100},    {"psia", "di", "PsiaDI", -1},
        {"sonygen3", "di", "SonyDI", 1},              {"samsung", "di", "SamsungDI", 1},
        {"samsung", "td", "SamsungTD", 100},          {"samsung", "ad", "SamsungAD", 100},
        {"hitron", "di", "HitronDI", 100},            {"eneov2", "td", "EneoTD", 100},
        {"alinking", "di", "AlinkingDI", -1},         {"alinking-cmos", "td", "AlinkingTD", 100},
        {"lilin", "di", "LilinDI", 1},                {"acumen", "di", "AcumenDI", 1},
        {"oncamgrandeye", "di", "OncamGrandeyeDI", 100}, {"etrovision", "di", "EtrovisionDI", 1},
        {"panasonicipro", "di", "PanaDI", 1},         {"panasoniciprodome", "di", "PanaProDI", 1},
        {"ipuxfw1", "di", "IpuxDI", 1},               {"iqeyev2", "di", "IQeyeDI", 1},
    };
    // The cameras share two cores: a bound, not a wait.
    const int kSweepMs = 30000;
    struct Cam {
        const Row* row;
        std::unique_ptr<camsim::CamSim> sim;
        std::unique_ptr<MonitorProcess> mon;
        int Port() const { return std::string(row->kind) == "di" ? 0 : -1; }
        void Set(bool on) const {
            const std::string kind = row->kind;
            if (kind == "di") sim->SetInput(1, on);
            else if (kind == "td") sim->SetTamper(on);
            else if (kind == "ad") sim->SetAudio(on);
            else sim->SetMotion(on);
        }
    };
    std::vector<Cam> cams;
    for (const Row& r : rows) {
        camsim::Config cfg;
        cfg.api = r.api;
        cfg.user = "admin";
        cfg.password = "pw-9";
        cfg.inputs = 2;
        Cam c{&r, std::unique_ptr<camsim::CamSim>(new camsim::CamSim(cfg)), nullptr};
        std::string error;
        ASSERT_TRUE(c.sim->Start(error)) << r.api << ": " << error;
        c.mon.reset(new MonitorProcess({"--json", "--api", r.api, "--port", std::to_string(c.sim->Port()), "--user",
                                        "admin", "--password", "pw-9", "--kinds", r.kind, "--di-count", "2"}));
        cams.push_back(std::move(c));
    }
    for (const Cam& c : cams) {
        SCOPED_TRACE(std::string(c.row->api) + " " + c.row->kind);
        ASSERT_TRUE(c.mon->Log().WaitClasses(1, kSweepMs));
        EXPECT_EQ(c.mon->Log().Classes()[c.row->kind], c.row->cls);
    }
    for (bool on : {true, false}) {
        for (const Cam& c : cams) c.Set(on);
        for (const Cam& c : cams) {
            const int level = on ? c.row->level : std::string(c.row->kind) == "md" ? 0 : -1;
            EXPECT_TRUE(c.mon->Log().WaitState(c.row->kind, c.Port(), on, level, kSweepMs))
                << c.row->api << " " << c.row->kind << (on ? " on" : " off") << "\n" << c.mon->Log().Text();
        }
    }
    for (const Cam& c : cams) EXPECT_EQ(c.mon->Terminate(), 0) << c.row->api << " " << c.row->kind;
}

}  // namespace
