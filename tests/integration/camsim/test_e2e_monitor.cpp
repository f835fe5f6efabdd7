// What a camera's health does to camdet-monitor --json: a wrong password end
// to end, and what is shown once a camera is back from an outage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;  // bound of one expected change

}  // namespace

// A wrong password: the camera is "unauthorized" (a JSON line, and one line on
// stderr at once), never "quiet". (The login ration: the fleet's health test.)
TEST(MonitorEndToEndAuth, WrongPasswordIsUnauthorized) {
    camsim::CamSim sim(camtest::SimConfig("onvif", "right"));
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    sim.SetMotion(true);
    const std::string base = std::string(CAMDET_BINARY_DIR) + "/e2e-wrong-password";
    const std::string device = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/onvif/device_service";
    MonitorProcess mon({"--json", "--api", "onvif", "--onvif-device", device, "--user", "admin", "--password",
                        "wrong-Pw7", "--kinds", "md,di", "--log", base + ".log"},
                       base + ".err");
    ASSERT_TRUE(mon.Running());
    ASSERT_TRUE(mon.Log().WaitHealth("unauthorized", kStepMs)) << mon.Log().Text();
    EXPECT_TRUE(mon.Log().Events().empty()) << mon.Log().Text();  // never "quiet"
    EXPECT_EQ(mon.Terminate(), 0);
    const std::string stderrText = camtest::ReadFile(base + ".err");
    EXPECT_EQ(stderrText.find("camera unauthorized"), stderrText.rfind("camera unauthorized")) << stderrText;
    EXPECT_NE(stderrText.find("camera unauthorized: login refused"), std::string::npos) << stderrText;
    // The password never reaches the log, stdout or stderr.
    for (const std::string& text : {camtest::ReadFile(base + ".log"), mon.Log().Text(), stderrText})
        EXPECT_EQ(text.find("wrong-Pw7"), std::string::npos) << text;
}

// Back from an outage, detectors that say nothing more (a stream camera that
// only speaks of changes) are shown as they hold, quiet, never left blank.
// (Their next word, and an input on through the outage: the fleet's health test.)
TEST(MonitorEndToEndHealth, BackFromAnOutageSilentDetectorsAreShown) {
    int fds[2];
    ASSERT_EQ(0, pipe(fds));
    camtest::StatusLog log(fds[0]);
    FILE* out = fdopen(fds[1], "w");
    setvbuf(out, nullptr, _IOLBF, 0);
    std::unique_ptr<StatusPrinter> printer(new StatusPrinter(out, true));
    using namespace BrellinOwned;
    CAM_HEALTH_REPORT rep;
    const int states[] = {CAM_HEALTH_OK, CAM_HEALTH_UNREACHABLE, CAM_HEALTH_OK};
    for (int i = 0; i < 3; ++i) {
        rep.state = states[i];
        rep.error = i == 1 ? "no answer from 127.0.0.1:80/events" : "";
        printer->Health(rep);
        if (i == 2) break;  // back: not a word from the detectors
        // Quiet, before the outage and as the outage left them.
        printer->Status(DET_TYPE_MD, -1, false, 0);
        printer->Status(DET_TYPE_DI, 0, false, 0);
    }
    // Before the outage and once more after the return.
    EXPECT_TRUE(WaitFor([&] { return log.Events().size() == 4; }, StatusPrinter::kShowAfterOkMs + kStepMs));
    printer.reset();
    fclose(out);
    ASSERT_TRUE(log.WaitEof(kStepMs));
    EXPECT_EQ(4u, log.Events().size()) << log.Text();
}
