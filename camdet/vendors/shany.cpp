// Shany cameras.
//
// Wire format: polled, "/vb.htm?getalarmstatus" answers
// "getalarmstatus=NNNNN": 00001 input, 00002 motion, 00003 both. One poll
// serves motion and input.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kAlarmStatus[] = "/vb.htm?getalarmstatus";

}  // namespace

CGI_CLASS(ShanyMD, CgiMotion(kAlarmStatus, cgirule::ShanyMotion).Shared());
CGI_CLASS(ShanyDI, CgiInput(kAlarmStatus, cgirule::ShanyInput).Shared());
