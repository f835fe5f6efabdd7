// Beward cameras.
//
// Wire format: polled, "/cgi-bin/alarmstate_cgi?action=get&user=U&pwd=P" with
// the login in the query (unescaped: the camera reads it there); the answer
// names what is in alarm: "MotionDetection", "SensorAlarm". One poll serves
// motion and input.
#include <string>

#include "camdet/transport/cgivendordetector.h"

namespace {

// Credentials go into the query unescaped: the camera reads them there.
std::string LoginPath(const CgiPathArgs& cam) {
    return "/cgi-bin/alarmstate_cgi?action=get&user=" + cam.user + "&pwd=" + cam.password;
}

}  // namespace

// Takes its login in the query.
CGI_CLASS(BewardMD, CgiMotion(LoginPath, cgirule::BewardMotion).Shared());
CGI_CLASS(BewardDI, CgiInput(LoginPath, cgirule::BewardInput).Shared());
