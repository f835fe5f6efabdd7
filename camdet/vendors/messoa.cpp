// Messoa cameras.
//
// Wire format: polled, one answer for motion and inputs. The classic
// firmware answers "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus" with
// "Mode N" lines (1 input, 2 motion, 3 both; Messoa03: modes 1..inputs are
// the inputs, the mode after them motion); Pro firmware "Alarm.Status=N" (40:
// the input on newer firmware); SDK05 "cgi-bin/get_event_status.cgi" with
// "motion_status=on" and "alarm_status=on" ("alarm_<p>_status" with several
// inputs), or, on "GROUP11" firmware, another CGI answering JSON-like pairs
// '"system.motion_alarm.status":["ok","on"]'. A02 firmware pushes motion on
// the multipart stream "/operator/get_md.cgi" ("value=12;objectsize=10;"
// lines) and is asked for its inputs with one query key per input.
#include <string>

#include "camdet/rules/trigrules.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kAlarmStatus[] = "cgi-bin/admin/param.cgi?type=Get&group=AlarmStatus";
constexpr char kProAlarm[] = "cgi-bin/admin/param.cgi?action=list&group=Alarm";

std::string SDK05Path(const CgiPathArgs& cam) {
    return cam.flag ? "cgi-bin/get?system.motion_alarm.status&system.external_alarm_input1.status"
                    : "cgi-bin/get_event_status.cgi";
}
std::string A02InputsPath(const CgiPathArgs& cam) { return trig::MessoaA02InputQuery(cam.inputs); }

}  // namespace

CGI_CLASS(MessoaMD, CgiMotion(kAlarmStatus, cgirule::MessoaMotion).Every(500).Shared());
CGI_CLASS(MessoaProMD, CgiMotion(kProAlarm, cgirule::MessoaProMotion).Every(500).Shared());
// GROUP11 firmware has another CGI and answers JSON-like pairs.
CGI_CLASS(MessoaSDK05MD, CgiMotion(SDK05Path, cgirule::MessoaSDK05Motion).Shared());
CGI_CLASS(Messoa03MD, CgiMotion(kAlarmStatus, cgirule::Messoa03Motion).Every(500).Shared());
MP_CLASS(MessoaA02MD, MpMotion("/operator/get_md.cgi", mprule::MessoaA02Motion));
CGI_CLASS(MessoaDI, CgiInput(kAlarmStatus, cgirule::MessoaInput).Every(500).Shared());
CGI_CLASS(MessoaProDI, CgiInput(kProAlarm, cgirule::MessoaProInput).Every(500).Shared());
CGI_CLASS(MessoaSDK05DI, CgiInput(SDK05Path, cgirule::MessoaSDK05Input).Shared());
// One query key per input.
CGI_CLASS(MessoaA02DI, CgiInput(A02InputsPath, cgirule::MessoaA02Input));
CGI_CLASS(Messoa03DI, CgiInput(kAlarmStatus, cgirule::Messoa03Input).Every(500).Shared());
