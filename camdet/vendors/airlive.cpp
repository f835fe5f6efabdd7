// Airlive cameras.
//
// Wire format: motion on a multipart stream whose path and port the camera
// API names, one part per report: level lines
// "group=0;level=12;threshold=20;", or, on "VMD" firmware, event lines such as
// "... Dynamic motion id=17" where a new id is a new motion. Inputs are asked
// one per request, "io/input.cgi?checkactive=<n>" (n from 1), answered
// "input<n>=active" while in alarm.
#include <string>

#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

std::string InputPath(int port) { return "io/input.cgi?checkactive=" + std::to_string(port + 1); }

}  // namespace

MP_CLASS(AirliveMD, MpMotion(MP_PATH_CAM_API_ONLY, mprule::AirliveMotion));
// Answers for one input per request.
CGI_CLASS(AirliveDI, CgiEachInput(InputPath, cgirule::AirliveInput));
