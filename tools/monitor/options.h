// Command line of camdet-monitor.
#ifndef TOOLS_MONITOR_OPTIONS_H
#define TOOLS_MONITOR_OPTIONS_H

#include <map>
#include <string>
#include <vector>

#include "interface/camhealth.h"

struct DetParamOpt {
    int kind;  // DET_TYPE_*
    int key;
    std::string value;
};

struct MonitorOptions {
    std::string api;
    std::string host = "127.0.0.1";
    int port = 80;  // with https: the HTTPS port (443; the camera's HTTP port stays 80)
    bool https = false;           // --scheme https (implied by an https:// --onvif-device)
    std::string tlsVerify = "ca";  // --tls-verify ca|pin|none (pin implied by --tls-pin)
    std::string tlsPin;           // sha256//BASE64
    std::string tlsCa;            // CA certificates (PEM) instead of the system's
    std::string user;
    std::string password;
    std::string model;
    int camId = 1;
    int diCount = 1;
    std::vector<std::string> caps;
    std::vector<int> hasCaps;
    int streamFormat = 0;
    bool streamFormatSet = false;
    int streamProtocol = 1;
    bool fifo = false;
    std::string fifoUrl;  // MJPEG URL that feeds the FIFO (implies fifo)
    std::string rtspUrl;  // RTSP stream of the recorder's shared RTP fetcher
    bool noPrepare = false;
    std::vector<int> kinds = {1, 2, 3, 4};  // DET_TYPE_* in the order given
    bool detPathSet = false;
    std::string detPath;
    int detPort = 0;
    bool mdParamSet = false;
    int mdParam[4] = {0, 0, 0, 0};
    std::vector<DetParamOpt> detParams;
    double duration = -1;  // seconds; < 0: until SIGINT/SIGTERM
    bool json = false;
    std::string logFile;
    bool dryRun = false;
    bool probe = false;  // --probe: list the ONVIF device's topics and the choice, then exit
    bool demo = false;
    std::string onvifDevice;
    std::map<int, std::string> onvifTopics;  // kind -> topic key
    BrellinOwned::LOGIN_RATION loginRation;  // --login-ration N/SEC
    bool help = false;
    bool version = false;

    // Whole-process settings (never per camera).
    std::string config;        // --config FILE: the cameras come from this YAML file
    std::string mqttUrl;       // --mqtt mqtt://HOST:PORT (mqtts:// for TLS)
    std::string mqttUser;
    std::string mqttPassword;  // also from CAMDET_MQTT_PASSWORD
    std::string mqttCaFile;
    std::string mqttNode;      // this process's name on the broker (default: the host name)
    std::string httpAddr;      // --http ADDR:PORT or PORT (then 127.0.0.1)
    std::string checkConfig;   // --check-config FILE: validate, list the cameras, exit
    int shard = 0;             // --shard K/N: run the cameras of shard K (1..N) of N; 0: all
    int shards = 0;
};

// Parses argv; every long option may also be given as "--opt=value". On a bad
// or missing option returns false and sets error to a one-line message naming
// it.
bool ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& opt, std::string& error);

const char* MonitorUsage();

// True for the long option names (without dashes) a camera of a --config file
// may set: the per-camera options of the command line.
bool IsCameraOption(const std::string& name);
// True for the camera options that take no value (--fifo, --no-prepare).
bool IsCameraFlag(const std::string& name);
// True for the camera options that may be given more than once.
bool IsRepeatableOption(const std::string& name);

// Reads a secret (a password) from the file at `path`: its text without the
// line ends at its end. False with `why` (naming the path, never the content)
// when it cannot be read, is empty or is longer than a password can be.
bool ReadSecretFile(const std::string& path, std::string& secret, std::string& why);

// "md" -> 1 ... "ad" -> 4; 0 for anything else.
int KindFromName(const std::string& name);
const char* KindName(int kind);

#endif  // TOOLS_MONITOR_OPTIONS_H
