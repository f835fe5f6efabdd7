// Publishes the fleet's detector states to an MQTT broker (libmosquitto):
//
//   camdet/<camera>/<kind>            md, td, ad: {"trig":true,"level":100,"time":"<ISO time>"}
//   camdet/<camera>/di/<port>         inputs, ports from 0 as the detectors report them
//   camdet/<camera>/availability      "online" while the camera's health is ok, else "offline"
//   camdet/node/<node>/availability   "online" / "offline" (the last will), one per process
//   homeassistant/binary_sensor/camdet_<camera>/<kind>[_<port>]/config   discovery, with both
//                                     availability topics and availability_mode "all"
//
// A camera that is not ok has no trigger state: its availability goes
// "offline" first, then every state topic of it says so
// ({"trig":null,"level":null,"state":"unreachable","time":...}), and what
// its detectors report meanwhile is not published; once it is ok again,
// "online" and then each detector's next report.
//
// Everything is retained and QoS 1. The latest message of every topic is
// kept here, and all of it is published again on every (re)connect, after
// whatever the library sends again of the connection before, so a broker that
// restarted without persistence or a client that connects late sees the
// current state. Nothing is sent before the broker has accepted the
// connection, and every message goes out under one lock in the order it was
// made. Camera names are unique across an installation and the node name per
// process, so several monitors on several machines can share one broker.
#ifndef TOOLS_MONITOR_MQTTPUB_H
#define TOOLS_MONITOR_MQTTPUB_H

#include <stdio.h>

#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/monitor/statusboard.h"

struct mosquitto;

struct MqttSettings {
    std::string host;
    int port = 1883;
    bool tls = false;
    std::string caFile;
    std::string user;
    std::string password;
    std::string node;  // process name: availability topic and client id
    std::string discoveryPrefix = "homeassistant";
};

// "mqtt://HOST[:PORT]" or "mqtts://HOST[:PORT]" (1883 / 8883). False with a
// one-line error.
bool ParseMqttUrl(const std::string& url, MqttSettings& s, std::string& error);

class MqttPublisher {
public:
    // Messages (connected, lost, refused) go to `log`, one line each, never
    // with the password.
    MqttPublisher(const MqttSettings& s, FILE* log);
    ~MqttPublisher();
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Starts the network thread and the first connection attempt; a broker
    // that is down or goes away is retried in the background (1 s to 30 s
    // apart), with one line per outage. False only for settings the library
    // refuses (TLS files, out of memory).
    bool Start(std::string& error);
    // Publishes "offline", disconnects and joins the network thread; waits at
    // most about two seconds for the broker.
    void Stop();

    // A camera and its detectors: discovery messages now, states as they
    // come. A camera added again (restarted by a reload) keeps its
    // availability and states, and loses the topics of detectors it no
    // longer has.
    void AddCamera(const BoardCamera& cam);
    // Clears the camera's retained discovery, state and availability topics.
    void RemoveCamera(const std::string& name);
    // A detector's change; the same trigger and level again is not sent.
    void Status(const std::string& camera, int kind, int port, bool trig, int level, const std::string& isoTime);
    // The camera's health changed (state: a CamHealthName).
    void Health(const std::string& camera, const std::string& state, const std::string& isoTime);

    std::string AvailabilityTopic() const;
    static std::string CameraAvailabilityTopic(const std::string& camera);
    static std::string StateTopic(const std::string& camera, int kind, int port);
    // camdet_mqtt_connected and camdet_mqtt_state{state="connecting|connected|unauthorized|unreachable"}.
    std::string Metrics();

    // Internal: libmosquitto callbacks.
    void OnConnect(int rc);
    void OnDisconnect(int rc);

private:
    // Keeps topic's message (an empty one deletes it) and sends it when connected.
    void Put(const std::string& topic, const std::string& payload);
    void Send(const std::string& topic, const std::string& payload);  // m_PubMutex held
    std::vector<std::pair<std::string, std::string> > DiscoveryOf(const BoardCamera& cam) const;
    void Say(const std::string& line);
    void Run();             // the network thread
    void Resync();          // on it: the table, once the broker accepted the connection
    bool Pause(int seconds);  // false once stopping

    MqttSettings m_S;
    FILE* m_Log;
    mosquitto* m_Mosq = nullptr;
    bool m_Started = false;

    // Every message goes out under m_PubMutex, taken before m_Mutex.
    std::mutex m_PubMutex;
    std::map<std::string, std::string> m_Retained;  // topic -> payload, republished on connect
    std::map<std::string, std::pair<bool, int> > m_Sent;  // state topic -> trigger and level sent

    std::mutex m_Mutex;  // the cameras and the connection flags
    std::map<std::string, BoardCamera> m_Cams;
    bool m_Connected = false;  // the table went out on this connection: messages may follow
    bool m_Accepted = false;   // the broker accepted the connection; the table is due
    std::string m_State = "connecting";  // for the metrics
    bool m_EverConnected = false;
    bool m_DownReported = false;
    bool m_JustLost = false;  // the connection that just ended had been up
    bool m_Stop = false;
    std::condition_variable m_StopCond;
    std::thread m_Thread;
};

#endif  // TOOLS_MONITOR_MQTTPUB_H
