// Every camera family end to end: the built camdet-monitor --json watches a
// simulated camera of the family on loopback; the camera's state changes step
// by step and each step waits for the status lines it must bring (no step
// waits for a fixed time). A row is one camera API key over one transport:
// the detector classes the key gets, the steps, and for the families whose
// kinds share one stream how many requests (or RTSP sessions) served them
// all. The rows run at once, each on a thread of its own, so a table takes
// about as long as its slowest row.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

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
    std::vector<std::string> expect;  // "md on 40", "di1 off 0" (kind and port), "td on *" (any level), "health error"
};

struct Row {
    std::string name;
    const char* api;
    // After --json --api --host --port --di-count --log (and the login unless
    // urlLogin); {port}, {raw}, {rtsp} and {rtsp-login} are the simulator's.
    std::vector<std::string> args;
    std::string classes;  // "md=HikVisionV3MD di=HikVisionV3DI"; "ad=": a detector line without a class
    std::vector<Step> steps;
    std::vector<const char*> never;  // "di0": never triggered
    int requests = -1;               // HTTP requests that served every kind (-1: not counted)
    int rtspSessions = -1;
    int inputs = 2;
    bool ownAddress = false;  // the family's fixed port: a loopback address of its own
    bool urlLogin = false;    // the login only in the --rtsp URL
};

std::string Expand(std::string arg, const camsim::CamSim& sim) {
    std::string login = sim.RtspUrl();
    if (login.size() > 7) login.insert(7, std::string("admin:") + kPassword + "@");  // after "rtsp://"
    const std::pair<std::string, std::string> vars[] = {{"{port}", std::to_string(sim.Port())},
                                                        {"{raw}", std::to_string(sim.RawPort())},
                                                        {"{rtsp-login}", login},
                                                        {"{rtsp}", sim.RtspUrl()}};
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
    camsim::Config cfg = camtest::SimConfig(r.api, kPassword, r.inputs);
    if (r.ownAddress) {
        cfg.rawPort = -1;
        cfg.address = "127.0.84." + std::to_string(2 + getpid() % 250);
    }
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
            const bool seen = key == "health" ? log.WaitHealth(state, kStepMs)
                                              : log.WaitState(key.substr(0, 2), PortOf(key), state == "on",
                                                              level == "*" ? -1 : atoi(level.c_str()), kStepMs);
            EXPECT_TRUE(seen) << "after '" << st.change << "': " << e << "\n" << log.Text();
        }
    }
    for (const std::string k : r.never) EXPECT_EQ(0, log.CountTriggered(k.substr(0, 2), PortOf(k))) << k;
    if (r.requests >= 0) {
        EXPECT_EQ((uint64_t)r.requests, sim.RequestCount());
    }
    if (r.rtspSessions >= 0) {
        EXPECT_EQ(r.rtspSessions, sim.RtspSessions());
    }
    EXPECT_EQ(0, mon.Terminate());
    EXPECT_TRUE(log.WaitEof(kStepMs));
    EXPECT_TRUE(log.BadLines().empty()) << log.Text();
}

void RunAtOnce(const std::vector<Row>& rows) {
    std::vector<std::thread> threads;
    for (const Row& r : rows) threads.emplace_back([&r] { RunRow(r); });
    for (std::thread& t : threads) t.join();
}

// One kind rises and falls: motion, input 1 (port 0), tampering or audio.
// A camera that measures its motion is set to `measured` (0: none), and its
// fall may keep a level.
Row Rise(const char* api, const std::string& kind, const char* cls, int level, std::vector<std::string> args = {},
         int measured = 0) {
    const std::string what = kind == "di" ? "input 1" : kind == "td" ? "tamper" : kind == "ad" ? "audio" : "motion";
    const std::string key = kind == "di" ? "di0" : kind;
    args.insert(args.end(), {"--kinds", kind});
    return Row{std::string(api) + "-" + kind,
               api,
               args,
               kind + "=" + cls,
               {{what + " on" + (measured ? " " + std::to_string(measured) : ""),
                 {key + " on " + (level < 0 ? "*" : std::to_string(level))}},
                {what + " off", {key + " off " + (kind == "md" && !measured ? "0" : "*")}}},
               {}};
}

// A polled key: each kind reads quiet first, then rises and falls with the camera.
Row Polled(const char* api, const std::string& kinds, std::vector<std::string> args = {}) {
    Row r{std::string(api) + (args.empty() ? "" : "+" + args.back()), api, args, "", {}, {}};
    r.args.insert(r.args.end(), {"--kinds", kinds});
    if (kinds.find("md") != std::string::npos) {
        r.steps.insert(r.steps.end(), {{"", {"md off 0"}}, {"motion on", {"md on 100"}}, {"motion off", {"md off 0"}}});
    }
    if (kinds.find("di") != std::string::npos) {
        r.steps.insert(r.steps.end(),
                       {{"", {"di0 off 0"}}, {"input 1 on", {"di0 on *"}}, {"input 1 off", {"di0 off 0"}}});
    }
    return r;
}

}  // namespace

// The families whose kinds share what the camera sends, and those whose
// answers carry levels, several inputs or pulses.
TEST(FamilyEndToEnd, EveryKindFollowsTheCamera) {
    const std::vector<std::string> jpeg = {"--stream-format", "1"};
    std::vector<Row> rows = {
        // Polling: Digest, a raw socket, one poll for two kinds, an own loop, JSON answers.
        {"digest_polling", "brickcom", {"--kinds", "md,di"}, "md=BrickcomMD di=BrickcomDI",
         {{"", {"md off 0", "di1 off 0"}},
          {"motion on", {"md on 100"}},
          {"fault 500 on", {"health error"}},  // a camera we cannot see is not "quiet"
          {"fault 500 off", {"health ok", "md on 100"}},
          {"motion off", {"md off 0"}},
          {"input 2 on", {"di1 on 1", "di0 off 0"}},
          {"input 2 off", {"di1 off 0"}}}, {}},
        {"raw_socket", "siemens", {"--kinds", "md,di"}, "md=SiemensMD di=SiemensDI",
         {{"", {"md off 0", "di1 off 0"}},
          {"motion on", {"md on 100", "di0 off 0"}},
          {"motion off", {"md off 0"}},
          {"input 1 on", {"di0 on 1", "di1 on 1", "md off 0"}},
          {"input 1 off", {"di0 off 0", "di1 off 0"}}}, {}},
        {"shared_md_di", "messoa", {"--kinds", "md,di"}, "md=MessoaMD di=MessoaDI",
         {{"", {"md off 0", "di1 off 0"}},
          {"motion on", {"md on 100", "di0 off 0"}},
          {"input 1 on", {"md on 100", "di0 on 1", "di1 on 1"}},  // "Mode 3"
          {"motion off", {"md off 0", "di0 on 1"}},
          {"input 1 off", {"di0 off 0", "di1 off 0"}}}, {}},
        {"own_loop_inputs", "airlivev2", {"--kinds", "di"}, "di=AirliveDI",
         {{"", {"di1 off 0"}},
          {"input 2 on", {"di1 on 1", "di0 off 0"}},
          {"input 1 on", {"di0 on 1", "di1 on 1"}},
          {"input 2 off", {"di1 off 0", "di0 on 1"}},
          {"input 1 off", {"di0 off 0"}}}, {}},
        {"json_answers", "raylios", {"--kinds", "md"}, "md=RayliosMD",
         {{"", {"md off 0"}},
          {"motion on 70", {"md on 70"}},
          {"motion on 90", {"md on 90"}},
          {"motion off", {"md off 0"}}}, {}},
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
        // Flag and level lines: the level the camera measured.
        {"dlink_notify", "dlinknipcav3", {"--kinds", "md,di,ad", "--det-param", "ad:5=50"},
         "md=DLinkMD di=DLinkDI ad=DLinkAD",
         {{"motion on 40", {"md on 40"}}, {"motion off", {"md off 0"}}, {"input 1 on", {"di0 on 1"}},
          {"input 1 off", {"di0 off 0"}}, {"audio on", {"ad on 90"}}, {"audio off", {"ad off 0"}}}, {}},
        {"acti_event_port", "acti", {"--det-port", "{raw}", "--kinds", "md"}, "md=ActiMD",
         {{"motion on", {"md on 100"}}, {"motion off", {"md off 0"}}}, {}},
        // Every counter change is one alarm: it rises on the poll after the
        // change and falls on the next; the first input absorbs the change.
        {"mobotix_counters", "mobotix", {"--kinds", "md,di"}, "md=MobotixMD di=MobotixDI",
         {{"", {"md off 0", "di0 off 0"}}, {"motion on", {"md on 100"}}, {"", {"md off 0"}},
          {"input 2 on", {"di0 on 1"}}, {"", {"di0 off 0"}}},
         {"di1"}},
        // Frames through the stream FIFO that --fifo-url feeds: only the
        // recorder's feeder asks the camera (its challenge and its request).
        {"ipux_fifo", "ipux5m",
         {"--stream-format", "1", "--fifo-url", "http://127.0.0.1:{port}/video.mjpg", "--kinds", "md,di", "--md-param",
          "0,10,0,0"},
         "md=IpuxStmFifoMD di=IpuxStmFifoDI",
         {{"motion on 70", {"md on 70"}}, {"input 1 on", {"di0 on 1"}}, {"motion off", {"md off 0"}},
          {"input 1 off", {"di0 off 0"}}},
         {}, 2},
        {"stardot_fifo", "stardot",
         {"--stream-format", "1", "--fifo-url", "http://127.0.0.1:{port}/jpeg.cgi", "--kinds", "md", "--md-param",
          "0,10,0,0"},
         "md=StarDotStmFifoMD", {{"motion on", {"md on 100"}}, {"motion off", {"md off 0"}}}, {}, 2},
        // JPEG header segments: one frame stream for every kind.
        {"axis_jpeg", "axisv5", jpeg, "md=AxisJpgDetector di=AxisJpgDetector td=AxisJpgDetector ad=AxisJpgDetector",
         {{"motion on 40", {"md on 40"}}, {"input 2 on", {"di1 on 100"}}, {"tamper on", {"td on 100"}},
          {"audio on", {"ad on 100"}}, {"motion off", {"md off 0"}}, {"input 2 off", {"di1 off 0"}},
          {"tamper off", {"td off 0"}}, {"audio off", {"ad off 0"}}},
         {"di0"}, 2},
        {"vivotek_jpeg", "vivotek8", {"--stream-format", "1", "--kinds", "md,di,td"},
         "md=VivotekJpgDetector di=Vivotek8DI",
         {{"motion on 55", {"md on 55"}}, {"tamper on", {"td on 100"}}, {"input 2 on", {"di1 on 1"}},
          {"motion off", {"md off 0"}}, {"tamper off", {"td off 0"}}}, {}},
        {"axis_mjpeg_motion", "axisv3", {"--stream-format", "1", "--kinds", "md,di"}, "md=AxisMD di=AxisDI",
         {{"motion on 30", {"md on 30"}}, {"input 1 on", {"di0 on 1"}}, {"motion off", {"md off 3"}}}, {}},
        // RTP header extensions: one RTSP session for every kind, none of them over HTTP.
        {"axis_rtp", "axisv5", {"--rtsp", "{rtsp-login}"},
         "md=AxisMp4Detector di=AxisMp4Detector td=AxisMp4Detector ad=AxisMp4Detector",
         {{"motion on 40", {"md on 40"}}, {"input 2 on", {"di1 on 100"}}, {"tamper on", {"td on 100"}},
          {"audio on", {"ad on 100"}}, {"motion on 75", {"md on 75"}}, {"motion off", {"md off 0"}},
          {"input 2 off", {"di1 off 0"}}, {"tamper off", {"td off 0"}}, {"audio off", {"ad off 0"}}},
         {"di0"}, 0, 1, 2, false, true},
        {"vivotek_rtp", "vivotek8", {"--rtsp", "{rtsp-login}", "--kinds", "md,td"},
         "md=VivotekMp4Detector td=VivotekMp4Detector",
         {{"motion on 70", {"md on 70"}}, {"tamper on", {"td on 100"}}, {"motion off", {"md off 0"}},
          {"tamper off", {"td off 0"}}},
         {}, -1, 1, 2, false, true},
        // One alarm word for all inputs: every port reports it.
        {"avtech_rtp", "avtech", {"--rtsp", "{rtsp}", "--kinds", "md,di"}, "md=AVTECHMD di=AVTECHDI",
         {{"motion on 30", {"md on 100"}}, {"input 1 on", {"di0 on 100", "di1 on 100"}}, {"motion off", {"md off 0"}},
          {"input 1 off", {"di0 off 0"}}}, {}},
    };
    for (const auto& j : std::vector<std::pair<const char*, std::string>>{
             {"vivotek2", "md=VivotekJpgDetector di=Vivotek2DI 60"}, {"basler", "md=BaslerJpgMD di=BaslerJpgDI 60"},
             {"jvc", "md=JvcJpgMD di=JvcDI 100"}, {"panasonicfw3", "md=PanaJpgDIMD di=PanaJpgDIMD 100"}}) {
        const size_t sp = j.second.rfind(' ');
        std::vector<std::string> args = {"--stream-format", "1", "--kinds", "md,di"};
        // Panasonic frames reach the detectors through the FIFO.
        if (std::string(j.first) == "panasonicfw3") {
            args.insert(args.end(), {"--fifo-url", "http://127.0.0.1:{port}/nphMotionJpeg"});
        }
        rows.push_back(Row{std::string(j.first) + "_jpeg", j.first, args, j.second.substr(0, sp),
                           {{"motion on 60", {"md on " + j.second.substr(sp + 1)}}, {"input 1 on", {"di0 on 1"}},
                            {"motion off", {"md off 0"}}},
                           {}});
    }
    RunAtOnce(rows);
}

// The other stream, line, record and window families: one kind on, then off.
TEST(FamilyEndToEnd, EveryStreamFamilyRisesAndFalls) {
    const std::vector<std::string> window = {"--md-param", "0,10,0,0"};
    std::vector<Row> rows = {
        Rise("hikvision", "md", "HikVisionMD", 100),      Rise("psia", "md", "PsiaMD", 100),
        Rise("sonygen3", "md", "SonyMD", 100),            Rise("samsung", "md", "SamsungMD", 100),
        Rise("hitron", "md", "HitronMD", 100),            Rise("eneov2", "md", "EneoMD", 100),
        Rise("alinking", "md", "AlinkingMD", 99),         Rise("lilin", "md", "LilinMD", 100),
        Rise("acumen", "md", "AcumenMD", 100),            Rise("dlinkdcsv9v2", "md", "DLinkV9V2MD", 100),
        Rise("oncamgrandeye", "md", "OncamGrandeyeMD", 100), Rise("etrovision", "md", "EtrovisionMD", 100),
        Rise("panasonicipro", "md", "PanaMD", 100),       Rise("ipuxfw1", "md", "IpuxMD", -1),
        Rise("iqeyev2", "md", "IQeyeV2MD", 100),          Rise("iqeyev1", "md", "IQeyeV1MD", 100),
        Rise("edimaxv2", "md", "EdimaxMD", 100),          Rise("airlivev2", "md", "AirliveMD", 100),
        Rise("zaviomega", "md", "ZavioMD", 100),          Rise("zaviovga", "md", "ZavioMD", 100),
        Rise("edimaxvp", "md", "EdimaxVPMD", 100),        Rise("pixordv1", "md", "PixordMD", 100),
        Rise("messoaa02", "md", "MessoaA02MD", 100),      Rise("imege", "md", "ImegeMD", 100),
        Rise("level1gr4", "td", "LevelOneGr4TD", 100),    Rise("hikvision", "di", "HikVisionDI", 1),
        Rise("hikvisionv2", "td", "HikVisionTD", 100),    Rise("psia", "di", "PsiaDI", -1),
        Rise("sonygen3", "di", "SonyDI", 1),              Rise("samsung", "di", "SamsungDI", 1),
        Rise("samsung", "td", "SamsungTD", 100),          Rise("samsung", "ad", "SamsungAD", 100),
        Rise("hitron", "di", "HitronDI", 100),            Rise("eneov2", "td", "EneoTD", 100),
        Rise("alinking", "di", "AlinkingDI", -1),         Rise("alinking-cmos", "td", "AlinkingTD", 100),
        Rise("lilin", "di", "LilinDI", 1),                Rise("acumen", "di", "AcumenDI", 1),
        Rise("oncamgrandeye", "di", "OncamGrandeyeDI", 100), Rise("etrovision", "di", "EtrovisionDI", 1),
        Rise("panasonicipro", "di", "PanaDI", 1),         Rise("panasoniciprodome", "di", "PanaProDI", 1),
        Rise("ipuxfw1", "di", "IpuxDI", 1),               Rise("iqeyev2", "di", "IQeyeDI", 1),
        // Records and windows (the motion level the camera measured).
        Rise("everfocus", "md", "EverFocusMD", 100, window, 60), Rise("everfocus", "di", "EverFocusDI", 100, window),
        Rise("ycam", "md", "YcamMD", 60, window, 60),
        Rise("level1gr4", "md", "LevelOneGr4MD", 60, {"--det-port", "{raw}", "--md-param", "0,10,0,0"}, 60),
        Rise("level1gr4", "di", "LevelOneGr4DI", 0, {"--det-port", "{raw}", "--md-param", "0,10,0,0"}),
        Rise("level1gr2", "md", "LevelOneGr2MD", 60, window, 60),
    };
    rows.back().ownAddress = true;
    RunAtOnce(rows);
}

// Every camera API key of the polling families, with the kinds the factories
// answer with a polling detector (the others use event streams; the keys of
// the first table are not asked again). Sharing one
// poll between the kinds of a camera is per process: each key has a monitor
// of its own.
TEST(FamilyEndToEnd, EveryPolledKeyRisesAndFalls) {
    RunAtOnce({
        Polled("ycamv2", "md,di"), Polled("arecont", "md,di"), Polled("sanyohd2v1", "md,di"),
        Polled("sanyohd2v2", "md,di"), Polled("sanyohdv5", "md,di"), Polled("messoa-pro", "md,di"),
        Polled("messoav2", "md,di"), Polled("messoasdk05", "md,di"),
        Polled("messoasdk05", "md,di", {"--cap", "GROUP11"}), Polled("messoa03", "md,di"), Polled("compro", "md,di"),
        Polled("comproip530", "md,di"), Polled("hunt", "md,di"), Polled("brickcomv2", "md,di"),
        Polled("storageoptions", "md,di"), Polled("zavioprofile", "md,di"), Polled("zaviomegav3", "md"),
        Polled("zaviomega", "di"), Polled("zaviomegav2", "di"), Polled("zaviomegav4", "di"), Polled("zaviovga", "di"),
        Polled("canon", "md,di"), Polled("canon-v2", "di"), Polled("foscam", "md,di"),
        Polled("foscam-h264-v2", "md,di"), Polled("basler", "md,di", {"--stream-format", "2"}),
        Polled("itx", "md,di"), Polled("rayliosv2", "md"), Polled("hisharp", "md"), Polled("bosch", "md,di"),
        Polled("beward", "md,di"), Polled("shany", "md,di"), Polled("nexcom", "md,di"), Polled("grandstream", "md"),
        Polled("truen", "md,di"), Polled("airlivev1", "di"), Polled("airlivev3", "di"), Polled("airlivegen2", "di"),
        Polled("avipcv2", "di"), Polled("level1gr5", "di"), Polled("level1gr1", "di"),
        Polled("level1gr4", "di", {"--cap", "DI_CGI_QUERY"}), Polled("jvc", "di"), Polled("jvcvnt", "di"),
        Polled("jvcvnh", "di"), Polled("edimaxvp", "di"), Polled("acti", "di"), Polled("actitcm", "di"),
        Polled("actide", "di"), Polled("pixordv1", "di"), Polled("messoaa02", "di"), Polled("imege", "di"),
        Polled("stardot", "di"),
    });
}
