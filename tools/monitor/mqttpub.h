// Publishes the fleet's detector states to an MQTT broker (libmosquitto):
//
//   camdet/<camera>/<kind>            md, td, ad: {"trig":true,"level":100,"time":"<ISO time>"}
//   camdet/<camera>/di/<port>         inputs, ports from 0 as the detectors report them
//   camdet/node/<node>/availability   "online" / "offline" (the last will), one per process
//   homeassistant/binary_sensor/camdet_<camera>/<kind>[_<port>]/config   discovery
//
// Everything is retained and QoS 1. The latest state of every detector is
// kept here, and all of it (availability, discovery, states) is published
// again on every (re)connect, so a broker that restarted without persistence
// or a client that connects late sees the current state. Camera names are
// unique across an installation and the node name per process, so several
// monitors on several machines can share one broker.
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

    // A camera and its detectors: discovery messages now, states as they come.
    void AddCamera(const BoardCamera& cam);
    // Clears the camera's retained discovery and state topics.
    void RemoveCamera(const std::string& name);
    void Status(const std::string& camera, int kind, int port, bool trig, int level, const std::string& isoTime);

    std::string AvailabilityTopic() const;
    static std::string StateTopic(const std::string& camera, int kind, int port);

    // Internal: libmosquitto callbacks.
    void OnConnect(int rc);
    void OnDisconnect(int rc);

private:
    struct Entry {
        std::string payload;
    };
    void Publish(const std::string& topic, const std::string& payload);
    std::vector<std::pair<std::string, std::string> > DiscoveryOf(const BoardCamera& cam) const;
    void Say(const std::string& line);
    void Run();             // the network thread
    bool Pause(int seconds);  // false once stopping

    MqttSettings m_S;
    FILE* m_Log;
    mosquitto* m_Mosq = nullptr;
    bool m_Started = false;

    std::mutex m_Mutex;  // the tables below and the connection flags
    std::map<std::string, BoardCamera> m_Cams;
    std::map<std::string, std::string> m_Retained;  // topic -> payload, republished on connect
    bool m_Connected = false;
    bool m_EverConnected = false;
    bool m_DownReported = false;
    bool m_JustLost = false;  // the connection that just ended had been up
    bool m_Stop = false;
    std::condition_variable m_StopCond;
    std::thread m_Thread;
};

#endif  // TOOLS_MONITOR_MQTTPUB_H
