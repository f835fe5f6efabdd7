// End to end over ONVIF: camdet-monitor --json --api onvif --onvif-device
// against the simulated ONVIF device (WS-Security on): the recorder side
// finds the services, the four detectors share one PullPoint subscription,
// each alarm goes on and off, and a subscription that stops working (failed
// pulls, then a subscription the camera forgot) is replaced, the old one
// unsubscribed, and detection goes on.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

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
    EXPECT_NE(logText.find("Failed to pulling event. [][PT2S][8]"), std::string::npos) << logText;
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

TEST(OnvifEndToEnd, WrongPasswordNeverTriggers) {
    camsim::Config cfg;
    cfg.api = "onvif";
    cfg.user = "admin";
    cfg.password = "right";
    cfg.inputs = 1;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;
    sim.SetMotion(true);
    const int port = sim.Port();
    MonitorProcess mon({"--json", "--api", "onvif", "--onvif-device",
                       "http://127.0.0.1:" + std::to_string(port) + "/onvif/device_service", "--user", "admin",
                       "--password", "wrong", "--kinds", "md", "--log", "/dev/null"});
    camtest::StatusLog& log = mon.Log();
    ASSERT_TRUE(log.WaitClasses(1, kStepMs));
    // The device refuses every subscription: detection never starts, and the
    // detector goes on trying (more requests arrive) without a trigger.
    uint64_t before = sim.RequestCount();
    ASSERT_TRUE(sim.WaitRequests(before + 8, kStepMs));
    EXPECT_EQ(log.CountTriggered("md", -1), 0);
    EXPECT_EQ(SimCtl(port, "")["created"], "0");
    EXPECT_EQ(mon.Terminate(), 0);
}

}  // namespace
