// Acumen cameras.
//
// Wire format: one long-lived multipart response on the camera API's
// detection port ("getalarmmotion"), each part a few "key=value" lines:
// "MotionDetect=1" while motion is detected, "AlarmInputDetect=1" while the
// input is in alarm. Motion and input share the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kAlarmStream[] = "getalarmmotion";

}  // namespace

MP_CLASS(AcumenMD, MpMotion(kAlarmStream, mprule::AcumenMotion).Shared().OnDetPort());
MP_CLASS(AcumenDI, MpInput(kAlarmStream, mprule::AcumenInput).Shared().OnDetPort());
