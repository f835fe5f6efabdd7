// Command line of camdet-monitor.
#ifndef TOOLS_MONITOR_OPTIONS_H
#define TOOLS_MONITOR_OPTIONS_H

#include <map>
#include <string>
#include <vector>

struct DetParamOpt {
    int kind;  // DET_TYPE_*
    int key;
    std::string value;
};

struct MonitorOptions {
    std::string api;
    std::string host = "127.0.0.1";
    int port = 80;
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
    bool demo = false;
    std::string onvifDevice;
    std::map<int, std::string> onvifTopics;  // kind -> topic key
    bool help = false;
};

// Parses argv. On a bad or missing option returns false and sets error to a
// one-line message naming it.
bool ParseMonitorOptions(int argc, const char* const* argv, MonitorOptions& opt, std::string& error);

const char* MonitorUsage();

// "md" -> 1 ... "ad" -> 4; 0 for anything else.
int KindFromName(const std::string& name);
const char* KindName(int kind);

#endif  // TOOLS_MONITOR_OPTIONS_H
