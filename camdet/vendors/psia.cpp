// PSIA cameras.
//
// Wire format: the alert stream "/PSIA/Custom/Event/notification/alertStream",
// one XML notification per part with "<eventType>VMD</eventType>" or "IO" and
// "<eventState>active</eventState>"; after an evaluated part the next two
// report the held state unexamined. Motion and input share the stream.
#include "camdet/transport/mpvendordetector.h"

namespace {

constexpr char kAlertStream[] = "/PSIA/Custom/Event/notification/alertStream";

}  // namespace

MP_CLASS(PsiaMD, MpMotion(kAlertStream, mprule::PsiaMotion).Shared());
MP_CLASS(PsiaDI, MpInput(kAlertStream, mprule::PsiaInput).Shared());
