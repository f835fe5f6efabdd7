// The --config file: settings mean what their command-line options mean, a
// bad file is one line naming file, line and problem (exit 2), a port already
// in use is one line (exit 1). (SIGHUP's reload: FleetMqtt.ChangesDiscovery-
// RestartAndLastWill.)
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/monitor/fleetconfig.h"

namespace {

// Settings mean their options (a flag, a repeated option); ${NAME} takes the
// environment's value anywhere in a value or list item, "$${" is a plain
// "${", other '$' stay; a password file (relative to the configuration's
// directory) gives its text without the line end.
TEST(FleetConfig, SettingsEnvironmentAndPasswordFile) {
    const std::string dir = camtest::TempPath("envdir");
    mkdir(dir.c_str(), 0700);
    const std::string pwPath = dir + "/cam-pw";
    camtest::WriteFile(pwPath, "s3cret$$x\r\n");
    camtest::WriteFile(dir + "/ca.pem", "");  // a CA file, like a password file, beside the configuration
    setenv("CAMDET_T_API", "truen", 1);
    setenv("CAMDET_T_N", "7", 1);
    setenv("CAMDET_T_KIND", "td", 1);
    setenv("CAMDET_T_EMPTY", "", 1);
    const std::string text = "cameras:\n"
                             "  a:\n"
                             "    api: ${CAMDET_T_API}\n"
                             "    host: cam-${CAMDET_T_N}.example\n"
                             "    user: $${literal}\n"
                             "    password-file: cam-pw\n"
                             "    kinds: [md, '${CAMDET_T_KIND}']\n"
                             "  b:\n"
                             "    api: truen\n"
                             "    password: pa$$word${CAMDET_T_EMPTY}\n"
                             "    scheme: https\n"
                             "    tls-ca: ca.pem\n"
                             "    fifo: true\n"
                             "  yard:\n"
                             "    api: onvif\n"
                             "    onvif-device: http://192.0.2.20/onvif/device_service\n"
                             "    onvif-topic: [md=motion, di=input]\n";
    std::vector<FleetCamera> cams;
    std::string err;
    ASSERT_TRUE(ParseFleetConfig(text, dir + "/env.yaml", cams, err)) << err;
    ASSERT_EQ(3u, cams.size());
    const MonitorOptions &a = cams[0].opt, &b = cams[1].opt, &c = cams[2].opt;
    EXPECT_EQ((std::vector<std::string>{a.api, a.host, a.user, a.password, b.password, b.tlsCa, c.onvifTopics.at(2)}),
              (std::vector<std::string>{"truen", "cam-7.example", "${literal}", "s3cret$$x", "pa$$word",
                                        dir + "/ca.pem", "input"}));
    EXPECT_EQ((std::vector<int>{1, 3}), a.kinds);
    EXPECT_TRUE(b.https && b.fifo);
    EXPECT_EQ(443, b.port);

    // A changed secret is a changed camera to a reload.
    const std::vector<std::string> before = cams[0].args;
    camtest::WriteFile(pwPath, "other\n");
    ASSERT_TRUE(ParseFleetConfig(text, dir + "/env.yaml", cams, err)) << err;
    EXPECT_NE(before, cams[0].args);
}

struct BadCase {
    const char* name;
    const char* text;
    int line;            // 0: no line in the message
    const char* words;   // must appear in the message
    const char* absent = nullptr;  // must not appear (a value from the environment)
};

void PrintTo(const BadCase& c, std::ostream* os) { *os << c.name; }

const BadCase kBad[] = {
    {"not_yaml", "cameras:\n  a: [\n", 3, "not valid YAML"},
    {"no_cameras", "other: 1\n", 1, "unknown top-level key 'other'"},
    {"empty_cameras", "cameras: {}\n", 1, "'cameras' must map"},
    {"camera_not_map", "cameras:\n  a: 5\n", 2, "expected a map of settings"},
    {"bad_name", "cameras:\n  'a b':\n    api: truen\n", 2, "bad camera name"},
    {"no_api", "cameras:\n  a:\n    port: 80\n", 2, "has no 'api'"},
    {"unknown_key", "cameras:\n  a:\n    api: truen\n    colour: red\n", 4, "unknown camera setting 'colour'"},
    {"bad_kind", "cameras:\n  a:\n    api: truen\n    kinds: [md, xx]\n", 4, "'kinds'"},
    {"list_for_scalar", "cameras:\n  a:\n    api: truen\n    host: [a, b]\n", 4, "takes one value"},
    {"map_value", "cameras:\n  a:\n    api: truen\n    host: {x: 1}\n", 4, "not a map"},
    {"no_value", "cameras:\n  a:\n    api: truen\n    host:\n", 4, "has no value"},
    {"bad_flag", "cameras:\n  a:\n    api: truen\n    fifo: maybe\n", 4, "true or false"},
    {"bad_scheme", "cameras:\n  a:\n    api: truen\n    scheme: ftp\n", 4, "'scheme' expects http or https"},
    {"bad_pin", "cameras:\n  a:\n    api: truen\n    tls-pin: abc\n", 4, "'tls-pin' expects sha256//"},
    {"duplicate_setting", "cameras:\n  a:\n    api: truen\n    api: onvif\n", 4, "appears twice"},
    {"env_unset", "cameras:\n  a:\n    api: truen\n    host: ${CAMDET_T_UNSET}\n", 4,
     "'host': environment variable 'CAMDET_T_UNSET' is not set"},
    {"env_bad_name", "cameras:\n  a:\n    api: truen\n    host: ${CAMDET T}\n", 4, "a '${' without a NAME}"},
    {"env_value_not_echoed", "cameras:\n  a:\n    api: truen\n    port: ${CAMDET_T_BAD_PORT}\n", 4,
     "'port' expects a port number 1-65535 (the value from the environment)", "Hidden"},
    {"password_file_missing", "cameras:\n  a:\n    api: truen\n    password-file: ${CAMDET_T_DIR}/nope\n", 4,
     "'password-file' cannot read '"},
    {"password_file_empty", "cameras:\n  a:\n    api: truen\n    password-file: ${CAMDET_T_DIR}/empty\n", 4,
     "/empty' is empty"},
    {"password_and_file", "cameras:\n  a:\n    api: truen\n    password: x\n    password-file: /p\n", 5,
     "'password' and 'password-file' both given"},
};

class FleetConfigBad : public ::testing::TestWithParam<BadCase> {
public:
    static void SetUpTestSuite() {
        const std::string dir = camtest::TempPath("pwdir");
        mkdir(dir.c_str(), 0700);
        camtest::WriteFile(dir + "/empty", "\n");
        setenv("CAMDET_T_DIR", dir.c_str(), 1);
        setenv("CAMDET_T_BAD_PORT", "70000Hidden", 1);
        unsetenv("CAMDET_T_UNSET");
    }
};

TEST_P(FleetConfigBad, OneLineNamingFileLineAndProblem) {
    const BadCase& c = GetParam();
    std::vector<FleetCamera> cams;
    std::string err;
    EXPECT_FALSE(ParseFleetConfig(c.text, "cams.yaml", cams, err));
    EXPECT_TRUE(cams.empty());
    EXPECT_EQ(std::string::npos, err.find('\n')) << err;
    const std::string prefix = c.line ? "cams.yaml:" + std::to_string(c.line) + ": " : "cams.yaml: ";
    EXPECT_EQ(0u, err.find(prefix)) << err;
    EXPECT_NE(std::string::npos, err.find(c.words)) << err;
    if (c.absent) {
        EXPECT_EQ(std::string::npos, err.find(c.absent)) << err;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, FleetConfigBad, ::testing::ValuesIn(kBad),
                         [](const ::testing::TestParamInfo<BadCase>& i) { return std::string(i.param.name); });

TEST(FleetCli, BadFileAndBusyPortAreOneLine) {
    const std::string bad = camtest::TempPath("bad.yaml");
    camtest::WriteFile(bad, "cameras:\n  a:\n    api: truen\n    port: nope\n");
    std::vector<std::string> out;
    std::string text;
    EXPECT_EQ(2, camtest::RunToEnd({"--config", bad, "--json"}, out, text));
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n')) << text;
    EXPECT_NE(std::string::npos, text.find(bad + ":4: camera 'a': 'port'")) << text;

    // Someone else (a simulated camera) holds the status page's port.
    camsim::CamSim other(camtest::SimConfig("truen", "pw"));
    ASSERT_TRUE(other.Start(text)) << text;
    const std::string good = camtest::TempPath("good.yaml");
    camtest::WriteFile(good, "cameras:\n  a:\n    api: truen\n    port: 1\n");
    EXPECT_EQ(1,
              camtest::RunToEnd({"--config", good, "--http", "127.0.0.1:" + std::to_string(other.Port())}, out, text));
    EXPECT_EQ(1, std::count(text.begin(), text.end(), '\n')) << text;
    EXPECT_NE(std::string::npos, text.find("Address already in use")) << text;
}

}  // namespace
