// Hitron cameras.
//
// Wire format: one multipart event stream, "/stream/event_stream.php?ch=1",
// each part "key=value" lines: "motion=1", "alarm=1" (the input). Motion and
// input share the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kEventStream[] = "/stream/event_stream.php?ch=1";

}  // namespace

MP_CLASS(HitronMD, MpMotion(kEventStream, mprule::HitronMotion).Shared());
MP_CLASS(HitronDI, MpInput(kEventStream, mprule::HitronInput).Shared());
