// Arecont cameras.
//
// Wire format: polled; "get?mdresult" answers "mdresult=..." (anything but
// "no motion" is motion), "get?auxin" answers "auxin=on" while the input is in
// alarm. A multi-lens camera ("MULTILENS") is asked for one lens, "get3?..."
// for the recorder's channel 1, its sensors numbered from another corner
// unless the camera says "ORIGIN_CHANNEL_NO".
#include <string>

#include "camdet/rules/trigrules.h"
#include "camdet/transport/cgivendordetector.h"

namespace {

std::string Lens(const CgiPathArgs& cam) {
    if (!cam.cap || !cam.api || !cam.cap->IsApiSpecified("MULTILENS")) return std::string();
    return trig::ArecontChannel(cam.api->GetChannelStr(), cam.cap->IsApiSpecified("ORIGIN_CHANNEL_NO"));
}
std::string ArecontMotionPath(const CgiPathArgs& cam) { return "get" + Lens(cam) + "?mdresult"; }
std::string ArecontInputPath(const CgiPathArgs& cam) { return "get" + Lens(cam) + "?auxin"; }

}  // namespace

// Multi-lens cameras number their sensors from another corner.
CGI_CLASS(ArecontMD, CgiMotion(ArecontMotionPath, cgirule::ArecontMotion));
CGI_CLASS(ArecontDI, CgiInput(ArecontInputPath, cgirule::ArecontInput));
