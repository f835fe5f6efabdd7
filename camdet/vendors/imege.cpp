// Imege cameras, which run the Messoa A02 firmware.
//
// Wire format: motion pushed on the multipart stream "/operator/get_md.cgi",
// parts of "value=12;objectsize=10;" lines (motion where the value reaches the
// object size, the value is the level). Inputs polled with one query key per
// input ("surveillance.eventdido.di_current_state", then "..._2", ...),
// answered "...=1" for an input in alarm.
#include <string>

#include "camdet/rules/trigrules.h"
#include "camdet/transport/cgivendordetector.h"
#include "camdet/transport/mpvendordetector.h"

namespace {

std::string A02InputsPath(const CgiPathArgs& cam) { return trig::MessoaA02InputQuery(cam.inputs); }

}  // namespace

MP_CLASS(ImegeMD, MpMotion("/operator/get_md.cgi", mprule::ImegeMotion));
CGI_CLASS(ImegeDI, CgiInput(A02InputsPath, cgirule::ImegeInput));
