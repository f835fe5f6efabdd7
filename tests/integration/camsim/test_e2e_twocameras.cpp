// Two HikVision cameras in one monitor, each on its own simulated camera,
// whose four kinds share one alert stream: each camera's events reach its own
// detectors only, and each camera is served by its own single connection.
// (The sharing is keyed by camera in the core, whatever the transport.)
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/camsim.h"

namespace {

const int kStepMs = 15000;

TEST(TwoCamerasInOneProcess, EachCamerasEventsReachOnlyItsOwnDetectors) {
    const char* const names[] = {"one", "two"};
    std::unique_ptr<camsim::CamSim> sims[2];
    std::string config = "cameras:\n";
    for (int i = 0; i < 2; ++i) {
        sims[i].reset(new camsim::CamSim(camtest::SimConfig("hikvisionv3", "secret42")));
        std::string error;
        ASSERT_TRUE(sims[i]->Start(error)) << error;
        config += std::string("  ") + names[i] + ":\n    api: hikvisionv3\n    port: " +
                  std::to_string(sims[i]->Port()) + "\n    user: admin\n    password: secret42\n";
    }
    const std::string path = std::string(CAMDET_BINARY_DIR) + "/e2e-twocameras.yaml";
    camtest::WriteFile(path, config);
    camtest::MonitorProcess mon({"--json", "--config", path, "--log", "/dev/null"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitDetectors("", 8, kStepMs)) << log.Text();

    // True when the camera ever reported the kind (and port) triggered.
    auto reported = [&](const char* camera, const char* kind, int port) {
        const std::string cam = std::string("\"camera\":\"") + camera + "\"";
        const std::string what = std::string("\"kind\":\"") + kind + "\",\"port\":" +
                                 (port < 0 ? std::string("null") : std::to_string(port)) + ",";
        for (const std::string& l : log.Order()) {
            if (l.find(cam) != std::string::npos && l.find(what) != std::string::npos &&
                l.find("\"trig\":true") != std::string::npos)
                return true;
        }
        return false;
    };
    const struct {
        int cam;
        std::function<void(camsim::CamSim&)> make;
        const char* kind;
        int port;
        int level;
    } changes[] = {
        {0, [](camsim::CamSim& s) { s.SetMotion(true); }, "md", -1, 100},
        {1, [](camsim::CamSim& s) { s.SetTamper(true); }, "td", -1, 100},
        {1, [](camsim::CamSim& s) { s.SetInput(1, true); }, "di", 0, 1},
        {0, [](camsim::CamSim& s) { s.SetAudio(true); }, "ad", -1, 100},
    };
    for (const auto& ch : changes) {
        ch.make(*sims[ch.cam]);
        EXPECT_TRUE(log.WaitState(ch.kind, ch.port, true, ch.level, kStepMs, names[ch.cam])) << log.Text();
        EXPECT_FALSE(reported(names[1 - ch.cam], ch.kind, ch.port)) << "the other camera reported it:\n" << log.Text();
    }
    // The Digest challenge and the authenticated request, per camera.
    for (const auto& sim : sims) EXPECT_EQ(2u, sim->RequestCount());
    EXPECT_EQ(mon.Terminate(), 0);
}

}  // namespace
