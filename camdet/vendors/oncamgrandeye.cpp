// Oncam Grandeye cameras.
//
// Wire format: multipart streams on the camera API's detection port:
// "io/motiondata.cgi" parts with "alarm=1" while motion is detected,
// "io/input.cgi" parts with "state0:L" while the input is in alarm (active
// low).
#include "camdet/transport/mpvendordetector.h"

MP_CLASS(OncamGrandeyeMD, MpMotion("io/motiondata.cgi", mprule::OncamGrandeyeMotion).OnDetPort());
// Inputs are active low: "state0:L" is an alarm.
MP_CLASS(OncamGrandeyeDI, MpInput("io/input.cgi", mprule::OncamGrandeyeInput).OnDetPort());
