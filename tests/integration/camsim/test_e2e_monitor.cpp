// End to end: the built camdet-monitor --json watches a simulated camera on
// loopback; the camera's state is changed step by step and after each step
// the test waits for the monitor's status lines to follow. No step waits for
// a fixed time: each waits for the line it expects, up to a generous bound.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;
using camtest::StatusLog;

namespace {

const int kStepMs = 15000;  // bound of one expected change (poll intervals are at most 1.5 s)

struct Expect {
    const char* kind;
    int port;  // -1: motion-type line
    bool trig;
    int level;  // -1: any
};

struct Step {
    const char* change;  // a scenario line without "at SECONDS"
    std::vector<Expect> expect;
};

struct Case {
    const char* name;
    const char* api;
    camsim::Auth auth;  // what the camera must be asking for
    const char* kinds;
    const char* mdClass;  // expected detector classes ("" when the kind is not asked for)
    const char* diClass;
    std::vector<Step> steps;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

void Apply(camsim::CamSim& sim, const std::string& change) {
    camsim::Scenario sc;
    std::string err;
    ASSERT_TRUE(camsim::ParseScenario("at 0 " + change + "\n", sc, err)) << err;
    for (const camsim::ScenarioStep& st : sc.steps) sim.Apply(st);
}

std::string LogPath(const char* name) { return std::string(CAMDET_BINARY_DIR) + "/e2e-" + name + ".log"; }

std::vector<std::string> MonitorArgs(const char* api, int port, const char* kinds, const std::string& password,
                                     const char* logName) {
    return {"--json", "--api",      api,        "--port", std::to_string(port), "--user", "admin", "--password",
            password, "--di-count", "2",        "--kinds", kinds,               "--log",  LogPath(logName)};
}

const Case kCases[] = {
    {"digest_polling",
     "brickcom",
     camsim::Auth::kDigest,
     "md,di",
     "BrickcomMD",
     "BrickcomDI",
     {
         {"motion on", {{"md", -1, true, 100}}},
         {"fault 500 on", {{"md", -1, false, 0}}},  // a failed poll clears the alarm
         {"fault 500 off", {{"md", -1, true, 100}}},
         {"motion off", {{"md", -1, false, 0}}},
         {"input 2 on", {{"di", 1, true, 1}, {"di", 0, false, 0}}},
         {"input 2 off", {{"di", 1, false, 0}}},
     }},
    {"raw_socket",
     "siemens",
     camsim::Auth::kNone,
     "md,di",
     "SiemensMD",
     "SiemensDI",
     {
         {"motion on", {{"md", -1, true, 100}, {"di", 0, false, 0}}},
         {"motion off", {{"md", -1, false, 0}}},
         {"input 1 on", {{"di", 0, true, 1}, {"di", 1, true, 1}, {"md", -1, false, 0}}},
         {"input 1 off", {{"di", 0, false, 0}, {"di", 1, false, 0}}},
     }},
    {"shared_md_di",
     "messoa",
     camsim::Auth::kBasic,
     "md,di",
     "MessoaMD",
     "MessoaDI",
     {
         {"motion on", {{"md", -1, true, 100}, {"di", 0, false, 0}}},
         {"input 1 on", {{"md", -1, true, 100}, {"di", 0, true, 1}, {"di", 1, true, 1}}},  // "Mode 3"
         {"motion off", {{"md", -1, false, 0}, {"di", 0, true, 1}}},
         {"input 1 off", {{"di", 0, false, 0}, {"di", 1, false, 0}}},
     }},
    {"own_loop_inputs",
     "airlivev2",
     camsim::Auth::kBasic,
     "di",
     "",
     "AirliveDI",
     {
         {"input 2 on", {{"di", 1, true, 1}, {"di", 0, false, 0}}},
         {"input 1 on", {{"di", 0, true, 1}, {"di", 1, true, 1}}},
         {"input 2 off", {{"di", 1, false, 0}, {"di", 0, true, 1}}},
         {"input 1 off", {{"di", 0, false, 0}}},
     }},
    {"json_answers",
     "raylios",
     camsim::Auth::kBasic,
     "md",
     "RayliosMD",
     "",
     {
         {"motion on 70", {{"md", -1, true, 70}}},
         {"motion on 90", {{"md", -1, true, 90}}},
         {"motion off", {{"md", -1, false, 0}}},
     }},
};

class MonitorEndToEnd : public ::testing::TestWithParam<Case> {};

}  // namespace

TEST_P(MonitorEndToEnd, StatusFollowsTheCamera) {
    const Case& c = GetParam();
    camsim::Config cfg;
    cfg.api = c.api;
    cfg.user = "admin";
    cfg.password = "pw-" + std::string(c.name);
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    ASSERT_EQ(sim.EffectiveAuth(), c.auth);

    MonitorProcess mon(MonitorArgs(c.api, sim.Port(), c.kinds, cfg.password, c.name));
    ASSERT_TRUE(mon.Running());
    ASSERT_TRUE(mon.Log().WaitClasses(std::string(c.kinds).size() > 2 ? 2 : 1, kStepMs)) << mon.Log().Text();
    std::map<std::string, std::string> classes = mon.Log().Classes();
    if (*c.mdClass) {
        EXPECT_EQ(classes["md"], c.mdClass);
    }
    if (*c.diClass) {
        EXPECT_EQ(classes["di"], c.diClass);
    }

    // Quiet first: every detector reports before the first change.
    if (*c.mdClass) {
        ASSERT_TRUE(mon.Log().WaitState("md", -1, false, 0, kStepMs)) << mon.Log().Text();
    }
    if (*c.diClass) {
        ASSERT_TRUE(mon.Log().WaitState("di", 1, false, 0, kStepMs)) << mon.Log().Text();
    }

    for (const Step& st : c.steps) {
        Apply(sim, st.change);
        for (const Expect& e : st.expect) {
            EXPECT_TRUE(mon.Log().WaitState(e.kind, e.port, e.trig, e.level, kStepMs))
                << "after '" << st.change << "': expected " << e.kind << " port " << e.port
                << (e.trig ? " triggered" : " quiet") << " level " << e.level << "\n"
                << mon.Log().Text();
        }
    }
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(mon.Log().WaitEof(kStepMs));
    EXPECT_TRUE(mon.Log().BadLines().empty()) << mon.Log().Text();
}

INSTANTIATE_TEST_SUITE_P(Families, MonitorEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// A wrong password never shows an alarm: every poll is refused.
TEST(MonitorEndToEndAuth, WrongDigestPasswordReportsNoAlarm) {
    camsim::Config cfg;
    cfg.api = "brickcom";
    cfg.user = "admin";
    cfg.password = "right";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    sim.SetMotion(true);
    MonitorProcess mon(MonitorArgs("brickcom", sim.Port(), "md", "wrong", "wrong-password"));
    ASSERT_TRUE(mon.Running());
    // Several polls must have been refused, each reported.
    ASSERT_TRUE(sim.WaitRequests(sim.RequestCount() + 8, 4 * kStepMs));
    ASSERT_TRUE(mon.Log().WaitState("md", -1, false, 0, kStepMs)) << mon.Log().Text();
    EXPECT_EQ(mon.Log().CountTriggered("md", -1), 0) << mon.Log().Text();
    EXPECT_EQ(mon.Terminate(), 0);
    // The password never reaches the log.
    FILE* f = fopen(LogPath("wrong-password").c_str(), "r");
    if (f) {
        char line[4096];
        while (fgets(line, sizeof(line), f)) EXPECT_EQ(strstr(line, "wrong"), nullptr) << line;
        fclose(f);
    }
}

// Every fault switch while motion is on: the alarm clears while the camera
// misbehaves (where a poll must fail), comes back when it recovers, and the
// monitor still stops promptly at the end.
TEST(MonitorEndToEndFaults, DetectionSurvivesEveryFault) {
    camsim::Config cfg;
    cfg.api = "truen";
    cfg.user = "admin";
    cfg.password = "pw";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    MonitorProcess mon(MonitorArgs("truen", sim.Port(), "md,di", "pw", "faults"));
    ASSERT_TRUE(mon.Running());
    sim.SetMotion(true);
    ASSERT_TRUE(mon.Log().WaitState("md", -1, true, 100, kStepMs)) << mon.Log().Text();

    struct FaultCase {
        camsim::Fault fault;
        bool clears;  // a poll cannot succeed while it is on
        int boundMs;
    } faults[] = {
        {camsim::kFault500, true, kStepMs},
        {camsim::kFault401, true, kStepMs},
        {camsim::kFaultGarbage, true, kStepMs},
        {camsim::kFaultRefuse, true, kStepMs},
        // The body's first half still carries the motion line, and the client
        // may hand over what it got before the close.
        {camsim::kFaultCloseMid, false, kStepMs},
        {camsim::kFaultHugeLength, false, kStepMs},
        {camsim::kFaultStall, true, 3 * kStepMs},  // cleared by the client's time-out
    };
    for (const FaultCase& f : faults) {
        SCOPED_TRACE(camsim::FaultName(f.fault));
        const uint64_t served = sim.RequestCount();
        sim.SetFault(f.fault, true);
        if (f.clears) {
            EXPECT_TRUE(mon.Log().WaitState("md", -1, false, 0, f.boundMs)) << mon.Log().Text();
            EXPECT_TRUE(mon.Log().WaitState("di", 0, false, 0, f.boundMs)) << mon.Log().Text();
        } else {
            EXPECT_TRUE(sim.WaitRequests(served + 2, f.boundMs));
        }
        sim.SetFault(f.fault, false);
        EXPECT_TRUE(mon.Log().WaitState("md", -1, true, 100, f.boundMs)) << mon.Log().Text();
    }
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(mon.Log().BadLines().empty()) << mon.Log().Text();
}
