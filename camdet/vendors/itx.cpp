// ITX cameras.
//
// Wire format: polled, "/cgi-bin/action.fcgi?api=get_setup.event.status"
// answers lines such as "rise_motion=1000" and "rise_alarm=0100" (any case),
// one flag character per motion window (four watched) or per input (any
// raised input raises all). One poll serves motion and inputs.
#include "camdet/transport/cgivendordetector.h"

namespace {

constexpr char kEventStatus[] = "/cgi-bin/action.fcgi?api=get_setup.event.status";

}  // namespace

CGI_CLASS(ItxMD, CgiMotion(kEventStatus, cgirule::ItxMotion).Shared());
CGI_CLASS(ItxDI, CgiInput(kEventStatus, cgirule::ItxInput).Shared());
