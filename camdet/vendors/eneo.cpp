// Eneo cameras.
//
// Wire format: one multipart event stream,
// "/stream/event_stream.php?ch=1&strm=1", each part "key=value" lines:
// "motion=1", "alarm=1" (the input), "tampering=1". Motion, input and
// tampering share the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kEventStream[] = "/stream/event_stream.php?ch=1&strm=1";

}  // namespace

MP_CLASS(EneoMD, MpMotion(kEventStream, mprule::EneoMotion).Shared());
MP_CLASS(EneoDI, MpInput(kEventStream, mprule::EneoInput).Shared());
MP_CLASS(EneoTD, MpTamper(kEventStream, mprule::EneoTamper).Shared());
