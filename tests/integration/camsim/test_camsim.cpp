// The simulated camera itself where the end-to-end runs cannot tell it
// misbehaves: scenario files and the control interface as a person writes
// them. (The fault switches the tests use show in the
// fleet's health and status-page tests.)
#include <gtest/gtest.h>

#include <string>

#include "tests/fixtures/testutil.h"
#include "tools/camsim/camsim.h"

using namespace camsim;

// ---------------------------------------------------------------- scenarios

TEST(CamSimScenario, BadLinesNameTheLineAndTheProblem) {
    struct Case {
        const char* text;
        const char* expect;  // part of the message
    } cases[] = {
        {"at 1 motion on\nat x motion off\n", "line 2: bad time 'x'"},
        {"motion on\n", "line 1: expected 'at SECONDS"},
        {"at 1\n", "line 1: expected 'at SECONDS WHAT"},
        {"at 1 motion maybe\n", "line 1: expected 'motion on"},
        {"at 1 motion on 101\n", "line 1: bad motion level '101'"},
        {"\n\nat 1 input 0 on\n", "line 3: expected 'input N on|off'"},
        {"at 1 fault slow on\n", "line 1: expected 'fault NAME on|off'"},
        {"at 1 smoke on\n", "line 1: unknown event 'smoke'"},
        {"at 1 tamper on extra\n", "line 1: unexpected 'extra'"},
        {"at 1e400 motion on\n", "line 1: bad time"},
    };
    for (const Case& c : cases) {
        Scenario sc;
        std::string err;
        EXPECT_FALSE(ParseScenario(c.text, sc, err, "s.txt")) << c.text;
        EXPECT_NE(err.find(std::string("s.txt: ") + c.expect), std::string::npos) << c.text << " -> " << err;
        EXPECT_TRUE(sc.steps.empty());
    }
    Scenario sc;
    std::string err;
    EXPECT_FALSE(LoadScenarioFile("/nonexistent/scenario.txt", sc, err));
    EXPECT_NE(err.find("/nonexistent/scenario.txt"), std::string::npos);
}

// ---------------------------------------------------------------- control

TEST(CamSimControl, AppliesAssignmentsAndRejectsBadOnesWhole) {
    Config cfg;
    cfg.api = "truen";
    CamSim sim(cfg);
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    const std::string control = "/camsim/control?";
    const int port = sim.Port();
    const std::string r = camtest::HttpGet(port, control + "motion=1&level=40&input2=1&tamper=on&fault_garbage=1");
    // The answer is the state after the assignments (control answers are never faulted).
    for (const char* said : {"motion=1\nlevel=40\ntamper=1\n", "input2=1\n", "fault_garbage=1\n"})
        EXPECT_NE(r.find(said), std::string::npos) << said << " in " << r;

    // One bad assignment: the answer names it and nothing of the query applies.
    const struct {
        const char* query;
        const char* says;
    } bad[] = {
        {"motion=0&input9=1", "no input 'input9'"},
        {"motion=0&level=0", "bad value for 'level'"},
        {"motion=2", "bad value for 'motion'"},
        {"motion=0&smoke=1", "unknown control 'smoke'"},
    };
    for (const auto& b : bad) {
        EXPECT_NE(camtest::HttpGet(port, control + b.query).find(b.says), std::string::npos) << b.query;
        EXPECT_TRUE(sim.State().motion) << b.query;
    }
    camtest::HttpGet(port, control + "fault_garbage=0&motion=0");
    EXPECT_FALSE(sim.GetFault(kFaultGarbage));
    EXPECT_FALSE(sim.State().motion);
    EXPECT_EQ(sim.State().motionLevel, 0);
}
