// The monitor as a service meets it: "--opt=value", --version, --check-config,
// the systemd unit's command lines, and the library's log (never holding up the
// thread that logs, said once when it cannot be written).
#include <fcntl.h>
#include <gtest/gtest.h>

#include <regex>

#include "dupfromox/oxdebuglog.h"
#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/monitor/librarylog.h"
#include "tools/monitor/options.h"
#include "tools/monitor/shard.h"

using camtest::RunToEnd;

namespace {

struct OptCase {
    std::vector<const char*> args;
    const char* error;  // part of the error; null: accepted
    std::function<bool(const MonitorOptions&)> check;
};

const char kPin[] = "sha256//47DEQpj8HBSa+/TImW+5JCeuQeRkm5NMpJWZG3hSuFU=";

TEST(MonitorOptions, InlineValuesReadAsSeparateOnes) {
    const std::string secret = camtest::TempPath("opt-secret");
    camtest::WriteFile(secret, "from-file\n");
    const std::string secretOpt = "--password-file=" + secret;
    const OptCase kCases[] = {
        {{"--api=truen", "--port=8080"}, nullptr,
         [](const MonitorOptions& o) { return o.api == "truen" && o.port == 8080; }},
        // Only the first '=' splits: the value keeps the rest.
        {{"--api", "truen", "--password=a=b"}, nullptr, [](const MonitorOptions& o) { return o.password == "a=b"; }},
        {{"--api", "truen", secretOpt.c_str()}, nullptr,
         [](const MonitorOptions& o) { return o.password == "from-file"; }},
        // Bad values are named as with a space.
        {{"--api", "truen", "--port=70000"}, "option --port: expects a port number", nullptr},
        {{"--api", "truen", "--json=yes"}, "option --json takes no value", nullptr},
        {{"--bogus=1"}, "unknown option '--bogus'", nullptr},
        {{"--config", "c.yaml", "--shard=0/3"}, "option --shard: expects K/N", nullptr},
        {{"--api", "truen", "--shard=1/2"}, "--shard goes with --config", nullptr},
        {{"--check-config", "c.yaml", "--config", "c.yaml"}, "--check-config FILE only reads the file", nullptr},
        {{"--api", "truen", "--password", "x", "--password-file", secret.c_str()}, "not both", nullptr},
        // HTTPS: the port follows the scheme unless given; the device's address sets both (a given pin
        // and an https:// device address: the TLS end-to-end test).
        {{"--api", "truen", "--scheme=https"}, nullptr,
         [](const MonitorOptions& o) { return o.https && o.port == 443 && o.tlsVerify == "ca"; }},
        {{"--api", "onvif", "--onvif-device", "https://cam/onvif/device_service", "--tls-verify=none"}, nullptr,
         [](const MonitorOptions& o) { return o.https && o.port == 443 && o.tlsVerify == "none"; }},
        {{"--api", "truen", "--tls-verify", "maybe"}, "option --tls-verify: expects ca, pin or none", nullptr},
        {{"--api", "truen", "--tls-verify", "pin"}, "--tls-verify pin needs --tls-pin", nullptr},
        {{"--api", "truen", "--tls-verify", "none", "--tls-pin", kPin}, "--tls-pin goes with --tls-verify pin",
         nullptr},
        {{"--api", "truen", "--tls-ca", "/nonexistent/ca.pem"}, "option --tls-ca: cannot read", nullptr},
        {{"--api", "onvif", "--scheme", "http", "--onvif-device", "https://cam/onvif/device_service"},
         "an https:// --onvif-device goes with --scheme https", nullptr},
    };
    for (const OptCase& c : kCases) {
        std::vector<const char*> argv{"camdet-monitor"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        std::string joined;
        for (const char* a : c.args) joined += std::string(" ") + a;
        MonitorOptions opt;
        std::string err;
        const bool ok = ParseMonitorOptions((int)argv.size(), argv.data(), opt, err);
        if (c.error) {
            EXPECT_FALSE(ok) << joined;
            EXPECT_NE(std::string::npos, err.find(c.error)) << joined << ": " << err;
            EXPECT_EQ(std::string::npos, err.find('\n')) << err;
        } else {
            ASSERT_TRUE(ok) << joined << ": " << err;
            EXPECT_TRUE(c.check(opt)) << joined;
        }
    }
}

// --version is one line; a log that cannot be written is said once on stderr,
// not lost in silence.
TEST(MonitorCli, VersionAndAnUnwritableLog) {
    std::vector<std::string> out;
    std::string err;
    EXPECT_EQ(0, RunToEnd({"--version"}, out, err));
    ASSERT_EQ(1u, out.size()) << err;
    EXPECT_TRUE(std::regex_match(out[0], std::regex("camdet-monitor [0-9]+\\.[0-9]+\\.[0-9]+"))) << out[0];
    EXPECT_EQ(0, RunToEnd({"--api", "truen", "--port", "1", "--duration", "1", "--log", "/nonexistent-dir/camdet.log"},
                          out, err));
    const std::string said = "cannot write the library log '/nonexistent-dir/camdet.log'";
    EXPECT_NE(std::string::npos, err.find(said)) << err;
    EXPECT_EQ(err.find(said), err.rfind(said)) << err;
}

// The cameras of the file, one line each without a login; a key no detector
// has is found here, not only camera by camera at run time: one line naming
// file and line, exit status 2. (With --shard: the service unit's reload.)
TEST(MonitorCli, CheckConfigListsTheCamerasOrNamesABadKey) {
    const std::string config = camtest::TempPath("check.yaml");
    camtest::WriteFile(config, "cameras:\n  cam-1:\n    api: hikvisionv3\n    host: 192.0.2.77\n    port: 8001\n"
                               "    user: admin\n    password: Pw-in-file\n"
                               "  cam-2:\n    api: truen\n    kinds: [md, td]\n");
    std::vector<std::string> out;
    std::string err;
    ASSERT_EQ(0, RunToEnd({"--check-config", config}, out, err)) << err;
    EXPECT_EQ(out, (std::vector<std::string>{"cam-1 hikvisionv3 192.0.2.77:8001 md,di,td,ad",
                                             "cam-2 truen 127.0.0.1:80 md,td", config + ": 2 cameras"}));
    EXPECT_TRUE(err.empty()) << err;

    camtest::WriteFile(config, "cameras:\n  a:\n    api: truen\n  b:\n    api: no-such-key\n");
    out.clear();
    EXPECT_EQ(2, RunToEnd({"--check-config", config}, out, err));
    EXPECT_EQ("camdet-monitor: " + config + ":4: camera 'b': unknown camera API key 'no-such-key'\n", err);
    EXPECT_TRUE(out.empty());
}

// The systemd unit in dist/: its start and reload command lines, with the
// variables a machine's environment file sets, run as they stand.
TEST(MonitorCli, TheServiceUnitsCommandLinesRun) {
    const std::string unitPath = std::string(CAMDET_SOURCE_DIR) + "/dist/camdet-monitor@.service";
    std::string unit = camtest::ReadFile(unitPath);
    ASSERT_FALSE(unit.empty()) << unitPath;
    for (size_t p; (p = unit.find("\\\n")) != std::string::npos;) unit.replace(p, 2, " ");
    const std::string config = camtest::TempPath("unit.yaml");
    camtest::WriteFile(config, "cameras:\n  a:\n    api: truen\n    port: 1\n  b:\n    api: truen\n    port: 1\n"
                                 "  c:\n    api: truen\n    port: 1\n");
    const std::map<std::string, std::string> vars = {
        {"/usr/local/bin/camdet-monitor", CAMDET_MONITOR},
        {"/etc/camdet/cameras.yaml", config},
        {"%i", "2"},
        {"${CAMDET_SHARDS}", "3"},
        {"${CAMDET_MQTT}", "mqtt://127.0.0.1:" + std::to_string(camtest::FreeLoopbackPort())},
        {"$CAMDET_ARGS", ""},
        {"$CAMDET_SHARD_ARGS", ""},
    };
    auto command = [&](const std::string& key) {
        const size_t at = unit.find("\n" + key + "=");
        std::string line = at == std::string::npos ? std::string() : unit.substr(at + key.size() + 2);
        line = line.substr(0, line.find('\n'));
        for (const auto& kv : vars) {
            for (size_t p; (p = line.find(kv.first)) != std::string::npos;) line.replace(p, kv.first.size(), kv.second);
        }
        std::vector<std::string> words;
        std::istringstream in(line);
        for (std::string w; in >> w;) words.push_back(w);
        return words;
    };
    std::vector<std::string> start = command("ExecStart"), reload = command("ExecReload");
    ASSERT_GT(start.size(), 1u);
    ASSERT_GT(reload.size(), 1u);
    EXPECT_EQ(CAMDET_MONITOR, start[0]);
    std::vector<std::string> out;
    std::string err;
    start.insert(start.end(), {"--duration", "0"});
    EXPECT_EQ(0, RunToEnd(std::vector<std::string>(start.begin() + 1, start.end()), out, err, "unit-start")) << err;
    EXPECT_NE(std::string::npos, err.find(": shard 2/3 of 3 cameras: ")) << err;
    out.clear();
    EXPECT_EQ(0, RunToEnd(std::vector<std::string>(reload.begin() + 1, reload.end()), out, err, "unit-reload")) << err;
    // The reload's check lists its shard's cameras only (the split: Shard.EveryCameraInExactlyOneShardAndShardsEven).
    std::vector<std::string> want;
    for (const char* c : {"a", "b", "c"}) {
        if (ShardOf(c, 3) == 2) want.push_back(c);
    }
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(config + ": " + std::to_string(want.size()) + " of 3 cameras in shard 2/3", out.back());
    out.pop_back();
    for (std::string& l : out) l = l.substr(0, l.find(' '));
    EXPECT_EQ(want, out);
}

TEST(LibraryLog, AFullStderrNeverHoldsUpTheLoggingThread) {
    int fds[2];
    ASSERT_EQ(0, pipe2(fds, O_CLOEXEC));
    fcntl(fds[1], F_SETPIPE_SZ, 4096);
    LogLibraryToFd(fds[1]);

    // Nobody reads the pipe: far more than the queue holds must still return.
    const int kEntries = 20000;
    const std::string filler(180, 'x');
    for (int i = 0; i < kEntries; ++i) BrellinOwned::OXPrintf("test:1:Fill(): entry %d %s\n", i, filler.c_str());

    // The queue is bounded: once the pipe is read, after the entries it kept
    // comes a line counting the ones it dropped.
    fcntl(fds[0], F_SETFL, O_NONBLOCK);
    std::string text;
    EXPECT_TRUE(camtest::Eventually(20000, [&] {
        char buf[65536];
        for (ssize_t n; (n = read(fds[0], buf, sizeof(buf))) > 0;) text.append(buf, (size_t)n);
        return text.find(" log lines dropped") != std::string::npos;
    })) << text.size() << " bytes read";
    EXPECT_NE(std::string::npos, text.find("test:1:Fill(): entry 0 "));
    close(fds[0]);
    close(fds[1]);
}

}  // namespace
