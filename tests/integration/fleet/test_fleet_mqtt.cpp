// End to end over MQTT: a real mosquitto on loopback, simulated cameras of
// three transports (polling, multipart, ONVIF) and camdet-monitor --config
// --mqtt; mosquitto_sub sees what is published.
#include <gtest/gtest.h>
#include <json/json.h>

#include "tests/fixtures/testutil.h"
#include "tests/integration/camsim/monitorprocess.h"
#include "tools/camsim/fleet.h"

using camtest::Child;
using camtest::MonitorProcess;
using camtest::ParseJson;

namespace {

const int kWaitMs = 20000;  // bound of one expected change

// A subscriber (mosquitto_sub) to "camdet/#" and "homeassistant/#" keeping
// every message in order and the latest payload of every topic.
class Subscriber {
public:
    explicit Subscriber(int port, const std::string& user = "", const std::string& password = "") {
        std::vector<std::string> argv{"/usr/bin/mosquitto_sub", "-h", "127.0.0.1", "-p", std::to_string(port), "-q",
                                      "1", "-t", "camdet/#", "-t", "homeassistant/#", "-F", "%t %p"};
        if (!user.empty()) argv.insert(argv.end(), {"-u", user, "-P", password});
        m_Proc.reset(new Child(argv, camtest::TempPath("mosquitto_sub.err")));
        m_Proc->Read([this](const std::string& line) {
            const size_t sp = line.find(' ');
            std::lock_guard<std::mutex> g(m_Mutex);
            m_Seq.emplace_back(line.substr(0, sp), sp == std::string::npos ? std::string() : line.substr(sp + 1));
            m_Latest[m_Seq.back().first] = m_Seq.back().second;
            m_Cond.notify_all();
        });
    }
    // Waits until `topic`'s latest payload satisfies `ok`.
    bool Wait(const std::string& topic, const std::function<bool(const std::string&)>& ok, int ms = kWaitMs) {
        std::unique_lock<std::mutex> lk(m_Mutex);
        return m_Cond.wait_for(lk, std::chrono::milliseconds(ms), [&] {
            auto it = m_Latest.find(topic);
            return it != m_Latest.end() && ok(it->second);
        });
    }
    bool WaitTrig(const std::string& topic, bool trig, int level) {
        return Wait(topic, [&](const std::string& p) {
            const Json::Value v = ParseJson(p);
            // Exactly the three fields, the time in ISO form.
            return v.size() == 3 && v["trig"].isBool() && v["trig"].asBool() == trig && v["level"].asInt() == level &&
                   v["time"].isString() && v["time"].asString().size() == 24 && v["time"].asString().back() == 'Z';
        });
    }
    // A state payload that says the camera's trigger is not known, and why.
    bool WaitUnknown(const std::string& topic, const std::string& state) {
        const std::string said = "\"state\":\"" + state + "\"";
        return Wait(topic, [&](const std::string& p) {
            return p.find("\"trig\":null") != std::string::npos && p.find(said) != std::string::npos;
        });
    }
    bool WaitSet(const std::string& topic) { return Wait(topic, [](const std::string& p) { return !p.empty(); }); }
    bool WaitIs(const std::string& topic, const std::string& payload) {
        return Wait(topic, [&](const std::string& p) { return p == payload; });
    }
    std::string Latest(const std::string& topic) {
        std::lock_guard<std::mutex> g(m_Mutex);
        auto it = m_Latest.find(topic);
        return it == m_Latest.end() ? std::string() : it->second;
    }
    // Every message of topics under `prefix` since the `from`th, in the order they came.
    std::vector<std::pair<std::string, std::string> > Since(size_t from, const std::string& prefix) {
        std::lock_guard<std::mutex> g(m_Mutex);
        std::vector<std::pair<std::string, std::string> > out;
        for (size_t i = from; i < m_Seq.size(); ++i) {
            if (m_Seq[i].first.compare(0, prefix.size(), prefix) == 0) out.push_back(m_Seq[i]);
        }
        return out;
    }
    size_t Count() { return Since(0, "").size(); }

private:
    std::mutex m_Mutex;
    std::condition_variable m_Cond;
    std::map<std::string, std::string> m_Latest;
    std::vector<std::pair<std::string, std::string> > m_Seq;
    std::unique_ptr<Child> m_Proc;  // last: its reader ends before the members above go
};

std::string Discovery(const std::string& cam, const std::string& sensor = "md") {
    return "homeassistant/binary_sensor/camdet_" + cam + "/" + sensor + "/config";
}

std::string MqttUrl(int port) { return "mqtt://127.0.0.1:" + std::to_string(port); }

// A discovery payload's availability topics; "all" of them must be online.
std::vector<std::string> AvailabilityOf(const Json::Value& v) {
    std::vector<std::string> out;
    if (v["availability_mode"].asString() != "all") return out;
    for (const Json::Value& a : v["availability"]) {
        if (a["payload_available"].asString() == "online" && a["payload_not_available"].asString() == "offline")
            out.push_back(a["topic"].asString());
    }
    return out;
}

class Broker {
public:
    // passwordFile: mosquitto_passwd's file; "": anyone may connect.
    explicit Broker(int port, const std::string& passwordFile = "") : m_Port(port), m_Passwords(passwordFile) {}
    // True once it takes connections.
    bool Start() {
        const std::string conf = camtest::TempPath("mosquitto.conf");
        const std::string access = m_Passwords.empty() ? "allow_anonymous true\n"
                                                       : "allow_anonymous false\npassword_file " + m_Passwords + "\n";
        camtest::WriteFile(conf, "listener " + std::to_string(m_Port) + " 127.0.0.1\npersistence false\n" + access);
        m_Proc.reset(new Child({"/usr/sbin/mosquitto", "-c", conf}, camtest::TempPath("mosquitto.err"), false));
        return camtest::Eventually(10000, [&] { return camtest::CanConnect(m_Port); });
    }
    void Stop() {
        m_Proc->Kill(SIGTERM);
        m_Proc->Wait();
        m_Proc.reset();
    }

private:
    int m_Port;
    std::string m_Passwords;
    std::unique_ptr<Child> m_Proc;
};

TEST(FleetMqtt, ChangesDiscoveryRestartAndLastWill) {
    camsim::FleetOptions fo;
    fo.rows = {{"truen", 2}, {"hikvisionv3", 2}, {"onvif", 1}};
    fo.user = "admin";
    fo.password = "fleet-Pw1";
    fo.inputs = 2;
    camsim::Fleet sims;
    std::string err;
    ASSERT_TRUE(sims.Start(fo, err)) << err;
    const std::string config = camtest::TempPath("mqtt.yaml");
    camtest::WriteFile(config, sims.MonitorConfig());
    const int port = camtest::FreeLoopbackPort();
    const std::string monErr = camtest::TempPath("mqtt-monitor.err");
    // One shard of one: the process's node name is its shard's by default.
    MonitorProcess mon({"--config", config, "--json", "--mqtt", MqttUrl(port), "--shard=1/1", "--log",
                        camtest::TempPath("mqtt-lib.log")},
                       monErr);
    camtest::StatusLog& log = mon.Log();

    // The broker is down at start: one line says so, and the cameras run.
    ASSERT_TRUE(camtest::WaitFileHas(monErr, "broker unreachable", kWaitMs)) << camtest::ReadFile(monErr);
    ASSERT_TRUE(log.WaitState("md", -1, false, -1, kWaitMs, "truen-1")) << log.Text();

    Broker broker(port);
    ASSERT_TRUE(broker.Start());
    std::unique_ptr<Subscriber> sub(new Subscriber(port));
    const std::string avail = "camdet/node/shard-1/availability";
    ASSERT_TRUE(sub->WaitIs(avail, "online"));

    // Discovery: one binary sensor per detector (and per input port), each
    // pointing at its state topic and the process's availability.
    for (size_t i = 0; i < sims.Size(); ++i) {
        const std::string cam = sims.Name(i);
        ASSERT_TRUE(sub->WaitSet(Discovery(cam))) << cam;
        const Json::Value v = ParseJson(sub->Latest(Discovery(cam)));
        EXPECT_EQ("camdet/" + cam + "/md", v["state_topic"].asString());
        // Unavailable unless both the process and the camera are.
        EXPECT_EQ(AvailabilityOf(v), (std::vector<std::string>{avail, "camdet/" + cam + "/availability"}));
        EXPECT_EQ("motion", v["device_class"].asString());
        EXPECT_EQ("camdet_" + cam + "_md", v["unique_id"].asString());
        EXPECT_TRUE(sub->WaitSet(Discovery(cam, "di_1"))) << cam;
    }

    // Every camera changes; the broker restarts without persistence; the
    // monitor reconnects and a new client gets the current state retained.
    for (size_t i = 0; i < sims.Size(); ++i) {
        sims.At(i).SetMotion(true, 100);
        sims.At(i).SetInput(2, true);
    }
    sub.reset();
    broker.Stop();
    ASSERT_TRUE(broker.Start());
    sub.reset(new Subscriber(port));
    for (size_t i = 0; i < sims.Size(); ++i)
        EXPECT_TRUE(sub->WaitTrig("camdet/" + sims.Name(i) + "/md", true, 100)) << sims.Name(i);
    EXPECT_TRUE(sub->WaitIs(avail, "online"));
    EXPECT_TRUE(sub->WaitSet(Discovery(sims.Name(0))));

    // A reload: a broken file first changes nothing; then the first camera,
    // whose motion is on, restarts with one input fewer, the last is released,
    // a new one starts on the second's camera and the others run on untouched.
    // No change a camera did not make is published (the restarted camera's
    // one md message since is its own "false"), and the input it no longer
    // has loses its discovery and state.
    const std::string cam = sims.Name(0), gone = sims.Name(sims.Size() - 1), kept = sims.Name(2);
    ASSERT_TRUE(sub->WaitSet(Discovery(cam, "di_1")));
    const int created = log.Detectors(cam), keptCreated = log.Detectors(kept);
    const size_t mark = sub->Count();
    camtest::WriteFile(config, "cameras:\n  x: [\n");
    mon.Kill(SIGHUP);
    ASSERT_TRUE(camtest::WaitFileHas(monErr, "the running cameras stay as they are", kWaitMs))
        << camtest::ReadFile(monErr);
    std::string text = sims.MonitorConfig();
    const size_t at = text.find("di-count: 2"), last = text.find("  " + gone + ":\n");
    ASSERT_NE(at, std::string::npos);
    ASSERT_NE(last, std::string::npos);
    text = text.substr(0, last) + "  extra:\n    api: truen\n    port: " + std::to_string(sims.At(1).Port()) +
           "\n    user: admin\n    password: fleet-Pw1\n    kinds: [md]\n";
    camtest::WriteFile(config, text.replace(at, 11, "di-count: 1"));
    mon.Kill(SIGHUP);
    ASSERT_TRUE(log.WaitDetectors(cam, created + 1, kWaitMs)) << log.Text();
    ASSERT_TRUE(camtest::WaitFileHas(monErr, "1 started, 1 restarted, 1 released, 3 unchanged", kWaitMs))
        << camtest::ReadFile(monErr);
    EXPECT_EQ(keptCreated, log.Detectors(kept));
    EXPECT_TRUE(sub->WaitIs(Discovery(cam, "di_1"), ""));
    EXPECT_TRUE(sub->WaitIs("camdet/" + cam + "/di/1", ""));
    ASSERT_TRUE(log.WaitHealth("ok", kWaitMs, cam));
    // The restarted, the new and a kept camera follow their cameras; the released one says nothing more.
    for (size_t i : {(size_t)0, (size_t)1, sims.Size() - 1}) sims.At(i).SetMotion(false);
    ASSERT_TRUE(sub->WaitTrig("camdet/" + cam + "/md", false, 0));
    EXPECT_TRUE(sub->WaitTrig("camdet/extra/md", false, 0)) << sub->Latest("camdet/extra/md");
    EXPECT_TRUE(log.WaitState("md", -1, false, -1, kWaitMs, sims.Name(1))) << log.Text();
    EXPECT_TRUE(log.WaitState("md", -1, true, -1, 0, gone)) << "the released camera reported";
    const auto md = sub->Since(mark, "camdet/" + cam + "/md");
    std::string mdText;
    for (const auto& m : md) mdText += m.second + "\n";
    ASSERT_EQ(1u, md.size()) << mdText;
    EXPECT_NE(md.front().second.find("\"trig\":false"), std::string::npos) << mdText;
    for (const auto& m : sub->Since(mark, "camdet/" + cam + "/availability")) EXPECT_EQ("online", m.second);

    // Killed without a goodbye: the broker publishes the last will.
    mon.Signal(SIGKILL);
    EXPECT_TRUE(sub->WaitIs(avail, "offline"));
    EXPECT_TRUE(log.BadLines().empty()) << log.Text();
    // One line for the outage at start, not one per retry.
    const std::string errText = camtest::ReadFile(monErr);
    EXPECT_EQ(errText.find("unreachable"), errText.rfind("unreachable")) << errText;
    broker.Stop();
}

// Health from the recorder's side: a healthy camera; one that turns to HTTP
// 500; a wrong password on the healthy one's host and port; an ONVIF device
// and a HikVision camera (input on) gone for 20 s. Each state in the JSON
// lines, the page's API, the metrics and the broker (availability first).
TEST(FleetMqtt, HealthPerCameraAndAvailability) {
    camsim::FleetOptions fo;
    fo.rows = {{"truen", 2}, {"hikvisionv3", 1}};
    fo.user = "admin";
    fo.password = "health-Pw1";
    // Basic: the simulator's Digest nonces are shared by clients challenged
    // in the same second, and the refused one's would spoil the other's.
    fo.auth = camsim::Auth::kBasic;
    camsim::Fleet sims;
    std::string err;
    ASSERT_TRUE(sims.Start(fo, err)) << err;
    camsim::Config oc = camtest::SimConfig("onvif", "health-Pw1", 0);
    std::unique_ptr<camsim::CamSim> onvif(new camsim::CamSim(oc));
    ASSERT_TRUE(onvif->Start(err)) << err;
    oc.port = onvif->Port();
    const std::string config = camtest::TempPath("health.yaml");
    camtest::WriteFile(config, sims.MonitorConfig() + "  gate:\n    api: truen\n    host: 127.0.0.1\n    port: " +
                                     std::to_string(sims.At(0).Port()) +
                                     "\n    user: admin\n    password: gate-Wrong1\n    kinds: [md]\n"
                                     "  yard:\n    api: onvif\n    onvif-device: http://127.0.0.1:" +
                                     std::to_string(oc.port) +
                                     "/onvif/device_service\n    user: admin\n    password: health-Pw1\n"
                                     "    kinds: [md]\n");
    // The broker wants a login; a second monitor gives it a wrong password.
    const std::string passwords = camtest::TempPath("mosquitto.passwd");
    Child mkpw({"/usr/bin/mosquitto_passwd", "-b", "-c", passwords, "camdet", "broker-Pw1"},
               camtest::TempPath("mosquitto_passwd.err"), false);
    ASSERT_EQ(0, mkpw.Wait());
    const int port = camtest::FreeLoopbackPort();
    const std::string monErr = camtest::TempPath("health-monitor.err");
    const int httpPort = camtest::FreeLoopbackPort(), wrongHttp = camtest::FreeLoopbackPort();
    Broker broker(port, passwords);
    ASSERT_TRUE(broker.Start());
    Subscriber sub(port, "camdet", "broker-Pw1");
    MonitorProcess mon({"--config", config, "--json", "--mqtt", MqttUrl(port), "--mqtt-user", "camdet",
                        "--mqtt-password", "broker-Pw1", "--mqtt-node", "hnode", "--http", std::to_string(httpPort),
                        "--log", camtest::TempPath("health-lib.log")},
                       monErr);
    const std::string one = camtest::TempPath("health-one.yaml"), wrongErr = camtest::TempPath("mqtt-auth.err");
    camtest::WriteFile(one, "cameras:\n  a:\n    api: truen\n    port: 1\n");
    MonitorProcess wrong({"--config", one, "--mqtt", MqttUrl(port), "--mqtt-user", "camdet", "--mqtt-password",
                          "wrong-Pw", "--http", std::to_string(wrongHttp), "--log", "/dev/null"},
                         wrongErr);
    camtest::StatusLog& log = mon.Log();

    for (const char* cam : {"truen-1", "truen-2", "hikvisionv3-1", "yard"}) {
        EXPECT_TRUE(log.WaitHealth("ok", kWaitMs, cam)) << cam << "\n" << log.Text();
        EXPECT_TRUE(sub.WaitIs("camdet/" + std::string(cam) + "/availability", "online")) << cam;
    }
    ASSERT_TRUE(log.WaitHealth("unauthorized", kWaitMs, "gate")) << log.Text();
    EXPECT_TRUE(sub.WaitIs("camdet/gate/availability", "offline"));
    // Home Assistant shows the camera unavailable, not "clear".
    ASSERT_TRUE(sub.WaitSet(Discovery("gate")));
    EXPECT_EQ(AvailabilityOf(ParseJson(sub.Latest(Discovery("gate")))),
              (std::vector<std::string>{"camdet/node/hnode/availability", "camdet/gate/availability"}));
    EXPECT_TRUE(sub.WaitUnknown("camdet/gate/md", "unauthorized")) << sub.Latest("camdet/gate/md");

    // Motion on the camera that then answers 500: its availability goes
    // first, then its state says it is not known.
    sims.At(1).SetMotion(true, 100);
    ASSERT_TRUE(sub.WaitTrig("camdet/truen-2/md", true, 100)) << sub.Latest("camdet/truen-2/md");
    const size_t mark = sub.Count();
    sims.At(1).SetFault(camsim::kFault500, true);
    ASSERT_TRUE(log.WaitHealth("error", kWaitMs, "truen-2")) << log.Text();
    EXPECT_TRUE(sub.WaitUnknown("camdet/truen-2/md", "error")) << sub.Latest("camdet/truen-2/md");
    const auto after = sub.Since(mark, "camdet/truen-2/");
    ASSERT_FALSE(after.empty());
    EXPECT_EQ(after.front(), std::make_pair(std::string("camdet/truen-2/availability"), std::string("offline")));
    const std::string api = camtest::HttpGet(httpPort, "/api/cameras");
    EXPECT_NE(api.find("\"name\":\"truen-2\",\"api\":\"truen\",\"address\":\"127.0.0.1:" +
                       std::to_string(sims.At(1).Port()) + "\",\"state\":\"error\""),
              std::string::npos)
        << api;
    // The ONVIF camera, set up before the board knows it, is listed too.
    EXPECT_NE(api.find("\"name\":\"yard\",\"api\":\"onvif\""), std::string::npos) << api;
    const std::string metrics = camtest::HttpGet(httpPort, "/metrics");
    for (const char* line : {"camdet_camera_up{camera=\"truen-1\"} 1", "camdet_camera_up{camera=\"truen-2\"} 0",
                             "camdet_camera_state{camera=\"truen-2\",state=\"error\"} 1",
                             "camdet_camera_state{camera=\"gate\",state=\"unauthorized\"} 1",
                             "camdet_camera_state{camera=\"gate\",state=\"ok\"} 0", "camdet_mqtt_connected 1"})
        EXPECT_NE(metrics.find(line), std::string::npos) << line << "\n" << metrics;
    // A wrong broker password is told apart from a broker that is not there, on stderr and in /metrics.
    ASSERT_TRUE(camtest::WaitFileHas(wrongErr, "broker refused the login", kWaitMs)) << camtest::ReadFile(wrongErr);
    EXPECT_EQ(std::string::npos, camtest::ReadFile(wrongErr).find("broker unreachable")) << camtest::ReadFile(wrongErr);
    EXPECT_EQ(std::string::npos, camtest::ReadFile(wrongErr).find("wrong-Pw"));
    const std::string wrongMetrics = camtest::HttpGet(wrongHttp, "/metrics");
    EXPECT_NE(wrongMetrics.find("camdet_mqtt_connected 0"), std::string::npos) << wrongMetrics;
    EXPECT_NE(wrongMetrics.find("camdet_mqtt_state{state=\"unauthorized\"} 1"), std::string::npos) << wrongMetrics;
    sims.At(1).SetFault(camsim::kFault500, false);
    EXPECT_TRUE(sub.WaitTrig("camdet/truen-2/md", true, 100)) << sub.Latest("camdet/truen-2/md");
    EXPECT_TRUE(sub.WaitIs("camdet/truen-2/availability", "online"));

    // The HikVision camera vanishes with its input on (its stream stalls,
    // then nothing answers), and the ONVIF device goes away, for 20 s.
    const std::string hik = "camdet/hikvisionv3-1/";
    auto inputOn = [](const std::string& p) { return p.find("\"trig\":true") != std::string::npos; };
    sims.At(2).SetInput(2, true);
    ASSERT_TRUE(sub.Wait(hik + "di/1", inputOn)) << sub.Latest(hik + "di/1");
    const size_t hikMark = sub.Count();
    sims.At(2).SetFault(camsim::kFaultVanish, true);
    onvif->Stop();
    onvif.reset();
    EXPECT_TRUE(log.WaitHealth("unreachable", kWaitMs, "yard")) << log.Text();
    EXPECT_TRUE(sub.WaitIs("camdet/yard/availability", "offline"));
    std::this_thread::sleep_for(std::chrono::seconds(20));
    EXPECT_EQ(log.Health("hikvisionv3-1").back(), "unreachable") << log.Text();
    sims.At(2).SetFault(camsim::kFaultVanish, false);
    // Back, with a motion of 4 s at once: seen, because the device is
    // subscribed again within 3 s of its return.
    onvif.reset(new camsim::CamSim(oc));
    ASSERT_TRUE(onvif->Start(err)) << err;
    camsim::Scenario sc;
    ASSERT_TRUE(camsim::ParseScenario("at 0 motion on 100\nat 4 motion off\n", sc, err)) << err;
    onvif->RunScenario(sc);
    EXPECT_TRUE(sub.WaitTrig("camdet/yard/md", true, 100)) << sub.Latest("camdet/yard/md");
    EXPECT_TRUE(sub.WaitIs("camdet/yard/availability", "online"));
    EXPECT_TRUE(log.WaitHealth("ok", kWaitMs, "yard"));
    EXPECT_EQ(0u, onvif->RefusedLogins());
    // Its availability went first; back, the input is on and was never off.
    EXPECT_TRUE(sub.WaitIs(hik + "availability", "online"));
    EXPECT_TRUE(sub.Wait(hik + "di/1", inputOn)) << sub.Latest(hik + "di/1");
    const auto hikAfter = sub.Since(hikMark, hik);
    ASSERT_FALSE(hikAfter.empty());
    EXPECT_EQ(hikAfter.front(), std::make_pair(hik + "availability", std::string("offline")));
    for (const auto& m : sub.Since(hikMark, hik + "di/1")) EXPECT_EQ(m.second.find("\"trig\":false"), m.second.npos);

    // Whatever the others went through, the camera sharing the wrong
    // password's host and port stayed ok, and that camera was refused at
    // most 3 logins in all this time.
    EXPECT_EQ(log.Health("truen-1"), std::vector<std::string>{"ok"});
    EXPECT_LE(sims.At(0).RefusedLogins(), 3u);
    EXPECT_GE(sims.At(0).RefusedLogins(), 1u);
    EXPECT_EQ(log.Health("truen-2"), (std::vector<std::string>{"ok", "error", "ok"}));
    // In the JSON lines too, nothing of truen-2 between its error and its return.
    bool failed = false;
    for (const std::string& l : log.Order()) {
        if (l.find("\"camera\":\"truen-2\"") == std::string::npos) continue;
        if (l.find("\"event\":\"camera\"") == std::string::npos) EXPECT_FALSE(failed) << l;
        else failed = l.find("\"state\":\"error\"") != std::string::npos;
    }
    EXPECT_TRUE(log.BadLines().empty()) << log.Text();
    for (const auto& m : sub.Since(0, "")) {
        EXPECT_EQ(std::string::npos, m.second.find("health-Pw1"));
        EXPECT_EQ(std::string::npos, m.second.find("gate-Wrong1"));
    }
    // The broker was up from the start: the first connection held.
    EXPECT_EQ(std::string::npos, camtest::ReadFile(monErr).find("MQTT")) << camtest::ReadFile(monErr);
    EXPECT_EQ(0, mon.Signal(SIGTERM));
    // The wrong password's camera is never "quiet", and no password is in the log, stdout or stderr.
    EXPECT_FALSE(log.WaitState("md", -1, false, 0, 0, "gate")) << log.Text();
    for (const std::string& text :
         {camtest::ReadFile(monErr), camtest::ReadFile(camtest::TempPath("health-lib.log")), log.Text()}) {
        EXPECT_EQ(text.find("gate-Wrong1"), std::string::npos) << text;
        EXPECT_EQ(text.find("health-Pw1"), std::string::npos) << text;
    }
    broker.Stop();
}

}  // namespace
