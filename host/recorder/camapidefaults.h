// What the recorder's camera-API object answers per camera API key when the
// user has not overridden it: detection paths and ports of each model family.
#ifndef HOST_CAMAPIDEFAULTS_H
#define HOST_CAMAPIDEFAULTS_H

#include <string>

struct CamApiDefault {
    const char* api;    // camera API key
    const char* which;  // "det", "di", "jpg" or "rtp"
    const char* path;
    int port;           // 0: the camera's HTTP port
};

// The row for (api, which), or null.
const CamApiDefault* FindCamApiDefault(const std::string& api, const std::string& which);

#endif  // HOST_CAMAPIDEFAULTS_H
