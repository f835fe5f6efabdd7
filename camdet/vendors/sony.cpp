// Sony cameras.
//
// Wire format: "/command/alarmdata.cgi?interval=1" pushes multipart parts of
// lines: "MDWin1=1" (window lines "..Win<n>=<v>") while a window sees motion,
// "Sensor<n>=1" (n from 1) while an input is in alarm. Motion and inputs share
// the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kAlarmData[] = "/command/alarmdata.cgi?interval=1";

}  // namespace

MP_CLASS(SonyMD, MpMotion(kAlarmData, mprule::SonyMotion).Shared());
MP_CLASS(SonyDI, MpInput(kAlarmData, mprule::SonyInput).Shared());
