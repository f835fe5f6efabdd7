// Sanyo cameras.
//
// Wire format: polled, "/liveimg.cgi?pol=1" answers binary status bytes: bit
// value 2 of byte 34 is motion, byte 33 holds one bit per input. One poll
// serves motion and inputs.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kStatus[] = "/liveimg.cgi?pol=1";

}  // namespace

CGI_CLASS(SanyoMD, CgiMotion(kStatus, cgirule::SanyoMotion).Shared());
CGI_CLASS(SanyoDI, CgiInput(kStatus, cgirule::SanyoInput).Shared());
