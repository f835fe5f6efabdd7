#include "tools/monitor/demo.h"

#include <time.h>

#include <string>

#include "tools/camsim/camsim.h"

namespace {

// A Truen camera: one status CGI carries motion and the inputs, so the motion
// and input detectors share one poll; the camera asks for a Digest login.
// With --api onvif, an ONVIF device that sends motion as
// VideoSource/MotionAlarm, as small cameras do: the monitor finds that topic
// in the list the device gives.
const char kDemoApi[] = "truen";
const char kDemoOnvifTopics[] = "motionalarm";
const char kDemoUser[] = "demo";
const char kDemoPassword[] = "demo-pass";
const int kDemoInputs = 4;
const double kDemoSeconds = 10.0;

const char kDemoScenario[] =
    "at 1.0 motion on\n"
    "at 3.5 motion off\n"
    "at 5.0 input 2 on\n"
    "at 7.5 input 2 off\n";

double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

// Waits until `until` (monotonic seconds); false when SIGINT/SIGTERM came first.
bool SleepUntil(const sigset_t& signals, double until) {
    while (true) {
        double left = until - Now();
        if (left <= 0) return true;
        struct timespec ts;
        ts.tv_sec = (time_t)left;
        ts.tv_nsec = (long)((left - (double)ts.tv_sec) * 1e9);
        int sig = sigtimedwait(&signals, nullptr, &ts);
        if (sig == SIGINT || sig == SIGTERM) return false;
    }
}

std::string Describe(const camsim::ScenarioStep& st) {
    const char* onOff = st.on ? "on" : "off";
    switch (st.what) {
    case camsim::ScenarioStep::kMotion: return std::string("motion ") + onOff;
    case camsim::ScenarioStep::kInput: return "input " + std::to_string(st.n) + " " + onOff;
    case camsim::ScenarioStep::kTamper: return std::string("tampering ") + onOff;
    case camsim::ScenarioStep::kAudio: return std::string("audio alarm ") + onOff;
    case camsim::ScenarioStep::kFault: return std::string("fault ") + camsim::FaultName(st.fault) + " " + onOff;
    }
    return "?";
}

}  // namespace

int RunDemo(const MonitorOptions& given, StatusPrinter& printer, const sigset_t& signals) {
    camsim::Scenario sc;
    std::string error;
    if (!camsim::ParseScenario(kDemoScenario, sc, error)) {
        fprintf(stderr, "camdet-monitor: demo scenario: %s\n", error.c_str());
        return 1;
    }
    const bool onvif = given.api == "onvif";
    camsim::Config cfg;
    cfg.api = onvif ? "onvif" : kDemoApi;
    if (onvif) cfg.onvifTopics = kDemoOnvifTopics;
    cfg.user = kDemoUser;
    cfg.password = kDemoPassword;
    cfg.inputs = kDemoInputs;
    camsim::CamSim sim(cfg);
    if (!sim.Start(error)) {
        fprintf(stderr, "camdet-monitor: demo camera: %s\n", error.c_str());
        return 1;
    }

    MonitorOptions opt = given;
    opt.api = cfg.api;
    if (onvif) opt.onvifDevice = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/onvif/device_service";
    opt.host = "127.0.0.1";
    opt.port = sim.Port();
    opt.user = kDemoUser;
    opt.password = kDemoPassword;
    opt.diCount = kDemoInputs;
    opt.kinds = {1, 2};
    const double seconds = given.duration >= 0 ? given.duration : kDemoSeconds;

    printer.Note("demo: simulated '" + cfg.api + "' camera on 127.0.0.1:" + std::to_string(sim.Port()) + " (" +
                 (onvif ? std::string("WS-Security") : std::string(camsim::AuthName(sim.EffectiveAuth()))) +
                 " login, " + std::to_string(kDemoInputs) + " inputs" +
                 (onvif ? std::string(", topics of the '") + kDemoOnvifTopics + "' family" : std::string()) +
                 "), watched for " + std::to_string((int)(seconds + 0.5)) + " s");
    MiniRecorder rec(opt, printer);
    rec.CreateDetectors();
    if (rec.DetectorCount() == 0) {
        fprintf(stderr, "camdet-monitor: no detector for camera API key '%s'\n", cfg.api.c_str());
        return 1;
    }
    rec.StartAll();

    const double start = Now();
    bool interrupted = false;
    for (const camsim::ScenarioStep& st : sc.steps) {
        if (st.at >= seconds) break;
        if (!SleepUntil(signals, start + st.at)) {
            interrupted = true;
            break;
        }
        sim.Apply(st);
        printer.Note("camera: " + Describe(st));
    }
    if (!interrupted) SleepUntil(signals, start + seconds);
    rec.ReleaseAll();
    sim.Stop();
    printer.Note("demo: done");
    return 0;
}
