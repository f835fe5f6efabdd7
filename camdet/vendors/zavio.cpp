// Zavio cameras (HTTP/1.1 throughout).
//
// Wire format: motion pushed on a multipart stream whose path the camera API
// names, parts of "group=0;level=12;threshold=20;" lines (VGA models report
// levels 0..1000); V3 firmware is polled for the same lines,
// "cgi-bin/admin/detection?mode=single&type=motion&group=0,...,9", the level
// reported even while no window is above its threshold. Inputs are asked one
// per request on a new connection each time, "cgi-bin/admin/input?check=<n>"
// (n from 1), answered "input<n>:1" while in alarm.
#include <string>

#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kDetection[] = "cgi-bin/admin/detection?mode=single&type=motion&group=0,1,2,3,4,5,6,7,8,9";

std::string InputPath(int port) { return "cgi-bin/admin/input?check=" + std::to_string(port + 1); }

}  // namespace

// VGA models report levels 0..1000.
MP_CLASS(ZavioMD, MpMotion(MP_PATH_CAM_API, mprule::ZavioMotion).Http11());
// Needs HTTP/1.1.
CGI_CLASS(ZavioV3MD, CgiMotion(kDetection, cgirule::ZavioV3Motion).Every(500).Http11());
// Answers for one input per request, on a new connection each time; needs HTTP/1.1.
CGI_CLASS(ZavioDI, CgiEachInput(InputPath, cgirule::ZavioInput).Http11().NewConnectionEachInput());
