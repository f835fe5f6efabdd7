// Nexcom cameras.
//
// Wire format: polled, "cgi-bin/get_eventaction.cgi?alarmstatus" answers
// "alarmstatus=N" (1 input, 2 motion, 3 both). One poll serves motion and
// input.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kAlarmStatus[] = "cgi-bin/get_eventaction.cgi?alarmstatus";

}  // namespace

CGI_CLASS(NexcomMD, CgiMotion(kAlarmStatus, cgirule::NexcomMotion).Shared());
CGI_CLASS(NexcomDI, CgiInput(kAlarmStatus, cgirule::NexcomInput).Shared());
