// Siemens cameras.
//
// Wire format: polled with a bare request on a raw socket (no
// authentication), "GET /cgi-bin/GetAlarmState.cgi"; the whole raw answer is
// searched for "Motion" and "Alarm" (the input). One poll serves motion and
// input.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kAlarmState[] = "cgi-bin/GetAlarmState.cgi";

}  // namespace

// Answers only a bare request on a raw socket, quickly: short time-out, no pause between polls.
CGI_CLASS(SiemensMD, CgiMotion(kAlarmState, cgirule::SiemensMotion).Every(0).Shared().Timeout(1).RawSocket());
CGI_CLASS(SiemensDI, CgiInput(kAlarmState, cgirule::SiemensInput).Every(0).Shared().Timeout(1).RawSocket());
