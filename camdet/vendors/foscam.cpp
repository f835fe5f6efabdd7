// Foscam cameras.
//
// Wire format: polled. The older models answer "get_status.cgi" with
// JavaScript lines, "var alarm_status=1;" (1 motion, 2 input); the H.264 V2
// models "cgi-bin/CGIProxy.fcgi?usr=U&pwd=P&cmd=getDevState" (the login in
// the query) with XML items on their own lines,
// "<motionDetectAlarm>2</motionDetectAlarm>" and "<IOAlarm>2</IOAlarm>" while
// in alarm.
#include <string>

#include "camdet/transport/cgivendordetector.h"

namespace {

// Credentials go into the query unescaped: the camera reads them there.
std::string V2Path(const CgiPathArgs& cam) {
    return "cgi-bin/CGIProxy.fcgi?usr=" + cam.user + "&pwd=" + cam.password + "&cmd=getDevState";
}

}  // namespace

CGI_CLASS(FoscamMD, CgiMotion("get_status.cgi", cgirule::FoscamMotion).Every(1500));
// Takes its login in the query.
CGI_CLASS(FoscamV2MD, CgiMotion(V2Path, cgirule::FoscamV2Motion).Every(1500));
CGI_CLASS(FoscamDI, CgiInput("get_status.cgi", cgirule::FoscamInput).Every(1500));
CGI_CLASS(FoscamV2DI, CgiInput(V2Path, cgirule::FoscamV2Input).Every(1500));
