// End to end over ONVIF: camdet-monitor --json --api onvif --onvif-device
// against the simulated ONVIF device (WS-Security on, wsa:MessageID
// required): the recorder side finds the services and chooses the topics
// the device lists, the four detectors share one PullPoint subscription,
// each alarm goes on and off, and a subscription that stops working (failed
// pulls, then a subscription the camera forgot) is replaced, the old one
// unsubscribed, and detection goes on; --probe, a mistyped topic key, and a
// device that goes away and comes back.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;

// GET on the device's ONVIF switch board; its "name=value" lines as a map.
std::map<std::string, std::string> SimCtl(int port, const std::string& query) {
    std::map<std::string, std::string> out;
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return out;
    struct timeval tv = {5, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons((uint16_t)port);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, (sockaddr*)&a, sizeof(a)) == 0) {
        // Same Host header as the detectors send: the device keys its state on it.
        std::string req = "GET /onvif/simctl" + (query.empty() ? "" : "?" + query) +
                          " HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n\r\n";
        if (write(fd, req.data(), req.size()) == (ssize_t)req.size()) {
            std::string resp;
            char buf[2048];
            ssize_t n;
            while ((n = read(fd, buf, sizeof(buf))) > 0) resp.append(buf, (size_t)n);
            size_t body = resp.find("\r\n\r\n");
            std::string text = body == std::string::npos ? "" : resp.substr(body + 4);
            size_t start = 0;
            while (start < text.size()) {
                size_t nl = text.find('\n', start);
                if (nl == std::string::npos) nl = text.size();
                std::string line = text.substr(start, nl - start);
                size_t eq = line.find('=');
                if (eq != std::string::npos) out[line.substr(0, eq)] = line.substr(eq + 1);
                start = nl + 1;
            }
        }
    }
    close(fd);
    return out;
}

bool WaitSim(int port, const std::function<bool(std::map<std::string, std::string>&)>& cond, int ms) {
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
        std::map<std::string, std::string> s = SimCtl(port, "");
        if (cond(s)) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(OnvifEndToEnd, FourKindsAndSubscriptionRecovery) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.user = "admin";
    cfg.password = "onvif-Pw1";
    cfg.inputs = 2;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const int port = sim.Port();
    const std::string device = "http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service";

    char logPath[] = "/tmp/camdet-e2e-onvif-XXXXXX";
    int lfd = mkstemp(logPath);
    ASSERT_GE(lfd, 0);
    close(lfd);
    MonitorProcess mon({"--json", "--api", "onvif", "--onvif-device", device, "--user", "admin", "--password",
                       "onvif-Pw1", "--di-count", "2", "--log", logPath});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(4, kStepMs));
    std::map<std::string, std::string> classes = log.Classes();
    EXPECT_EQ(classes["md"], "OnvifMD");
    EXPECT_EQ(classes["di"], "OnvifDI");
    EXPECT_EQ(classes["td"], "OnvifTD");
    EXPECT_EQ(classes["ad"], "OnvifAD");

    // The first pull brings "Initialized" for every property: all quiet.
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    ASSERT_TRUE(log.WaitState("di", 1, false, 0, kStepMs)) << log.Text();

    const std::vector<camtest::Step> steps = {
        {"motion on", [&] { sim.SetMotion(true); }, "md", -1, true, 100},
        {"motion off", [&] { sim.SetMotion(false); }, "md", -1, false, 0},
        {"input 2 on: port 1 by its token", [&] { sim.SetInput(2, true); }, "di", 1, true, 100},
        {"input 2 off", [&] { sim.SetInput(2, false); }, "di", 1, false, 0},
        {"tampering on", [&] { sim.SetTamper(true); }, "td", -1, true, 100},
        {"tampering off", [&] { sim.SetTamper(false); }, "td", -1, false, 0},
        {"audio on", [&] { sim.SetAudio(true); }, "ad", -1, true, 100},
        {"audio off", [&] { sim.SetAudio(false); }, "ad", -1, false, 0},
    };
    camtest::RunSteps(log, steps, kStepMs);
    EXPECT_EQ(log.CountTriggered("di", 0), 0);  // input 1 never went on

    // One subscription serves the four detectors.
    std::map<std::string, std::string> st = SimCtl(port, "");
    EXPECT_EQ(st["created"], "1");

    // Three failed pulls: the subscription is replaced, the old one unsubscribed.
    SimCtl(port, "fail_pulls=3");
    ASSERT_TRUE(WaitSim(port, [](std::map<std::string, std::string>& s) {
        return s["created"] == "2" && s["unsubscribed"] == "1" && s["subscriptions"] == "1";
    }, kStepMs)) << SimCtl(port, "")["created"];
    sim.SetMotion(true);
    ASSERT_TRUE(log.WaitState("md", -1, true, 100, kStepMs)) << log.Text();

    // The camera forgets the subscription: pulls fail until a new one exists.
    SimCtl(port, "drop_subscriptions=1");
    ASSERT_TRUE(WaitSim(port, [](std::map<std::string, std::string>& s) {
        return s["created"] == "3" && s["subscriptions"] == "1";
    }, kStepMs));
    sim.SetMotion(false);
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    sim.SetInput(1, true);
    ASSERT_TRUE(log.WaitState("di", 0, true, 100, kStepMs)) << log.Text();

    EXPECT_EQ(mon.Terminate(), 0);
    // Stopping unsubscribes the last subscription.
    st = SimCtl(port, "");
    EXPECT_EQ(st["subscriptions"], "0");
    EXPECT_EQ(st["unsubscribed"].substr(0, 1), "1");
    EXPECT_EQ(st["no_message_id"], "0");  // the device refuses requests without one
    EXPECT_TRUE(log.BadLines().empty());

    std::string logText;
    {
        FILE* f = fopen(logPath, "r");
        ASSERT_TRUE(f);
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof(buf), f)) > 0) logText.append(buf, n);
        fclose(f);
    }
    unlink(logPath);
    EXPECT_NE(logText.find("Failed to pulling event. [][PT"), std::string::npos) << logText;
    EXPECT_NE(logText.find("S][8]\n"), std::string::npos) << logText;
    EXPECT_EQ(logText.find("onvif-Pw1"), std::string::npos);  // never the password
}

// A device that enforces a three-second termination time: the one
// subscription is renewed before every lapse and no pull fails.
TEST(OnvifEndToEnd, EnforcedTerminationTimeIsRenewed) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.inputs = 0;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const int port = sim.Port();
    SimCtl(port, "strict_term_sec=3");
    MonitorProcess mon({"--json", "--api", "onvif", "--kinds", "md", "--onvif-device",
                        "http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    ASSERT_TRUE(WaitSim(port, [](std::map<std::string, std::string>& s) { return atoi(s["renewals"].c_str()) >= 4; },
                        kStepMs));
    sim.SetMotion(true);
    ASSERT_TRUE(log.WaitState("md", -1, true, 100, kStepMs)) << log.Text();
    std::map<std::string, std::string> st = SimCtl(port, "");
    EXPECT_EQ(st["created"], "1");
    EXPECT_EQ(st["failed_pulls"], "0");
    EXPECT_EQ(mon.Terminate(), 0);
}

// Runs the monitor to its end: its exit status, what it printed on stdout and on stderr.
int RunMonitor(const std::vector<std::string>& args, std::string& out, std::string& err) {
    char errPath[] = "/tmp/camdet-e2e-stderr-XXXXXX";
    int efd = mkstemp(errPath);
    int fds[2];
    if (efd < 0 || pipe(fds) != 0) return -1;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        dup2(efd, 2);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv{const_cast<char*>(CAMDET_MONITOR)};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(CAMDET_MONITOR, argv.data());
        _exit(127);
    }
    close(fds[1]);
    out.clear();
    char buf[4096];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof(buf))) > 0) out.append(buf, (size_t)n);
    close(fds[0]);
    int st = 0;
    waitpid(pid, &st, 0);
    err.clear();
    lseek(efd, 0, SEEK_SET);
    while ((n = read(efd, buf, sizeof(buf))) > 0) err.append(buf, (size_t)n);
    close(efd);
    unlink(errPath);
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

TEST(OnvifEndToEnd, ProbeAndAMistypedTopicKey) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.inputs = 1;
    cfg.onvifTopics = "motionalarm";
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    const std::string device = "http://127.0.0.1:" + std::to_string(sim.Port()) + "/onvif/device_service";
    std::string out, err;
    ASSERT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 0)
        << err;
    EXPECT_NE(out.find("\ntopic tns1:VideoSource/MotionAlarm source Source data State\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\ntopic tns1:Device/Trigger/DigitalInput source InputToken data LogicalState\n"),
              std::string::npos)
        << out;
    EXPECT_NE(out.find("\nmd tns1:VideoSource/MotionAlarm;State (device)\n"), std::string::npos) << out;
    EXPECT_NE(out.find("\ntd tns1:VideoSource/GlobalSceneChange/ImagingService;State (device)\n"), std::string::npos)
        << out;
    EXPECT_EQ(err, "");

    // A key the device does not list: one line naming what it lists; the
    // run goes on with the key (--dry-run included).
    const std::string line =
        "camdet-monitor: --onvif-topic md=tns1:VideoSource/MotionAlarm;Stat: the device does not list it; it lists "
        "tns1:VideoSource/MotionAlarm;State\n";
    for (const char* mode : {"--probe", "--dry-run"}) {
        SCOPED_TRACE(mode);
        EXPECT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--onvif-topic",
                              "md=tns1:VideoSource/MotionAlarm;Stat", mode, "--log", "/dev/null"},
                             out, err),
                  0);
        EXPECT_EQ(err, line);
    }
    // Nobody there: one line and a failure.
    sim.Stop();
    EXPECT_EQ(RunMonitor({"--api", "onvif", "--onvif-device", device, "--probe", "--log", "/dev/null"}, out, err), 1);
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_NE(err.find("does not answer"), std::string::npos) << err;
}

// The device goes away (the connection and the port closed) and comes back:
// the detector says so, asks it for its time meanwhile and detects again.
TEST(OnvifEndToEnd, BackFromAnOutage) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.inputs = 0;
    std::unique_ptr<camsim::CamSim> sim(new camsim::CamSim(cfg));
    std::string error;
    ASSERT_TRUE(sim->Start(error)) << error;
    const int port = sim->Port();
    char logPath[] = "/tmp/camdet-e2e-outage-XXXXXX";
    int lfd = mkstemp(logPath);
    ASSERT_GE(lfd, 0);
    close(lfd);
    MonitorProcess mon({"--json", "--api", "onvif", "--kinds", "md", "--onvif-device",
                        "http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service", "--log", logPath});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    sim->Stop();
    sim.reset();
    auto readLog = [&] { return camtest::ReadFile(logPath); };
    auto waitLog = [&](const char* text) {
        for (int i = 0; i < kStepMs / 50; ++i) {
            if (readLog().find(text) != std::string::npos) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    };
    EXPECT_TRUE(waitLog("Failed to reach the ONVIF device; asking it for its time every 2 s.")) << readLog();
    cfg.port = port;
    sim.reset(new camsim::CamSim(cfg));
    ASSERT_TRUE(sim->Start(error)) << error;
    EXPECT_TRUE(waitLog("The ONVIF device answers again.")) << readLog();
    sim->SetMotion(true);
    EXPECT_TRUE(log.WaitState("md", -1, true, 100, kStepMs)) << log.Text();
    EXPECT_EQ(mon.Terminate(), 0);
    unlink(logPath);
}

}  // namespace
