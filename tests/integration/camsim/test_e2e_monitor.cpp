// What a camera's health does to camdet-monitor --json: a wrong password end
// to end, and what is shown once a camera is back from an outage.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "tests/fixtures/testsupport.h"
#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

using camtest::MonitorProcess;
using camtest::StatusLog;

namespace {

const int kStepMs = 15000;  // bound of one expected change (poll intervals are at most 1.5 s)

}  // namespace

// A wrong password: the camera is "unauthorized" (a JSON line, and one line on
// stderr at once), never "quiet"; its detectors together spend at most the
// login ration (3 in 5 minutes) however often they would subscribe. (A polled
// camera's: the fleet's health test.)
TEST(MonitorEndToEndAuth, WrongPasswordIsUnauthorizedAndLoginsAreRationed) {
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
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(mon.Log().WaitHealth("unauthorized", kStepMs)) << mon.Log().Text();
    // Unrationed, the detectors were refused several times a second.
    const int64_t spent = camtest::ElapsedMs(t0);
    EXPECT_FALSE(sim.WaitRefusedLogins(4, (int)std::max<int64_t>(0, 8000 - spent))) << sim.RefusedLogins();
    EXPECT_GE(sim.RefusedLogins(), 1u);
    EXPECT_TRUE(mon.Log().Events().empty()) << mon.Log().Text();  // never "quiet"
    EXPECT_EQ(mon.Terminate(), 0);
    const std::string stderrText = camtest::ReadFile(base + ".err");
    EXPECT_EQ(stderrText.find("camera unauthorized"), stderrText.rfind("camera unauthorized")) << stderrText;
    EXPECT_NE(stderrText.find("camera unauthorized: login refused"), std::string::npos) << stderrText;
    // The password never reaches the log, stdout or stderr.
    for (const std::string& text : {camtest::ReadFile(base + ".log"), mon.Log().Text(), stderrText})
        EXPECT_EQ(text.find("wrong-Pw7"), std::string::npos) << text;
}

// What a camera's printer shows once the camera is back from an outage: the
// detectors' word as soon as they say it, and what they hold (quiet unless
// the camera said otherwise) for a stream that says nothing, never a blank;
// nothing the camera did not say in between.
TEST(MonitorEndToEndHealth, BackFromAnOutageEveryDetectorIsShown) {
    struct Op {
        int kind;  // 0: a health report of state `port`
        int port;
        bool trig;
    };
    const Op ok = {0, BrellinOwned::CAM_HEALTH_OK, false}, gone = {0, BrellinOwned::CAM_HEALTH_UNREACHABLE, false};
    const Op mdQuiet = {1, -1, false}, mdOn = {1, -1, true}, inQuiet = {2, 0, false}, inOn = {2, 0, true};
    struct {
        const char* name;
        std::vector<Op> ops;               // the last report of ok is the return
        std::vector<std::string> shown;    // status lines after it: "md -1 false"
    } rows[] = {
        {"a quiet stream camera", {ok, mdQuiet, inQuiet, gone, mdQuiet, inQuiet, ok}, {"md -1 false", "di 0 false"}},
        // The outage cleared the input; the camera says it is on at once.
        {"an input on before and after", {ok, mdQuiet, inOn, gone, mdQuiet, inQuiet, ok, inOn},
         {"di 0 true", "md -1 false"}},
        {"an alarm said after the return", {ok, mdQuiet, inQuiet, gone, ok, mdOn}, {"md -1 true", "di 0 false"}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.name);
        int fds[2];
        ASSERT_EQ(0, pipe(fds));
        camtest::StatusLog log(fds[0]);
        FILE* out = fdopen(fds[1], "w");
        setvbuf(out, nullptr, _IOLBF, 0);
        std::unique_ptr<StatusPrinter> printer(new StatusPrinter(out, true));
        for (const Op& op : r.ops) {
            if (op.kind != 0) {
                printer->Status(op.kind, op.port, op.trig, op.trig ? 100 : 0);
                continue;
            }
            BrellinOwned::CAM_HEALTH_REPORT rep;
            rep.state = op.port;
            rep.error = op.port == BrellinOwned::CAM_HEALTH_OK ? "" : "no answer from 127.0.0.1:80/events";
            printer->Health(rep);
        }
        // The status lines after the last "ok", as "kind port trig".
        auto shown = [&] {
            std::istringstream text(log.Text());
            std::vector<std::string> after;
            for (std::string line; std::getline(text, line);) {
                if (line.find("\"state\":\"ok\"") != std::string::npos) after.clear();
                if (line.find("\"event\":\"status\"") == std::string::npos) continue;
                const bool trig = line.find("\"trig\":true") != std::string::npos;
                const bool di = line.find("\"kind\":\"di\"") != std::string::npos;
                after.push_back(std::string(di ? "di 0 " : "md -1 ") + (trig ? "true" : "false"));
            }
            return after;
        };
        size_t reports = 0;
        for (const Op& op : r.ops) reports += op.kind == 0 ? 1 : 0;
        // Every line of the ops read first: only then are the lines after the last "ok" the return's.
        EXPECT_TRUE(WaitFor([&] { return log.Health().size() == reports; }, kStepMs));
        EXPECT_TRUE(WaitFor([&] { return shown().size() >= r.shown.size(); },
                            StatusPrinter::kShowAfterOkMs + 5000));
        printer.reset();  // whatever it was showing is written
        fclose(out);
        ASSERT_TRUE(log.WaitEof(kStepMs));
        EXPECT_EQ(shown(), r.shown) << log.Text();
    }
}
