// End to end over HTTPS (camsim --tls) under each certificate policy: an
// accepted certificate shows the camera's motion; a wrong pin shows none and
// leaves a log line naming the camera and the pin of the key it showed.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tests/integration/camsim/statuslog.h"
#include "tools/camsim/camsim.h"

using camtest::MonitorProcess;

namespace {

const int kStepMs = 15000;
const char kPassword[] = "tls-Secret-9";
// A well-formed pin of no key the simulator can have made.
const char kWrongPin[] = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

struct Case {
    const char* name;
    const char* api;
    std::vector<std::string> policy;  // "{ca}" and "{pin}": the simulator's certificate and its key's pin
    bool trusted;
};

void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

using camtest::ReadFile;
using camtest::WaitFileHas;

class TlsEndToEnd : public ::testing::TestWithParam<Case> {};

TEST_P(TlsEndToEnd, PolicyDecidesWhatIsSeen) {
    const Case& c = GetParam();
    camsim::Config cfg = camtest::SimConfig(c.api, kPassword, 1);
    cfg.tls = true;
    camsim::CamSim sim(cfg);
    std::string error;
    ASSERT_TRUE(sim.Start(error)) << error;

    const std::string base = std::string(CAMDET_BINARY_DIR) + "/e2e-tls-" + c.name;
    const std::string logPath = base + ".log";
    const std::string caPath = base + "-ca.pem";
    unlink(logPath.c_str());
    std::ofstream(caPath) << sim.TlsCertPem();
    const std::string port = std::to_string(sim.Port());
    std::vector<std::string> args = {"--json", "--api", c.api, "--kinds", "md", "--user", "admin",
                                     "--password", kPassword, "--log", logPath, "--cam-id", "4"};
    if (std::string(c.api) == "onvif") {
        // The port and the scheme come from the device's address.
        args.insert(args.end(), {"--onvif-device", "https://127.0.0.1:" + port + "/onvif/device_service"});
    } else {
        args.insert(args.end(), {"--scheme", "https", "--port", port});
    }
    for (const std::string& a : c.policy) args.push_back(a == "{ca}" ? caPath : a == "{pin}" ? sim.TlsPin() : a);
    sim.SetMotion(true);
    MonitorProcess mon(args, base + ".err");
    ASSERT_TRUE(mon.Running());
    camtest::StatusLog& log = mon.Log();
    if (c.trusted) {
        EXPECT_TRUE(log.WaitState("md", -1, true, 100, kStepMs)) << log.Text() << ReadFile(logPath);
        sim.SetMotion(false);
        EXPECT_TRUE(log.WaitState("md", -1, false, 0, kStepMs)) << log.Text();
    } else {
        EXPECT_TRUE(WaitFileHas(logPath, "Cam[4]: Request to 127.0.0.1:" + port, kStepMs)) << ReadFile(logPath);
        const std::string text = ReadFile(logPath);
        EXPECT_NE(text.find("failed: certificate not accepted ("), std::string::npos) << text;
        EXPECT_NE(text.find("its pin: " + sim.TlsPin() + "\n"), std::string::npos) << text;
        EXPECT_EQ(log.CountTriggered("md", -1), 0) << log.Text();
        // A camera we reach but must not trust is in error, never quiet.
        EXPECT_TRUE(log.WaitHealth("error", kStepMs)) << log.Text();
        // Said at once on stderr, in one line.
        const std::string said = "camdet-monitor: camera error: ";
        EXPECT_TRUE(WaitFileHas(base + ".err", said, kStepMs)) << ReadFile(base + ".err");
        EXPECT_EQ(ReadFile(base + ".err").find(said), ReadFile(base + ".err").rfind(said)) << ReadFile(base + ".err");
        // Never retried over plain HTTP: the camera saw no request at all.
        EXPECT_EQ(sim.RequestCount(), 0u);
    }
    EXPECT_EQ(mon.Signal(SIGTERM), 0);
    for (const std::string& text : {ReadFile(logPath), ReadFile(base + ".err"), log.Text()})
        EXPECT_EQ(text.find(kPassword), std::string::npos) << text;
    unlink(caPath.c_str());
}

// A family that polls over a bare TCP connection gets none to the HTTP port
// of a camera set to HTTPS: its login would go in the clear.
TEST(TlsEndToEndPlainSocket, NoPlainConnectionToAnHttpsCamera) {
    const std::string logPath = std::string(CAMDET_BINARY_DIR) + "/e2e-tls-plain-socket.log";
    unlink(logPath.c_str());
    MonitorProcess mon({"--json", "--api", "siemens", "--kinds", "md", "--scheme", "https", "--tls-verify", "none",
                        "--user", "admin", "--password", kPassword, "--log", logPath, "--cam-id", "5"});
    ASSERT_TRUE(mon.Running());
    EXPECT_TRUE(WaitFileHas(logPath, "Cam[5]: no plain connection to port 80 of a camera on HTTPS", kStepMs))
        << ReadFile(logPath);
    EXPECT_EQ(mon.Signal(SIGTERM), 0);
}

// CA and pin on the polled camera; the alert stream and the ONVIF device share its services: one accepted
// and one refused pin each. (--tls-verify none: MonitorOptions reads it, HttpsLighttpd.CertificatePolicies.)
const Case kCases[] = {
    {"polling_ca", "brickcom", {"--tls-ca", "{ca}"}, true},
    {"polling_pin", "brickcom", {"--tls-pin", "{pin}"}, true},
    {"polling_wrong_pin", "brickcom", {"--tls-pin", kWrongPin}, false},
    {"alertstream_ca", "hikvisionv3", {"--tls-ca", "{ca}"}, true},
    {"alertstream_wrong_pin", "hikvisionv3", {"--tls-pin", kWrongPin}, false},
    {"onvif_ca", "onvif", {"--tls-ca", "{ca}"}, true},
    {"onvif_wrong_pin", "onvif", {"--tls-pin", kWrongPin}, false},
};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Policies, TlsEndToEnd, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });
