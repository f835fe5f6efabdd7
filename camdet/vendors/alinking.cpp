// Alinking cameras.
//
// Wire format: one long-lived multipart response on the camera API's
// detection port, each part status lines in the form
// 'Motion.M0.Status="1";', 'Input.I0.Status="1";' and 'Blind.B0.Status="1";'
// (tampering); the first line a status format reads decides. Motion, input
// and tampering share the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kEventData[] = "eventdata.cgi?refreshtime=1000&type=input,md,bd&format=status";

}  // namespace

// Motion reports level 99, not 100.
MP_CLASS(AlinkingMD, MpMotion(kEventData, mprule::AlinkingMotion).Shared().OnDetPort());
// The level is left as the previous port's test wrote it.
MP_CLASS(AlinkingDI, MpInput(kEventData, mprule::AlinkingInput).Shared().OnDetPort());
MP_CLASS(AlinkingTD, MpTamper(kEventData, mprule::AlinkingTamper).Shared().OnDetPort());
