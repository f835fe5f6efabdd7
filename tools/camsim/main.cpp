// camdet-camsim: one simulated camera on 127.0.0.1 until SIGINT/SIGTERM or
// --duration. The first stdout line is "listening 127.0.0.1:PORT" so that a
// script can find a port picked with --port 0; a family with a TCP port of
// its own adds "raw port 127.0.0.1:PORT", one served over HTTPS (--tls) adds
// "tls pin sha256//BASE64". With --fleet (or --fleet-file) it
// serves many cameras instead: one line "listening 127.0.0.1:PORT NAME" per
// camera, then "ready N cameras". Cameras that also stream RTP add
// "rtsp URL".
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "tools/camsim/camsim.h"
#include "tools/camsim/fleet.h"
#include "tools/common/waitend.h"

namespace {

const char kUsage[] =
    "usage: camdet-camsim --api KEY [options]\n"
    "  --api KEY          camera API key to simulate (--list shows them)\n"
    "  --port N           TCP port on 127.0.0.1 (0: any free one; default 0)\n"
    "  --raw-port N       the camera's own TCP port besides HTTP, where its family has one\n"
    "                     (0: any free one; default: the port its cameras use)\n"
    "  --address A        loopback address to listen on (default 127.0.0.1)\n"
    "  --rtsp-port N      RTSP port of cameras that stream RTP (0: any free one; default 0)\n"
    "  --ext-pacing MS    the ext-pacing fault: one RTP extension every MS ms, 100-60000 (1500)\n"
    "  --user NAME        login the camera asks for (none: no authentication)\n"
    "  --password TEXT\n"
    "  --auth MODE        basic, digest or none (default: what the family uses)\n"
    "  --inputs N         number of alarm inputs, 0-64 (default 4)\n"
    "  --tls              HTTPS, with a certificate made at start; prints 'tls pin sha256//...'\n"
    "  --cert-out FILE    with --tls: write the certificate (PEM) there, for a client's CA file\n"
    "  --onvif-topics F   ONVIF: the topic family the device lists and sends: cellmotion (default),\n"
    "                     motionalarm, regionmotion or vendor\n"
    "  --scenario FILE    time line of state changes and faults\n"
    "  --duration SEC     exit after SEC seconds (default: until SIGINT/SIGTERM)\n"
    "  --list             print the families and their API keys\n"
    "fleet (many cameras in this one process):\n"
    "  --fleet KEY:COUNT  COUNT cameras of API key KEY (repeatable); --port is the first port\n"
    "                     (consecutive ports; 0: any free ones)\n"
    "  --fleet-file FILE  lines 'KEY COUNT', the same as --fleet each\n"
    "  --random-events SEC   every SEC seconds one random camera changes motion, an input,\n"
    "                     tampering or audio\n"
    "  --random-faults SEC   every SEC seconds one random camera gets a random fault switch\n"
    "                     for 1 s up to --fault-max SEC (5)\n"
    "  --seed N           seed of the random time lines (1)\n"
    "  --event-log FILE   one line per random change: '<ISO time> <camera> <what> on|off'\n"
    "  --monitor-config FILE  write a camdet-monitor --config file for the fleet\n"
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

int RunFleet(camsim::FleetOptions& opt, const std::string& eventLogPath, const std::string& monitorConfigPath,
             double duration) {
    FILE* eventLog = nullptr;
    if (!eventLogPath.empty()) {
        eventLog = fopen(eventLogPath.c_str(), "a");
        if (!eventLog) return Fail(eventLogPath + ": cannot write the event log: " + strerror(errno));
        opt.eventLog = eventLog;
    }
    sigset_t set;
    BlockEndSignals(set);
    camsim::Fleet fleet;
    std::string error;
    if (!fleet.Start(opt, error)) return Fail(error);
    if (!monitorConfigPath.empty()) {
        FILE* f = fopen(monitorConfigPath.c_str(), "w");
        const std::string y = fleet.MonitorConfig();
        if (!f || fwrite(y.data(), 1, y.size(), f) != y.size()) {
            if (f) fclose(f);
            return Fail(monitorConfigPath + ": cannot write the monitor configuration");
        }
        fclose(f);
    }
    for (size_t i = 0; i < fleet.Size(); ++i) printf("listening 127.0.0.1:%d %s\n", fleet.At(i).Port(), fleet.Name(i).c_str());
    printf("ready %zu cameras\n", fleet.Size());
    fflush(stdout);
    WaitForEnd(set, duration);
    fleet.Stop();
    if (eventLog) fclose(eventLog);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    camsim::Config cfg;
    cfg.rawPort = -1;  // as the real camera, unless asked otherwise
    camsim::FleetOptions fleet;
    std::string eventLogPath, monitorConfigPath;
    bool inputsSet = false;
    std::string scenarioPath;
    std::string certOut;
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
        if (name == "--tls") {
            cfg.tls = true;
            continue;
        }
        static const char* const kValued[] = {"--api",        "--port",          "--user",          "--password",
                                              "--auth",       "--inputs",        "--scenario",      "--duration",
                                              "--fleet",      "--fleet-file",    "--random-events", "--random-faults",
                                              "--fault-max",  "--seed",          "--event-log",     "--monitor-config",
                                              "--raw-port",   "--address",       "--rtsp-port",     "--ext-pacing",
                                              "--onvif-topics", "--cert-out"};
        bool known = false;
        for (const char* k : kValued) known = known || name == k;
        if (!known)
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
        } else if (name == "--raw-port") {
            if (!ParseLong(v, 0, 65535, n)) return Fail(std::string("--raw-port: expects 0-65535 (got '") + v + "')");
            cfg.rawPort = (int)n;
        } else if (name == "--address") {
            cfg.address = v;
        } else if (name == "--rtsp-port") {
            if (!ParseLong(v, 0, 65535, n)) return Fail(std::string("--rtsp-port: expects 0-65535 (got '") + v + "')");
            cfg.rtspPort = (int)n;
        } else if (name == "--ext-pacing") {
            if (!ParseLong(v, 100, 60000, n)) return Fail(std::string("--ext-pacing: expects 100-60000 (got '") + v + "')");
            cfg.extPacingMs = (int)n;
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
            inputsSet = true;
        } else if (name == "--onvif-topics") {
            cfg.onvifTopics = v;
            bool known = false;
            std::string all;
            for (const std::string& f : camsim::OnvifTopicFamilies()) {
                known = known || f == cfg.onvifTopics;
                all += (all.empty() ? "" : ", ") + f;
            }
            if (!known) return Fail("--onvif-topics: expects one of " + all + " (got '" + cfg.onvifTopics + "')");
        } else if (name == "--cert-out") {
            certOut = v;
        } else if (name == "--scenario") {
            scenarioPath = v;
        } else if (name == "--fleet") {
            camsim::FleetRow row;
            std::string why;
            if (!camsim::ParseFleetRow(v, row, why)) return Fail("--fleet: " + why);
            fleet.rows.push_back(row);
        } else if (name == "--fleet-file") {
            std::string why;
            if (!camsim::LoadFleetFile(v, fleet.rows, why)) return Fail(why);
        } else if (name == "--random-events" || name == "--random-faults" || name == "--fault-max") {
            char* end = nullptr;
            errno = 0;
            double sec = strtod(v, &end);
            if (errno || !*v || *end || !(sec > 0) || sec > 1e6)
                return Fail(name + ": expects a number of seconds (got '" + v + "')");
            (name == "--random-events" ? fleet.eventEvery : name == "--random-faults" ? fleet.faultEvery
                                                                                        : fleet.faultMaxSec) = sec;
        } else if (name == "--seed") {
            if (!ParseLong(v, 0, 2147483647L, n)) return Fail(std::string("--seed: expects 0-2147483647 (got '") + v + "')");
            fleet.seed = (uint32_t)n;
        } else if (name == "--event-log") {
            eventLogPath = v;
        } else if (name == "--monitor-config") {
            monitorConfigPath = v;
        } else if (name == "--duration") {
            char* end = nullptr;
            errno = 0;
            duration = strtod(v, &end);
            if (errno || !*v || *end || !(duration >= 0) || duration > 1e7)
                return Fail(std::string("--duration: expects a number of seconds (got '") + v + "')");
        }
    }
    if (!certOut.empty() && !cfg.tls) return Fail("--cert-out goes with --tls");
    if (!fleet.rows.empty()) {
        if (apiSet || !scenarioPath.empty()) return Fail("--fleet does not go with --api or --scenario");
        if (cfg.tls) return Fail("--tls serves one camera; it does not go with --fleet");
        fleet.basePort = cfg.port;
        fleet.user = cfg.user;
        fleet.password = cfg.password;
        fleet.auth = cfg.auth;
        if (inputsSet) fleet.inputs = cfg.inputs;
        return RunFleet(fleet, eventLogPath, monitorConfigPath, duration);
    }
    if (fleet.eventEvery > 0 || fleet.faultEvery > 0 || !eventLogPath.empty() || !monitorConfigPath.empty())
        return Fail("--random-events, --random-faults, --event-log and --monitor-config go with --fleet");
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
    printf("listening %s:%d\n", cfg.address.c_str(), sim.Port());
    if (cfg.tls) {
        printf("tls pin %s\n", sim.TlsPin().c_str());
        FILE* f = certOut.empty() ? nullptr : fopen(certOut.c_str(), "w");
        const std::string pem = sim.TlsCertPem();
        if (!certOut.empty() && (!f || fwrite(pem.data(), 1, pem.size(), f) != pem.size())) {
            if (f) fclose(f);
            return Fail(certOut + ": cannot write the certificate");
        }
        if (f) fclose(f);
    }
    if (sim.RawPort() > 0) printf("raw port %s:%d\n", cfg.address.c_str(), sim.RawPort());
    if (sim.RtspPort() > 0) printf("rtsp %s\n", sim.RtspUrl().c_str());
    fflush(stdout);
    if (!sc.steps.empty()) sim.RunScenario(sc);

    WaitForEnd(set, duration);
    sim.Stop();
    return 0;
}
