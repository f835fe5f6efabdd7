// End to end, what a camera's health does to camdet-monitor --json: a wrong
// password, every fault switch of the simulated camera, and what is shown
// once a camera is back from an outage.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
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

std::string LogPath(const char* name) { return std::string(CAMDET_BINARY_DIR) + "/e2e-" + name + ".log"; }

using camtest::ReadFile;

std::vector<std::string> MonitorArgs(const char* api, int port, const char* kinds, const std::string& password,
                                     const char* logName) {
    return {"--json", "--api",      api,        "--port", std::to_string(port), "--user", "admin", "--password",
            password, "--di-count", "2",        "--kinds", kinds,               "--log",  LogPath(logName)};
}

}  // namespace

// A wrong password: the camera is "unauthorized" (a JSON line, and one line on
// stderr at once), never "quiet"; its detectors together spend at most the
// login ration (3 in 5 minutes) however often they would poll or subscribe.
TEST(MonitorEndToEndAuth, WrongPasswordIsUnauthorizedAndLoginsAreRationed) {
    // Both cameras at once: the ration is watched over the same 8 s for each.
    const char* const apis[] = {"brickcom", "onvif"};
    std::vector<std::unique_ptr<camsim::CamSim>> sims;
    std::vector<std::unique_ptr<MonitorProcess>> mons;
    for (const char* api : apis) {
        sims.emplace_back(new camsim::CamSim(camtest::SimConfig(api, "right")));
        std::string err;
        ASSERT_TRUE(sims.back()->Start(err)) << err;
        sims.back()->SetMotion(true);
        const std::string name = std::string("wrong-password-") + api;
        std::vector<std::string> args = MonitorArgs(api, sims.back()->Port(), "md,di", "wrong-Pw7", name.c_str());
        if (std::string(api) == "onvif") {
            args.push_back("--onvif-device");
            args.push_back("http://127.0.0.1:" + std::to_string(sims.back()->Port()) + "/onvif/device_service");
        }
        mons.emplace_back(new MonitorProcess(args, LogPath((name + "-stderr").c_str())));
        ASSERT_TRUE(mons.back()->Running());
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (size_t i = 0; i < sims.size(); ++i) {
        SCOPED_TRACE(apis[i]);
        camsim::CamSim& sim = *sims[i];
        MonitorProcess& mon = *mons[i];
        const std::string name = std::string("wrong-password-") + apis[i];
        ASSERT_TRUE(mon.Log().WaitHealth("unauthorized", kStepMs)) << mon.Log().Text();
        // Unrationed, the detectors were refused several times a second.
        const int64_t spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now() - t0).count();
        EXPECT_FALSE(sim.WaitRefusedLogins(4, (int)std::max<int64_t>(0, 8000 - spent))) << sim.RefusedLogins();
        EXPECT_GE(sim.RefusedLogins(), 1u);
        EXPECT_TRUE(mon.Log().Events().empty()) << mon.Log().Text();  // never "quiet"
        EXPECT_EQ(mon.Terminate(), 0);
        const std::string stderrText = ReadFile(LogPath((name + "-stderr").c_str()));
        EXPECT_EQ(stderrText.find("camera unauthorized"), stderrText.rfind("camera unauthorized")) << stderrText;
        EXPECT_NE(stderrText.find("camera unauthorized: login refused"), std::string::npos) << stderrText;
        // The password never reaches the log, stdout or stderr.
        for (const std::string& text : {ReadFile(LogPath(name.c_str())), mon.Log().Text(), stderrText})
            EXPECT_EQ(text.find("wrong-Pw7"), std::string::npos) << text;
    }
}

// Every fault switch while motion is on: the alarm clears while the camera
// misbehaves (where a poll must fail), comes back when it recovers, and the
// monitor still stops promptly at the end.
TEST(MonitorEndToEndFaults, DetectionSurvivesEveryFault) {
    camsim::CamSim sim(camtest::SimConfig("truen", "pw"));
    std::string err;
    ASSERT_TRUE(sim.Start(err)) << err;
    std::vector<std::string> args = MonitorArgs("truen", sim.Port(), "md,di", "pw", "faults");
    // The 401 fault goes off at once: the ration must not keep the camera waiting minutes for it.
    args.insert(args.end(), {"--login-ration", "3/2"});
    MonitorProcess mon(args);
    ASSERT_TRUE(mon.Running());
    sim.SetMotion(true);
    ASSERT_TRUE(mon.Log().WaitState("md", -1, true, 100, kStepMs)) << mon.Log().Text();

    struct FaultCase {
        camsim::Fault fault;
        const char* health;  // what the camera is while a poll cannot succeed (null: stays ok)
        bool clears;         // without a health, the answer reads as "no motion"
        int boundMs;
    } faults[] = {
        {camsim::kFault500, "error", false, kStepMs},
        {camsim::kFault401, "unauthorized", false, kStepMs},
        // A 200 whose body is noise: the HTTP exchange went well, but no
        // rule of the camera can read it.
        {camsim::kFaultGarbage, "error", false, kStepMs},
        {camsim::kFaultRefuse, "unreachable", false, kStepMs},
        // The body's first half still carries the motion line, and the client
        // may hand over what it got before the close.
        {camsim::kFaultCloseMid, nullptr, false, kStepMs},
        {camsim::kFaultHugeLength, nullptr, false, kStepMs},
        {camsim::kFaultStall, "unreachable", false, 3 * kStepMs},  // the client's time-out
    };
    for (const FaultCase& f : faults) {
        SCOPED_TRACE(camsim::FaultName(f.fault));
        const uint64_t served = sim.RequestCount();
        const size_t said = mon.Log().Health().size();
        const int quiet = mon.Log().CountQuiet("md", -1);
        sim.SetFault(f.fault, true);
        if (f.health) {
            EXPECT_TRUE(mon.Log().WaitHealth(f.health, f.boundMs)) << mon.Log().Text();
        } else if (f.clears) {
            EXPECT_TRUE(mon.Log().WaitState("md", -1, false, 0, f.boundMs)) << mon.Log().Text();
        } else {
            EXPECT_TRUE(sim.WaitRequests(served + 2, f.boundMs));
        }
        const int triggered = mon.Log().CountTriggered("md", -1);
        sim.SetFault(f.fault, false);
        if (f.health) {
            // Back from the fault, the detectors' word is news again; nothing
            // said "quiet" while the camera could not be seen.
            EXPECT_TRUE(mon.Log().WaitHealth("ok", f.boundMs)) << mon.Log().Text();
            EXPECT_TRUE(mon.Log().WaitTriggered("md", -1, triggered + 1, f.boundMs)) << mon.Log().Text();
            EXPECT_GT(mon.Log().Health().size(), said + 1);
            EXPECT_EQ(mon.Log().CountQuiet("md", -1), quiet) << mon.Log().Text();
        }
        EXPECT_TRUE(mon.Log().WaitState("md", -1, true, 100, f.boundMs)) << mon.Log().Text();
    }
    EXPECT_EQ(mon.Terminate(), 0);
    EXPECT_TRUE(mon.Log().BadLines().empty()) << mon.Log().Text();
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
