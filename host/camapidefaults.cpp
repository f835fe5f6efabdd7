#include "host/camapidefaults.h"

namespace {

// One row per (key, getter). Families add their rows as their detectors land.
const CamApiDefault kDefaults[] = {
    {"acti", "di", "cgi-bin/cmd/system?DIO_STATUS", 0},
    {"actitcm", "di", "cgi-bin/cmd/system?DIO_STATUS", 0},
    {"actide", "di", "cgi-bin/cmd/system?DIO_STATUS", 0},
    {"acti", "det", "", 6001},
    {"actitcm", "det", "", 6001},
    {"actide", "det", "", 6001},
    {"axisv3", "det", "axis-cgi/motion/motiondata.cgi", 0},
    {"axisv5", "jpg", "axis-cgi/mjpg/video.cgi", 0},
    {"hikvisionv3", "det", "/ISAPI/Event/notification/alertStream", 0},
};

}  // namespace

const CamApiDefault* FindCamApiDefault(const std::string& api, const std::string& which) {
    for (const CamApiDefault& d : kDefaults) {
        if (api == d.api && which == d.which) return &d;
    }
    return nullptr;
}
