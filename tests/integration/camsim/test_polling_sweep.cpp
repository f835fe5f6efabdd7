// Every camera API key of the polling families, through the real detectors:
// motion rises and falls, input 1 rises and falls. All cameras run at once,
// each with its own simulated camera, so the sweep takes about as long as the
// slowest camera's polls.
#include <gtest/gtest.h>
#include <string.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "camdet/transport/cgiquerydetector.h"
#include "dupfromox/oxdebuglog.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"
#include "tools/monitor/recorder.h"

namespace {

const int kStepMs = 20000;  // bound of one expected change; all cameras share two cores

struct KeyCase {
    const char* api;
    const char* kinds;              // "md", "di" or "md,di": the kinds polled for this key
    std::vector<std::string> caps;  // capability words of the camera API
    int streamFormat;
};

// The polled camera API keys, as the recorder names them, with the kinds the
// factories answer with a polling detector (the others use event streams).
const KeyCase kKeys[] = {
    {"ycamv2", "md,di", {}, 0},         {"arecont", "md,di", {}, 0},       {"sanyohd2v1", "md,di", {}, 0},
    {"sanyohd2v2", "md,di", {}, 0},     {"sanyohdv5", "md,di", {}, 0},     {"messoa", "md,di", {}, 0},
    {"messoa-pro", "md,di", {}, 0},     {"messoav2", "md,di", {}, 0},      {"messoasdk05", "md,di", {}, 0},
    {"messoasdk05", "md,di", {"GROUP11"}, 0},                              {"messoa03", "md,di", {}, 0},
    {"compro", "md,di", {}, 0},         {"comproip530", "md,di", {}, 0},   {"hunt", "md,di", {}, 0},
    {"brickcom", "md,di", {}, 0},       {"brickcomv2", "md,di", {}, 0},    {"storageoptions", "md,di", {}, 0},
    {"zavioprofile", "md,di", {}, 0},   {"zaviomegav3", "md", {}, 0},      {"zaviomega", "di", {}, 0},
    {"zaviomegav2", "di", {}, 0},       {"zaviomegav4", "di", {}, 0},      {"zaviovga", "di", {}, 0},
    {"canon", "md,di", {}, 0},          {"canon-v2", "di", {}, 0},         {"foscam", "md,di", {}, 0},
    {"foscam-h264-v2", "md,di", {}, 0}, {"basler", "md,di", {}, 2},        {"itx", "md,di", {}, 0},
    {"raylios", "md", {}, 0},           {"rayliosv2", "md", {}, 0},        {"hisharp", "md", {}, 0},
    {"bosch", "md,di", {}, 0},          {"beward", "md,di", {}, 0},        {"siemens", "md,di", {}, 0},
    {"shany", "md,di", {}, 0},          {"nexcom", "md,di", {}, 0},        {"grandstream", "md", {}, 0},
    {"truen", "md,di", {}, 0},          {"airlivev1", "di", {}, 0},        {"airlivev2", "di", {}, 0},
    {"airlivev3", "di", {}, 0},         {"airlivegen2", "di", {}, 0},      {"avipcv2", "di", {}, 0},
    {"level1gr5", "di", {}, 0},         {"level1gr1", "di", {}, 0},        {"level1gr4", "di", {"DI_CGI_QUERY"}, 0},
    {"jvc", "di", {}, 0},               {"jvcvnt", "di", {}, 0},           {"jvcvnh", "di", {}, 0},
    {"edimaxvp", "di", {}, 0},          {"acti", "di", {}, 0},             {"actitcm", "di", {}, 0},
    {"actide", "di", {}, 0},            {"pixordv1", "di", {}, 0},         {"messoaa02", "di", {}, 0},
    {"imege", "di", {}, 0},             {"stardot", "di", {}, 0},
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

// Runs one key; returns what went wrong ("" when all went right).
std::string RunKey(const KeyCase& k) {
    std::string name = std::string(k.api) + (k.caps.empty() ? "" : "+" + k.caps[0]);
    std::vector<int> kinds;
    for (const char* kind : {"md", "di"}) {
        if (strstr(k.kinds, kind)) kinds.push_back(KindFromName(kind));
    }

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
        for (int kind : kinds) {
            if (!dynamic_cast<CgiQueryDetector*>(rec.Detector(kind)))
                return name + ": " + KindName(kind) + " detector is " + DetectorClassName(rec.Detector(kind)) +
                       ", not a polling one";
        }
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

// Sharing one poll between the kinds of a camera is per process (a recorder
// runs one process per camera), so each key runs in a child process of its own.
TEST(PollingSweep, EveryPolledKeyRisesAndFallsWithTheCamera) {
    struct Child {
        const KeyCase* key;
        pid_t pid;
        int fd;
    };
    std::vector<Child> children;
    for (const KeyCase& k : kKeys) {
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        fflush(nullptr);
        pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlive a killed test
            alarm(240);                        // nor a hang of its own
            close(fds[0]);
            BrellinOwned::OXSetLogPath(std::string(CAMDET_BINARY_DIR) + "/e2e-sweep-" + k.api + ".log");
            std::string result = RunKey(k);
            if (write(fds[1], result.data(), result.size()) < 0) _exit(3);
            _exit(0);
        }
        close(fds[1]);
        children.push_back(Child{&k, pid, fds[0]});
    }
    for (const Child& c : children) {
        std::string result;
        char buf[1024];
        ssize_t n;
        while ((n = read(c.fd, buf, sizeof(buf))) > 0) result.append(buf, (size_t)n);
        close(c.fd);
        int st = 0;
        waitpid(c.pid, &st, 0);
        EXPECT_TRUE(WIFEXITED(st) && WEXITSTATUS(st) == 0) << c.key->api << ": child ended abnormally";
        EXPECT_EQ(result, "") << result;
    }
}
