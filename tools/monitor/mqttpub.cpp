#include "tools/monitor/mqttpub.h"

#include <errno.h>
#include <mosquitto.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>

#include "tools/common/jsonstring.h"
#include "tools/monitor/librarylog.h"
#include "tools/monitor/options.h"

namespace {

const int kQos = 1;
const int kKeepAliveSec = 30;

const char* DeviceClass(int kind) {
    switch (kind) {
    case 1: return "motion";
    case 3: return "tamper";
    case 4: return "sound";
    default: return nullptr;  // an alarm input says nothing about what it is wired to
    }
}

const char* KindTitle(int kind) {
    switch (kind) {
    case 1: return "motion";
    case 2: return "input";
    case 3: return "tampering";
    case 4: return "audio";
    default: return "?";
    }
}

void OnConnectCb(struct mosquitto*, void* ud, int rc) { static_cast<MqttPublisher*>(ud)->OnConnect(rc); }
void OnDisconnectCb(struct mosquitto*, void* ud, int rc) { static_cast<MqttPublisher*>(ud)->OnDisconnect(rc); }

}  // namespace

bool ParseMqttUrl(const std::string& url, MqttSettings& s, std::string& error) {
    std::string rest;
    if (url.compare(0, 7, "mqtt://") == 0) {
        rest = url.substr(7);
        s.tls = false;
        s.port = 1883;
    } else if (url.compare(0, 8, "mqtts://") == 0) {
        rest = url.substr(8);
        s.tls = true;
        s.port = 8883;
    } else {
        error = "--mqtt " + url + ": expects mqtt://HOST:PORT or mqtts://HOST:PORT";
        return false;
    }
    while (!rest.empty() && rest.back() == '/') rest.pop_back();
    if (rest.find('@') != std::string::npos || rest.find('/') != std::string::npos) {
        error = "--mqtt: expects only HOST:PORT after the scheme (login with --mqtt-user/--mqtt-password)";
        return false;
    }
    std::string host = rest, portText;
    if (!rest.empty() && rest[0] == '[') {
        size_t close = rest.find(']');
        if (close == std::string::npos) {
            error = "--mqtt " + url + ": bad address";
            return false;
        }
        host = rest.substr(1, close - 1);
        if (close + 1 < rest.size()) {
            if (rest[close + 1] != ':') {
                error = "--mqtt " + url + ": bad address";
                return false;
            }
            portText = rest.substr(close + 2);
        }
    } else if (rest.find(':') != std::string::npos) {
        host = rest.substr(0, rest.find(':'));
        portText = rest.substr(rest.find(':') + 1);
    }
    if (!portText.empty() || (rest.find(':') != std::string::npos && rest[0] != '[')) {
        char* end = nullptr;
        long v = strtol(portText.c_str(), &end, 10);
        if (portText.empty() || *end || v < 1 || v > 65535) {
            error = "--mqtt " + url + ": bad port '" + portText + "'";
            return false;
        }
        s.port = (int)v;
    }
    if (host.empty()) {
        error = "--mqtt " + url + ": no host";
        return false;
    }
    s.host = host;
    return true;
}

MqttPublisher::MqttPublisher(const MqttSettings& s, FILE* log) : m_S(s), m_Log(log) {}

MqttPublisher::~MqttPublisher() { Stop(); }

std::string MqttPublisher::AvailabilityTopic() const { return "camdet/node/" + m_S.node + "/availability"; }

std::string MqttPublisher::StateTopic(const std::string& camera, int kind, int port) {
    std::string t = "camdet/" + camera + "/" + KindName(kind);
    if (kind == 2) t += "/" + std::to_string(port < 0 ? 0 : port);
    return t;
}

void MqttPublisher::Say(const std::string& line) {
    if (!m_Log) return;
    const std::string text = "camdet-monitor: MQTT " + m_S.host + ":" + std::to_string(m_S.port) + ": " + line;
    if (m_Log == stderr) {
        SayOnStderr(text);  // a stderr nobody reads must not hold up the network thread
        return;
    }
    fprintf(m_Log, "%s\n", text.c_str());
    fflush(m_Log);
}

bool MqttPublisher::Start(std::string& error) {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
    const std::string clientId = "camdet-" + m_S.node;
    m_Mosq = mosquitto_new(clientId.c_str(), true, this);
    if (!m_Mosq) {
        error = "MQTT: cannot create the client (out of memory)";
        return false;
    }
    mosquitto_int_option(m_Mosq, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V311);
    mosquitto_connect_callback_set(m_Mosq, &OnConnectCb);
    mosquitto_disconnect_callback_set(m_Mosq, &OnDisconnectCb);
    // Queue while the broker is away; the table is republished on connect anyway.
    mosquitto_max_inflight_messages_set(m_Mosq, 1000);
    const std::string avail = AvailabilityTopic();
    if (mosquitto_will_set(m_Mosq, avail.c_str(), 7, "offline", kQos, true) != MOSQ_ERR_SUCCESS) {
        error = "MQTT: cannot set the last will";
        return false;
    }
    if (!m_S.user.empty() &&
        mosquitto_username_pw_set(m_Mosq, m_S.user.c_str(), m_S.password.empty() ? nullptr : m_S.password.c_str()) !=
            MOSQ_ERR_SUCCESS) {
        error = "MQTT: cannot set the login";
        return false;
    }
    if (m_S.tls) {
        int rc = mosquitto_tls_set(m_Mosq, m_S.caFile.empty() ? nullptr : m_S.caFile.c_str(),
                                   m_S.caFile.empty() ? "/etc/ssl/certs" : nullptr, nullptr, nullptr, nullptr);
        if (rc != MOSQ_ERR_SUCCESS) {
            error = std::string("MQTT: TLS set-up failed: ") + mosquitto_strerror(rc);
            return false;
        }
    }
    // Our own network thread rather than mosquitto_loop_start: the library's
    // loop gives up when the very first connection is refused, and a broker
    // that is down at start must be waited for like one that went away.
    mosquitto_threaded_set(m_Mosq, true);
    m_Stop = false;
    m_Thread = std::thread([this] { Run(); });
    m_Started = true;
    return true;
}

bool MqttPublisher::Pause(int seconds) {
    std::unique_lock<std::mutex> lk(m_Mutex);
    return !m_StopCond.wait_for(lk, std::chrono::seconds(seconds), [&] { return m_Stop; });
}

void MqttPublisher::Run() {
    int delay = 1;
    int rc = mosquitto_connect_async(m_Mosq, m_S.host.c_str(), m_S.port, kKeepAliveSec);
    const int firstErrno = errno;
    if (rc != MOSQ_ERR_SUCCESS) {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_DownReported = true;
        m_State = "unreachable";
        Say(std::string("broker unreachable (") +
            (rc == MOSQ_ERR_ERRNO ? strerror(firstErrno) : mosquitto_strerror(rc)) +
            "); publishing once it is up, retrying in the background");
    }
    while (true) {
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            if (m_Stop) break;
        }
        if (rc == MOSQ_ERR_SUCCESS) rc = mosquitto_loop(m_Mosq, 1000, 1);
        if (rc == MOSQ_ERR_SUCCESS) Resync();
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            if (m_Stop) break;
            if (m_Connected) delay = 1;
        }
        if (rc == MOSQ_ERR_SUCCESS) continue;
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            const bool was = m_Connected || m_JustLost;
            m_Connected = false;
            m_Accepted = false;
            m_JustLost = false;
            if (m_State != "unauthorized") m_State = "unreachable";
            if (!m_DownReported) {
                m_DownReported = true;
                Say(was ? "connection lost; reconnecting in the background"
                        : "broker unreachable; retrying in the background");
            }
        }
        if (!Pause(delay)) break;
        delay = std::min(delay * 2, 30);
        rc = mosquitto_reconnect_async(m_Mosq);
    }
}

void MqttPublisher::Stop() {
    if (!m_Mosq) return;
    if (m_Started) {
        bool connected;
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            connected = m_Connected || m_Accepted;
        }
        if (connected) {
            const std::string avail = AvailabilityTopic();
            mosquitto_publish(m_Mosq, nullptr, avail.c_str(), 7, "offline", kQos, true);
            // A moment for the network thread to send it; bounded.
            for (int i = 0; i < 20 && mosquitto_want_write(m_Mosq); ++i) usleep(50 * 1000);
        }
        mosquitto_disconnect(m_Mosq);
        {
            std::lock_guard<std::mutex> g(m_Mutex);
            m_Stop = true;
        }
        m_StopCond.notify_all();
        m_Thread.join();
        m_Started = false;
    }
    mosquitto_destroy(m_Mosq);
    m_Mosq = nullptr;
}

void MqttPublisher::Send(const std::string& topic, const std::string& payload) {
    // Before the broker accepted the connection nothing goes out: a message
    // ahead of the CONNECT is a protocol error that costs the connection.
    // Resync publishes the whole table anyway.
    bool connected;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        connected = m_Connected;
    }
    if (!m_Mosq || !connected) return;
    mosquitto_publish(m_Mosq, nullptr, topic.c_str(), (int)payload.size(), payload.data(), kQos, true);
}

void MqttPublisher::Put(const std::string& topic, const std::string& payload) {
    std::lock_guard<std::mutex> p(m_PubMutex);
    if (payload.empty()) m_Retained.erase(topic);
    else m_Retained[topic] = payload;
    Send(topic, payload);  // an empty retained message deletes
}

std::string MqttPublisher::CameraAvailabilityTopic(const std::string& camera) {
    return "camdet/" + camera + "/availability";
}

std::vector<std::pair<std::string, std::string> > MqttPublisher::DiscoveryOf(const BoardCamera& cam) const {
    std::vector<std::pair<std::string, std::string> > out;
    for (const BoardDetector& d : cam.detectors) {
        std::string object = KindName(d.kind);
        if (d.kind == 2) object += "_" + std::to_string(d.port);
        const std::string uid = "camdet_" + cam.name + "_" + object;
        const std::string topic = m_S.discoveryPrefix + "/binary_sensor/camdet_" + cam.name + "/" + object + "/config";
        std::string name = std::string(KindTitle(d.kind));
        if (d.kind == 2) name += " " + std::to_string(d.port);
        const std::string avail = ",\"payload_available\":\"online\",\"payload_not_available\":\"offline\"}";
        // Unavailable unless both the process and the camera are: a camera
        // nobody can see is never shown as "clear". A null trigger (the
        // camera not ok) is "unknown".
        std::string p = "{\"name\":" + JsonString(name) + ",\"unique_id\":" + JsonString(uid) +
                        ",\"object_id\":" + JsonString(uid) + ",\"state_topic\":" +
                        JsonString(StateTopic(cam.name, d.kind, d.port)) +
                        ",\"value_template\":\"{{ 'None' if value_json.trig is none else "
                        "('ON' if value_json.trig else 'OFF') }}\""
                        ",\"json_attributes_topic\":" +
                        JsonString(StateTopic(cam.name, d.kind, d.port)) + ",\"availability\":[{\"topic\":" +
                        JsonString(AvailabilityTopic()) + avail + ",{\"topic\":" +
                        JsonString(CameraAvailabilityTopic(cam.name)) + avail + "],\"availability_mode\":\"all\"";
        if (DeviceClass(d.kind)) p += std::string(",\"device_class\":\"") + DeviceClass(d.kind) + "\"";
        p += ",\"device\":{\"identifiers\":[" + JsonString("camdet_" + cam.name) + "],\"name\":" +
             JsonString(cam.name) + ",\"model\":" + JsonString(cam.api) + ",\"via_device\":" +
             JsonString("camdet_node_" + m_S.node) + "}}";
        out.push_back(std::make_pair(topic, p));
    }
    return out;
}

void MqttPublisher::AddCamera(const BoardCamera& cam) {
    std::vector<std::pair<std::string, std::string> > disc = DiscoveryOf(cam);
    std::vector<std::string> gone;
    bool restarted;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        auto old = m_Cams.find(cam.name);
        restarted = old != m_Cams.end();
        if (restarted) {
            // Inputs or kinds it no longer has: their discovery and state go.
            std::map<std::string, bool> keep;
            for (const auto& d : disc) keep[d.first] = true;
            for (const BoardDetector& d : cam.detectors) keep[StateTopic(cam.name, d.kind, d.port)] = true;
            for (const auto& d : DiscoveryOf(old->second)) {
                if (!keep.count(d.first)) gone.push_back(d.first);
            }
            for (const BoardDetector& d : old->second.detectors) {
                const std::string t = StateTopic(cam.name, d.kind, d.port);
                if (!keep.count(t)) gone.push_back(t);
            }
        }
        m_Cams[cam.name] = cam;
    }
    for (const std::string& t : gone) {
        Put(t, std::string());
        std::lock_guard<std::mutex> p(m_PubMutex);
        m_Sent.erase(t);
    }
    for (const auto& d : disc) {
        {
            std::lock_guard<std::mutex> p(m_PubMutex);
            auto it = m_Retained.find(d.first);
            if (it != m_Retained.end() && it->second == d.second) continue;  // unchanged
        }
        Put(d.first, d.second);
    }
    // A restarted camera keeps what it published until it says otherwise;
    // a new one is not seen yet.
    if (!restarted) Put(CameraAvailabilityTopic(cam.name), "offline");
}

void MqttPublisher::RemoveCamera(const std::string& name) {
    std::vector<std::string> topics;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        auto it = m_Cams.find(name);
        if (it == m_Cams.end()) return;
        for (const auto& d : DiscoveryOf(it->second)) topics.push_back(d.first);
        for (const BoardDetector& d : it->second.detectors) topics.push_back(StateTopic(name, d.kind, d.port));
        topics.push_back(CameraAvailabilityTopic(name));
        m_Cams.erase(it);
    }
    for (const std::string& t : topics) {
        Put(t, std::string());
        std::lock_guard<std::mutex> p(m_PubMutex);
        m_Sent.erase(t);
    }
}

void MqttPublisher::Status(const std::string& camera, int kind, int port, bool trig, int level,
                           const std::string& isoTime) {
    const std::string topic = StateTopic(camera, kind, port);
    const std::string payload = std::string("{\"trig\":") + (trig ? "true" : "false") +
                                ",\"level\":" + std::to_string(level) + ",\"time\":\"" + isoTime + "\"}";
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        if (!m_Cams.count(camera)) return;
    }
    std::lock_guard<std::mutex> p(m_PubMutex);
    auto sent = m_Sent.find(topic);
    if (sent != m_Sent.end() && sent->second == std::make_pair(trig, level)) return;  // not a change
    m_Sent[topic] = std::make_pair(trig, level);
    m_Retained[topic] = payload;
    Send(topic, payload);
}

void MqttPublisher::Health(const std::string& camera, const std::string& state, const std::string& isoTime) {
    std::vector<std::string> states;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        auto it = m_Cams.find(camera);
        if (it == m_Cams.end()) return;
        for (const BoardDetector& d : it->second.detectors) states.push_back(StateTopic(camera, d.kind, d.port));
    }
    const bool ok = state == "ok";
    // Availability first: whoever reads a state after it knows whether to trust it.
    Put(CameraAvailabilityTopic(camera), ok ? "online" : "offline");
    if (ok) return;
    const std::string payload =
        "{\"trig\":null,\"level\":null,\"state\":" + JsonString(state) + ",\"time\":\"" + isoTime + "\"}";
    std::lock_guard<std::mutex> p(m_PubMutex);
    for (const std::string& t : states) {
        m_Sent.erase(t);  // the next report after the camera is back is news
        m_Retained[t] = payload;
        Send(t, payload);
    }
}

std::string MqttPublisher::Metrics() {
    std::string state;
    bool connected;
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        state = m_State;
        connected = m_Connected;
    }
    std::string out = "# HELP camdet_mqtt_connected 1 while the broker has accepted the connection.\n"
                      "# TYPE camdet_mqtt_connected gauge\ncamdet_mqtt_connected " +
                      std::string(connected ? "1" : "0") +
                      "\n# HELP camdet_mqtt_state 1 for the broker connection's state.\n"
                      "# TYPE camdet_mqtt_state gauge\n";
    for (const char* st : {"connecting", "connected", "unauthorized", "unreachable"})
        out += std::string("camdet_mqtt_state{state=\"") + st + "\"} " + (state == st ? "1" : "0") + "\n";
    return out;
}

void MqttPublisher::OnConnect(int rc) {
    if (rc != 0) {
        std::lock_guard<std::mutex> g(m_Mutex);
        // 4: bad user name or password, 5: not authorised.
        const bool login = rc == 4 || rc == 5;
        m_State = login ? "unauthorized" : "unreachable";
        if (!m_DownReported || login) {
            m_DownReported = true;
            if (login)
                Say(std::string("broker refused the login (") + mosquitto_connack_string(rc) +
                    "); check --mqtt-user and the password; retrying in the background");
            else
                Say(std::string("broker refused the connection: ") + mosquitto_connack_string(rc) +
                    "; retrying in the background");
        }
        return;
    }
    std::lock_guard<std::mutex> g(m_Mutex);
    m_Accepted = true;
    m_State = "connected";
    if (m_DownReported || m_EverConnected) Say("connected");
    m_DownReported = false;
    m_EverConnected = true;
}

void MqttPublisher::Resync() {
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        if (!m_Accepted) return;
    }
    // Not from OnConnect: right after it the library sends again what the
    // previous connection left unacknowledged, and an old state arriving
    // after the table would stay on the broker as the camera's. Once the
    // loop has returned, the table goes after it and every topic's last
    // message is its latest.
    std::lock_guard<std::mutex> p(m_PubMutex);
    {
        std::lock_guard<std::mutex> g(m_Mutex);
        m_Accepted = false;
        m_Connected = true;
    }
    Send(AvailabilityTopic(), "online");
    for (const auto& kv : m_Retained) Send(kv.first, kv.second);
}

void MqttPublisher::OnDisconnect(int) {
    std::lock_guard<std::mutex> g(m_Mutex);
    m_JustLost = m_Connected;
    m_Connected = false;
    m_Accepted = false;
}
