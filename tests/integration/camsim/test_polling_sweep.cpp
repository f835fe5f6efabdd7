// Every camera API key of the polling families, through the real detectors
// in-process: motion rises and falls, input 1 rises and falls. All cameras run
// at once, each with its own simulated camera, so the sweep takes about as
// long as the slowest camera's polls.
#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "camdet/cgiquerydetector.h"
#include "dupfromox/oxdebuglog.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

namespace {

const int kStepMs = 20000;  // bound of one expected change; all cameras share two cores

struct KeyCase {
    const char* api;
    std::vector<std::string> caps;  // capability words of the camera API
    int streamFormat;
};

// The polled camera API keys, as the recorder names them.
const KeyCase kKeys[] = {
    {"ycamv2", {}, 0},         {"arecont", {}, 0},         {"sanyohd2v1", {}, 0},      {"sanyohd2v2", {}, 0},
    {"sanyohdv5", {}, 0},      {"messoa", {}, 0},          {"messoa-pro", {}, 0},      {"messoav2", {}, 0},
    {"messoasdk05", {}, 0},    {"messoasdk05", {"GROUP11"}, 0},                        {"messoa03", {}, 0},
    {"compro", {}, 0},         {"comproip530", {}, 0},     {"hunt", {}, 0},            {"brickcom", {}, 0},
    {"brickcomv2", {}, 0},     {"storageoptions", {}, 0},  {"zavioprofile", {}, 0},    {"zaviomegav3", {}, 0},
    {"zaviomega", {}, 0},      {"zaviomegav2", {}, 0},     {"zaviomegav4", {}, 0},     {"zaviovga", {}, 0},
    {"canon", {}, 0},          {"canon-v2", {}, 0},        {"foscam", {}, 0},          {"foscam-h264-v2", {}, 0},
    {"basler", {}, 2},         {"itx", {}, 0},             {"raylios", {}, 0},         {"rayliosv2", {}, 0},
    {"hisharp", {}, 0},        {"bosch", {}, 0},           {"beward", {}, 0},          {"siemens", {}, 0},
    {"shany", {}, 0},          {"nexcom", {}, 0},          {"grandstream", {}, 0},     {"truen", {}, 0},
    {"airlivev1", {}, 0},      {"airlivev2", {}, 0},       {"airlivev3", {}, 0},       {"airlivegen2", {}, 0},
    {"avipcv2", {}, 0},        {"level1gr5", {}, 0},       {"level1gr1", {}, 0},       {"level1gr4", {"DI_CGI_QUERY"}, 0},
    {"jvc", {}, 0},            {"jvcvnt", {}, 0},          {"jvcvnh", {}, 0},          {"edimaxvp", {}, 0},
    {"acti", {}, 0},           {"actitcm", {}, 0},         {"actide", {}, 0},          {"pixordv1", {}, 0},
    {"messoaa02", {}, 0},      {"imege", {}, 0},           {"stardot", {}, 0},
};

struct Pipe {
    Pipe() {
        int fds[2];
        if (pipe(fds) == 0) {
            out = fdopen(fds[1], "w");
            log.reset(new camtest::StatusLog(fds[0]));
        }
    }
    ~Pipe() {
        if (out) fclose(out);
        log.reset();  // joins the reader after EOF
    }
    FILE* out = nullptr;
    std::unique_ptr<camtest::StatusLog> log;
};

MonitorOptions Options(const KeyCase& k, int port, const std::vector<int>& kinds) {
    MonitorOptions o;
    o.api = k.api;
    o.port = port;
    o.user = "admin";
    o.password = "pw";
    o.diCount = 2;
    o.caps = k.caps;
    o.streamFormat = k.streamFormat;
    o.kinds = kinds;
    o.json = true;
    return o;
}

// The kinds for which the factories make a polling detector.
std::vector<int> PollingKinds(const KeyCase& k) {
    std::vector<int> kinds;
    FILE* null = fopen("/dev/null", "w");
    StatusPrinter printer(null, true);
    MiniRecorder rec(Options(k, 1, {1, 2}), printer);
    rec.CreateDetectors();
    for (int kind : {1, 2}) {
        if (dynamic_cast<CgiQueryDetector*>(rec.Detector(kind))) kinds.push_back(kind);
    }
    rec.ReleaseAll();
    fclose(null);
    return kinds;
}

// Runs one key; returns what went wrong ("" when all went right).
std::string RunKey(const KeyCase& k) {
    std::string name = std::string(k.api) + (k.caps.empty() ? "" : "+" + k.caps[0]);
    std::vector<int> kinds = PollingKinds(k);
    if (kinds.empty()) return name + ": no polling detector made";

    camsim::Config cfg;
    cfg.api = k.api;
    cfg.user = "admin";
    cfg.password = "pw";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string err;
    if (!sim.Start(err)) return name + ": " + err;

    Pipe p;
    StatusPrinter printer(p.out, true);
    std::string failure;
    {
        MiniRecorder rec(Options(k, sim.Port(), kinds), printer);
        rec.CreateDetectors();
        rec.StartAll();
        auto expect = [&](const char* what, const char* kind, int port, bool trig, int level) {
            if (!failure.empty()) return;
            if (!p.log->WaitState(kind, port, trig, level, kStepMs))
                failure = name + ": " + what + ": " + kind + " port " + std::to_string(port) + " never read " +
                          (trig ? "triggered" : "quiet") + " (camera answered " + std::to_string(sim.RequestCount()) +
                          " requests, last " + sim.LastTarget() + ")";
        };
        for (int kind : kinds) {
            if (kind == 1) {
                expect("start", "md", -1, false, 0);
                sim.SetMotion(true);
                expect("motion on", "md", -1, true, 100);
                sim.SetMotion(false);
                expect("motion off", "md", -1, false, 0);
            } else {
                expect("start", "di", 0, false, 0);
                sim.SetInput(1, true);
                expect("input 1 on", "di", 0, true, -1);
                sim.SetInput(1, false);
                expect("input 1 off", "di", 0, false, 0);
            }
        }
        rec.ReleaseAll();
    }
    sim.Stop();
    return failure;
}

}  // namespace

TEST(PollingSweep, EveryPolledKeyRisesAndFallsWithTheCamera) {
    BrellinOwned::OXSetLogPath(std::string(CAMDET_BINARY_DIR) + "/e2e-sweep.log");
    std::mutex mu;
    std::vector<std::string> failures;
    std::vector<std::thread> threads;
    for (const KeyCase& k : kKeys) {
        threads.emplace_back([&mu, &failures, &k] {
            std::string f = RunKey(k);
            if (!f.empty()) {
                std::lock_guard<std::mutex> g(mu);
                failures.push_back(f);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    for (const std::string& f : failures) ADD_FAILURE() << f;
}
