#include "host/recorder/camapidefaults.h"

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
    {"axisv3s", "det", "axis-cgi/motion/motiondata.cgi", 0},
    {"axisv5s", "det", "axis-cgi/motion/motiondata.cgi", 0},
    {"vivotek2", "det", "video.mjpg", 0},
    {"vivotek7v2", "det", "video.mjpg", 0},
    {"vivotek8", "det", "video.mjpg", 0},
    {"vivotekvs", "det", "video.mjpg", 0},
    {"basler", "det", "cgi-bin/mjpeg", 0},
    {"jvc", "det", "api/video", 0},
    {"jvcvnt", "det", "api/video", 0},
    {"jvcvnh", "det", "api/video", 0},
    {"panasonicfw1", "det", "nphMotionJpeg", 0},
    {"panasonicfw3", "det", "nphMotionJpeg", 0},
    {"panasonicfw4", "det", "nphMotionJpeg", 0},
    {"panasonicmp", "det", "nphMotionJpeg", 0},
    {"hikvisionv3", "det", "/ISAPI/Event/notification/alertStream", 0},
    // Multipart event and status streams.
    {"airlivev1", "det", "/cgi-bin/motion_push.cgi", 0},
    {"airlivev2", "det", "/cgi-bin/motion_push.cgi", 0},
    {"airlivev3", "det", "/cgi-bin/motion_push.cgi", 0},
    {"airlivegen2", "det", "/cgi-bin/motion_push.cgi", 0},
    {"avipcv2", "det", "/cgi-bin/motion_push.cgi", 0},
    {"edimaxv2", "det", "/mjpg/motion.cgi?push=1", 0},
    {"edimaxv3", "det", "/mjpg/motion.cgi?push=1", 0},
    {"edimaxvp", "det", "/cgi-bin/mdlevel_push.cgi", 0},
    {"etrovision", "det", "/cgi-bin/event_push.cgi", 0},
    {"etrovisionv2", "det", "/cgi-bin/event_push.cgi", 0},
    {"etrovisionmp", "det", "/cgi-bin/event_push.cgi", 0},
    {"pixordv1", "det", "/cgi-bin/motionlevel.cgi?push=1", 0},
    {"panasonicipro", "det", "/cgi-bin/eventstatus.cgi?push=1", 0},
    {"panasonicipro3m", "det", "/cgi-bin/eventstatus.cgi?push=1", 0},
    {"panasoniciprodome", "det", "/cgi-bin/eventstatus.cgi?push=1", 0},
    {"ipuxfw1", "det", "/cgi-bin/eventstream.cgi", 0},
    {"ipux5m", "det", "/cgi-bin/eventstream.cgi", 0},
    {"zaviomega", "det", "/cgi-bin/mdlevel.cgi?push=1", 0},
    {"zaviomegav2", "det", "/cgi-bin/mdlevel.cgi?push=1", 0},
    {"zaviomegav4", "det", "/cgi-bin/mdlevel.cgi?push=1", 0},
    {"zaviovga", "det", "/cgi-bin/mdlevel.cgi?push=1", 0},
};

}  // namespace

const CamApiDefault* FindCamApiDefault(const std::string& api, const std::string& which) {
    for (const CamApiDefault& d : kDefaults) {
        if (api == d.api && which == d.which) return &d;
    }
    return nullptr;
}
