// One camera family per transport kind end to end: camdet-monitor --json
// watches a simulated camera whose state changes step by step; each step waits
// for the status lines it must bring. The rows run at once, one thread each.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;
using camtest::StatusLog;

namespace {

const int kStepMs = 30000;  // bound of one expected change; every row of a table shares two cores
const char kPassword[] = "pw-9";

struct Step {
    std::string change;               // a scenario line without "at SECONDS"; "" changes nothing
    std::vector<std::string> expect;  // "md on 40", "di1 off 0" (kind and port)
};

struct Row {
    std::string name;
    const char* api;
    // After --json --api --host --port --di-count --log (and the login unless
    // urlLogin); {port}, {raw} and {rtsp-login} are the simulator's.
    std::vector<std::string> args;
    std::string classes;  // "md=HikVisionV3MD di=HikVisionV3DI"; "ad=": a detector line without a class
    std::vector<Step> steps;
    std::vector<const char*> never;  // "di0": never triggered
    int requests = -1;               // HTTP requests that served every kind (-1: not counted)
    int rtspSessions = -1;
    int inputs = 2;
    bool urlLogin = false;  // the login only in the --rtsp URL
};

std::string Expand(std::string arg, const camsim::CamSim& sim) {
    std::string login = sim.RtspUrl();
    if (login.size() > 7) login.insert(7, std::string("admin:") + kPassword + "@");  // after "rtsp://"
    const std::pair<std::string, std::string> vars[] = {
        {"{port}", std::to_string(sim.Port())}, {"{raw}", std::to_string(sim.RawPort())}, {"{rtsp-login}", login}};
    for (const auto& v : vars) {
        for (size_t p; (p = arg.find(v.first)) != std::string::npos;) arg.replace(p, v.first.size(), v.second);
    }
    return arg;
}

// "di1" -> port 1, "md" -> -1.
int PortOf(const std::string& key) { return key.size() > 2 ? atoi(key.c_str() + 2) : -1; }

void Apply(camsim::CamSim& sim, const std::string& change) {
    camsim::Scenario sc;
    std::string err;
    ASSERT_TRUE(camsim::ParseScenario("at 0 " + change + "\n", sc, err)) << err;
    for (const camsim::ScenarioStep& st : sc.steps) sim.Apply(st);
}

void RunRow(const Row& r) {
    SCOPED_TRACE(r.name);
    const camsim::Config cfg = camtest::SimConfig(r.api, kPassword, r.inputs);
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    std::vector<std::string> args = {"--json", "--api", r.api, "--host", cfg.address, "--port",
                                     std::to_string(sim.Port()), "--di-count", std::to_string(r.inputs), "--log",
                                     std::string(CAMDET_BINARY_DIR) + "/e2e-" + r.name + ".log"};
    if (!r.urlLogin) args.insert(args.end(), {"--user", "admin", "--password", kPassword});
    for (const std::string& a : r.args) args.push_back(Expand(a, sim));
    MonitorProcess mon(args);
    ASSERT_TRUE(mon.Running());
    StatusLog& log = mon.Log();

    std::map<std::string, std::string> classes;
    std::istringstream in(r.classes);
    for (std::string kv; in >> kv;) classes[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    ASSERT_TRUE(log.WaitClasses(classes.size(), kStepMs)) << log.Text();
    for (const auto& kv : classes) EXPECT_EQ(kv.second, log.Classes()[kv.first]) << kv.first;

    for (const Step& st : r.steps) {
        if (!st.change.empty()) Apply(sim, st.change);
        for (const std::string& e : st.expect) {
            std::istringstream ex(e);
            std::string key, state, level;
            ex >> key >> state >> level;
            EXPECT_TRUE(log.WaitState(key.substr(0, 2), PortOf(key), state == "on", atoi(level.c_str()), kStepMs))
                << "after '" << st.change << "': " << e << "\n" << log.Text();
        }
    }
    for (const std::string k : r.never) EXPECT_EQ(0, log.CountTriggered(k.substr(0, 2), PortOf(k))) << k;
    if (r.requests >= 0) {
        EXPECT_EQ((uint64_t)r.requests, sim.RequestCount());
    }
    if (r.rtspSessions >= 0) {
        EXPECT_EQ(r.rtspSessions, sim.RtspSessions());
    }
    EXPECT_EQ(0, mon.Signal(SIGTERM));
    EXPECT_TRUE(log.WaitEof(kStepMs));
    EXPECT_TRUE(log.BadLines().empty()) << log.Text();
}

void RunAtOnce(const std::vector<Row>& rows) {
    std::vector<std::thread> threads;
    for (const Row& r : rows) threads.emplace_back([&r] { RunRow(r); });
    for (std::thread& t : threads) t.join();
}

}  // namespace

// Polling (Digest), a multipart event stream, a line stream, JPEG header segments,
// RTP header extensions and an ONVIF pull point (one stream for every kind), and
// an own loop on the camera's event port.
TEST(FamilyEndToEnd, EveryTransportKindFollowsTheCamera) {
    RunAtOnce({
        {"digest_polling", "brickcom", {"--kinds", "md,di"}, "md=BrickcomMD di=BrickcomDI",
         {{"", {"md off 0", "di1 off 0"}},
          {"motion on", {"md on 100"}},
          {"motion off", {"md off 0"}},
          {"input 2 on", {"di1 on 1", "di0 off 0"}},
          {"input 2 off", {"di1 off 0"}}}, {}},
        // One event stream for every kind: the Digest challenge and the authenticated request.
        {"hikvision_isapi", "hikvisionv3", {}, "md=HikVisionV3MD di=HikVisionV3DI td=HikVisionV3TD ad=HikVisionAD",
         {{"motion on", {"md on 100"}}, {"motion off", {"md off 0"}},
          {"input 2 on", {"di1 on 1"}}, {"input 2 off", {"di1 off 0"}},
          {"tamper on", {"td on 100"}}, {"tamper off", {"td off 0"}},
          {"audio on", {"ad on 100"}}, {"audio off", {"ad off 0"}}},
         {"di0", "di2", "di3"}, 2, -1, 4},
        {"dahua", "dahua", {}, "md=DahuaMD di=DahuaDI td=DahuaTD ad=",
         {{"motion on", {"md on 100"}}, {"input 2 on", {"di1 on 1"}}, {"input 1 on", {"di0 on 1"}},
          {"motion off", {"md off 0"}}, {"input 2 off", {"di1 off 0"}}, {"tamper on", {"td on 100"}},
          {"tamper off", {"td off 0"}}, {"input 1 off", {"di0 off 0"}}},
         {}, 2},
        {"axis_jpeg", "axisv5", {"--stream-format", "1"},
         "md=AxisJpgDetector di=AxisJpgDetector td=AxisJpgDetector ad=AxisJpgDetector",
         {{"motion on 40", {"md on 40"}}, {"input 2 on", {"di1 on 100"}}, {"tamper on", {"td on 100"}},
          {"audio on", {"ad on 100"}}, {"motion off", {"md off 0"}}, {"input 2 off", {"di1 off 0"}},
          {"tamper off", {"td off 0"}}, {"audio off", {"ad off 0"}}},
         {"di0"}, 2},
        // None of the kinds over HTTP.
        {"axis_rtp", "axisv5", {"--rtsp", "{rtsp-login}"},
         "md=AxisMp4Detector di=AxisMp4Detector td=AxisMp4Detector ad=AxisMp4Detector",
         {{"motion on 40", {"md on 40"}}, {"input 2 on", {"di1 on 100"}}, {"tamper on", {"td on 100"}},
          {"audio on", {"ad on 100"}}, {"motion on 75", {"md on 75"}}, {"motion off", {"md off 0"}},
          {"input 2 off", {"di1 off 0"}}, {"tamper off", {"td off 0"}}, {"audio off", {"ad off 0"}}},
         {"di0"}, 0, 1, 2, true},
        // WS-Security and wsa:MessageID (the device refuses requests without one): one subscription.
        {"onvif", "onvif", {"--onvif-device", "http://127.0.0.1:{port}/onvif/device_service"},
         "md=OnvifMD di=OnvifDI td=OnvifTD ad=OnvifAD",
         {{"", {"md off 0", "di1 off 0"}},  // the first pull brings "Initialized": all quiet
          {"motion on", {"md on 100"}}, {"motion off", {"md off 0"}}, {"input 2 on", {"di1 on 100"}},
          {"input 2 off", {"di1 off 0"}}, {"tamper on", {"td on 100"}}, {"tamper off", {"td off 0"}},
          {"audio on", {"ad on 100"}}, {"audio off", {"ad off 0"}}},
         {"di0"}},
        {"acti_event_port", "acti", {"--det-port", "{raw}", "--kinds", "md"}, "md=ActiMD",
         {{"motion on", {"md on 100"}}, {"motion off", {"md off 0"}}}, {}},
    });
}
