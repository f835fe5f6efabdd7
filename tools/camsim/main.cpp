// camdet-camsim: one simulated camera on 127.0.0.1 until SIGINT/SIGTERM or
// --duration. The first stdout line is "listening 127.0.0.1:PORT" so that a
// script can find a port picked with --port 0; cameras that also stream RTP
// add "rtsp URL" as the second.
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tools/camsim/camsim.h"
#include "tools/common/waitend.h"

namespace {

const char kUsage[] =
    "usage: camdet-camsim --api KEY [options]\n"
    "  --api KEY          camera API key to simulate (--list shows them)\n"
    "  --port N           TCP port on 127.0.0.1 (0: any free one; default 0)\n"
    "  --rtsp-port N      RTSP port of cameras that stream RTP (0: any free one; default 0)\n"
    "  --user NAME        login the camera asks for (none: no authentication)\n"
    "  --password TEXT\n"
    "  --auth MODE        basic, digest or none (default: what the family uses)\n"
    "  --inputs N         number of alarm inputs, 0-64 (default 4)\n"
    "  --scenario FILE    time line of state changes and faults\n"
    "  --duration SEC     exit after SEC seconds (default: until SIGINT/SIGTERM)\n"
    "  --list             print the families and their API keys\n"
    "control: GET /camsim/state, GET /camsim/control?motion=1&level=40&input2=1&fault_stall=0\n";

int Fail(const std::string& what) {
    fprintf(stderr, "camdet-camsim: %s\n", what.c_str());
    return 2;
}

bool ParseLong(const char* s, long lo, long hi, long& out) {
    if (!*s) return false;
    errno = 0;
    char* end = nullptr;
    long v = strtol(s, &end, 10);
    if (errno || *end || v < lo || v > hi) return false;
    out = v;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    camsim::Config cfg;
    std::string scenarioPath;
    double duration = -1;
    bool apiSet = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            fputs(kUsage, stdout);
            return 0;
        }
        if (name == "--list") {
            size_t n = 0;
            const camsim::Family* t = camsim::FamilyTable(n);
            for (size_t f = 0; f < n; ++f) {
                printf("%-14s %-7s", t[f].name, camsim::AuthName(t[f].auth));
                for (const char* const* k = t[f].apiKeys; *k; ++k) printf(" %s", *k);
                printf("\n");
            }
            return 0;
        }
        if (name != "--api" && name != "--port" && name != "--user" && name != "--password" && name != "--auth" &&
            name != "--inputs" && name != "--scenario" && name != "--duration" && name != "--rtsp-port")
            return Fail("unknown option '" + name + "' (see --help)");
        if (i + 1 >= argc) return Fail("option " + name + " needs a value");
        const char* v = argv[++i];
        long n = 0;
        if (name == "--api") {
            if (!camsim::FindFamily(v)) return Fail(std::string("--api: no simulated camera for API key '") + v + "' (see --list)");
            cfg.api = v;
            apiSet = true;
        } else if (name == "--port") {
            if (!ParseLong(v, 0, 65535, n)) return Fail(std::string("--port: expects 0-65535 (got '") + v + "')");
            cfg.port = (int)n;
        } else if (name == "--rtsp-port") {
            if (!ParseLong(v, 0, 65535, n)) return Fail(std::string("--rtsp-port: expects 0-65535 (got '") + v + "')");
            cfg.rtspPort = (int)n;
        } else if (name == "--user") {
            cfg.user = v;
        } else if (name == "--password") {
            cfg.password = v;
        } else if (name == "--auth") {
            std::string m = v;
            if (m == "basic") cfg.auth = camsim::Auth::kBasic;
            else if (m == "digest") cfg.auth = camsim::Auth::kDigest;
            else if (m == "none") cfg.auth = camsim::Auth::kNone;
            else return Fail("--auth: expects basic, digest or none (got '" + m + "')");
        } else if (name == "--inputs") {
            if (!ParseLong(v, 0, 64, n)) return Fail(std::string("--inputs: expects 0-64 (got '") + v + "')");
            cfg.inputs = (int)n;
        } else if (name == "--scenario") {
            scenarioPath = v;
        } else if (name == "--duration") {
            char* end = nullptr;
            errno = 0;
            duration = strtod(v, &end);
            if (errno || !*v || *end || !(duration >= 0) || duration > 1e7)
                return Fail(std::string("--duration: expects a number of seconds (got '") + v + "')");
        }
    }
    if (!apiSet) return Fail("missing required option --api KEY (see --help)");

    camsim::Scenario sc;
    if (!scenarioPath.empty()) {
        std::string error;
        if (!camsim::LoadScenarioFile(scenarioPath, sc, error)) return Fail(error);
    }

    sigset_t set;
    BlockEndSignals(set);

    camsim::CamSim sim(cfg);
    std::string error;
    if (!sim.Start(error)) return Fail(error);
    printf("listening 127.0.0.1:%d\n", sim.Port());
    if (sim.RtspPort() > 0) printf("rtsp %s\n", sim.RtspUrl().c_str());
    fflush(stdout);
    if (!sc.steps.empty()) sim.RunScenario(sc);

    WaitForEnd(set, duration);
    sim.Stop();
    return 0;
}
